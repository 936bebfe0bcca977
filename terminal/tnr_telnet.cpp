#include "terminal/tnr_telnet.h"

#include "io/tnr_timer.h"

namespace {

// Telnet options this responder knows (IANA telnet option numbers).
constexpr unsigned char kOptionTerminalType = 24;
constexpr unsigned char kOptionWindowSize = 31;
constexpr unsigned char kOptionTerminalSpeed = 32;
constexpr unsigned char kOptionDisplay = 35;
constexpr unsigned char kOptionEnvironment = 39;
constexpr unsigned char kOptionStatus = 5;
constexpr unsigned char kSubnegotiationSend = 1;
constexpr qsizetype kAnswerTextMax = 40;

}  // namespace

TnrTelnet::TnrTelnet(QObject* parent) : TnrDataProtocol(parent)
{
    SetLogPrefix(QStringLiteral("nrTelnet: "));
    SetActive(true);
    // The terminal feeds the responder byte by byte and never waits for a
    // reply: a handled send must not re-arm an idle timer.
    Timer()->SetInterval(0);
    auto add = [this](QByteArray begin, QByteArray end, int length, TnrTelnetCommands command) {
        TnrDataPacket* packet = DataPackets().Add();
        packet->Caption = QStringLiteral("TELNET cmd");
        packet->PacketBegin = begin;
        packet->PacketEnd = end;
        packet->PacketLength = length;
        packet->Active = true;
        packet->ResetOthers = true;
        packet->Tag = command;
    };
    auto bytes = [](std::initializer_list<unsigned char> list) {
        QByteArray text;
        for (unsigned char c : list)
            text.append(static_cast<char>(c));
        return text;
    };
    add(bytes({IAC, DO}), {}, 3, tcDO);
    add(bytes({IAC, WILL}), {}, 3, tcWILL);
    add(bytes({IAC, WONT}), {}, 3, tcWONT);
    add(bytes({IAC, DONT}), {}, 3, tcDONT);
    add(bytes({IAC, SB}), bytes({IAC, SE}), 0, tcSBSE);
    // NOP, DM, BRK, IP, AO, AYT, EC, EL, GA: 0xF1 to 0xF9.
    for (int code = 0xF1; code <= 0xF9; ++code)
        add(bytes({IAC, static_cast<unsigned char>(code)}), {}, 2,
            static_cast<TnrTelnetCommands>(tcNOP + (code - 0xF1)));
    Reset();
}

int TnrTelnet::IsPacket(unsigned char byte)
{
    if (!possible_ && byte != IAC)
        return -1;
    const int index = DataPackets().IsPacket(byte);
    if (index < 0) {
        possible_ = DataPackets().IsPossible();
        if (!possible_)
            for (int i = 0; i < DataPackets().Count() && !possible_; ++i)
                possible_ = DataPackets().Item(i)->State() != dpsWaitBegin;
        return -1;
    }
    possible_ = false;
    TnrDataPacket* packet = DataPackets().Item(index);
    const auto command = static_cast<TnrTelnetCommands>(packet->Tag);
    const QByteArrayView data = packet->Data();
    const unsigned char option = data.size() > 2 ? static_cast<unsigned char>(data[2]) : 0;
    try {
        HandleOptionPacket(command, option, packet);
        if (OnTelnetPacket)
            OnTelnetPacket(this, packet, command);
    } catch (...) {
    }
    DoHandlePacket(index);
    packet->Reset();
    return index;
}

void TnrTelnet::Reset()
{
    TnrDataProtocol::Reset();
    possible_ = false;
}

void TnrTelnet::HandleOptionPacket(TnrTelnetCommands command, unsigned char option, TnrDataPacket* packet)
{
    switch (command) {
    case tcDO:
        if (option == kOptionTerminalType || option == kOptionWindowSize || option == kOptionTerminalSpeed ||
            option == kOptionEnvironment) {
            SendAnswer(WILL, option);
            if (option == kOptionWindowSize)
                SendWindowSize();
        } else {
            SendAnswer(WONT, option);
        }
        break;
    case tcWILL:
        if (option == kOptionStatus)
            SendAnswer(DONT, option);
        break;
    case tcSBSE: {
        // IAC SB option SEND ... IAC SE
        const QByteArrayView data = packet->Data();
        if (data.size() < 4 || static_cast<unsigned char>(data[3]) != kSubnegotiationSend)
            break;
        switch (option) {
        case kOptionTerminalType:
            SendSubnegotiation(option, TerminalType.isEmpty() ? QByteArray("XTERM") : TerminalType);
            break;
        case kOptionTerminalSpeed:
            SendSubnegotiation(option, TerminalSpeed.isEmpty() ? QByteArray("19200,19200") : TerminalSpeed);
            break;
        case kOptionDisplay:
            SendSubnegotiation(option, TerminalDisplay.isEmpty() ? QByteArray("TnrTerminal:0.0") : TerminalDisplay);
            break;
        case kOptionEnvironment:
            SendSubnegotiation(option, QByteArray());
            break;
        default:
            if (Log() != nullptr)
                Logging(dlDetail,
                        QStringLiteral("UNHANDLED option:") + QStringLiteral("%1").arg(option, 2, 16, QLatin1Char('0')).toUpper());
            break;
        }
        break;
    }
    default:
        break;
    }
}

void TnrTelnet::SetTerminalSize(unsigned columns, unsigned rows, bool report)
{
    columns_ = columns;
    rows_ = rows;
    if (report)
        SendWindowSize();
}

void TnrTelnet::SendAnswer(unsigned char verb, unsigned char option)
{
    const char answer[3] = {static_cast<char>(IAC), static_cast<char>(verb), static_cast<char>(option)};
    DoDataSend(answer, 3);
}

void TnrTelnet::SendWindowSize()
{
    QByteArray report;
    report.append(static_cast<char>(IAC)).append(static_cast<char>(SB)).append(static_cast<char>(kOptionWindowSize));
    // A value byte equal to IAC is doubled, as every data byte 255 in a
    // subnegotiation must be (RFC 854, RFC 1073).
    auto put = [&report](unsigned value) {
        for (const unsigned shift : {8U, 0U}) {
            const auto byte = static_cast<char>((std::min(value, 0xFFFFU) >> shift) & 0xFF);
            report.append(byte);
            if (static_cast<unsigned char>(byte) == IAC)
                report.append(byte);
        }
    };
    put(columns_);
    put(rows_);
    report.append(static_cast<char>(IAC)).append(static_cast<char>(SE));
    DoDataSend(report.constData(), static_cast<quint32>(report.size()));
}

void TnrTelnet::SendSubnegotiation(unsigned char option, const QByteArray& text)
{
    QByteArray answer;
    answer.append(static_cast<char>(IAC)).append(static_cast<char>(SB)).append(static_cast<char>(option)).append('\0');
    answer.append(text.left(kAnswerTextMax));
    answer.append(static_cast<char>(IAC)).append(static_cast<char>(SE));
    DoDataSend(answer.constData(), static_cast<quint32>(answer.size()));
}
