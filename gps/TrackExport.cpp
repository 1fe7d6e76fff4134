// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/TrackExport.h"

#include "gps/CTrackLogger.h"
#include "platform/AtomicFile.h"
#include "platform/Numbers.h"

#include <algorithm>
#include <set>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr double kFeetPerMetre = 3.2808399;
constexpr double kDaysTo1970 = 25569.0; // days from 30 December 1899

std::string utf16le(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    out.reserve(2 + ascii.size() * 2);
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string padded(int value, int width)
{
    std::string s = std::to_string(value);
    return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, '0') + s;
}

std::string utcText(std::time_t t)
{
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    return padded(tm.tm_year + 1900, 4) + "-" + padded(tm.tm_mon + 1, 2) + "-" + padded(tm.tm_mday, 2) + "T"
           + padded(tm.tm_hour, 2) + ":" + padded(tm.tm_min, 2) + ":" + padded(tm.tm_sec, 2) + "Z";
}

// Writes through a temporary file renamed into place, so that a full disk
// never leaves a cut file under the final name.
bool writeWhole(const fs::path& path, const std::string& bytes)
{
    const fs::path temp = partFileOf(path);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size() && ok) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk before the track may be deleted.
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd); // not every file system syncs a folder; the file is in place either way
        ::close(dirFd);
    }
    return true;
}

} // namespace

std::string exportBaseName(const std::string& name, int startDate, int startTime)
{
    const std::string base = !name.empty() ? name : "track_" + padded(startDate, 8) + "_" + padded(startTime, 6);
    std::string out;
    for (const char ch : base) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) == 0x80)
            continue; // the rest of a multi-byte character
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        out += alnum ? ch : '_';
    }
    return out;
}

std::string trackGpx(const std::vector<TrackPoint>& points)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>"
                    "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" creator=\"Tarnwick\" version=\"1.1\">"
                    "<trk><name>Tarnwick track log</name><trkseg>";
    for (const TrackPoint& p : points) {
        s += "<trkpt lat=\"" + num::formatFixed(p.lat, 6) + "\" lon=\"" + num::formatFixed(p.lon, 6) + "\">";
        s += "<ele>" + num::formatFixed(p.alt, 2) + "</ele>";
        s += "<time>" + utcText(p.time) + "</time>";
        s += "<hdop>" + num::formatFixed(p.hdop, 2) + "</hdop>";
        s += "</trkpt>";
    }
    s += "</trkseg></trk></gpx>";
    return utf16le(s);
}

// Every element where the KML 2.2 schema's sequences put it: a feature's
// name, visibility and open come first, then Snippet, description and style,
// a placemark's geometry last; a line string's tessellate and altitude mode
// before its coordinates.
std::string trackKml(const std::vector<TrackPoint>& points)
{
    std::string s = "<?xml version=\"1.0\" standalone=\"yes\"?>"
                    "<kml xmlns=\"http://www.opengis.net/kml/2.2\">"
                    "<Document><name><![CDATA[track]]></name><visibility>1</visibility><open>1</open>"
                    "<Snippet><![CDATA[created using <A href=\"https://tarnwick.example.org/\">Tarnwick</A>]]></Snippet>"
                    "<Folder id=\"Tracks\"><name>Tracks</name><visibility>1</visibility><open>0</open>"
                    "<Placemark><name><![CDATA[Tarnwick track log]]></name><Snippet></Snippet>"
                    "<description><![CDATA[&nbsp;]]></description>"
                    "<Style><LineStyle><color>FFAB814B</color><width>4</width></LineStyle></Style>"
                    "<MultiGeometry><LineString><tessellate>1</tessellate>"
                    "<altitudeMode>clampToGround</altitudeMode><coordinates>";
    for (const TrackPoint& p : points)
        s += num::formatFixed(p.lon, 9) + "," + num::formatFixed(p.lat, 9) + "," + num::formatFixed(p.alt, 3) + " ";
    s += "</coordinates></LineString></MultiGeometry></Placemark></Folder></Document></kml>";
    return utf16le(s);
}

std::string trackPlt(const std::vector<TrackPoint>& points)
{
    std::string s = "OziExplorer Track Point File Version 2.0\r\n"
                    "WGS 84\r\n"
                    "Altitude is in Feet\r\n"
                    "Reserved 3\r\n"
                    "0,2,255,Tarnwick Track Log,1\r\n"
                    "0\r\n";
    for (const TrackPoint& p : points) {
        const double day = static_cast<double>(p.time) / 86400.0 + kDaysTo1970;
        s += num::formatFixed(p.lat, 8) + ", " + num::formatFixed(p.lon, 8) + ", 0, "
             + num::formatFixed(p.alt * kFeetPerMetre, 1) + ", " + num::formatFixed(day, 6) + ",,\r\n";
    }
    return s;
}

TrackExportResult exportTrack(CTrackLogger& logger, int trackId, const TrackExportOptions& options,
                              ExportNames* names)
{
    TrackExportResult result;
    const auto header = logger.trackHeader(trackId);
    std::string base = header ? exportBaseName(header->name, header->date, header->time) : exportBaseName({}, 0, 0);
    if (names)
        base = names->claim(base);
    bool readOk = true;
    const std::vector<TrackPoint> points = logger.trackPoints(trackId, &readOk);
    bool allWritten = readOk && header.has_value();
    bool anyChosen = false;
    struct Format {
        bool chosen;
        const char* extension;
        std::string (*write)(const std::vector<TrackPoint>&);
    };
    for (const Format& f : {Format{options.gpx, ".gpx", trackGpx}, Format{options.kml, ".kml", trackKml},
                            Format{options.plt, ".plt", trackPlt}}) {
        if (!f.chosen)
            continue;
        anyChosen = true;
        const fs::path path = options.folder / (base + f.extension);
        if (writeWhole(path, f.write(points)))
            result.written.push_back(path);
        else
            allWritten = false; // a missing folder or a full disk: no message, as before
    }
    result.complete = anyChosen && allWritten;
    // Deleting a track whose export failed would lose it for good.
    if (options.deleteAfter && result.complete) {
        logger.deleteTrack(trackId);
        result.deleted = true;
    }
    return result;
}

std::vector<TrackExportResult> exportTracks(CTrackLogger& logger, const std::vector<int>& trackIds,
                                            const TrackExportOptions& options)
{
    // What exports that were killed left behind.
    removeStalePartFiles(options.folder, [](const std::string& name) {
        return name.ends_with(".gpx") || name.ends_with(".kml") || name.ends_with(".plt");
    });
    ExportNames names;
    std::vector<TrackExportResult> results;
    results.reserve(trackIds.size());
    for (const int id : trackIds)
        results.push_back(exportTrack(logger, id, options, &names));
    return results;
}

bool exportAllTracks(CTrackLogger& logger, const TrackExportOptions& options)
{
    // A track of its start marker alone (every run begins one when there is
    // none) holds nothing to export: it would be a file without a point.
    std::set<int> empty;
    for (const TrackListEntry& t : logger.listTracks())
        if (t.pointCount <= 1)
            empty.insert(t.trackId);
    std::vector<int> ids = logger.trackIds();
    std::erase_if(ids, [&](int id) { return empty.count(id) != 0; });
    const auto results = exportTracks(logger, ids, options);
    return std::all_of(results.begin(), results.end(), [](const TrackExportResult& r) { return r.complete; });
}

} // namespace tw
