#include "send/relay.h"

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
}
