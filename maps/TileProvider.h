// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "maps/MapConfig.h"
#include "maps/MbTilesReader.h"
#include "maps/TileDatabase.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tw::maps {

/** A point in the provider's world space. Mercator: 1000 units per tile at
 *  the current zoom, rows growing southward. MapyCz: 1/32 metre of UTM zone
 *  33, rows growing northward. */
struct WorldPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const WorldPoint&, const WorldPoint&) = default;
};

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

/** A part of an ancestor tile image, counted from its top-left corner. */
struct TilePart {
    int column = 0;
    int row = 0;
    friend bool operator==(const TilePart&, const TilePart&) = default;
};

/** Scale bar: `metres` shown on a bar of `pixels` (before display scaling). */
struct ScaleBar {
    int metres = 0;
    int pixels = 0;
};

/** Where the tiles come from. Vector: no store at all; a renderer draws
 *  them from the source's map files. */
enum class TileStorage { Folder, Database, MbTiles, Vector };

/** A tile file of the map folder that exists but does not read. */
struct UnreadableTileFile {
    std::filesystem::path path;
    std::string reason; // SQLite's words
};

/** One tile chosen for an area download: (zoom, tileLeft, tileTop). */
using AreaTile = std::tuple<int, std::int32_t, std::int32_t>;

inline constexpr int kTileSizePx = 256;
/** Stands in for the extension of a tile file not yet downloaded. */
inline constexpr const char* kExtPlaceholder = "<ext>";

/** Turns positions into tile addresses, and tile addresses into their stored
 *  image, their URL and their deletion. Used on the window thread only. The
 *  map type index m is 0..2 for the basic map types, 3..5 for the overlays. */
class TileProvider {
public:
    struct Options {
        std::filesystem::path mapFolder;
        geo::LatLon centre;
        int mapType = 0;          // the basic map type whose defaultZoom applies
        std::optional<int> zoom;  // keep a zoom instead of the map type's default
        Prompter* prompter = nullptr;
        // Shown when the chosen source cannot be drawn, in the user's language.
        std::string invalidConfigText = kInvalidMapConfig;
    };

    TileProvider(const MapSource& source, Options options);
    virtual ~TileProvider();
    TileProvider(const TileProvider&) = delete;
    TileProvider& operator=(const TileProvider&) = delete;

    virtual WorldPoint latLonToWorld(double latDeg, double lonDeg) = 0;
    virtual geo::LatLon worldToLatLon(WorldPoint p) = 0;
    /** Pixels from the top-left corner of the tile that holds the view centre. */
    PixelPoint pixelOffset(WorldPoint p) { return pixelOffsetFrom(p, centreWorld()); }
    /** The same, with the view centre already projected (many points, one view). */
    virtual PixelPoint pixelOffsetFrom(WorldPoint p, WorldPoint centre) const = 0;
    virtual int tileColumn(WorldPoint p) const = 0;
    virtual int tileRow(WorldPoint p) const = 0;
    virtual std::int32_t tileLeft(WorldPoint p) const = 0;
    virtual std::int32_t tileTop(WorldPoint p) const = 0;
    virtual std::string tileSetName(int m) const = 0;
    /** dRows counts northward for both kinds. */
    virtual WorldPoint offsetByTiles(WorldPoint p, int dColumns, int dRows) const = 0;
    virtual void panByPixels(int dx, int dy) = 0;
    /** The centre, at the current zoom, of sub-tile (i, j) of the tile that
     *  held p at fromZoom; (0, 0) is the sub-tile at the image's top left. */
    virtual WorldPoint childTileCentre(WorldPoint p, int fromZoom, int i, int j) const = 0;
    /** Which part of the enclosing tile at the current, lower zoom the tile of
     *  p at fromZoom covers, counted from the enclosing image's top left. */
    virtual TilePart ancestorPart(int m, int fromZoom, WorldPoint p) const = 0;
    virtual WorldPoint doublePoint(WorldPoint p) const = 0;
    virtual WorldPoint halvePoint(WorldPoint p) const = 0;
    virtual std::filesystem::path tilePath(WorldPoint tile, int m) const = 0;
    virtual std::string tileUrl(WorldPoint tile, int m) const = 0;
    /** Where the tile is stored in a tile database. */
    virtual TileKey databaseKey(WorldPoint tile, int m) const = 0;
    /** The tile database file of map type m; empty for folder storage or an
     *  unusable name. */
    virtual std::filesystem::path databasePath(int m) const = 0;
    /** Waypoints are drawn above this zoom. */
    virtual int waypointZoom() const = 0;
    /** Highest zoom the world coordinates of the kind can hold. */
    virtual int maxSupportedZoom() const = 0;
    /** The set name takes part in database lookups (several map types share
     *  one file). */
    virtual bool keysBySet() const = 0;

    /** Database or MBTiles storage: the stored image. */
    std::optional<TileBytes> readTileBlob(WorldPoint tile, int m);
    /** True when a stored image (file or row) exists for the tile. */
    bool hasTile(WorldPoint tile, int m);
    void deleteTile(WorldPoint tile, int m);
    /** The open tile database of map type m, or null. */
    TileDatabase* database(int m);

    void setZoom(int zoom);
    void zoomIn() { setZoom(m_zoom + 1); }
    void zoomOut() { setZoom(m_zoom - 1); }
    int zoom() const { return m_zoom; }
    /** The basic map type whose zoom limits apply. */
    int mapTypeIndex() const { return m_mapTypeIndex; }

    int minZoom() const;
    int maxZoom() const;
    int maxAvailZoom() const;

    geo::LatLon centre() const { return m_centre; }
    void setCentre(geo::LatLon centre);
    WorldPoint centreWorld() { return latLonToWorld(m_centre.lat, m_centre.lon); }

    ScaleBar scale();

    const MapSource& source() const { return m_source; }
    const MapType* mapType(int m) const { return getMapType(m_source, m); }
    const std::filesystem::path& mapFolder() const { return m_mapFolder; }
    TileStorage storage() const { return m_storage; }
    /** Downloads have a place to go: folder or database storage. */
    bool canStoreDownloads() const { return m_storage == TileStorage::Folder || m_storage == TileStorage::Database; }

    /** The tiles chosen for an area download. */
    std::set<AreaTile> areaTiles;

    /** Tile files met so far that could not be opened or read, each once,
     *  in the order they failed. */
    const std::vector<UnreadableTileFile>& unreadableFiles() const { return m_unreadable; }

protected:
    /** tileDatabaseFile in the map folder, looked up once per name: tiles
     *  ask for it many times a frame. */
    std::filesystem::path databaseFileOf(const std::string& base) const;
    virtual void zoomChanged() {}
    virtual ScaleBar computeScale() = 0;
    int m_zoom = 12;
    int m_mapTypeIndex = 0;
    geo::LatLon m_centre;
    std::filesystem::path m_mapFolder;

private:
    void noteUnreadable(const std::filesystem::path& path, const std::string& reason);

    MapSource m_source;
    TileStorage m_storage;
    Prompter* m_prompter;
    std::optional<ScaleBar> m_scale;
    std::map<std::filesystem::path, std::unique_ptr<TileDatabase>> m_databases;
    std::map<std::filesystem::path, std::unique_ptr<MbTilesReader>> m_mbtiles;
    std::vector<UnreadableTileFile> m_unreadable;
    mutable std::map<std::string, std::filesystem::path> m_databaseFiles;
};

/** The provider kind the source's type names; null for an unknown type. */
std::unique_ptr<TileProvider> makeTileProvider(const MapSource& source, TileProvider::Options options);

/** The provider the map view draws with. The choice is first fitted to the
 *  source; an unknown source type, or a source index that no loaded source
 *  has, shows "Invalid map configuration" and gives null. A vector source
 *  gets its zoom limits from its map files (see vectorSourceView). */
std::unique_ptr<TileProvider> openMapProvider(const MapSources& sources, int sourceIndex, MapTypeChoice& choice,
                                              TileProvider::Options options, Prompter& prompter);

/** The tile database `base` of the folder: "base.twmap", or "base.sqlitedb"
 *  when only that exists (the name other map programs give these files). */
std::filesystem::path tileDatabaseFile(const std::filesystem::path& folder, const std::string& base);

/** The template with {x}, {y} and {z} replaced. */
std::string fillUrlTemplate(const std::string& urlTemplate, const std::string& x, const std::string& y, int zoom);

/** Rounds a bar of lengthM metres per 64 pixels to a round number. */
ScaleBar roundScale(double metresPer64Px);
/** "%d m" below 1000 m, "%d km" above. */
std::string scaleText(int metres);

} // namespace tw::maps
