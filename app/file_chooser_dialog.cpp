#include "app/file_chooser_dialog.h"

#include "core/file_chooser.h"

#include <QApplication>
#include <QFileDialog>

namespace FileChooserDialog {

void Install()
{
    FileChooser::SetChooser([](const QString& filter) {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(), filter);
    });
}

}  // namespace FileChooserDialog
