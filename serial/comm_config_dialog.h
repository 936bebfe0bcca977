#pragma once

#include "serial/line_settings.h"

#include <QDialog>

#include <functional>

class QComboBox;

// The settings dialog of the serial engine: baud rate, data bits, parity,
// stop bits and flow control of one port.
class CommConfigDialog : public QDialog
{
    Q_OBJECT

public:
    // Shows a dialog; true when the user accepted it. Tests replace it.
    using Runner = std::function<bool(CommConfigDialog& dialog)>;

    CommConfigDialog(const QString& portName, const Dcb& dcb, QWidget* parent = nullptr);

    // The settings as edited. The flag word changes only when the flow
    // control choice changed.
    Dcb Result() const;

    // Edits `dcb` through the current runner; true when accepted.
    static bool Edit(const QString& portName, Dcb& dcb);
    // Replaces the runner and returns the previous one.
    static Runner SetRunner(Runner runner);

    QComboBox* cbbBaudRate;
    QComboBox* cbbDataBits;
    QComboBox* cbbParity;
    QComboBox* cbbStopBits;
    QComboBox* cbbFlowControl;

private:
    Dcb dcb_;
};
