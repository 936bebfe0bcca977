#include "app/tnm_http.h"

#include <QTcpSocket>

TNMHTTP::TNMHTTP(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the limits are 3000 ms.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TNMHTTP::Timeout);
}

TNMHTTP::~TNMHTTP()
{
    DropSocket();
}

QByteArray TNMHTTP::RequestText(const HttpAddress& address, const QByteArray& cookie)
{
    QByteArray text = "GET " + address.path + " HTTP/1.0\r\n";
    text += "Host: " + address.HostHeader() + "\r\n";
    text += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
    text += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
    text += "Content-type: application/x-www-form-urlencoded\r\n";
    if (!cookie.isEmpty()) {
        QByteArray value;
        for (char c : cookie)
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
                value.append(c);
        text += "Cookie: " + value + "\r\n";
    }
    return text + "\r\n";
}

void TNMHTTP::Get(const HttpAddress& address, int cmd)
{
    DropSocket();
    running_ = true;
    ++generation_;
    address_ = address;
    cmd_ = cmd;
    redirects_ = 0;
    cookie_.clear();
    total_.start();
    Connect();
}

void TNMHTTP::Connect()
{
    DropSocket();
    answer_ = HttpAnswerParser();
    connected_ = false;
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, &TNMHTTP::Connected);
    connect(socket_, &QTcpSocket::readyRead, this, &TNMHTTP::ReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &TNMHTTP::Disconnected);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A close by the server after the answer is the normal end.
        if (error == QAbstractSocket::RemoteHostClosedError && connected_)
            return;
        Fail(socket_ ? socket_->errorString() : QString());
    });
    timer_.start(kTimeoutMs);
    socket_->connectToHost(address_.host, address_.port);
}

void TNMHTTP::Connected()
{
    connected_ = true;
    socket_->write(RequestText(address_, cookie_));
    timer_.start(kTimeoutMs);
}

void TNMHTTP::ReadyRead()
{
    if (!socket_)
        return;
    if (!answer_.Feed(socket_->readAll())) {
        Fail(QStringLiteral("answer too long"));
        return;
    }
    if (total_.elapsed() > kTotalLimitMs) {
        Fail(QStringLiteral("took too long"));
        return;
    }
    timer_.start(kTimeoutMs);
}

void TNMHTTP::Disconnected()
{
    if (!socket_)
        return;
    if (!answer_.Feed(socket_->readAll())) {
        Fail(QStringLiteral("answer too long"));
        return;
    }
    Finish();
}

void TNMHTTP::Timeout()
{
    if (socket_)
        Fail(connected_ ? QStringLiteral("no data for 3000 ms") : QStringLiteral("connect timed out"));
}

void TNMHTTP::Finish()
{
    if (!answer_.HeadersDone()) {
        Fail(QStringLiteral("connection closed before the answer's end of headers"));
        return;
    }
    DropSocket();
    const int status = answer_.Status();
    if (!answer_.Cookie().isEmpty())
        cookie_ = answer_.Cookie();
    if (status < 299) {
        running_ = false;
        emit Success(cmd_, answer_.Body());
        return;
    }
    if (status >= 300 && status <= 302) {
        if (redirects_ >= kMaxRedirects) {
            Fail(QStringLiteral("more than %1 redirects").arg(kMaxRedirects));
            return;
        }
        const std::optional<HttpAddress> next = HttpAddress::Redirect(address_, answer_.Location());
        if (!next) {
            Fail(QStringLiteral("redirect to an unusable address"));
            return;
        }
        if (total_.elapsed() > kTotalLimitMs) {
            Fail(QStringLiteral("took too long"));
            return;
        }
        ++redirects_;
        address_ = *next;
        // Not from inside the old socket's signal.
        QTimer::singleShot(0, this, [this, generation = generation_] {
            if (running_ && generation == generation_)
                Connect();
        });
        return;
    }
    running_ = false;
    emit Ended(status);
}

void TNMHTTP::Fail(const QString& reason)
{
    if (!running_)
        return;
    DropSocket();
    running_ = false;
    emit Failure(reason);
}

void TNMHTTP::DropSocket()
{
    timer_.stop();
    if (!socket_)
        return;
    QTcpSocket* socket = std::exchange(socket_, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
