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

    // Outgoing flow control. Above its high-water mark (a few MiB for a
    // socket, a few seconds of data at the baud rate for a serial port) a
    // channel is congested; Drained() follows once its queue falls below the
    // low-water mark, or is dropped because the link closed. The relay stops reading its source meanwhile, so a slow
    // receiver slows the sender instead of growing memory. A send is always
    // queued whole, congested or not.
    virtual bool Congested() const { return false; }
    // Stops or resumes taking received bytes from the transport. While paused
    // nothing is read: the kernel's buffers and the link's own flow control
    // hold the sender back. Nothing is lost and the order is kept.
    virtual void SetReceivePaused(bool paused) { Q_UNUSED(paused); }

signals:
    void Drained();

protected:
    ReceiveSink& Sink() const { return sink_; }

private:
    ChannelId id_;
    ReceiveSink& sink_;
};
