// Screens captured from Debian's vttest (capture_vttest.py, run once by hand)
// replayed into the screen model: each screen's cells, attributes and caret
// are compared with the committed dump of what the command table makes of
// it, and each screen is also fed through a device split at every byte.

#include "io/tnr_base_io.h"
#include "io/tnr_terminal_link.h"
#include "terminal/tnr_terminal_screen.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kFolder = QStringLiteral(SERIALNET_TERMINAL_FIXTURES "/vttest");

// The screen as text: the characters of each row, the caret, and for each
// row one letter per cell naming its foreground colour (palette index in
// hex, '.' for the default colour; uppercase R for a cell whose background is
// not the default), trailing spaces and dots cut.
QString Dump(const TnrTerminalScreen& screen)
{
    QString text;
    for (int row = 0; row < static_cast<int>(screen.Rows()); ++row) {
        QString line;
        for (int column = 0; column < static_cast<int>(screen.Columns()); ++column) {
            const char16_t c = screen.GetCharXY(column, row);
            line.append(c < 0x20 ? QChar(u' ') : QChar(c));
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    text += QStringLiteral("caret %1,%2\n").arg(screen.CaretX()).arg(screen.CaretY());
    for (int row = 0; row < static_cast<int>(screen.Rows()); ++row) {
        QString line;
        for (int column = 0; column < static_cast<int>(screen.Columns()); ++column) {
            const TAttr attr = screen.GetAttrXY(column, row);
            QChar code = QLatin1Char('.');
            if (attr.BgColor != screen.DefaultAttr().BgColor && attr.BgColor != 0) {
                code = QLatin1Char('R');
            } else if (attr.FgColor != screen.DefaultAttr().FgColor && attr.FgColor != 0) {
                for (int i = 0; i < 16; ++i)
                    if (TnrTerminalScreen::kPalette[i] == attr.FgColor)
                        code = QLatin1Char("0123456789abcdef"[i]);
            }
            line.append(code);
        }
        while (line.endsWith(QLatin1Char('.')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    return text;
}

QStringList Screens()
{
    return QDir(kFolder).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PrepareScreen(TnrTerminalScreen& screen)
{
    // Yellow on black, as the control's defaults, on vttest's 80 x 24.
    screen.SetDefaultColors(0xFFFF00, 0x000000);
    screen.SetTerminalSize(80, 24);
}

TEST(VttestScreensTest, EachScreenMatchesItsDump)
{
    const QStringList screens = Screens();
    ASSERT_GE(screens.size(), 30);
    // One session: every screen follows the ones before it.
    TnrTerminalScreen screen;
    PrepareScreen(screen);
    const bool write = qEnvironmentVariableIsSet("SERIALNET_WRITE_VTTEST_DUMPS");
    for (const QString& name : screens) {
        screen.TerminalInputStr(Read(kFolder + QLatin1Char('/') + name));
        const QString dumpPath = kFolder + QLatin1Char('/') + QString(name).replace(QStringLiteral(".bin"), QStringLiteral(".txt"));
        if (write) {
            QFile file(dumpPath);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(Dump(screen).toUtf8());
            continue;
        }
        EXPECT_EQ(Dump(screen).toStdString(), QString::fromUtf8(Read(dumpPath)).toStdString()) << name.toStdString();
    }
}

// A device delivering received chunks to the screen model the way a port
// delivers them to its terminal.
struct ScreenLink : TnrTerminalLink
{
    TnrTerminalScreen screen;
    void AttachDevice(TnrBaseIO*) override {}
    void ReceiveChar(char c) override { screen.TerminalInputChar(static_cast<unsigned char>(c)); }
    void InsertText(QByteArrayView text) override { screen.TerminalInputStr(text); }
};

std::vector<TnrCell> Cells(const TnrTerminalScreen& screen)
{
    std::vector<TnrCell> cells;
    for (int row = 0; row < static_cast<int>(screen.Rows()); ++row)
        for (int column = 0; column < static_cast<int>(screen.Columns()); ++column)
            cells.push_back(screen.Cell(column, row));
    return cells;
}

TEST(VttestScreensTest, EachScreenGivesTheSameCellsSplitAtEveryBytePosition)
{
    for (const QString& name : Screens()) {
        const QByteArray bytes = Read(kFolder + QLatin1Char('/') + name);
        TnrTerminalScreen whole;
        PrepareScreen(whole);
        whole.TerminalInputStr(bytes);
        const std::vector<TnrCell> expected = Cells(whole);
        TnrBaseIO device;
        device.SetTerminalUsage(tuBoth);
        ScreenLink link;
        PrepareScreen(link.screen);
        device.SetTerminal(&link);
        for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
            link.screen.Reset();
            device.DoInputData(bytes.constData(), static_cast<quint32>(cut));
            device.DoInputData(bytes.constData() + cut, static_cast<quint32>(bytes.size() - cut));
            ASSERT_TRUE(Cells(link.screen) == expected) << name.toStdString() << " cut at " << cut;
            ASSERT_EQ(link.screen.CaretX(), whole.CaretX()) << name.toStdString() << " cut at " << cut;
            ASSERT_EQ(link.screen.CaretY(), whole.CaretY()) << name.toStdString() << " cut at " << cut;
        }
        device.SetTerminal(nullptr);
    }
}

}  // namespace
