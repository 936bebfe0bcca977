#include "serial/line_settings.h"

#include <asm/termbits.h>

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

void ApplyDcb(const Dcb& dcb, TtySettings& t)
{
    t.iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.oflag &= ~OPOST;
    t.lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
    t.cflag |= CREAD | CLOCAL;
    switch (dcb.ByteSize) {
    case 4:
    case 5: t.cflag |= CS5; break;
    case 6: t.cflag |= CS6; break;
    case 7: t.cflag |= CS7; break;
    default: t.cflag |= CS8; break;
    }
    switch (dcb.Parity) {
    case pNone: break;
    case pOdd: t.cflag |= PARENB | PARODD; break;
    case pEven: t.cflag |= PARENB; break;
    case pMark: t.cflag |= PARENB | CMSPAR | PARODD; break;
    case pSpace: t.cflag |= PARENB | CMSPAR; break;
    }
    if (dcb.Parity != pNone && (dcb.Flags & DcbFlag::kParity))
        t.iflag |= INPCK;
    if (dcb.StopBits != sbOne)
        t.cflag |= CSTOPB;
    if ((dcb.Flags & DcbFlag::kOutxCtsFlow) || (dcb.Flags & DcbFlag::kRtsControl) == DcbFlag::kRtsHandshake)
        t.cflag |= CRTSCTS;
    if (dcb.Flags & DcbFlag::kOutX)
        t.iflag |= IXON;
    if (dcb.Flags & DcbFlag::kInX)
        t.iflag |= IXOFF;
    t.cc[VSTART] = static_cast<quint8>(dcb.XonChar);
    t.cc[VSTOP] = static_cast<quint8>(dcb.XoffChar);
    t.cc[VMIN] = 1;
    t.cc[VTIME] = 0;
    t.cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.ispeed = dcb.BaudRate;
    t.ospeed = dcb.BaudRate;
}
