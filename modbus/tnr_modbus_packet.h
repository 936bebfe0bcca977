#pragma once

#include <QString>
#include <QtGlobal>

// CRC-16/MODBUS (initial 0xFFFF, reflected polynomial 0xA001, no final XOR);
// Modbus over serial line, 6.2.2.
quint16 ModbusCrc16(const quint8* data, int length);
// The two's complement of the 8-bit sum; Modbus over serial line, 6.2.1.
quint8 ModbusLrc(const quint8* data, int length);

// One Modbus frame, a request or a reply: address, function code, data, then
// two check positions (RTU: the CRC low byte first; ASCII: the LRC and a 0x00).
class TnrModbusPacket
{
public:
    static constexpr int kBufferSize = 300;

    quint8 Buffer[kBufferSize] = {};
    // Frame bytes including the two check positions.
    qint32 Length = 0;
    // A read request that goes back to the end of the queue after each answer.
    bool Poll = false;

    quint8 Address() const { return Buffer[0]; }
    quint8 Func() const { return Buffer[1]; }
    bool IsException() const { return (Func() & 0x80) != 0; }
    quint8 Exception() const { return IsException() ? Buffer[2] : 0; }
    // The stored CRC with its two bytes swapped (low byte first on the wire).
    quint16 Crc() const;
    quint8 Lrc() const { return Length >= 2 ? Buffer[Length - 2] : 0; }
    // The 16-bit field at `index`, high byte first.
    quint16 Word(int index) const { return static_cast<quint16>(Buffer[index] << 8 | Buffer[index + 1]); }

    // Throws std::runtime_error("Length too long") above the buffer's size.
    void AssignData(const char* data, int length);
    // The text of the exception code, e.g. "Illegal data address (02h)".
    QString GetExceptionMessage() const;
    bool IsCrcOK() const;
    bool IsLrcOK() const;
    void RecalcCrc();
    void RecalcLrc();
};

// The message of a Modbus exception code.
QString ModbusExceptionMessage(quint8 code);
