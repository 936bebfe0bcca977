#include "modbus/tnr_modbus_lists.h"

void TnrModbusItemList::Add(quint16 number, quint16 value)
{
    const quint32 item = static_cast<quint32>(number) << 16 | value;
    const int index = IndexOf(number);
    if (index >= 0)
        items_[static_cast<size_t>(index)] = item;
    else
        items_.push_back(item);
}

quint16 TnrModbusItemList::Get(quint16 number) const
{
    const int index = IndexOf(number);
    return index >= 0 ? ValueAt(index) : 0;
}

int TnrModbusItemList::IndexOf(quint16 number) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if ((items_[i] >> 16) == number)
            return static_cast<int>(i);
    return -1;
}
