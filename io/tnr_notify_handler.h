#pragma once

class TnrBaseIO;

// Notification codes a component sends to its subscribers.
constexpr int kNotifyClosed = 1;         // the medium was halted or closed
constexpr int kNotifyOpened = 2;         // the medium was opened
constexpr int kNotifyDevicesChanged = 3; // the device list or the selected device changed

// A subscriber of a component. Subscribers are told apart by identity.
class TnrNotifyHandler
{
public:
    virtual ~TnrNotifyHandler() = default;
    virtual void TnrNotifyEvent(TnrBaseIO* Sender, int Code) = 0;
};
