#pragma once

#include <QString>
#include <QtGlobal>

// Line settings and time-outs of the TCnRS232 serial component. Enumeration
// values are kept as stored numbers: a value read from the settings file that
// is outside its enumeration is passed on unchanged.

// The enumerations live in their own namespace: port A's engine has types of
// the same names.
namespace CnRS232 {
enum class TByteSize : quint8 { _5, _6, _7, _8 };
enum class TParity : quint8 { paNone, paOdd, paEven, paMark, paSpace };
enum class TStopBits : quint8 { _1, _1_5, _2 };
// 0 switches the line on: the enabling value comes first.
enum class TDtrControl : quint8 { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : quint8 { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };
}  // namespace CnRS232

struct TCnRS232Config
{
    quint32 BaudRate = 9600;
    CnRS232::TByteSize ByteSize = CnRS232::TByteSize::_8;
    CnRS232::TParity Parity = CnRS232::TParity::paNone;
    CnRS232::TStopBits StopBits = CnRS232::TStopBits::_1;
    bool ParityCheck = false;
    bool Outx_CtsFlow = false;
    bool Outx_DsrFlow = false;
    CnRS232::TDtrControl DtrControl = CnRS232::TDtrControl::DtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = false;
    bool Outx_XonXoffFlow = false;
    bool Inx_XonXoffFlow = false;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    CnRS232::TRtsControl RtsControl = CnRS232::TRtsControl::RtsEnable;
    quint16 XonLimit = 500;
    quint16 XoffLimit = 500;
    quint8 XonChar = 17;
    quint8 XoffChar = 19;
    quint8 ReplacedChar = 0;

    bool operator==(const TCnRS232Config&) const = default;
};

// Milliseconds. A read ends when its 2048 bytes are in, when ReadIntervalTimeout
// (not 0) passes after a byte without another one, or when the total limit
// ReadTotalTimeoutMultiplier * 2048 + ReadTotalTimeoutConstant (not both 0)
// has passed since the read began.
struct TCnRS232Timeouts
{
    quint32 ReadIntervalTimeout = 10;
    quint32 ReadTotalTimeoutMultiplier = 0;
    quint32 ReadTotalTimeoutConstant = 0;
    quint32 WriteTotalTimeoutMultiplier = 0;
    quint32 WriteTotalTimeoutConstant = 0;

    bool operator==(const TCnRS232Timeouts&) const = default;
};

// Everything the settings file holds for one port.
struct CnRS232Settings
{
    QString CommName;
    TCnRS232Config CommConfig;
    TCnRS232Timeouts Timeouts;

    bool operator==(const CnRS232Settings&) const = default;
};

// Port B's settings before its settings file is read: 19200 baud, DTR and RTS
// switched off, reads ending 120 ms after the last byte.
CnRS232Settings PortBFactorySettings();

// "/dev/ttyUSB0  19200  8   None   1  RTS禁止": the port and its settings as
// the page caption shows them. A value outside its enumeration adds nothing.
QString DescribeCnRS232(const QString& commName, const TCnRS232Config& config);
