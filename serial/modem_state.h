#pragma once

#include <QtGlobal>

// Modem lines as the tty layer reports and drives them.
namespace ModemLine {
constexpr int kCts = 0x01;
constexpr int kDsr = 0x02;
constexpr int kRing = 0x04;
constexpr int kRlsd = 0x08;
constexpr int kRts = 0x10;
constexpr int kDtr = 0x20;
// The lines the far end drives.
constexpr int kInputs = kCts | kDsr | kRing | kRlsd;
}  // namespace ModemLine

// Counters the driver keeps since the port was opened: line errors and
// modem-line transitions.
struct LineCounters
{
    quint32 frame = 0;
    quint32 overrun = 0;
    quint32 parity = 0;
    quint32 brk = 0;
    quint32 bufferOverrun = 0;
    quint32 cts = 0;
    quint32 dsr = 0;
    quint32 ring = 0;
    quint32 rlsd = 0;
};

// The modem input lines at one moment: their levels and, where the driver
// counts them, their transitions (which show a pulse the levels hide).
struct ModemState
{
    int lines = 0;  // ModemLine input bits
    bool counted = false;
    LineCounters counters;
};

// The input lines that moved from `from` to `to`: by the transition counters
// when both states have them, by the levels otherwise.
int MovedLines(const ModemState& from, const ModemState& to);
