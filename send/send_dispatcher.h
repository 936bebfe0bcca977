#pragma once

#include "core/channel_counters.h"
#include "core/channel_id.h"
#include "data/display_text_sink.h"
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

    SendDispatcher(DisplayTextSink& info, const ReceiveOptions& options, ChannelCounters& counters,
                   std::function<void()> updateStatusBar);

    void SetTarget(ChannelId channel, SendTarget* target);

    // `text` is code-page text: hex digits in hex mode, escaped text otherwise.
    // A send that did not go out has shown why, if anything, and returns false.
    bool SendToChannel(QByteArrayView text, ChannelId channel, bool hex) override;
    // The relay's and the hex echo's entry: the bytes go out as they stand,
    // with the lines and counts of a hex send.
    bool SendBytesToChannel(const QByteArray& bytes, ChannelId channel) override;

    // Send-info prefix, e.g. "串口A发送HEX数据".
    static QString SendInfoPrefix(ChannelId channel, bool hex, bool broadcast);

private:
    // Waits up to kWaitRounds rounds, handling events, for a channel whose
    // opening was just started; every automatic open has its own budget.
    static bool WaitUntilOpen(const SendTarget& target);
    // Everything after the payload is made: open, write, report, count.
    bool Send(QByteArray payload, ChannelId channel, bool hex);
    void ShowSentPayload(const QByteArray& payload, bool hex);

    DisplayTextSink& info_;
    const ReceiveOptions& options_;
    ChannelCounters& counters_;
    std::function<void()> updateStatusBar_;
    std::array<SendTarget*, kChannelCount> targets_{};
};
