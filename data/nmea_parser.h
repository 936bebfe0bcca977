#pragma once

#include "data/nmea_info.h"

#include <QByteArrayView>

// Finds every complete NMEA 0183 sentence in `bytes` and updates `info` from
// each GPGGA, GPGSA, GPGSV, GPRMC and GPVTG sentence, in the order they come;
// returns how many it decoded. A complete sentence is "$", the fields, "*",
// two hex digits of either case and CR LF, and the digits match the exclusive
// or of everything between "$" and "*". Anything else in the bytes, a wrong
// checksum, another sentence type or a field that does not read leaves the
// record as it was; nothing is kept between calls, so a sentence split over
// two calls is decoded by neither.
int ParseNmea(QByteArrayView bytes, NmeaInfo& info);
