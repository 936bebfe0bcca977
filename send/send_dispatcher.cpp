#include "send/send_dispatcher.h"

#include "core/message_box.h"
#include "core/text_codec.h"
#include "data/codec.h"

#include <QEventLoop>
#include <QTimer>

SendDispatcher::SendDispatcher(DisplayTextSink& info, const ReceiveOptions& options, ChannelCounters& counters,
                               std::function<void()> updateStatusBar)
    : info_(info), options_(options), counters_(counters), updateStatusBar_(std::move(updateStatusBar))
{
}

void SendDispatcher::SetTarget(ChannelId channel, SendTarget* target)
{
    targets_.at(channel) = target;
}

QString SendDispatcher::SendInfoPrefix(ChannelId channel, bool hex, bool broadcast)
{
    static const char* const kNames[kChannelCount] = {"串口A", "串口B", "TCP Server", "TCP Client",
                                                      "UDP Server", "UDP Client", "并口"};
    return QString::fromUtf8(kNames[channel]) + (broadcast ? QStringLiteral("广播") : QStringLiteral("发送")) +
           (hex ? QStringLiteral("HEX数据") : QStringLiteral("文本数据"));
}

bool SendDispatcher::WaitUntilOpen(const SendTarget& target)
{
    for (int round = 0; round < kWaitRounds; ++round) {
        // An event loop rather than a sleep: received data, timers and clicks
        // go on being handled while the channel opens.
        QEventLoop loop;
        QTimer::singleShot(kWaitRoundMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (target.IsOpen())
            return true;
    }
    return false;
}

void SendDispatcher::ShowSentPayload(const QByteArray& payload, bool hex)
{
    if (!options_.SendInfo())
        return;
    if (hex)
        info_.ShowInfo(DisplayText::HexDump(payload), kBlue);
    else
        info_.ShowInfo(DisplayText::Decoded(payload, TextCodec::PayloadEncoding()), kLime);
}

bool SendDispatcher::SendToChannel(QByteArrayView text, ChannelId channel, bool hex)
{
    return Send(hex ? HexTextToBytes(text) : ExpandEscapes(text), channel, hex);
}

bool SendDispatcher::SendBytesToChannel(const QByteArray& bytes, ChannelId channel)
{
    return Send(bytes, channel, true);
}

bool SendDispatcher::Send(QByteArray payload, ChannelId channel, bool hex)
{
    SendTarget* target = channel >= 0 && channel < kChannelCount ? targets_[channel] : nullptr;
    if (!target) {
        info_.ShowInfo(QStringLiteral("unknow sender!"), kWindowText);
        ShowSentPayload(payload, hex);
        updateStatusBar_();
        return false;
    }

    if (target->OpensAutomatically() && !target->IsOpen()) {
        target->StartOpening();
        if (!target->IsOpen() && !WaitUntilOpen(*target))
            return false;
    }
    if (!target->ReadyToSend())
        return false;
    if (!hex)
        payload.append(target->TextLineEnd());

    const SendTarget::WriteResult result = target->Write(payload);
    if (!result.Sent()) {
        // Nothing went out: no sent line, no count, only why.
        if (result.refused)
            MessageBox::Show(result.failure);
        else
            info_.ShowInfo(result.failure, kWindowText);
        return false;
    }

    if (options_.SendInfo()) {
        const LineColor infoColor = hex || result.broadcast ? kBlack : kWindowText;
        info_.ShowInfo(SendInfoPrefix(channel, hex, result.broadcast) + QString::number(result.count) +
                           QStringLiteral("字节："),
                       infoColor);
    }
    counters_[channel].AddSent(result.count);
    ShowSentPayload(payload, hex);
    updateStatusBar_();
    return true;
}
