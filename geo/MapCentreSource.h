// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

namespace tw::geo {

/** The map screen, while it exists. */
class MapCentreSource {
public:
    virtual ~MapCentreSource() = default;
    virtual LatLon mapCentre() const = 0;
    /** True while the map reloads the caches of its visible area: distances
     *  are then measured from the map centre whatever the filter says. */
    virtual bool isReloadingVisibleArea() const = 0;
};

} // namespace tw::geo
