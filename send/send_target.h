#pragma once

#include <QByteArray>
#include <QString>

// What the send dispatcher needs of one channel. Channels that the dispatcher
// opens by itself (serial ports, TCP client) override the open members.
class SendTarget
{
public:
    // What became of one write. A payload that did not go out (nor was
    // queued whole to go out) is neither shown nor counted as sent: a failed
    // write shows `failure` as one display line, a refused one (a user's
    // mistake, such as an oversized datagram) in a message box.
    struct WriteResult
    {
        qint64 count = 0;        // the count the send-info line and counters report
        bool broadcast = false;  // the UDP server sent to the broadcast address
        QString failure;         // empty when the payload went out or was queued
        bool refused = false;

        bool Sent() const { return failure.isEmpty(); }
        static WriteResult Failed(QString line) { return {0, false, std::move(line), false}; }
        static WriteResult Refused(QString text) { return {0, false, std::move(text), true}; }
    };

    virtual ~SendTarget() = default;

    virtual bool OpensAutomatically() const { return false; }
    virtual bool IsOpen() const { return true; }
    virtual void StartOpening() {}

    // False drops the send without any trace (TCP server with no client chosen).
    virtual bool ReadyToSend() const { return true; }

    // Appended to text-mode payloads after escape expansion (TCP server line end).
    virtual QByteArray TextLineEnd() const { return QByteArray(); }

    // Writes or queues the whole payload; never throws.
    virtual WriteResult Write(const QByteArray& payload) = 0;
};
