#pragma once

#include "terminal/tnr_terminal_screen.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A screen model with what it sends recorded, and a snapshot of everything a
// byte stream can change, for comparing whole and split feeds.
struct ScreenRig
{
    explicit ScreenRig(unsigned columns = 80, unsigned rows = 24, bool utf8 = false)
    {
        screen.OnSend = [this](QByteArrayView bytes) { sent.append(bytes); };
        screen.OnTelnetSend = [this](QByteArrayView bytes) { telnetSent.append(bytes); };
        screen.OnBeep = [this] { ++beeps; };
        screen.Utf8 = utf8;
        screen.SetDefaultColors(0xFFFF00, 0x000000);
        screen.SetTerminalSize(columns, rows);
        telnetSent.clear();
    }

    void Feed(QByteArrayView bytes) { screen.TerminalInputStr(bytes); }

    // The text of a row, empty cells as spaces.
    QString Row(int row) const
    {
        QString text;
        for (int column = 0; column < static_cast<int>(screen.Columns()); ++column) {
            const char16_t c = screen.GetCharXY(column, row);
            text.append(c == 0 ? QChar(u' ') : QChar(c));
        }
        return text;
    }
    // A row with its trailing spaces cut.
    QString Text(int row) const
    {
        QString text = Row(row);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    }

    struct Snapshot
    {
        std::vector<TnrCell> cells;
        int x = 0, y = 0;
        bool alternate = false, caretVisible = false, keysApp = false;
        int top = 0, bottom = 0;
        QByteArray sent, telnetSent;
        int beeps = 0;
        TAttr attr;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const
    {
        Snapshot s;
        for (int row = 0; row < static_cast<int>(screen.Rows()); ++row)
            for (int column = 0; column < static_cast<int>(screen.Columns()); ++column)
                s.cells.push_back(screen.Cell(column, row));
        s.x = screen.CaretX();
        s.y = screen.CaretY();
        s.alternate = screen.AlternateScreen();
        s.caretVisible = screen.CaretVisible();
        s.keysApp = screen.CursorKeysApplication();
        s.top = screen.ScrollTop();
        s.bottom = screen.ScrollBottom();
        s.sent = sent;
        s.telnetSent = telnetSent;
        s.beeps = beeps;
        s.attr = screen.CurrentAttr();
        return s;
    }

    TnrTerminalScreen screen;
    QByteArray sent;
    QByteArray telnetSent;
    int beeps = 0;
};
