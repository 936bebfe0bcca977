#pragma once

#include "data/display_text_sink.h"
#include "data/receive_hooks.h"

#include <QByteArrayView>

// "GPS_nmea解析": decodes the GPS sentences of one received chunk and shows
// the position and speed they give as one purple line.
class NmeaGpsDecoder : public GpsDecoder
{
public:
    explicit NmeaGpsDecoder(DisplayTextSink& display) : display_(display) {}

    // Shows "GPS:longitude …,latitude …,speed …" when the chunk, up to its
    // first zero byte, holds at least one sentence that decodes; values as
    // the sentences write them (degrees × 100 + minutes, speed in km/h).
    void Decode(QByteArrayView chunk) override;

private:
    DisplayTextSink& display_;
};
