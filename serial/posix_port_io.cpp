#include "serial/posix_port_io.h"

#include <QFile>

#include <cerrno>

int PosixPortIo::Open(const QString& path)
{
    return port_.Open(QFile::encodeName(path));
}

int PosixPortIo::Apply(const Dcb& dcb)
{
    // Rate 0 would hang the line up.
    if (dcb.BaudRate == 0)
        return -EINVAL;
    TtySettings settings;
    if (const int result = port_.GetSettings(settings); result < 0)
        return result;
    ApplyDcb(dcb, settings);
    return port_.SetSettings(settings);
}

qint64 PosixPortIo::Read(char* buffer, qint64 size)
{
    const qint64 count = port_.Read(buffer, size);
    // A pseudo-terminal whose other side is gone reports EIO.
    return count == -EIO ? 0 : count;
}

bool PosixPortIo::WaitWritable(int timeoutMs)
{
    const int woke = port_.Wait(true, timeoutMs);
    return woke > 0 && (woke & TtyPort::kReady);
}

int PosixPortIo::WaitModemChange(const ModemState& since)
{
    const int result = port_.WaitModemChange(since);
    // A hung-up tty (device unplugged, pseudo-terminal's other side gone) reports EIO.
    return result == -EIO ? -ENODEV : result;
}
