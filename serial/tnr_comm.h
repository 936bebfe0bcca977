#pragma once

#include "serial/tnr_custom_serial_comm.h"

// The serial port engine as the windows use it: everything of the chain
// below, with the constructor's defaults (19200 baud, eight data bits, no
// parity, one stop bit, hardware flow control, port 1).
class TnrComm : public TnrCustomSerialComm
{
    Q_OBJECT

public:
    explicit TnrComm(QObject* parent = nullptr);
};
