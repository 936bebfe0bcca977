#include "serial/line_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <asm/termbits.h>

namespace {

// Settings of a terminal in cooked mode, as a port may be left by another program.
TtySettings Cooked()
{
    TtySettings t;
    t.iflag = ICRNL | IXON | ISTRIP | INPCK;
    t.oflag = OPOST | ONLCR;
    t.cflag = B9600 | CS7 | PARENB | CSTOPB | CRTSCTS | HUPCL;
    t.lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.cc[VMIN] = 0;
    t.cc[VTIME] = 5;
    return t;
}

TEST(ApplyDcb, DefaultsGiveRawEightNoneOneAtTheRate)
{
    Dcb dcb;
    dcb.Flags = BuildFlagWord(0, false, spNone, pNone);
    TtySettings t = Cooked();
    ApplyDcb(dcb, t);
    EXPECT_EQ(t.cflag & CSIZE, quint32(CS8));
    EXPECT_EQ(t.cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.cflag & (CREAD | CLOCAL), quint32(CREAD | CLOCAL));
    EXPECT_EQ(t.cflag & CBAUD, quint32(BOTHER));
    EXPECT_EQ((t.cflag >> IBSHIFT) & CBAUD, quint32(BOTHER));
    EXPECT_EQ(t.ospeed, 19200u);
    EXPECT_EQ(t.ispeed, 19200u);
    EXPECT_EQ(t.iflag & (ICRNL | IXON | IXOFF | INPCK | ISTRIP), 0u);
    EXPECT_EQ(t.oflag & OPOST, 0u);
    EXPECT_EQ(t.lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.cflag & HUPCL, quint32(HUPCL)) << "other bits stay as the driver had them";
    EXPECT_EQ(t.cc[VSTART], 0x11);
    EXPECT_EQ(t.cc[VSTOP], 0x13);
    EXPECT_EQ(t.cc[VMIN], 1);
    EXPECT_EQ(t.cc[VTIME], 0);
}

TEST(ApplyDcb, EachSettingReachesItsBits)
{
    struct Row
    {
        const char* behaviour;
        std::function<void(Dcb&)> change;
        quint32 TtySettings::*field;
        quint32 mask;
        quint32 expected;
    };
    const auto flow = [](TStreamProtocol protocol, bool rs485 = false) {
        return [=](Dcb& d) { d.Flags = BuildFlagWord(d.Flags, rs485, protocol, d.Parity); };
    };
    const auto parity = [](TParity p) {
        return [=](Dcb& d) {
            d.Parity = p;
            d.Flags = BuildFlagWord(d.Flags, false, spNone, p);
        };
    };
    const Row rows[] = {
        {"four data bits are sent as five", [](Dcb& d) { d.ByteSize = 4; }, &TtySettings::cflag, CSIZE, CS5},
        {"five data bits", [](Dcb& d) { d.ByteSize = 5; }, &TtySettings::cflag, CSIZE, CS5},
        {"six data bits", [](Dcb& d) { d.ByteSize = 6; }, &TtySettings::cflag, CSIZE, CS6},
        {"seven data bits", [](Dcb& d) { d.ByteSize = 7; }, &TtySettings::cflag, CSIZE, CS7},
        {"odd parity", parity(pOdd), &TtySettings::cflag, PARENB | PARODD | CMSPAR, PARENB | PARODD},
        {"even parity", parity(pEven), &TtySettings::cflag, PARENB | PARODD | CMSPAR, PARENB},
        {"mark parity", parity(pMark), &TtySettings::cflag, PARENB | PARODD | CMSPAR, PARENB | PARODD | CMSPAR},
        {"space parity", parity(pSpace), &TtySettings::cflag, PARENB | PARODD | CMSPAR, PARENB | CMSPAR},
        {"a parity is checked on input", parity(pEven), &TtySettings::iflag, INPCK, INPCK},
        {"one and a half stop bits", [](Dcb& d) { d.StopBits = sbOneAndHalf; }, &TtySettings::cflag, CSTOPB, CSTOPB},
        {"two stop bits", [](Dcb& d) { d.StopBits = sbTwo; }, &TtySettings::cflag, CSTOPB, CSTOPB},
        {"hardware flow is CTS/RTS", flow(spHardware), &TtySettings::cflag, CRTSCTS, CRTSCTS},
        {"XON/XOFF both ways", flow(spXonXoff), &TtySettings::iflag, IXON | IXOFF, IXON | IXOFF},
        {"RS-485 has no flow control", flow(spHardware, true), &TtySettings::cflag, CRTSCTS, 0},
        {"a rate no constant names", [](Dcb& d) { d.BaudRate = 250000; }, &TtySettings::ospeed, 0xFFFFFFFF, 250000},
    };
    for (const Row& row : rows) {
        Dcb dcb;
        dcb.Flags = BuildFlagWord(0, false, spNone, pNone);
        row.change(dcb);
        TtySettings t = Cooked();
        ApplyDcb(dcb, t);
        EXPECT_EQ(t.*row.field & row.mask, row.expected) << row.behaviour;
    }
}

}  // namespace
