#pragma once

#include <QString>

class TnrBaseIO;

// One entry of a component's device list.
struct TnrDevice
{
    int index = 0;                // position in the owner's list when it was added
    TnrBaseIO* owner = nullptr;
    int PortNumber = 0;           // key: lists are sorted by it and pickers find entries by it
    QString NameFriendly;         // shown in pickers
    QString KernelName;           // kernel device name, e.g. "ttyUSB0"
    QString ComName;
    QString PortName;             // the name the device is opened by, e.g. "/dev/ttyUSB0"
    QString Description;
    QString Service;              // kernel driver
    QString Manufacturer;
    QString SerialNumber;
};
