#pragma once

#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Reports serial devices being plugged in and removed, from the kernel's
// netlink messages (libudev's "kernel" source needs no udev daemon).
// Pseudo-terminals send no such messages. Where the monitor cannot be
// created (no netlink in a sandbox) it stays silent.
class HotplugMonitor : public QObject
{
    Q_OBJECT

public:
    explicit HotplugMonitor(QObject* parent = nullptr);
    ~HotplugMonitor() override;

    bool Start();

signals:
    void deviceChanged(bool arrived);

private:
    void Receive();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};
