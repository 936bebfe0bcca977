#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;
class TcpConnection;

// The TCP server's listening socket: bound to all local IPv4 addresses,
// accepting every client that arrives as a TcpConnection.
class TcpListener : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBacklog = 5;

    explicit TcpListener(QObject* parent = nullptr);
    ~TcpListener() override;

    // Binds 0.0.0.0 at `port`, runs `bound`, then listens. Returns the
    // message the user sees when a call fails, naming the call ("bind" or
    // "listen") and the system's error; empty when listening.
    QString Listen(quint16 port, const std::function<void()>& bound);
    void Close();
    bool IsListening() const { return descriptor_ >= 0; }

signals:
    // A client was accepted; the receiver takes ownership (re-parent it).
    void NewConnection(TcpConnection* connection);

private:
    void OnAcceptable();

    int descriptor_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
