#pragma once

#include "io/tnr_notify_handler.h"

#include <vector>

// A subscriber of a device component that records the codes it is told.
struct RecordingSubscriber : TnrNotifyHandler
{
    std::vector<int> codes;
    void TnrNotifyEvent(TnrBaseIO*, int Code) override { codes.push_back(Code); }
};
