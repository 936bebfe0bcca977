#pragma once

#include <QtGlobal>

// What the waveform window needs of a plot control: channels reachable by
// index, each appending points and clearing them. The real control draws them;
// tests put a recorder in its place.
class WavePlotChannel
{
public:
    virtual ~WavePlotChannel() = default;
    // Appends one point; returns its index, which counts every point ever
    // added since the last Clear, also those the channel no longer keeps.
    virtual qint64 AddXY(double x, double y) = 0;
    virtual void Clear() = 0;
};

class WavePlot
{
public:
    virtual ~WavePlot() = default;
    virtual int ChannelCount() const = 0;
    // Null outside 0 .. ChannelCount() - 1.
    virtual WavePlotChannel* GetChannel(int index) = 0;
};
