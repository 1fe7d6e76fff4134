// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

namespace tw {

class CGlobalData;

// Fills an open cache database with a generated, pocket-query-like set of
// caches around a real place: HTML and plain descriptions, hints, logs with
// HTML, listing images, waypoints, attributes, tags and a few finds.
void fillSampleDatabase(CGlobalData& global);

} // namespace tw
