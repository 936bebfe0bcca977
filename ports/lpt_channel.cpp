#include "ports/lpt_channel.h"

LptChannel::LptChannel(QObject* parent) : QObject(parent) {}

LptChannel::LptChannel(std::unique_ptr<LptPortIO> io, QObject* parent) : QObject(parent), nrLPT1(std::move(io)) {}

SendTarget::WriteResult LptChannel::Write(const QByteArray& payload)
{
    if (!nrLPT1.Active())
        return WriteResult::Failed(QString::fromUtf8(kClosedLine));
    const quint32 sent = nrLPT1.WriteBlock(payload.constData(), quint32(payload.size()));
    if (sent == 0 && !payload.isEmpty())
        return WriteResult::Failed(QString::fromUtf8(kBusyLine));
    return {qint64(sent), false, QString(), false};
}
