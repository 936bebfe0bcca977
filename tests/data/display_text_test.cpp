#include "data/display_text.h"

#include "core/text_codec.h"
#include "data/codec.h"
#include "data/display_line_store.h"
#include "data/line_breaks.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// What the display showed when every line was rendered on arrival: the
// whole text decoded, then split at its line breaks.
QStringList EagerLines(const QString& head, const QByteArray& bytes)
{
    return SplitAtLineBreaks(head + TextCodec::DecodeForDisplay(bytes));
}

// The store's lines, each rendered whole.
QStringList StoredLines(const DisplayLineStore& store)
{
    QStringList lines;
    for (qsizetype i = 0; i < store.LineCount(); ++i)
        lines << store.At(i).text;
    return lines;
}

// Left and Size of a kept line agree with its whole text, at every length
// that matters: every cut for short lines, the ends for long ones; and its
// code-page bytes are the whole text encoded.
void ExpectPartsAgree(const DisplayText& text)
{
    const QString whole = text.ToString();
    for (TextCodec::Encoding encoding : {TextCodec::Encoding::kGbk, TextCodec::Encoding::kUtf8}) {
        QByteArray encoded = "before";
        text.AppendEncoded(encoded, encoding);
        ASSERT_EQ(encoded, "before" + TextCodec::Encode(whole, encoding));
    }
    ASSERT_EQ(text.Size(), whole.size());
    EXPECT_GE(text.SizeBound(), whole.size());
    QList<qsizetype> cuts = {0, 1, whole.size() - 1, whole.size(), whole.size() + 1, 4096};
    if (whole.size() <= 300)
        for (qsizetype n = 0; n <= whole.size(); ++n)
            cuts << n;
    for (qsizetype n : cuts) {
        if (n >= 0) {
            ASSERT_EQ(text.Left(n), whole.left(n)) << "first " << n << " characters";
        }
    }
}

QByteArray Gb18030(const QString& text)
{
    return TextCodec::Encode(text);
}

TEST(DisplayText, DecodedBytesKeptLazilyGiveTheEagerLines)
{
    const QByteArray fourByte = Gb18030(QStringLiteral("😀"));  // a four-byte sequence
    ASSERT_EQ(fourByte.size(), 4);
    const QString stamp = QStringLiteral("2024-5-1 12:34:56 0078毫秒    ");
    const struct
    {
        const char* behaviour;
        QString head;
        QByteArray bytes;
    } rows[] = {
        {"ASCII without a break", QString(), "hello"},
        {"a stamp in front of the first line only", stamp, "a\nb"},
        {"CR LF is one break, a lone CR or LF one each", QString(), "a\r\nb\rc\nd"},
        {"LF CR is two breaks", QString(), "a\n\rb"},
        {"CR LF CR is two breaks", QString(), "a\r\n\rb"},
        {"a trailing break leaves an empty last line", stamp, "ab\r\n"},
        {"nothing but breaks", QString(), "\n\n\r\r\n"},
        {"no bytes at all", stamp, QByteArray()},
        {"zero and control bytes become glyphs, tabs stay", QString(), QByteArray("\x00\x07\x1B\x7F\ta", 6)},
        {"Chinese in GBK across lines", stamp, Gb18030(QStringLiteral("串口\r\n发送"))},
        {"a two-byte character cut by a line break", QString(), "\xB4\n\xAE"},
        {"a lead byte ends the bytes", QString(), "ab\xB4"},
        {"a lead byte before a break", QString(), "ab\xB4\r\ncd"},
        {"a four-byte sequence", QString(), fourByte + "\n" + fourByte},
        {"a four-byte sequence cut by a break", QString(), fourByte.left(2) + "\n" + fourByte.mid(2)},
        {"bytes that start no sequence", QString(), "\x80\xFF\n\xFF"},
        {"long ASCII stretches between Chinese", QString(),
         Gb18030(QStringLiteral("中文 the quick brown fox jumps over 中文\n, and then some more ASCII 文"))},
        {"a digit after a lead byte, then a long stretch", QString(), "\x81" "0 and a stretch of ASCII text\n\x81"},
        {"a head ending in CR before bytes starting with LF", QStringLiteral("x\r"), "\ny"},
        {"a head holding breaks", QStringLiteral("one\ntwo "), "three\nfour"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const DisplayText text = DisplayText::Decoded(row.bytes).Prefixed(row.head);
        EXPECT_EQ(text.ToString(), row.head + TextCodec::DecodeForDisplay(row.bytes));
        DisplayLineStore store;
        store.Append(text, kBlue);
        EXPECT_EQ(StoredLines(store), EagerLines(row.head, row.bytes));
        for (qsizetype i = 0; i < store.LineCount(); ++i) {
            EXPECT_EQ(store.ColorAt(i), kBlue);
            ExpectPartsAgree(store.TextAt(i));
        }
    }
}

TEST(DisplayText, RandomBytesKeptLazilyGiveTheEagerLines)
{
    // Bytes drawn to hit line breaks, lead bytes, digits and ASCII often.
    static const char kAlphabet[] = "\r\n\x81\xB4\xAE\xFE\x80\xFF\x30\x39 aZ\x00\x1B";
    QRandomGenerator random(20240501);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(random.bounded(200), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = random.bounded(2) ? kAlphabet[random.bounded(int(sizeof kAlphabet - 1))]
                                     : static_cast<char>(random.bounded(256));
        SCOPED_TRACE(bytes.toHex().toStdString());
        DisplayLineStore store;
        store.Append(DisplayText::Decoded(bytes), kBlack);
        ASSERT_EQ(StoredLines(store), EagerLines(QString(), bytes));
        for (qsizetype i = 0; i < store.LineCount(); ++i)
            ExpectPartsAgree(store.TextAt(i));
    }
}

TEST(DisplayText, LongDecodedLinesAreCountedWhole)
{
    const struct
    {
        const char* behaviour;
        QByteArray bytes;
    } rows[] = {
        {"ASCII", QByteArray(70000, 'x')},
        {"Chinese", Gb18030(QString(9000, QChar(0x4E2D)))},
        {"CR LF pairs in one text", QByteArray("ab\r\n").repeated(3000)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        ExpectPartsAgree(DisplayText::Decoded(row.bytes));
    }
}

TEST(DisplayText, HexKeptLazilyGivesTheStyledText)
{
    QByteArray many(5000, Qt::Uninitialized);
    for (qsizetype i = 0; i < many.size(); ++i)
        many[i] = static_cast<char>(i * 37);
    const QByteArray inputs[] = {QByteArray(), QByteArray("\xAB", 1), QByteArray("\x11\x22\x33"), many};
    for (int style : {0, 1, 2, 3, 4, -1, 7}) {
        for (const QByteArray& bytes : inputs) {
            SCOPED_TRACE(testing::Message() << "style " << style << ", " << bytes.size() << " bytes");
            const DisplayText text = DisplayText::HexStyled(bytes, style);
            EXPECT_EQ(text.ToString(), QString::fromLatin1(BytesToHexStyled(bytes, style)));
            ExpectPartsAgree(text);
            ExpectPartsAgree(text.Prefixed(QStringLiteral("stamp   ")));
            DisplayLineStore store;
            store.Append(text, kBlue);
            EXPECT_EQ(store.LineCount(), 1);
        }
    }
    EXPECT_EQ(DisplayText::HexDump(many).ToString(), QString::fromLatin1(BytesToHexDump(many)));
}

TEST(DisplayText, ReadyStringsSplitAsBefore)
{
    DisplayLineStore store;
    store.Append(QStringLiteral("a\r\nb\rc\nd"), kPurple);
    EXPECT_EQ(StoredLines(store), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(store.CharCount(), 4);
    ExpectPartsAgree(store.TextAt(0));
}

TEST(DisplayText, LinesOfOneChunkShareItsBytes)
{
    const QByteArray chunk("line one\nline two\n");
    DisplayLineStore store;
    store.Append(DisplayText::Decoded(chunk), kBlue);
    store.Append(DisplayText::HexDump(chunk), kBlue);
    // The chunk's own array plus one reference per kept line: no copies.
    EXPECT_FALSE(chunk.isDetached());
    EXPECT_EQ(store.LineCount(), 4);
    EXPECT_EQ(store.CharCount(), 8 + 8 + 0 + 18 * 3);
}

}  // namespace
