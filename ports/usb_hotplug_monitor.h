#pragma once

#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Reports USB devices (not their interfaces) being plugged in and removed,
// from the kernel's netlink messages. Where the monitor cannot be created
// (no netlink in a sandbox) it stays silent.
class UsbHotplugMonitor : public QObject
{
    Q_OBJECT

public:
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
};
