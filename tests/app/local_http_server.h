#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// An HTTP server on 127.0.0.1 for the version check: it records each request
// (up to its empty line) and answers it with what the test's responder gives
// for it, then closes. An empty answer from the responder means "never
// answer": the connection stays open and silent; an answer that begins with
// kKeepOpen is sent (without that mark) and the connection left open.
class LocalHttpServer : public QObject
{
public:
    using Responder = std::function<QByteArray(const QByteArray& request, int index)>;
    static inline const QByteArray kKeepOpen = "<keep open>";

    explicit LocalHttpServer(Responder responder) : responder_(std::move(responder))
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            }
        });
    }

    quint16 Port() const { return server_.serverPort(); }
    QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(Port()); }
    const QList<QByteArray>& Requests() const { return requests_; }

    // A fixed answer for every request.
    static Responder Always(QByteArray answer)
    {
        return [answer](const QByteArray&, int) { return answer; };
    }

private:
    void Read(QTcpSocket* socket)
    {
        QByteArray& pending = pending_[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray request = pending.first(end + 4);
        pending_.remove(socket);
        requests_.append(request);
        const QByteArray answer = responder_(request, int(requests_.size()) - 1);
        if (answer.isEmpty())
            return;
        if (answer.startsWith(kKeepOpen)) {
            socket->write(answer.sliced(kKeepOpen.size()));
            return;
        }
        socket->write(answer);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    Responder responder_;
    QList<QByteArray> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
};
