#pragma once

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

// A pseudo-terminal pair made by socat: bytes written to one end come out of
// the other. Killing socat hangs up both ends, as an unplugged adapter does.
class SocatPair
{
public:
    SocatPair()
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("socat"),
                       {QStringLiteral("pty,raw,echo=0,link=") + A(), QStringLiteral("pty,raw,echo=0,link=") + B()});
        const QDeadlineTimer deadline(5000);
        while (!(QFileInfo::exists(A()) && QFileInfo::exists(B())) && !deadline.hasExpired())
            QThread::msleep(10);
    }
    ~SocatPair() { Kill(); }

    bool Ready() const { return QFileInfo::exists(A()) && QFileInfo::exists(B()); }
    QString A() const { return dir_.filePath(QStringLiteral("a")); }
    QString B() const { return dir_.filePath(QStringLiteral("b")); }

    void Kill()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};
