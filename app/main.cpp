#include "app/application.h"
#include "app/main_window.h"
#include "app/message_box_dialog.h"
#include "core/message_box.h"
#include "data/alsa_beeper.h"
#include "data/receive_log.h"
#include "data/receive_log_folder.h"

#include <exception>

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(TForm1::kProductTitle));
    MessageBoxDialog::Install();
    try {
        AlsaBeeper beeper;
        ReceiveLog log(ReceiveLogFolder(QCoreApplication::applicationDirPath()));
        TForm1 form(&beeper, &log);
        form.FormCreate();
        form.show();
        return app.exec();
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromUtf8(error.what()));
    } catch (...) {
        MessageBox::Show(QStringLiteral("未知错误"));
    }
    return 1;
}
