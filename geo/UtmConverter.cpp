// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/UtmConverter.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tw::geo {
namespace {

struct Ellipsoid {
    const char* name;
    double a;  // metres
    double e2;
    double inverseFlattening;
};

// The names are shown to users and stored as they are, trailing blanks included.
constexpr std::array<Ellipsoid, UtmConverter::kEllipsoidCount + 1> kEllipsoids{{
    {"Placeholder", 0, 0, 0},
    {"Airy", 6377563.396, 0.00667054, 299.3249646},
    {"Australian National", 6378160, 0.006694542, 298.25},
    {"Bessel 1841", 6377397.155, 0.006674372, 299.1528128},
    {"Bessel 1841 (Nambia) ", 6377483.865, 0.006674372, 299.1528128},
    {"Clarke 1866 (NAD-27)", 6378206.4, 0.006768658, 294.9786982},
    {"Clarke 1880", 6378249.145, 0.006803511, 293.465},
    {"Everest 1830", 6377276.345, 0.006637847, 300.8017},
    {"Fischer 1960 (Mercury) ", 6378166, 0.006693422, 298.3},
    {"Fischer 1968", 6378150, 0.006693422, 298.3},
    {"GRS 1967", 6378160, 0.006694605, 298.247167427},
    {"GRS 1980 (NAD-83)", 6378137, 0.0066943800229, 298.257222101},
    {"Helmert 1906", 6378200, 0.006693422, 298.3},
    {"Hough", 6378270, 0.00672267, 297},
    {"International", 6378388, 0.00672267, 297},
    {"Krassovsky", 6378245, 0.006693422, 298.3},
    {"Modified Airy", 6377340.189, 0.00667054, 299.3249646},
    {"Modified Everest", 6377304.063, 0.006637847, 300.8017},
    {"Modified Fischer 1960", 6378155, 0.006693422, 298.3},
    {"South American 1969", 6378160, 0.006694542, 298.25},
    {"WGS 60", 6378165, 0.006693422, 298.3},
    {"WGS 66", 6378145, 0.006694542, 298.25},
    {"WGS-72", 6378135, 0.006694318, 298.26},
    {"WGS-84", 6378137, 0.00669437999013, 298.257223563},
}};

constexpr double kK0 = 0.9996;
constexpr double kInvK0 = 1.0004001600640255;
constexpr double kFalseEasting = 500000.0;
constexpr double kFalseNorthingSouth = 10000000.0;
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

// printf("%g") without the locale.
std::string shortest6(double value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

std::string zoneDesignator(int zone, char band)
{
    return std::to_string(zone) + band;
}

} // namespace

UtmConverter::UtmConverter()
{
    selectEllipsoid(kWgs84);
}

std::string_view UtmConverter::ellipsoidName(int number)
{
    if (number < 1 || number > kEllipsoidCount)
        return {};
    return kEllipsoids[static_cast<std::size_t>(number)].name;
}

bool UtmConverter::selectEllipsoid(int number, std::string* description)
{
    if (number < 1 || number > kEllipsoidCount)
        return false;
    const Ellipsoid& e = kEllipsoids[static_cast<std::size_t>(number)];
    m_number = number;
    m_a = e.a;
    m_e2 = e.e2;
    m_inverseFlattening = e.inverseFlattening;
    m_ep2 = m_e2 / (1 - m_e2);

    const double e4 = m_e2 * m_e2;
    const double e6 = e4 * m_e2;
    m_m1 = 1 - m_e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256;
    m_m2 = 3 * m_e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024;
    m_m3 = 15 * e4 / 256 + 45 * e6 / 1024;
    m_m4 = 35 * e6 / 3072;
    const double root = std::sqrt(1 - m_e2);
    m_e1 = (1 - root) / (1 + root);

    if (description) {
        std::string number2 = std::to_string(number);
        if (number2.size() < 2)
            number2.insert(0, 1, ' ');
        *description = number2 + " - " + e.name + " (" + shortest6(e.a) + ' ' + shortest6(e.e2) + ')';
    }
    return true;
}

char UtmConverter::bandLetter(double latDeg)
{
    if (latDeg >= 72 && latDeg <= 84)
        return 'X';
    if (!(latDeg >= -80 && latDeg < 72))
        return 'Z';
    static constexpr char kBands[] = "CDEFGHJKLMNPQRSTUVW"; // 8° each from −80
    const auto index = static_cast<std::size_t>(std::floor((latDeg + 80) / 8));
    return kBands[index < 19 ? index : 18];
}

int UtmConverter::standardZone(double latDeg, double lonDeg)
{
    // Into [−180, 180); fmod keeps a wild longitude from overflowing the zone.
    double lon = std::fmod(lonDeg + 180.0, 360.0);
    if (lon < 0)
        lon += 360.0;
    lon -= 180.0;
    if (!std::isfinite(lon))
        return 33;
    int zone = static_cast<int>((lon + 180) / 6) + 1;
    if (zone > 60)
        zone = 60;
    if (latDeg >= 56 && latDeg < 64 && lon >= 3 && lon < 12)
        zone = 32;
    if (latDeg >= 72 && latDeg < 84) {
        if (lon >= 0 && lon < 9)
            zone = 31;
        else if (lon >= 9 && lon < 21)
            zone = 33;
        else if (lon >= 21 && lon < 33)
            zone = 35;
        else if (lon >= 33 && lon < 42)
            zone = 37;
    }
    return zone;
}

void UtmConverter::setZone(int zone, char band)
{
    m_zone = zone;
    m_band = band;
    m_northern = band >= 'N';
    m_centralMeridianDeg = zone * 6 - 183;
    m_zoneText = zoneDesignator(zone, band);
}

double UtmConverter::meridianArc(double phi) const
{
    return m_a * (m_m1 * phi - m_m2 * std::sin(2 * phi) + m_m3 * std::sin(4 * phi) - m_m4 * std::sin(6 * phi));
}

void UtmConverter::latLonToUtm(double latDeg, double lonDeg, double& easting, double& northing,
                               std::string& zoneText, bool forceZone33)
{
    const int zone = forceZone33 ? 33 : standardZone(latDeg, lonDeg);
    setZone(zone, bandLetter(latDeg));
    zoneText = m_zoneText;

    double lon = std::fmod(lonDeg + 180.0, 360.0);
    if (lon < 0)
        lon += 360.0;
    lon -= 180.0;
    const double phi = latDeg * kDegToRad;
    const double lambda = lon * kDegToRad;
    const double lambda0 = m_centralMeridianDeg * kDegToRad;

    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double tanPhi = std::tan(phi);
    const double n = m_a / std::sqrt(1 - m_e2 * sinPhi * sinPhi);
    const double t = tanPhi * tanPhi;
    const double c = m_ep2 * cosPhi * cosPhi;
    const double a = (lambda - lambda0) * cosPhi;
    const double m = meridianArc(phi);
    const double a2 = a * a, a3 = a2 * a, a4 = a3 * a, a5 = a4 * a, a6 = a5 * a;

    easting = kK0 * n * (a + (1 - t + c) * a3 / 6 + (5 - 18 * t + t * t + 72 * c - 58 * m_ep2) * a5 / 120)
              + kFalseEasting;
    northing = kK0 * (m + n * tanPhi * (a2 / 2 + (5 - t + 9 * c + 4 * c * c) * a4 / 24
                                        + (61 - 58 * t + t * t + 600 * c - 330 * m_ep2) * a6 / 720));
    if (latDeg < 0)
        northing += kFalseNorthingSouth;
}

LatLon UtmConverter::utmToLatLon(double easting, double northing, std::string_view zoneText)
{
    parseZone(zoneText);
    const double x = easting - kFalseEasting;
    const double y = m_northern ? northing : northing - kFalseNorthingSouth;

    const double m = y * kInvK0;
    const double mu = m / (m_a * m_m1);
    const double e1 = m_e1;
    const double phi1 = mu + (3 * e1 / 2 - 27 * e1 * e1 * e1 / 32) * std::sin(2 * mu)
                        + (21 * e1 * e1 / 16 - 55 * e1 * e1 * e1 * e1 / 32) * std::sin(4 * mu)
                        + (151 * e1 * e1 * e1 / 96) * std::sin(6 * mu);

    const double sinPhi1 = std::sin(phi1);
    const double cosPhi1 = std::cos(phi1);
    const double tanPhi1 = std::tan(phi1);
    const double w = 1 - m_e2 * sinPhi1 * sinPhi1;
    const double n1 = m_a / std::sqrt(w);
    const double r1 = m_a * (1 - m_e2) / (w * std::sqrt(w));
    const double c1 = m_ep2 * cosPhi1 * cosPhi1;
    const double t1 = tanPhi1 * tanPhi1;
    const double d = x * kInvK0 / n1;
    const double d2 = d * d, d3 = d2 * d, d4 = d3 * d, d5 = d4 * d, d6 = d5 * d;

    const double phi = phi1 - (n1 * tanPhi1 / r1)
                                  * (d2 / 2 - (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 9 * m_ep2) * d4 / 24
                                     + (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 252 * m_ep2 - 3 * c1 * c1) * d6 / 720);
    const double dLambda = (d - (1 + 2 * t1 + c1) * d3 / 6
                            + (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 8 * m_ep2 + 24 * t1 * t1) * d5 / 120)
                           / cosPhi1;
    return {phi * kRadToDeg, m_centralMeridianDeg + dLambda * kRadToDeg};
}

bool UtmConverter::parseZone(std::string_view text, std::string* name)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const std::size_t digitsBegin = i;
    int zone = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && zone <= 60)
        zone = zone * 10 + (text[i++] - '0');
    // Zones beyond 60 do not exist; their central meridian would not either.
    if (i == digitsBegin || zone < 1 || zone > 60 || i >= text.size())
        return false;
    const char band = text[i];
    if (!(band > 'B' && band < 'Y'))
        return false;
    setZone(zone, band);
    if (name)
        *name = "UTM zone " + m_zoneText;
    return true;
}

} // namespace tw::geo
