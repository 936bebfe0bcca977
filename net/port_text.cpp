#include "net/port_text.h"

#include <limits>

QString NotAnIntegerText(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

PortReading ReadPort(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok)
        return {0, NotAnIntegerText(text)};
    if (value < 0 || value > std::numeric_limits<quint16>::max())
        return {0, QStringLiteral("'%1' is not a valid port (0 to 65535)").arg(text)};
    return {static_cast<quint16>(value), QString()};
}
