// The waveform window's sample decoder on any chunk, in any format: the
// points it adds are exactly the whole frames, curve after curve, with X
// counting on, and each value is the sample read back independently.

#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"
#include "wave/wave_sample_decoder.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Point
{
    double x;
    double y;
};

struct Recorder : WavePlot
{
    struct Channel : WavePlotChannel
    {
        std::vector<Point> points;
        qint64 AddXY(double x, double y) override
        {
            points.push_back({x, y});
            return qint64(points.size()) - 1;
        }
        void Clear() override { points.clear(); }
    };
    int ChannelCount() const override { return 8; }
    WavePlotChannel* GetChannel(int index) override { return index >= 0 && index < 8 ? &channels[index] : nullptr; }
    Channel channels[8];
};

// The sample read byte by byte, big end last.
double Reference(const unsigned char* bytes, WaveSampleType type, bool isSigned)
{
    const int size = WaveSamples::SampleSize(type);
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    if (type == WaveSampleType::kFloat32) {
        const auto bits = std::uint32_t(value);
        float number;
        std::memcpy(&number, &bits, 4);
        return number;
    }
    if (isSigned && (value >> (size * 8 - 1)) & 1)
        return double(std::int64_t(value) - (std::int64_t(1) << (size * 8)));
    return double(value);
}

bool Same(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    Recorder plot;
    WaveFeed feed(plot);
    qint64 counter = 0;
    while (!input.Empty()) {
        WaveFormat format;
        const quint8 setting = input.TakeU8();
        format.curves = int(setting & 7) + 1 + ((setting & 0x80) ? 8 : 0);  // sometimes out of range
        format.type = WaveSampleType((setting >> 3) & 3);
        format.isSigned = setting & 0x20;
        const int high = input.TakeU8();
        const int low = input.TakeU8();
        const QByteArrayView chunk = input.TakeBytes(high * 4 + low);
        const int curves = std::min(format.curves, 8);
        const int sampleSize = WaveSamples::SampleSize(format.type);
        const qsizetype frames = chunk.size() / (sampleSize * curves);
        FUZZ_CHECK(WaveSamples::FrameCount(chunk.size(), format) == frames);

        size_t before[8];
        for (int c = 0; c < 8; ++c)
            before[c] = plot.channels[c].points.size();
        feed.AddWaveData(chunk, format);
        for (int c = 0; c < 8; ++c) {
            const std::vector<Point>& points = plot.channels[c].points;
            const size_t added = points.size() - before[c];
            FUZZ_CHECK(added == size_t(c < curves ? frames : 0));
            for (size_t j = 0; j < added; ++j) {
                const Point& point = points[before[c] + j];
                FUZZ_CHECK(point.x == double(counter + c * frames + qsizetype(j)));
                const auto* sample =
                    reinterpret_cast<const unsigned char*>(chunk.data()) + (j * curves + c) * sampleSize;
                FUZZ_CHECK(Same(point.y, Reference(sample, format.type, format.isSigned)));
            }
        }
        counter += frames * curves;
        FUZZ_CHECK(feed.Counter() == counter);
        if (setting == 0xFF) {
            feed.Clear();
            counter = 0;
            for (const Recorder::Channel& channel : plot.channels)
                FUZZ_CHECK(channel.points.empty());
        }
    }
    return 0;
}
