#include "tests/terminal/screen_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr quint32 kYellow = 0xFFFF00;
constexpr quint32 kBlack = 0x000000;

struct ScreenCase
{
    const char* name;
    unsigned columns;
    unsigned rows;
    bool utf8;
    QByteArray input;
    std::function<void(const ScreenRig&)> check;
};

QByteArray Lines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += "\r\n";
        text += "L" + QByteArray::number(i);
    }
    return text;
}

bool Empty(const TnrCell& cell) { return cell == TnrCell{}; }

const ScreenCase kCases[] = {
    {"A B CR LF C", 80, 24, false, "AB\r\nC",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "AB");
         EXPECT_EQ(r.Text(1), "C");
         EXPECT_EQ(r.screen.CaretX(), 1);
         EXPECT_EQ(r.screen.CaretY(), 1);
     }},
    {"line feed on the last line scrolls and keeps the caret there", 80, 24, false, Lines(24) + "\r\n",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "L1");
         EXPECT_EQ(r.Text(22), "L23");
         EXPECT_EQ(r.Text(23), "");
         EXPECT_EQ(r.screen.CaretY(), 23);
     }},
    {"line feed keeps the column and gives cell 0 the current attribute", 80, 24, false, "abc\x1b[44m\n",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretX(), 3);
         EXPECT_EQ(r.screen.CaretY(), 1);
         EXPECT_EQ(r.screen.GetAttrXY(0, 1).BgColor, 0x000080U);
         EXPECT_EQ(r.screen.GetCharXY(0, 1), 0);
     }},
    {"writing in the last column moves to column 0 of the next line at once", 80, 24, false, "\x1b[1;80Hx",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.GetCharXY(79, 0), u'x');
         EXPECT_EQ(r.screen.CaretX(), 0);
         EXPECT_EQ(r.screen.CaretY(), 1);
     }},
    {"wrapping at the last cell of the screen scrolls", 80, 24, false, "top\x1b[24;80Hxy",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "");
         EXPECT_EQ(r.screen.GetCharXY(79, 22), u'x');
         EXPECT_EQ(r.Text(23), "y");
         EXPECT_EQ(r.screen.CaretX(), 1);
         EXPECT_EQ(r.screen.CaretY(), 23);
     }},
    {"backspace at column 0 stays there", 80, 24, false, "\b",
     [](const ScreenRig& r) { EXPECT_EQ(r.screen.CaretX(), 0); }},
    {"backspace moves one left and does not wrap", 80, 24, false, "ab\b\r\n\b",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "ab");
         EXPECT_EQ(r.screen.CaretX(), 0);
         EXPECT_EQ(r.screen.CaretY(), 1);
     }},
    {"cursor position 2;5 is row 1, column 4", 80, 24, false, "\x1b[2;5H",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretY(), 1);
         EXPECT_EQ(r.screen.CaretX(), 4);
     }},
    {"ESC [ H homes", 80, 24, false, "\x1b[2;5H\x1b[H",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretY(), 0);
         EXPECT_EQ(r.screen.CaretX(), 0);
     }},
    {"f positions like H and far positions are clamped", 80, 24, false, "\x1b[100;200f",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretY(), 23);
         EXPECT_EQ(r.screen.CaretX(), 79);
     }},
    {"relative moves, explicit 0, two arguments and clamping", 80, 24, false,
     "\x1b[5;10H\x1b[2A\x1b[0A\x1b[3B\x1b[4C\x1b[2;3A\x1b[20D",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretY(), 4);  // 4 - 2 - 0 + 3 - 1
         EXPECT_EQ(r.screen.CaretX(), 0);  // 9 + 4 - 20, clamped
     }},
    {"moves past the edges stay on the screen", 80, 24, false, "\x1b[100B\x1b[200C",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretY(), 23);
         EXPECT_EQ(r.screen.CaretX(), 79);
     }},
    {"line and column addressing", 80, 24, false, "\x1b[3;4H\x1b[7d\x1b[9G",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.CaretY(), 6);
         EXPECT_EQ(r.screen.CaretX(), 8);
     }},
    {"cursor position report is row then column, 1-based", 80, 24, false, "\x1b[3;10H\x1b[6n",
     [](const ScreenRig& r) { EXPECT_EQ(r.sent, "\x1b[3;10R"); }},
    {"device status answers OK", 80, 24, false, "\x1b[5n", [](const ScreenRig& r) { EXPECT_EQ(r.sent, "\x1b[0n"); }},
    {"bold red, dark red, reset", 80, 24, false, "\x1b[1;31mx\x1b[mx\x1b[31my\x1b[mz",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.GetAttrXY(0, 0).FgColor, 0xFF0000U);
         EXPECT_EQ(r.screen.GetAttrXY(0, 0).Bold, 1);
         EXPECT_EQ(r.screen.GetAttrXY(1, 0), (TAttr{kYellow, kBlack, 0, 0}));
         EXPECT_EQ(r.screen.GetAttrXY(2, 0).FgColor, 0x800000U);
         EXPECT_EQ(r.screen.GetAttrXY(3, 0), (TAttr{kYellow, kBlack, 0, 0}));
     }},
    {"bold after the colour keeps the dark colour", 80, 24, false, "\x1b[31;1mx",
     [](const ScreenRig& r) { EXPECT_EQ(r.screen.GetAttrXY(0, 0).FgColor, 0x800000U); }},
    {"background, reverse, 39 and 49 reset, other codes", 80, 24, false,
     "\x1b[44ma\x1b[0;7mb\x1b[31;39mc\x1b[44;49md\x1b[22me\x1b[5mf",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.GetAttrXY(0, 0), (TAttr{kYellow, 0x000080, 0, 0}));
         EXPECT_EQ(r.screen.GetAttrXY(1, 0), (TAttr{kBlack, kYellow, 0, 0}));
         EXPECT_EQ(r.screen.GetAttrXY(2, 0), (TAttr{kYellow, kBlack, 0, 0}));
         EXPECT_EQ(r.screen.GetAttrXY(3, 0), (TAttr{kYellow, kBlack, 0, 0}));
         EXPECT_EQ(r.screen.GetAttrXY(4, 0).FgColor, 0x008000U);
         EXPECT_EQ(r.screen.GetAttrXY(5, 0).Blink, 1);
     }},
    {"erase to end of line from column 5", 80, 24, false, "abcdefghij\x1b[1;6H\x1b[K",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "abcde");
         EXPECT_TRUE(Empty(r.screen.Cell(5, 0)));
         EXPECT_TRUE(Empty(r.screen.Cell(79, 0)));
     }},
    {"ESC [ 0 K is ESC [ K", 80, 24, false, "abcdefghij\x1b[1;6H\x1b[0K",
     [](const ScreenRig& r) { EXPECT_EQ(r.Text(0), "abcde"); }},
    {"erase to the caret includes it", 80, 24, false, "abcdefghij\x1b[1;6H\x1b[1K",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Row(0).left(10), "      ghij");
         EXPECT_TRUE(Empty(r.screen.Cell(0, 0)));
     }},
    {"erase the whole line, not the next", 80, 24, false, "abc\r\ndef\x1b[1;2H\x1b[2K",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "");
         EXPECT_EQ(r.Text(1), "def");
     }},
    {"erase display from the caret", 10, 3, false, "aaaaaaaaaabbbbbbbbbbcccc\x1b[2;4H\x1b[J",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "aaaaaaaaaa");
         EXPECT_EQ(r.Text(1), "bbb");
         EXPECT_EQ(r.Text(2), "");
     }},
    {"erase display to the caret", 10, 3, false, "aaaaaaaaaabbbbbbbbbbcccc\x1b[2;4H\x1b[1J",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "");
         EXPECT_EQ(r.Row(1), "    bbbbbb");
         EXPECT_EQ(r.Text(2), "cccc");
     }},
    {"erase the whole display", 10, 3, false, "aaaaaaaaaabbbbbbbbbbcccc\x1b[2;4H\x1b[2J",
     [](const ScreenRig& r) {
         for (int row = 0; row < 3; ++row)
             EXPECT_EQ(r.Text(row), "");
         EXPECT_EQ(r.screen.CaretX(), 3);
     }},
    {"erase chars takes exactly three", 10, 3, false, "abcdefghij\x1b[1;3H\x1b[3X",
     [](const ScreenRig& r) { EXPECT_EQ(r.Row(0), "ab   fghij"); }},
    {"erase chars never crosses into the next line", 10, 3, false, "abcdefghijklm\x1b[1;9H\x1b[5X",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Row(0), "abcdefgh  ");
         EXPECT_EQ(r.Text(1), "klm");
     }},
    {"erase chars without argument takes one, explicit 0 none", 10, 3, false, "abcdefghij\x1b[1;3H\x1b[X\x1b[1;5H\x1b[0X",
     [](const ScreenRig& r) { EXPECT_EQ(r.Row(0), "ab defghij"); }},
    {"region 1;50 on 50 lines is the default: line feed on line 50 scrolls", 20, 50, false,
     "\x1b[1;50r" + Lines(50) + "\r\n",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "L1");
         EXPECT_EQ(r.screen.CaretY(), 49);
         EXPECT_EQ(r.screen.ScrollTop(), 1);
         EXPECT_EQ(r.screen.ScrollBottom(), 50);
     }},
    {"line feed at the region's last line scrolls the region only", 10, 6, false,
     "t\r\n1\r\n2\r\n3\r\nb\r\ns\x1b[2;4r\x1b[4;1H\nx",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "t");
         EXPECT_EQ(r.Text(1), "2");
         EXPECT_EQ(r.Text(2), "3");
         EXPECT_EQ(r.Text(3), "x");
         EXPECT_EQ(r.Text(4), "b");
         EXPECT_EQ(r.Text(5), "s");
         EXPECT_EQ(r.screen.CaretY(), 3);
     }},
    {"below the region a line feed does not scroll it", 10, 6, false, "a\r\nb\r\nc\x1b[1;3r\x1b[5;1H\n\nz",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "a");
         EXPECT_EQ(r.Text(2), "c");
         EXPECT_EQ(r.Text(5), "z");
     }},
    {"addressing below the region reaches that line", 10, 6, false, "\x1b[1;3r\x1b[5;2Hq",
     [](const ScreenRig& r) { EXPECT_EQ(r.screen.GetCharXY(1, 4), u'q'); }},
    {"index, reverse index, delete and insert lines act on the region", 10, 6, false,
     "0\r\n1\r\n2\r\n3\r\n4\r\n5\x1b[2;5r\x1b" "D\x1b[1;1H\x1bM",
     [](const ScreenRig& r) {
         // ESC D: 2,3,4,_ ; ESC M: _,2,3,4
         EXPECT_EQ(r.Text(0), "0");
         EXPECT_EQ(r.Text(1), "");
         EXPECT_EQ(r.Text(2), "2");
         EXPECT_EQ(r.Text(4), "4");
         EXPECT_EQ(r.Text(5), "5");
     }},
    {"delete 2 and insert 1 lines", 10, 5, false, "0\r\n1\r\n2\r\n3\r\n4\x1b[2M\x1b[L",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "");
         EXPECT_EQ(r.Text(1), "2");
         EXPECT_EQ(r.Text(3), "4");
         EXPECT_EQ(r.Text(4), "");
     }},
    {"scrolling more lines than the region holds empties it", 10, 5, false, "0\r\n1\r\n2\r\n3\r\n4\x1b[2;3r\x1b[99M",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "0");
         EXPECT_EQ(r.Text(1), "");
         EXPECT_EQ(r.Text(2), "");
         EXPECT_EQ(r.Text(3), "3");
     }},
    {"alternate screen 1049 round trip", 10, 5, false, "main\x1b[2;3H\x1b[?1049hALT\x1b[5;5H\x1b[?1049l",
     [](const ScreenRig& r) {
         EXPECT_FALSE(r.screen.AlternateScreen());
         EXPECT_EQ(r.Text(0), "main");
         EXPECT_EQ(r.Text(1), "");
         EXPECT_EQ(r.screen.CaretY(), 1);
         EXPECT_EQ(r.screen.CaretX(), 2);
     }},
    {"1049 switches to an empty alternate screen", 10, 5, false, "main\x1b[?1049h",
     [](const ScreenRig& r) {
         EXPECT_TRUE(r.screen.AlternateScreen());
         EXPECT_EQ(r.Text(0), "");
     }},
    {"47 keeps the alternate screen until it is left", 10, 5, false, "m\x1b[?47hA\x1b[?47l\x1b[?47h",
     [](const ScreenRig& r) {
         EXPECT_TRUE(r.screen.AlternateScreen());
         EXPECT_EQ(r.Text(0), "");  // cleared when it was left
     }},
    {"1047 set shows what the alternate screen holds", 10, 5, false, "\x1b[?1047hA\x1b[?1049h\x1b[?1047h",
     [](const ScreenRig& r) { EXPECT_TRUE(r.screen.AlternateScreen()); }},
    {"private modes 1 and 25", 10, 5, false, "\x1b[?1l\x1b[?25l",
     [](const ScreenRig& r) {
         EXPECT_FALSE(r.screen.CursorKeysApplication());
         EXPECT_FALSE(r.screen.CaretVisible());
     }},
    {"private mode with two arguments does nothing", 10, 5, false, "\x1b[?1;25l",
     [](const ScreenRig& r) {
         EXPECT_TRUE(r.screen.CursorKeysApplication());
         EXPECT_TRUE(r.screen.CaretVisible());
     }},
    {"mouse modes", 10, 5, false, "\x1b[?9h\x1b[?1000h\x1b[?1000l\x1b[?1003h",
     [](const ScreenRig& r) {
         EXPECT_TRUE(r.screen.MouseModeOn(dmmX10));
         EXPECT_FALSE(r.screen.MouseModeOn(dmmVT200));
         EXPECT_TRUE(r.screen.MouseModeOn(dmmAny));
     }},
    {"UTF-8 on: E4 B8 AD is one character", 10, 5, true, "\xe4\xb8\xad",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.GetCharXY(0, 0), char16_t(0x4E2D));
         EXPECT_EQ(r.screen.CaretX(), 1);
     }},
    {"UTF-8 off: E4 B8 AD are three characters", 10, 5, false, "\xe4\xb8\xad",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.GetCharXY(0, 0), char16_t(0xE4));
         EXPECT_EQ(r.screen.GetCharXY(2, 0), char16_t(0xAD));
         EXPECT_EQ(r.screen.CaretX(), 3);
     }},
    {"telnet DO terminal type is answered and shows nothing", 10, 5, false, "\xff\xfd\x18",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.telnetSent, "\xff\xfb\x18");
         EXPECT_EQ(r.Text(0), "");
         EXPECT_EQ(r.screen.CaretX(), 0);
     }},
    {"BEL beeps, SI is ignored, ESC x shows x, tab is stored", 10, 5, false, "\a\x0f\x1bx\t",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.beeps, 1);
         EXPECT_EQ(r.screen.GetCharXY(0, 0), u'x');
         EXPECT_EQ(r.screen.GetCharXY(1, 0), u'\t');
     }},
    {"ESC 7 and ESC 8 save and restore caret and attribute", 10, 5, false, "\x1b[2;3H\x1b[31m\x1b" "7\x1b[m\x1b[5;5H\x1b" "8x",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.screen.GetCharXY(2, 1), u'x');
         EXPECT_EQ(r.screen.GetAttrXY(2, 1).FgColor, 0x800000U);
     }},
    {"new line escape goes to column 0 of the next line", 10, 5, false, "ab\x1b" "Ec",
     [](const ScreenRig& r) { EXPECT_EQ(r.Text(1), "c"); }},
    {"unhandled sequences show nothing", 10, 5, false, "\x1b[c\x1b[s\x1b(B\x1b]0;t\a\x1b[4h",
     [](const ScreenRig& r) {
         EXPECT_EQ(r.Text(0), "");
         EXPECT_TRUE(r.sent.isEmpty());
     }},
};

TEST(TnrTerminalScreenTest, CommandEffects)
{
    for (const ScreenCase& c : kCases) {
        ScreenRig rig(c.columns, c.rows, c.utf8);
        rig.Feed(c.input);
        SCOPED_TRACE(c.name);
        c.check(rig);
    }
}

TEST(TnrTerminalScreenTest, EveryCaseGivesTheSameScreenSplitAtEveryBytePosition)
{
    for (const ScreenCase& c : kCases) {
        ScreenRig whole(c.columns, c.rows, c.utf8);
        whole.Feed(c.input);
        const ScreenRig::Snapshot expected = whole.Take();
        for (qsizetype cut = 0; cut <= c.input.size(); ++cut) {
            ScreenRig rig(c.columns, c.rows, c.utf8);
            rig.Feed(QByteArrayView(c.input).first(cut));
            rig.Feed(QByteArrayView(c.input).sliced(cut));
            EXPECT_TRUE(rig.Take() == expected) << c.name << " cut at " << cut;
        }
    }
}

TEST(TnrTerminalScreenTest, ScrollRegionsOutsideTheScreenBecomeTheWholeScreen)
{
    const char* const regions[] = {"\x1b[5;3r", "\x1b[4;4r", "\x1b[0;5r", "\x1b[;5r", "\x1b[3;99r", "\x1b[7r",
                                   "\x1b[r"};
    for (const char* region : regions) {
        ScreenRig rig(10, 6);
        rig.Feed("\x1b[2;4r");
        rig.Feed(region);
        EXPECT_EQ(rig.screen.ScrollTop(), 1) << region;
        EXPECT_EQ(rig.screen.ScrollBottom(), 6) << region;
        rig.Feed(Lines(6) + "\r\n");
        EXPECT_EQ(rig.Text(0), "L1") << region;
        EXPECT_EQ(rig.screen.CaretY(), 5) << region;
    }
}

TEST(TnrTerminalScreenTest, SizeChangeGivesEmptyScreensAndReportsTheSize)
{
    ScreenRig rig(80, 24);
    rig.Feed("abc\x1b[2;10r\x1b[20;70H");
    rig.screen.SetTerminalSize(60, 50);
    EXPECT_EQ(rig.Text(0), "");
    EXPECT_EQ(rig.screen.ScrollTop(), 1);
    EXPECT_EQ(rig.screen.ScrollBottom(), 50);
    EXPECT_EQ(rig.screen.CaretX(), 59);
    EXPECT_EQ(rig.screen.CaretY(), 19);
    EXPECT_EQ(rig.telnetSent, QByteArray("\xff\xfa\x1f\x00\x3c\x00\x32\xff\xf0", 9));
    rig.screen.SetTerminalSize(0, 100000);
    EXPECT_EQ(rig.screen.Columns(), 1U);
    EXPECT_EQ(rig.screen.Rows(), TnrTerminalScreen::kMaxRows);
}

TEST(TnrTerminalScreenTest, CellAccessOutsideTheScreenIsIgnored)
{
    ScreenRig rig(10, 5);
    rig.screen.SetCharXY(10, 0, u'x');
    rig.screen.SetCharXY(-1, 0, u'x');
    rig.screen.SetAttrXY(0, 5, TAttr{1, 2, 0, 0});
    EXPECT_EQ(rig.screen.GetCharXY(10, 0), 0);
    EXPECT_EQ(rig.screen.GetCharXY(0, -1), 0);
    rig.screen.SetCharXY(9, 4, u'z');
    EXPECT_EQ(rig.screen.GetCharXY(9, 4), u'z');
    rig.screen.ClearScreen();
    EXPECT_EQ(rig.screen.Cell(9, 4), (TnrCell{u' ', TAttr{kYellow, kBlack, 0, 0}}));
}

TEST(TnrTerminalScreenTest, DamageRecordNamesTheChangedCells)
{
    ScreenRig rig(10, 5);
    rig.screen.TakeDamage();
    rig.Feed("ab\x1b[3;4Hc");
    TnrTerminalScreen::Damage damage = rig.screen.TakeDamage();
    EXPECT_FALSE(damage.full);
    EXPECT_EQ(damage.cells, (std::vector<int>{0, 1, 23}));
    EXPECT_TRUE(damage.caretMoved);
    EXPECT_FALSE(rig.screen.HasDamage());
    rig.Feed("aa");
    damage = rig.screen.TakeDamage();
    EXPECT_EQ(damage.cells, (std::vector<int>{24, 25}));
    rig.Feed("\x1b[M");
    EXPECT_TRUE(rig.screen.TakeDamage().full);
    rig.Feed("\x1b[?1049h");
    EXPECT_TRUE(rig.screen.TakeDamage().full);
}

}  // namespace

namespace {

TEST(TnrTerminalScreenTest, ResetReturnsToTheStateOfCreation)
{
    ScreenRig fresh(10, 5);
    const ScreenRig::Snapshot expected = fresh.Take();
    ScreenRig rig(10, 5);
    rig.Feed("abc\x1b[31m\x1b[2;4r\x1b[?1l\x1b[?25l\x1b[?1049h\x1b[3;3Hx\x1b[12");
    rig.screen.Reset();
    EXPECT_TRUE(rig.Take() == expected);
    rig.Feed("m");
    EXPECT_EQ(rig.Text(0), "m") << "the unfinished sequence was dropped";
}

}  // namespace
