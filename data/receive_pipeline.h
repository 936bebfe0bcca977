#pragma once

#include "core/channel_counters.h"
#include "core/channel_id.h"
#include "core/receive_sink.h"
#include "data/display_line_store.h"
#include "data/display_text.h"
#include "data/display_text_sink.h"
#include "data/receive_hooks.h"
#include "data/receive_options.h"
#include "data/split_character_carry.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <functional>

// Everything any channel receives passes through ProcessReceived, and every
// line the user reads passes through ShowInfo.
class ReceivePipeline : public ReceiveSink, public DisplayTextSink
{
public:
    static constexpr int kLogBoundLines = 1000;
    static constexpr int kBoundLines = 10000;
    static constexpr int kAutoScrollBoundLines = 20000;
    // Lines of large chunks can be hundreds of kilobytes each: past this many
    // characters the display is emptied too, so memory stays bounded.
    static constexpr qsizetype kBoundChars = 16 * 1024 * 1024;

    ReceivePipeline(ReceiveOptions& options, DisplayLineStore& display, ChannelCounters& counters,
                    std::function<void()> updateStatusBar);

    void SetEcho(EchoSink* echo) { echo_ = echo; }
    void SetRelay(RelayHook* relay) { relay_ = relay; }
    void SetBeeper(Beeper* beeper) { beeper_ = beeper; }
    void SetLog(LineLog* log) { log_ = log; }
    void SetGpsDecoder(GpsDecoder* gps) { gps_ = gps; }
    void SetWaveInput(WaveInput* wave) { wave_ = wave; }

    void ShowInfo(const QString& text, LineColor color) override;
    void ShowInfo(const DisplayText& text, LineColor color) override;

    void ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel) override;

    // Clears the display (the display's "清空" also zeroes the counters).
    void ClearDisplay() { display_.Clear(); }

private:
    void Beep(int frequencyHz, int durationMs);
    void CheckExpectedLength(qint64 count);
    // The display's change handler: with auto-scroll on, the outer bound.
    void edtMsgChange();

    ReceiveOptions& options_;
    DisplayLineStore& display_;
    ChannelCounters& counters_;
    std::function<void()> updateStatusBar_;
    EchoSink* echo_ = nullptr;
    RelayHook* relay_ = nullptr;
    Beeper* beeper_ = nullptr;
    LineLog* log_ = nullptr;
    GpsDecoder* gps_ = nullptr;
    WaveInput* wave_ = nullptr;
    quint8 chunkToggle_ = 0;
    // Per channel: text is decoded as the stream it is, not chunk by chunk.
    std::array<SplitCharacterCarry, kChannelCount> carries_;
};
