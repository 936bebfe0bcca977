#pragma once

#include "net/datagram_reader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>

#include <deque>

class QSocketNotifier;

// One non-blocking TCP connection driven by readiness notifications on the
// thread that owns it: an accepted client of the TCP server or the TCP
// client's connection. Unlike a buffered socket class it tells a reset by the
// peer apart from an orderly close, and it leaves reading to its owner (how
// many bytes wait, then one read of them), as the channel pages need.
//
// Bytes that the network cannot take at once are queued and sent in order as
// the connection drains; nothing written is dropped while it stays up.
class TcpConnection : public QObject
{
    Q_OBJECT

public:
    // Which operation an error report concerns.
    enum ErrorEvent : int {
        kGeneral = 0,
        kSend = 1,
        kReceive = 2,
        kConnect = 3,
        kDisconnect = 4,
        kAccept = 5,
        kLookup = 6,
    };

    // A connection that is not yet connected; see ConnectTo.
    explicit TcpConnection(QObject* parent = nullptr);
    // Adopts a connected, non-blocking descriptor (an accepted client).
    TcpConnection(int descriptor, QObject* parent);
    ~TcpConnection() override;

    // Starts connecting. The outcome arrives later, as Connected() or as
    // ErrorOccurred(kConnect, ...), never inside this call.
    void ConnectTo(const QHostAddress& address, quint16 port);

    // Connected and neither closed nor broken by a reset.
    bool IsConnected() const { return state_ == State::kConnected; }
    // The peer reset the connection: it is of no further use, but stays open
    // until its owner closes it or a write fails on it.
    bool IsBroken() const { return state_ == State::kBroken; }

    // Largest delivery: the largest UDP payload over IPv4, so that whatever
    // the relay forwards from a TCP channel to a UDP channel fits one
    // datagram. What waits beyond it goes with the next notification; a peer
    // that outruns the display thus hands over pieces that each take
    // milliseconds to show, and the window keeps repainting and answering
    // clicks in between instead of freezing on megabyte lumps.
    static constexpr qint64 kMaxChunk = kMaxUdpPayload;

    // Bytes that one Read takes now: what is waiting, at most kMaxChunk.
    qint64 BytesAvailable() const;
    // One receive of at most `count` bytes. A failed receive reports
    // ErrorOccurred(kReceive) and then closes the connection (Disconnected()).
    QByteArray Read(qint64 count);
    // Sends or queues all of `data` and returns its size. A send that fails
    // returns -1 and keeps the system's error number in WriteError(), so the
    // caller can tell the user why; the connection is then closed from the
    // event loop, which reports Disconnected(). A write on a connection that
    // is not connected returns -1 at once (ENOTCONN).
    qint64 Write(QByteArrayView data);
    int WriteError() const { return writeError_; }
    // Bytes accepted by Write that the network has not taken yet. Queued
    // bytes that fail to go out later report ErrorOccurred(kSend).
    qint64 QueuedBytes() const { return queuedBytes_; }

    // Stops or resumes reading: while paused the connection reads nothing, so
    // the kernel's receive buffer fills and TCP's own flow control holds the
    // peer back. On resume what arrived meanwhile is read in order, and a
    // close by the peer meanwhile is reported after it.
    void SetReadPaused(bool paused);
    bool ReadPaused() const { return readPaused_; }

    // Closes at once, dropping queued bytes, without any signal.
    void Abort();

    QHostAddress PeerAddress() const { return peerAddress_; }
    quint16 PeerPort() const { return peerPort_; }
    quint16 LocalPort() const { return localPort_; }
    int Descriptor() const { return descriptor_; }

signals:
    void Connected();
    // Bytes are waiting. Further notifications wait until the handler returns,
    // so chunks of one connection are always handled in arrival order.
    void ReadyRead();
    // Queued bytes went out; QueuedBytes() is smaller by `count`.
    void BytesWritten(qint64 count);
    // The peer closed the connection, or it was closed after a failed call.
    void Disconnected();
    // `code` is the error number. After kConnect the attempt is over; after
    // kDisconnect (a reset) the connection is broken; after kSend and
    // kReceive Disconnected() follows at once.
    void ErrorOccurred(int event, int code);

private:
    // kFailing: a write failed; the close follows from the event loop.
    enum class State { kIdle, kConnecting, kConnected, kBroken, kFailing, kClosed };

    void Attach(int descriptor);
    void TakeAddresses();
    void OnReadable();
    void OnWritable();
    // The read notifier is on while connected, not paused and not inside a
    // ReadyRead handler.
    void UpdateReadNotifier();
    void Flush();
    // Reports a failed call, then closes the connection.
    void FailCall(ErrorEvent event, int code);
    // Keeps a failed write's error and closes from the event loop.
    void FailWrite(int error);
    // Reports an error later, from the event loop.
    void PostError(ErrorEvent event, int code);
    void CloseAndNotify();
    void CloseDescriptor();

    State state_ = State::kIdle;
    int descriptor_ = -1;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    std::deque<QByteArray> queue_;
    qsizetype frontOffset_ = 0;  // bytes of queue_.front() already sent
    qint64 queuedBytes_ = 0;
    int writeError_ = 0;
    bool readPaused_ = false;
    bool inReadyRead_ = false;
    QHostAddress peerAddress_;
    quint16 peerPort_ = 0;
    quint16 localPort_ = 0;
};
