#pragma once

#include "data/receive_options.h"

#include <array>

// Receive options as plain fields, defaults as the window starts.
struct FakeReceiveOptions : ReceiveOptions
{
    bool helpInfo = true;
    bool sendInfo = true;
    bool logBound = false;
    bool latestOnly = false;
    bool beep = false;
    bool hexShow = false;
    int hexStyle = 0;
    bool gps = false;
    bool autoScroll = true;
    QString expectedLength;
    std::array<bool, kDataChannelCount> echo{};

    bool HelpInfo() const override { return helpInfo; }
    bool SendInfo() const override { return sendInfo; }
    bool LogBound() const override { return logBound; }
    bool LatestOnly() const override { return latestOnly; }
    bool Beep() const override { return beep; }
    bool HexShow() const override { return hexShow; }
    int HexStyle() const override { return hexStyle; }
    bool Gps() const override { return gps; }
    bool AutoScroll() const override { return autoScroll; }
    QString ExpectedLengthText() const override { return expectedLength; }
    void SetExpectedLengthText(const QString& text) override { expectedLength = text; }
    bool Echo(ChannelId channel) const override { return channel >= 0 && channel < kDataChannelCount && echo[channel]; }
};
