#include "tests/net/net_test_support.h"

#include "net/tcp_client_channel.h"
#include "net/tcp_server_channel.h"
#include "net/udp_client_channel.h"
#include "net/udp_server_channel.h"

NetFormTest::NetFormTest()
{
    form.FormCreate();
    form.TcpServer().SetNameResolver(&resolver);
    form.TcpClient().SetNameResolver(&resolver);
    form.UdpServer().SetNameResolver(&resolver);
    form.UdpClient().SetNameResolver(&resolver);
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
        texts << WithoutTimeStamp(lines.At(i).text);
    return texts;
}

bool NetFormTest::WaitForLine(const QString& text, int times, int timeoutMs) const
{
    return WaitFor([&] { return CountLines(text) >= times; }, timeoutMs);
}
