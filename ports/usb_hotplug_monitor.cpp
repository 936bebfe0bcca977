#include "ports/usb_hotplug_monitor.h"

#include <QSocketNotifier>

#include <cstring>
#include <libudev.h>

UsbHotplugMonitor::UsbHotplugMonitor(QObject* parent) : QObject(parent)
{
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] { emit deviceChanged(arrived_); });
}

UsbHotplugMonitor::~UsbHotplugMonitor()
{
    delete notifier_;
    if (monitor_ != nullptr)
        udev_monitor_unref(monitor_);
    if (udev_ != nullptr)
        udev_unref(udev_);
}

bool UsbHotplugMonitor::Start()
{
    if (notifier_ != nullptr)
        return true;
    if (udev_ == nullptr)
        udev_ = udev_new();
    if (udev_ == nullptr)
        return false;
    if (monitor_ == nullptr)
        monitor_ = udev_monitor_new_from_netlink(udev_, "kernel");
    if (monitor_ == nullptr)
        return false;
    udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device");
    if (udev_monitor_enable_receiving(monitor_) != 0)
        return false;
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &UsbHotplugMonitor::Receive);
    return true;
}

void UsbHotplugMonitor::Receive()
{
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr)
        return;
    const char* action = udev_device_get_action(device);
    if (action != nullptr && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
        arrived_ = std::strcmp(action, "add") == 0;
        settle_.start();
    }
    udev_device_unref(device);
}
