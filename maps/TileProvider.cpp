// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/TileProvider.h"

#include "maps/MapyCzTileProvider.h"
#include "maps/MercatorTileProvider.h"
#include "maps/VectorSource.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

TileStorage storageOf(const MapSource& source)
{
    if (source.storage == "database")
        return TileStorage::Database;
    if (source.storage == "mbtiles")
        return TileStorage::MbTiles;
    if (isVectorSource(source))
        return TileStorage::Vector;
    return TileStorage::Folder;
}

} // namespace

TileProvider::TileProvider(const MapSource& source, Options options)
    : m_centre(options.centre), m_mapFolder(std::move(options.mapFolder)), m_source(source),
      m_storage(storageOf(source)), m_prompter(options.prompter)
{
    m_mapTypeIndex = options.mapType;
    if (options.zoom)
        m_zoom = *options.zoom;
    else if (const MapType* type = getMapType(m_source, options.mapType))
        m_zoom = type->defaultZoom;
}

TileProvider::~TileProvider() = default;

TileDatabase* TileProvider::database(int m)
{
    if (m_storage != TileStorage::Database)
        return nullptr;
    const fs::path path = databasePath(m);
    if (path.empty())
        return nullptr;
    auto& slot = m_databases[path];
    if (!slot) {
        slot = std::make_unique<TileDatabase>(path, m_prompter);
        std::error_code ec;
        // A file that is not there yet is made for the downloads; one that
        // is there and does not open is the user's and worth a word.
        if (!slot->open() && fs::exists(path, ec))
            noteUnreadable(path, slot->problem());
    }
    return slot->isOpen() ? slot.get() : nullptr;
}

fs::path TileProvider::databaseFileOf(const std::string& base) const
{
    auto [it, added] = m_databaseFiles.try_emplace(base);
    if (added)
        it->second = tileDatabaseFile(m_mapFolder, base);
    return it->second;
}

void TileProvider::noteUnreadable(const fs::path& path, const std::string& reason)
{
    for (const UnreadableTileFile& known : m_unreadable)
        if (known.path == path)
            return;
    m_unreadable.push_back({path, reason});
}

std::optional<TileBytes> TileProvider::readTileBlob(WorldPoint tile, int m)
{
    if (m_storage == TileStorage::Database) {
        TileDatabase* db = database(m);
        if (!db)
            return std::nullopt;
        auto blob = db->read(databaseKey(tile, m), keysBySet());
        if (!db->problem().empty())
            noteUnreadable(db->path(), db->problem());
        return blob;
    }
    if (m_storage == TileStorage::MbTiles) {
        const fs::path path = databasePath(m);
        if (path.empty())
            return std::nullopt;
        auto& slot = m_mbtiles[path];
        if (!slot)
            slot = std::make_unique<MbTilesReader>(path);
        auto blob = slot->read(m_zoom, tileColumn(tile), tileRow(tile));
        if (!slot->problem().empty())
            noteUnreadable(path, slot->problem());
        return blob;
    }
    return std::nullopt;
}

bool TileProvider::hasTile(WorldPoint tile, int m)
{
    if (m_storage != TileStorage::Folder)
        return readTileBlob(tile, m).has_value();
    const fs::path path = tilePath(tile, m);
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

void TileProvider::deleteTile(WorldPoint tile, int m)
{
    switch (m_storage) {
    case TileStorage::Folder: {
        const fs::path path = tilePath(tile, m);
        std::error_code ec;
        if (!path.empty())
            fs::remove(path, ec);
        break;
    }
    case TileStorage::Database:
        if (TileDatabase* db = database(m)) {
            const TileKey key = databaseKey(tile, m);
            db->remove(key.x, key.y, key.z);
        }
        break;
    case TileStorage::MbTiles:
        // The user's own file: never written.
        break;
    case TileStorage::Vector:
        break;
    }
}

void TileProvider::setZoom(int zoom)
{
    m_zoom = std::clamp(zoom, 0, maxSupportedZoom());
    m_scale.reset();
    zoomChanged();
}

int TileProvider::minZoom() const
{
    const MapType* type = mapType(m_mapTypeIndex);
    return type ? type->minZoom : 1;
}

int TileProvider::maxZoom() const
{
    const MapType* type = mapType(m_mapTypeIndex);
    return type ? std::min(type->maxZoom, maxSupportedZoom()) : 13;
}

int TileProvider::maxAvailZoom() const
{
    const MapType* type = mapType(m_mapTypeIndex);
    return type ? type->maxAvailZoom : 0;
}

void TileProvider::setCentre(geo::LatLon centre)
{
    m_centre = centre;
    m_scale.reset();
}

ScaleBar TileProvider::scale()
{
    if (!m_scale)
        m_scale = computeScale();
    return *m_scale;
}

std::unique_ptr<TileProvider> makeTileProvider(const MapSource& source, TileProvider::Options options)
{
    if (source.type == "Google")
        return std::make_unique<MercatorTileProvider>(source, std::move(options));
    if (source.type == "MapyCz")
        return std::make_unique<MapyCzTileProvider>(source, std::move(options));
    return nullptr;
}

std::unique_ptr<TileProvider> openMapProvider(const MapSources& sources, int sourceIndex, MapTypeChoice& choice,
                                              TileProvider::Options options, Prompter& prompter)
{
    const MapSource* source = findSource(sources, sourceIndex);
    if (!source || (source->type != "Google" && source->type != "MapyCz")) {
        prompter.message(options.invalidConfigText, MessageIcon::Exclamation);
        return nullptr;
    }
    if (!options.prompter)
        options.prompter = &prompter;
    if (isVectorSource(*source)) {
        const MapSource vector = vectorSourceView(*source, options);
        fitChoiceToSource(vector, choice);
        options.mapType = choice.mapType;
        return makeTileProvider(vector, std::move(options));
    }
    fitChoiceToSource(*source, choice);
    options.mapType = choice.mapType;
    return makeTileProvider(*source, std::move(options));
}

fs::path tileDatabaseFile(const fs::path& folder, const std::string& base)
{
    const fs::path ours = folder / (base + ".twmap");
    const fs::path theirs = folder / (base + ".sqlitedb");
    std::error_code ec;
    if (!fs::exists(ours, ec) && fs::is_regular_file(theirs, ec))
        return theirs;
    return ours;
}

std::string fillUrlTemplate(const std::string& urlTemplate, const std::string& x, const std::string& y, int zoom)
{
    std::string url = text::replaceAll(urlTemplate, "{x}", x);
    url = text::replaceAll(url, "{y}", y);
    return text::replaceAll(url, "{z}", std::to_string(zoom));
}

ScaleBar roundScale(double metresPer64Px)
{
    const double l = metresPer64Px;
    if (!(l > 0) || !std::isfinite(l))
        return {};
    double n;
    if (l < 75)
        n = std::trunc((l + 5) * 0.1) * 10;
    else if (l < 750)
        n = std::trunc((l + 50) * 0.01) * 100;
    else
        n = std::trunc((l + 500) * 0.001) * 1000;
    return {static_cast<int>(n), static_cast<int>(std::trunc(n / l * 64))};
}

std::string scaleText(int metres)
{
    if (metres < 1000)
        return std::to_string(metres) + " m";
    return std::to_string(metres / 1000) + " km";
}

} // namespace tw::maps
