#include "terminal/tnr_ansi.h"

#include <bit>
#include <limits>

namespace {

struct Description
{
    const char* begin;
    const char* end;  // null for length-framed descriptions
    int length;
    TnrAnsiCommands command;
};

constexpr char kEsc = '\x1b';

const Description kDescriptions[] = {
    {"\033[?", "h", 0, acSetModePrivate},
    {"\033[?", "l", 0, acResetModePrivate},
    {"\033[", "h", 0, acSetMode},
    {"\033[", "l", 0, acResetMode},
    {"\033[", "m", 0, acSetAttributeMode},
    {"\033[", "H", 0, acCursorHome2},
    {"\033[", "A", 0, acCursorUp},
    {"\033[", "B", 0, acCursorDown},
    {"\033[", "C", 0, acCursorForward},
    {"\033[", "D", 0, acCursorBackward},
    {"\033[", "d", 0, acCursorLine},
    {"\033[", "G", 0, acCursorColumn},
    {"\033[", "f", 0, acCursorHome},
    {"\033[s", nullptr, 3, acSaveCursor},
    {"\033[u", nullptr, 3, acUnsaveCursor},
    {"\0337", nullptr, 2, acSaveCursorAndAttrs},
    {"\0338", nullptr, 2, acRestoreCursorAndAttrs},
    {"\033=", nullptr, 2, acKeyModeApp},
    {"\033>", nullptr, 2, acKeyModeNormal},
    {"\033E", nullptr, 2, acNewLine},
    {"\033[", "r", 0, acSetScrollRegion},
    {"\033D", nullptr, 2, acScrollDown},
    {"\033M", nullptr, 2, acScrollUp},
    {"\033H", nullptr, 2, acSetTab},
    {"\033[", "g", 0, acClearTab},
    {"\033[", "K", 0, acEraseLine},
    {"\033[", "J", 0, acEraseLines},
    {"\033[", "X", 0, acEraseChars},
    {"\033[", "M", 0, acDeleteLine},
    {"\033[", "L", 0, acInsertLine},
    {"\033[c", nullptr, 3, acQueryDeviceCode},
    {"\033[", "0c", 0, acReportDeviceCode},
    {"\033[5n", nullptr, 4, acQueryDeviceStatus},
    {"\033[0n", nullptr, 4, acReportDeviceOK},
    {"\033[3n", nullptr, 4, acReportDeviceFailure},
    {"\033[6n", nullptr, 4, acQueryCursorPosition},
    {"\033[", "R", 0, acReportCursorPosition},
    {"\033c", nullptr, 2, acResetDevice},
    {"\033%@", nullptr, 3, acSetDefaultCharSet},
    {"\033%G", nullptr, 3, acSetUTF8CharSet},
    {"\033(", nullptr, 3, acFontSetG0},
    {"\033)", nullptr, 3, acFontSetG1},
    {"\033*", nullptr, 3, acFontSetG2},
    {"\033+", nullptr, 3, acFontSetG3},
    {"\033[", "i", 0, acPrint},
    {"\033[", "p", 0, acSetKeyDefinition},
    {"\033]", "\a", 0, acVTWindow},
    {"\033[", "q", 0, acLEDs},
};

// A decimal number, saturated; 0 for anything else, the empty text included.
int DecimalValue(QByteArrayView text)
{
    if (text.isEmpty())
        return 0;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = std::min<qint64>(value * 10 + (c - '0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(value);
}

}  // namespace

TnrAnsi::TnrAnsi(QObject* parent) : TnrDataProtocol(parent)
{
    SetLogPrefix(QStringLiteral("nrAnsi: "));
    SetActive(true);
    // Kept for the record; nothing starts the timer, the terminal feeds the
    // recogniser byte by byte.
    SetTimeout(5000);
    for (const Description& description : kDescriptions) {
        TnrDataPacket* packet = DataPackets().Add();
        packet->Caption = QStringLiteral("ANSI cmd");
        packet->PacketBegin = QByteArray(description.begin);
        if (description.end != nullptr)
            packet->PacketEnd = QByteArray(description.end);
        packet->PacketLength = description.length;
        packet->Active = true;
        packet->ResetOthers = true;
        packet->Tag = description.command;
        // Every begin marker is ESC and at least one more byte, which the
        // lanes' first two steps rely on.
        const int i = DataPackets().Count() - 1;
        firstByteLanes_[static_cast<unsigned char>(packet->PacketBegin[0])] |= quint64(1) << i;
        secondByteLanes_[static_cast<unsigned char>(packet->PacketBegin[1])] |= quint64(1) << i;
        if (packet->PacketEnd.size() == 1)
            endByteLanes_[static_cast<unsigned char>(packet->PacketEnd[0])] |= quint64(1) << i;
        Lane lane;
        lane.packet = packet;
        lane.end1 = packet->PacketEnd.size() == 1;
        if (lane.end1 && packet->PacketBegin.size() == 2)
            shortBeginOneByteEnd_ |= quint64(1) << i;
        lanes_.push_back(lane);
    }
    Reset();
}

void TnrAnsi::Classify(int i)
{
    const quint64 bit = quint64(1) << i;
    idle_ &= ~bit;
    begin2_ &= ~bit;
    endWaiting_ &= ~bit;
    busy_ &= ~bit;
    const Lane& lane = lanes_[static_cast<size_t>(i)];
    if (lane.state == dpsWaitBegin && lane.match == 1)
        idle_ |= bit;
    else if (lane.state == dpsWaitBegin && lane.match == 2)
        begin2_ |= bit;
    else if (lane.state == dpsWaitEnd && lane.end1)
        endWaiting_ |= bit;
    else
        busy_ |= bit;
}

bool TnrAnsi::Match(int& position, const QByteArray& pattern, unsigned char byte)
{
    // TCommEventNew without a wild byte.
    const auto expected = static_cast<unsigned char>(pattern[position - 1]);
    if (byte != expected) {
        position = byte == static_cast<unsigned char>(pattern[0]) ? 2 : 1;
        return false;
    }
    if (++position > pattern.size()) {
        position = 1;
        return true;
    }
    return false;
}

// A lane that has just matched its begin marker on the current byte.
bool TnrAnsi::BeginComplete(int i)
{
    Lane& lane = lanes_[static_cast<size_t>(i)];
    const TnrDataPacket* packet = lane.packet;
    const qint64 length = packet->PacketBegin.size();
    lane.pos = std::min<qint64>(length, packet->PacketLengthMax());
    lane.resetAt = count_ - length;
    lane.match = 1;
    bool complete = false;
    if (!packet->PacketEnd.isEmpty()) {
        lane.state = dpsWaitEnd;
        lane.entryPos = lane.pos;
        lane.entryCount = count_;
        if (packet->PacketEnd.size() == 1)
            endOverflowAt_ = std::min(endOverflowAt_, count_ + (packet->PacketLengthMax() - lane.pos) + 1);
    } else if (packet->PacketLength > 0) {
        lane.state = dpsWaitLength;
        complete = lane.pos >= packet->PacketLength;
    } else {
        lane.state = dpsInactive;
        complete = true;
    }
    Classify(i);
    return complete;
}

// A lane whose buffer was full starts over, from its reset state, on the byte.
void TnrAnsi::RestartLane(int i, unsigned char byte)
{
    Lane& lane = lanes_[static_cast<size_t>(i)];
    lane.state = dpsWaitBegin;
    lane.pos = 0;
    lane.match = byte == static_cast<unsigned char>(lane.packet->PacketBegin[0]) ? 2 : 1;
    Classify(i);
}

// One byte through one lane past its first two begin bytes, step for step
// as TnrDataPacket::IsPacket.
bool TnrAnsi::StepLane(int i, unsigned char byte)
{
    Lane& lane = lanes_[static_cast<size_t>(i)];
    const TnrDataPacket* packet = lane.packet;
    if (lane.state == dpsInactive)
        return false;
    if (lane.state != dpsWaitBegin) {
        if (lane.pos >= packet->PacketLengthMax()) {
            RestartLane(i, byte);
            return false;
        }
        ++lane.pos;
    }
    switch (lane.state) {
    case dpsWaitLength:
        return lane.pos >= packet->PacketLength;
    case dpsWaitBegin:
        if (Match(lane.match, packet->PacketBegin, byte))
            return BeginComplete(i);
        Classify(i);
        return false;
    case dpsWaitEnd:
        return Match(lane.match, packet->PacketEnd, byte);
    default:
        return false;
    }
}

int TnrAnsi::IsPacket(unsigned char byte)
{
    if (AllIdle() && firstByteLanes_[byte] == 0)
        return -1;
    if (AllIdle()) {
        history_.clear();
        historyBase_ = count_;
    }
    history_.push_back(static_cast<char>(byte));
    ++count_;
    quint64 completed = 0;
    quint64 stepped = 0;
    // Lanes waiting for a one-byte end collect the byte without being
    // touched: their count follows from the bytes offered since they began
    // to wait. Only a lane whose buffer is full is stepped: it starts over.
    if (count_ >= endOverflowAt_) {
        endOverflowAt_ = std::numeric_limits<qint64>::max();
        for (quint64 lanes = endWaiting_; lanes != 0; lanes &= lanes - 1) {
            const int i = std::countr_zero(lanes);
            Lane& lane = lanes_[static_cast<size_t>(i)];
            const qint64 max = lane.packet->PacketLengthMax();
            if (lane.entryPos + (count_ - 1 - lane.entryCount) >= max) {
                RestartLane(i, byte);
                stepped |= quint64(1) << i;
            } else {
                endOverflowAt_ = std::min(endOverflowAt_, lane.entryCount + (max - lane.entryPos) + 1);
            }
        }
    }
    // Every set as it was before this byte.
    const quint64 idle = idle_ & ~stepped;
    const quint64 begin2 = begin2_ & ~stepped;
    const quint64 busy = busy_ & ~stepped;
    completed |= endWaiting_ & ~stepped & endByteLanes_[byte];
    for (quint64 lanes = busy; lanes != 0; lanes &= lanes - 1) {
        const int i = std::countr_zero(lanes);
        if (StepLane(i, byte))
            completed |= quint64(1) << i;
    }
    // Lanes that have matched ESC: the byte is the second begin byte or not.
    const quint64 advancing = begin2 & secondByteLanes_[byte];
    const quint64 falling = begin2 & ~advancing;
    begin2_ &= ~begin2;
    if (byte == kEsc)
        begin2_ |= falling;
    else
        idle_ |= falling;
    // The many descriptions of ESC [ ... final byte begin to wait for their
    // end together.
    const quint64 waiting = advancing & shortBeginOneByteEnd_;
    endWaiting_ |= waiting;
    for (quint64 lanes = waiting; lanes != 0; lanes &= lanes - 1) {
        Lane& lane = lanes_[static_cast<size_t>(std::countr_zero(lanes))];
        lane.state = dpsWaitEnd;
        lane.match = 1;
        lane.pos = lane.entryPos = 2;
        lane.entryCount = count_;
        lane.resetAt = count_ - 2;
        endOverflowAt_ = std::min(endOverflowAt_, count_ + (lane.packet->PacketLengthMax() - 2) + 1);
    }
    for (quint64 lanes = advancing & ~waiting; lanes != 0; lanes &= lanes - 1) {
        const int i = std::countr_zero(lanes);
        Lane& lane = lanes_[static_cast<size_t>(i)];
        if (lane.packet->PacketBegin.size() == 2) {
            if (BeginComplete(i))
                completed |= quint64(1) << i;
        } else {
            lane.state = dpsWaitBegin;
            lane.match = 3;
            Classify(i);
        }
    }
    // Lanes waiting for their first byte.
    const quint64 starting = idle & firstByteLanes_[byte];
    idle_ &= ~starting;
    begin2_ |= starting;

    if (completed != 0)
        return Complete(std::countr_zero(completed));
    // Keep only the bytes some lane may still need for a replay.
    if (history_.size() > 65536) {
        qint64 oldest = count_ - 8;
        for (quint64 lanes = busy_ | endWaiting_; lanes != 0; lanes &= lanes - 1) {
            const Lane& lane = lanes_[static_cast<size_t>(std::countr_zero(lanes))];
            if (lane.state != dpsWaitBegin)
                oldest = std::min(oldest, lane.resetAt);
        }
        if (oldest > historyBase_) {
            history_.erase(0, static_cast<size_t>(oldest - historyBase_));
            historyBase_ = oldest;
        }
    }
    return -1;
}

void TnrAnsi::ResetLanes()
{
    idle_ = lanes_.size() >= 64 ? ~quint64(0) : (quint64(1) << lanes_.size()) - 1;
    begin2_ = 0;
    endWaiting_ = 0;
    busy_ = 0;
    history_.clear();
    historyBase_ = count_;
    endOverflowAt_ = std::numeric_limits<qint64>::max();
}

int TnrAnsi::Complete(int index)
{
    // Feed the description what it saw since its last reset: it completes on
    // the last byte with exactly the bytes the scan would have given it.
    TnrDataPacket* packet = DataPackets().Item(index);
    packet->Reset();
    const qint64 from = lanes_[static_cast<size_t>(index)].resetAt - historyBase_;
    for (size_t at = static_cast<size_t>(std::max<qint64>(from, 0)); at < history_.size(); ++at)
        packet->IsPacket(static_cast<quint8>(history_[at]));
    DoHandlePacket(index);
    packet->Reset();
    // Every description resets the others when it completes.
    ResetLanes();
    return index;
}

void TnrAnsi::Reset()
{
    TnrDataProtocol::Reset();
    ResetLanes();
}

void TnrAnsi::DoHandlePacket(int index)
{
    // The base report only logs and calls OnDataPacket: with neither there
    // is nothing to compose for it, once per sequence.
    if (Log() != nullptr || OnDataPacket)
        TnrDataProtocol::DoHandlePacket(index);
    if (index < 0 || !OnAnsiPacket)
        return;
    TnrDataPacket* packet = DataPackets().Item(index);
    try {
        OnAnsiPacket(this, packet, static_cast<TnrAnsiCommands>(packet->Tag));
    } catch (...) {
    }
}

const TnrAnsiArguments& TnrAnsi::GetArguments(const TnrDataPacket* packet)
{
    arguments_.clear();
    QByteArrayView data = packet->Data();
    const qsizetype begin = std::min(packet->PacketBegin.size(), data.size());
    qsizetype end = data.size();
    if (!packet->PacketEnd.isEmpty() && end - begin >= packet->PacketEnd.size())
        end -= packet->PacketEnd.size();
    data = data.sliced(begin, end - begin);
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype stop = data.indexOf(';', start);
        if (stop < 0)
            stop = data.size();
        const QByteArrayView piece = data.sliced(start, stop - start);
        arguments_.push_back({piece, DecimalValue(piece)});
        start = stop + 1;
    }
    return arguments_;
}
