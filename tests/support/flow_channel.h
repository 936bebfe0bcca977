#pragma once

#include "send/channel.h"

#include <QByteArray>

#include <vector>

// A channel whose congestion the test sets and whose writes and receive
// pauses it records.
class FlowChannel : public Channel
{
public:
    FlowChannel(ChannelId id, ReceiveSink& sink) : Channel(id, sink) {}

    bool congested = false;
    std::vector<bool> pauses;
    std::vector<QByteArray> writes;

    bool Congested() const override { return congested; }
    void SetReceivePaused(bool paused) override { pauses.push_back(paused); }
    WriteResult Write(const QByteArray& payload) override
    {
        writes.push_back(payload);
        return {payload.size(), false, QString(), false};
    }
    void Drain()
    {
        congested = false;
        emit Drained();
    }
};
