#include "tests/streams/relay_rig.h"

#include "app/main_window.h"
#include "net/tcp_client_page.h"
#include "net/tcp_server_page.h"
#include "serial/serial_a_page.h"
#include "serial/serial_b_page.h"
#include "tests/streams/run_event_loop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <unistd.h>

RelayRig::RelayRig(TForm1& form, ChannelId first, ChannelId second)
    : form_(form), ends_{End{first, {}, {}, -1}, End{second, {}, {}, -1}}
{
}

RelayRig::~RelayRig()
{
    // The window's channels close before the peers and the socat pairs go,
    // so none of them sees its device vanish while it is open.
    form_.chkRelay->setChecked(false);
    form_.tcpServer->chkTCPSrv->setChecked(false);
    if (form_.tcpClient->chkTCPClient->isChecked())
        form_.tcpClient->chkTCPClient->click();
    form_.ComA().Close();
    form_.ComB().Close();
    for (auto& peer : peers_)
        peer.reset();
    for (End& end : ends_) {
        if (end.fd >= 0)
            ::close(end.fd);
    }
}

bool RelayRig::Open(int timeoutMs)
{
    for (End& end : ends_) {
        if (!OpenEnd(end, timeoutMs))
            return false;
    }
    form_.cbbConnA->setCurrentIndex(ends_[0].channel);
    form_.cbbConnB->setCurrentIndex(ends_[1].channel);
    if (!form_.chkRelay->isChecked())
        form_.chkRelay->click();
    if (!form_.chkRelay->isChecked())
        return Fail(QStringLiteral("the relay did not switch on"));
    return true;
}

bool RelayRig::OpenEnd(End& end, int timeoutMs)
{
    switch (end.channel) {
    case COMA:
    case COMB: {
        end.pair = std::make_unique<SocatPair>();
        if (!end.pair->Ready())
            return Fail(QStringLiteral("socat did not make the pseudo-terminal pair"));
        if (end.channel == COMA) {
            form_.ComA().PickPortPath(end.pair->B());
            form_.serialA->btnOpenComClick();
        } else {
            form_.serialB->cbb2_COM->setEditText(end.pair->B());
            form_.serialB->btn2OpenCom->click();
        }
        const bool open = end.channel == COMA ? form_.ComA().IsOpen() : form_.ComB().IsOpen();
        if (!open)
            return Fail(EndName(end.channel) + QStringLiteral(" did not open ") + end.pair->B());
        end.fd = StreamPeer::OpenTerminal(end.pair->A());
        if (end.fd < 0)
            return Fail(QStringLiteral("cannot open ") + end.pair->A());
        return true;
    }
    case TCPS: {
        const quint16 port = LoopbackListener::FreePort();
        form_.tcpServer->edtTCPPort->setText(QString::number(port));
        form_.tcpServer->chkTCPSrv->setChecked(true);
        if (!RunEventLoopUntil([this] { return form_.TcpServer().IsListening(); }, timeoutMs))
            return Fail(QStringLiteral("the TCP server is not listening on %1").arg(port));
        return true;
    }
    case TCPC: {
        end.listener = std::make_unique<LoopbackListener>();
        form_.tcpClient->edtTCPClientHost->setText(QStringLiteral("127.0.0.1"));
        form_.tcpClient->edtTCPClientPort->setText(QString::number(end.listener->Port()));
        form_.tcpClient->chkTCPClient->click();
        const bool connected = RunEventLoopUntil(
            [&] {
                if (end.fd < 0)
                    end.fd = end.listener->TakeConnection();
                return end.fd >= 0 && form_.TcpClient().IsOpen();
            },
            timeoutMs);
        if (!connected)
            return Fail(QStringLiteral("the TCP client did not connect to 127.0.0.1:%1").arg(end.listener->Port()));
        return true;
    }
    default:
        return Fail(QStringLiteral("no peer for channel %1").arg(end.channel));
    }
}

bool RelayRig::Start(const Flow& flow)
{
    const StreamPeer::Plan plans[2] = {
        {flow.forward, kForwardSeed, flow.backward, kBackwardSeed, flow.holdFirstReading, flow.hashReceived},
        {flow.backward, kBackwardSeed, flow.forward, kForwardSeed, flow.holdSecondReading, flow.hashReceived},
    };
    for (int i = 0; i < 2; ++i) {
        End& end = ends_[i];
        if (end.channel == TCPS) {
            end.fd = LoopbackListener::Connect(form_.tcpServer->edtTCPPort->text().toUShort());
            if (end.fd < 0)
                return Fail(QStringLiteral("the TCP server refused the connection"));
            // The window accepts it and the relay's first chunk goes to it,
            // so the server must know it as its client before anything flows.
            if (!RunEventLoopUntil([this] { return form_.TcpServer().ReadyToSend(); }, 5000))
                return Fail(QStringLiteral("the TCP server did not take its client"));
        }
        peers_[i] = std::make_unique<StreamPeer>(end.fd, plans[i]);
        end.fd = -1;
    }
    return true;
}

bool RelayRig::Done() const
{
    for (const auto& peer : peers_) {
        if (!peer || !peer->SendDone() || !peer->ReceiveDone())
            return false;
    }
    return true;
}

bool RelayRig::Intact() const
{
    return Done() && peers_[0]->Intact() && peers_[1]->Intact();
}

bool RelayRig::Broken() const
{
    for (const auto& peer : peers_) {
        if (peer && (peer->Broken() || !peer->Intact()))
            return true;
    }
    return false;
}

QString RelayRig::Progress() const
{
    QString text;
    for (int i = 0; i < 2; ++i) {
        const StreamPeer* peer = peers_[i].get();
        text += EndName(ends_[i].channel) + QStringLiteral(" peer: ");
        if (!peer) {
            text += QStringLiteral("not started; ");
            continue;
        }
        text += QStringLiteral("sent %1, received %2, %3%4; ")
                    .arg(peer->Sent())
                    .arg(peer->Received())
                    .arg(peer->Intact() ? QStringLiteral("intact") : QStringLiteral("SPOILT"))
                    .arg(peer->Broken() ? QStringLiteral(", ") + peer->Failure() : QString());
    }
    return text;
}

QString RelayRig::EndName(ChannelId channel)
{
    switch (channel) {
    case COMA:
        return QStringLiteral("port_A");
    case COMB:
        return QStringLiteral("port_B");
    case TCPS:
        return QStringLiteral("tcp_server");
    case TCPC:
        return QStringLiteral("tcp_client");
    default:
        return ChannelName(channel);
    }
}

bool RelayRig::Fail(const QString& why)
{
    // The window's last lines usually say what went wrong.
    failure_ = why;
    const DisplayLineStore& lines = form_.DisplayLines();
    for (qsizetype i = std::max<qsizetype>(0, lines.LineCount() - 3); i < lines.LineCount(); ++i)
        failure_ += QStringLiteral("\n  ") + lines.At(i).text.left(200);
    return false;
}
