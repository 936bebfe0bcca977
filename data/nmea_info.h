#pragma once

#include <array>

// What GPS sentences tell about the receiver's position, as NMEA 0183 writes
// it: positions stay degrees and minutes packed as degrees × 100 + minutes.
// A default record is the empty one a chunk starts from: everything 0, the
// signal and the fix marked invalid.
struct NmeaInfo
{
    // Quality of the position: GPGGA's fix quality (0 to 8); GPRMC's status
    // A makes an invalid one kSignalFix, status V makes it invalid.
    enum Signal : int { kSignalInvalid = 0, kSignalFix = 1, kSignalDifferential = 2 };
    // GPGSA's fix mode.
    enum Fix : int { kFixInvalid = 1, kFix2D = 2, kFix3D = 3 };

    struct Satellite
    {
        int prn = 0;
        int elevation = 0;  // degrees
        int azimuth = 0;    // degrees from true north
        int snr = 0;        // dB-Hz, 0 when not tracked
        bool operator==(const Satellite&) const = default;
    };

    // GPGSV reports up to four satellites per sentence in up to nine sentences.
    static constexpr int kMaxSatellites = 36;
    // GPGSA lists the satellites used in the fix in twelve fields.
    static constexpr int kMaxUsed = 12;

    // Date and time of day in UTC.
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    double second = 0;

    int signal = kSignalInvalid;
    int fix = kFixInvalid;
    double pdop = 0;
    double hdop = 0;
    double vdop = 0;

    double latitude = 0;           // ddmm.mmmm, negative for south
    double longitude = 0;          // dddmm.mmmm, negative for west
    double altitude = 0;           // metres above mean sea level
    double speed = 0;              // over ground, km/h
    double course = 0;             // over ground, degrees from true north
    double magneticVariation = 0;  // degrees, negative for west

    int satellitesUsed = 0;
    std::array<int, kMaxUsed> usedPrns{};
    int satellitesInView = 0;
    std::array<Satellite, kMaxSatellites> satellites{};

    bool operator==(const NmeaInfo&) const = default;
};
