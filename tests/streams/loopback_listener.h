#pragma once

#include <QtGlobal>

// A listening TCP socket on 127.0.0.1 at a port the system picks, for the
// program to connect to; and the other way round, a connection to a port of
// the program's.
class LoopbackListener
{
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    quint16 Port() const { return port_; }
    // The next connection that came in, or -1 when none waits; never blocks.
    int TakeConnection();

    // A connected socket to 127.0.0.1 at `port`; -1 when it was refused.
    static int Connect(quint16 port);
    // A TCP port that nothing on 127.0.0.1 uses right now.
    static quint16 FreePort();

private:
    quint16 port_ = 0;
    int fd_;  // after port_, which its initialisation sets
};
