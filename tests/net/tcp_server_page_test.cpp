#include "net/tcp_server_page.h"
#include "core/indicator_shape.h"
#include "net/tcp_server_channel.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <vector>

namespace {

class TcpServerPageTest : public NetFormTest
{
protected:
    TcpServerPageTest() : page(*form.tcpServer), channel(form.TcpServer()) {}

    // Enables the server on a free port and returns that port.
    quint16 Enable()
    {
        const quint16 port = FreePort(true);
        page.edtTCPPort->setText(QString::number(port));
        page.chkTCPSrv->setChecked(true);
        EXPECT_TRUE(channel.IsListening());
        return port;
    }

    // A client connected to the server and seen by it.
    QTcpSocket* Connect(quint16 port)
    {
        clients.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket* client = clients.back().get();
        const size_t before = channel.Clients().size();
        client->connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(WaitFor([&] { return channel.Clients().size() == before + 1; }));
        return client;
    }

    QStringList Items() const
    {
        QStringList items;
        for (int i = 0; i < page.cbListClient->count(); ++i)
            items << page.cbListClient->itemText(i);
        return items;
    }

    static QString ItemFor(const QString& name, const QTcpSocket* client, const TcpClientRecord& record)
    {
        return QStringLiteral("%1:%2  %3 ").arg(name).arg(client->localPort()).arg(record.identifier);
    }

    static QString Peer(const QTcpSocket* client)
    {
        return QStringLiteral("127.0.0.1:%1").arg(client->localPort());
    }

    TcpServerPage& page;
    TcpServerChannel& channel;
    std::vector<std::unique_ptr<QTcpSocket>> clients;
};

TEST_F(TcpServerPageTest, EnablingListensPaintsGreenAndStartsWithAnEmptyList)
{
    EXPECT_EQ(page.cbListClient->currentText(), QStringLiteral("客户端列表"));
    const quint16 port = Enable();
    EXPECT_EQ(Texts().last(), QStringLiteral("TCP Server 正在监听%1端口").arg(port));
    EXPECT_EQ(page.ShapeTCP->BrushColor(), IndicatorShape::kOpen);
    EXPECT_EQ(page.cbListClient->count(), 0);
    EXPECT_EQ(page.cbListClient->currentIndex(), -1);
    EXPECT_TRUE(messages.messages.isEmpty());

    page.chkTCPSrv->setChecked(false);
    EXPECT_FALSE(channel.IsListening());
    EXPECT_EQ(page.ShapeTCP->BrushColor(), IndicatorShape::kClosed);
}

TEST_F(TcpServerPageTest, PortsThatCannotBeListenedOn)
{
    // Another program's listener, on the loopback address or on another
    // address of the loopback range, and texts that are no port number.
    enum Holder { kNone, kLoopback, kOtherAddress };
    const struct
    {
        const char* behaviour;
        Holder holder;
        const char* portText;  // nullptr: the held port
        const char* message;   // %1: the port
        bool checkedAfter;
    } rows[] = {
        {"port held on 127.0.0.1 is reported in use and unchecks", kLoopback, nullptr, "端口%1已占用", false},
        {"port held on another address fails the bind and unchecks", kOtherAddress, nullptr,
         "Windows socket error: Address already in use (98), on API 'bind'", false},
        {"letters are no port and uncheck", kNone, "12ab", "'12ab' is not a valid integer value", false},
        {"an empty text is no port and unchecks", kNone, "", "'' is not a valid integer value", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        QTcpServer holder;
        if (row.holder == kLoopback) {
            ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
        } else if (row.holder == kOtherAddress) {
            ASSERT_TRUE(holder.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        }
        const QString port = QString::number(holder.serverPort());
        page.edtTCPPort->setText(row.portText ? QString::fromUtf8(row.portText) : port);
        messages.messages.clear();
        const qsizetype mark = LineCount();

        page.chkTCPSrv->setChecked(true);

        EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(row.message).arg(port)});
        EXPECT_EQ(page.chkTCPSrv->isChecked(), row.checkedAfter);
        EXPECT_FALSE(channel.IsListening());
        EXPECT_EQ(page.ShapeTCP->BrushColor(), IndicatorShape::kClosed);
        EXPECT_TRUE(TextsSince(mark).filter(QStringLiteral("正在监听")).isEmpty());
        page.chkTCPSrv->setChecked(false);
    }
}

TEST_F(TcpServerPageTest, ClientsAreListedInOrderTheNewestSelectedAndSendsReachOnlyIt)
{
    resolver.names[QStringLiteral("127.0.0.1")] = QStringLiteral("localhost");
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    QTcpSocket* b = Connect(port);
    EXPECT_TRUE(HasLine(Peer(a) + QStringLiteral("  已连接")));
    EXPECT_TRUE(HasLine(Peer(b) + QStringLiteral("  已连接")));

    // Items show the reverse lookup's name once it answers.
    ASSERT_TRUE(WaitFor([&] { return Items().first().startsWith(QStringLiteral("localhost:")); }));
    ASSERT_TRUE(WaitFor([&] { return Items().last().startsWith(QStringLiteral("localhost:")); }));
    const auto& records = channel.Clients();
    EXPECT_EQ(Items(), QStringList({ItemFor(QStringLiteral("localhost"), a, records[0]),
                                    ItemFor(QStringLiteral("localhost"), b, records[1])}));
    EXPECT_NE(records[0].identifier, records[1].identifier);
    EXPECT_EQ(page.cbListClient->currentIndex(), 1);
    EXPECT_EQ(page.cbListClient->currentText(), Items().last());

    page.sendPanel->memo->setPlainText(QStringLiteral("to B"));
    form.SendButtonClick(TCPS);
    ASSERT_TRUE(WaitFor([&] { return b->bytesAvailable() >= 4; }));
    EXPECT_EQ(b->readAll(), QByteArray("to B"));
    Settle(50);
    EXPECT_EQ(a->bytesAvailable(), 0);
    EXPECT_EQ(Texts().mid(Texts().size() - 2),
              QStringList({QStringLiteral("TCP Server发送文本数据4字节："), QStringLiteral("to B")}));

    const QString bPeer = Peer(b);
    b->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return channel.Clients().size() == 1; }));
    EXPECT_TRUE(HasLine(bPeer + QStringLiteral("  已断开")));
    EXPECT_EQ(page.cbListClient->count(), 1);
    EXPECT_EQ(page.cbListClient->currentIndex(), 0);
    EXPECT_EQ(page.cbListClient->currentText(), ItemFor(QStringLiteral("localhost"), a, channel.Clients()[0]));
}

TEST_F(TcpServerPageTest, PickingAnItemOrTypingItsTextChoosesWhereSendsGo)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    QTcpSocket* b = Connect(port);
    const struct
    {
        const char* behaviour;
        std::function<void()> choose;
        QTcpSocket* reached;
    } rows[] = {
        {"the first item picked", [&] { page.cbListClient->setCurrentIndex(0); }, a},
        {"the text of the second item typed", [&] { page.cbListClient->setEditText(Items().last()); }, b},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        row.choose();
        form.SendToChannel("hi", TCPS, false);
        ASSERT_TRUE(WaitFor([&] { return row.reached->bytesAvailable() >= 2; }));
        EXPECT_EQ(row.reached->readAll(), QByteArray("hi"));
    }
    Settle(50);
    EXPECT_EQ(a->bytesAvailable() + b->bytesAvailable(), 0);
}

TEST_F(TcpServerPageTest, ClientWithoutANameIsListedByPortAndIdentifier)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    Settle(20);
    EXPECT_EQ(resolver.asked, QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(Items(), QStringList{QStringLiteral(":%1  %2 ").arg(a->localPort()).arg(channel.Clients()[0].identifier)});
}

TEST_F(TcpServerPageTest, EchoGoesToTheSelectedClient)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    QTcpSocket* b = Connect(port);
    page.sendPanel->echo->setChecked(true);
    a->write("ping");
    ASSERT_TRUE(WaitFor([&] { return b->bytesAvailable() >= 4; }));
    EXPECT_EQ(b->readAll(), QByteArray("ping"));
    Settle(50);
    EXPECT_EQ(a->bytesAvailable(), 0);
}

TEST_F(TcpServerPageTest, LineEndOptionAddsCrLfToTextSendsOnly)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    page.sendPanel->newline->setChecked(true);
    form.SendToChannel("ab", TCPS, false);
    form.SendToChannel("41 42", TCPS, true);
    ASSERT_TRUE(WaitFor([&] { return a->bytesAvailable() >= 6; }));
    EXPECT_EQ(a->readAll(), QByteArray("ab\r\nAB"));
    EXPECT_TRUE(HasLine(QStringLiteral("TCP Server发送文本数据4字节：")));
    EXPECT_TRUE(HasLine(QStringLiteral("TCP Server发送HEX数据2字节：")));
}

TEST_F(TcpServerPageTest, SendWithoutASelectedClientIsDroppedWithoutATrace)
{
    Enable();
    const qsizetype mark = LineCount();
    form.SendToChannel("11 22", TCPS, true);
    page.cbListClient->setEditText(QStringLiteral("   "));
    form.SendToChannel("11 22", TCPS, true);
    EXPECT_TRUE(TextsSince(mark).isEmpty());
    EXPECT_EQ(form.Counters()[TCPS].txFrames, 0);
}

TEST_F(TcpServerPageTest, StoppingKeepsClientsListedSilentlyAndRestartingEmptiesTheList)
{
    const quint16 port = Enable();
    QTcpSocket* a = Connect(port);
    QTcpSocket* b = Connect(port);
    const qsizetype mark = LineCount();

    page.chkTCPSrv->setChecked(false);
    EXPECT_EQ(page.cbListClient->count(), 2);
    ASSERT_TRUE(WaitFor([&] { return a->state() == QAbstractSocket::UnconnectedState; }));
    ASSERT_TRUE(WaitFor([&] { return b->state() == QAbstractSocket::UnconnectedState; }));
    // A send to a cut-off client reaches no one and changes nothing.
    form.SendToChannel("11 22", TCPS, true);
    Settle(50);
    EXPECT_TRUE(TextsSince(mark).isEmpty());
    EXPECT_EQ(form.Counters()[TCPS].txFrames, 0);

    page.chkTCPSrv->setChecked(true);
    EXPECT_TRUE(channel.IsListening());
    EXPECT_EQ(page.cbListClient->count(), 0);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(TextsSince(mark), QStringList{QStringLiteral("TCP Server 正在监听%1端口").arg(port)});
}

}  // namespace
