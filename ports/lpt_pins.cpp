#include "ports/lpt_pins.h"

std::optional<LptPinBit> LptPinOf(int pin)
{
    if (pin >= 2 && pin <= 9)
        return LptPinBit{LptRegister::kData, pin - 2};
    switch (pin) {
    case 1:
        return LptPinBit{LptRegister::kControl, 0};
    case 10:
        return LptPinBit{LptRegister::kStatus, 6};
    case 11:
        return LptPinBit{LptRegister::kStatus, 7};
    case 12:
        return LptPinBit{LptRegister::kStatus, 5};
    case 13:
        return LptPinBit{LptRegister::kStatus, 4};
    case 14:
        return LptPinBit{LptRegister::kControl, 1};
    case 15:
        return LptPinBit{LptRegister::kStatus, 3};
    case 16:
        return LptPinBit{LptRegister::kControl, 2};
    case 17:
        return LptPinBit{LptRegister::kControl, 3};
    default:
        return std::nullopt;
    }
}

bool LptPinState(int pin, quint8 data, quint8 status, quint8 control)
{
    const std::optional<LptPinBit> where = LptPinOf(pin);
    if (!where)
        return false;
    const quint8 value = where->reg == LptRegister::kData ? data : where->reg == LptRegister::kStatus ? status : control;
    return (value >> where->bit) & 1;
}
