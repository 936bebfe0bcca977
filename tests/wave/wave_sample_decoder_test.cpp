#include "tests/wave/recording_plot.h"
#include "tests/wave/wave_cases.h"
#include "wave/wave_sample_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(WaveFeedTest, CasesGiveTheirPoints)
{
    for (const WaveCase& c : WaveCases()) {
        SCOPED_TRACE(c.name);
        RecordingPlot plot;
        WaveFeed feed(plot);
        feed.AddWaveData(c.chunk, c.format);
        qint64 points = 0;
        for (int curve = 0; curve < 8; ++curve) {
            const QList<QPointF> expected = curve < int(c.curves.size()) ? c.curves[curve] : QList<QPointF>();
            EXPECT_EQ(plot.channels[curve].points, expected) << "curve " << curve;
            points += expected.size();
        }
        EXPECT_EQ(feed.Counter(), points);
    }
}

TEST(WaveFeedTest, CounterRunsOnAcrossChunksAndClearStartsAtZero)
{
    RecordingPlot plot;
    WaveFeed feed(plot);
    const WaveFormat twoCurves{2, WaveSampleType::kInt8, false};
    feed.AddWaveData(QByteArray::fromHex("0102"), twoCurves);
    feed.AddWaveData(QByteArray::fromHex("030405"), twoCurves);
    EXPECT_EQ(plot.channels[0].points, (QList<QPointF>{{0, 1}, {2, 3}}));
    EXPECT_EQ(plot.channels[1].points, (QList<QPointF>{{1, 2}, {3, 4}}));
    EXPECT_EQ(feed.Counter(), 4);

    feed.Clear();
    EXPECT_EQ(feed.Counter(), 0);
    for (const RecordingPlot::Channel& channel : plot.channels) {
        EXPECT_EQ(channel.clears, 1);
        EXPECT_TRUE(channel.points.isEmpty());
    }
    feed.AddWaveData(QByteArray::fromHex("09"), WaveFormat{1, WaveSampleType::kInt8, false});
    EXPECT_EQ(plot.channels[0].points, (QList<QPointF>{{0, 9}}));
}

// A sample split between two chunks is not joined: each chunk on its own.
TEST(WaveFeedTest, SplitSampleIsNotJoined)
{
    const QByteArray stream = QByteArray::fromHex("e8030000d0070000");
    const WaveFormat format{1, WaveSampleType::kInt32, false};
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        RecordingPlot plot;
        WaveFeed feed(plot);
        feed.AddWaveData(QByteArrayView(stream).first(cut), format);
        feed.AddWaveData(QByteArrayView(stream).sliced(cut), format);
        // The bytes of a cut sample are dropped at the end of the first
        // chunk and read from the cut on in the second.
        EXPECT_EQ(plot.channels[0].points.size(), cut / 4 + (stream.size() - cut) / 4);
        if (cut % 4 == 0) {
            EXPECT_EQ(plot.channels[0].points, (QList<QPointF>{{0, 1000}, {1, 2000}}));
        } else if (cut > 4) {
            EXPECT_EQ(plot.channels[0].points.first(), QPointF(0, 1000));
        }
    }
}

TEST(WaveSamplesTest, FloatsKeepTheirSpecialValues)
{
    EXPECT_TRUE(std::isnan(WaveSamples::Decode("\x00\x00\xc0\x7f", WaveSampleType::kFloat32, false)));
    EXPECT_EQ(WaveSamples::Decode("\x00\x00\x80\x7f", WaveSampleType::kFloat32, false),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(WaveSamples::FrameCount(-1, WaveFormat{}), 0);
    // Curve counts outside 1..8 are brought into range, never divided by 0.
    EXPECT_EQ(WaveSamples::FrameCount(16, WaveFormat{0, WaveSampleType::kInt8, false}), 16);
    EXPECT_EQ(WaveSamples::FrameCount(16, WaveFormat{20, WaveSampleType::kInt8, false}), 2);
}

}  // namespace
