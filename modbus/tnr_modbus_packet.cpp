#include "modbus/tnr_modbus_packet.h"

#include <cstring>
#include <stdexcept>

quint16 ModbusCrc16(const quint8* data, int length)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

quint8 ModbusLrc(const quint8* data, int length)
{
    quint8 sum = 0;
    for (int i = 0; i < length; ++i)
        sum = static_cast<quint8>(sum + data[i]);
    return static_cast<quint8>(-sum);
}

quint16 TnrModbusPacket::Crc() const
{
    return Length >= 2 ? static_cast<quint16>(Buffer[Length - 2] << 8 | Buffer[Length - 1]) : 0;
}

void TnrModbusPacket::AssignData(const char* data, int length)
{
    if (length > kBufferSize)
        throw std::runtime_error("Length too long");
    Length = length < 0 ? 0 : length;
    std::memcpy(Buffer, data, static_cast<size_t>(Length));
}

QString ModbusExceptionMessage(quint8 code)
{
    static const char* const texts[] = {"OK",
                                        "Illegal function",
                                        "Illegal data address",
                                        "Illegal data value",
                                        "Server device failure",
                                        "Acknowledge",
                                        "Server device busy",
                                        nullptr,
                                        "Memory parity error",
                                        nullptr,
                                        "Gateway path unavailable",
                                        "Gateway target device failed to respond"};
    const QString hex = QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
    if (code < std::size(texts) && texts[code] != nullptr)
        return QString::fromLatin1(texts[code]) + QStringLiteral(" (") + hex + QStringLiteral("h)");
    return QStringLiteral("Unknown modbus exception: ") + hex;
}

QString TnrModbusPacket::GetExceptionMessage() const
{
    return ModbusExceptionMessage(Exception());
}

bool TnrModbusPacket::IsCrcOK() const
{
    if (Length < 3)
        return false;
    const quint16 crc = ModbusCrc16(Buffer, Length - 2);
    return Buffer[Length - 2] == (crc & 0xFF) && Buffer[Length - 1] == (crc >> 8);
}

bool TnrModbusPacket::IsLrcOK() const
{
    return Length >= 3 && Buffer[Length - 2] == ModbusLrc(Buffer, Length - 2);
}

void TnrModbusPacket::RecalcCrc()
{
    if (Length < 2)
        return;
    const quint16 crc = ModbusCrc16(Buffer, Length - 2);
    Buffer[Length - 2] = static_cast<quint8>(crc & 0xFF);
    Buffer[Length - 1] = static_cast<quint8>(crc >> 8);
}

void TnrModbusPacket::RecalcLrc()
{
    if (Length < 2)
        return;
    Buffer[Length - 2] = ModbusLrc(Buffer, Length - 2);
    Buffer[Length - 1] = 0;
}
