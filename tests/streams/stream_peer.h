#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// One outside end of a stream through the program: a loopback socket or a
// pseudo-terminal. One thread writes `sendBytes` of one pattern while another
// reads `receiveBytes` and compares them with a second pattern as they come.
// Reading can be held back, to face the program with a receiver that does
// not read. Every wait is bounded: the threads look at their stop flag at
// least every 100 ms.
class StreamPeer
{
public:
    struct Plan
    {
        qint64 sendBytes = 0;
        quint64 sendSeed = 1;
        qint64 receiveBytes = 0;
        quint64 receiveSeed = 1;
        bool holdReading = false;
        // SHA-256 of the received bytes, to compare with the sender's.
        bool hashReceived = false;
    };

    // Takes `fd` (a connected socket or an open terminal) and starts at once.
    StreamPeer(int fd, const Plan& plan);
    ~StreamPeer();
    StreamPeer(const StreamPeer&) = delete;
    StreamPeer& operator=(const StreamPeer&) = delete;

    // Opens a pseudo-terminal end raw, for reading and writing; -1 on failure.
    static int OpenTerminal(const QString& path);

    void ReleaseReading();

    qint64 Sent() const { return sent_; }
    qint64 Received() const { return received_; }
    bool SendDone() const { return sendDone_; }
    bool ReceiveDone() const { return receiveDone_; }
    // Every byte received so far was the expected one, and none came too many.
    bool Intact() const { return intact_; }
    // The descriptor failed or was hung up: the stream cannot finish.
    bool Broken() const { return broken_; }
    QString Failure() const;

    // SHA-256 of the received bytes, once all have come.
    QByteArray ReceivedDigest() const;

private:
    void Send();
    void Receive();
    // Waits up to 100 ms for `events` on the descriptor.
    void Wait(short events) const;
    void Fail(const char* what, int error);

    int fd_;
    Plan plan_;
    bool socket_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> reading_;
    std::atomic<qint64> sent_{0};
    std::atomic<qint64> received_{0};
    std::atomic<bool> sendDone_;
    std::atomic<bool> receiveDone_;
    std::atomic<bool> intact_{true};
    std::atomic<bool> broken_{false};
    mutable std::mutex mutex_;
    QString failure_;
    QByteArray receivedDigest_;
    std::thread sender_;
    std::thread receiver_;
};
