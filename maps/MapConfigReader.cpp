// SPDX-License-Identifier: GPL-3.0-or-later
// Reading map configuration files.
#include "maps/MapConfig.h"
#include "platform/Numbers.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

int zoomValue(const std::string& text)
{
    return num::leadingInt(text).value_or(0);
}

// "no", "false" or "0", in any case and with spaces around.
bool saysNo(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string word(text);
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "no" || word == "false" || word == "0";
}

std::string trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

// Far deeper than any real configuration (root, source, type, field).
constexpr int kMaxMapConfigDepth = 16;

// Reads on past malformed markup: what was recognised stays. Texts are kept
// as written, whitespace and line breaks included.
struct MapConfigReader {
    explicit MapConfigReader(MapSources& s) : sources(s) {}

    MapSources& sources;
    bool inRoot = false;
    bool inMapType = false;
    std::optional<MapSource> source;
    std::optional<MapType> type;
    // Depth of the element being read, and where the open source and type
    // began: a source inside a source (or a type inside a type) is not one,
    // so a file of endlessly nested sources gives one, not thousands.
    int depth = 0;
    int sourceDepth = 0;
    int typeDepth = 0;

    void start(const std::string& name, std::string&)
    {
        if (++depth > kMaxMapConfigDepth)
            return;
        if (name == "Tarnwick") {
            inRoot = true;
        } else if (inRoot && name == "MapSource" && !source) {
            source.emplace();
            sourceDepth = depth;
        } else if (inRoot && name == "MapType" && !type) {
            type.emplace();
            typeDepth = depth;
            inMapType = true;
        } else if (name == "invertY" && inMapType && type) {
            type->invertY = true;
        }
    }

    void attribute(const std::string&, std::string_view name, std::u16string_view value)
    {
        if (type && depth == typeDepth && name == "mode")
            type->mode = toUtf8(value);
    }

    void end(const std::string& name, std::string& text)
    {
        const int at = depth--;
        if (!inRoot || at > kMaxMapConfigDepth)
            return;
        if (name == "name" || name == "file") {
            MapType* t = inMapType && type ? &*type : nullptr;
            std::string* field = nullptr;
            if (t)
                field = name == "name" ? &t->name : &t->file;
            else if (source)
                field = name == "name" ? &source->name : &source->file;
            if (field)
                *field = text;
        } else if (source && name == "type") {
            source->type = text;
        } else if (source && name == "storage") {
            source->storage = text;
        } else if (source && name == "requestHeader") {
            source->requestHeader = text;
        } else if (source && !type && name == "mapFile") {
            // A file name, never a path: nothing outside the map folder is read.
            if (std::string file = trimmed(text); isSafeFileName(file))
                source->mapFiles.push_back(std::move(file));
        } else if (source && !type && name == "theme") {
            if (std::string file = trimmed(text); isSafeFileName(file))
                source->theme = std::move(file);
        } else if (source && !type && name == "bulkDownload") {
            source->bulkDownload = !saysNo(text);
        } else if (type) {
            typeField(name, text);
        }
        if (name == "MapType" && type && at == typeDepth) {
            if (source) {
                auto& list = type->mode == "basic" ? source->basic : source->overlay;
                if ((type->mode == "basic" || type->mode == "overlay") && list.size() < kMaxMapTypesPerMode)
                    list.push_back(std::move(*type));
            }
            type.reset();
            inMapType = false;
        } else if (name == "MapSource" && source && at == sourceDepth) {
            // A vector map is drawn in Web Mercator tiles, whatever else the
            // file says.
            if (isVectorSource(*source)) {
                source->type = "Google";
                source->bulkDownload = false; // nothing to fetch
            }
            const int index = sources.empty() ? 0 : sources.rbegin()->first + 1;
            sources.emplace(index, std::move(*source));
            source.reset();
        }
    }

    void typeField(const std::string& name, const std::string& text)
    {
        if (name == "url") {
            type->url = text;
        } else if (name == "defaultZoom") {
            // Zoom 0 (the whole world in one tile) is a real choice here;
            // only a value that does not read keeps the default.
            if (const auto v = num::leadingInt(text))
                type->defaultZoom = *v;
        } else if (name == "minZoom") {
            if (const int v = zoomValue(text))
                type->minZoom = v;
        } else if (name == "maxZoom") {
            const int v = zoomValue(text);
            if (v)
                type->maxZoom = v;
            if (type->maxAvailZoom == 0)
                type->maxAvailZoom = v;
        } else if (name == "maxAvailZoom") {
            if (const int v = zoomValue(text))
                type->maxAvailZoom = v;
        }
    }
};

} // namespace

void readMapConfig(const fs::path& path, MapSources& sources)
{
    CUtf8FileSource file(path);
    if (!file.isOpen())
        return;
    CXmlTokenizer xml(file);
    MapConfigReader reader(sources);
    walkElements<XmlWalkOptions{.maxText = kMaxShortElementText}>(xml, reader);
}

void loadMapConfigs(const fs::path& installDir, const std::string& language, const fs::path& mapFolder,
                    MapSources& sources)
{
    std::error_code ec;
    const fs::path localised = installDir / ("map-config-" + language + ".xml");
    readMapConfig(fs::exists(localised, ec) ? localised : installDir / "map-config.xml", sources);

    // Sorted by name, so that the stored source index keeps meaning the same
    // source from one start to the next.
    std::vector<fs::path> files;
    for (fs::directory_iterator it(mapFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.ends_with("map-config.xml") && it->is_regular_file(ec))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
        readMapConfig(file, sources);
    addFoundMapFiles(mapFolder, sources);
}

void addFoundMapFiles(const fs::path& mapFolder, MapSources& sources)
{
    std::set<std::string> named;
    for (const auto& [index, source] : sources)
        if (isVectorSource(source))
            named.insert(source.mapFiles.begin(), source.mapFiles.end());
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(mapFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        std::error_code fileEc;
        if (path.extension() == ".map" && path.stem() != "" && it->is_regular_file(fileEc)
            && !named.contains(path.filename().string()))
            found.push_back(path.filename().string());
    }
    // Sorted, so that a source keeps its index while no file is added.
    std::sort(found.begin(), found.end());
    for (const std::string& file : found) {
        MapSource source;
        source.type = "Google";
        source.name = fs::path(file).stem().string();
        source.storage = kVectorStorage;
        source.bulkDownload = false;
        source.mapFiles = {file};
        const int index = sources.empty() ? 0 : sources.rbegin()->first + 1;
        sources.emplace(index, std::move(source));
    }
}

} // namespace tw::maps
