#include "terminal/tnr_terminal_framing.h"

#include "io/tnr_timer.h"

#include <exception>

namespace TerminalFraming {

TnrDataPacket::TnrDataPacket() : buffer_(kDefaultLengthMax, '\0') {}

void TnrDataPacket::SetPacketLengthMax(qint32 length)
{
    length = std::max(length, kLengthMaxFloor);
    if (length == buffer_.size())
        return;
    buffer_ = QByteArray(length, '\0');
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
    if (PacketLength > 0)
        return dpsWaitLength;
    if (PacketEndByTimeout)
        return dpsWaitTimeout;
    return dpsInactive;
}

void TnrDataPacket::Reset()
{
    pos_ = 0;
    if (!PacketBegin.isEmpty()) {
        matcher_.SetPattern(PacketBegin);
        state_ = dpsWaitBegin;
    } else {
        state_ = FollowOnState();
    }
}

bool TnrDataPacket::IsPacket(unsigned char byte)
{
    if (!Active || state_ == dpsInactive)
        return false;
    if (state_ != dpsWaitBegin) {
        // A full buffer drops the byte and starts collecting anew.
        if (pos_ >= buffer_.size())
            pos_ = 0;
        else
            buffer_[pos_++] = static_cast<char>(byte);
    }
    switch (state_) {
    case dpsWaitTimeout:
        return false;
    case dpsWaitLength:
        return pos_ >= PacketLength;
    case dpsWaitBegin:
        if (!matcher_.IsEvent(byte, WildChar))
            return false;
        pos_ = std::min(PacketBegin.size(), buffer_.size());
        std::copy_n(PacketBegin.constData(), pos_, buffer_.data());
        state_ = FollowOnState();
        return state_ == dpsInactive || (state_ == dpsWaitLength && pos_ >= PacketLength);
    case dpsWaitEnd:
        return matcher_.IsEvent(byte, WildChar);
    case dpsInactive:
        break;
    }
    return false;
}

TnrDataPacket* TnrDataPackets::Add()
{
    items_.push_back(std::make_unique<TnrDataPacket>());
    return items_.back().get();
}

int TnrDataPackets::IsPacket(unsigned char byte)
{
    possible_ = false;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        TnrDataPacket& packet = *items_[static_cast<size_t>(i)];
        if (packet.IsPacket(byte)) {
            if (packet.ResetOthers)
                ResetOthers(i);
            return i;
        }
        possible_ = possible_ || packet.IsPossible();
    }
    return -1;
}

void TnrDataPackets::Reset()
{
    for (auto& packet : items_)
        packet->Reset();
    possible_ = false;
}

void TnrDataPackets::ResetOthers(int index)
{
    for (int i = 0; i < Count(); ++i)
        if (i != index)
            items_[static_cast<size_t>(i)]->Reset();
}

TnrDataProtocol::TnrDataProtocol(QObject* parent) : TnrCustomDataProcessor(parent)
{
    SetLogPrefix(QStringLiteral("nrDataProt: "));
}

void TnrDataProtocol::DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore)
{
    if (Active() && packets_.Count() > 0) {
        for (quint32 i = 0; i < Length && Active(); ++i)
            IsPacket(static_cast<unsigned char>(Buffer[i]));
    }
    TnrCustomDataProcessor::DoProcessing(Buffer, Length, ignore);
}

void TnrDataProtocol::DoHandlePacket(int index)
{
    if (index < 0)
        return;
    TnrDataPacket* packet = packets_.Item(index);
    if (Log() != nullptr)
        Logging(dlDebug, QStringLiteral("DataPacket is detected: ") + packet->DisplayName());
    if (!OnDataPacket)
        return;
    try {
        OnDataPacket(this, packet);
    } catch (const std::exception& error) {
        DoFatalErrors(15, 1,
                      QStringLiteral("EXCEPTION in DataPacket handler [") + packet->DisplayName() + QStringLiteral("]") +
                          QString::fromLocal8Bit(error.what()));
    }
}

int TnrDataProtocol::IsPacket(unsigned char byte)
{
    const int index = packets_.IsPacket(byte);
    if (index >= 0) {
        DoHandlePacket(index);
        if (Timer()->Enabled())
            ResetTimeout(0);
        packets_.Item(index)->Reset();
    }
    return index;
}

void TnrDataProtocol::DoMediumOpened()
{
    packets_.Reset();
    TnrCustomDataProcessor::DoMediumOpened();
}

void TnrDataProtocol::DoMediumClosed()
{
    TnrCustomDataProcessor::DoMediumClosed();
    packets_.Reset();
}

}  // namespace TerminalFraming
