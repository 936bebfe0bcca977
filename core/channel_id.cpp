#include "core/channel_id.h"

QString ChannelName(int channel)
{
    static const char* const kNames[kDataChannelCount] = {"COMA", "COMB", "TCPS", "TCPC", "UDPS", "UDPC"};
    if (channel < 0 || channel >= kDataChannelCount)
        return QString();
    return QString::fromLatin1(kNames[channel]);
}
