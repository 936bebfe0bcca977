#pragma once

#include <QString>

// Identifies one data link. The values double as the item indexes of the
// channel combo boxes and as the indexes of the status-bar panels and of the
// traffic counter table, so they must never be renumbered.
using ChannelId = qint8;

constexpr ChannelId COMA = 0;
constexpr ChannelId COMB = 1;
constexpr ChannelId TCPS = 2;
constexpr ChannelId TCPC = 3;
constexpr ChannelId UDPS = 4;
constexpr ChannelId UDPC = 5;
constexpr ChannelId LPT = 6;

constexpr int kChannelCount = 7;       // counter records, LPT included
constexpr int kDataChannelCount = 6;   // channels that receive and can be relayed

// Four-letter name of a receiving channel; empty for LPT and any other value.
QString ChannelName(int channel);
