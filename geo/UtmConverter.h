// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <string>
#include <string_view>

namespace tw::geo {

/** Converts between latitude/longitude and UTM easting/northing on one of 23
 *  reference ellipsoids, with the transverse Mercator series (terms up to the
 *  sixth power). Each user owns its own converter: the zone fields change
 *  with every conversion. A new converter uses WGS-84 (number 23). */
class UtmConverter {
public:
    static constexpr int kEllipsoidCount = 23;
    static constexpr int kWgs84 = 23;

    UtmConverter();

    /** Ellipsoid 1 to 23; anything else returns false and changes nothing.
     *  The description, when asked for, reads like "23 - WGS-84 (6.37814e+06 0.00669438)". */
    bool selectEllipsoid(int number, std::string* description = nullptr);
    int ellipsoid() const { return m_number; }
    /** The name of ellipsoid 1 to 23 as stored (two end in a blank); empty otherwise. */
    static std::string_view ellipsoidName(int number);

    /** Degrees in, metres out; zoneText receives the designator such as "33U".
     *  With forceZone33 every point is projected in zone 33, so that points
     *  far apart share one planar grid. */
    void latLonToUtm(double latDeg, double lonDeg, double& easting, double& northing, std::string& zoneText,
                     bool forceZone33);

    /** Reads the zone from zoneText first; when it does not read, the previous
     *  zone stays in use. Returns degrees. */
    LatLon utmToLatLon(double easting, double northing, std::string_view zoneText);

    /** A zone designator: the zone number 1 to 60 and a band letter 'C' to 'X'
     *  ("33U"); the name becomes "UTM zone 33U". Anything else is rejected and
     *  the converter keeps its previous zone. */
    bool parseZone(std::string_view text, std::string* name = nullptr);

    /** The latitude band: 'C' from −80 up to 'X' for 72 to 84 inclusive, 'Z' outside. */
    static char bandLetter(double latDeg);

    /** The standard zone of a position (Norway and Svalbard exceptions included). */
    static int standardZone(double latDeg, double lonDeg);

    int zone() const { return m_zone; }
    char band() const { return m_band; }
    bool isNorthern() const { return m_northern; }
    double centralMeridianDeg() const { return m_centralMeridianDeg; }

private:
    void setZone(int zone, char band);
    double meridianArc(double phi) const;

    int m_number = 0;
    double m_a = 0;          // equatorial radius, metres
    double m_e2 = 0;         // eccentricity squared
    double m_ep2 = 0;        // second eccentricity squared
    double m_inverseFlattening = 0;
    double m_m1 = 0, m_m2 = 0, m_m3 = 0, m_m4 = 0; // meridian arc series
    double m_e1 = 0;         // footpoint series parameter

    std::string m_zoneText;
    int m_zone = 33;
    char m_band = 'U';
    bool m_northern = true;
    double m_centralMeridianDeg = 15;
};

} // namespace tw::geo
