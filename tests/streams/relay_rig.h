#pragma once

#include "core/channel_id.h"
#include "tests/serial/socat_pair.h"
#include "tests/streams/loopback_listener.h"
#include "tests/streams/stream_peer.h"

#include <QString>

#include <array>
#include <memory>

class TForm1;

// The window relaying ("转发") between two of its channels, set up through
// its controls as a user would, with an outside peer at each end: a loopback
// socket for the TCP server or client, the far end of a socat pseudo-terminal
// pair for port A or B.
class RelayRig
{
public:
    // Bytes each way and how the peers behave. Forward runs from the first
    // end's peer to the second's, backward the other way, each with its own
    // pattern.
    struct Flow
    {
        qint64 forward = 0;
        qint64 backward = 0;
        bool holdFirstReading = false;
        bool holdSecondReading = false;
        bool hashReceived = false;
    };

    // The patterns of the two directions.
    static constexpr quint64 kForwardSeed = 0xF0;
    static constexpr quint64 kBackwardSeed = 0xBA;

    // `first` and `second`: COMA, COMB, TCPS or TCPC, told apart.
    RelayRig(TForm1& form, ChannelId first, ChannelId second);
    ~RelayRig();

    // Opens both channels, connects the TCP client to its peer's listener
    // and switches the relay on. False with Failure() telling why.
    bool Open(int timeoutMs = 10000);
    // Starts both peers: the one of a TCP server end connects now.
    bool Start(const Flow& flow);

    StreamPeer& First() { return *peers_[0]; }
    StreamPeer& Second() { return *peers_[1]; }
    // Both peers have sent and received everything.
    bool Done() const;
    // Both peers are done, nothing was lost, changed or added.
    bool Intact() const;
    bool Broken() const;
    QString Failure() const { return failure_; }
    // What each peer has sent and received so far, for failure messages.
    QString Progress() const;

    // A name for a channel, as the benchmarks print it.
    static QString EndName(ChannelId channel);

private:
    struct End
    {
        ChannelId channel;
        std::unique_ptr<SocatPair> pair;          // port A or B
        std::unique_ptr<LoopbackListener> listener;  // TCP client
        int fd = -1;  // the peer's descriptor, until its peer takes it
    };

    bool OpenEnd(End& end, int timeoutMs);
    bool Fail(const QString& why);

    TForm1& form_;
    std::array<End, 2> ends_;
    std::array<std::unique_ptr<StreamPeer>, 2> peers_;
    QString failure_;
};
