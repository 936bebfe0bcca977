#pragma once

#include <QString>

// How much a log line tells.
enum TDetailLevel { dlSimple, dlDetail, dlDebug };

// A log sink components and processors may write to. The program attaches
// none; tests attach a recorder.
class TnrLog
{
public:
    virtual ~TnrLog() = default;
    virtual void AddLog(TDetailLevel level, const QString& text) = 0;
};
