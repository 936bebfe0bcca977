#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBox {
namespace {

void ShowModal(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

Presenter& CurrentPresenter()
{
    static Presenter presenter = ShowModal;
    return presenter;
}

}  // namespace

void Show(const QString& text)
{
    CurrentPresenter()(text);
}

Presenter SetPresenter(Presenter presenter)
{
    Presenter previous = std::move(CurrentPresenter());
    CurrentPresenter() = std::move(presenter);
    return previous;
}

}  // namespace MessageBox
