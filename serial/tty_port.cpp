#include "serial/tty_port.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The one place where errno becomes a result: its negated value.
int Failure()
{
    return -errno;
}

int Result(int rc)
{
    return rc < 0 ? Failure() : 0;
}

// Interrupts a thread blocked in TIOCMIWAIT; installed without SA_RESTART so
// that the ioctl returns EINTR.
int WakeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(SIGRTMIN + 4, &action, nullptr);
    });
    return SIGRTMIN + 4;
}

void ToKernel(const TtySettings& from, termios2& to)
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

void FromKernel(const termios2& from, TtySettings& to)
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
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 0;
    return errno == EWOULDBLOCK ? -EBUSY : Failure();
}

}  // namespace

QString TtyErrorText(int error)
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
    default: {
        char buffer[256];
        // GNU strerror_r returns the text, which may or may not live in `buffer`.
        return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
    }
    }
}

TtyPort::~TtyPort()
{
    Close();
}

int TtyPort::Open(const QByteArray& path)
{
    Close();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failure();
    struct stat info {};
    termios2 saved {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = Failure();
    else if (!S_ISCHR(info.st_mode) || ::ioctl(fd, TCGETS2, &saved) != 0)
        error = -ENOTTY;
    else
        error = LockExclusive(fd);
    if (error != 0) {
        ::close(fd);
        return error;
    }
    ::ioctl(fd, TIOCEXCL);
    ::ioctl(fd, TCFLSH, TCIFLUSH);
    FromKernel(saved, saved_);
    fd_ = fd;
    return 0;
}

int TtyPort::Probe(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failure();
    const int error = LockExclusive(fd);
    ::close(fd);
    return error;
}

void TtyPort::Close()
{
    if (fd_ >= 0) {
        termios2 saved {};
        ToKernel(saved_, saved);
        ::ioctl(fd_, TCSETS2, &saved);
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);  // also releases the lock
        fd_ = -1;
    }
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
}

int TtyPort::GetSettings(TtySettings& settings) const
{
    termios2 kernel {};
    if (::ioctl(fd_, TCGETS2, &kernel) != 0)
        return Failure();
    FromKernel(kernel, settings);
    return 0;
}

int TtyPort::SetSettings(const TtySettings& settings)
{
    termios2 kernel {};
    ToKernel(settings, kernel);
    return Result(::ioctl(fd_, TCSETS2, &kernel));
}

int TtyPort::SetRs485(bool on)
{
    serial_rs485 rs485 {};
    if (::ioctl(fd_, TIOCGRS485, &rs485) != 0)
        return Failure();
    if (on)
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    else
        rs485.flags &= ~SER_RS485_ENABLED;
    rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
    return Result(::ioctl(fd_, TIOCSRS485, &rs485));
}

qint64 TtyPort::Read(char* data, qint64 size)
{
    const ssize_t n = ::read(fd_, data, static_cast<size_t>(size));
    return n < 0 ? Failure() : n;
}

qint64 TtyPort::Write(const char* data, qint64 size)
{
    const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
    return n < 0 ? Failure() : n;
}

int TtyPort::OpenStopSignal()
{
    if (stopFd_ >= 0)
        ::close(stopFd_);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return stopFd_ < 0 ? Failure() : 0;
}

void TtyPort::RaiseStop()
{
    if (stopFd_ >= 0)
        ::eventfd_write(stopFd_, 1);
}

int TtyPort::Wait(bool forWrite, qint64 timeoutMs)
{
    const short wanted = forWrite ? POLLOUT : POLLIN;
    // poll() skips the second entry while there is no stop signal (fd -1).
    pollfd fds[2] = {{fd_, wanted, 0}, {stopFd_, POLLIN, 0}};
    const int timeout = timeoutMs < 0 ? -1 : static_cast<int>(std::min<qint64>(timeoutMs, 1 << 30));
    if (::poll(fds, 2, timeout) < 0)
        return errno == EINTR ? 0 : Failure();
    if (fds[1].revents != 0)
        return kStopped;
    int result = 0;
    if (fds[0].revents & wanted)
        result |= kReady;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        result |= kHangup;
    return result;
}

int TtyPort::InputQueue()
{
    int count = 0;
    return ::ioctl(fd_, FIONREAD, &count) != 0 ? Failure() : count;
}

int TtyPort::OutputQueue()
{
    int count = 0;
    return ::ioctl(fd_, TIOCOUTQ, &count) != 0 ? Failure() : count;
}

int TtyPort::Purge(bool input, bool output)
{
    if (!input && !output)
        return 0;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return Result(::ioctl(fd_, TCFLSH, queue));
}

int TtyPort::Drain()
{
    // TCSBRK with a non-zero argument is tcdrain().
    return Result(::ioctl(fd_, TCSBRK, 1));
}

int TtyPort::SetBreak(bool on)
{
    return Result(::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK));
}

int TtyPort::ModemLines()
{
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0)
        return Failure();
    int lines = 0;
    if (bits & TIOCM_CTS)
        lines |= ModemLine::kCts;
    if (bits & TIOCM_DSR)
        lines |= ModemLine::kDsr;
    if (bits & TIOCM_RI)
        lines |= ModemLine::kRing;
    if (bits & TIOCM_CD)
        lines |= ModemLine::kRlsd;
    if (bits & TIOCM_RTS)
        lines |= ModemLine::kRts;
    if (bits & TIOCM_DTR)
        lines |= ModemLine::kDtr;
    return lines;
}

int TtyPort::SetModemLines(int lines, bool on)
{
    int bits = 0;
    if (lines & ModemLine::kRts)
        bits |= TIOCM_RTS;
    if (lines & ModemLine::kDtr)
        bits |= TIOCM_DTR;
    return Result(::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits));
}

int TtyPort::ReadCounters(LineCounters& counters)
{
    serial_icounter_struct icount {};
    if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0)
        return Failure();
    counters.frame = static_cast<quint32>(icount.frame);
    counters.overrun = static_cast<quint32>(icount.overrun);
    counters.parity = static_cast<quint32>(icount.parity);
    counters.brk = static_cast<quint32>(icount.brk);
    counters.bufferOverrun = static_cast<quint32>(icount.buf_overrun);
    counters.cts = static_cast<quint32>(icount.cts);
    counters.dsr = static_cast<quint32>(icount.dsr);
    counters.ring = static_cast<quint32>(icount.rng);
    counters.rlsd = static_cast<quint32>(icount.dcd);
    return 0;
}

int TtyPort::ReadModemState(ModemState& state)
{
    const int lines = ModemLines();
    if (lines < 0)
        return lines;
    state.lines = lines & ModemLine::kInputs;
    state.counted = ReadCounters(state.counters) == 0;
    return 0;
}

int TtyPort::WaitModemChange(const ModemState& since)
{
    waiter_ = static_cast<unsigned long>(::pthread_self());
    waiting_ = true;
    // TIOCMIWAIT only sees changes after it has begun; one since `since` is
    // found by looking first. Only the few instructions between the look and
    // the ioctl stay uncovered, and the counters show such a change at the
    // next wake.
    ModemState now;
    int result = 0;
    if (ReadModemState(now) != 0 || MovedLines(since, now) == 0)
        result = Result(::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD));
    waiting_ = false;
    return result;
}

void TtyPort::InterruptModemWait()
{
    if (waiting_)
        ::pthread_kill(static_cast<pthread_t>(waiter_.load()), WakeSignal());
}
