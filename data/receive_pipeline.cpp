#include "data/receive_pipeline.h"

#include "core/text_codec.h"
#include "data/codec.h"

ReceivePipeline::ReceivePipeline(ReceiveOptions& options, DisplayLineStore& display,
                                 ChannelCounters& counters, std::function<void()> updateStatusBar)
    : options_(options), display_(display), counters_(counters), updateStatusBar_(std::move(updateStatusBar))
{
}

void ReceivePipeline::ShowInfo(const QString& text, LineColor color)
{
    ShowInfo(DisplayText(text), color);
}

void ReceivePipeline::ShowInfo(const DisplayText& text, LineColor color)
{
    // The display is emptied, not trimmed: the check runs before the line is
    // added, so it can hold one line over the bound until the next line.
    const int bound = options_.LogBound() ? kLogBoundLines : kBoundLines;
    if (display_.LineCount() > bound || display_.CharCount() > kBoundChars)
        display_.Clear();
    const bool stamped = options_.HelpInfo() || options_.SendInfo();
    const DisplayText line = stamped ? text.Prefixed(TimeStampText() + QStringLiteral("   ")) : text;
    display_.Append(line, color);
    // The log takes every line as kept, time stamp included.
    if (log_)
        log_->AppendLog(line);
    edtMsgChange();
}

void ReceivePipeline::edtMsgChange()
{
    if (options_.AutoScroll() && display_.LineCount() > kAutoScrollBoundLines)
        display_.Clear();
}

void ReceivePipeline::Beep(int frequencyHz, int durationMs)
{
    if (beeper_)
        beeper_->Beep(frequencyHz, durationMs);
}

void ReceivePipeline::CheckExpectedLength(qint64 count)
{
    const QString text = options_.ExpectedLengthText().trimmed();
    if (text.isEmpty())
        return;
    bool ok = false;
    const int expected = text.toInt(&ok);
    if (!ok) {
        // Unreadable: the check is skipped for this chunk and uses 1 from now on.
        options_.SetExpectedLengthText(QStringLiteral("1"));
        return;
    }
    if (expected != 0 && expected != count) {
        ShowInfo(QStringLiteral("接收数据长度与期望不一致"), kGreen);
        Beep(1200, 20);
    }
}

void ReceivePipeline::ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel)
{
    if (wave_ && wave_->IsShowing())
        wave_->AddWaveData(data);

    const qint64 count = data.size();
    if (count != 0) {
        if (options_.Beep())
            Beep(1000, 50);
        if (options_.LatestOnly())
            display_.Clear();
        if (gps_ && options_.Gps())
            gps_->Decode(data);
        CheckExpectedLength(count);
        if (options_.HelpInfo())
            ShowInfo(label + QStringLiteral("接收") + QString::number(count) + QStringLiteral("字节: "), kBlack);
        if (channel >= 0 && channel < kChannelCount)
            counters_[channel].AddReceived(count);

        ++chunkToggle_;
        const LineColor dataColor = chunkToggle_ % 2 == 1 ? kBlue : kBlueAlternate;
        const bool echo = echo_ && options_.Echo(channel);
        // The one copy the pipeline keeps: the display lines, the echo and the
        // relay share it, and its text is rendered only if it is shown.
        const QByteArray chunk = data.toByteArray();
        SplitCharacterCarry* carry = channel >= 0 && channel < kChannelCount ? &carries_[channel] : nullptr;
        if (options_.HexShow()) {
            if (carry)
                carry->Clear();
            ShowInfo(DisplayText::HexStyled(chunk, options_.HexStyle()), dataColor);
            if (echo)
                echo_->SendBytesToChannel(chunk, channel);
        } else {
            const TextCodec::Encoding encoding = TextCodec::PayloadEncoding();
            ShowInfo(carry ? carry->Decoded(chunk, encoding) : DisplayText::Decoded(chunk, encoding), dataColor);
            if (echo)
                echo_->SendToChannel(chunk, channel, false);
        }

        if (relay_)
            relay_->Step(chunk, channel);
    }
    if (updateStatusBar_)
        updateStatusBar_();
}
