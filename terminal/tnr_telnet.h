#pragma once

#include "protocol/tnr_data_protocol.h"

#include <QByteArray>

#include <functional>

enum TnrTelnetCommands {
    tcDO,
    tcDONT,
    tcWILL,
    tcWONT,
    tcSBSE,
    tcNOP,
    tcDM,
    tcBRK,
    tcIP,
    tcAO,
    tcAYT,
    tcEC,
    tcEL,
    tcGA,
    tcESC
};

// The telnet responder (RFC 854): recognises IAC commands in the byte stream
// and answers option negotiation for terminal type (RFC 1091), window size
// (RFC 1073), terminal speed (RFC 1079) and the environment (RFC 1572). The
// answers leave through DoDataSend, that is through OnDataSend.
class TnrTelnet : public TnrDataProtocol
{
    Q_OBJECT

public:
    using TnrTelnetPacketEvent = std::function<void(TnrTelnet* Sender, TnrDataPacket* packet, TnrTelnetCommands cmd)>;

    static constexpr unsigned char IAC = 0xFF;
    static constexpr unsigned char DONT = 0xFE;
    static constexpr unsigned char DO = 0xFD;
    static constexpr unsigned char WONT = 0xFC;
    static constexpr unsigned char WILL = 0xFB;
    static constexpr unsigned char SB = 0xFA;
    static constexpr unsigned char SE = 0xF0;

    explicit TnrTelnet(QObject* parent = nullptr);

    // A completed command is answered, reported through OnTelnetPacket and
    // the base report, then reset.
    int IsPacket(unsigned char byte) override;
    bool IsPacketPossible() const override { return possible_; }
    void Reset() override;

    // Stores the size for the window size report and sends it when `report` is set.
    void SetTerminalSize(unsigned columns, unsigned rows, bool report);
    unsigned Columns() const { return columns_; }
    unsigned Rows() const { return rows_; }

    // Answers for SEND subnegotiations; empty texts send the defaults.
    QByteArray TerminalType;
    QByteArray TerminalSpeed;
    QByteArray TerminalDisplay;

    TnrTelnetPacketEvent OnTelnetPacket;

protected:
    virtual void HandleOptionPacket(TnrTelnetCommands command, unsigned char option, TnrDataPacket* packet);

private:
    void SendWindowSize();
    void SendSubnegotiation(unsigned char option, const QByteArray& text);
    void SendAnswer(unsigned char verb, unsigned char option);

    unsigned columns_ = 80;
    unsigned rows_ = 24;
    bool possible_ = false;
};
