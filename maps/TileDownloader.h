// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileDatabase.h"

#include <cstddef>
#include <filesystem>
#include <set>
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
    /** Downloads may go out now (the user has not switched them off). */
    virtual bool downloadsAllowed() const { return true; }

    /** A stored tile that does not decode is fetched again once per run, so
     *  that a server sending damaged data is not asked in a loop. True the
     *  first time for a tile (its file, or database and key). Window thread. */
    bool firstRefetch(const std::string& tile) { return m_refetched.insert(tile).second; }

private:
    std::set<std::string> m_refetched;
};

} // namespace tw::maps
