#pragma once

#include "protocol/tnr_data_protocol.h"

#include <QByteArrayView>

#include <functional>
#include <limits>
#include <string>
#include <vector>

enum TnrAnsiCommands {
    acUnknown,
    acQueryDeviceCode,
    acReportDeviceCode,
    acQueryDeviceStatus,
    acReportDeviceOK,
    acReportDeviceFailure,
    acQueryCursorPosition,
    acReportCursorPosition,
    acResetDevice,
    acCursorHome,
    acCursorHome2,
    acCursorUp,
    acCursorDown,
    acCursorForward,
    acCursorBackward,
    acCursorLine,
    acCursorColumn,
    acSaveCursor,
    acUnsaveCursor,
    acSaveCursorAndAttrs,
    acRestoreCursorAndAttrs,
    acScrollDown,
    acScrollUp,
    acSetTab,
    acClearTab,
    acEraseLine,
    acEraseLines,
    acEraseChars,
    acDeleteLine,
    acInsertLine,
    acPrint,
    acSetKeyDefinition,
    acSetAttributeMode,
    acKeyModeApp,
    acKeyModeNormal,
    acVTWindow,
    acSetModePrivate,
    acResetModePrivate,
    acSetMode,
    acResetMode,
    acLEDs,
    acSetScrollRegion,
    acSetDefaultCharSet,
    acSetUTF8CharSet,
    acFontSet,
    acFontSetG0,
    acFontSetG1,
    acFontSetG2,
    acFontSetG3,
    acNewLine
};

// One argument of an escape sequence: its text and its decimal value (0 when
// the text is not a number, as an empty piece is not).
struct TnrAnsiArgument
{
    QByteArrayView Text;
    int Value = 0;
};
using TnrAnsiArguments = std::vector<TnrAnsiArgument>;

// The ANSI/VT100 escape recogniser: 48 packet descriptions, one per sequence
// kind, in priority order (ECMA-48 control sequences and the VT100 ESC
// sequences the terminal knows). Each completed sequence is reported through
// OnAnsiPacket with its command; bytes that continue no description are left
// to the caller.
class TnrAnsi : public TnrDataProtocol
{
    Q_OBJECT

public:
    using TnrAnsiPacketEvent = std::function<void(TnrAnsi* Sender, TnrDataPacket* packet, TnrAnsiCommands cmd)>;

    explicit TnrAnsi(QObject* parent = nullptr);

    // Gives the completions, in the same order and with the same collected
    // bytes, that offering every byte to every description would give, at a
    // fraction of the work: each description is mirrored by a small lane
    // (state, count, match position); lanes waiting for their first byte
    // are skipped, and lanes waiting for a one-byte end marker are looked up
    // by that byte. Only the description that completes is fed, from its
    // last reset on, so that it holds the bytes it collected.
    int IsPacket(unsigned char byte) override;
    // A sequence is under way after the last byte.
    bool IsPacketPossible() const override { return !AllIdle(); }
    void Reset() override;

    // The same byte offered to the descriptions one by one (the framing
    // processor's own scan); the reference the fast path is checked against.
    int IsPacketByDescriptions(unsigned char byte) { return TnrDataProtocol::IsPacket(byte); }
    bool IsPacketPossibleByDescriptions() const { return TnrDataProtocol::IsPacketPossible(); }

    // The bytes after the begin marker (without an end marker) split at ";";
    // a trailing ";" adds no empty argument. The list is reused by every call.
    const TnrAnsiArguments& GetArguments(const TnrDataPacket* packet);

    TnrAnsiPacketEvent OnAnsiPacket;

protected:
    // Reports the sequence through OnAnsiPacket; exceptions from it are swallowed.
    void DoHandlePacket(int index) override;

private:
    // The mirror of one description's recogniser state, as far as the lane
    // sets below do not already tell it.
    struct Lane
    {
        TnrDataPacket* packet = nullptr;
        bool end1 = false;     // the end marker is one byte
        TnrDataPacketState state = dpsWaitBegin;
        qint64 pos = 0;        // bytes collected
        int match = 1;         // 1-based position in the marker being matched
        qint64 resetAt = 0;    // stream index from which a replay gives its state
        qint64 entryPos = 0;   // for one-byte end lanes: pos and byte count when they began to wait
        qint64 entryCount = 0;
    };

    bool AllIdle() const { return (begin2_ | endWaiting_ | busy_) == 0; }
    void Classify(int i);
    static bool Match(int& position, const QByteArray& pattern, unsigned char byte);
    bool BeginComplete(int i);
    void RestartLane(int i, unsigned char byte);
    bool StepLane(int i, unsigned char byte);
    void ResetLanes();
    int Complete(int index);

    TnrAnsiArguments arguments_;
    std::vector<Lane> lanes_;
    // Lane sets as bit masks: waiting for the begin marker's first byte,
    // having matched only its first byte, waiting for a one-byte end marker,
    // and the rest, which are stepped one by one.
    quint64 idle_ = 0;
    quint64 begin2_ = 0;
    quint64 endWaiting_ = 0;
    quint64 busy_ = 0;
    quint64 firstByteLanes_[256] = {};
    quint64 secondByteLanes_[256] = {};
    quint64 endByteLanes_[256] = {};
    quint64 shortBeginOneByteEnd_ = 0;  // two-byte begin, one-byte end
    std::string history_;     // bytes since the oldest lane reset still needed
    qint64 historyBase_ = 0;  // stream index of history_[0]
    qint64 count_ = 0;        // bytes offered so far
    // The byte count at which the first one-byte end lane's buffer is full.
    qint64 endOverflowAt_ = std::numeric_limits<qint64>::max();
};
