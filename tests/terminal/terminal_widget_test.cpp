#include "terminal/tnr_terminal.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A component that records what the terminal makes it send.
class RecordingDevice : public TnrBaseIO
{
public:
    QByteArray sent;
    void SendChar(char c) override { sent.append(c); }
    void SendString(const QByteArray& text) override { sent.append(text); }
    void SendData(const char* buffer, quint32 length) override { sent.append(buffer, length); }
};

struct TerminalRig
{
    explicit TerminalRig(bool echo = true, TTerminalUsage usage = tuBoth)
    {
        device.SetTerminalUsage(usage);
        device.SetTerminalEcho(echo);
        terminal.resize(500, 400);
        terminal.show();
        device.SetTerminal(&terminal);
    }
    QString Text(int row) const
    {
        QString text;
        for (int column = 0; column < static_cast<int>(terminal.Columns()); ++column) {
            const char16_t c = terminal.GetCharXY(column, row);
            text.append(c == 0 ? QChar(u' ') : QChar(c));
        }
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    }
    // As the device delivers a received chunk.
    void Receive(QByteArrayView bytes) { device.DoInputData(bytes.data(), static_cast<quint32>(bytes.size())); }

    RecordingDevice device;
    TnrTerminal terminal;
};

TEST(TnrTerminalTest, CursorKeysInApplicationAndNormalMode)
{
    struct Case
    {
        Qt::Key key;
        const char* application;
        const char* normal;
    } const cases[] = {
        {Qt::Key_Up, "\033OA", "\033[A"},      {Qt::Key_Down, "\033OB", "\033[B"},
        {Qt::Key_Left, "\033OD", "\033[D"},    {Qt::Key_Right, "\033OC", "\033[C"},
        {Qt::Key_Home, "\033[H", "\033[H"},    {Qt::Key_End, "\033[F", "\033[F"},
        {Qt::Key_PageDown, "\033[6~", "\033[6~"}, {Qt::Key_PageUp, "\033[5~", "\033[5~"},
        {Qt::Key_Insert, "\033[2~", "\033[2~"}, {Qt::Key_Delete, "\033[3~", "\033[3~"},
        {Qt::Key_Tab, "\t", "\t"},
    };
    for (const Case& c : cases) {
        TerminalRig rig;
        QTest::keyClick(&rig.terminal, c.key);
        EXPECT_EQ(rig.device.sent, c.application) << c.application;
        rig.Receive("\033[?1l");
        rig.device.sent.clear();
        QTest::keyClick(&rig.terminal, c.key);
        EXPECT_EQ(rig.device.sent, c.normal) << c.normal;
        EXPECT_EQ(rig.Text(0), "") << "sequences are never shown";
    }
}

TEST(TnrTerminalTest, EnterSequencesFunctionKeysAndEscape)
{
    const std::pair<TnrEnterKeySequence, const char*> enters[] = {
        {ekCR, "\r"}, {ekLF, "\n"}, {ekCRLF, "\r\n"}, {ekLFCR, "\n\r"}};
    for (const auto& [key, bytes] : enters) {
        TerminalRig rig;
        rig.terminal.SetEnterKey(key);
        QTest::keyClick(&rig.terminal, Qt::Key_Return);
        EXPECT_EQ(rig.device.sent, bytes);
        EXPECT_EQ(rig.terminal.Screen().CaretY(), 0) << "Enter shows nothing";
        EXPECT_EQ(rig.terminal.Screen().CaretX(), 0);
    }
    TerminalRig rig;
    QTest::keyClick(&rig.terminal, Qt::Key_F1);
    EXPECT_TRUE(rig.device.sent.isEmpty()) << "function keys send nothing without toFKeyToEsc";
    rig.terminal.SetOptions(toFKeyToEsc | toEscToDbl);
    QTest::keyClick(&rig.terminal, Qt::Key_F1);
    QTest::keyClick(&rig.terminal, Qt::Key_F9);
    QTest::keyClick(&rig.terminal, Qt::Key_F10);
    QTest::keyClick(&rig.terminal, Qt::Key_Escape);
    EXPECT_EQ(rig.device.sent, "\0331\0339\0330\033\033");
}

TEST(TnrTerminalTest, TypedCharactersFollowThePortsEcho)
{
    TerminalRig echoing(true);
    QTest::keyClicks(&echoing.terminal, "ab");
    EXPECT_EQ(echoing.device.sent, "ab");
    EXPECT_EQ(echoing.Text(0), "ab");

    TerminalRig silent(false);
    QTest::keyClicks(&silent.terminal, "ab");
    EXPECT_EQ(silent.device.sent, "ab");
    EXPECT_EQ(silent.Text(0), "");

    TerminalRig receiveOnly(true, tuReceive);
    QTest::keyClicks(&receiveOnly.terminal, "ab");
    EXPECT_TRUE(receiveOnly.device.sent.isEmpty());
}

TEST(TnrTerminalTest, OnStrFromTerminalCanKeepBytesFromGoingOut)
{
    TerminalRig rig;
    QByteArray offered;
    rig.terminal.OnStrFromTerminal = [&](TnrTerminal*, const QByteArray& text, bool& handled) {
        offered += text;
        handled = true;
    };
    QTest::keyClick(&rig.terminal, Qt::Key_Up);
    QTest::keyClick(&rig.terminal, Qt::Key_A);
    EXPECT_EQ(offered, "\033OAA");
    EXPECT_TRUE(rig.device.sent.isEmpty());
}

TEST(TnrTerminalTest, TelnetAnswersGoToTheDeviceOnlyWhileAttached)
{
    TerminalRig rig;
    rig.Receive("\xff\xfd\x18");
    EXPECT_EQ(rig.device.sent, "\xff\xfb\x18");
    EXPECT_EQ(rig.Text(0), "");
    rig.device.SetTerminal(nullptr);
    EXPECT_EQ(rig.terminal.Device(), nullptr);
    rig.device.sent.clear();
    rig.terminal.TerminalInputStr("\xff\xfd\x18");
    EXPECT_TRUE(rig.device.sent.isEmpty());
    EXPECT_EQ(rig.Text(0), "");
}

TEST(TnrTerminalTest, AnswersMadeWhileBeingFedGoOut)
{
    TerminalRig rig;
    rig.Receive("\033[2;3H\033[6n");
    EXPECT_EQ(rig.device.sent, "\033[2;3R");
}

TEST(TnrTerminalTest, ChunksThroughTheDeviceSplitAtEveryBytePosition)
{
    // One byte arrives as a character, more as text runs with zero bytes
    // removed: the screen must not depend on where the chunks were cut.
    static const char kStream[] = "ab\r\n\033[1;31mred\033[m\xff\xfd\x18\033[3;4H\xe4\xb8\xad\bX\033[6n\000z";
    const QByteArray stream(kStream, sizeof kStream - 1);
    TerminalRig whole;
    whole.terminal.SetUtf8(true);
    whole.Receive(stream);
    const QByteArray wholeSent = whole.device.sent;
    ASSERT_EQ(whole.Text(0), "ab");
    ASSERT_EQ(whole.Text(1), "red");
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        TerminalRig rig;
        rig.terminal.SetUtf8(true);
        rig.Receive(QByteArrayView(stream).first(cut));
        rig.Receive(QByteArrayView(stream).sliced(cut));
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 10; ++column)
                ASSERT_EQ(rig.terminal.Screen().Cell(column, row), whole.terminal.Screen().Cell(column, row))
                    << "cut at " << cut << " cell " << column << "," << row;
        EXPECT_EQ(rig.device.sent, wholeSent) << "cut at " << cut;
    }
}

TEST(TnrTerminalTest, PaintsOnlyTheChangedCellsInTheirColours)
{
    TerminalRig rig;
    rig.terminal.Flush();
    const qint64 before = rig.terminal.PaintedCells();
    rig.Receive("\033[1;31mA\033[44mB");
    rig.terminal.Flush();
    EXPECT_EQ(rig.terminal.PaintedCells() - before, 2);
    const QImage& image = rig.terminal.ScreenImage();
    const QSize cell = rig.terminal.CellSize();
    // The background of cell 0 is the control's colour (black), cell 1 dark blue.
    EXPECT_EQ(image.pixelColor(cell.width() * 1 + 1, 1), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::black));
    bool red = false;
    for (int y = 0; y < cell.height() && !red; ++y)
        for (int x = 0; x < cell.width() && !red; ++x)
            red = image.pixelColor(x, y) == QColor(0xFF, 0x00, 0x00);
    EXPECT_TRUE(red) << "the A is drawn in bright red";
}

TEST(TnrTerminalTest, RefreshesAreBatched)
{
    TerminalRig rig;
    int caretMoves = 0;
    QObject::connect(&rig.terminal, &TnrTerminal::CaretMove, [&] { ++caretMoves; });
    for (int i = 0; i < 1000; ++i)
        rig.Receive("x");
    EXPECT_EQ(caretMoves, 0) << "nothing is painted per byte";
    QTest::qWait(60);
    EXPECT_GE(caretMoves, 1);
    EXPECT_LE(caretMoves, 4);
}

TEST(TnrTerminalTest, SizeChangeClearsAndReportsTheSize)
{
    TerminalRig rig;
    rig.Receive("abc");
    rig.device.sent.clear();
    rig.terminal.SetColumns(150);
    EXPECT_EQ(rig.terminal.Columns(), 150U);
    EXPECT_EQ(rig.Text(0), "");
    EXPECT_EQ(rig.device.sent, QByteArray("\xff\xfa\x1f\x00\x96\x00\x18\xff\xf0", 9));
}

TEST(TnrTerminalTest, DestroyedTerminalLeavesItsDevice)
{
    RecordingDevice device;
    {
        TnrTerminal terminal;
        device.SetTerminal(&terminal);
        EXPECT_EQ(terminal.Device(), &device);
    }
    EXPECT_EQ(device.Terminal(), nullptr);
}

}  // namespace
