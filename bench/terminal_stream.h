#pragma once

#include <QByteArray>

// A reproducible stream of what a board's console sends: scrolling lines of
// text, colour changes inside them, cursor-addressed writes and line erases.
inline QByteArray TerminalStream(qsizetype size, unsigned seed = 12345)
{
    QByteArray out;
    out.reserve(size + 256);
    unsigned state = seed;
    auto next = [&state](unsigned limit) {
        state = state * 1103515245U + 12345U;
        return (state >> 16) % limit;
    };
    static const char kWords[] = "the quick brown fox jumps over lazy dog 0123456789 status ok temp=23.5 ";
    while (out.size() < size) {
        switch (next(10)) {
        case 0:
        case 1: {  // a cursor-addressed write
            out += "\033[" + QByteArray::number(next(24) + 1) + ';' + QByteArray::number(next(60) + 1) + 'H';
            out += "\033[3" + QByteArray::number(next(8)) + 'm';
            for (unsigned i = 0, n = 4 + next(12); i < n; ++i)
                out += kWords[next(sizeof kWords - 1)];
            out += "\033[0m";
            break;
        }
        case 2:  // erase the rest of a line
            out += "\033[K";
            break;
        default: {  // a scrolling line with a coloured word in it
            const unsigned length = 30 + next(49);
            const unsigned colourAt = next(length);
            for (unsigned i = 0; i < length; ++i) {
                if (i == colourAt)
                    out += "\033[1;3" + QByteArray::number(next(8)) + 'm';
                out += kWords[next(sizeof kWords - 1)];
            }
            out += "\033[m\r\n";
            break;
        }
        }
    }
    out.truncate(size);
    return out;
}
