#include "serial/cn_rs232_dialog.h"

#include "serial/cn_rs232_dlg.h"

TCnRS232Dialog::TCnRS232Dialog(QWidget* parent)
    : parent_(parent), executor_([](TCnRS232Dlg& form) { return form.exec() == QDialog::Accepted; })
{
}

bool TCnRS232Dialog::Execute()
{
    TCnRS232Dlg form(parent_);
    form.SetSettings(CommConfig, Timeouts);
    if (!executor_(form))
        return false;
    CommConfig = form.CommConfig();
    Timeouts = form.Timeouts();
    return true;
}
