#pragma once

#include <QString>

#include <vector>

// One serial port of the machine as the device lists show it.
struct SerialPortInfo
{
    QString path;          // the name the port is opened by, e.g. "/dev/ttyUSB0"
    QString name;          // kernel name, e.g. "ttyUSB0"
    QString description;   // readable description, empty when nothing is known
    QString manufacturer;
    QString serialNumber;  // USB serial number string, when the device has one
    QString driver;        // kernel driver, e.g. "ftdi_sio"
    int portNumber = 0;    // list key: ttyS<n> is n + 1 (as COM<n+1>), others 4097, 4098, ... in name order
};

// Where the scan looks; tests point these at a fake tree.
struct PortScanRoots
{
    QString sys = QStringLiteral("/sys");
    QString udevData = QStringLiteral("/run/udev/data");
    QString dev = QStringLiteral("/dev");
};

// First key given to ports that have no COM-like number.
constexpr int kFirstUnnumberedPort = 4097;

// Lists the serial ports behind /sys/class/tty/*/device, sorted by portNumber.
// Terminals without a device (pseudo-terminals, virtual consoles) and 8250
// slots whose UART type is unknown (no hardware behind them) are left out.
// Descriptions come from the udev database when it has the device, else from
// the USB device's product and manufacturer strings, else the driver name.
std::vector<SerialPortInfo> EnumerateSerialPorts(const PortScanRoots& roots = {});

// "ttyUSB0 (description)", or the bare name when the description is empty.
QString FriendlyPortName(const SerialPortInfo& port);
