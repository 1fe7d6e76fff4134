// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileDatabase.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace tw::maps {

/** Largest tile body accepted; a larger one is dropped. */
inline constexpr std::size_t kMaxTileBytes = 2u << 20;
/** Largest listing image accepted. */
inline constexpr std::size_t kMaxImageBytes = 10u << 20;

/** Where the map asks for tiles it could not draw: the download queue. */
class TileDownloader {
public:
    virtual ~TileDownloader() = default;
    /** path may end in "<ext>", replaced by the received image type. */
    virtual void enqueueFile(const std::string& url, const std::filesystem::path& path, const std::string& header,
                             std::size_t maxBytes = kMaxImageBytes) = 0;
    /** The tile goes into the database file under key. */
    virtual void enqueueTile(const std::string& url, const TileKey& key, const std::filesystem::path& database,
                             const std::string& header) = 0;
};

} // namespace tw::maps
