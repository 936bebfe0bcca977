#include "terminal/tnr_ansi.h"

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
    }
    Reset();
}

int TnrAnsi::IsPacket(unsigned char byte)
{
    if (!possible_ && byte != kEsc)
        return -1;
    const int index = TnrDataProtocol::IsPacket(byte);
    if (index >= 0) {
        possible_ = false;
    } else if (TnrDataProtocol::IsPacketPossible()) {
        possible_ = true;
    } else {
        // Not under way, but a description whose buffer filled up goes on
        // collecting: keep feeding until every one waits for its begin again.
        possible_ = false;
        for (int i = 0; i < DataPackets().Count() && !possible_; ++i)
            possible_ = DataPackets().Item(i)->State() != dpsWaitBegin;
    }
    return index;
}

void TnrAnsi::Reset()
{
    TnrDataProtocol::Reset();
    possible_ = false;
}

void TnrAnsi::DoHandlePacket(int index)
{
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
