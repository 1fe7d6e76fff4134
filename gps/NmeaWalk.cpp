// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/NmeaWalk.h"

#include "geo/GeoMath.h"
#include "platform/Numbers.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace tw::nmea {
namespace {

constexpr double kKnotsPerMps = 3600.0 / 1852.0;

// The sky of the walk: eight satellites in view, the first six used.
struct Satellite {
    int prn, elevation, azimuth, snr;
};
constexpr Satellite kSky[] = {{2, 64, 120, 44}, {5, 41, 48, 40}, {12, 33, 290, 38}, {15, 22, 201, 35},
                              {18, 57, 334, 42}, {24, 16, 77, 31}, {25, 9, 162, 0}, {29, 5, 251, 0}};

void appendFix(std::string& log, geo::LatLon at, double courseDeg, double speedMps, std::time_t when)
{
    std::tm t{};
    gmtime_r(&when, &t);
    char time[16], date[16];
    std::strftime(time, sizeof time, "%H%M%S.00", &t);
    std::strftime(date, sizeof date, "%d%m%y", &t);
    const std::string lat = coordinate(at.lat, false);
    const std::string lon = coordinate(at.lon, true);
    char number[64];

    const std::string altitude = num::formatFixed(420.0 + 5.0 * std::sin(static_cast<double>(when) / 60.0), 1);
    log += withChecksum("GPGGA," + std::string(time) + "," + lat + "," + lon + ",1,06,1.1," + altitude +
                        ",M,45.0,M,,") + "\r\n";

    const std::string motion = "," + num::formatFixed(speedMps * kKnotsPerMps, 2) + "," + num::formatFixed(courseDeg, 1) + ",";
    log += withChecksum("GPRMC," + std::string(time) + ",A," + lat + "," + lon + motion + date + ",,,A") + "\r\n";

    std::string gsa = "GPGSA,A,3";
    for (int i = 0; i < 12; ++i)
        gsa += i < 6 ? "," + std::to_string(kSky[i].prn) : ",";
    log += withChecksum(gsa + ",2.0,1.1,1.7") + "\r\n";

    constexpr int inView = static_cast<int>(std::size(kSky));
    for (int message = 0; message < inView / 4; ++message) {
        std::snprintf(number, sizeof number, "GPGSV,%d,%d,%02d", inView / 4, message + 1, inView);
        std::string gsv = number;
        for (int i = message * 4; i < message * 4 + 4; ++i) {
            const Satellite& s = kSky[i];
            std::snprintf(number, sizeof number, ",%02d,%02d,%03d,", s.prn, s.elevation, s.azimuth);
            gsv += number + (s.snr ? std::to_string(s.snr) : std::string());
        }
        log += withChecksum(gsv) + "\r\n";
    }
}

} // namespace

std::string coordinate(double degrees, bool isLongitude)
{
    const double a = std::fabs(degrees);
    int whole = static_cast<int>(a);
    double minutes = (a - whole) * 60.0;
    if (minutes >= 59.999995) { // would print as 60.00000
        ++whole;
        minutes = 0.0;
    }
    // Numbers are written without the locale: NMEA has a decimal point.
    char text[8];
    std::snprintf(text, sizeof text, isLongitude ? "%03d" : "%02d", whole);
    std::string mm = num::formatFixed(minutes, 5);
    mm.insert(0, mm.size() < 8 ? 8 - mm.size() : 0, '0');
    return text + mm + "," + (isLongitude ? (degrees < 0 ? 'W' : 'E') : (degrees < 0 ? 'S' : 'N'));
}

std::string withChecksum(const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

std::string walkLog(const std::vector<geo::LatLon>& points, double speedMps, std::time_t start)
{
    std::string log;
    if (points.empty() || !(speedMps > 0))
        return log;
    std::time_t now = start;
    geo::LatLon at = points.front();
    double course = points.size() > 1 ? geo::bearingDeg(points[0], points[1]) : 0.0;
    appendFix(log, at, course, speedMps, now);
    const double stepKm = speedMps / 1000.0;
    std::size_t next = 1;
    while (next < points.size()) {
        // Each second covers one step, around as many corners as it takes.
        double left = stepKm;
        while (next < points.size()) {
            const double toCorner = geo::distanceKm(at, points[next]);
            if (toCorner > left) {
                course = geo::bearingDeg(at, points[next]);
                at = geo::projectPoint(at, left, course);
                break;
            }
            left -= toCorner;
            at = points[next++];
        }
        appendFix(log, at, course, next < points.size() ? speedMps : 0.0, ++now);
    }
    return log;
}

} // namespace tw::nmea
