#include "net/tcp_connection.h"

#include "net/socket_address.h"

#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool WouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

TcpConnection::TcpConnection(QObject* parent) : QObject(parent)
{
}

TcpConnection::TcpConnection(int descriptor, QObject* parent) : QObject(parent)
{
    Attach(descriptor);
    state_ = State::kConnected;
    TakeAddresses();
    UpdateReadNotifier();
}

TcpConnection::~TcpConnection()
{
    CloseDescriptor();
}

void TcpConnection::Attach(int descriptor)
{
    delete readNotifier_;
    delete writeNotifier_;
    descriptor_ = descriptor;
    readNotifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    readNotifier_->setEnabled(false);
    connect(readNotifier_, &QSocketNotifier::activated, this, &TcpConnection::OnReadable);
    writeNotifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &TcpConnection::OnWritable);
}

void TcpConnection::TakeAddresses()
{
    const SocketAddress peer = SocketAddress::PeerOf(descriptor_);
    peerAddress_ = peer.Host();
    peerPort_ = peer.Port();
    localPort_ = SocketAddress::LocalOf(descriptor_).Port();
}

void TcpConnection::ConnectTo(const QHostAddress& address, quint16 port)
{
    CloseDescriptor();
    const SocketAddress target(address, port);
    const int descriptor = socket(target.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        state_ = State::kClosed;
        PostError(kConnect, errno);
        return;
    }
    Attach(descriptor);
    if (::connect(descriptor, target.Data(), target.Size()) == 0) {
        // Connected at once: report it from the event loop all the same.
        state_ = State::kConnecting;
        writeNotifier_->setEnabled(true);
        return;
    }
    if (errno == EINPROGRESS) {
        state_ = State::kConnecting;
        writeNotifier_->setEnabled(true);
        return;
    }
    const int error = errno;
    CloseDescriptor();
    state_ = State::kClosed;
    PostError(kConnect, error);
}

void TcpConnection::PostError(ErrorEvent event, int code)
{
    QMetaObject::invokeMethod(
        this, [this, event, code] { emit ErrorOccurred(event, code); }, Qt::QueuedConnection);
}

qint64 TcpConnection::BytesAvailable() const
{
    if (descriptor_ < 0)
        return 0;
    int count = 0;
    if (ioctl(descriptor_, FIONREAD, &count) != 0)
        return 0;
    return std::min<qint64>(count, kMaxChunk);
}

QByteArray TcpConnection::Read(qint64 count)
{
    if (state_ != State::kConnected || count <= 0)
        return QByteArray();
    QByteArray data(count, Qt::Uninitialized);
    ssize_t received;
    do {
        received = recv(descriptor_, data.data(), static_cast<size_t>(count), 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        if (!WouldBlock(errno))
            FailCall(kReceive, errno);
        return QByteArray();
    }
    data.truncate(received);
    return data;
}

qint64 TcpConnection::Write(QByteArrayView data)
{
    if (state_ != State::kConnected && state_ != State::kBroken) {
        if (state_ != State::kFailing)
            writeError_ = ENOTCONN;
        return -1;
    }
    qsizetype sent = 0;
    if (queue_.empty()) {
        while (sent < data.size()) {
            const ssize_t result = send(descriptor_, data.data() + sent, static_cast<size_t>(data.size() - sent),
                                        MSG_NOSIGNAL);
            if (result >= 0) {
                sent += result;
                continue;
            }
            if (errno == EINTR)
                continue;
            if (WouldBlock(errno))
                break;
            FailWrite(errno);
            return -1;
        }
    }
    if (sent < data.size()) {
        queue_.emplace_back(data.data() + sent, data.size() - sent);
        queuedBytes_ += data.size() - sent;
        writeNotifier_->setEnabled(true);
    }
    return data.size();
}

void TcpConnection::FailWrite(int error)
{
    // The caller reports the failure with the payload it could not send; the
    // disconnect follows once it has.
    writeError_ = error;
    state_ = State::kFailing;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    queue_.clear();
    frontOffset_ = 0;
    queuedBytes_ = 0;
    QMetaObject::invokeMethod(this, &TcpConnection::CloseAndNotify, Qt::QueuedConnection);
}

void TcpConnection::Flush()
{
    qint64 sent = 0;
    while (!queue_.empty()) {
        const QByteArray& front = queue_.front();
        const ssize_t result = send(descriptor_, front.constData() + frontOffset_,
                                    static_cast<size_t>(front.size() - frontOffset_), MSG_NOSIGNAL);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            if (WouldBlock(errno))
                break;
            FailCall(kSend, errno);
            return;
        }
        sent += result;
        frontOffset_ += result;
        queuedBytes_ -= result;
        if (frontOffset_ == front.size()) {
            queue_.pop_front();
            frontOffset_ = 0;
        }
    }
    if (queue_.empty())
        writeNotifier_->setEnabled(false);
    if (sent > 0)
        emit BytesWritten(sent);
}

void TcpConnection::OnWritable()
{
    if (state_ == State::kConnecting) {
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(descriptor_, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
        if (error != 0) {
            CloseDescriptor();
            state_ = State::kClosed;
            emit ErrorOccurred(kConnect, error);
            return;
        }
        state_ = State::kConnected;
        TakeAddresses();
        writeNotifier_->setEnabled(!queue_.empty());
        UpdateReadNotifier();
        emit Connected();
        return;
    }
    if (state_ == State::kConnected)
        Flush();
}

void TcpConnection::SetReadPaused(bool paused)
{
    readPaused_ = paused;
    // The notifier is level-triggered: bytes or a close that came meanwhile
    // raise it again as soon as it is on.
    UpdateReadNotifier();
}

void TcpConnection::UpdateReadNotifier()
{
    if (readNotifier_)
        readNotifier_->setEnabled(state_ == State::kConnected && !readPaused_ && !inReadyRead_);
}

void TcpConnection::OnReadable()
{
    if (state_ != State::kConnected)
        return;
    if (BytesAvailable() > 0) {
        inReadyRead_ = true;
        UpdateReadNotifier();
        const QPointer<TcpConnection> self(this);
        emit ReadyRead();
        if (!self)
            return;
        inReadyRead_ = false;
        UpdateReadNotifier();
        return;
    }
    // Readable with nothing to read: the peer closed its side or reset.
    char byte;
    const ssize_t result = recv(descriptor_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (result > 0)
        return;
    if (result == 0) {
        CloseAndNotify();
        return;
    }
    if (errno == EINTR || WouldBlock(errno))
        return;
    // A reset: the connection stays open but is of no further use; a later
    // write on it fails and closes it.
    const int error = errno;
    state_ = State::kBroken;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    queue_.clear();
    frontOffset_ = 0;
    queuedBytes_ = 0;
    emit ErrorOccurred(kDisconnect, error);
}

void TcpConnection::FailCall(ErrorEvent event, int code)
{
    const QPointer<TcpConnection> self(this);
    emit ErrorOccurred(event, code);
    if (self)
        CloseAndNotify();
}

void TcpConnection::CloseAndNotify()
{
    if (state_ == State::kClosed)
        return;
    // Handlers read the peer's address while the connection is still open.
    state_ = State::kClosed;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    const QPointer<TcpConnection> self(this);
    emit Disconnected();
    if (self)
        CloseDescriptor();
}

void TcpConnection::Abort()
{
    CloseDescriptor();
    state_ = State::kClosed;
}

void TcpConnection::CloseDescriptor()
{
    if (readNotifier_)
        readNotifier_->setEnabled(false);
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
    queue_.clear();
    frontOffset_ = 0;
    queuedBytes_ = 0;
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}
