// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string_view>

// Parsing of single NMEA 0183 sentences. Every function takes one line as
// the receiver delivered it (leading '$', with or without "*hh" and line
// end) and never reads outside it, whatever the bytes are.
namespace tw::nmea {

enum class Kind { Other, Gga, Rmc, Gsa, Gsv };

// Which sentence a line is. GGA, RMC and GSA count from any satellite
// system's talker (GP, GN, GL, GA, GB, BD): a multi-system receiver sends
// its position only as $GNGGA. GSV counts only from GP, because the
// satellite table holds one system.
Kind kindOf(std::string_view line);

// False only when a checksum "*hh" is present and does not match the XOR of
// the characters between '$' and '*' (or is not two hex digits). A line
// without '*' passes: older receivers send none.
bool checksumAcceptable(std::string_view line);

// NMEA ddmm.mmmm (or dddmm.mmmm) to decimal degrees, negative for 'S'/'W'.
double toDegrees(double nmeaValue, char hemisphere);

struct Gga {
    double utcTime = 0;   // hhmmss.ss as sent
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    int quality = 0;      // 0 none, 1 GPS, 2 differential, ... 6 estimated, 7 manual, 8 simulator
    int satsUsed = 0;     // some receivers with a fix send "00"
    double hdop = 0;
    double altitudeM = 0; // above mean sea level

    // Qualities 1 to 5 come from satellites; 6 (dead reckoning), 7 (typed
    // in) and 8 (simulator) are positions the receiver made up.
    bool isFix() const { return quality >= 1 && quality <= 5; }
};

// Time, latitude, N/S, longitude, E/W, quality, satellites, HDOP, altitude,
// 'M', ...: the sentence is usable when at least these ten fields read (a
// receiver without a fix leaves the position fields empty). A position off
// the globe (latitude beyond 90 degrees, longitude beyond 180) comes from a
// damaged line and makes the sentence unusable.
std::optional<Gga> parseGga(std::string_view line);

struct Rmc {
    double utcTime = 0;   // hhmmss.ss as sent
    bool fix = false;     // status 'A' and no mode saying otherwise
    double latitude = 0;
    double longitude = 0;
    std::optional<double> speedKmh;  // empty field: unknown
    std::optional<double> courseDeg; // empty field (standing still): unknown
    std::optional<int> date;         // ddmmyy as sent
};

// Usable when time, status, latitude, N/S, longitude and E/W read, whatever
// the status: a receiver without a fix ('V') often repeats its last
// position, which is not a fix. Since NMEA 2.3 a mode letter follows the
// magnetic variation: 'N' (not valid), 'E' (estimated), 'M' (manual) and
// 'S' (simulator) are no fix even with the status 'A'. Many receivers leave
// the course empty while standing still, so speed and course are optional.
// A position off the globe makes the sentence unusable, as for GGA.
std::optional<Rmc> parseRmc(std::string_view line);

struct Gsa {
    std::optional<int> fixType; // 1 no fix, 2 two-dimensional, 3 three-dimensional
    std::array<int, 12> prns{}; // satellites used in the fix; -1 where empty
    std::optional<double> pdop, hdop, vdop;
};

std::optional<Gsa> parseGsa(std::string_view line);

struct SatelliteRecord {
    int prn = -1, elevationDeg = -1, azimuthDeg = -1, snrDb = -1; // -1: missing
};

struct Gsv {
    int messageCount = 0;
    int messageNumber = 0; // 1-based
    int satsInView = 0;
    int recordCount = 0;   // complete records in `records`
    // A message holds four records; the rest of the line is cut at 127
    // characters, which cannot hold more than 32 complete ones.
    std::array<SatelliteRecord, 32> records{};
};

// Head "count,number,in view," and at least one more character are needed.
std::optional<Gsv> parseGsv(std::string_view line);

} // namespace tw::nmea
