#include "core/channel_counters.h"

#include <QDateTime>

namespace {

qint32 Wrapped(qint32 value, qint64 add)
{
    return static_cast<qint32>(static_cast<quint32>(value) + static_cast<quint32>(add));
}

}  // namespace

void CONN_INFO::AddSent(qint64 bytes)
{
    txBytes = Wrapped(txBytes, bytes);
    txFrames = Wrapped(txFrames, 1);
    lastTime = NowAsDays();
}

void CONN_INFO::AddReceived(qint64 bytes)
{
    rxBytes = Wrapped(rxBytes, bytes);
    rxFrames = Wrapped(rxFrames, 1);
    lastTime = NowAsDays();
}

void CONN_INFO::ClearCounts()
{
    txBytes = rxBytes = txFrames = rxFrames = 0;
}

double NowAsDays()
{
    // The distance between two instants needs no local time of now, whose
    // time-zone lookup would cost more than the rest of counting a chunk.
    static const qint64 kEpochMSecs = QDateTime(QDate(1899, 12, 30), QTime(0, 0)).toMSecsSinceEpoch();
    return (QDateTime::currentMSecsSinceEpoch() - kEpochMSecs) / 86400000.0;
}

void ChannelCounters::ClearAll()
{
    for (CONN_INFO& record : records_)
        record.ClearCounts();
}
