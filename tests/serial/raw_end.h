#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The test's own end of a socat pair, opened raw and non-blocking.
class RawEnd
{
public:
    explicit RawEnd(const QString& path)
    {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios tio{};
            ::tcgetattr(fd_, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~RawEnd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool IsOpen() const { return fd_ >= 0; }

    // Writes everything, waiting while the pair is full; false on error or timeout.
    bool WriteAll(const QByteArray& data, int timeoutMs = 5000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        qsizetype done = 0;
        while (done < data.size() && !deadline.hasExpired()) {
            const ssize_t n = ::write(fd_, data.constData() + done, static_cast<size_t>(data.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            pollfd entry{fd_, POLLOUT, 0};
            ::poll(&entry, 1, 20);
        }
        return done == data.size();
    }

    // Writes what the pair takes now; returns the count (0 when full).
    qsizetype WriteSome(QByteArrayView data)
    {
        const ssize_t n = ::write(fd_, data.data(), static_cast<size_t>(data.size()));
        return n > 0 ? n : 0;
    }

    // Reads until `count` bytes arrived or the time is up.
    QByteArray ReadExactly(qsizetype count, int timeoutMs = 5000)
    {
        QByteArray data;
        const QDeadlineTimer deadline(timeoutMs);
        char buffer[4096];
        while (data.size() < count && !deadline.hasExpired()) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                data.append(buffer, n);
        }
        return data;
    }

private:
    int fd_ = -1;
};
