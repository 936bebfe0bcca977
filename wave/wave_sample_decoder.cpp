#include "wave/wave_sample_decoder.h"

#include <algorithm>
#include <cstring>

namespace WaveSamples {

int SampleSize(WaveSampleType type)
{
    switch (type) {
    case WaveSampleType::kInt8:
        return 1;
    case WaveSampleType::kInt16:
        return 2;
    case WaveSampleType::kInt32:
    case WaveSampleType::kFloat32:
        return 4;
    }
    return 1;
}

qsizetype FrameCount(qsizetype size, const WaveFormat& format)
{
    const int curves = std::clamp(format.curves, 1, WaveFormat::kMaxCurves);
    return size <= 0 ? 0 : size / SampleSize(format.type) / curves;
}

double Decode(const char* bytes, WaveSampleType type, bool isSigned)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    switch (type) {
    case WaveSampleType::kInt8:
        return isSigned ? double(static_cast<qint8>(b[0])) : double(b[0]);
    case WaveSampleType::kInt16: {
        const quint16 value = quint16(b[0] | (b[1] << 8));
        return isSigned ? double(static_cast<qint16>(value)) : double(value);
    }
    case WaveSampleType::kInt32: {
        const quint32 value = quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
        return isSigned ? double(static_cast<qint32>(value)) : double(value);
    }
    case WaveSampleType::kFloat32: {
        const quint32 value = quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
        float number;
        std::memcpy(&number, &value, sizeof number);
        return double(number);
    }
    }
    return 0;
}

}  // namespace WaveSamples

void WaveFeed::AddWaveData(QByteArrayView chunk, const WaveFormat& format)
{
    const int curves = std::clamp(format.curves, 1, WaveFormat::kMaxCurves);
    const int size = WaveSamples::SampleSize(format.type);
    const qsizetype frames = WaveSamples::FrameCount(chunk.size(), format);
    const qsizetype stride = qsizetype(size) * curves;
    for (int curve = 0; curve < curves; ++curve) {
        WavePlotChannel* channel = plot_.GetChannel(curve);
        if (!channel)
            continue;
        const char* sample = chunk.data() + qsizetype(curve) * size;
        for (qsizetype frame = 0; frame < frames; ++frame, sample += stride) {
            channel->AddXY(double(counter_), WaveSamples::Decode(sample, format.type, format.isSigned));
            ++counter_;
        }
    }
}

void WaveFeed::Clear()
{
    counter_ = 0;
    for (int index = 0; index < plot_.ChannelCount(); ++index)
        if (WavePlotChannel* channel = plot_.GetChannel(index))
            channel->Clear();
}
