#include "data/nmea_parser.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

using Fields = QVarLengthArray<QByteArrayView, 24>;

constexpr double kKilometresPerKnot = 1.852;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(QByteArrayView field)
{
    for (char c : field)
        if (!IsDigit(c))
            return false;
    return true;
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A decimal number: an optional minus sign, digits and an optional fraction.
// An empty field reads as 0: receivers leave out what they do not know.
bool ReadNumber(QByteArrayView field, double& value)
{
    value = 0;
    if (field.isEmpty())
        return true;
    QByteArrayView digits = field;
    if (digits.startsWith('-'))
        digits = digits.sliced(1);
    const qsizetype point = digits.indexOf('.');
    const QByteArrayView whole = point < 0 ? digits : digits.first(point);
    const QByteArrayView fraction = point < 0 ? QByteArrayView() : digits.sliced(point + 1);
    if (whole.size() + fraction.size() == 0 || !AllDigits(whole) || !AllDigits(fraction))
        return false;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size();
}

// A count or an identifier: digits only, short enough for an int.
bool ReadInteger(QByteArrayView field, int& value)
{
    value = 0;
    if (field.size() > 9 || !AllDigits(field))
        return false;
    for (char c : field)
        value = value * 10 + (c - '0');
    return true;
}

bool ReadTwoDigits(QByteArrayView field, qsizetype at, int& value)
{
    return ReadInteger(field.sliced(at, 2), value);
}

// hhmmss with an optional fraction of the second.
bool ReadTime(QByteArrayView field, NmeaInfo& info)
{
    info.hour = info.minute = 0;
    info.second = 0;
    if (field.isEmpty())
        return true;
    if (field.size() < 6 || !AllDigits(field.first(6)) || (field.size() > 6 && field.at(6) != '.'))
        return false;
    // A leap second is 60.
    return ReadTwoDigits(field, 0, info.hour) && ReadTwoDigits(field, 2, info.minute) &&
           ReadNumber(field.sliced(4), info.second) && info.hour < 24 && info.minute < 60 && info.second < 61;
}

// ddmmyy; two-digit years from 80 on are 1980 to 1999, as GPS began in 1980.
bool ReadDate(QByteArrayView field, NmeaInfo& info)
{
    info.year = info.month = info.day = 0;
    if (field.isEmpty())
        return true;
    int year = 0;
    if (field.size() != 6 || !ReadTwoDigits(field, 0, info.day) || !ReadTwoDigits(field, 2, info.month) ||
        !ReadTwoDigits(field, 4, year))
        return false;
    info.year = year < 80 ? 2000 + year : 1900 + year;
    return info.day >= 1 && info.day <= 31 && info.month >= 1 && info.month <= 12;
}

// A value and its hemisphere letter: `negative` makes it negative, `positive`
// or an empty letter keeps it.
bool ReadSigned(QByteArrayView field, QByteArrayView hemisphere, char positive, char negative, double& value)
{
    if (!ReadNumber(field, value))
        return false;
    if (hemisphere.isEmpty() || hemisphere == QByteArrayView(&positive, 1))
        return true;
    if (hemisphere != QByteArrayView(&negative, 1))
        return false;
    value = -value;
    return true;
}

bool ReadPosition(const Fields& fields, qsizetype at, NmeaInfo& info)
{
    return ReadSigned(fields[at], fields[at + 1], 'N', 'S', info.latitude) &&
           ReadSigned(fields[at + 2], fields[at + 3], 'E', 'W', info.longitude);
}

// $GPGGA,time,lat,N,lon,E,quality,satellites,hdop,altitude,M,separation,M,age,station
bool DecodeGga(const Fields& fields, NmeaInfo& info)
{
    return fields.size() >= 15 && ReadTime(fields[1], info) && ReadPosition(fields, 2, info) &&
           ReadInteger(fields[6], info.signal) && ReadInteger(fields[7], info.satellitesUsed) &&
           ReadNumber(fields[8], info.hdop) && ReadNumber(fields[9], info.altitude);
}

// $GPGSA,mode,fix,12 × prn,pdop,hdop,vdop
bool DecodeGsa(const Fields& fields, NmeaInfo& info)
{
    if (fields.size() < 18 || fields[1].size() > 1 || !ReadInteger(fields[2], info.fix))
        return false;
    if (fields[2].isEmpty())
        info.fix = NmeaInfo::kFixInvalid;
    if (info.fix < NmeaInfo::kFixInvalid || info.fix > NmeaInfo::kFix3D)
        return false;
    info.satellitesUsed = 0;
    for (int i = 0; i < NmeaInfo::kMaxUsed; ++i) {
        if (!ReadInteger(fields[3 + i], info.usedPrns[i]))
            return false;
        if (info.usedPrns[i] != 0)
            ++info.satellitesUsed;
    }
    return ReadNumber(fields[15], info.pdop) && ReadNumber(fields[16], info.hdop) && ReadNumber(fields[17], info.vdop);
}

// $GPGSV,sentences,number,in view,up to 4 × (prn,elevation,azimuth,snr)
bool DecodeGsv(const Fields& fields, NmeaInfo& info)
{
    int count = 0;
    int number = 0;
    if (fields.size() < 4 || !ReadInteger(fields[1], count) || !ReadInteger(fields[2], number) ||
        !ReadInteger(fields[3], info.satellitesInView))
        return false;
    constexpr int kPerSentence = 4;
    constexpr int kMaxSentences = NmeaInfo::kMaxSatellites / kPerSentence;
    if (count < 1 || count > kMaxSentences || number < 1 || number > count)
        return false;
    // Fields after the last whole satellite (NMEA 4.1's signal id) are not read.
    const qsizetype satellites = std::min<qsizetype>((fields.size() - 4) / 4, kPerSentence);
    for (qsizetype i = 0; i < satellites; ++i) {
        NmeaInfo::Satellite& satellite = info.satellites[(number - 1) * kPerSentence + i];
        const qsizetype at = 4 + 4 * i;
        if (!ReadInteger(fields[at], satellite.prn) || !ReadInteger(fields[at + 1], satellite.elevation) ||
            !ReadInteger(fields[at + 2], satellite.azimuth) || !ReadInteger(fields[at + 3], satellite.snr))
            return false;
    }
    return true;
}

// $GPRMC,time,status,lat,N,lon,E,knots,course,date,variation,E
bool DecodeRmc(const Fields& fields, NmeaInfo& info)
{
    double knots = 0;
    if (fields.size() < 12 || !ReadTime(fields[1], info) || !ReadPosition(fields, 3, info) ||
        !ReadNumber(fields[7], knots) || !ReadNumber(fields[8], info.course) || !ReadDate(fields[9], info) ||
        !ReadSigned(fields[10], fields[11], 'E', 'W', info.magneticVariation))
        return false;
    info.speed = knots * kKilometresPerKnot;
    // A speed near the largest double would become infinite in km/h.
    if (!std::isfinite(info.speed))
        return false;
    if (fields[2] == "A") {
        if (info.signal == NmeaInfo::kSignalInvalid)
            info.signal = NmeaInfo::kSignalFix;
        if (info.fix == NmeaInfo::kFixInvalid)
            info.fix = NmeaInfo::kFix2D;
        return true;
    }
    if (fields[2] == "V") {
        // Void: the receiver vouches for nothing, yet the fields are taken.
        info.signal = NmeaInfo::kSignalInvalid;
        info.fix = NmeaInfo::kFixInvalid;
        return true;
    }
    return false;
}

// $GPVTG,course,T,magnetic course,M,knots,N,km/h,K
bool DecodeVtg(const Fields& fields, NmeaInfo& info)
{
    return fields.size() >= 9 && ReadNumber(fields[1], info.course) && ReadNumber(fields[7], info.speed);
}

// Decodes the text between "$" and "*" into `info`; a sentence that does not
// read leaves it untouched.
bool DecodeSentence(QByteArrayView body, NmeaInfo& info)
{
    Fields fields;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= body.size(); ++i) {
        if (i == body.size() || body[i] == ',') {
            fields.append(body.sliced(start, i - start));
            start = i + 1;
        }
    }
    static const struct
    {
        const char* type;
        bool (*decode)(const Fields&, NmeaInfo&);
    } kDecoders[] = {
        {"GPGGA", DecodeGga}, {"GPGSA", DecodeGsa}, {"GPGSV", DecodeGsv}, {"GPRMC", DecodeRmc}, {"GPVTG", DecodeVtg},
    };
    for (const auto& decoder : kDecoders) {
        if (fields[0] != decoder.type)
            continue;
        NmeaInfo updated = info;
        if (!decoder.decode(fields, updated))
            return false;
        info = updated;
        return true;
    }
    return false;
}

}  // namespace

int ParseNmea(QByteArrayView bytes, NmeaInfo& info)
{
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    int decoded = 0;
    const auto nextStart = [&](qsizetype from) {
        const void* found = from < size ? std::memchr(data + from, '$', size - from) : nullptr;
        return found ? static_cast<const char*>(found) - data : size;
    };
    for (qsizetype start = nextStart(0); start < size;) {
        // A line break or another "$" before the "*" ends a sentence that
        // never got its checksum.
        quint8 sum = 0;
        qsizetype end = start + 1;
        for (; end < size; ++end) {
            const char c = data[end];
            if (c == '*' || c == '$' || c == '\r' || c == '\n')
                break;
            sum ^= static_cast<quint8>(c);
        }
        if (end + 4 < size && data[end] == '*' && data[end + 3] == '\r' && data[end + 4] == '\n' &&
            HexValue(data[end + 1]) >= 0 && HexValue(data[end + 2]) >= 0 &&
            HexValue(data[end + 1]) * 16 + HexValue(data[end + 2]) == sum) {
            if (DecodeSentence(bytes.sliced(start + 1, end - start - 1), info))
                ++decoded;
            end += 5;
        }
        start = nextStart(end);
    }
    return decoded;
}
