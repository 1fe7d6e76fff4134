// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "geo/LivePositionSource.h"
#include "geo/MapCentreSource.h"

#include <string>

// The position that list distances and bearings are measured from.
namespace tw::geo {

/** The filter's reference point modes as stored; any other value means home. */
inline constexpr int kRefGps = 0;
inline constexpr int kRefMapCentre = 1;
inline constexpr int kRefManual = 2;

/** What the reference rules read from the settings, the filter, the receiver
 *  and the map screen. The sources may be null: no receiver, no map screen. */
struct ReferenceContext {
    int refPoint = kRefGps;
    LatLon manualPoint;
    LatLon home;
    bool metricUnits = true;
    const LivePositionSource* gps = nullptr;
    const MapCentreSource* map = nullptr;
};

/** With useLivePosition: the live GPS value, or home where it is 0 (latitude
 *  and longitude chosen separately). Without it: by the filter's mode, the
 *  map centre whenever the map reloads its area. */
LatLon referencePosition(const ReferenceContext& context, bool useLivePosition);

double referenceDistanceKm(const ReferenceContext& context, LatLon point, bool useLivePosition);

/** Degrees in [0, 360), always from the live reference position. */
double referenceBearingDeg(const ReferenceContext& context, LatLon point);

/** The eight-way compass sector of a bearing: 0 around north, then 1..7
 *  clockwise in 45° steps; 8 for a bearing that is not a number. */
int sectorOfBearing(double bearingDeg);

/** The sector of the bearing from the reference position chosen without the
 *  live position. */
int referenceSector(const ReferenceContext& context, LatLon point);

/** "???" for a record without coordinates, else the distance from the
 *  reference position as formatDistance writes it. */
std::string formatCacheDistance(const ReferenceContext& context, LatLon record, bool allowSmallUnits,
                                bool useLivePosition);

} // namespace tw::geo
