#pragma once

#include "modbus/tnr_modbus_framing.h"
#include "modbus/tnr_modbus_lists.h"
#include "modbus/tnr_modbus_packet.h"
#include "protocol/tnr_data_protocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

// A Modbus master on a serial line, attached to the port as its data
// processor. It builds the requests of the eight common functions in RTU or
// ASCII framing, keeps a queue of which only the head is on the wire, finds
// the reply to the head in the received bytes by its content (address,
// function, then the length the function implies), checks and decodes it and
// raises OnModbusReply. Poll requests go back to the end of the queue after
// each answer. A slave's exception reply is a reply (OnModbusReply with
// IsException); a wrong check, a wrong slave or silence are transport faults
// (no reply event; silence raises OnTimeout).
//
// Pauses (DelayPoll, DelayWrite) are waited on a timer rather than by
// blocking, in the same order and with the same lengths, so the window keeps
// answering.
class TnrModbus : public TnrDataProtocol
{
    Q_OBJECT

public:
    using TnrModbusEvent = std::function<void(TnrModbus* Sender, const TnrModbusPacket& Reply,
                                              const TnrModbusRegisterList& Registers, const TnrModbusCoilList& Coils)>;
    using TnrModbusDeviceStateEvent = std::function<void(TnrModbus* Sender, quint8 id, bool connected)>;

    explicit TnrModbus(QObject* parent = nullptr);
    ~TnrModbus() override;

    quint8 Address() const { return address_; }
    void SetAddress(quint8 address) { address_ = address; }
    bool ASCII() const { return ascii_; }
    void SetASCII(bool ascii);
    // Becoming active sends a request that waited at the head of the queue.
    void SetActive(bool active) override;
    qint32 DelayPoll() const { return delayPoll_; }
    void SetDelayPoll(qint32 ms) { delayPoll_ = ms; }
    qint32 DelayWrite() const { return delayWrite_; }
    void SetDelayWrite(qint32 ms) { delayWrite_ = ms; }
    bool IgnoreRepeatFunc() const { return ignoreRepeatFunc_; }
    void SetIgnoreRepeatFunc(bool ignore) { ignoreRepeatFunc_ = ignore; }
    // Good replies in the last completed one-second window.
    int RepliesPerSecond() const { return repliesPerSecond_; }

    // Requests. Each throws std::runtime_error("Modbus is not Active") while
    // inactive; the forms without an address use Address().
    void ReadCoils(quint16 start, quint16 count, quint8 address, bool poll);
    void ReadCoils(quint16 start, quint16 count, bool poll) { ReadCoils(start, count, address_, poll); }
    void ReadInputs(quint16 start, quint16 count, quint8 address, bool poll);
    void ReadInputs(quint16 start, quint16 count, bool poll) { ReadInputs(start, count, address_, poll); }
    void ReadRegisters(quint16 start, quint16 count, quint8 address, bool poll);
    void ReadRegisters(quint16 start, quint16 count, bool poll) { ReadRegisters(start, count, address_, poll); }
    void ReadInputRegisters(quint16 start, quint16 count, quint8 address, bool poll);
    void ReadInputRegisters(quint16 start, quint16 count, bool poll)
    {
        ReadInputRegisters(start, count, address_, poll);
    }
    void WriteCoil(quint16 coil, bool value, quint8 address);
    void WriteCoil(quint16 coil, bool value) { WriteCoil(coil, value, address_); }
    void WriteRegister(quint16 reg, quint16 value, quint8 address);
    void WriteRegister(quint16 reg, quint16 value) { WriteRegister(reg, value, address_); }
    // Throws "Modbus data length too long" when the frame cannot hold the bits.
    void WriteCoils(quint16 start, const bool* values, int count, quint8 address);
    void WriteCoils(quint16 start, const bool* values, int count) { WriteCoils(start, values, count, address_); }
    // At most 127 values, else "Modbus data length too long".
    void WriteRegisters(quint16 start, const quint16* values, int count, quint8 address);
    void WriteRegisters(quint16 start, const quint16* values, int count)
    {
        WriteRegisters(start, values, count, address_);
    }

    // Ends polling: the request on the wire is still answered or timed out.
    void StopPolling();
    // Drops every queued request.
    void StackRequestClear();
    // The request on the wire (or waiting for its turn after a pause), or null.
    const TnrModbusPacket* GetCurrentRequest() const;
    int RequestCount() const;
    // A request is on the wire and its reply or time-out is awaited.
    bool RequestOutstanding() const { return onWire_; }
    bool IsConnectedDevice(quint8 address) const;

    virtual void InitPackets();
    // Creates the reply recognisers of a slave address unless they exist.
    virtual void InitPacketsByAddress(quint8 address);
    virtual void HandleModbusException(const TnrModbusPacket& reply);
    void Reset() override;
    qsizetype DecodeEscSequence(quint8 byte, const char*& decoded) override;

    TnrModbusEvent OnModbusReply;
    TnrModbusDeviceStateEvent OnDeviceState;

    static constexpr int kAsciiAreaSize = 1024;
    // ':' + the hex of a full decode area + CR LF; a longer frame is dropped.
    static constexpr int kAsciiFrameMax = 1 + 2 * (kAsciiAreaSize - 1) + 2;

protected:
    void DoHandlePacket(int index) override;
    void DoTimeoutError() override;
    void DoMediumClosed() override;

private:
    enum AfterPause { paAdvance, paSendHead };

    const TnrModbusFraming& Framing() const { return ascii_ ? kModbusAscii : kModbusRtu; }
    std::unique_ptr<TnrModbusPacket> NewRequest(quint8 address, quint8 function, quint16 first, quint16 second,
                                               int length);
    void PushRead(quint8 function, const char* name, quint16 start, quint16 count, quint8 address, bool poll);
    void CheckActive() const;
    void PushRequest(std::unique_ptr<TnrModbusPacket> request);
    void SendRequest(TnrModbusPacket& request);
    void SendHead();
    void PopNextRequest();
    void StartPause(qint32 ms, AfterPause then);
    void PauseEnded();
    void HandlePacketLength(TnrDataPacket* packet, quint8 byte, bool& handled);
    void CountReply();
    void DecodeReply(quint16 headStart, quint16 headCount, bool haveHead);
    void AddConnected(quint8 address);
    void RemoveConnected(quint8 address);
    void RemoveAllConnected();

    quint8 address_ = 10;
    bool ascii_ = false;
    qint32 delayPoll_ = 0;
    qint32 delayWrite_ = 0;
    bool ignoreRepeatFunc_ = false;

    mutable QMutex lock_;
    std::deque<std::unique_ptr<TnrModbusPacket>> queue_;
    TnrModbusPacket reply_;
    TnrModbusRegisterList registers_;
    TnrModbusCoilList coils_;
    std::vector<quint8> connected_;
    bool onWire_ = false;
    bool pausing_ = false;
    AfterPause afterPause_ = paAdvance;
    QTimer pollTimer_;
    QByteArray wire_;

    TnrDataPacket asciiFrame_;
    char asciiArea_[kAsciiAreaSize] = {};

    QElapsedTimer clock_;
    int repliesInWindow_ = 0;
    int repliesPerSecond_ = 0;
    qint64 windowEnd_ = -1;
};
