#include "app/message_box_dialog.h"

#include "core/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBoxDialog {
namespace {

void ShowModal(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace

void Install()
{
    MessageBox::SetPresenter(ShowModal);
}

}  // namespace MessageBoxDialog
