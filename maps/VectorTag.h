// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw::maps {

/** One key and value of a vector map's point of interest or way, as the map
 *  file stores it and the render theme matches it ("highway" = "path"). The
 *  value may be empty for a key that stands alone. */
struct VectorTag {
    std::string key;
    std::string value;

    friend bool operator==(const VectorTag&, const VectorTag&) = default;
};

/** What a render rule is asked about: a point of interest (`node`) or a way
 *  (`way`, open or closed). */
enum class VectorElement { Node, Way };

} // namespace tw::maps
