#include "app/application.h"
#include "app/file_chooser_dialog.h"
#include "app/form_settings.h"
#include "app/main_window.h"
#include "app/message_box_dialog.h"
#include "app/termination_signals.h"
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
    // Installed first: a request that comes while the window is being built
    // waits for the event loop.
    TerminationSignals termination;
    FileChooserDialog::Install();
    try {
        AlsaBeeper beeper;
        ReceiveLog log(ReceiveLogFolder(QCoreApplication::applicationDirPath()));
        TForm1 form(&beeper, &log);
        QObject::connect(&termination, &TerminationSignals::received, &form, [&form] {
            form.close();
            // Also leaves a nested event loop (an open dialog, a wait for a port).
            QCoreApplication::quit();
        });
        // The start-up requests and the web links go where config.ini says.
        form.SetWebSettings(WebSettings::Load(QString::fromLatin1(FormSettings::kFileName)));
        form.FormCreate();
        // A request handled by a dialog's loop during start-up has closed the window.
        if (termination.Requested())
            return 0;
        form.show();
        return app.exec();
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromUtf8(error.what()));
    } catch (...) {
        MessageBox::Show(QStringLiteral("未知错误"));
    }
    return 1;
}
