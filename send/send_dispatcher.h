#pragma once

#include "core/channel_counters.h"
#include "core/channel_id.h"
#include "core/info_sink.h"
#include "data/receive_hooks.h"
#include "data/receive_options.h"
#include "send/send_target.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <functional>

// The one send path of the program: buttons, timer, file sender, echo and
// relay all end here. Turns the payload text into bytes, opens a closed
// channel when it can, writes, reports and counts the send.
class SendDispatcher : public EchoSink
{
public:
    static constexpr int kWaitRounds = 10;
    static constexpr int kWaitRoundMs = 100;

    SendDispatcher(InfoSink& info, const ReceiveOptions& options, ChannelCounters& counters,
                   std::function<void()> updateStatusBar);

    void SetTarget(ChannelId channel, SendTarget* target);

    // `text` is code-page text: hex digits in hex mode, escaped text otherwise.
    void SendToChannel(QByteArrayView text, ChannelId channel, bool hex) override;

    // Send-info prefix, e.g. "串口A发送HEX数据".
    static QString SendInfoPrefix(ChannelId channel, bool hex, bool broadcast);

private:
    // Waits up to kWaitRounds rounds, handling events, for a channel whose
    // opening was just started; every automatic open has its own budget.
    static bool WaitUntilOpen(const SendTarget& target);
    void ShowSentPayload(const QByteArray& payload, bool hex);

    InfoSink& info_;
    const ReceiveOptions& options_;
    ChannelCounters& counters_;
    std::function<void()> updateStatusBar_;
    std::array<SendTarget*, kChannelCount> targets_{};
};
