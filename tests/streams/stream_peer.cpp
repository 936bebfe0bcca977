#include "tests/streams/stream_peer.h"

#include "tests/streams/pattern_stream.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qsizetype kPieceBytes = 64 * 1024;
constexpr int kWaitMs = 100;

bool IsSocket(int fd)
{
    struct stat status{};
    return ::fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

StreamPeer::StreamPeer(int fd, const Plan& plan)
    : fd_(fd),
      plan_(plan),
      socket_(IsSocket(fd)),
      reading_(!plan.holdReading),
      sendDone_(plan.sendBytes == 0),
      receiveDone_(plan.receiveBytes == 0)
{
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    if (plan_.sendBytes > 0)
        sender_ = std::thread([this] { Send(); });
    if (plan_.receiveBytes > 0)
        receiver_ = std::thread([this] { Receive(); });
}

StreamPeer::~StreamPeer()
{
    stop_ = true;
    if (sender_.joinable())
        sender_.join();
    if (receiver_.joinable())
        receiver_.join();
    ::close(fd_);
}

int StreamPeer::OpenTerminal(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void StreamPeer::ReleaseReading()
{
    reading_ = true;
}

QString StreamPeer::Failure() const
{
    const std::lock_guard lock(mutex_);
    return failure_;
}

QByteArray StreamPeer::ReceivedDigest() const
{
    const std::lock_guard lock(mutex_);
    return receivedDigest_;
}

void StreamPeer::Send()
{
    PatternStream pattern(plan_.sendSeed);
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    qsizetype pending = 0;  // bytes of `piece` from `offset` on not yet written
    qsizetype offset = 0;
    qint64 sent = 0;
    while (sent < plan_.sendBytes && !stop_) {
        if (pending == 0) {
            pending = static_cast<qsizetype>(std::min<qint64>(kPieceBytes, plan_.sendBytes - sent));
            pattern.Fill(piece.data(), pending);
            offset = 0;
        }
        const char* bytes = piece.constData() + offset;
        const ssize_t n = socket_ ? ::send(fd_, bytes, static_cast<size_t>(pending), MSG_NOSIGNAL)
                                  : ::write(fd_, bytes, static_cast<size_t>(pending));
        if (n > 0) {
            offset += n;
            pending -= n;
            sent += n;
            sent_ = sent;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            Wait(POLLOUT);
        } else {
            Fail("write", n < 0 ? errno : 0);
            return;
        }
    }
    if (sent == plan_.sendBytes)
        sendDone_ = true;
}

void StreamPeer::Receive()
{
    PatternStream pattern(plan_.receiveSeed);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    qint64 received = 0;
    while (received < plan_.receiveBytes && !stop_) {
        if (!reading_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const ssize_t n = ::read(fd_, piece.data(), static_cast<size_t>(piece.size()));
        if (n > 0) {
            // Bytes past the end are not the stream's; they spoil it.
            const qint64 wanted = std::min<qint64>(n, plan_.receiveBytes - received);
            if (wanted < n || !pattern.Matches(piece.constData(), wanted))
                intact_ = false;
            if (plan_.hashReceived)
                hash.addData(QByteArrayView(piece.constData(), wanted));
            received += n;
            received_ = received;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            Wait(POLLIN);
        } else {
            Fail("read", n < 0 ? errno : 0);
            return;
        }
    }
    if (received < plan_.receiveBytes)
        return;
    {
        const std::lock_guard lock(mutex_);
        receivedDigest_ = hash.result();
    }
    receiveDone_ = true;
}

void StreamPeer::Wait(short events) const
{
    pollfd entry{fd_, events, 0};
    ::poll(&entry, 1, kWaitMs);
}

void StreamPeer::Fail(const char* what, int error)
{
    {
        const std::lock_guard lock(mutex_);
        failure_ = QString::fromLatin1(what) + QStringLiteral(": ") +
                   (error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("end of stream"));
    }
    broken_ = true;
}
