#pragma once

#include <QString>
#include <QtGlobal>

// The three registers of a parallel port, relative to its base address.
enum class LptRegister { kData = 0, kStatus = 1, kControl = 2 };

// What the parallel port component needs of the operating system: the ppdev
// device (/dev/parportN) for direct register access, or the printer device
// (/dev/lpN) that only takes bytes. Tests put a recording stand-in here.
class LptPortIO
{
public:
    virtual ~LptPortIO() = default;

    // Opens the device node; a handle >= 0, or -1 with the errno in `error`.
    virtual int Open(const QString& path, int& error) = 0;
    // Claims the port for this process (ppdev); false with the errno.
    virtual bool Claim(int handle, int& error) = 0;
    // Releases a claimed port and closes the handle.
    virtual void Close(int handle) = 0;
    virtual bool Read(int handle, LptRegister reg, quint8& value) = 0;
    virtual bool Write(int handle, LptRegister reg, quint8 value) = 0;
    // The printer device: bytes written, or -1.
    virtual qint64 WriteBytes(int handle, const char* data, qint64 size) = 0;
    // The printer device's initialisation request.
    virtual bool ResetPrinter(int handle) = 0;
};

// The one translation of an errno into the text the user is shown.
QString LptSystemErrorText(int error);

// The Linux layer: ppdev ioctls on /dev/parportN, write(2) on /dev/lpN.
class PpdevPortIO : public LptPortIO
{
public:
    int Open(const QString& path, int& error) override;
    bool Claim(int handle, int& error) override;
    void Close(int handle) override;
    bool Read(int handle, LptRegister reg, quint8& value) override;
    bool Write(int handle, LptRegister reg, quint8 value) override;
    qint64 WriteBytes(int handle, const char* data, qint64 size) override;
    bool ResetPrinter(int handle) override;
};
