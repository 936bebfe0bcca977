#include "data/codec.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

TEST(HexDigitValue, DigitsOfBothCasesAndEverythingElse)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    for (char c : {' ', ',', 'x', 'G', 'g', '\r', '\n', '\x80', '\xFF'})
        EXPECT_EQ(HexDigitValue(c), 16) << int(static_cast<unsigned char>(c));
}

struct HexCase
{
    const char* name;
    QByteArray text;
    QByteArray bytes;
};

TEST(HexTextToBytes, ParsesPairsWithTheirQuirks)
{
    const HexCase cases[] = {
        {"empty text gives nothing", "", {}},
        {"three blanks give nothing", "   ", {}},
        {"lone character is dropped", "A", {}},
        {"lone final character is dropped", "ABC", Bytes({0xAB})},
        {"spaced and packed agree", "11 22 33", Bytes({0x11, 0x22, 0x33})},
        {"packed", "112233", Bytes({0x11, 0x22, 0x33})},
        {"lower case digits", "ab cd", Bytes({0xAB, 0xCD})},
        {"two blanks between pairs", "11  22", Bytes({0x11, 0x22})},
        {"pair made of 1 and blank gives 0x20", "1 2", Bytes({0x20})},
        {"1 blank 1 gives 0x20", "1 1", Bytes({0x20})},
        {"invalid first character contributes 0", "G1", Bytes({0x01})},
        {"invalid second character contributes 16", "1G", Bytes({0x20})},
        {"comma after a pair is a pair start", "AB,CD", Bytes({0xAB, 0x0C})},
        {"0x prefix", "0x11", Bytes({0x10, 0x11})},
        {"line break where a pair begins", "11 22\r\n33", Bytes({0x11, 0x22, 0x10, 0x33})},
        {"CR LF alone", "\r\n", Bytes({0x10})},
        {"zero byte", "00", Bytes({0x00})},
    };
    for (const HexCase& c : cases)
        EXPECT_EQ(HexTextToBytes(c.text), c.bytes) << c.name;
}

TEST(HexTextToBytes, LongPayloadIsParsedWhole)
{
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes.append(static_cast<char>(i * 7));
    EXPECT_EQ(HexTextToBytes(BytesToHexPlain(bytes)), bytes);
}

TEST(BytesToHexPlain, SingleBlanksAndExactRoundTrip)
{
    EXPECT_EQ(BytesToHexPlain(Bytes({0x01, 0x02, 0x0A, 0x0B, 0xFF})), "01 02 0A 0B FF");
    EXPECT_EQ(BytesToHexPlain(QByteArray()), "");
    QByteArray all;
    for (int i = 0; i < 4096; ++i)
        all.append(static_cast<char>(i));
    EXPECT_EQ(HexTextToBytes(BytesToHexPlain(all)), all);
}

TEST(BytesToHexStyled, EveryStyle)
{
    const QByteArray three = Bytes({0x11, 0x22, 0x33});
    const struct
    {
        int style;
        QByteArray input;
        QByteArray expected;
    } cases[] = {
        {0, three, "11 22 33 "},
        {1, three, "112233"},
        {2, three, "0x11,0x22,0x33"},
        {3, three, "11h,22h,33h"},
        {4, three, "\\x11,\\x22,\\x33"},
        {2, Bytes({0x00}), "0x00"},
        {0, Bytes({0x00}), "00 "},
        {2, Bytes({0xAB}), "0xAB"},
        {-1, three, ""},
        {5, three, ""},
        {0, QByteArray(), ""},
        {2, QByteArray(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesToHexStyled(c.input, c.style), c.expected) << "style " << c.style;
        EXPECT_EQ(HexStyledSize(c.input.size(), c.style), c.expected.size()) << "style " << c.style;
    }
}

TEST(BytesToHexDump, KeepsTrailingBlank)
{
    EXPECT_EQ(BytesToHexDump(Bytes({0x11, 0x22, 0x33})), "11 22 33 ");
    EXPECT_EQ(BytesToHexDump(QByteArray()), "");
}

TEST(ExpandEscapes, ReplacementsRunInOrderOverTheWholeText)
{
    const struct
    {
        const char* name;
        QByteArray text;
        QByteArray expected;
    } cases[] = {
        {"AT with CR LF", "AT\\r\\n", "AT\r\n"},
        {"all single escapes", "\\t\\a\\b\\f\\v", "\t\a\b\f\v"},
        {"doubled backslash does not protect b", "a\\\\b", QByteArray("a\\\b")},
        {"doubled backslash then r gives backslash CR", "\\\\r", QByteArray("\\\r")},
        {"doubled backslash alone", "\\\\", "\\"},
        {"caret Z both cases", "^Z^z", "\x1A\x1A"},
        {"no numeric escape", "\\x41", "\\x41"},
        {"case sensitive", "\\R\\N", "\\R\\N"},
        {"zero bytes stay", QByteArray("a\0b", 3), QByteArray("a\0b", 3)},
        {"empty", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandEscapes(c.text), c.expected) << c.name;
}

TEST(SendSourceText, TimeRandomAndMemo)
{
    EXPECT_TRUE(SendSourceText(0).isEmpty());
    EXPECT_TRUE(SendSourceText(-1).isEmpty());
    EXPECT_TRUE(SendSourceText(3).isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2}$"))
                    .match(QString::fromLatin1(SendSourceText(1)))
                    .hasMatch());
    for (int i = 0; i < 500; ++i) {
        const QByteArray random = SendSourceText(2);
        ASSERT_GE(random.size(), 2);
        ASSERT_LE(random.size(), 512);
        for (char c : random)
            ASSERT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << random.constData();
    }
}

TEST(TimeStampText, DateTimeMillisecondsAndTrailingBlank)
{
    const QString stamp = TimeStampText();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 $"))
                    .match(stamp)
                    .hasMatch())
        << stamp.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2}$")).match(DateText()).hasMatch());
}

}  // namespace
