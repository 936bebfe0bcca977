#include "protocol/tnr_data_packet.h"

#include <algorithm>
#include <cstring>

TnrDataPacket::TnrDataPacket(TnrDataPackets* collection, int lengthMax)
    : collection_(collection), buffer_(static_cast<size_t>(std::max(lengthMax, kPacketLengthMaxMinimum)), '\0')
{
    Reset();
}

void TnrDataPacket::Assign(const TnrDataPacket& other)
{
    Caption = other.Caption;
    PacketBegin = other.PacketBegin;
    PacketEnd = other.PacketEnd;
    PacketLength = other.PacketLength;
    Active = other.Active;
    ResetOthers = other.ResetOthers;
    PacketEndByTimeout = other.PacketEndByTimeout;
    OnPacketLength = other.OnPacketLength;
    WildChar = other.WildChar;
    Tag = other.Tag;
    SetPacketLengthMax(other.PacketLengthMax());
    Reset();
}

void TnrDataPacket::SetPacketLengthMax(int length)
{
    length = std::max(length, kPacketLengthMaxMinimum);
    if (length == PacketLengthMax())
        return;
    buffer_.assign(static_cast<size_t>(length), '\0');
    pos_ = 0;
}

QString TnrDataPacket::DisplayName() const
{
    return Caption.trimmed().isEmpty() ? QStringLiteral("TnrDataPacket") : Caption;
}

TnrDataPacketState TnrDataPacket::FollowOnState()
{
    if (!PacketEnd.isEmpty()) {
        matcher_.SetPattern(PacketEnd);
        return dpsWaitEnd;
    }
    if (PacketLength > 0 || armedLength_)
        return dpsWaitLength;
    if (PacketEndByTimeout)
        return dpsWaitTimeout;
    return dpsInactive;
}

void TnrDataPacket::Reset()
{
    pos_ = 0;
    armedLength_ = OnPacketLength;
    if (!PacketBegin.isEmpty()) {
        matcher_.SetPattern(PacketBegin);
        state_ = dpsWaitBegin;
    } else {
        matcher_.SetPattern(QByteArray());
        state_ = FollowOnState();
    }
}

bool TnrDataPacket::IsPacket(quint8 byte)
{
    if (!Active || state_ == dpsInactive)
        return false;
    if (state_ != dpsWaitBegin) {
        if (pos_ >= PacketLengthMax()) {
            // Nothing this long can be the packet: drop what was collected
            // and look for the next one from this byte on, as if the stream
            // had just started. After the reset pos is 0, so this recurses once.
            Reset();
            return IsPacket(byte);
        }
        buffer_[static_cast<size_t>(pos_++)] = static_cast<char>(byte);
    }

    bool complete = false;
    switch (state_) {
    case dpsWaitTimeout:
        return false;
    case dpsWaitLength: {
        bool handled = true;
        if (armedLength_) {
            handled = false;
            // The callback may replace OnPacketLength; call a copy.
            const TnrDataPacketLengthEvent callback = armedLength_;
            callback(this, byte, handled);
            if (handled)
                armedLength_ = nullptr;
        }
        complete = handled && pos_ >= PacketLength;
        break;
    }
    case dpsWaitBegin:
        if (matcher_.IsEvent(byte, WildChar)) {
            // The marker's text stands for the received bytes.
            pos_ = static_cast<int>(std::min<qsizetype>(PacketBegin.size(), PacketLengthMax()));
            std::memcpy(buffer_.data(), PacketBegin.constData(), static_cast<size_t>(pos_));
            state_ = FollowOnState();
            complete = state_ == dpsInactive ||
                       (state_ == dpsWaitLength && PacketLength > 0 && pos_ >= PacketLength);
        }
        break;
    case dpsWaitEnd:
        complete = matcher_.IsEvent(byte, WildChar);
        break;
    case dpsInactive:
        break;
    }
    if (complete)
        PrepareData();
    return complete;
}

void TnrDataPacket::PrepareData()
{
    if (PacketBegin.isEmpty() && !(PacketEnd.isEmpty() && PacketLength > 0) && PacketLength > 0 &&
        PacketLength < pos_) {
        std::memmove(buffer_.data(), buffer_.data() + (pos_ - PacketLength), static_cast<size_t>(PacketLength));
        pos_ = PacketLength;
    }
}

bool TnrDataPacket::IsTimeoutHandle()
{
    if (!PacketEndByTimeout || !Active)
        return false;
    PrepareData();
    return pos_ > 0;
}
