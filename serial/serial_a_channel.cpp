#include "serial/serial_a_channel.h"

#include "core/message_box.h"
#include "serial/hotplug_monitor.h"
#include "serial/tty_port.h"

#include <QFileInfo>

SerialAChannel::SerialAChannel(ReceiveSink& sink, QObject* parent)
    : Channel(COMA, sink, parent), hotplug_(new HotplugMonitor(this))
{
    nrComm1 = new TnrComm(this);
    nrComm1->setObjectName(QStringLiteral("nrComm1"));
    nrComm1->SetBaudRate(9600);
    nrComm1->SetByteSize(8);
    nrComm1->SetParity(pNone);
    nrComm1->SetStopBits(sbOne);
    nrComm1->SetStreamProtocol(spNone);
    nrComm1->SetTraceStates(TraceBit(tsCTS) | TraceBit(tsDSR) | TraceBit(tsRLSD) | TraceBit(tsRing));
    nrComm1->SetEnumPorts(epFullInfo);
    nrComm1->SetTerminalUsage(tuBoth);
    nrComm1->SetTerminalEcho(true);
    nrComm1->OnAfterReceive = [this](TnrBaseIO* com, const char* buffer, quint32 received) {
        nrComm1AfterReceive(com, buffer, received);
    };
    // The ports are listed now, as a picker bound to the engine would list
    // them, so that the description names the picked port with or without one.
    nrComm1->GetDeviceList();
    nrComm1->NotifyAdd(this);
    connect(nrComm1, &TnrCustomComm::WriteDrained, this, &Channel::Drained);
    connect(hotplug_, &HotplugMonitor::deviceChanged, this, &SerialAChannel::DeviceChange);
}

SerialAChannel::~SerialAChannel()
{
    nrComm1->NotifyDelete(this);
    nrComm1->OnAfterReceive = nullptr;
}

void SerialAChannel::Start()
{
    hotplug_->Start();
    emit CaptionChanged(QStringLiteral("串口A ") + DescribePortA());
}

SendTarget::WriteResult SerialAChannel::Write(const QByteArray& payload)
{
    if (!nrComm1->Active()) {
        const int halt = nrComm1->HaltError();
        return WriteResult::Failed(QStringLiteral("串口A ") + nrComm1->GetPortName() + QStringLiteral(" 发送失败: ") +
                                   (halt != 0 ? TtyErrorText(halt) : QStringLiteral("串口未打开")));
    }
    nrComm1->SendData(payload.constData(), static_cast<quint32>(payload.size()));
    return {payload.size(), false, QString(), false};
}

QString SerialAChannel::DescribePortA() const
{
    const TnrDevice* picked = nrComm1->GetDevice(nrComm1->GetDeviceIndex());
    QString text = (picked != nullptr ? picked->NameFriendly : QString()) + QStringLiteral("  ") +
                   QString::number(nrComm1->BaudRate());
    const int byteSize = nrComm1->ByteSize();
    if (byteSize >= 5 && byteSize <= 8)
        text += QStringLiteral("  ") + QString::number(byteSize);
    static const char* const parities[] = {"   None", "   Odd", "   Even", "   Mark", "   Space"};
    text += QString::fromLatin1(parities[nrComm1->Parity()]);
    static const char* const stopBits[] = {"   1", "   1.5", "   2"};
    text += QString::fromLatin1(stopBits[nrComm1->StopBits()]);
    static const char* const flows[] = {"  禁用流控", " XonXoff", "  硬件流控"};
    text += QString::fromUtf8(flows[nrComm1->StreamProtocol()]);
    return text;
}

void SerialAChannel::Open()
{
    emit CaptionChanged(DescribePortA());
    try {
        nrComm1->SetActive(true);
    } catch (...) {
        MessageBox::Show(QStringLiteral("串口打开错误!"));
    }
}

void SerialAChannel::Close()
{
    nrComm1->SetActive(false);
}

void SerialAChannel::TnrNotifyEvent(TnrBaseIO*, int Code)
{
    if (Code == kNotifyOpened) {
        SetOpened(true);
    } else if (Code == kNotifyClosed) {
        if (const int halt = nrComm1->HaltError(); halt != 0 && opened_)
            Sink().ShowInfo(QStringLiteral("串口A ") + nrComm1->GetPortName() + QStringLiteral(" 通讯中断: ") +
                                TtyErrorText(halt),
                            kWindowText);
        SetOpened(false);
    }
}

void SerialAChannel::Configure()
{
    nrComm1->ConfigDialog();
    emit CaptionChanged(DescribePortA());
}

// The preset also switches the engine's RS-485 mode, so that RTS really
// marks the transmit direction as the box's hint promises.
void SerialAChannel::SetRs485Preset(bool on)
{
    if (on)
        nrComm1->SetStreamProtocol(spNone);
    nrComm1->SetRS485Mode(on);
    emit CaptionChanged(DescribePortA());
}

void SerialAChannel::PickPortPath(const QString& path)
{
    // An open port moves to the new device; when that cannot be opened the
    // engine's reason is shown here rather than thrown through Qt's event code.
    try {
        nrComm1->SetDeviceIndex(nrComm1->AddPortPath(path));
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromStdString(error.what()));
    }
}

void SerialAChannel::SetLineMonitors(QObject* cts, QObject* dsr, QObject* rlsd, QObject* ring)
{
    nrComm1->SetMonitorCTS(cts);
    nrComm1->SetMonitorDSR(dsr);
    nrComm1->SetMonitorRLSD(rlsd);
    nrComm1->SetMonitorRing(ring);
}

void SerialAChannel::nrComm1AfterReceive(TnrBaseIO*, const char* Buffer, quint32 Received)
{
    if (Received == 0)
        return;
    const QString label =
        QStringLiteral("COMA[") + QFileInfo(nrComm1->GetPortName()).fileName() + QLatin1Char(']');
    Sink().ProcessReceived(QByteArrayView(Buffer, Received), label, COMA);
}

void SerialAChannel::DeviceChange(bool arrived)
{
    Sink().ShowInfo(arrived ? QStringLiteral("设备插入") : QStringLiteral("设备拔出"), kWindowText);
}

void SerialAChannel::SetOpened(bool opened)
{
    if (opened == opened_)
        return;
    opened_ = opened;
    emit OpenedChanged(opened);
}
