#include "app/main_window.h"
#include "data/receive_display.h"
#include "serial/serial_a_page.h"
#include "terminal/tnr_terminal.h"
#include "tests/serial/raw_end.h"
#include "tests/serial/socat_pair.h"
#include "tests/serial/wait_until.h"
#include "tests/support/message_recorder.h"

#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Port A of the main window on one end of a socat pair, terminal mode on;
// the test holds the other end.
class TerminalModeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pair.Ready());
        form.show();
        form.ComA().PickPortPath(pair.A());
        form.ComA().Open();
        ASSERT_TRUE(form.ComA().IsOpen()) << boxes.messages.join(QLatin1Char('|')).toStdString();
        form.serialA->chkTerminal->click();
        terminal = form.nrTerminal1;
        peer = std::make_unique<RawEnd>(pair.B());
        ASSERT_TRUE(peer->IsOpen());
    }

    // Processes events until the terminal shows `text` at `row`, or 5 s pass.
    bool WaitForRow(int row, const QString& text)
    {
        return WaitUntil([&] { return RowText(row) == text; });
    }
    // Reads what the far end receives while the window goes on running.
    QByteArray Read(qsizetype count)
    {
        QByteArray got;
        WaitUntil([&] {
            got += peer->ReadExactly(count - got.size(), 5);
            return got.size() >= count;
        });
        return got;
    }
    QString RowText(int row) const
    {
        QString line;
        for (int column = 0; column < static_cast<int>(terminal->Columns()); ++column) {
            const char16_t c = terminal->GetCharXY(column, row);
            line.append(c == 0 ? QChar(u' ') : QChar(c));
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        return line;
    }

    SocatPair pair;
    MessageRecorder boxes;
    TForm1 form;
    TnrTerminal* terminal = nullptr;
    std::unique_ptr<RawEnd> peer;
};

TEST_F(TerminalModeTest, CheckingTheBoxPutsTheTerminalInTheReceiveDisplaysPlace)
{
    EXPECT_TRUE(terminal->isVisible());
    EXPECT_FALSE(form.edtMsg->isVisible());
    EXPECT_EQ(form.ComA().nrComm1->Terminal(), terminal);
    EXPECT_EQ(terminal->Device(), form.ComA().nrComm1);
    EXPECT_EQ(terminal->Columns(), 60U);
    EXPECT_EQ(terminal->Rows(), 50U);
    EXPECT_EQ(terminal->toolTip(), QStringLiteral("双击放大缩小"));

    form.serialA->chkTerminal->click();
    EXPECT_FALSE(terminal->isVisible());
    EXPECT_TRUE(form.edtMsg->isVisible());
    EXPECT_EQ(form.ComA().nrComm1->Terminal(), nullptr);
    EXPECT_EQ(terminal->Device(), nullptr);
}

TEST_F(TerminalModeTest, TypedKeysReachTheFarEndWithTheEchoOfPortA)
{
    terminal->setFocus();
    QTest::keyClicks(terminal, "ls");
    QTest::keyClick(terminal, Qt::Key_Return);
    QTest::keyClick(terminal, Qt::Key_Up);
    EXPECT_EQ(Read(6), QByteArray("ls\n\033OA"));
    // Port A echoes typed characters; Enter and the cursor key show nothing.
    EXPECT_EQ(RowText(0), "ls");
    EXPECT_EQ(terminal->Screen().CaretY(), 0);
}

TEST_F(TerminalModeTest, TelnetNegotiationAndQueriesAreAnsweredToTheFarEnd)
{
    ASSERT_TRUE(peer->WriteAll("\xff\xfd\x18" "\033[5;7H\033[6n"));
    EXPECT_EQ(Read(9), QByteArray("\xff\xfb\x18\033[5;7R"));
    EXPECT_EQ(RowText(0), "");
}

TEST_F(TerminalModeTest, DoubleClickTogglesTheWideLayoutAndReportsTheSize)
{
    QTest::mouseDClick(terminal, Qt::LeftButton);
    EXPECT_EQ(terminal->Columns(), 150U);
    EXPECT_EQ(Read(9), QByteArray("\xff\xfa\x1f\x00\x96\x00\x32\xff\xf0", 9));
    EXPECT_GE(terminal->width(), 500);
    QTest::mouseDClick(terminal, Qt::LeftButton);
    EXPECT_EQ(terminal->Columns(), 80U);
    EXPECT_EQ(Read(9), QByteArray("\xff\xfa\x1f\x00\x50\x00\x32\xff\xf0", 9));
}

TEST_F(TerminalModeTest, AScriptDrawsAColouredBoxCellByCellAndOnTheScreen)
{
    QProcess script;
    script.start(QStringLiteral("sh"), {QStringLiteral(SERIALNET_TERMINAL_FIXTURES "/draw_box.sh"), pair.B()});
    ASSERT_TRUE(script.waitForFinished(5000));
    ASSERT_EQ(script.exitCode(), 0);
    ASSERT_TRUE(WaitForRow(6, "    +--------+")) << RowText(6).toStdString();
    terminal->Flush();

    constexpr quint32 kGreen = 0x00FF00, kRed = 0xFF0000, kBlue = 0x000080, kBlack = 0x000000;
    const struct Row
    {
        int row;
        const char* text;
    } rows[] = {{2, "    +--------+"}, {3, "    |        |"}, {4, "    | BOX    |"}, {5, "    |        |"},
                {6, "    +--------+"}};
    for (const Row& r : rows)
        EXPECT_EQ(RowText(r.row), QString::fromLatin1(r.text)) << "row " << r.row;
    for (int column = 4; column <= 13; ++column) {
        EXPECT_EQ(terminal->GetAttrXY(column, 2), (TAttr{kGreen, kBlack, 0, 1})) << column;
        EXPECT_EQ(terminal->GetAttrXY(column, 6), (TAttr{kGreen, kBlack, 0, 1})) << column;
    }
    for (int row = 3; row <= 5; ++row) {
        EXPECT_EQ(terminal->GetAttrXY(4, row).FgColor, kGreen);
        EXPECT_EQ(terminal->GetAttrXY(13, row).FgColor, kGreen);
        EXPECT_EQ(terminal->GetAttrXY(5, row).BgColor, kBlue);
        EXPECT_EQ(terminal->GetAttrXY(12, row).BgColor, kBlue);
    }
    for (int column = 6; column <= 8; ++column)
        EXPECT_EQ(terminal->GetAttrXY(column, 4), (TAttr{kRed, kBlue, 0, 1}));
    EXPECT_EQ(terminal->Screen().CaretY(), 8);

    // What the window shows: the blue inside, and green in the frame's cells.
    const QImage shot = terminal->grab().toImage();
    shot.save(QDir::current().filePath(QStringLiteral("terminal_box.png")));
    const QSize cell = terminal->CellSize();
    auto centre = [&](int column, int row) {
        return QPoint(TnrTerminal::kMargin + column * cell.width() + cell.width() / 2,
                      TnrTerminal::kMargin + row * cell.height() + cell.height() / 2);
    };
    const qreal ratio = shot.devicePixelRatio();
    EXPECT_EQ(shot.pixelColor(centre(10, 3) * ratio), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(shot.pixelColor(centre(2, 3) * ratio), QColor(Qt::black));
    int green = 0;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            green += shot.pixelColor((centre(8, 2) - QPoint(cell.width() / 2, cell.height() / 2) + QPoint(x, y)) *
                                     ratio) == QColor(0x00, 0xFF, 0x00);
    EXPECT_GT(green, 0) << "the frame's '-' is drawn in green";

    // On a real display (xvfb-run with QT_QPA_PLATFORM=xcb) the screen itself
    // shows the box: the blue inside, grabbed from the framebuffer.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QTest::qWait(200);
        const QPoint inside = terminal->mapToGlobal(centre(10, 3));
        const QImage screen = terminal->screen()->grabWindow(0).toImage();
        screen.save(QDir::current().filePath(QStringLiteral("terminal_box_screen.png")));
        EXPECT_EQ(screen.pixelColor(inside * screen.devicePixelRatio()), QColor(0x00, 0x00, 0x80));
    }
}

}  // namespace
