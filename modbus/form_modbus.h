#pragma once

#include "modbus/tnr_modbus.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

// The Modbus window "FormModbus": a Modbus master on serial port A. It owns
// the engine nrModbus1, which the main window attaches to port A as that
// port's data processor; the window builds requests from its fields and
// shows the replies, exception replies and time-outs. Closing it with its
// own close box only hides it; the engine stays attached.
class TFormModbus : public QWidget
{
    Q_OBJECT

public:
    explicit TFormModbus(QWidget* parent = nullptr);
    ~TFormModbus() override;

    // The chosen framing: 0 RTU, 1 ASCII.
    int grpModeItemIndex() const;

    void bReadRegClick();
    void bReadCoilClick();
    void bStartPollingClick();
    void bStopPollingClick();
    void bWriteClick();
    void bWrite16Click();
    void chCoilWriteClick();
    void nrModbus1Timeout(TnrDataProtocol* Sender);
    void nrModbus1ModbusReply(TnrModbus* Sender, const TnrModbusPacket& Reply, const TnrModbusRegisterList& Registers,
                              const TnrModbusCoilList& Coils);

    TnrModbus* nrModbus1;

    QLineEdit* eAddress;
    QGroupBox* grpMode;
    QTabWidget* PageControl1;
    QWidget* tsRead;
    QWidget* tsPoll;
    QWidget* tsWrite;
    QLineEdit* eReadReg;
    QPushButton* bReadReg;
    QLineEdit* eReadCoil;
    QPushButton* bReadCoil;
    QLabel* txtReadResult;
    QLineEdit* eRegStart;
    QLineEdit* eRegCount;
    QLineEdit* eCoilPollStart;
    QLineEdit* eCoilPollCount;
    QLineEdit* ePollDelay;
    QPushButton* bStartPolling;
    QPushButton* bStopPolling;
    QLabel* txtPollResultReg;
    QLabel* txtPollResultCoil;
    QLabel* txtSpeed;
    QLineEdit* eRegWrite;
    QLineEdit* eValue;
    QPushButton* bWrite;
    QPushButton* bWrite16;
    QLineEdit* eCoilWrite;
    QCheckBox* chCoilWrite;
    QPlainTextEdit* eLog;

private:
    QWidget* BuildReadPage();
    QWidget* BuildPollPage();
    QWidget* BuildWritePage();
    // Sets the framing from grpMode and reads the slave address.
    quint8 PrepareRequest();
    // Runs a request handler; a conversion or engine error is shown in a
    // message box and makes no request, as an error escaping a handler would.
    void Guarded(const std::function<void()>& request);

    QButtonGroup* modeButtons_;
};
