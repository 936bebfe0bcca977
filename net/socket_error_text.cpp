#include "net/socket_error_text.h"

#include <cstring>

QString SocketErrorText(int error)
{
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not live in `buffer`.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}
