#pragma once

#include "serial/tty_settings.h"

#include <QtGlobal>

enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TStopBits { sbOne, sbOneAndHalf, sbTwo };
enum TStreamProtocol { spNone, spXonXoff, spHardware };
enum TComPort { cpCOM1, cpCOM2, cpCOM3, cpCOM4, cpCOM5, cpCOM6, cpCOM7, cpCOM8, cpCOMxx };
enum TnrEnumPorts { epQuickAll, epFullInfo, epFullPresent };

// Line events a port reports; bit n of TTraceStates is the state of value n.
enum TTraceState {
    tsRxChar, tsRxFlag, tsTxEmpty, tsCTS, tsDSR, tsRLSD, tsBreak, tsErr, tsRing, tsRx80Full, tsEvent1, tsEvent2
};
using TTraceStates = quint16;
constexpr TTraceStates TraceBit(TTraceState state) { return static_cast<TTraceStates>(1u << state); }

// Modem input lines; bit n of TModemSignals is the signal of value n.
enum TModemSignal { msCTS, msDSR, msRing, msRLSD };
using TModemSignals = quint8;

// Bits of the line-settings flag word. The word keeps the classic layout so
// that flow control and RS-485 mode read back from it the same way.
namespace DcbFlag {
constexpr quint32 kBinary = 0x0001;
constexpr quint32 kParity = 0x0002;
constexpr quint32 kOutxCtsFlow = 0x0004;
constexpr quint32 kDtrControl = 0x0030;
constexpr quint32 kDtrEnable = 0x0010;
constexpr quint32 kOutX = 0x0100;
constexpr quint32 kInX = 0x0200;
constexpr quint32 kRtsControl = 0x3000;
constexpr quint32 kRtsEnable = 0x1000;
constexpr quint32 kRtsHandshake = 0x2000;
constexpr quint32 kRtsToggle = 0x3000;

// Bits a rebuild keeps from the previous word, and the bits each mode adds.
constexpr quint32 kKept = 0x4CEA;
constexpr quint32 kRs485 = 0x3011;
constexpr quint32 kNoFlow = 0x1011;
constexpr quint32 kXonXoff = 0x1311;
constexpr quint32 kHardware = 0x2015;
}  // namespace DcbFlag

// The line settings of a port: rate, framing, flow control and the control
// characters.
struct Dcb
{
    quint32 BaudRate = 19200;
    quint32 Flags = 0;
    quint16 XonLim = 80;
    quint16 XoffLim = 200;
    quint8 ByteSize = 8;
    TParity Parity = pNone;
    TStopBits StopBits = sbOne;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char EvtChar = 0;

    bool operator==(const Dcb&) const = default;
};

// The flag word for a mode: kept bits of `previous`, the mode's bits, and the
// parity-check bit set for every parity but none.
quint32 BuildFlagWord(quint32 previous, bool rs485Mode, TStreamProtocol protocol, TParity parity);
TStreamProtocol StreamProtocolOfFlags(quint32 flags);
bool Rs485ModeOfFlags(quint32 flags);

// Puts a Dcb onto the kernel's line settings: raw binary mode, the rate (any
// rate), data bits, parity and its check, stop bits, CTS/RTS flow for CTS
// output flow or RTS handshake, XON/XOFF both ways and their characters.
// Reads return at once; the engine waits for bytes itself.
void ApplyDcb(const Dcb& dcb, TtySettings& settings);
