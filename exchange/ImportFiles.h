// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// One GPX document of an import: a file on disk, or a zip member held in
// memory (members are never extracted under their own names).
struct ImportDocument {
    std::string name;
    std::filesystem::path path; // empty for a zip member
    std::string bytes;          // the member's content
};

// The documents that one import of path reads, in order:
// - a zip of a pocket query: its main file, then its "-wpts" file;
// - X.gpx: the file, then X-wpts.gpx (or X_wpts.gpx) when that lies beside
//   it, so that the additional waypoints find their caches.
// Nothing when the file cannot be read; error then says why.
std::optional<std::vector<ImportDocument>> importDocuments(const std::filesystem::path& path, std::string* error);

} // namespace tw
