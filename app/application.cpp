#include "app/application.h"

#include "core/message_box.h"

#include <exception>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromUtf8(error.what()));
    } catch (...) {
        MessageBox::Show(QStringLiteral("未知错误"));
    }
    return false;
}
