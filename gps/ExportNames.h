// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <set>
#include <string>

namespace tw {

// The base names given out by one export of several tracks, so that two
// tracks whose names read alike ("Hike/1" and "Hike_1", or two called
// "Hike") never write one file and the second never replaces the first.
// Names differing only in case count as alike, for folders on memory cards.
class ExportNames {
public:
    // base when it is not yet taken, else base + "-2", "-3", ...; a base
    // name never holds '-', so a numbered name is never another's plain one.
    std::string claim(const std::string& base);

private:
    std::set<std::string> m_taken; // lower case
};

} // namespace tw
