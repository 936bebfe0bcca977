#pragma once

#include "io/tnr_base_io.h"
#include "io/tnr_custom_data_processor.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The terminal's own byte-fed packet recogniser: packet descriptions made of a
// begin marker, an end marker or a fixed length, fed one byte at a time. It has
// the shape of the framing processor the protocol engines use (same class,
// operation and field names), kept in its own namespace so both can live in
// one program until the decoders move onto the shared one.
namespace TerminalFraming {

enum TnrDataPacketState { dpsInactive, dpsWaitBegin, dpsWaitLength, dpsWaitEnd, dpsWaitTimeout };

// A fixed-string matcher; the position is 1-based, the index of the next
// pattern byte expected.
class TCommEventNew
{
public:
    void SetPattern(const QByteArray& pattern)
    {
        pattern_ = pattern;
        position_ = 1;
    }
    void Reset() { position_ = 1; }
    bool IsPossible() const { return position_ > 1; }
    // True when `byte` completes the pattern. After a mismatch only the first
    // pattern byte is tried again.
    bool IsEvent(unsigned char byte, unsigned char wild)
    {
        if (pattern_.isEmpty())
            return false;
        const auto expected = static_cast<unsigned char>(pattern_[position_ - 1]);
        if ((wild == 0 || expected != wild) && byte != expected) {
            position_ = byte == static_cast<unsigned char>(pattern_[0]) ? 2 : 1;
            return false;
        }
        if (++position_ > pattern_.size()) {
            position_ = 1;
            return true;
        }
        return false;
    }

private:
    QByteArray pattern_;
    qsizetype position_ = 1;
};

// One packet description and the bytes it has collected.
class TnrDataPacket
{
public:
    static constexpr qint32 kDefaultLengthMax = 16384;
    static constexpr qint32 kLengthMaxFloor = 512;

    TnrDataPacket();

    QString Caption;
    QByteArray PacketBegin;
    QByteArray PacketEnd;
    // Total length, begin marker included; 0 = not length-framed.
    qint32 PacketLength = 0;
    bool Active = true;
    bool ResetOthers = false;
    bool PacketEndByTimeout = false;
    unsigned char WildChar = 0;
    qint32 Tag = 0;

    qint32 PacketLengthMax() const { return static_cast<qint32>(buffer_.size()); }
    // Values below 512 store 512; a change reallocates an empty buffer.
    void SetPacketLengthMax(qint32 length);

    void Reset();
    // True when `byte` completes the packet.
    bool IsPacket(unsigned char byte);
    bool IsPossible() const { return pos_ > 0 || matcher_.IsPossible(); }
    TnrDataPacketState State() const { return state_; }
    // The collected bytes; empty when nothing is collected.
    QByteArray GetDataAsString() const { return QByteArray(buffer_.constData(), pos_); }
    QByteArrayView Data() const { return QByteArrayView(buffer_.constData(), pos_); }
    QString DisplayName() const;

private:
    TnrDataPacketState FollowOnState();

    QByteArray buffer_;
    qsizetype pos_ = 0;
    TnrDataPacketState state_ = dpsInactive;
    TCommEventNew matcher_;
};

// The ordered packet descriptions: earlier ones win when two complete on the
// same byte.
class TnrDataPackets
{
public:
    TnrDataPacket* Add();
    int Count() const { return static_cast<int>(items_.size()); }
    TnrDataPacket* Item(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
    // Index of the packet the byte completed, or -1.
    int IsPacket(unsigned char byte);
    void Reset();
    void ResetOthers(int index);
    // Some packet had bytes collected or a marker match under way after the last byte.
    bool Possible() const { return possible_; }

private:
    std::vector<std::unique_ptr<TnrDataPacket>> items_;
    bool possible_ = false;
};

// A data processor that recognises framed packets in the bytes it is fed.
class TnrDataProtocol : public TnrCustomDataProcessor
{
    Q_OBJECT

public:
    using TnrDataPacketEvent = std::function<void(TnrDataProtocol* Sender, TnrDataPacket* Packet)>;

    explicit TnrDataProtocol(QObject* parent = nullptr);

    TnrDataPackets& DataPackets() { return packets_; }
    const TnrDataPackets& DataPackets() const { return packets_; }

    // Feeds every byte of a received chunk, then passes the chunk on.
    void DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore) override;

    virtual void DoHandlePacket(int index);
    // Feeds one byte; the index of the packet it completed (reported, then reset), or -1.
    virtual int IsPacket(unsigned char byte);
    virtual void Reset() { packets_.Reset(); }
    virtual bool IsPacketPossible() const { return packets_.Possible(); }

    TnrDataPacketEvent OnDataPacket;

protected:
    void DoMediumOpened() override;
    void DoMediumClosed() override;

private:
    TnrDataPackets packets_;
};

}  // namespace TerminalFraming
