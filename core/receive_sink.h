#pragma once

#include "core/channel_id.h"
#include "core/info_sink.h"

#include <QByteArrayView>
#include <QString>

// Where a channel delivers what it receives: every chunk of every channel
// passes through ProcessReceived, and the channel's status lines go through
// ShowInfo, both to the shared receive display.
class ReceiveSink : public InfoSink
{
public:
    // One chunk from a channel. `label` names the source in the header line.
    virtual void ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel) = 0;
};
