#include "protocol/tcomm_event_new.h"

bool TCommEventNew::IsEvent(quint8 byte, quint8 wild)
{
    if (pattern_.isEmpty())
        return false;
    const quint8 expected = static_cast<quint8>(pattern_[position_ - 1]);
    if ((wild == 0 || expected != wild) && byte != expected) {
        position_ = byte == static_cast<quint8>(pattern_[0]) ? 2 : 1;
        return false;
    }
    if (++position_ > pattern_.size()) {
        Reset();
        return true;
    }
    return false;
}
