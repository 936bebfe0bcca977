#pragma once

#include "send/send_target.h"

#include <QByteArray>

#include <functional>
#include <vector>

// A channel that records every write. It can play a channel that opens by
// itself: `openAfterPolls` says how many open tests fail after StartOpening
// before the channel reports open (-1: it never opens).
class RecordingTarget : public SendTarget
{
public:
    bool autoOpen = false;
    mutable bool open = true;
    int openAfterPolls = 0;
    int startOpeningCalls = 0;
    bool ready = true;
    bool broadcast = false;
    QByteArray lineEnd;
    std::vector<QByteArray> writes;
    // Count reported by Write; by default the payload length.
    std::function<qint64(const QByteArray&)> reportedCount;
    // When set, the write does not go out: failed with this line, or refused.
    QString failure;
    bool refused = false;

    bool OpensAutomatically() const override { return autoOpen; }
    bool IsOpen() const override
    {
        if (open)
            return true;
        if (opening_ && openAfterPolls >= 0 && polls_++ >= openAfterPolls)
            open = true;
        return open;
    }
    void StartOpening() override
    {
        ++startOpeningCalls;
        opening_ = true;
        polls_ = 0;
    }
    bool ReadyToSend() const override { return ready; }
    QByteArray TextLineEnd() const override { return lineEnd; }
    WriteResult Write(const QByteArray& payload) override
    {
        if (!failure.isEmpty())
            return refused ? WriteResult::Refused(failure) : WriteResult::Failed(failure);
        writes.push_back(payload);
        WriteResult result;
        result.count = reportedCount ? reportedCount(payload) : payload.size();
        result.broadcast = broadcast;
        return result;
    }

private:
    mutable bool opening_ = false;
    mutable int polls_ = 0;
};
