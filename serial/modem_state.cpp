#include "serial/modem_state.h"

int MovedLines(const ModemState& from, const ModemState& to)
{
    if (!from.counted || !to.counted)
        return (from.lines ^ to.lines) & ModemLine::kInputs;
    const LineCounters& a = from.counters;
    const LineCounters& b = to.counters;
    return (a.cts != b.cts ? ModemLine::kCts : 0) | (a.dsr != b.dsr ? ModemLine::kDsr : 0) |
           (a.ring != b.ring ? ModemLine::kRing : 0) | (a.rlsd != b.rlsd ? ModemLine::kRlsd : 0);
}
