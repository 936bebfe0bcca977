#include "serial/posix_port_io.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The one place errno becomes a result: the negative errno value.
int Failure()
{
    return -errno;
}

// Interrupts a thread blocked in TIOCMIWAIT; installed without SA_RESTART so
// that the ioctl returns EINTR.
int WakeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action{};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(SIGRTMIN + 4, &action, nullptr);
    });
    return SIGRTMIN + 4;
}

speed_t SpeedConstant(quint32 baud)
{
    static const std::pair<quint32, speed_t> table[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000}};
    for (const auto& [rate, constant] : table)
        if (rate == baud)
            return constant;
    return 0;
}

int ModemBitsToTiocm(int line)
{
    int bits = 0;
    if (line & ModemLine::kRts)
        bits |= TIOCM_RTS;
    if (line & ModemLine::kDtr)
        bits |= TIOCM_DTR;
    return bits;
}

}  // namespace

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

PosixPortIo::~PosixPortIo()
{
    Close();
}

int PosixPortIo::Open(const QString& path)
{
    Close();
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failure();
    // TIOCEXCL keeps other users out but not root; the lock also stops root
    // and every program that honours device locks.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &saved_) != 0) {
        const int error = Failure();
        ::close(fd);
        return error == -EWOULDBLOCK ? -EBUSY : error;
    }
    ::ioctl(fd, TIOCEXCL);
    ::tcflush(fd, TCIFLUSH);
    fd_ = fd;
    return 0;
}

void PosixPortIo::Close()
{
    if (fd_ < 0)
        return;
    ::tcsetattr(fd_, TCSANOW, &saved_);
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

int PosixPortIo::Apply(const Dcb& dcb)
{
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return Failure();
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL;
    switch (dcb.ByteSize) {
    case 4:
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }
    switch (dcb.Parity) {
    case pNone: break;
    case pOdd: tio.c_cflag |= PARENB | PARODD; break;
    case pEven: tio.c_cflag |= PARENB; break;
    case pMark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case pSpace: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (dcb.Parity != pNone && (dcb.Flags & DcbFlag::kParity))
        tio.c_iflag |= INPCK;
    if (dcb.StopBits != sbOne)
        tio.c_cflag |= CSTOPB;
    if ((dcb.Flags & DcbFlag::kOutxCtsFlow) || (dcb.Flags & DcbFlag::kRtsControl) == DcbFlag::kRtsHandshake)
        tio.c_cflag |= CRTSCTS;
    if (dcb.Flags & DcbFlag::kOutX)
        tio.c_iflag |= IXON;
    if (dcb.Flags & DcbFlag::kInX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = SpeedConstant(dcb.BaudRate);
    if (speed == 0)
        return -EINVAL;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return Failure();
    return 0;
}

int PosixPortIo::SetRs485(bool on)
{
    serial_rs485 rs485{};
    if (::ioctl(fd_, TIOCGRS485, &rs485) != 0)
        return Failure();
    if (on)
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    else
        rs485.flags &= ~SER_RS485_ENABLED;
    rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
    if (::ioctl(fd_, TIOCSRS485, &rs485) != 0)
        return Failure();
    return 0;
}

qint64 PosixPortIo::Read(char* buffer, qint64 size)
{
    const ssize_t count = ::read(fd_, buffer, static_cast<size_t>(size));
    if (count < 0) {
        const int error = Failure();
        // A pseudo-terminal whose other side is gone reports EIO.
        return error == -EIO ? 0 : error;
    }
    return count;
}

qint64 PosixPortIo::Write(const char* data, qint64 size)
{
    const ssize_t count = ::write(fd_, data, static_cast<size_t>(size));
    return count < 0 ? Failure() : count;
}

bool PosixPortIo::WaitWritable(int timeoutMs)
{
    pollfd entry{fd_, POLLOUT, 0};
    return ::poll(&entry, 1, timeoutMs) > 0;
}

int PosixPortIo::InputQueue()
{
    int count = 0;
    return ::ioctl(fd_, FIONREAD, &count) != 0 ? Failure() : count;
}

int PosixPortIo::OutputQueue()
{
    int count = 0;
    return ::ioctl(fd_, TIOCOUTQ, &count) != 0 ? Failure() : count;
}

int PosixPortIo::Purge(bool input, bool output)
{
    const int selector = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return ::tcflush(fd_, selector) != 0 ? Failure() : 0;
}

int PosixPortIo::Drain()
{
    return ::tcdrain(fd_) != 0 ? Failure() : 0;
}

int PosixPortIo::ModemLines()
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

int PosixPortIo::SetModemLine(int line, bool on)
{
    const int bits = ModemBitsToTiocm(line);
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0 ? Failure() : 0;
}

int PosixPortIo::ReadCounters(LineCounters& counters)
{
    serial_icounter_struct icount{};
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

int PosixPortIo::WaitModemChange()
{
    waiter_ = static_cast<unsigned long>(::pthread_self());
    waiting_ = true;
    const int result = ::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD) != 0 ? Failure() : 0;
    waiting_ = false;
    return result;
}

void PosixPortIo::InterruptWait()
{
    if (waiting_)
        ::pthread_kill(static_cast<pthread_t>(waiter_.load()), WakeSignal());
}
