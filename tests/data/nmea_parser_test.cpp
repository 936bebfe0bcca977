#include "data/nmea_parser.h"

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>

namespace {

// "$", the text, "*", its checksum and CR LF: for sentences made up here.
QByteArray Sentence(const QByteArray& text)
{
    quint8 sum = 0;
    for (char c : text)
        sum ^= static_cast<quint8>(c);
    return "$" + text + "*" + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

// Compares every field; positions and speeds may differ in the last bits of
// the arithmetic, nothing else.
void ExpectSameInfo(const NmeaInfo& got, const NmeaInfo& want)
{
    EXPECT_EQ(got.year, want.year);
    EXPECT_EQ(got.month, want.month);
    EXPECT_EQ(got.day, want.day);
    EXPECT_EQ(got.hour, want.hour);
    EXPECT_EQ(got.minute, want.minute);
    EXPECT_DOUBLE_EQ(got.second, want.second);
    EXPECT_EQ(got.signal, want.signal);
    EXPECT_EQ(got.fix, want.fix);
    EXPECT_DOUBLE_EQ(got.pdop, want.pdop);
    EXPECT_DOUBLE_EQ(got.hdop, want.hdop);
    EXPECT_DOUBLE_EQ(got.vdop, want.vdop);
    EXPECT_DOUBLE_EQ(got.latitude, want.latitude);
    EXPECT_DOUBLE_EQ(got.longitude, want.longitude);
    EXPECT_DOUBLE_EQ(got.altitude, want.altitude);
    EXPECT_DOUBLE_EQ(got.speed, want.speed);
    EXPECT_DOUBLE_EQ(got.course, want.course);
    EXPECT_DOUBLE_EQ(got.magneticVariation, want.magneticVariation);
    EXPECT_EQ(got.satellitesUsed, want.satellitesUsed);
    EXPECT_EQ(got.usedPrns, want.usedPrns);
    EXPECT_EQ(got.satellitesInView, want.satellitesInView);
    for (int i = 0; i < NmeaInfo::kMaxSatellites; ++i) {
        EXPECT_EQ(got.satellites[i].prn, want.satellites[i].prn) << "satellite " << i;
        EXPECT_EQ(got.satellites[i].elevation, want.satellites[i].elevation) << "satellite " << i;
        EXPECT_EQ(got.satellites[i].azimuth, want.satellites[i].azimuth) << "satellite " << i;
        EXPECT_EQ(got.satellites[i].snr, want.satellites[i].snr) << "satellite " << i;
    }
}

void Time(NmeaInfo& info, int hour, int minute, double second)
{
    info.hour = hour;
    info.minute = minute;
    info.second = second;
}

void Date(NmeaInfo& info, int year, int month, int day)
{
    info.year = year;
    info.month = month;
    info.day = day;
}

void Used(NmeaInfo& info, std::initializer_list<int> prns, double pdop, double hdop, double vdop)
{
    info.fix = NmeaInfo::kFix3D;
    int i = 0;
    for (int prn : prns)
        info.usedPrns[i++] = prn;
    info.satellitesUsed = static_cast<int>(prns.size());
    info.pdop = pdop;
    info.hdop = hdop;
    info.vdop = vdop;
}

void InView(NmeaInfo& info, int count, int first, std::initializer_list<NmeaInfo::Satellite> satellites)
{
    info.satellitesInView = count;
    for (const NmeaInfo::Satellite& satellite : satellites)
        info.satellites[first++] = satellite;
}

// Status A from an empty record: a plain fix, and at least a 2D one.
void Valid(NmeaInfo& info)
{
    info.signal = NmeaInfo::kSignalFix;
    info.fix = NmeaInfo::kFix2D;
}

struct FixtureRow
{
    const char* receiver;
    QByteArray sentence;  // without CR LF, exactly as the receiver sent it
    std::function<void(NmeaInfo&)> decoded;
};

// Sentences as receivers of several makes send them, decoded by hand.
const QList<FixtureRow>& Fixture()
{
    static const QList<FixtureRow> rows = {
        {"NMEA reference fix", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
         [](NmeaInfo& i) {
             Time(i, 12, 35, 19);
             i.latitude = 4807.038;
             i.longitude = 1131.0;
             i.signal = 1;
             i.satellitesUsed = 8;
             i.hdop = 0.9;
             i.altitude = 545.4;
         }},
        {"NMEA reference minimum data", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
         [](NmeaInfo& i) {
             Time(i, 12, 35, 19);
             Date(i, 1994, 3, 23);
             Valid(i);
             i.latitude = 4807.038;
             i.longitude = 1131.0;
             i.speed = 41.4848;  // 22.4 knots
             i.course = 84.4;
             i.magneticVariation = -3.1;
         }},
        {"NMEA reference satellites used", "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
         [](NmeaInfo& i) {
             Used(i, {4, 5, 0, 9, 12, 0, 0, 24}, 2.5, 1.3, 2.1);
             i.satellitesUsed = 5;
         }},
        {"NMEA reference satellites in view",
         "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75",
         [](NmeaInfo& i) { InView(i, 8, 0, {{1, 40, 83, 46}, {2, 17, 308, 41}, {12, 7, 344, 39}, {14, 22, 228, 45}}); }},
        {"NMEA reference track and speed", "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48",
         [](NmeaInfo& i) {
             i.course = 54.7;
             i.speed = 10.2;
         }},
        {"SiRF fix, negative geoid separation",
         "$GPGGA,002153.000,3342.6618,N,11751.3858,W,1,10,1.2,27.0,M,-34.2,M,,0000*5E",
         [](NmeaInfo& i) {
             Time(i, 0, 21, 53);
             i.latitude = 3342.6618;
             i.longitude = -11751.3858;
             i.signal = 1;
             i.satellitesUsed = 10;
             i.hdop = 1.2;
             i.altitude = 27.0;
         }},
        {"SiRF minimum data, no magnetic variation",
         "$GPRMC,161229.487,A,3723.2475,N,12158.3416,W,0.13,309.62,120598,,*10",
         [](NmeaInfo& i) {
             Time(i, 16, 12, 29.487);
             Date(i, 1998, 5, 12);
             Valid(i);
             i.latitude = 3723.2475;
             i.longitude = -12158.3416;
             i.speed = 0.24076;  // 0.13 knots
             i.course = 309.62;
         }},
        {"SiRF satellites used", "$GPGSA,A,3,07,02,26,27,09,04,15,,,,,,1.8,1.0,1.5*33",
         [](NmeaInfo& i) { Used(i, {7, 2, 26, 27, 9, 4, 15}, 1.8, 1.0, 1.5); }},
        {"SiRF satellites in view, first of two",
         "$GPGSV,2,1,07,07,79,048,42,02,51,062,43,26,36,256,42,27,27,138,42*71",
         [](NmeaInfo& i) { InView(i, 7, 0, {{7, 79, 48, 42}, {2, 51, 62, 43}, {26, 36, 256, 42}, {27, 27, 138, 42}}); }},
        {"SiRF satellites in view, last of two, three satellites",
         "$GPGSV,2,2,07,09,23,313,42,04,19,159,41,15,12,041,42*41",
         [](NmeaInfo& i) { InView(i, 7, 4, {{9, 23, 313, 42}, {4, 19, 159, 41}, {15, 12, 41, 42}}); }},
        {"SiRF fix without geoid separation", "$GPGGA,161229.487,3723.2475,N,12158.3416,W,1,07,1.0,9.0,M,,,,0000*18",
         [](NmeaInfo& i) {
             Time(i, 16, 12, 29.487);
             i.latitude = 3723.2475;
             i.longitude = -12158.3416;
             i.signal = 1;
             i.satellitesUsed = 7;
             i.hdop = 1.0;
             i.altitude = 9.0;
         }},
        {"u-blox minimum data, five decimals and a mode field",
         "$GPRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*57",
         [](NmeaInfo& i) {
             Time(i, 8, 35, 59);
             Date(i, 2002, 12, 9);
             Valid(i);
             i.latitude = 4717.11437;
             i.longitude = 833.91522;
             i.speed = 0.007408;  // 0.004 knots
             i.course = 77.52;
         }},
        {"u-blox fix", "$GPGGA,092725.00,4717.11399,N,00833.91590,E,1,08,1.01,499.6,M,48.0,M,,*5B",
         [](NmeaInfo& i) {
             Time(i, 9, 27, 25);
             i.latitude = 4717.11399;
             i.longitude = 833.9159;
             i.signal = 1;
             i.satellitesUsed = 8;
             i.hdop = 1.01;
             i.altitude = 499.6;
         }},
        {"u-blox track, magnetic course empty", "$GPVTG,77.52,T,,M,0.004,N,0.008,K,A*06",
         [](NmeaInfo& i) {
             i.course = 77.52;
             i.speed = 0.008;
         }},
        {"u-blox satellites used", "$GPGSA,A,3,23,29,07,08,09,18,26,28,,,,,1.94,1.18,1.54*0D",
         [](NmeaInfo& i) { Used(i, {23, 29, 7, 8, 9, 18, 26, 28}, 1.94, 1.18, 1.54); }},
        {"u-blox satellites in view", "$GPGSV,3,1,10,23,38,230,44,29,71,156,47,07,29,116,41,08,09,081,36*7F",
         [](NmeaInfo& i) { InView(i, 10, 0, {{23, 38, 230, 44}, {29, 71, 156, 47}, {7, 29, 116, 41}, {8, 9, 81, 36}}); }},
        {"MediaTek minimum data", "$GPRMC,194509.000,A,4042.6142,N,07400.4168,W,2.03,221.11,160412,,,A*77",
         [](NmeaInfo& i) {
             Time(i, 19, 45, 9);
             Date(i, 2012, 4, 16);
             Valid(i);
             i.latitude = 4042.6142;
             i.longitude = -7400.4168;
             i.speed = 3.75956;  // 2.03 knots
             i.course = 221.11;
         }},
        {"Garmin minimum data, two decimals, east variation",
         "$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68",
         [](NmeaInfo& i) {
             Time(i, 22, 54, 46);
             Date(i, 1994, 11, 19);
             Valid(i);
             i.latitude = 4916.45;
             i.longitude = -12311.12;
             i.speed = 0.926;  // 0.5 knots
             i.course = 54.7;
             i.magneticVariation = 20.3;
         }},
        {"Garmin minimum data, fast", "$GPRMC,220516,A,5133.82,N,00042.24,W,173.8,231.8,130694,004.2,W*70",
         [](NmeaInfo& i) {
             Time(i, 22, 5, 16);
             Date(i, 1994, 6, 13);
             Valid(i);
             i.latitude = 5133.82;
             i.longitude = -42.24;
             i.speed = 321.8776;  // 173.8 knots
             i.course = 231.8;
             i.magneticVariation = -4.2;
         }},
        {"survey receiver, eight decimals, differential fix",
         "$GPGGA,172814.0,3723.46587704,N,12202.26957864,W,2,6,1.2,18.893,M,-25.669,M,2.0,0031*4F",
         [](NmeaInfo& i) {
             Time(i, 17, 28, 14);
             i.latitude = 3723.46587704;
             i.longitude = -12202.26957864;
             i.signal = NmeaInfo::kSignalDifferential;
             i.satellitesUsed = 6;
             i.hdop = 1.2;
             i.altitude = 18.893;
         }},
        {"logger minimum data", "$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43",
         [](NmeaInfo& i) {
             Time(i, 9, 27, 50);
             Date(i, 2011, 5, 28);
             Valid(i);
             i.latitude = 5321.6802;
             i.longitude = -630.3372;
             i.speed = 0.03704;  // 0.02 knots
             i.course = 31.66;
         }},
        {"logger fix, one-digit satellite count",
         "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76",
         [](NmeaInfo& i) {
             Time(i, 9, 27, 50);
             i.latitude = 5321.6802;
             i.longitude = -630.3372;
             i.signal = 1;
             i.satellitesUsed = 8;
             i.hdop = 1.03;
             i.altitude = 61.7;
         }},
        {"logger satellites used", "$GPGSA,A,3,10,07,05,02,29,04,08,13,,,,,1.72,1.03,1.38*0A",
         [](NmeaInfo& i) { Used(i, {10, 7, 5, 2, 29, 4, 8, 13}, 1.72, 1.03, 1.38); }},
        {"logger satellites in view", "$GPGSV,3,1,11,10,63,137,17,07,61,098,15,05,59,290,20,08,54,157,30*70",
         [](NmeaInfo& i) { InView(i, 11, 0, {{10, 63, 137, 17}, {7, 61, 98, 15}, {5, 59, 290, 20}, {8, 54, 157, 30}}); }},
        {"logger satellites in view, last block empty", "$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,*4D",
         [](NmeaInfo& i) { InView(i, 11, 8, {{22, 42, 67, 42}, {24, 14, 311, 43}, {27, 5, 244, 0}}); }},
        {"whole knots and degrees", "$GPRMC,001225,A,2832.1834,N,08101.0536,W,12,25,251211,1.2,E,A*03",
         [](NmeaInfo& i) {
             Time(i, 0, 12, 25);
             Date(i, 2011, 12, 25);
             Valid(i);
             i.latitude = 2832.1834;
             i.longitude = -8101.0536;
             i.speed = 22.224;  // 12 knots
             i.course = 25;
             i.magneticVariation = 1.2;
         }},
        {"no satellite in view", "$GPGSV,1,1,00*79", [](NmeaInfo&) {}},
        {"lower-case checksum", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a",
         [](NmeaInfo& i) {
             Time(i, 12, 35, 19);
             Date(i, 1994, 3, 23);
             Valid(i);
             i.latitude = 4807.038;
             i.longitude = 1131.0;
             i.speed = 41.4848;
             i.course = 84.4;
             i.magneticVariation = -3.1;
         }},
        {"u-blox satellites used, lower-case checksum", "$GPGSA,A,3,23,29,07,08,09,18,26,28,,,,,1.94,1.18,1.54*0d",
         [](NmeaInfo& i) { Used(i, {23, 29, 7, 8, 9, 18, 26, 28}, 1.94, 1.18, 1.54); }},
    };
    return rows;
}

TEST(NmeaParser, FixtureSentencesGiveTheirHandDecodedValues)
{
    for (const FixtureRow& row : Fixture()) {
        SCOPED_TRACE(row.receiver);
        NmeaInfo got;
        EXPECT_EQ(ParseNmea(row.sentence + "\r\n", got), 1);
        NmeaInfo want;
        row.decoded(want);
        ExpectSameInfo(got, want);
    }
}

TEST(NmeaParser, FixtureSentenceSplitAtEveryByteIsDecodedByNeitherPiece)
{
    for (const FixtureRow& row : Fixture()) {
        SCOPED_TRACE(row.receiver);
        const QByteArray whole = row.sentence + "\r\n";
        for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
            NmeaInfo first;
            NmeaInfo second;
            const int decoded = ParseNmea(whole.first(cut), first) + ParseNmea(whole.sliced(cut), second);
            const bool cutInside = cut > 0 && cut < whole.size();
            ASSERT_EQ(decoded, cutInside ? 0 : 1) << "cut at " << cut;
            if (cutInside) {
                ASSERT_EQ(first, NmeaInfo()) << "cut at " << cut;
                ASSERT_EQ(second, NmeaInfo()) << "cut at " << cut;
            }
        }
    }
}

TEST(NmeaParser, FixtureStreamCutAnywhereLosesOnlyTheSentenceCut)
{
    // All sentences in one stream with noise between some of them.
    QByteArray stream;
    QList<std::pair<qsizetype, qsizetype>> sentences;  // [begin, end) of each
    int i = 0;
    for (const FixtureRow& row : Fixture()) {
        if (i++ % 3 == 0)
            stream += "noise $GPX*\r\n";
        sentences.append({stream.size(), stream.size() + row.sentence.size() + 2});
        stream += row.sentence + "\r\n";
    }
    NmeaInfo whole;
    ASSERT_EQ(ParseNmea(stream, whole), Fixture().size());
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        const bool cutInside = std::any_of(sentences.begin(), sentences.end(), [cut](const auto& sentence) {
            return cut > sentence.first && cut < sentence.second;
        });
        NmeaInfo pieces;
        const int decoded = ParseNmea(stream.first(cut), pieces) + ParseNmea(stream.sliced(cut), pieces);
        ASSERT_EQ(decoded, Fixture().size() - (cutInside ? 1 : 0)) << "cut at " << cut;
        if (!cutInside) {
            ASSERT_EQ(pieces, whole) << "cut at " << cut;
        }
    }
}

TEST(NmeaParser, IncompleteOrForeignSentencesAreSkipped)
{
    const QByteArray rmc = Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,");
    const QByteArray withoutBreak = rmc.chopped(2);
    const struct
    {
        const char* behaviour;
        QByteArray bytes;
    } rows[] = {
        {"wrong checksum", "$GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,*0C\r\n"},
        {"no asterisk and digits", "$GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,\r\n"},
        {"one checksum digit", "$GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,*0\r\n"},
        {"checksum digits not hex", "$GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,*0G\r\n"},
        {"no CR LF", withoutBreak},
        {"LF only", withoutBreak + "\n"},
        {"CR only", withoutBreak + "\r"},
        {"LF CR", withoutBreak + "\n\r"},
        {"no dollar", rmc.sliced(1)},
        {"line break inside", Sentence("GPRMC,024813.640,A,3150.7820,N,\r\n11711.9250,E,10.0,89.2,150506,,")},
        {"other talker", Sentence("GNRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,")},
        {"other sentence type", Sentence("GPZDA,201530.00,04,07,2002,00,00")},
        {"proprietary sentence", Sentence("PGRME,15.0,M,45.0,M,25.0,M")},
        {"type without fields", Sentence("GPRMC")},
        {"nothing between dollar and asterisk", Sentence("")},
        {"type in lower case", Sentence("gprmc,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,")},
        {"latitude not a number", Sentence("GPRMC,024813.640,A,31x0.7820,N,11711.9250,E,10.0,89.2,150506,,")},
        {"latitude with two points", Sentence("GPRMC,024813.640,A,3150.78.20,N,11711.9250,E,10.0,89.2,150506,,")},
        {"hemisphere not N or S", Sentence("GPRMC,024813.640,A,3150.7820,X,11711.9250,E,10.0,89.2,150506,,")},
        {"status neither A nor V", Sentence("GPRMC,024813.640,X,3150.7820,N,11711.9250,E,10.0,89.2,150506,,")},
        {"time too short", Sentence("GPRMC,0248,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,")},
        {"hour 24", Sentence("GPRMC,244813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,")},
        {"month 13", Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,151306,,")},
        {"knots beyond what km/h can hold",
         Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E," + QByteArray(308, '9') + ",89.2,150506,,")},
        {"speed written with an exponent", Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E,1e1,89.2,150506,,")},
        {"minimum data one field short", Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,")},
        {"fix one field short", Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,")},
        {"satellites used, fix mode 4", Sentence("GPGSA,A,4,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")},
        {"satellites in view, sentence 0", Sentence("GPGSV,2,0,08,01,40,083,46")},
        {"satellites in view, sentence past the count", Sentence("GPGSV,2,3,08,01,40,083,46")},
        {"satellites in view, ten sentences", Sentence("GPGSV,10,10,40,01,40,083,46")},
        {"satellites in view, count too long", Sentence("GPGSV,2,1,1234567890,01,40,083,46")},
        {"satellites in view, elevation negative", Sentence("GPGSV,1,1,01,01,-4,083,46")},
        {"track without its km/h field", Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2")},
    };
    for (const auto& row : rows) {
        NmeaInfo info;
        EXPECT_EQ(ParseNmea(row.bytes, info), 0) << row.behaviour;
        EXPECT_EQ(info, NmeaInfo()) << row.behaviour;
    }
}

TEST(NmeaParser, SentencesUpdateTheRecordInTheirOrder)
{
    const QByteArray rmc = Sentence("GPRMC,024813.640,A,3150.7820,N,11711.9250,E,10.0,89.2,150506,,");
    const QByteArray vtg = Sentence("GPVTG,89.2,T,,M,10.0,N,18.5,K");
    const QByteArray gga = Sentence("GPGGA,024814.000,3150.7830,N,11711.9260,E,2,08,0.9,45.4,M,,M,,");
    const QByteArray voidRmc = Sentence("GPRMC,024815.000,V,,,,,,,150506,,");
    const struct
    {
        const char* behaviour;
        QByteArray bytes;
        int decoded;
        double latitude;
        double speed;
        int signal;
        int fix;
    } rows[] = {
        {"minimum data alone: knots in km/h", rmc, 1, 3150.782, 18.52, NmeaInfo::kSignalFix, NmeaInfo::kFix2D},
        {"track after it: its km/h field", rmc + vtg, 2, 3150.782, 18.5, NmeaInfo::kSignalFix, NmeaInfo::kFix2D},
        {"track before it: the knots", vtg + rmc, 2, 3150.782, 18.52, NmeaInfo::kSignalFix, NmeaInfo::kFix2D},
        {"fix after it: its position and quality", rmc + gga, 2, 3150.783, 18.52, NmeaInfo::kSignalDifferential,
         NmeaInfo::kFix2D},
        {"status A keeps a differential fix", gga + rmc, 2, 3150.782, 18.52, NmeaInfo::kSignalDifferential,
         NmeaInfo::kFix2D},
        {"status V with empty fields: zero and invalid", gga + voidRmc, 2, 0, 0, NmeaInfo::kSignalInvalid,
         NmeaInfo::kFixInvalid},
        {"broken sentence between two", rmc + "$GPVTG,x*00\r\n" + vtg, 2, 3150.782, 18.5, NmeaInfo::kSignalFix,
         NmeaInfo::kFix2D},
        {"a dollar cuts the sentence before it", "$GPRMC,02$GPVTG,89.2,T,,M,10.0,N,18.5,K*5E\r\n", 1, 0, 18.5,
         NmeaInfo::kSignalInvalid, NmeaInfo::kFixInvalid},
        {"noise around", "\x01\xFF" "noise*12\r\n" + rmc + "$$$***\r\n", 1, 3150.782, 18.52, NmeaInfo::kSignalFix,
         NmeaInfo::kFix2D},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        NmeaInfo info;
        EXPECT_EQ(ParseNmea(row.bytes, info), row.decoded);
        EXPECT_DOUBLE_EQ(info.latitude, row.latitude);
        EXPECT_DOUBLE_EQ(info.speed, row.speed);
        EXPECT_EQ(info.signal, row.signal);
        EXPECT_EQ(info.fix, row.fix);
    }
}

TEST(NmeaParser, StatusVStillSetsPositionAndSpeed)
{
    NmeaInfo info;
    info.signal = NmeaInfo::kSignalFix;
    info.fix = NmeaInfo::kFix3D;
    ASSERT_EQ(ParseNmea(Sentence("GPRMC,024813.640,V,3150.7820,S,11711.9250,W,10.0,89.2,150506,,"), info), 1);
    EXPECT_DOUBLE_EQ(info.latitude, -3150.782);
    EXPECT_DOUBLE_EQ(info.longitude, -11711.925);
    EXPECT_DOUBLE_EQ(info.speed, 18.52);
    EXPECT_EQ(info.signal, NmeaInfo::kSignalInvalid);
    EXPECT_EQ(info.fix, NmeaInfo::kFixInvalid);
}

}  // namespace
