#include "net/socket_error_text.h"

#include <cstring>
#include <netdb.h>

QString SocketErrorText(int error)
{
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not live in `buffer`.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

QString HostErrorText(int error)
{
    return QString::fromLocal8Bit(hstrerror(error));
}

QString FailureLine(const QString& text, const QString& host, quint16 port, const QString& reason)
{
    return QStringLiteral("%1 %2:%3: %4").arg(text, host).arg(port).arg(reason);
}
