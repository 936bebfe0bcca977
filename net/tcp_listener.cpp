#include "net/tcp_listener.h"

#include "net/socket_address.h"
#include "net/socket_error_text.h"
#include "net/tcp_connection.h"

#include <QHostAddress>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString SocketErrorMessage(const char* api, int error)
{
    return QStringLiteral("Windows socket error: %1 (%2), on API '%3'")
        .arg(SocketErrorText(error))
        .arg(error)
        .arg(QLatin1String(api));
}

}  // namespace

TcpListener::TcpListener(QObject* parent) : QObject(parent)
{
}

TcpListener::~TcpListener()
{
    Close();
}

QString TcpListener::Listen(quint16 port, const std::function<void()>& bound)
{
    Close();
    const int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return SocketErrorMessage("socket", errno);
    // Connections of an earlier run of the server may linger in TIME_WAIT on
    // this port; they must not keep the server from listening again.
    const int on = 1;
    setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const SocketAddress any(QHostAddress(QHostAddress::AnyIPv4), port);
    if (bind(descriptor, any.Data(), any.Size()) != 0) {
        const int error = errno;
        ::close(descriptor);
        return SocketErrorMessage("bind", error);
    }
    bound();
    if (listen(descriptor, kBacklog) != 0) {
        const int error = errno;
        ::close(descriptor);
        return SocketErrorMessage("listen", error);
    }
    descriptor_ = descriptor;
    notifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TcpListener::OnAcceptable);
    return QString();
}

void TcpListener::Close()
{
    if (descriptor_ < 0)
        return;
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
    ::close(descriptor_);
    descriptor_ = -1;
}

void TcpListener::OnAcceptable()
{
    const QPointer<TcpListener> self(this);
    const int listening = descriptor_;
    while (self && descriptor_ == listening && descriptor_ >= 0) {
        const int client = accept4(descriptor_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) {
            // A client that gave up before being accepted is no reason to stop.
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        emit NewConnection(new TcpConnection(client, this));
    }
}
