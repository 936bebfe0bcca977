#pragma once

#include "wave/wave_plot.h"

#include <QByteArrayView>

// The sample layout the waveform window reads: little-endian numbers of one
// type, interleaved by curve (frame after frame, each frame one sample for
// curve 0, then curve 1, ...).
enum class WaveSampleType { kInt8, kInt16, kInt32, kFloat32 };

struct WaveFormat
{
    static constexpr int kMaxCurves = 8;

    // 1 to 8; other values are brought into that range.
    int curves = 1;
    WaveSampleType type = WaveSampleType::kInt8;
    // Integers only: two's complement of the sample's width.
    bool isSigned = false;
};

namespace WaveSamples {

int SampleSize(WaveSampleType type);

// Whole frames in a chunk of `size` bytes; the bytes of an incomplete last
// frame are not counted.
qsizetype FrameCount(qsizetype size, const WaveFormat& format);

// The sample at `bytes`, which holds at least SampleSize(type) bytes.
double Decode(const char* bytes, WaveSampleType type, bool isSigned);

}  // namespace WaveSamples

// Turns chunks into points of a plot. The sample counter is the X of the next
// point added to any curve: all points of curve 0 of a chunk come first, then
// those of curve 1, and so on, and the counter runs on across curves and
// chunks. Each chunk is decoded on its own.
class WaveFeed
{
public:
    explicit WaveFeed(WavePlot& plot) : plot_(plot) {}

    void AddWaveData(QByteArrayView chunk, const WaveFormat& format);
    // Counter back to 0, every channel of the plot empty.
    void Clear();

    qint64 Counter() const { return counter_; }

private:
    WavePlot& plot_;
    // 64 bits: a 32-bit counter would wrap after 2^31 samples (hours of a
    // fast stream) and send the newest points back to the far left.
    qint64 counter_ = 0;
};
