#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Helpers of the network tests that need an event loop but no window.

// Handles events until `condition` holds or `timeoutMs` passes.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
// Handles events for `ms`: the bounded quiet time of "nothing more happens".
void Settle(int ms = 200);
// A port that nothing on 127.0.0.1 uses right now.
quint16 FreePort(bool tcp);
// `size` bytes of a fixed pattern that covers every byte value.
QByteArray Pattern(qsizetype size, quint32 seed = 1);
// A display line without the time stamp the pipeline puts in front of it.
QString WithoutTimeStamp(const QString& line);

// A TCP peer on 127.0.0.1 made of plain non-blocking sockets, so that nothing
// reads for it behind the test's back (a buffered socket class reads
// whenever events are handled). Its buffers are small, so that a peer that
// does not read holds back its sender after a few hundred KiB.
class RawTcpPeer
{
public:
    static constexpr int kBufferBytes = 64 * 1024;

    RawTcpPeer() = default;
    ~RawTcpPeer();
    RawTcpPeer(const RawTcpPeer&) = delete;
    RawTcpPeer& operator=(const RawTcpPeer&) = delete;

    // Listens on a port of the system's choosing and returns it.
    quint16 Listen();
    // Takes the next connection to the listening socket, handling events
    // while it waits.
    bool Accept(int timeoutMs = 5000);
    // Connects to `port`, handling events until connected.
    bool Connect(quint16 port, int timeoutMs = 5000);
    // The local port of the connection.
    quint16 LocalPort() const;

    // One non-blocking send of what is left of `data` from `offset`: the
    // bytes taken, 0 when the kernel would block.
    qint64 SendSome(const QByteArray& data, qint64 offset);
    // Everything waiting now, without blocking.
    QByteArray ReadWaiting();
    // Handles events and reads until `size` bytes are in or `timeoutMs` passes.
    QByteArray ReadUntil(qsizetype size, int timeoutMs = 20000);
    // Closes the connection in an orderly way.
    void Close();

private:
    int listening_ = -1;
    int connection_ = -1;
};
