#pragma once

#include "serial/cn_rs232_config.h"

#include <functional>

class QWidget;
class TCnRS232Dlg;

// The settings dialog component "rsd2": holds a copy of the settings, shows
// the form TCnRS232Dlg with them and keeps what the user confirmed.
class TCnRS232Dialog
{
public:
    // Runs the form and says whether the user confirmed it. The default runs
    // it modally; tests fill the form and press its buttons instead.
    using Executor = std::function<bool(TCnRS232Dlg& form)>;

    explicit TCnRS232Dialog(QWidget* parent = nullptr);

    void SetExecutor(Executor executor) { executor_ = std::move(executor); }

    // True when the user confirmed; CommConfig and Timeouts then hold the new settings.
    bool Execute();

    TCnRS232Config CommConfig;
    TCnRS232Timeouts Timeouts;

private:
    QWidget* parent_;
    Executor executor_;
};
