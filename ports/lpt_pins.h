#pragma once

#include "ports/lpt_port_io.h"

#include <optional>

// Where a pin of the 25-pin connector is read: its register and bit. Ground
// pins and numbers outside 1..17 have none.
struct LptPinBit
{
    LptRegister reg;
    int bit;
};

std::optional<LptPinBit> LptPinOf(int pin);

// The pin's state from the three register values as read; the bits the port
// hardware inverts are not corrected.
bool LptPinState(int pin, quint8 data, quint8 status, quint8 control);
