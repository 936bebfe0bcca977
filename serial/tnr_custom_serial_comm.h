#pragma once

#include "serial/port_enumerator.h"
#include "serial/tnr_custom_comm.h"

#include <utility>
#include <vector>

// The serial core bound to the machine's ports: the port number, opening the
// port by its name, and the list of ports with a readable description each.
// Ports are numbered as the device list keys them (ttyS<n> as COM<n+1>);
// a number not in the list is opened as /dev/COM<n>.
class TnrCustomSerialComm : public TnrCustomComm
{
    Q_OBJECT

public:
    explicit TnrCustomSerialComm(QObject* parent = nullptr);

    quint16 ComPortNo() const { return comPortNo_; }
    // A change closes an open port and opens the new one.
    void SetComPortNo(quint16 number);
    TComPort ComPort() const;
    void SetComPort(TComPort port);
    TnrEnumPorts EnumPorts() const { return enumPorts_; }
    void SetEnumPorts(TnrEnumPorts mode) { enumPorts_ = mode; }

    // The device path, or "COM" and the number when the number is not listed.
    QString GetPortName() const override;
    int GetDeviceIndex() const override;
    void SetDeviceIndex(int i) override;
    void DeviceListLoad() override;
    void Update() override;
    // Lists a device path typed by the user (kept across Update); returns its position.
    int AddPortPath(const QString& path);

    void SetScanRoots(const PortScanRoots& roots) { scanRoots_ = roots; }
    // Where engines created from now on scan for ports (tests use a fake tree).
    static void SetDefaultScanRoots(const PortScanRoots& roots);

protected:
    Handle RequestDeviceHandle() override;

private:
    static PortScanRoots& DefaultScanRoots();

    quint16 comPortNo_ = 1;
    TnrEnumPorts enumPorts_ = epQuickAll;
    std::vector<std::pair<QString, int>> typedPaths_;
    PortScanRoots scanRoots_ = DefaultScanRoots();
};
