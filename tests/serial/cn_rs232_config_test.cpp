#include "serial/cn_rs232_config.h"

#include <gtest/gtest.h>

namespace {

TEST(DescribeCnRS232, NamesThePortAndEachSetting)
{
    struct Row
    {
        const char* behaviour;
        std::function<void(TCnRS232Config&)> change;
        const char* expected;
    };
    const QString port = QStringLiteral("/dev/ttyUSB0");
    const Row rows[] = {
        {"factory settings of port B", [](auto&) {}, "/dev/ttyUSB0  19200  8   None   1  RTS禁止"},
        {"five data bits, odd parity, one and a half stop bits",
         [](auto& c) {
             c.ByteSize = CnRS232::TByteSize::_5;
             c.Parity = CnRS232::TParity::paOdd;
             c.StopBits = CnRS232::TStopBits::_1_5;
         },
         "/dev/ttyUSB0  19200  5   Odd   1.5  RTS禁止"},
        {"six bits, even, two stop bits, RTS on",
         [](auto& c) {
             c.ByteSize = CnRS232::TByteSize::_6;
             c.Parity = CnRS232::TParity::paEven;
             c.StopBits = CnRS232::TStopBits::_2;
             c.RtsControl = CnRS232::TRtsControl::RtsEnable;
         },
         "/dev/ttyUSB0  19200  6   Even   2  RTS允许"},
        {"seven bits, mark, handshake",
         [](auto& c) {
             c.ByteSize = CnRS232::TByteSize::_7;
             c.Parity = CnRS232::TParity::paMark;
             c.RtsControl = CnRS232::TRtsControl::RtsHandshake;
         },
         "/dev/ttyUSB0  19200  7   Mark   1  RTS握手"},
        {"space parity, RTS while sending",
         [](auto& c) {
             c.Parity = CnRS232::TParity::paSpace;
             c.RtsControl = CnRS232::TRtsControl::RtsTransmissionAvailable;
             c.BaudRate = 9600;
         },
         "/dev/ttyUSB0  9600  8   Space   1  RTS触发方式"},
        {"values outside their enumerations add nothing",
         [](auto& c) {
             c.ByteSize = static_cast<CnRS232::TByteSize>(4);
             c.Parity = static_cast<CnRS232::TParity>(5);
             c.StopBits = static_cast<CnRS232::TStopBits>(3);
             c.RtsControl = static_cast<CnRS232::TRtsControl>(4);
         },
         "/dev/ttyUSB0  19200"},
    };
    for (const Row& row : rows) {
        TCnRS232Config config = PortBFactorySettings().CommConfig;
        row.change(config);
        EXPECT_EQ(DescribeCnRS232(port, config), QString::fromUtf8(row.expected)) << row.behaviour;
    }
}

TEST(PortBFactorySettings, DiffersFromTheComponentDefaultsWherePortBDoes)
{
    const CnRS232Settings settings = PortBFactorySettings();
    TCnRS232Config expected;
    expected.BaudRate = 19200;
    expected.DtrControl = CnRS232::TDtrControl::DtrDisable;
    expected.RtsControl = CnRS232::TRtsControl::RtsDisable;
    EXPECT_EQ(settings.CommConfig, expected);
    EXPECT_EQ(settings.Timeouts, (TCnRS232Timeouts{120, 0, 0, 0, 0}));
}

}  // namespace
