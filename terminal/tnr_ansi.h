#pragma once

#include "protocol/tnr_data_protocol.h"

#include <QByteArrayView>

#include <functional>
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

    // Plain text while no sequence is under way never reaches the
    // descriptions: none of them could change state on it.
    int IsPacket(unsigned char byte) override;
    // A sequence is under way after the last byte.
    bool IsPacketPossible() const override { return TnrDataProtocol::IsPacketPossible() && possible_; }
    void Reset() override;

    // The bytes after the begin marker (without an end marker) split at ";";
    // a trailing ";" adds no empty argument. The list is reused by every call.
    const TnrAnsiArguments& GetArguments(const TnrDataPacket* packet);

    TnrAnsiPacketEvent OnAnsiPacket;

protected:
    // Reports the sequence through OnAnsiPacket; exceptions from it are swallowed.
    void DoHandlePacket(int index) override;

private:
    TnrAnsiArguments arguments_;
    // Some description is past its begin marker or matching it.
    bool possible_ = false;
};
