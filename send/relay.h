#pragma once

#include "core/channel_id.h"
#include "data/receive_hooks.h"

#include <QByteArray>

#include <array>

class Channel;
class SendDispatcher;

// The relay's controls as the user has set them, read at the moment of use.
class RelaySettings
{
public:
    virtual ~RelaySettings() = default;
    virtual bool RelayOn() const = 0;   // "转发"
    virtual int EndpointA() const = 0;  // item index of the first combo, -1 when none
    virtual int EndpointB() const = 0;
};

// Forwards every received chunk of one endpoint to the other, both ways,
// always in hex mode so the target gets the exact bytes.
class Relay : public RelayHook
{
public:
    Relay(const RelaySettings& settings, SendDispatcher& dispatcher);

    // Runs for every non-empty received chunk. The bytes go to the dispatcher
    // as they are: a hex send of their plain digits would parse back into
    // exactly these bytes and show the same lines, so the digits are skipped.
    void Step(const QByteArray& chunk, ChannelId source) override;

    // The channels between which chunks travel. While the target of a chunk
    // is congested the relay stops reading its source, so a slow receiver
    // slows the sender; reading resumes when the target has drained.
    void SetChannel(ChannelId id, Channel* channel);

private:
    void HoldWhileCongested(ChannelId source, ChannelId target);

    const RelaySettings& settings_;
    SendDispatcher& dispatcher_;
    std::array<Channel*, kDataChannelCount> channels_{};
    std::array<bool, kDataChannelCount> held_{};
};
