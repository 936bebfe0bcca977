#include "serial/hotplug_monitor.h"

#include <QSocketNotifier>

#include <cstring>
#include <libudev.h>

HotplugMonitor::HotplugMonitor(QObject* parent) : QObject(parent) {}

HotplugMonitor::~HotplugMonitor()
{
    delete notifier_;
    if (monitor_ != nullptr)
        udev_monitor_unref(monitor_);
    if (udev_ != nullptr)
        udev_unref(udev_);
}

bool HotplugMonitor::Start()
{
    if (monitor_ != nullptr)
        return true;
    udev_ = udev_new();
    if (udev_ == nullptr)
        return false;
    monitor_ = udev_monitor_new_from_netlink(udev_, "kernel");
    if (monitor_ == nullptr)
        return false;
    udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr);
    if (udev_monitor_enable_receiving(monitor_) != 0)
        return false;
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &HotplugMonitor::Receive);
    return true;
}

void HotplugMonitor::Receive()
{
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr)
        return;
    const char* action = udev_device_get_action(device);
    // Only terminals with hardware behind them count, not virtual consoles.
    const char* path = udev_device_get_devpath(device);
    const bool hardware = path != nullptr && std::strncmp(path, "/devices/virtual/", 17) != 0;
    if (action != nullptr && hardware) {
        if (std::strcmp(action, "add") == 0)
            emit deviceChanged(true);
        else if (std::strcmp(action, "remove") == 0)
            emit deviceChanged(false);
    }
    udev_device_unref(device);
}
