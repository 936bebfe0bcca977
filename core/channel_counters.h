#pragma once

#include <QtGlobal>

#include <array>

class QObject;

// Traffic of one link. Date-times are kept as days since 1899-12-30 (the
// classic desktop date-time), 0 meaning "never".
struct CONN_INFO
{
    QObject* socket = nullptr;  // TCP server client records only
    double connectTime = 0;
    double lastTime = 0;
    qint32 txBytes = 0;
    qint32 rxBytes = 0;
    qint32 txFrames = 0;
    qint32 rxFrames = 0;

    // Counts wrap like 32-bit integers, as users of such tools expect from
    // long-running counters.
    void AddSent(qint64 bytes);
    void AddReceived(qint64 bytes);
    void ClearCounts();
};

// Current local date-time in days since 1899-12-30.
double NowAsDays();

// The traffic table, one record per ChannelId (LPT included).
class ChannelCounters
{
public:
    CONN_INFO& operator[](int channel) { return records_.at(channel); }
    const CONN_INFO& operator[](int channel) const { return records_.at(channel); }
    void ClearAll();

private:
    std::array<CONN_INFO, 7> records_{};
};
