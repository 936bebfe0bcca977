#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// A pair of pseudo-terminals joined by socat, as a null-modem cable between
// two serial ports. Ends "a" and "b" are links in a temporary folder.
class Rs232PtyPair
{
public:
    Rs232PtyPair()
    {
        socat_.setProgram(QStringLiteral("socat"));
        socat_.setArguments({QStringLiteral("-d"), QStringLiteral("-d"),
                             QStringLiteral("pty,raw,echo=0,link=") + PortPath(),
                             QStringLiteral("pty,raw,echo=0,link=") + PeerPath()});
        socat_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        socat_.start();
        if (!socat_.waitForStarted(5000))
            return;
        // socat makes the links once both pseudo-terminals exist.
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && !(QFileInfo::exists(PortPath()) && QFileInfo::exists(PeerPath())))
            QThread::msleep(10);
        ready_ = QFileInfo::exists(PortPath()) && QFileInfo::exists(PeerPath());
    }

    ~Rs232PtyPair() { Kill(); }

    Rs232PtyPair(const Rs232PtyPair&) = delete;
    Rs232PtyPair& operator=(const Rs232PtyPair&) = delete;

    bool Ready() const { return ready_; }
    QString PortPath() const { return dir_.filePath(QStringLiteral("a")); }
    QString PeerPath() const { return dir_.filePath(QStringLiteral("b")); }
    QString FolderPath() const { return dir_.path(); }

    // Ends socat: both ends hang up, as an unplugged adapter does.
    void Kill()
    {
        if (socat_.state() == QProcess::NotRunning)
            return;
        socat_.kill();
        socat_.waitForFinished(5000);
    }

private:
    QTemporaryDir dir_;
    QProcess socat_;
    bool ready_ = false;
};

// The far end of a pair, opened directly: writes bytes and collects what arrives.
class Rs232PeerEnd
{
public:
    explicit Rs232PeerEnd(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~Rs232PeerEnd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Rs232PeerEnd(const Rs232PeerEnd&) = delete;
    Rs232PeerEnd& operator=(const Rs232PeerEnd&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Writes all of `data` within five seconds.
    bool Write(const QByteArray& data)
    {
        qsizetype done = 0;
        const QDeadlineTimer deadline(5000);
        while (done < data.size() && !deadline.hasExpired()) {
            const ssize_t n = ::write(fd_, data.constData() + done, data.size() - done);
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 50);
            }
        }
        return done == data.size();
    }

    // Reads until `count` bytes are in or `timeoutMs` passes; returns what came.
    QByteArray Read(qsizetype count, int timeoutMs)
    {
        QByteArray data;
        const QDeadlineTimer deadline(timeoutMs);
        char buffer[65536];
        while (data.size() < count && !deadline.hasExpired()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                data.append(buffer, n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
        return data;
    }

private:
    int fd_;
};
