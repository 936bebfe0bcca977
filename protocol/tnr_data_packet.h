#pragma once

#include "protocol/tcomm_event_new.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <vector>

class TnrDataPackets;

enum TnrDataPacketState { dpsInactive, dpsWaitBegin, dpsWaitLength, dpsWaitEnd, dpsWaitTimeout };

// One kind of framed message, described by a begin marker, an end marker, a
// fixed length, a length callback or the end of an idle time, and the
// recogniser that collects it from a byte stream. The description fields are
// plain members; a change takes effect at the next Reset.
class TnrDataPacket
{
public:
    // Called byte by byte while the length is not known yet, starting with the
    // first byte after the begin marker; it sets PacketLength and IsHandled
    // once it knows the length.
    using TnrDataPacketLengthEvent = std::function<void(TnrDataPacket* Packet, quint8 chData, bool& IsHandled)>;

    static constexpr int kPacketLengthMaxDefault = 16384;
    static constexpr int kPacketLengthMaxMinimum = 512;

    // `lengthMax` as for SetPacketLengthMax, without a first buffer of the default size.
    explicit TnrDataPacket(TnrDataPackets* collection = nullptr, int lengthMax = kPacketLengthMaxDefault);
    TnrDataPacket(const TnrDataPacket&) = delete;
    TnrDataPacket& operator=(const TnrDataPacket&) = delete;

    // Copies the description (not the collected bytes) and resets.
    void Assign(const TnrDataPacket& other);

    QString Caption;
    QByteArray PacketBegin;
    QByteArray PacketEnd;
    // Total length, begin marker included; 0 = not length-framed.
    qint32 PacketLength = 0;
    // An inactive packet ignores every byte.
    bool Active = true;
    // When this packet completes, every other packet of the collection is reset.
    bool ResetOthers = false;
    // Ended by the owning processor's idle timer.
    bool PacketEndByTimeout = false;
    TnrDataPacketLengthEvent OnPacketLength;
    // A marker byte equal to WildChar matches any byte; 0 = none.
    quint8 WildChar = 0;
    // Free for the owning processor.
    qint32 Tag = 0;

    int PacketLengthMax() const { return static_cast<int>(buffer_.size()); }
    // Capacity of the buffer, at least 512; a change drops what was collected.
    void SetPacketLengthMax(int length);

    // The caption, or the default name when it is blank.
    QString DisplayName() const;
    TnrDataPackets* Collection() const { return collection_; }

    void Reset();
    // Feeds one byte; true when it completes the packet.
    bool IsPacket(quint8 byte);
    // Bytes are collected or a marker match is under way.
    bool IsPossible() const { return pos_ > 0 || matcher_.IsPossible(); }
    // For a timeout-ended packet: prepares the data and tells whether there is any.
    bool IsTimeoutHandle();

    // The collected bytes (empty when nothing is collected).
    QByteArray GetDataAsString() const { return QByteArray(buffer_.data(), pos_); }
    QByteArrayView Data() const { return QByteArrayView(buffer_.data(), pos_); }
    int Pos() const { return pos_; }
    TnrDataPacketState State() const { return state_; }

private:
    friend class TnrDataPackets;
    TnrDataPacketState FollowOnState();
    void PrepareData();

    TnrDataPackets* collection_;
    std::vector<char> buffer_;
    int pos_ = 0;
    TnrDataPacketState state_ = dpsInactive;
    TnrDataPacketLengthEvent armedLength_;
    TCommEventNew matcher_;
};
