#include "data/split_character_carry.h"

#include <gtest/gtest.h>

namespace {

using TextCodec::Encoding;

// The display texts of `bytes` cut into pieces at `cuts`, joined.
QString ShownInPieces(const QByteArray& bytes, const std::vector<qsizetype>& cuts, Encoding encoding)
{
    SplitCharacterCarry carry;
    QString shown;
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        shown += carry.Decoded(bytes.sliced(from, cut - from), encoding).ToString();
        from = cut;
    }
    return shown + carry.Decoded(bytes.sliced(from), encoding).ToString();
}

TEST(SplitCharacterCarry, TextCutAtAnyByteShowsAsTheWholeStreamDoes)
{
    const QString text = QStringLiteral("AT 你好, 串口 😀 ü € 0123 数据\n第二行");
    const struct
    {
        const char* behaviour;
        QByteArray bytes;
        Encoding encoding;
    } rows[] = {
        {"UTF-8 text", TextCodec::Encode(text, Encoding::kUtf8), Encoding::kUtf8},
        {"UTF-8 with a character cut short inside", QByteArray("a\xE4\xBD" "b\xE5\xA5\xBD"), Encoding::kUtf8},
        {"GB18030 text, four-byte characters included", TextCodec::Encode(text, Encoding::kGbk), Encoding::kGbk},
    };
    for (const auto& row : rows) {
        const QString whole = TextCodec::DecodeForDisplay(row.bytes, row.encoding);
        for (qsizetype cut = 0; cut <= row.bytes.size(); ++cut)
            ASSERT_EQ(ShownInPieces(row.bytes, {cut}, row.encoding), whole) << row.behaviour << ", cut at " << cut;
        std::vector<qsizetype> everyByte;
        for (qsizetype cut = 1; cut < row.bytes.size(); ++cut)
            everyByte.push_back(cut);
        EXPECT_EQ(ShownInPieces(row.bytes, everyByte, row.encoding), whole) << row.behaviour << ", byte by byte";
    }
}

TEST(SplitCharacterCarry, AWholeChunkIsSharedAndTheHeldBytesGoInFrontOfTheNext)
{
    SplitCharacterCarry carry;
    const QByteArray first("\xE4\xBD\xA0\xE5");
    EXPECT_EQ(carry.Decoded(first, Encoding::kUtf8).ToString(), QStringLiteral("你"));
    EXPECT_EQ(carry.Decoded("\xA5\xBD", Encoding::kUtf8).ToString(), QStringLiteral("好"));
    // Held bytes that the next chunk does not complete are one broken character.
    EXPECT_EQ(carry.Decoded("\xE5", Encoding::kUtf8).ToString(), QString());
    EXPECT_EQ(carry.Decoded("ok", Encoding::kUtf8).ToString(), QStringLiteral("\uFFFDok"));
    carry.Decoded("\xE5", Encoding::kUtf8);
    carry.Clear();
    EXPECT_EQ(carry.Decoded("ok", Encoding::kUtf8).ToString(), QStringLiteral("ok"));
}

}  // namespace
