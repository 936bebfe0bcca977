#include "terminal/tnr_ansi.h"
#include "terminal/tnr_decoder_utf8.h"
#include "terminal/tnr_telnet.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

QByteArray Bytes(std::initializer_list<int> list)
{
    QByteArray bytes;
    for (int b : list)
        bytes.append(static_cast<char>(b));
    return bytes;
}

// What the escape recogniser reports for a byte stream: each completed
// command with its arguments, and the bytes it left to the caller.
struct AnsiResult
{
    std::vector<std::pair<TnrAnsiCommands, std::vector<int>>> commands;
    QByteArray leftOver;
    bool possibleAtEnd = false;
    bool operator==(const AnsiResult&) const = default;
};

// Feeds `input` in two pieces cut at `cut`, through a fresh recogniser for the
// first piece and the same one for the second: the cut is invisible to a
// byte-fed recogniser, which the split loops below check.
AnsiResult RunAnsi(const QByteArray& input)
{
    TnrAnsi ansi;
    AnsiResult result;
    ansi.OnAnsiPacket = [&](TnrAnsi* sender, TnrDataPacket* packet, TnrAnsiCommands cmd) {
        std::vector<int> values;
        for (const TnrAnsiArgument& argument : sender->GetArguments(packet))
            values.push_back(argument.Value);
        result.commands.emplace_back(cmd, values);
    };
    for (const char c : input) {
        const int index = ansi.IsPacket(static_cast<unsigned char>(c));
        if (index < 0 && !ansi.IsPacketPossible())
            result.leftOver.append(c);
    }
    result.possibleAtEnd = ansi.IsPacketPossible();
    return result;
}

struct AnsiCase
{
    const char* name;
    QByteArray input;
    std::vector<std::pair<TnrAnsiCommands, std::vector<int>>> commands;
    QByteArray leftOver;
};

TEST(TnrAnsiTest, SequencesGiveTheirCommandAndArguments)
{
    const AnsiCase cases[] = {
        {"private mode 25 wins over set mode", "\x1b[?25h", {{acSetModePrivate, {25}}}, ""},
        {"private mode reset", "\x1b[?1049l", {{acResetModePrivate, {1049}}}, ""},
        {"plain set mode", "\x1b[4h", {{acSetMode, {4}}}, ""},
        {"two attribute arguments", "\x1b[31;44m", {{acSetAttributeMode, {31, 44}}}, ""},
        {"attribute without arguments", "\x1b[m", {{acSetAttributeMode, {}}}, ""},
        {"empty first piece counts as 0", "\x1b[;5H", {{acCursorHome2, {0, 5}}}, ""},
        {"trailing semicolon adds nothing", "\x1b[5;H", {{acCursorHome2, {5}}}, ""},
        {"lone semicolon is one 0", "\x1b[;H", {{acCursorHome2, {0}}}, ""},
        {"non-number piece is 0", "\x1b[1x;2H", {{acCursorHome2, {0, 2}}}, ""},
        {"huge number saturates", "\x1b[99999999999A", {{acCursorUp, {2147483647}}}, ""},
        {"cursor moves", "\x1b[3A\x1b[B\x1b[2C\x1b[D\x1b[7d\x1b[9G\x1b[1;2f",
         {{acCursorUp, {3}}, {acCursorDown, {}}, {acCursorForward, {2}}, {acCursorBackward, {}},
          {acCursorLine, {7}}, {acCursorColumn, {9}}, {acCursorHome, {1, 2}}},
         ""},
        {"save and restore forms", "\x1b[s\x1b[u\x1b" "7\x1b" "8",
         {{acSaveCursor, {}}, {acUnsaveCursor, {}}, {acSaveCursorAndAttrs, {}}, {acRestoreCursorAndAttrs, {}}},
         ""},
        {"two-byte escapes", "\x1b=\x1b>\x1b" "E\x1b" "D\x1bM\x1bH\x1b" "c",
         {{acKeyModeApp, {}}, {acKeyModeNormal, {}}, {acNewLine, {}}, {acScrollDown, {}}, {acScrollUp, {}},
          {acSetTab, {}}, {acResetDevice, {}}},
         ""},
        {"scroll region", "\x1b[2;20r", {{acSetScrollRegion, {2, 20}}}, ""},
        {"erase family", "\x1b[K\x1b[1K\x1b[2J\x1b[3X\x1b[2M\x1b[L\x1b[3g",
         {{acEraseLine, {}}, {acEraseLine, {1}}, {acEraseLines, {2}}, {acEraseChars, {3}}, {acDeleteLine, {2}},
          {acInsertLine, {}}, {acClearTab, {3}}},
         ""},
        {"queries and reports", "\x1b[c\x1b[0c\x1b[5n\x1b[0n\x1b[3n\x1b[6n\x1b[3;10R",
         {{acQueryDeviceCode, {}}, {acReportDeviceCode, {}}, {acQueryDeviceStatus, {}}, {acReportDeviceOK, {}},
          {acReportDeviceFailure, {}}, {acQueryCursorPosition, {}}, {acReportCursorPosition, {3, 10}}},
         ""},
        {"character sets", "\x1b%@\x1b%G\x1b(B\x1b)0\x1b*A\x1b+B",
         {{acSetDefaultCharSet, {}}, {acSetUTF8CharSet, {}}, {acFontSetG0, {0}}, {acFontSetG1, {0}},
          {acFontSetG2, {0}}, {acFontSetG3, {0}}},
         ""},
        {"window title ends at BEL", "\x1b]0;title\a", {{acVTWindow, {0, 0}}}, ""},
        {"print, key definition, LEDs", "\x1b[5i\x1b[0;1p\x1b[1q",
         {{acPrint, {5}}, {acSetKeyDefinition, {0, 1}}, {acLEDs, {1}}},
         ""},
        {"ESC x completes nothing and x is left", "\x1bx", {}, "x"},
        {"text around a sequence is left", "ab\x1b[1mcd", {{acSetAttributeMode, {1}}}, "abcd"},
        {"ESC ESC [ m: the second ESC starts the sequence", "\x1b\x1b[m", {{acSetAttributeMode, {}}}, ""},
    };
    for (const AnsiCase& c : cases) {
        const AnsiResult whole = RunAnsi(c.input);
        EXPECT_EQ(whole.commands, c.commands) << c.name;
        EXPECT_EQ(whole.leftOver, c.leftOver) << c.name;
        EXPECT_FALSE(whole.possibleAtEnd) << c.name;
    }
}

TEST(TnrAnsiTest, UnfinishedSequenceKeepsCollectingUntilAnEndMarker)
{
    TnrAnsi ansi;
    std::vector<TnrAnsiCommands> seen;
    ansi.OnAnsiPacket = [&](TnrAnsi*, TnrDataPacket*, TnrAnsiCommands cmd) { seen.push_back(cmd); };
    for (const char c : QByteArray("\x1b[12"))
        ansi.IsPacket(static_cast<unsigned char>(c));
    EXPECT_TRUE(ansi.IsPacketPossible());
    EXPECT_TRUE(seen.empty());
    EXPECT_GE(ansi.IsPacket('J'), 0);
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0], acEraseLines);
    EXPECT_FALSE(ansi.IsPacketPossible());
}

TEST(TnrAnsiTest, OverlongSequenceIsDroppedAndTheNextOneIsFound)
{
    TnrAnsi ansi;
    int completions = 0;
    ansi.OnAnsiPacket = [&](TnrAnsi*, TnrDataPacket*, TnrAnsiCommands) { ++completions; };
    ansi.IsPacket(0x1b);
    ansi.IsPacket('[');
    for (int i = 0; i < 40000; ++i)
        ansi.IsPacket('5');
    // Nothing that long is a sequence: it was dropped when the buffers
    // filled, and what follows is plain text until the next ESC.
    EXPECT_FALSE(ansi.IsPacketPossible());
    EXPECT_LT(ansi.IsPacket('m'), 0);
    EXPECT_EQ(completions, 0);
    for (const char c : QByteArray("\x1b[1m"))
        ansi.IsPacket(static_cast<unsigned char>(c));
    EXPECT_EQ(completions, 1);
}

TEST(TnrAnsiTest, EveryCaseGivesTheSameResultSplitAtEveryBytePosition)
{
    // The recogniser keeps its state between calls, so feeding a stream in
    // two calls must not change what it reports.
    const QByteArray stream = QByteArray("ab\x1b[?25h\x1b[31;44mxy\x1b[;5H\x1bx\x1b]t\a\x1b[6n\xff\xfd\x18z");
    const AnsiResult whole = RunAnsi(stream);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        TnrAnsi ansi;
        AnsiResult result;
        ansi.OnAnsiPacket = [&](TnrAnsi* sender, TnrDataPacket* packet, TnrAnsiCommands cmd) {
            std::vector<int> values;
            for (const TnrAnsiArgument& argument : sender->GetArguments(packet))
                values.push_back(argument.Value);
            result.commands.emplace_back(cmd, values);
        };
        auto feed = [&](QByteArrayView piece) {
            for (const char c : piece)
                if (ansi.IsPacket(static_cast<unsigned char>(c)) < 0 && !ansi.IsPacketPossible())
                    result.leftOver.append(c);
        };
        feed(QByteArrayView(stream).first(cut));
        feed(QByteArrayView(stream).sliced(cut));
        result.possibleAtEnd = ansi.IsPacketPossible();
        EXPECT_EQ(result, whole) << "cut at " << cut;
    }
}

// ---------------------------------------------------------------- telnet

struct TelnetResult
{
    QByteArray sent;
    QByteArray leftOver;
    std::vector<TnrTelnetCommands> commands;
    bool operator==(const TelnetResult&) const = default;
};

TelnetResult RunTelnet(const QByteArray& input, qsizetype cut = -1)
{
    TnrTelnet telnet;
    telnet.SetTerminalSize(60, 50, false);
    TelnetResult result;
    telnet.OnDataSend = [&](TnrCustomDataProcessor*, const char* buffer, quint32 length, bool, bool& handled) {
        result.sent.append(buffer, length);
        handled = true;
    };
    telnet.OnTelnetPacket = [&](TnrTelnet*, TnrDataPacket*, TnrTelnetCommands cmd) {
        result.commands.push_back(cmd);
    };
    auto feed = [&](QByteArrayView piece) {
        for (const char c : piece)
            if (telnet.IsPacket(static_cast<unsigned char>(c)) < 0 && !telnet.IsPacketPossible())
                result.leftOver.append(c);
    };
    if (cut < 0) {
        feed(input);
    } else {
        feed(QByteArrayView(input).first(cut));
        feed(QByteArrayView(input).sliced(cut));
    }
    return result;
}

TEST(TnrTelnetTest, EveryOptionAnswer)
{
    const QByteArray windowSize = Bytes({0xFF, 0xFA, 0x1F, 0x00, 60, 0x00, 50, 0xFF, 0xF0});
    struct Case
    {
        const char* name;
        QByteArray input;
        QByteArray answer;
    } const cases[] = {
        {"DO terminal type", Bytes({0xFF, 0xFD, 0x18}), Bytes({0xFF, 0xFB, 0x18})},
        {"DO window size also reports the size", Bytes({0xFF, 0xFD, 0x1F}), Bytes({0xFF, 0xFB, 0x1F}) + windowSize},
        {"DO terminal speed", Bytes({0xFF, 0xFD, 0x20}), Bytes({0xFF, 0xFB, 0x20})},
        {"DO environment", Bytes({0xFF, 0xFD, 0x27}), Bytes({0xFF, 0xFB, 0x27})},
        {"DO echo is refused", Bytes({0xFF, 0xFD, 0x01}), Bytes({0xFF, 0xFC, 0x01})},
        {"WILL status is declined", Bytes({0xFF, 0xFB, 0x05}), Bytes({0xFF, 0xFE, 0x05})},
        {"WILL echo is not answered", Bytes({0xFF, 0xFB, 0x01}), {}},
        {"WONT and DONT are not answered", Bytes({0xFF, 0xFC, 0x01, 0xFF, 0xFE, 0x01}), {}},
        {"SEND terminal type", Bytes({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}),
         Bytes({0xFF, 0xFA, 0x18, 0x00}) + "XTERM" + Bytes({0xFF, 0xF0})},
        {"SEND terminal speed", Bytes({0xFF, 0xFA, 0x20, 0x01, 0xFF, 0xF0}),
         Bytes({0xFF, 0xFA, 0x20, 0x00}) + "19200,19200" + Bytes({0xFF, 0xF0})},
        {"SEND display", Bytes({0xFF, 0xFA, 0x23, 0x01, 0xFF, 0xF0}),
         Bytes({0xFF, 0xFA, 0x23, 0x00}) + "TnrTerminal:0.0" + Bytes({0xFF, 0xF0})},
        {"SEND environment is empty", Bytes({0xFF, 0xFA, 0x27, 0x01, 0xFF, 0xF0}),
         Bytes({0xFF, 0xFA, 0x27, 0x00, 0xFF, 0xF0})},
        {"SEND of another option is not answered", Bytes({0xFF, 0xFA, 0x2A, 0x01, 0xFF, 0xF0}), {}},
        {"IS subnegotiation is not answered", Bytes({0xFF, 0xFA, 0x18, 0x00, 0xFF, 0xF0}), {}},
        {"two-byte commands are consumed", Bytes({0xFF, 0xF1, 0xFF, 0xF6, 0xFF, 0xF9}), {}},
    };
    for (const Case& c : cases) {
        const TelnetResult result = RunTelnet(c.input);
        EXPECT_EQ(result.sent.toHex(' '), c.answer.toHex(' ')) << c.name;
        EXPECT_TRUE(result.leftOver.isEmpty()) << c.name;
        for (qsizetype cut = 0; cut <= c.input.size(); ++cut)
            EXPECT_EQ(RunTelnet(c.input, cut), result) << c.name << " cut at " << cut;
    }
}

TEST(TnrTelnetTest, CommandsAreReportedAndTextAroundThemIsLeft)
{
    const TelnetResult result = RunTelnet(QByteArray("a") + Bytes({0xFF, 0xFD, 0x18}) + "b" + Bytes({0xFF, 0xF1}) + "c");
    EXPECT_EQ(result.leftOver, "abc");
    EXPECT_EQ(result.commands, (std::vector<TnrTelnetCommands>{tcDO, tcNOP}));
}

TEST(TnrTelnetTest, WindowSizeReportCarriesColumnsThenRowsHighByteFirst)
{
    TnrTelnet telnet;
    QByteArray sent;
    telnet.OnDataSend = [&](TnrCustomDataProcessor*, const char* buffer, quint32 length, bool, bool& handled) {
        sent.append(buffer, length);
        handled = true;
    };
    telnet.SetTerminalSize(300, 50, false);
    EXPECT_TRUE(sent.isEmpty());
    telnet.SetTerminalSize(300, 50, true);
    EXPECT_EQ(sent, Bytes({0xFF, 0xFA, 0x1F, 0x01, 0x2C, 0x00, 50, 0xFF, 0xF0}));
    // A value byte of 255 is doubled so the report stays one subnegotiation.
    sent.clear();
    telnet.SetTerminalSize(255, 24, true);
    EXPECT_EQ(sent, Bytes({0xFF, 0xFA, 0x1F, 0x00, 0xFF, 0xFF, 0x00, 24, 0xFF, 0xF0}));
}

// ---------------------------------------------------------------- UTF-8

TEST(TnrDecoderUTF8Test, Sequences)
{
    struct Case
    {
        const char* name;
        QByteArray input;
        std::u16string output;
    } const cases[] = {
        {"three bytes", Bytes({0xE4, 0xB8, 0xAD}), u"\u4E2D"},
        {"two bytes", Bytes({0xC3, 0xA9}), u"\u00E9"},
        {"ASCII", "Az", u"Az"},
        {"stray continuation yields nothing", Bytes({0xA9}), u""},
        {"lead byte then ASCII drops the sequence", Bytes({0xE4, 0x41}), u"A"},
        {"lead byte then lead byte restarts", Bytes({0xE4, 0xC3, 0xA9}), u"\u00E9"},
        {"four bytes give the low 16 bits", Bytes({0xF0, 0x9F, 0x98, 0x80}), std::u16string(1, char16_t(0xF600))},
        {"extra continuation after a character is ignored", Bytes({0xC3, 0xA9, 0xA9}), u"\u00E9"},
        {"0xFF and 0xFE start long sequences that stay in range",
         Bytes({0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x81, 0xFE, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}),
         std::u16string{char16_t(0x0001), char16_t(0xFFFF)}},
    };
    for (const Case& c : cases) {
        for (qsizetype cut = 0; cut <= c.input.size(); ++cut) {
            TnrDecoderUTF8 decoder;
            std::u16string output;
            auto feed = [&](QByteArrayView piece) {
                for (const char b : piece) {
                    char16_t character = 0;
                    if (decoder.Decode(static_cast<unsigned char>(b), character))
                        output.push_back(character);
                }
            };
            feed(QByteArrayView(c.input).first(cut));
            feed(QByteArrayView(c.input).sliced(cut));
            EXPECT_EQ(output, c.output) << c.name << " cut at " << cut;
        }
    }
}

}  // namespace

#include "tests/terminal/ansi_reference.h"

namespace {

TEST(TnrAnsiTest, FastPathAgreesWithTheDescriptionsByteForByte)
{
    // Streams made of the bytes escape sequences are made of, so that
    // sequences start, break off, nest and run long.
    static const char kAlphabet[] = "\x1b\x1b\x1b[[[??;;0123456789hlmHABCDdGfsu78=>EDMHrgKJXMLcnR%@G()*+ipq]\a xyz";
    unsigned state = 7;
    auto next = [&state](unsigned limit) {
        state = state * 1103515245U + 12345U;
        return (state >> 16) % limit;
    };
    for (int round = 0; round < 200; ++round) {
        QByteArray stream;
        for (unsigned i = 0, n = 200 + next(2000); i < n; ++i)
            stream.append(kAlphabet[next(sizeof kAlphabet - 1)]);
        EXPECT_EQ(CompareWithDescriptions(stream), QString()) << "round " << round;
        EXPECT_EQ(CompareWithDescriptions(stream, 512), QString()) << "round " << round << " with 512-byte buffers";
    }
    // Sequences longer than the buffers, and markers straddling the restart.
    QByteArray longOnes = "\x1b[" + QByteArray(600, '5') + "m\x1b[?" + QByteArray(1100, ';') + "h\x1b]" +
                          QByteArray(510, 'x') + "\x1b[0c\x1b[" + QByteArray(509, '0') + "c";
    for (int i = 0; i < 3; ++i)
        longOnes += "\x1b[" + QByteArray(511 + i, '1') + "\x1b[2J";
    EXPECT_EQ(CompareWithDescriptions(longOnes, 512), QString());
    EXPECT_EQ(CompareWithDescriptions("\x1b[" + QByteArray(40000, '7') + "H\x1b[1m"), QString());
}

}  // namespace
