#pragma once

#include "serial/cn_rs232_config.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The settings form of port B "串口设置": general settings, software and
// hardware flow control, time-outs. Number fields take any text and are
// checked when they are left and again on "确定(&O)"; messages go through the
// message-box seam.
class TCnRS232Dlg : public QDialog
{
    Q_OBJECT

public:
    static inline const char* const kAsciiMessage = "请输入ASCII编码(0..255)";
    static inline const char* const kSameXonXoffMessage = "Xon字符与Xoff字符不能相同";
    static inline const char* const kIntegerMessage = "请输入整数";
    static inline const char* const kBaudMessage = "波特率只能输入整数";

    explicit TCnRS232Dlg(QWidget* parent = nullptr);

    // Fills the controls from these settings.
    void SetSettings(const TCnRS232Config& config, const TCnRS232Timeouts& timeouts);
    const TCnRS232Config& CommConfig() const { return config_; }
    const TCnRS232Timeouts& Timeouts() const { return timeouts_; }

    // Checks a number field as leaving it does; false after showing the
    // message, with the focus sent back to the field.
    bool FieldExit(QLineEdit* field);
    // "确定(&O)": copies the controls into the settings and accepts; on a
    // refusal the dialog stays open.
    void btnOKClick();

    QTabWidget* PageControl;
    QComboBox* cbbBaudRate;
    QComboBox* cbbByteSize;
    QComboBox* cbbParity;
    QComboBox* cbbStopBits;
    QCheckBox* cbReplaceWhenParityError;
    QLineEdit* seReplacedChar;
    QCheckBox* cbIgnoreNullChar;
    QCheckBox* cbInx_XonXoffFlow;
    QCheckBox* cbOutx_XonXoffFlow;
    QCheckBox* cbTxContinueOnXoff;
    QLineEdit* seXonLimit;
    QLineEdit* seXoffLimit;
    QLineEdit* seXonChar;
    QLineEdit* seXoffChar;
    QComboBox* cbbDtrControl;
    QComboBox* cbbRtsControl;
    QCheckBox* cbOutx_DsrFlow;
    QCheckBox* cbOutx_CtsFlow;
    QCheckBox* cbDsrSensitivity;
    QLineEdit* seReadIntervalTimeout;
    QLineEdit* seReadTotalTimeoutMultiplier;
    QLineEdit* seReadTotalTimeoutConstant;
    QLineEdit* seWriteTotalTimeoutMultiplier;
    QLineEdit* seWriteTotalTimeoutConstant;
    QCheckBox* cbShowHint;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildGeneralPage();
    QWidget* BuildSoftwarePage();
    QWidget* BuildHardwarePage();
    QWidget* BuildTimeoutPage();
    QLineEdit* NewNumberEdit(const char* name, QWidget* parent);
    // The replacement box only with a parity, its number only when checked.
    void UpdateReplaceControls();
    // Shows `message` and sends the focus back to `field`.
    bool Refuse(QLineEdit* field, const char* message);
    // Largest value of a number field: 255 for characters, 65535 otherwise.
    int FieldMaximum(const QLineEdit* field) const;

    TCnRS232Config config_;
    TCnRS232Timeouts timeouts_;
    // While the focus is being sent back, leaving other fields checks nothing.
    bool refocusing_ = false;
};
