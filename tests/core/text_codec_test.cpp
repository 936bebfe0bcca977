#include "core/text_codec.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
