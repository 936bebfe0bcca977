#include "serial/cn_rs232_config.h"

#include <array>

namespace {

// The text for an enumeration value, empty outside the enumeration.
template <typename Enum, size_t N>
QString PartText(Enum value, const std::array<const char*, N>& texts)
{
    const auto index = static_cast<size_t>(value);
    return index < N ? QString::fromUtf8(texts[index]) : QString();
}

}  // namespace

CnRS232Settings PortBFactorySettings()
{
    CnRS232Settings settings;
    settings.CommName = QStringLiteral("/dev/ttyS0");
    settings.CommConfig.BaudRate = 19200;
    settings.CommConfig.DtrControl = CnRS232::TDtrControl::DtrDisable;
    settings.CommConfig.RtsControl = CnRS232::TRtsControl::RtsDisable;
    settings.Timeouts.ReadIntervalTimeout = 120;
    return settings;
}

QString DescribeCnRS232(const QString& commName, const TCnRS232Config& config)
{
    static constexpr std::array<const char*, 4> kByteSizes = {"  5", "  6", "  7", "  8"};
    static constexpr std::array<const char*, 5> kParities = {"   None", "   Odd", "   Even", "   Mark", "   Space"};
    static constexpr std::array<const char*, 3> kStopBits = {"   1", "   1.5", "   2"};
    static constexpr std::array<const char*, 4> kRts = {"  RTS允许", "  RTS禁止", "  RTS握手", "  RTS触发方式"};
    return commName + QStringLiteral("  ") + QString::number(config.BaudRate) +
           PartText(config.ByteSize, kByteSizes) + PartText(config.Parity, kParities) +
           PartText(config.StopBits, kStopBits) + PartText(config.RtsControl, kRts);
}
