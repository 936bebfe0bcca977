#include "serial/cn_rs232_line_settings.h"

#include <asm/termbits.h>

void ApplyCnRS232Config(const TCnRS232Config& config, TtySettings& t)
{
    t.iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                 IXANY | IXOFF | IMAXBEL);
    if (config.ParityCheck)
        t.iflag |= INPCK;
    if (config.Outx_XonXoffFlow)
        t.iflag |= IXON;
    if (config.Inx_XonXoffFlow)
        t.iflag |= IXOFF;
    t.oflag &= ~OPOST;
    t.lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);

    static constexpr quint32 kSizes[] = {CS5, CS6, CS7, CS8};
    const auto byteSize = static_cast<size_t>(config.ByteSize);
    if (byteSize < std::size(kSizes))
        t.cflag = (t.cflag & ~CSIZE) | kSizes[byteSize];

    static constexpr quint32 kParities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
    const auto parity = static_cast<size_t>(config.Parity);
    if (parity < std::size(kParities))
        t.cflag = (t.cflag & ~(PARENB | PARODD | CMSPAR)) | kParities[parity];

    static constexpr quint32 kStopBits[] = {0, CSTOPB, CSTOPB};
    const auto stopBits = static_cast<size_t>(config.StopBits);
    if (stopBits < std::size(kStopBits))
        t.cflag = (t.cflag & ~CSTOPB) | kStopBits[stopBits];

    // Modem control lines do not gate reception: the port works without carrier.
    t.cflag |= CREAD | CLOCAL;
    if (config.Outx_CtsFlow || config.RtsControl == CnRS232::TRtsControl::RtsHandshake)
        t.cflag |= CRTSCTS;
    else
        t.cflag &= ~CRTSCTS;

    t.cflag = (t.cflag & ~(CBAUD | CIBAUD)) | BOTHER | (BOTHER << IBSHIFT);
    t.ispeed = config.BaudRate;
    t.ospeed = config.BaudRate;

    t.cc[VSTART] = config.XonChar;
    t.cc[VSTOP] = config.XoffChar;
    // Reads never block; the reader waits with poll() and keeps its own time-outs.
    t.cc[VMIN] = 1;
    t.cc[VTIME] = 0;
}

CnRS232ModemLines ModemLinesAtOpen(const TCnRS232Config& config)
{
    CnRS232ModemLines lines;
    switch (config.DtrControl) {
    case CnRS232::TDtrControl::DtrEnable:
    case CnRS232::TDtrControl::DtrHandshake:  // no DTR handshake here: the line stays up
        lines.on |= ModemLine::kDtr;
        break;
    case CnRS232::TDtrControl::DtrDisable:
        lines.off |= ModemLine::kDtr;
        break;
    }
    switch (config.RtsControl) {
    case CnRS232::TRtsControl::RtsEnable:
        lines.on |= ModemLine::kRts;
        break;
    case CnRS232::TRtsControl::RtsDisable:
    case CnRS232::TRtsControl::RtsTransmissionAvailable:
        lines.off |= ModemLine::kRts;
        break;
    case CnRS232::TRtsControl::RtsHandshake:
        break;
    }
    return lines;
}
