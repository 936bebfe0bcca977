#include "serial/cn_rs232_posix_device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Result(int rc)
{
    return rc < 0 ? errno : 0;
}

void ToKernel(const CnRS232Termios& from, termios2& to)
{
    to.c_iflag = from.iflag;
    to.c_oflag = from.oflag;
    to.c_cflag = from.cflag;
    to.c_lflag = from.lflag;
    to.c_line = from.line;
    static_assert(sizeof(to.c_cc) == sizeof(from.cc));
    std::memcpy(to.c_cc, from.cc.data(), sizeof(to.c_cc));
    to.c_ispeed = from.ispeed;
    to.c_ospeed = from.ospeed;
}

void FromKernel(const termios2& from, CnRS232Termios& to)
{
    to.iflag = from.c_iflag;
    to.oflag = from.c_oflag;
    to.cflag = from.c_cflag;
    to.lflag = from.c_lflag;
    to.line = from.c_line;
    std::memcpy(to.cc.data(), from.c_cc, sizeof(from.c_cc));
    to.ispeed = from.c_ispeed;
    to.ospeed = from.c_ospeed;
}

// Takes the device for this open file only; a second open of the same device,
// by this program or another, finds it locked.
int LockExclusive(int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 0;
    return errno == EWOULDBLOCK ? EBUSY : errno;
}

}  // namespace

QString CnRS232ErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("设备不存在");
    case EBUSY:
        return QStringLiteral("设备已被占用");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有访问设备的权限");
    case ENOTTY:
        return QStringLiteral("不是串口设备");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("设备已断开");
    case EIO:
        return QStringLiteral("设备读写错误");
    default:
        return QString::fromLocal8Bit(strerror(error));
    }
}

CnRS232PosixDevice::~CnRS232PosixDevice()
{
    Close();
}

int CnRS232PosixDevice::Open(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    termios2 saved {};
    int error = 0;
    if (fstat(fd, &info) < 0)
        error = errno;
    else if (!S_ISCHR(info.st_mode) || ioctl(fd, TCGETS2, &saved) < 0)
        error = ENOTTY;
    else
        error = LockExclusive(fd);
    if (error != 0) {
        ::close(fd);
        return error;
    }
    // Keeps out later opens by other users; root is kept out by the lock.
    ioctl(fd, TIOCEXCL);
    ioctl(fd, TCFLSH, TCIFLUSH);
    FromKernel(saved, saved_);
    fd_ = fd;
    return 0;
}

int CnRS232PosixDevice::Probe(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = LockExclusive(fd);
    ::close(fd);
    return error;
}

int CnRS232PosixDevice::OpenStopSignal()
{
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return stopFd_ < 0 ? errno : 0;
}

void CnRS232PosixDevice::RaiseStop()
{
    if (stopFd_ >= 0)
        eventfd_write(stopFd_, 1);
}

void CnRS232PosixDevice::Close()
{
    if (fd_ >= 0) {
        termios2 saved {};
        ToKernel(saved_, saved);
        ioctl(fd_, TCSETS2, &saved);
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);  // also releases the lock
        fd_ = -1;
    }
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
}

int CnRS232PosixDevice::GetAttributes(CnRS232Termios& termios)
{
    termios2 kernel {};
    if (ioctl(fd_, TCGETS2, &kernel) < 0)
        return errno;
    FromKernel(kernel, termios);
    return 0;
}

int CnRS232PosixDevice::SetAttributes(const CnRS232Termios& termios)
{
    termios2 kernel {};
    ToKernel(termios, kernel);
    return Result(ioctl(fd_, TCSETS2, &kernel));
}

int CnRS232PosixDevice::SetModemLines(unsigned lines, bool on)
{
    int bits = 0;
    if (lines & kLineDtr)
        bits |= TIOCM_DTR;
    if (lines & kLineRts)
        bits |= TIOCM_RTS;
    return Result(ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits));
}

int CnRS232PosixDevice::Purge(bool input, bool output)
{
    if (!input && !output)
        return 0;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return Result(ioctl(fd_, TCFLSH, queue));
}

int CnRS232PosixDevice::Drain()
{
    // TCSBRK with a non-zero argument is tcdrain().
    return Result(ioctl(fd_, TCSBRK, 1));
}

unsigned CnRS232PosixDevice::Wait(bool forWrite, qint64 timeoutMs, int& error)
{
    const short wanted = forWrite ? POLLOUT : POLLIN;
    pollfd fds[2] = {{fd_, wanted, 0}, {stopFd_, POLLIN, 0}};
    const int timeout = timeoutMs < 0 ? -1 : static_cast<int>(std::min<qint64>(timeoutMs, 1 << 30));
    const int rc = ::poll(fds, 2, timeout);
    if (rc < 0) {
        if (errno == EINTR)
            return 0;
        error = errno;
        return kFailed;
    }
    if (fds[1].revents != 0)
        return kStopped;
    unsigned result = 0;
    if (fds[0].revents & wanted)
        result |= kReady;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        result |= kHangup;
    return result;
}

qint64 CnRS232PosixDevice::Read(char* data, qint64 size)
{
    const ssize_t n = ::read(fd_, data, static_cast<size_t>(size));
    return n < 0 ? -errno : n;
}

qint64 CnRS232PosixDevice::Write(const char* data, qint64 size)
{
    const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
    return n < 0 ? -errno : n;
}
