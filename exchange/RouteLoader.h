// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace tw {

// The first route or track of a GPX file (any version), as the line the map
// draws. Nothing when the file cannot be read, holds no points or ends before
// the route's end tag.
std::optional<std::vector<geo::LatLon>> loadRouteFile(const std::filesystem::path& path);

} // namespace tw
