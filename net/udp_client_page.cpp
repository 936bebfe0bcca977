#include "net/udp_client_page.h"

#include "core/indicator_shape.h"
#include "data/receive_pipeline.h"
#include "net/datagram_reader.h"
#include "net/name_resolver.h"
#include "net/page_controls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QVBoxLayout>

#include <stdexcept>

using namespace PageControls;

UdpClientPage::UdpClientPage(ReceivePipeline& pipeline, QWidget* parent)
    : ChannelPage(parent), pipeline_(pipeline), resolver_(&NameResolver::System())
{
    setObjectName(QStringLiteral("tsUDPC"));
    GroupBox6 = new QGroupBox(QStringLiteral("UDP客户端"), this);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    Label3 = NewLabel("Label3", QStringLiteral("对方IP:  "), GroupBox6);
    edtUDPClientRemoteHost = NewEdit("edtUDPClientRemoteHost", QStringLiteral("127.0.0.1"), GroupBox6);
    Label7 = NewLabel("Label7", QStringLiteral("："), GroupBox6);
    edtUDPClientRemotePort = NewPortEdit("edtUDPClientRemotePort", QStringLiteral("10008"), GroupBox6);
    Label4 = NewLabel("Label4", QStringLiteral("本地端口:  "), GroupBox6);
    edtUDPClientLocalPort = NewPortEdit("edtUDPClientLocalPort", QStringLiteral("10009"), GroupBox6);
    chkUDPClient = NewCheckBox("chkUDPClient", QStringLiteral("启用"), GroupBox6);
    ShapeUDPClient = new IndicatorShape(QStringLiteral("ShapeUDPClient"), GroupBox6);
    sendPanel = new SendPanel({"mmoUDPClient", "chkHexUDPClient", nullptr, "chkEchoUDPC", "btnSendUDPClient"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);
    NMUDP2.setObjectName(QStringLiteral("NMUDP2"));

    auto* grid = new QGridLayout(GroupBox6);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(edtUDPClientRemoteHost, 0, 1);
    grid->addWidget(Label7, 0, 2);
    grid->addWidget(edtUDPClientRemotePort, 0, 3);
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(edtUDPClientLocalPort, 1, 1);
    grid->addWidget(chkUDPClient, 1, 2);
    grid->addWidget(ShapeUDPClient, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox6);
    layout->addWidget(sendPanel, 1);

    connect(chkUDPClient, &QCheckBox::toggled, this, &UdpClientPage::chkUDPClientClick);
    connect(&NMUDP2, &QUdpSocket::readyRead, this, &UdpClientPage::ReadDatagrams);
}

void UdpClientPage::Start()
{
    NMUDP2.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QAbstractSocket::DontShareAddress);
}

void UdpClientPage::chkUDPClientClick()
{
    const QString localText = edtUDPClientLocalPort->text().trimmed();
    const QString host = edtUDPClientRemoteHost->text().trimmed();
    const QString remotePortText = edtUDPClientRemotePort->text().trimmed();
    if (localText.isEmpty() || host.isEmpty() || remotePortText.isEmpty()) {
        chkUDPClient->setChecked(false);
        ShapeUDPClient->SetBrushColor(IndicatorShape::kClosed);
        return;
    }
    if (!chkUDPClient->isChecked()) {
        // The socket stays bound and the channel can still send.
        delivery_ = false;
        ShapeUDPClient->SetBrushColor(IndicatorShape::kClosed);
        return;
    }
    delivery_ = true;
    remoteHost_ = host;
    remotePort_ = static_cast<quint16>(remotePortText.toInt());
    NMUDP2.close();
    // The bind is not checked: on a taken port the socket gets a port of the
    // system's choosing with its first send.
    NMUDP2.bind(QHostAddress(QHostAddress::AnyIPv4), static_cast<quint16>(localText.toInt()),
                QAbstractSocket::DontShareAddress);
    ShapeUDPClient->SetBrushColor(IndicatorShape::kOpen);
}

void UdpClientPage::ReadDatagrams()
{
    // While delivery is off, datagrams are still read, and thrown away.
    ReadPendingDatagrams(NMUDP2, [this](const QNetworkDatagram& datagram) {
        if (delivery_ && !datagram.data().isEmpty())
            NMUDP2DataReceived(datagram.data(), static_cast<quint16>(datagram.senderPort()),
                               datagram.senderAddress().toString());
        return true;
    });
}

void UdpClientPage::NMUDP2DataReceived(const QByteArray& data, quint16 port, const QString& fromIp)
{
    pipeline_.ProcessReceived(data, QStringLiteral("UDP[%1:%2]").arg(fromIp).arg(port), UDPC);
}

QHostAddress UdpClientPage::ResolveRemote()
{
    const QHostAddress literal = LiteralAddress(remoteHost_);
    if (!literal.isNull())
        return literal;
    // A name gets a second chance before the send is given up.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QHostAddress found = PreferredAddress(resolver_->LookupAddressesWaiting(remoteHost_));
        if (!found.isNull())
            return found;
    }
    throw std::runtime_error("Host Lookup Canceled");
}

SendTarget::WriteResult UdpClientPage::Write(const QByteArray& payload)
{
    if (payload.isEmpty())
        throw std::runtime_error("Invalid buffer");
    // Such a datagram can never be sent; counting it as sent would hide that.
    if (payload.size() > kMaxUdpPayload)
        throw std::runtime_error("Package Size Too Big.");
    const QHostAddress target = ResolveRemote();
    NMUDP2.writeDatagram(payload, target, remotePort_);
    return {payload.size()};
}

void UdpClientPage::Shutdown()
{
    NMUDP2.close();
}
