// The NMEA decoder and the GPS line on any received chunk.

#include "data/nmea_gps_decoder.h"
#include "data/nmea_parser.h"
#include "tests/fuzz/fuzz_check.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct LineRecorder : DisplayTextSink
{
    std::vector<QString> lines;
    void ShowInfo(const QString& text, LineColor color) override
    {
        FUZZ_CHECK(color == kPurple);
        lines.push_back(text);
    }
    void ShowInfo(const DisplayText& text, LineColor color) override { ShowInfo(text.ToString(), color); }
};

// The framing rule written out with std::string, as the oracle of the
// parser's scan: from every "$", the text up to the first "*", "$", CR or
// LF, and then "*", two hex digits that match, CR and LF.
std::vector<std::string> FramedSentences(const std::string& bytes)
{
    std::vector<std::string> sentences;
    for (size_t start = bytes.find('$'); start != std::string::npos; start = bytes.find('$', start + 1)) {
        const size_t end = bytes.find_first_of("*$\r\n", start + 1);
        if (end == std::string::npos || bytes[end] != '*' || end + 4 >= bytes.size())
            continue;
        const std::string tail = bytes.substr(end, 5);
        if (tail[3] != '\r' || tail[4] != '\n' || !std::isxdigit(static_cast<unsigned char>(tail[1])) ||
            !std::isxdigit(static_cast<unsigned char>(tail[2])))
            continue;
        unsigned sum = 0;
        for (size_t i = start + 1; i < end; ++i)
            sum ^= static_cast<unsigned char>(bytes[i]);
        if (sum == std::stoul(tail.substr(1, 2), nullptr, 16))
            sentences.push_back(bytes.substr(start, end + 5 - start));
    }
    return sentences;
}

bool Finite(const NmeaInfo& info)
{
    for (double value : {info.second, info.pdop, info.hdop, info.vdop, info.latitude, info.longitude, info.altitude,
                         info.speed, info.course, info.magneticVariation})
        if (!std::isfinite(value))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    NmeaInfo whole;
    const int decoded = ParseNmea(bytes, whole);

    // Exactly the framed sentences that decode on their own are decoded.
    int alone = 0;
    for (const std::string& sentence : FramedSentences(std::string(bytes.data(), bytes.size()))) {
        NmeaInfo info;
        const int count = ParseNmea(QByteArrayView(sentence.data(), qsizetype(sentence.size())), info);
        FUZZ_CHECK(count == 0 || count == 1);
        if (count == 0)
            FUZZ_CHECK(info == NmeaInfo());
        alone += count;
    }
    FUZZ_CHECK(decoded == alone);
    if (decoded == 0)
        FUZZ_CHECK(whole == NmeaInfo());
    FUZZ_CHECK(Finite(whole));

    // A sentence never spans a line feed: cut after one, the two pieces
    // decoded in turn give what the whole gave.
    const qsizetype lineFeed = bytes.indexOf('\n', size ? qsizetype(data[0] % size) : 0);
    if (lineFeed >= 0) {
        NmeaInfo pieces;
        const int first = ParseNmea(bytes.first(lineFeed + 1), pieces);
        FUZZ_CHECK(first + ParseNmea(bytes.sliced(lineFeed + 1), pieces) == decoded);
        FUZZ_CHECK(pieces == whole);
    }

    // The GPS line: shown for the bytes before the first zero byte, once.
    LineRecorder recorder;
    NmeaGpsDecoder decoder(recorder);
    decoder.Decode(bytes);
    const qsizetype zero = bytes.indexOf('\0');
    NmeaInfo beforeZero;
    const bool shown = ParseNmea(zero < 0 ? bytes : bytes.first(zero), beforeZero) > 0;
    FUZZ_CHECK(recorder.lines.size() == (shown ? 1u : 0u));
    if (shown) {
        const QString& line = recorder.lines[0];
        FUZZ_CHECK(line.startsWith(QStringLiteral("GPS:longitude ")) && line.endsWith(QLatin1Char('\n')));
        FUZZ_CHECK(line == QString::asprintf("GPS:longitude %.5f,latitude %.5f,speed %.2f\n", beforeZero.longitude,
                                             beforeZero.latitude, beforeZero.speed));
    }
    return 0;
}
