#include "protocol/tcomm_event_new.h"

#include <gtest/gtest.h>

namespace {

// How many times the pattern is found in the input.
int Matches(const char* pattern, const QByteArray& input, quint8 wild = 0)
{
    TCommEventNew matcher;
    matcher.SetPattern(pattern);
    int found = 0;
    for (char c : input)
        found += matcher.IsEvent(static_cast<quint8>(c), wild) ? 1 : 0;
    return found;
}

TEST(TCommEventNewTest, FindsPatternsByTheirFirstByteFallback)
{
    struct Row
    {
        const char* name;
        const char* pattern;
        QByteArray input;
        quint8 wild;
        int found;
    };
    const Row rows[] = {
        {"empty pattern never matches", "", "abc", 0, 0},
        {"one-byte pattern at every occurrence", "x", "axbxx", 0, 3},
        {"CR LF after a lone CR", "\r\n", "a\r\r\nb\r\n", 0, 2},
        {"a a b found after one a", "aab", "xaab", 0, 1},
        {"a a b missed in a a a b: only the first byte is tested again", "aab", "aaab", 0, 0},
        {"a a b found again after the miss", "aab", "aaabaab", 0, 1},
        {"wild byte matches any byte", "A?C", "AxCAyC", '?', 2},
        {"wild byte 0 means none", "A?C", "AxCA?C", 0, 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Matches(row.pattern, row.input, row.wild), row.found) << row.name;
}

TEST(TCommEventNewTest, PositionIsOneBasedAndResetAfterAMatch)
{
    TCommEventNew matcher;
    matcher.SetPattern("ab");
    EXPECT_EQ(matcher.Position(), 1);
    EXPECT_FALSE(matcher.IsPossible());
    EXPECT_FALSE(matcher.IsEvent('a', 0));
    EXPECT_EQ(matcher.Position(), 2);
    EXPECT_TRUE(matcher.IsPossible());
    EXPECT_TRUE(matcher.IsEvent('b', 0));
    EXPECT_EQ(matcher.Position(), 1);
}

}  // namespace
