#include "send/relay.h"

#include "send/send_dispatcher.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/flow_channel.h"
#include "tests/support/info_recorder.h"
#include "tests/support/recording_receive_sink.h"

#include <gtest/gtest.h>

namespace {

struct Settings : RelaySettings
{
    bool on = true;
    int a = TCPS;
    int b = TCPC;
    bool RelayOn() const override { return on; }
    int EndpointA() const override { return a; }
    int EndpointB() const override { return b; }
};

class RelayFlowTest : public ::testing::Test
{
protected:
    RelayFlowTest()
    {
        for (FlowChannel* channel : {&server, &client}) {
            dispatcher.SetTarget(channel->Id(), channel);
            relay.SetChannel(channel->Id(), channel);
        }
    }

    FakeReceiveOptions options;
    InfoRecorder info;
    RecordingReceiveSink sink;
    ChannelCounters counters;
    SendDispatcher dispatcher{info, options, counters, [] {}};
    Settings settings;
    Relay relay{settings, dispatcher};
    FlowChannel server{TCPS, sink};
    FlowChannel client{TCPC, sink};
};

TEST_F(RelayFlowTest, CongestedTargetHoldsTheSourceUntilItDrains)
{
    relay.Step("one", TCPS);
    EXPECT_TRUE(server.pauses.empty()) << "a target with room holds nothing back";

    client.congested = true;
    relay.Step("two", TCPS);
    relay.Step("three", TCPS);  // already held: asked once
    EXPECT_EQ(server.pauses, (std::vector<bool>{true}));
    EXPECT_EQ(client.writes.size(), 3u) << "what was read is still forwarded whole";

    client.Drain();
    EXPECT_EQ(server.pauses, (std::vector<bool>{true, false}));
    client.Drain();
    EXPECT_EQ(server.pauses.size(), 2u) << "one resume per hold";

    client.congested = true;
    relay.Step("four", TCPS);
    EXPECT_EQ(server.pauses, (std::vector<bool>{true, false, true})) << "a later congestion holds again";
}

TEST_F(RelayFlowTest, EachDirectionHoldsItsOwnSource)
{
    server.congested = true;
    relay.Step("up", TCPC);
    EXPECT_EQ(client.pauses, (std::vector<bool>{true}));
    EXPECT_TRUE(server.pauses.empty());
    server.Drain();
    EXPECT_EQ(client.pauses, (std::vector<bool>{true, false}));
}

TEST_F(RelayFlowTest, NoHoldWhenNothingIsRelayed)
{
    client.congested = true;
    settings.on = false;
    relay.Step("off", TCPS);
    settings.on = true;
    relay.Step("elsewhere", UDPS);
    EXPECT_TRUE(server.pauses.empty());
    EXPECT_TRUE(client.writes.empty());
}

}  // namespace
