#pragma once

#include "core/channel_id.h"

#include <QString>

// The receive and send options as the user has set them. Every getter reads
// its control at the moment it is called: options are never cached.
class ReceiveOptions
{
public:
    virtual ~ReceiveOptions() = default;
    virtual bool HelpInfo() const = 0;    // "显示接收辅助信息"
    virtual bool SendInfo() const = 0;    // "显示发送辅助信息"
    virtual bool LogBound() const = 0;    // "日志记录": the smaller display bound
    virtual bool LatestOnly() const = 0;  // "只显示最新数据"
    virtual bool Beep() const = 0;        // "接收蜂鸣提示"
    virtual bool HexShow() const = 0;     // "HEX显示 "
    virtual int HexStyle() const = 0;     // item index, -1 when none is selected
    virtual bool Gps() const = 0;         // "GPS_nmea解析"
    virtual bool AutoScroll() const = 0;  // "自动滚动"
    virtual QString ExpectedLengthText() const = 0;
    virtual void SetExpectedLengthText(const QString& text) = 0;
    virtual bool Echo(ChannelId channel) const = 0;
};
