#include "core/text_codec.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <atomic>
#include <cerrno>
#include <iconv.h>
#include <thread>
#include <vector>

namespace {

// The plain way to decode: the whole text through iconv in one go, each byte
// that does not convert replaced by U+FFFD and skipped.
QString DecodeWhole(const QByteArray& bytes)
{
    const iconv_t handle = iconv_open("UTF-16LE", "GB18030");
    QString text;
    char16_t buffer[8];
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* out = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        text.append(QStringView(buffer, (out - reinterpret_cast<char*>(buffer)) / 2));
        if (result == static_cast<size_t>(-1) && error != E2BIG) {
            text.append(QChar(0xFFFD));
            ++in;
            --inLeft;
        }
    }
    iconv_close(handle);
    return text;
}

TEST(TextCodec, GbkRoundTripAndAscii)
{
    const QString chinese = QStringLiteral("串口A发送");
    const QByteArray gbk = TextCodec::Encode(chinese);
    EXPECT_EQ(gbk, QByteArray("\xB4\xAE\xBF\xDA" "A" "\xB7\xA2\xCB\xCD"));
    EXPECT_EQ(TextCodec::Decode(gbk), chinese);
    EXPECT_EQ(TextCodec::Encode(QStringLiteral("AT+CSQ")), "AT+CSQ");
    EXPECT_EQ(TextCodec::Decode(QByteArray("abc\0d", 5)), QString::fromLatin1("abc\0d", 5));
}

TEST(TextCodec, CharactersOutsideGbkSurviveThroughGb18030)
{
    const QString text = QStringLiteral("€ 😀 ü");
    EXPECT_EQ(TextCodec::Decode(TextCodec::Encode(text)), text);
}

TEST(TextCodec, InvalidBytesBecomeReplacementCharactersWithoutLosingTheRest)
{
    // 0xFF is never valid in GB18030; a lead byte at the very end is truncated.
    EXPECT_EQ(TextCodec::Decode(QByteArray("a\xFF" "b")), QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(TextCodec::Decode(QByteArray("ab\xB4")), QStringLiteral("ab\uFFFD"));
}

TEST(TextCodec, DecodingPieceByPieceGivesWhatWholeDecodingGives)
{
    // Long ASCII stretches are copied and the rest converted piece by piece;
    // the pieces must join up exactly.
    const QByteArray stretch = " a stretch of plain ASCII text";
    const struct
    {
        const char* behaviour;
        QByteArray bytes;
    } rows[] = {
        {"Chinese between long stretches", TextCodec::Encode(QStringLiteral("中文")) + stretch + "´®" + stretch},
        {"a lead byte right before a stretch", "´" + stretch + "´"},
        {"digits after a lead byte", "" "0123" + stretch},
        {"a four-byte sequence around a stretch", TextCodec::Encode(QStringLiteral("😀")) + stretch +
                                                       TextCodec::Encode(QStringLiteral("😀"))},
        {"short stretches stay inside the converted run", "´® ab ·¢ cd ÿ"},
        {"a stretch at the very end", "´®" + stretch},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TextCodec::Decode(row.bytes), DecodeWhole(row.bytes)) << row.behaviour;

    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        while (bytes.size() < 400) {
            // Random bytes and ASCII stretches of random length, mixed.
            if (random.bounded(2))
                bytes += stretch.left(random.bounded(int(stretch.size())));
            else
                for (int i = random.bounded(12); i > 0; --i)
                    bytes += static_cast<char>(random.bounded(256));
        }
        ASSERT_EQ(TextCodec::Decode(bytes), DecodeWhole(bytes)) << bytes.toHex().toStdString();
    }
}

TEST(TextCodec, DisplayTextShowsControlBytesVisibly)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
        QString expected;
    } cases[] = {
        {"zero byte", QByteArray("a\0b", 3), QStringLiteral("a\u2400b")},
        {"bell and escape", "\x07\x1B", QStringLiteral("\u2407\u241B")},
        {"delete", "\x7F", QStringLiteral("\u2421")},
        {"CR LF is one break", "a\r\nb", QStringLiteral("a\nb")},
        {"lone CR and LF break", "a\rb\nc", QStringLiteral("a\nb\nc")},
        {"tab stays", "a\tb", QStringLiteral("a\tb")},
        {"chinese", "\xB4\xAE\xBF\xDA", QStringLiteral("串口")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextCodec::DecodeForDisplay(c.bytes), c.expected) << c.name;
}

// What AppendEncodedDisplayed appends to an empty array, in GBK.
QByteArray EncodedDisplayed(QByteArrayView bytes)
{
    QByteArray out;
    TextCodec::AppendEncodedDisplayed(bytes, TextCodec::Encoding::kGbk, out);
    return out;
}

TEST(TextCodec, EncodedDisplayIsTheShownTextEncoded)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"ascii", "AT+CSQ OK"},
        {"chinese", "\xB4\xAE\xBF\xDA"},
        {"CR LF, lone CR, lone LF", "a\r\nb\rc\nd\r"},
        {"CR then CR LF", "\r\r\n"},
        {"controls, zero byte and delete", QByteArray("\x01\x1B\0\x7F\t", 5)},
        {"0x80 and 0xFF start nothing", "a\x80\xFF" "b"},
        {"lead byte at the end", "ab\xB4"},
        {"lead byte before a control", "\xB4\x01"},
        {"lead byte before a blank", "\xB4 x"},
        {"four-byte character", "\x81\x30\x89\x38"},
        {"four-byte character outside the basic plane", "\x94\x39\xFC\x36"},
        {"four-byte encoding of U+FFFD", "\x84\x31\xA4\x37"},
        {"four-byte sequence not assigned", "\x84\x31\xA5\x30" "z"},
        {"four-byte sequence beyond Unicode", "\xFE\x39\xFE\x39\x41"},
        {"four-byte sequence cut at the end", "\x81\x30\x89"},
        {"lead, digit, lead, letter", "\x81\x30\x89\x41"},
        {"pair then four-byte", "\xB4\xAE\x81\x30\x89\x38\xBF\xDA"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodedDisplayed(c.bytes), TextCodec::Encode(TextCodec::DecodeForDisplay(c.bytes)))
            << c.name;
}

TEST(TextCodec, EncodedDisplayOfEveryPairAndOfRandomBytesIsTheShownTextEncoded)
{
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int second = 0; second <= 0xFF; ++second) {
            const QByteArray pair{static_cast<char>(lead), static_cast<char>(second)};
            ASSERT_EQ(EncodedDisplayed(pair), TextCodec::Encode(TextCodec::DecodeForDisplay(pair)))
                << std::hex << lead << " " << second;
        }
    }
    QRandomGenerator random(20240531);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(static_cast<int>(random.bounded(1, 200)), Qt::Uninitialized);
        // Half of the rounds draw from the bytes that make four-byte sequences.
        static const char kFourByteAlphabet[] = {'\x81', '\x84', '\x90', '\xE3', '\xFE', '0', '1', '9', '\r', '\n'};
        for (char& byte : bytes)
            byte = round % 2 ? kFourByteAlphabet[random.bounded(int(std::size(kFourByteAlphabet)))]
                             : static_cast<char>(random.bounded(256));
        ASSERT_EQ(EncodedDisplayed(bytes), TextCodec::Encode(TextCodec::DecodeForDisplay(bytes)))
            << bytes.toHex().constData();
    }
}

TEST(TextCodec, EncodedDisplayOfLongTextsIsTheShownTextEncoded)
{
    // Long texts are converted in pieces of a few kilobytes: characters that
    // straddle a piece, pieces of plain ASCII, pieces with no byte below 0x30.
    const QByteArray a4094(4094, 'a');
    const QByteArray a4095(4095, 'a');
    QRandomGenerator random(4096);
    const auto randomBytes = [&](int size, int low, int high) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = static_cast<char>(random.bounded(low, high + 1));
        return bytes;
    };
    const struct
    {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"CR LF across pieces", a4095 + "\r\n" + a4095 + "\r"},
        {"pair across pieces", a4095 + "\xB4\xAE" + a4095},
        {"four-byte character across pieces", a4094 + "\x81\x30\x89\x38" + a4094},
        {"unassigned four-byte sequence across pieces", a4094 + "\x84\x31\xA5\x30" + a4094},
        {"plain piece between others", "\x01" + QByteArray(8192, 'b') + "\x02\xFF"},
        {"random bytes", randomBytes(50000, 0, 255)},
        {"high bytes only", randomBytes(20000, 0x80, 0xFF)},
        {"chinese text with line breaks", TextCodec::Encode(QStringLiteral("串口调试\r\n").repeated(3000))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodedDisplayed(c.bytes), TextCodec::Encode(TextCodec::DecodeForDisplay(c.bytes))) << c.name;
    for (int round = 0; round < 20; ++round) {
        const QByteArray bytes = randomBytes(static_cast<int>(random.bounded(4000, 20000)), 0, 255);
        ASSERT_EQ(EncodedDisplayed(bytes), TextCodec::Encode(TextCodec::DecodeForDisplay(bytes))) << round;
    }
}

TEST(TextCodec, ThreadsConvertAtTheSameTime)
{
    const QString text = QStringLiteral("串口A发送 € 😀");
    const QByteArray bytes = TextCodec::Encode(text) + "\x81\x30\x89\x38";
    const QByteArray expected = TextCodec::Encode(TextCodec::DecodeForDisplay(bytes));
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                if (TextCodec::Decode(TextCodec::Encode(text)) != text || EncodedDisplayed(bytes) != expected)
                    ++wrong;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST(TextCodec, PayloadTextInEitherEncoding)
{
    using TextCodec::Encoding;
    const QByteArray utf8("\xE4\xBD\xA0\xE5\xA5\xBD");
    const QByteArray gbk("\xC4\xE3\xBA\xC3");
    const QString hello = QStringLiteral("你好");
    EXPECT_EQ(TextCodec::Decode(utf8, Encoding::kUtf8), hello);
    // What a UTF-8 peer's text looks like when read as GBK.
    EXPECT_EQ(TextCodec::Decode(utf8, Encoding::kGbk), QStringLiteral("浣犲ソ"));
    EXPECT_EQ(TextCodec::Decode(gbk, Encoding::kGbk), hello);
    EXPECT_EQ(TextCodec::Encode(hello, Encoding::kUtf8), utf8);
    EXPECT_EQ(TextCodec::Encode(hello, Encoding::kGbk), gbk);
    EXPECT_EQ(TextCodec::Encode(hello), gbk);
    EXPECT_EQ(TextCodec::Decode(QByteArray("a\xFF" "b"), Encoding::kUtf8), QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(TextCodec::DecodeForDisplay(QByteArray("\xE4\xBD\xA0\r\n\x00", 6), Encoding::kUtf8),
              QStringLiteral("你\n\u2400"));
}

TEST(TextCodec, PayloadEncodingIsGbkUntilChosen)
{
    EXPECT_EQ(TextCodec::PayloadEncoding(), TextCodec::Encoding::kGbk);
    TextCodec::SetPayloadEncoding(TextCodec::Encoding::kUtf8);
    EXPECT_EQ(TextCodec::PayloadEncoding(), TextCodec::Encoding::kUtf8);
    TextCodec::SetPayloadEncoding(TextCodec::Encoding::kGbk);
}

TEST(TextCodec, IncompleteTailIsTheStartOfACutLastCharacter)
{
    using TextCodec::Encoding;
    // No byte below 0x80 in it to start the search for a character boundary from.
    const QByteArray longRun = TextCodec::Encode(QStringLiteral("你好").repeated(40));
    const struct
    {
        const char* behaviour;
        QByteArray bytes;
        Encoding encoding;
        qsizetype tail;
    } rows[] = {
        {"UTF-8: empty", "", Encoding::kUtf8, 0},
        {"UTF-8: ASCII", "ab", Encoding::kUtf8, 0},
        {"UTF-8: lead of three alone", "a\xE4", Encoding::kUtf8, 1},
        {"UTF-8: two of three", "\xE4\xBD", Encoding::kUtf8, 2},
        {"UTF-8: three of three", "\xE4\xBD\xA0", Encoding::kUtf8, 0},
        {"UTF-8: three of four", "\xF0\x9F\x98", Encoding::kUtf8, 3},
        {"UTF-8: four of four", "\xF0\x9F\x98\x80", Encoding::kUtf8, 0},
        {"UTF-8: lead of two", "\xC3", Encoding::kUtf8, 1},
        {"UTF-8: stray continuation byte", "a\xBD", Encoding::kUtf8, 0},
        {"UTF-8: byte never valid", "a\xFF", Encoding::kUtf8, 0},
        {"GBK: ASCII", "ab", Encoding::kGbk, 0},
        {"GBK: lead alone", "a\xC4", Encoding::kGbk, 1},
        {"GBK: two-byte character", "\xC4\xE3", Encoding::kGbk, 0},
        {"GBK: ASCII second byte completes", "\xC4" "A", Encoding::kGbk, 0},
        {"GBK: trail byte that could lead", "\xC4\xE3\xBA", Encoding::kGbk, 1},
        {"GBK: long run of characters, last one cut", longRun.chopped(1), Encoding::kGbk, 1},
        {"GBK: long run of characters, whole", longRun, Encoding::kGbk, 0},
        {"GB18030: lead and digit", "\x94\x39", Encoding::kGbk, 2},
        {"GB18030: three of four", "\x94\x39\xFC", Encoding::kGbk, 3},
        {"GB18030: four of four", "\x94\x39\xFC\x36", Encoding::kGbk, 0},
        {"GB18030: digit after ASCII is ASCII", "a1", Encoding::kGbk, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TextCodec::IncompleteTail(row.bytes, row.encoding), row.tail) << row.behaviour;
}

}  // namespace
