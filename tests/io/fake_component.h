#pragma once

#include "io/tnr_base_io.h"

#include <QStringList>

// A component whose device "opens" when `openable` is set; records what the
// base calls and what it sends.
class FakeComponent : public TnrBaseIO
{
public:
    bool openable = true;
    int opens = 0;
    int closes = 0;
    int selected = -1;
    QByteArray sent;

    using TnrBaseIO::TnrBaseIO;

    int GetDeviceIndex() const override { return selected; }
    void SetDeviceIndex(int i) override
    {
        selected = i;
        TnrBaseIO::SetDeviceIndex(i);
    }
    void SendChar(char c) override { sent.append(c); }

    // Appends an entry with `number` and the text "Dev<number>".
    int AddNumbered(int number, bool sorted = true)
    {
        auto device = std::make_unique<TnrDevice>();
        device->PortNumber = number;
        device->NameFriendly = QStringLiteral("Dev%1").arg(number);
        return sorted ? AddDeviceSorted(std::move(device)) : AddDevice(std::move(device));
    }

    QStringList Texts() { return GetDeviceList(); }

protected:
    Handle RequestDeviceHandle() override
    {
        ++opens;
        return openable ? 7 : kInvalidHandle;
    }
    void RequestDeviceHandleClose(Handle) override { ++closes; }
};
