#include "app/application.h"
#include "app/file_chooser_dialog.h"
#include "app/main_window.h"
#include "app/message_box_dialog.h"
#include "core/message_box.h"
#include "data/alsa_beeper.h"

#include <exception>

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(TForm1::kProductTitle));
    MessageBoxDialog::Install();
    FileChooserDialog::Install();
    try {
        AlsaBeeper beeper;
        TForm1 form(&beeper);
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
