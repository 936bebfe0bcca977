#include "data/nmea_gps_decoder.h"

#include "data/nmea_info.h"
#include "data/nmea_parser.h"

#include <QString>

void NmeaGpsDecoder::Decode(QByteArrayView chunk)
{
    const qsizetype zero = chunk.indexOf('\0');
    // Every chunk starts from an empty record: nothing carries over.
    NmeaInfo info;
    if (ParseNmea(zero < 0 ? chunk : chunk.first(zero), info) == 0)
        return;
    display_.ShowInfo(QString::asprintf("GPS:longitude %.5f,latitude %.5f,speed %.2f\n", info.longitude,
                                        info.latitude, info.speed),
                      kPurple);
}
