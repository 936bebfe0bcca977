#pragma once

#include "modbus/tnr_modbus_packet.h"

#include <QByteArray>
#include <QByteArrayView>

// One way of putting Modbus frames on a serial line: how a request is sealed
// and written, and how a reply's check is verified. The reply's end is found
// the same way for every framing, by the reply recognisers from the frame's
// content; a framing whose frames are text first turns each frame back into
// bytes (DecodeAsciiFrame). A further framing is one more table.
struct TnrModbusFraming
{
    const char* Name;
    // Fills the check positions of `request` and puts its wire bytes into `wire`.
    void (*Frame)(TnrModbusPacket& request, QByteArray& wire);
    // The reply's check is correct.
    bool (*CheckOK)(const TnrModbusPacket& reply);
};

// Binary frames with a CRC-16, low byte first; Modbus over serial line, 2.5.1.
extern const TnrModbusFraming kModbusRtu;
// ':' + two upper-case hex digits a byte + the LRC + CR LF; Modbus over serial line, 2.5.2.
extern const TnrModbusFraming kModbusAscii;

// The hex characters between ':' and CR LF turned into bytes two by two,
// followed by one 0x00 byte standing for the second check position, into
// `out` of `capacity` bytes. A character c is worth (c | 0x20) - '0' when that
// is 0 to 9, else (c | 0x20) - 87, in 8 bits; no character is refused and an
// odd last character is dropped. Returns the count, or -1 when the frame
// does not fit (it is then dropped).
int DecodeAsciiFrame(QByteArrayView chars, char* out, int capacity);
