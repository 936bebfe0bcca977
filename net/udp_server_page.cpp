#include "net/udp_server_page.h"

#include "core/indicator_shape.h"
#include "core/message_box.h"
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

#include <exception>
#include <netdb.h>
#include <stdexcept>

using namespace PageControls;

namespace {

[[noreturn]] void Fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

const QString kNoBindings = QStringLiteral("No bindings specified.");

}  // namespace

UdpServerPage::UdpServerPage(ReceivePipeline& pipeline, QWidget* parent)
    : ChannelPage(parent), pipeline_(pipeline), resolver_(&NameResolver::System())
{
    setObjectName(QStringLiteral("tsUDPS"));
    GroupBox2 = new QGroupBox(QStringLiteral("UDP服务器"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    lblUDPIP = NewLabel("lblUDPIP", QStringLiteral("对方IP:  "), GroupBox2);
    edtUDPRemoteHost = NewEdit("edtUDPRemoteHost", QStringLiteral("127.0.0.1"), GroupBox2);
    edtUDPRemoteHost->setToolTip(QStringLiteral("留空或255.255.255.255为广播"));
    Label5 = NewLabel("Label5", QStringLiteral("："), GroupBox2);
    edtUDPRemotePort = NewPortEdit("edtUDPRemotePort", QStringLiteral("10009"), GroupBox2);
    Label6 = NewLabel("Label6", QStringLiteral("监听端口:  "), GroupBox2);
    edtLocalPort = NewPortEdit("edtLocalPort", QStringLiteral("10008"), GroupBox2);
    chkUDPSrv = NewCheckBox("chkUDPSrv", QStringLiteral("启用"), GroupBox2);
    ShapeUDP = new IndicatorShape(QStringLiteral("ShapeUDP"), GroupBox2);
    sendPanel = new SendPanel({"mmoUDP", "chkHexUDP", nullptr, "chkEchoUDPS", "btnSendUDP"},
                              QString::fromUtf8(SendPanel::kDesignMemoText), this);
    IdUDPServer1.setObjectName(QStringLiteral("IdUDPServer1"));

    auto* grid = new QGridLayout(GroupBox2);
    grid->addWidget(lblUDPIP, 0, 0);
    grid->addWidget(edtUDPRemoteHost, 0, 1);
    grid->addWidget(Label5, 0, 2);
    grid->addWidget(edtUDPRemotePort, 0, 3);
    grid->addWidget(Label6, 1, 0);
    grid->addWidget(edtLocalPort, 1, 1);
    grid->addWidget(chkUDPSrv, 1, 2);
    grid->addWidget(ShapeUDP, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox2);
    layout->addWidget(sendPanel, 1);

    connect(chkUDPSrv, &QCheckBox::toggled, this, &UdpServerPage::chkUDPSrvClick);
    connect(&IdUDPServer1, &QUdpSocket::readyRead, this, &UdpServerPage::ReadDatagrams);
}

void UdpServerPage::chkUDPSrvClick()
{
    const QString localText = edtLocalPort->text().trimmed();
    if (localText.isEmpty() || edtUDPRemotePort->text().trimmed().isEmpty()) {
        chkUDPSrv->setChecked(false);
        ShapeUDP->SetBrushColor(IndicatorShape::kClosed);
        return;
    }
    if (!chkUDPSrv->isChecked()) {
        IdUDPServer1.close();
        ShapeUDP->SetBrushColor(IndicatorShape::kClosed);
        return;
    }
    ShapeUDP->SetBrushColor(IndicatorShape::kOpen);
    try {
        OpenServer(static_cast<quint16>(localText.toInt()));
    } catch (const std::exception& error) {
        // The box stays checked and the indicator green, as the user set them.
        MessageBox::Show(QString::fromUtf8(error.what()));
    }
}

void UdpServerPage::OpenServer(std::optional<quint16> enablePort)
{
    if (IsListening())
        return;
    if (enablePort) {
        const bool first = !bindingPort_.has_value();
        bindingPort_ = enablePort;
        // The very first enable on port 0 finds no binding to open; later
        // ones bind a port of the system's choosing.
        if (first && *enablePort == 0)
            Fail(kNoBindings);
    }
    if (!bindingPort_)
        Fail(kNoBindings);
    IdUDPServer1.close();
    // Not shared: a port another program holds must make this bind fail.
    if (IdUDPServer1.bind(QHostAddress(QHostAddress::AnyIPv4), *bindingPort_, QAbstractSocket::DontShareAddress))
        return;
    if (IdUDPServer1.error() == QAbstractSocket::AddressInUseError)
        Fail(QStringLiteral("Could not bind socket. Address and port are already in use."));
    Fail(IdUDPServer1.errorString());
}

void UdpServerPage::ReadDatagrams()
{
    ReadPendingDatagrams(IdUDPServer1, [this](const QNetworkDatagram& datagram) {
        IdUDPServer1UDPRead(datagram.data(), datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
        return IsListening();
    });
}

void UdpServerPage::IdUDPServer1UDPRead(const QByteArray& data, const QHostAddress& sender, quint16 senderPort)
{
    if (data.isEmpty())
        return;
    const QString address = sender.toString();
    edtUDPRemoteHost->setText(address);
    edtUDPRemotePort->setText(QString::number(senderPort));
    pipeline_.ProcessReceived(data, QStringLiteral("UDP服务器[%1:%2]").arg(address).arg(senderPort), UDPS);
}

QHostAddress UdpServerPage::ResolveTarget(const QString& host)
{
    if (host.compare(QLatin1String("LOCALHOST"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    const QHostAddress literal = LiteralAddress(host);
    if (!literal.isNull())
        return literal;
    const QHostAddress found = PreferredAddress(resolver_->LookupAddressesWaiting(host));
    if (found.isNull())
        Fail(QStringLiteral("Socket Error # %1\n%2").arg(HOST_NOT_FOUND).arg(QString::fromLocal8Bit(hstrerror(HOST_NOT_FOUND))));
    return found;
}

SendTarget::WriteResult UdpServerPage::Write(const QByteArray& payload)
{
    const QString host = edtUDPRemoteHost->text().trimmed();
    const QString portText = edtUDPRemotePort->text();
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!ok)
        Fail(NotAnIntegerText(portText));
    OpenServer(std::nullopt);
    if (payload.size() > kMaxUdpPayload)
        Fail(QStringLiteral("Package Size Too Big."));

    const bool broadcast = host.isEmpty() || host == QLatin1String("255.255.255.255");
    const QHostAddress target = broadcast ? QHostAddress(QHostAddress::Broadcast) : ResolveTarget(host);
    const qint64 sent = IdUDPServer1.writeDatagram(payload, target, static_cast<quint16>(port));
    if (sent < 0)
        Fail(IdUDPServer1.errorString());
    if (sent != payload.size())
        Fail(QStringLiteral("Not all bytes sent."));
    return {payload.size(), broadcast};
}

void UdpServerPage::Shutdown()
{
    IdUDPServer1.close();
}
