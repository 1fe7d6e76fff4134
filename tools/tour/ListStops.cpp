// SPDX-License-Identifier: GPL-3.0-or-later
// The first screen: the cache list.
#include "tools/tour/TourStops.h"

#include "screens/MainWindow.h"

namespace tw {

void addListStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("list"), [](TourContext& t) -> QWidget* { return &t.window; }});
}

} // namespace tw
