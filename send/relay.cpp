#include "send/relay.h"

#include "send/channel.h"
#include "send/send_dispatcher.h"

Relay::Relay(const RelaySettings& settings, SendDispatcher& dispatcher) : settings_(settings), dispatcher_(dispatcher)
{
}

void Relay::Step(const QByteArray& chunk, ChannelId source)
{
    if (!settings_.RelayOn())
        return;
    const int a = settings_.EndpointA();
    const int b = settings_.EndpointB();
    if (a == b)
        return;
    int target;
    if (a == source)
        target = b;
    else if (b == source)
        target = a;
    else
        return;
    dispatcher_.SendBytesToChannel(chunk, static_cast<ChannelId>(target));
    HoldWhileCongested(source, static_cast<ChannelId>(target));
}

void Relay::SetChannel(ChannelId id, Channel* channel)
{
    channels_.at(id) = channel;
}

void Relay::HoldWhileCongested(ChannelId source, ChannelId target)
{
    Channel* from = channels_[source];
    Channel* to = target >= 0 && target < kDataChannelCount ? channels_[target] : nullptr;
    if (!from || !to || held_[source] || !to->Congested())
        return;
    held_[source] = true;
    from->SetReceivePaused(true);
    QObject::connect(
        to, &Channel::Drained, from,
        [this, source, from] {
            held_[source] = false;
            from->SetReceivePaused(false);
        },
        Qt::SingleShotConnection);
}
