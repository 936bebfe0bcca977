#pragma once

#include "app/http_answer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QTcpSocket;

// A plain HTTP/1.0 retrieval of our own, as the version check makes it:
// connect (3000 ms at most), send the request lines, read the answer until
// the server closes (failing after 3000 ms without data), follow redirects
// 300, 301 and 302 at most five times. It never blocks: the outcome comes as
// one of the three signals, once per Get.
class TNMHTTP : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 3000;
    static constexpr int kMaxRedirects = 5;
    // However slowly an answer trickles in, the request ends by then.
    static constexpr int kTotalLimitMs = 30000;

    explicit TNMHTTP(QObject* parent = nullptr);
    ~TNMHTTP() override;

    // Starts the retrieval of `address`; `cmd` comes back with Success
    // (0 for a plain retrieval). A request still running is dropped first.
    void Get(const HttpAddress& address, int cmd = 0);
    bool Busy() const { return running_; }

    // The request text for `address`, with the cookie line when `cookie` is
    // not empty.
    static QByteArray RequestText(const HttpAddress& address, const QByteArray& cookie);

signals:
    // A status below 299: the body as received (possibly empty).
    void Success(int cmd, const QByteArray& body);
    // The host was not found or reached, the connection timed out or broke,
    // a redirect led nowhere or went on past five.
    void Failure(const QString& reason);
    // Any other status (303 to 399, 299, 400 and above): nothing to show.
    void Ended(int status);

private:
    void Connect();
    void Connected();
    void ReadyRead();
    void Disconnected();
    void Timeout();
    void Finish();
    void Fail(const QString& reason);
    void DropSocket();

    QTcpSocket* socket_ = nullptr;
    QTimer timer_;
    QElapsedTimer total_;
    HttpAddress address_;
    HttpAnswerParser answer_;
    QByteArray cookie_;
    int cmd_ = 0;
    int redirects_ = 0;
    bool connected_ = false;
    bool running_ = false;
    // Tells a redirect's pending connect from a later Get.
    quint64 generation_ = 0;
};
