#include "serial/serial_b_channel.h"

#include "core/message_box.h"
#include "serial/cn_rs232.h"
#include "serial/cn_rs232_posix_device.h"
#include "serial/port_list_entry.h"
#include "serial/tty_port.h"

#include <algorithm>
#include <cerrno>

namespace {

// One write of the component carries at most this many bytes.
constexpr qsizetype kMaxWrite = 65535;

}  // namespace

SerialBChannel::SerialBChannel(ReceiveSink& sink, QObject* parent) : Channel(COMB, sink, parent)
{
    Comm2 = new TCnRS232(std::make_unique<CnRS232PosixDevice>(), this);
    Comm2->setObjectName(QStringLiteral("Comm2"));
    const CnRS232Settings factory = PortBFactorySettings();
    Comm2->CommName = factory.CommName;
    Comm2->SetCommConfig(factory.CommConfig);
    Comm2->SetTimeouts(factory.Timeouts);
    connect(Comm2, &TCnRS232::OnReceiveData, this, &SerialBChannel::Comm2ReceiveData);
    connect(Comm2, &TCnRS232::OnCommFailure, this, &SerialBChannel::Comm2Failure);
    connect(Comm2, &TCnRS232::OnWriteDrained, this, &Channel::Drained);
}

SerialBChannel::~SerialBChannel() = default;

void SerialBChannel::Start()
{
    Comm2->ReadFromIni(QString::fromLatin1(kSettingsFile), QString::fromLatin1(kSettingsSection));
    AnnounceCaption();
}

bool SerialBChannel::IsOpen() const
{
    return Comm2->GetConnected();
}

SendTarget::WriteResult SerialBChannel::Write(const QByteArray& payload)
{
    if (!Comm2->GetConnected())
        return SendFailure(QStringLiteral("串口未打开"));
    for (qsizetype at = 0; at < payload.size(); at += kMaxWrite) {
        const qsizetype count = std::min(kMaxWrite, payload.size() - at);
        // Refused only once the port has failed: then nothing queued before
        // goes out either.
        if (!Comm2->WriteCommData(payload.constData() + at, static_cast<quint16>(count)))
            return SendFailure(TtyErrorText(Comm2->Failure()));
    }
    return {payload.size(), false, QString(), false};
}

SendTarget::WriteResult SerialBChannel::SendFailure(const QString& reason) const
{
    return WriteResult::Failed(QStringLiteral("串口B ") + Comm2->CommName + QStringLiteral(" 发送失败: ") + reason);
}

bool SerialBChannel::Congested() const
{
    return Comm2->WriteCongested();
}

void SerialBChannel::SetReceivePaused(bool paused)
{
    Comm2->SetReceivePaused(paused);
}

QString SerialBChannel::DescribePortB() const
{
    return DescribeCnRS232(Comm2->CommName, Comm2->CommConfig());
}

void SerialBChannel::AnnounceCaption()
{
    emit CaptionChanged(QStringLiteral("串口B ") + DescribePortB());
}

void SerialBChannel::ChoosePort(const QString& text, bool listed)
{
    chosenText_ = text;
    chosenListed_ = listed;
}

void SerialBChannel::Open()
{
    if (chosenText_ == QString::fromUtf8(kRefreshEntry)) {
        emit PortListsReloadRequested();
        return;
    }
    // Pseudo-terminals and other virtual ports are in no list: a path typed
    // into the list opens that device.
    const qsizetype paren = chosenText_.indexOf(QLatin1Char('('));
    if (paren < 0 && chosenListed_)
        return;
    const QString port = (paren < 0 ? chosenText_ : chosenText_.left(paren)).trimmed();
    if (port.isEmpty())
        return;

    Comm2->CommName = port;
    AnnounceCaption();
    try {
        const int probe = Comm2->ProbeComm();
        if (probe == -EBUSY)
            MessageBox::Show(QStringLiteral("串口打开异常，请检查是否有其他程序打开此串口！"));
        else if (probe != 0)
            MessageBox::Show(QStringLiteral("串口B ") + port + QStringLiteral(" 打开失败: ") + TtyErrorText(-probe));
        else if (!Comm2->GetConnected())
            Comm2->StartComm();
    } catch (const std::exception&) {
        MessageBox::Show(QStringLiteral("串口打开错误!"));
        return;
    }
    if (Comm2->GetConnected()) {
        SetFailed(Comm2->Failure() != 0);
        SetOpened(true);
    }
}

void SerialBChannel::Close()
{
    Comm2->StopComm();
    SetFailed(false);
    SetOpened(false);
}

void SerialBChannel::ApplySettings(const TCnRS232Config& config, const TCnRS232Timeouts& timeouts)
{
    Comm2->SetCommConfig(config);
    Comm2->SetTimeouts(timeouts);
    AnnounceCaption();
    if (!Comm2->WriteToIni(QString::fromLatin1(kSettingsFile), QString::fromLatin1(kSettingsSection)))
        MessageBox::Show(QStringLiteral("Unable to write to %1").arg(QString::fromLatin1(kSettingsFile)));
}

void SerialBChannel::Comm2ReceiveData(const QByteArray& chunk)
{
    if (chunk.isEmpty())
        return;
    Sink().ProcessReceived(chunk, QStringLiteral("COMB[") + Comm2->CommName + QLatin1Char(']'), COMB);
}

void SerialBChannel::Comm2Failure(const QString& reason)
{
    Sink().ShowInfo(QStringLiteral("串口B ") + Comm2->CommName + QStringLiteral(" 通讯中断: ") + reason +
                        QStringLiteral("，请关闭串口"),
                    kWindowText);
    SetFailed(true);
}

void SerialBChannel::SetOpened(bool opened)
{
    if (opened == opened_)
        return;
    opened_ = opened;
    emit OpenedChanged(opened);
}

void SerialBChannel::SetFailed(bool failed)
{
    if (failed == failed_)
        return;
    failed_ = failed;
    emit FailedChanged(failed);
}
