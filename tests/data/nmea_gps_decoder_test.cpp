#include "data/nmea_gps_decoder.h"

#include "data/receive_pipeline.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/info_recorder.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

QByteArray Sentence(const QByteArray& text)
{
    quint8 sum = 0;
    for (char c : text)
        sum ^= static_cast<quint8>(c);
    return "$" + text + "*" + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

const QByteArray kRmc = Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,");
const QString kRmcLine = QStringLiteral("GPS:longitude 11711.92500,latitude 3150.78200,speed 18.52\n");

TEST(NmeaGpsDecoder, ShowsOnePurpleLinePerChunkWithSentences)
{
    const QByteArray gsv = "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n" +
                           Sentence("GPGSV,2,2,08,19,11,102,38,28,45,200,44,31,07,046,33,32,60,300,48");
    const QByteArray withoutBreak = kRmc.chopped(2);
    const struct
    {
        const char* behaviour;
        QByteArray chunk;
        QString line;  // empty: no line
    } rows[] = {
        {"one valid minimum data sentence", kRmc, kRmcLine},
        {"status V still sets the values", Sentence("GPRMC,024813.640,V,3150.7820,N,11711.9250,E,10.0,89.2,150506,,"),
         kRmcLine},
        {"south and west are negative", Sentence("GPRMC,024813.640,A,3150.7820,S,11711.9250,W,10.0,89.2,150506,,"),
         QStringLiteral("GPS:longitude -11711.92500,latitude -3150.78200,speed 18.52\n")},
        {"satellites in view only give three zeros", gsv,
         QStringLiteral("GPS:longitude 0.00000,latitude 0.00000,speed 0.00\n")},
        {"wrong checksum", "$GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,*0C\r\n", QString()},
        {"no asterisk and digits", "$GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,\r\n", QString()},
        {"no CR LF", withoutBreak, QString()},
        {"other talker", Sentence("GNRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,"), QString()},
        {"nothing but text", "hello\r\n", QString()},
        {"lower-case checksum", withoutBreak.chopped(1) + "b\r\n", kRmcLine},
        {"later track sets the speed", kRmc + Sentence("GPVTG,89.2,T,,M,10.0,N,20.25,K"),
         QStringLiteral("GPS:longitude 11711.92500,latitude 3150.78200,speed 20.25\n")},
        {"sentence after a zero byte is not read", QByteArray("x\0", 2) + kRmc, QString()},
        {"zero byte after the sentence", kRmc + QByteArray("\0junk", 5), kRmcLine},
    };
    for (const auto& row : rows) {
        InfoRecorder recorder;
        NmeaGpsDecoder decoder(recorder);
        decoder.Decode(row.chunk);
        if (row.line.isEmpty()) {
            EXPECT_TRUE(recorder.lines.empty()) << row.behaviour;
            continue;
        }
        ASSERT_EQ(recorder.lines.size(), 1u) << row.behaviour;
        EXPECT_EQ(recorder.lines[0].text, row.line) << row.behaviour;
        EXPECT_EQ(recorder.lines[0].color, kPurple) << row.behaviour;
    }
}

TEST(NmeaGpsDecoder, NothingCarriesOverFromTheChunkBefore)
{
    InfoRecorder recorder;
    NmeaGpsDecoder decoder(recorder);
    decoder.Decode(kRmc);
    decoder.Decode(Sentence("GPVTG,89.2,T,,M,10.0,N,20.25,K"));
    ASSERT_EQ(recorder.lines.size(), 2u);
    EXPECT_EQ(recorder.lines[1].text, QStringLiteral("GPS:longitude 0.00000,latitude 0.00000,speed 20.25\n"));
}

class GpsPipelineTest : public ::testing::Test
{
protected:
    GpsPipelineTest() { pipeline.SetGpsDecoder(&decoder); }

    QStringList GpsLines() const
    {
        QStringList lines;
        for (qsizetype i = 0; i < display.LineCount(); ++i) {
            const DisplayLineStore::Line line = display.At(i);
            if (line.text.contains(QStringLiteral("GPS:"))) {
                EXPECT_EQ(line.color, kPurple);
                lines << QString(line.text).remove(QRegularExpression(QStringLiteral("^.*GPS:")));
            }
        }
        return lines;
    }

    FakeReceiveOptions options;
    DisplayLineStore display;
    ChannelCounters counters;
    ReceivePipeline pipeline{options, display, counters, nullptr};
    NmeaGpsDecoder decoder{pipeline};
};

TEST_F(GpsPipelineTest, OnlyWhileTheOptionIsChecked)
{
    pipeline.ProcessReceived(kRmc, QStringLiteral("COMA[ttyUSB0]"), COMA);
    EXPECT_TRUE(GpsLines().isEmpty());
    options.gps = true;
    pipeline.ProcessReceived(kRmc, QStringLiteral("COMA[ttyUSB0]"), COMA);
    EXPECT_EQ(GpsLines(), QStringList({QStringLiteral("longitude 11711.92500,latitude 3150.78200,speed 18.52")}));
}

TEST_F(GpsPipelineTest, SentenceSplitOverTwoChunksIsNotDecoded)
{
    options.gps = true;
    for (qsizetype cut : {qsizetype(1), qsizetype(7), qsizetype(40), kRmc.size() - 1}) {
        pipeline.ProcessReceived(kRmc.first(cut), QStringLiteral("COMA[ttyUSB0]"), COMA);
        pipeline.ProcessReceived(kRmc.sliced(cut), QStringLiteral("COMA[ttyUSB0]"), COMA);
    }
    EXPECT_TRUE(GpsLines().isEmpty());
}

TEST_F(GpsPipelineTest, LatestOnlyKeepsTheNewestChunksGpsLine)
{
    options.gps = true;
    options.latestOnly = true;
    pipeline.ProcessReceived(kRmc, QStringLiteral("COMA[ttyUSB0]"), COMA);
    pipeline.ProcessReceived(Sentence("GPRMC,024814.640,A,3150.7830,N,11711.9260,E,11.0,89.2,150506,,"),
                             QStringLiteral("COMA[ttyUSB0]"), COMA);
    EXPECT_EQ(GpsLines(), QStringList({QStringLiteral("longitude 11711.92600,latitude 3150.78300,speed 20.37")}));
    // The GPS line and the empty line its break makes come before the chunk's own lines.
    EXPECT_TRUE(display.At(0).text.contains(QStringLiteral("GPS:")));
    EXPECT_EQ(display.At(1).text, QString());
    EXPECT_TRUE(display.At(2).text.contains(QStringLiteral("接收")));
}

}  // namespace
