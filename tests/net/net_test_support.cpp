#include "tests/net/net_test_support.h"

#include "net/tcp_client_page.h"
#include "net/tcp_server_page.h"
#include "net/udp_client_page.h"
#include "net/udp_server_page.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

namespace {

const QRegularExpression kStamp(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} \\d{4}毫秒 {4}"));

}  // namespace

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

void Settle(int ms)
{
    QTest::qWait(ms);
}

void RunAsEvent(const std::function<void()>& action)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        action();
    });
    WaitFor([&] { return ran; }, 5000);
    QCoreApplication::processEvents();
}

quint16 FreePort(bool tcp)
{
    if (tcp) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

QByteArray Pattern(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

NetFormTest::NetFormTest()
{
    form.FormCreate();
    form.tcpServer->SetNameResolver(&resolver);
    form.tcpClient->SetNameResolver(&resolver);
    form.udpServer->SetNameResolver(&resolver);
    form.udpClient->SetNameResolver(&resolver);
}

NetFormTest::~NetFormTest()
{
    form.close();
}

QStringList NetFormTest::Texts() const
{
    return TextsSince(0);
}

QStringList NetFormTest::TextsSince(qsizetype mark) const
{
    QStringList texts;
    const DisplayLineStore& lines = form.DisplayLines();
    for (qsizetype i = mark; i < lines.LineCount(); ++i)
        texts << QString(lines.At(i).text).remove(kStamp);
    return texts;
}

bool NetFormTest::WaitForLine(const QString& text, int times, int timeoutMs) const
{
    return WaitFor([&] { return CountLines(text) >= times; }, timeoutMs);
}
