#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Reports USB devices (not their interfaces) being plugged in and removed,
// from the kernel's netlink messages. A device's interfaces bind their
// drivers (and its serial ports and disks appear) just after the device
// itself, and a hub brings several devices at once: the report follows the
// last message by kSettleMs. Where the monitor cannot be created (no netlink
// in a sandbox) it stays silent.
class UsbHotplugMonitor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSettleMs = 300;

    explicit UsbHotplugMonitor(QObject* parent = nullptr);
    ~UsbHotplugMonitor() override;

    bool Start();

signals:
    void deviceChanged(bool arrived);

private:
    void Receive();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer settle_;
    bool arrived_ = false;
};
