#pragma once

#include "core/channel_id.h"
#include "core/receive_sink.h"
#include "send/send_target.h"

#include <QObject>

// One data link, apart from any widget: it owns its transport, is the send
// dispatcher's target for its ChannelId, and hands every received chunk and
// every status line to the receive sink. Its page only shows its state and
// forwards the user's clicks.
class Channel : public QObject, public SendTarget
{
    Q_OBJECT

public:
    Channel(ChannelId id, ReceiveSink& sink, QObject* parent = nullptr) : QObject(parent), id_(id), sink_(sink) {}

    ChannelId Id() const { return id_; }

    // Start-up work, run once after the window is built.
    virtual void Start() {}
    // Closes the transport when the window closes.
    virtual void Shutdown() {}

protected:
    ReceiveSink& Sink() const { return sink_; }

private:
    ChannelId id_;
    ReceiveSink& sink_;
};
