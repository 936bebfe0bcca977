#pragma once

#include "serial/cn_rs232_config.h"
#include "serial/modem_state.h"
#include "serial/tty_settings.h"

// Sets the kernel line settings from the component's: raw binary mode, data
// bits = ByteSize + 5, parity, stop bits (one and a half is the two-stop-bit
// setting, which a UART sends as 1.5 with five data bits), any baud rate,
// input parity check, XON/XOFF both ways and their characters, CTS/RTS flow.
// A value outside its enumeration leaves that part as it was.
void ApplyCnRS232Config(const TCnRS232Config& config, TtySettings& settings);

// Modem lines the settings switch at open; RTS is left to the kernel under
// RTS handshake, and raised only while sending in the triggered mode.
struct CnRS232ModemLines
{
    int on = 0;  // ModemLine bits
    int off = 0;

    bool operator==(const CnRS232ModemLines&) const = default;
};
CnRS232ModemLines ModemLinesAtOpen(const TCnRS232Config& config);
