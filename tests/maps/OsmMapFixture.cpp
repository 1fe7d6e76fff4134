// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/maps/OsmMapFixture.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace tw::maps::osmmap {
namespace {

namespace fs = std::filesystem;

WriteTimes g_times;

fs::path corpusFile()
{
    const fs::path file = fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "corpus" / "osm" /
                          "liechtenstein-2013-08-03.osm.pbf";
    std::error_code ec;
    return fs::is_regular_file(file, ec) ? file : fs::path();
}

// Writes the bytes unless the file holds them already: tests run as
// processes of their own, several at once, and each finds the map written.
// A new file takes its place whole (written aside, then renamed).
void keep(const fs::path& path, const std::string& bytes)
{
    std::error_code ec;
    if (fs::is_regular_file(path, ec) && fs::file_size(path, ec) == bytes.size()) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        if (s.str() == bytes)
            return;
    }
    fs::create_directories(path.parent_path());
    const fs::path aside = path.string() + "." + std::to_string(::getpid()) + ".part";
    {
        std::ofstream out(aside, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out.flush())
            throw std::runtime_error("cannot write " + aside.string());
    }
    fs::rename(aside, path);
}

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const OsmData& extractData()
{
    static const OsmData data = [] {
        const fs::path pbf = corpusFile();
        if (pbf.empty())
            return OsmData{};
        const auto start = std::chrono::steady_clock::now();
        OsmData d = readOsm(pbf);
        g_times.readSeconds = since(start);
        return d;
    }();
    return data;
}

} // namespace

fs::path liechtensteinExtract() { return corpusFile(); }

const OsmMap& liechtensteinContent()
{
    static const OsmMap map = [] {
        const OsmData& data = extractData();
        const auto start = std::chrono::steady_clock::now();
        OsmMap m = writeOsmMap(data);
        g_times.writeSeconds = since(start);
        return m;
    }();
    return map;
}

const fs::path& liechtensteinMap()
{
    static const fs::path path = []() -> fs::path {
        if (corpusFile().empty())
            return {};
        const fs::path p = fs::path(TARNWICK_OSMMAP_DIR) / "liechtenstein.map";
        keep(p, liechtensteinContent().bytes);
        return p;
    }();
    return path;
}

const MapHalves& liechtensteinHalves()
{
    static const MapHalves halves = [] {
        MapHalves h;
        const OsmData& data = extractData();
        if (data.objects.empty())
            return h;
        h.west = writeOsmMap(splitAt(data, kLiechtensteinSplitLonE6, true));
        h.east = writeOsmMap(splitAt(data, kLiechtensteinSplitLonE6, false));
        h.westPath = fs::path(TARNWICK_OSMMAP_DIR) / "liechtenstein-west.map";
        h.eastPath = fs::path(TARNWICK_OSMMAP_DIR) / "liechtenstein-east.map";
        keep(h.westPath, h.west.bytes);
        keep(h.eastPath, h.east.bytes);
        return h;
    }();
    return halves;
}

WriteTimes liechtensteinWriteTimes() { return g_times; }

} // namespace tw::maps::osmmap
