#include "ports/lpt_port_list.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

std::vector<LptPortEntry> ListParallelPorts(const QString& procRoot)
{
    static const QRegularExpression portName(QStringLiteral("^parport(\\d+)$"));
    std::vector<std::pair<int, QString>> found;
    for (const QString& entry : QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = portName.match(entry);
        bool ok = false;
        const int index = match.hasMatch() ? match.captured(1).toInt(&ok) : -1;
        if (ok && index >= 0 && index < 256)
            found.emplace_back(index, entry);
    }
    std::sort(found.begin(), found.end());

    std::vector<LptPortEntry> ports;
    for (const auto& [index, entry] : found) {
        LptPortEntry port;
        port.number = index + 1;
        port.name = QStringLiteral("LPT%1").arg(port.number);
        QFile file(procRoot + QLatin1Char('/') + entry + QStringLiteral("/base-addr"));
        if (file.open(QIODevice::ReadOnly)) {
            // "888\t1912": the base address and the ECP registers' base, in decimal.
            const QList<QByteArray> fields = file.read(64).simplified().split(' ');
            bool ok = false;
            const uint base = fields.value(0).toUInt(&ok, 0);
            if (ok && base <= 0xFFFF)
                port.ioBase = quint16(base);
        }
        ports.push_back(port);
    }
    return ports;
}
