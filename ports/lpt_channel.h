#pragma once

#include "ports/tnr_lpt.h"
#include "send/send_target.h"

#include <QObject>

// The parallel port as the send dispatcher's target for LPT: it owns the
// component `nrLPT1` the page drives. Only bytes that went out are reported
// as sent.
class LptChannel : public QObject, public SendTarget
{
    Q_OBJECT

public:
    static inline const char* const kClosedLine = "并口未打开，数据未发送";
    static inline const char* const kBusyLine = "并口忙，数据未发送";

    explicit LptChannel(QObject* parent = nullptr);
    LptChannel(std::unique_ptr<LptPortIO> io, QObject* parent = nullptr);

    WriteResult Write(const QByteArray& payload) override;

    TnrLPT nrLPT1;
};
