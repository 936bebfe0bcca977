#include "modbus/tnr_modbus_framing.h"

#include <cstring>

namespace {

void FrameRtu(TnrModbusPacket& request, QByteArray& wire)
{
    request.RecalcCrc();
    wire.resize(request.Length);
    std::memcpy(wire.data(), request.Buffer, static_cast<size_t>(request.Length));
}

void FrameAscii(TnrModbusPacket& request, QByteArray& wire)
{
    static const char digits[] = "0123456789ABCDEF";
    request.RecalcLrc();
    // The data and the LRC; the 0x00 in the last check position is not sent.
    const int bytes = request.Length - 1;
    wire.resize(2 * bytes + 3);
    char* out = wire.data();
    *out++ = ':';
    for (int i = 0; i < bytes; ++i) {
        *out++ = digits[request.Buffer[i] >> 4];
        *out++ = digits[request.Buffer[i] & 0x0F];
    }
    *out++ = '\r';
    *out = '\n';
}

bool CheckRtu(const TnrModbusPacket& reply)
{
    return reply.IsCrcOK();
}

bool CheckAscii(const TnrModbusPacket& reply)
{
    return reply.IsLrcOK();
}

quint8 HexValue(char c)
{
    const quint8 lower = static_cast<quint8>(c) | 0x20;
    const quint8 digit = static_cast<quint8>(lower - 0x30);
    return digit <= 9 ? digit : static_cast<quint8>(lower - 87);
}

}  // namespace

const TnrModbusFraming kModbusRtu = {"RTU", FrameRtu, CheckRtu};
const TnrModbusFraming kModbusAscii = {"ASCII", FrameAscii, CheckAscii};

int DecodeAsciiFrame(QByteArrayView chars, char* out, int capacity)
{
    const qsizetype bytes = chars.size() / 2;
    if (bytes + 1 > capacity)
        return -1;
    for (qsizetype i = 0; i < bytes; ++i)
        out[i] = static_cast<char>(HexValue(chars[2 * i]) << 4 | HexValue(chars[2 * i + 1]));
    out[bytes] = '\0';
    return static_cast<int>(bytes + 1);
}
