#pragma once

#include "ports/tnr_usb_device.h"

#include <QString>

#include <functional>
#include <vector>

class UsbStringSource;

struct UsbPropertyRow
{
    QString property;
    QString value;
};

// The property list of a device, in the page's order; rows whose value is
// empty after trimming are left out. Each bulk pipe is handed to `bulkPipe`
// on the way. Before the string descriptor rows the device's strings are read
// again (through `strings` when given), which renames it for the next showing.
std::vector<UsbPropertyRow> UsbPropertyRows(TnrUsbDevice& device,
                                            const std::function<void(const TnrUsbPipe&)>& bulkPipe = {},
                                            const UsbStringSource* strings = nullptr);

// "0x046D 1133"
QString UsbIdText(quint16 id);
