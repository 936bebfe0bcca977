#include "serial/line_settings.h"

namespace {

bool AllSet(quint32 flags, quint32 bits)
{
    return (flags & bits) == bits;
}

}  // namespace

quint32 BuildFlagWord(quint32 previous, bool rs485Mode, TStreamProtocol protocol, TParity parity)
{
    quint32 flags = previous & DcbFlag::kKept;
    if (rs485Mode)
        flags |= DcbFlag::kRs485;
    else if (protocol == spXonXoff)
        flags |= DcbFlag::kXonXoff;
    else if (protocol == spHardware)
        flags |= DcbFlag::kHardware;
    else
        flags |= DcbFlag::kNoFlow;
    if (parity == pNone)
        flags &= ~DcbFlag::kParity;
    else
        flags |= DcbFlag::kParity;
    return flags;
}

TStreamProtocol StreamProtocolOfFlags(quint32 flags)
{
    if (AllSet(flags, DcbFlag::kXonXoff))
        return spXonXoff;
    if (AllSet(flags, DcbFlag::kHardware))
        return spHardware;
    return spNone;
}

bool Rs485ModeOfFlags(quint32 flags)
{
    return AllSet(flags, DcbFlag::kRs485);
}
