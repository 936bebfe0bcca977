#pragma once

#include "io/tnr_base_io.h"
#include "io/tnr_custom_data_processor.h"
#include "protocol/tnr_data_packet.h"
#include "protocol/tnr_data_packets.h"

#include <functional>

// A data processor that cuts the received byte stream into the packets its
// collection describes: every byte (after DecodeEscSequence) is offered to
// the packets in order, the first one that completes is reported through
// OnDataPacket, and an idle timer, restarted by every received chunk, ends
// timeout-framed packets or reports OnTimeout. Inactive until Active is set.
class TnrDataProtocol : public TnrCustomDataProcessor
{
    Q_OBJECT

public:
    using TnrDataPacketEvent = std::function<void(TnrDataProtocol* Sender, TnrDataPacket* Packet)>;
    using TNotifyEvent = std::function<void(TnrDataProtocol* Sender)>;

    explicit TnrDataProtocol(QObject* parent = nullptr);

    TnrDataPackets& DataPackets() { return packets_; }
    const TnrDataPackets& DataPackets() const { return packets_; }
    // Copies the descriptions of `packets`.
    void SetDataPackets(const TnrDataPackets& packets) { packets_.Assign(packets); }

    // Idle time in milliseconds after the last received chunk; 0 = no idle timer.
    quint32 Timeout() const { return timeout_; }
    void SetTimeout(quint32 ms) { timeout_ = ms; }

    void DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore) override;

    // Feeds one decoded byte; the index of the packet it completed (already
    // reported and reset), or -1.
    virtual int IsPacket(quint8 byte);
    // Turns one received byte into the bytes the packets see; `decoded`
    // points at them, valid until the next call. The base passes the byte on.
    virtual qsizetype DecodeEscSequence(quint8 byte, const char*& decoded);
    virtual void Reset() { packets_.Reset(); }
    virtual bool IsPacketPossible() const { return packets_.IsPossible(); }

    TnrDataPacketEvent OnDataPacket;
    TNotifyEvent OnTimeout;

protected:
    // Reports a completed packet; a throwing handler becomes fatal error 15.
    virtual void DoHandlePacket(int index);
    // The idle timer ran out with no timeout-ended packet.
    virtual void DoTimeoutError();
    void DoAsyncTimeout() override;
    void DoMediumOpened() override;
    void DoMediumClosed() override;

private:
    TnrDataPackets packets_;
    quint32 timeout_ = 0;
    char decodeBuffer_[4] = {};
};

// The ready-to-use protocol: active from creation.
class TnrDataProcessor : public TnrDataProtocol
{
    Q_OBJECT

public:
    explicit TnrDataProcessor(QObject* parent = nullptr);
};
