#pragma once

#include "core/channel_id.h"
#include "data/display_text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Features that tap the receive path. Each is optional: the pipeline calls
// whichever are attached.

// Plays a tone; must not block the caller for the tone's length.
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void Beep(int frequencyHz, int durationMs) = 0;
};

// Keeps a record of every display line. The line comes as kept, not
// rendered: the record may be written in the code page straight from its bytes.
class LineLog
{
public:
    virtual ~LineLog() = default;
    virtual void AppendLog(const DisplayText& line) = 0;
};

// Looks for GPS sentences in a received chunk and reports what it finds.
class GpsDecoder
{
public:
    virtual ~GpsDecoder() = default;
    virtual void Decode(QByteArrayView chunk) = 0;
};

// The waveform window's data input; fed only while the window shows.
class WaveInput
{
public:
    virtual ~WaveInput() = default;
    virtual bool IsShowing() const = 0;
    virtual void AddWaveData(QByteArrayView chunk) = 0;
};

// Sends a received chunk back to the channel it came from (the page's echo
// option); the send path implements it.
class EchoSink
{
public:
    virtual ~EchoSink() = default;
    // `text` is hex digits when `hex`, escaped code-page text otherwise.
    // True when the payload went out (or was queued whole to go out).
    virtual bool SendToChannel(QByteArrayView text, ChannelId channel, bool hex) = 0;
    // Sends `bytes` as they are, shown and counted exactly as a hex-mode send
    // of their digits would be, without going through the digits.
    virtual bool SendBytesToChannel(const QByteArray& bytes, ChannelId channel) = 0;
};

// Hands every non-empty received chunk on to the relay between two channels.
class RelayHook
{
public:
    virtual ~RelayHook() = default;
    // `chunk` is shared with the display lines made of it, not copied.
    virtual void Step(const QByteArray& chunk, ChannelId source) = 0;
};
