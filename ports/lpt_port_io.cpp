#include "ports/lpt_port_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/lp.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

QString LptSystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int PpdevPortIO::Open(const QString& path, int& error)
{
    // Non-blocking: a printer that is off line must not hang the window on a write.
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    error = fd < 0 ? errno : 0;
    return fd;
}

bool PpdevPortIO::Claim(int handle, int& error)
{
    if (::ioctl(handle, PPCLAIM) == 0) {
        error = 0;
        return true;
    }
    error = errno;
    return false;
}

void PpdevPortIO::Close(int handle)
{
    // Fails harmlessly on a printer device or an unclaimed port.
    ::ioctl(handle, PPRELEASE);
    ::close(handle);
}

bool PpdevPortIO::Read(int handle, LptRegister reg, quint8& value)
{
    unsigned char byte = 0;
    const unsigned long request = reg == LptRegister::kData ? PPRDATA : reg == LptRegister::kStatus ? PPRSTATUS
                                                                                                   : PPRCONTROL;
    if (::ioctl(handle, request, &byte) != 0)
        return false;
    value = byte;
    return true;
}

bool PpdevPortIO::Write(int handle, LptRegister reg, quint8 value)
{
    unsigned char byte = value;
    // The status register is input only.
    if (reg == LptRegister::kStatus)
        return false;
    return ::ioctl(handle, reg == LptRegister::kData ? PPWDATA : PPWCONTROL, &byte) == 0;
}

qint64 PpdevPortIO::WriteBytes(int handle, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(handle, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done == 0 && size > 0 ? -1 : done;
}

bool PpdevPortIO::ResetPrinter(int handle)
{
    return ::ioctl(handle, LPRESET) == 0;
}
