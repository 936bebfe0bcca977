#pragma once

#include <QByteArray>

// What the send dispatcher needs of one channel. Channels that the dispatcher
// opens by itself (serial ports, TCP client) override the open members.
class SendTarget
{
public:
    struct WriteResult
    {
        qint64 count = 0;        // the count the send-info line and counters report
        bool broadcast = false;  // the UDP server sent to the broadcast address
    };

    virtual ~SendTarget() = default;

    virtual bool OpensAutomatically() const { return false; }
    virtual bool IsOpen() const { return true; }
    virtual void StartOpening() {}

    // False drops the send without any trace (TCP server with no client chosen).
    virtual bool ReadyToSend() const { return true; }

    // Appended to text-mode payloads after escape expansion (TCP server line end).
    virtual QByteArray TextLineEnd() const { return QByteArray(); }

    // Writes the whole payload. May throw; the event loop reports the error.
    virtual WriteResult Write(const QByteArray& payload) = 0;
};
