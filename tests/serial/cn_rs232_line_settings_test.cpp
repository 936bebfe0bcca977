#include "serial/cn_rs232_line_settings.h"

#include <gtest/gtest.h>
#include <asm/termbits.h>

namespace {

// Settings of a terminal in cooked mode, as a port may be left by another program.
TtySettings Cooked()
{
    TtySettings t;
    t.iflag = ICRNL | IXON | IGNPAR | ISTRIP;
    t.oflag = OPOST | ONLCR;
    t.cflag = B9600 | CS7 | PARENB | CSTOPB | HUPCL;
    t.lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.cc[VMIN] = 0;
    t.cc[VTIME] = 5;
    return t;
}

TEST(ApplyCnRS232Config, PortBFactorySettingsGiveRawEightNoneOne)
{
    TtySettings t = Cooked();
    ApplyCnRS232Config(PortBFactorySettings().CommConfig, t);
    EXPECT_EQ(t.cflag & CSIZE, quint32(CS8));
    EXPECT_EQ(t.cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.cflag & (CREAD | CLOCAL), quint32(CREAD | CLOCAL));
    EXPECT_EQ(t.cflag & CBAUD, quint32(BOTHER));
    EXPECT_EQ(t.ospeed, 19200u);
    EXPECT_EQ(t.ispeed, 19200u);
    EXPECT_EQ(t.iflag & (ICRNL | IXON | IXOFF | INPCK | IGNPAR | ISTRIP), 0u);
    EXPECT_EQ(t.oflag & OPOST, 0u);
    EXPECT_EQ(t.lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.cflag & HUPCL, quint32(HUPCL)) << "other bits stay as the driver had them";
    EXPECT_EQ(t.cc[VSTART], 17);
    EXPECT_EQ(t.cc[VSTOP], 19);
    EXPECT_EQ(t.cc[VMIN], 1);
    EXPECT_EQ(t.cc[VTIME], 0);
}

TEST(ApplyCnRS232Config, EachSettingReachesItsBits)
{
    struct Row
    {
        const char* behaviour;
        std::function<void(TCnRS232Config&)> change;
        quint32 TtySettings::*field;
        quint32 mask;
        quint32 expected;
    };
    const Row rows[] = {
        {"ByteSize 0 is five data bits", [](auto& c) { c.ByteSize = CnRS232::TByteSize::_5; }, &TtySettings::cflag, CSIZE,
         CS5},
        {"ByteSize 1 is six", [](auto& c) { c.ByteSize = CnRS232::TByteSize::_6; }, &TtySettings::cflag, CSIZE, CS6},
        {"ByteSize 2 is seven", [](auto& c) { c.ByteSize = CnRS232::TByteSize::_7; }, &TtySettings::cflag, CSIZE, CS7},
        {"out-of-range ByteSize leaves the data bits", [](auto& c) { c.ByteSize = static_cast<CnRS232::TByteSize>(9); },
         &TtySettings::cflag, CSIZE, CS7},
        {"odd parity", [](auto& c) { c.Parity = CnRS232::TParity::paOdd; }, &TtySettings::cflag, PARENB | PARODD | CMSPAR,
         PARENB | PARODD},
        {"even parity", [](auto& c) { c.Parity = CnRS232::TParity::paEven; }, &TtySettings::cflag,
         PARENB | PARODD | CMSPAR, PARENB},
        {"mark parity", [](auto& c) { c.Parity = CnRS232::TParity::paMark; }, &TtySettings::cflag,
         PARENB | PARODD | CMSPAR, PARENB | PARODD | CMSPAR},
        {"space parity", [](auto& c) { c.Parity = CnRS232::TParity::paSpace; }, &TtySettings::cflag,
         PARENB | PARODD | CMSPAR, PARENB | CMSPAR},
        {"StopBits 1 (one and a half) sets the two-stop-bit flag", [](auto& c) { c.StopBits = CnRS232::TStopBits::_1_5; },
         &TtySettings::cflag, CSTOPB, CSTOPB},
        {"StopBits 2", [](auto& c) { c.StopBits = CnRS232::TStopBits::_2; }, &TtySettings::cflag, CSTOPB, CSTOPB},
        {"CTS output flow", [](auto& c) { c.Outx_CtsFlow = true; }, &TtySettings::cflag, CRTSCTS, CRTSCTS},
        {"RTS handshake", [](auto& c) { c.RtsControl = CnRS232::TRtsControl::RtsHandshake; }, &TtySettings::cflag, CRTSCTS,
         CRTSCTS},
        {"parity check", [](auto& c) { c.ParityCheck = true; }, &TtySettings::iflag, INPCK, INPCK},
        {"output XON/XOFF obeys the peer", [](auto& c) { c.Outx_XonXoffFlow = true; }, &TtySettings::iflag,
         IXON | IXOFF, IXON},
        {"input XON/XOFF throttles the peer", [](auto& c) { c.Inx_XonXoffFlow = true; }, &TtySettings::iflag,
         IXON | IXOFF, IXOFF},
        {"non-standard baud rate", [](auto& c) { c.BaudRate = 14400; }, &TtySettings::ospeed, 0xFFFFFFFF, 14400},
    };
    for (const Row& row : rows) {
        TCnRS232Config config = PortBFactorySettings().CommConfig;
        row.change(config);
        TtySettings t = Cooked();
        ApplyCnRS232Config(config, t);
        EXPECT_EQ(t.*row.field & row.mask, row.expected) << row.behaviour;
    }
}

TEST(ApplyCnRS232Config, XonAndXoffCharactersAreTheStartAndStopCharacters)
{
    TCnRS232Config config;
    config.XonChar = 0x11 + 1;
    config.XoffChar = 0x13 + 1;
    TtySettings t;
    ApplyCnRS232Config(config, t);
    EXPECT_EQ(t.cc[VSTART], 0x12);
    EXPECT_EQ(t.cc[VSTOP], 0x14);
}

TEST(ModemLinesAtOpen, FollowDtrAndRtsControl)
{
    using D = CnRS232::TDtrControl;
    using R = CnRS232::TRtsControl;
    constexpr int kDtr = ModemLine::kDtr;
    constexpr int kRts = ModemLine::kRts;
    struct Row
    {
        const char* behaviour;
        D dtr;
        R rts;
        CnRS232ModemLines expected;
    };
    const Row rows[] = {
        {"both enabled", D::DtrEnable, R::RtsEnable, {kDtr | kRts, 0}},
        {"both disabled (port B)", D::DtrDisable, R::RtsDisable, {0, kDtr | kRts}},
        {"DTR handshake keeps DTR up", D::DtrHandshake, R::RtsDisable, {kDtr, kRts}},
        {"RTS handshake leaves RTS to the kernel", D::DtrDisable, R::RtsHandshake, {0, kDtr}},
        {"RTS while sending starts low", D::DtrEnable, R::RtsTransmissionAvailable, {kDtr, kRts}},
        {"out-of-range values switch nothing", static_cast<D>(5), static_cast<R>(9), {0, 0}},
    };
    for (const Row& row : rows) {
        TCnRS232Config config;
        config.DtrControl = row.dtr;
        config.RtsControl = row.rts;
        EXPECT_EQ(ModemLinesAtOpen(config), row.expected) << row.behaviour;
    }
}

}  // namespace
