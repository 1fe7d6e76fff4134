// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CGpxImporter.h"

#include "db/Enumerations.h"
#include "db/FoundDate.h"
#include "exchange/CacheCodes.h"
#include "geo/DateText.h"
#include "platform/JobProgress.h"
#include "platform/Clock.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tw {
namespace {

// Attribute entries of one cache: the attribute table, each with yes and no.
constexpr std::size_t kMaxAttributes = 256;
// Travel bugs of one cache: far more than any cache holds, and memory stays
// bounded whatever a file lists.
constexpr std::size_t kMaxTravelBugs = 1000;

// Positions that are somewhere on Earth.
bool validCoordinate(double value, double limit)
{
    return std::isfinite(value) && std::abs(value) <= limit;
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

bool validDate(int ymd)
{
    return ymd >= 19000101 && ymd <= 99991231;
}

bool isFindLog(int type)
{
    return type == LogType::FoundIt || type == LogType::Attended || type == LogType::WebcamPhotoTaken;
}

// The cache extension of any of its versions (1/0, 1/0/1, 1/0/2) comes
// under this one prefix in every file seen.
constexpr const char* kCacheElement = "groundspeak:cache";
// The name the cache site gives the pocket query of the user's own finds.
constexpr const char* kMyFindsName = "My Finds Pocket Query";

} // namespace

std::string guidFromUrl(const std::string& url, const char* path)
{
    const std::size_t at = url.find(path);
    if (at == std::string::npos)
        return {};
    const std::string site = url.substr(0, at);
    const bool address = site.empty() || ((startsWith(site, "http://") || startsWith(site, "https://")) &&
                                          site.find('/', site.find("//") + 2) == std::string::npos);
    return address ? url.substr(at + std::strlen(path)) : std::string();
}

struct CGpxImporter::State {
    explicit State(ImportPipeline& p) : pipeline(p) {}
    ImportPipeline& pipeline;
    // Logs of spare caches, for the parser's next logs.
    std::vector<std::unique_ptr<CGeoLog>> spareLogs;
    std::unique_ptr<CGeocache> cache;
    std::unique_ptr<CWaypoint> waypoint;
    std::unique_ptr<CGeoLog> log;
    // A short value on its way to a number or a type.
    std::string value;
    std::string attributeEntry;
    // What names the entry; its code is found from them at its end.
    std::string fileName;
    std::string address;
    std::string gsakCode;
    std::string gsakParent;
    int gsakFound = 0;
    bool hasCacheElement = false;
    bool symFound = false;
    ImportEntry::Kind kind = ImportEntry::Kind::Cache;
    // The document's own name said it is the user's finds.
    bool myFinds = false;
    bool sawWpt = false;
    bool wptOpen = false;
    bool badPosition = false;
    bool latRead = false;
    bool lonRead = false;
    bool waypointTypeKnown = false;
    bool inAttributes = false;
    bool inLogs = false;
    bool inLog = false;
    bool inTravelBugs = false;
    bool inTravelBug = false;
    bool dnf = false;
    int originalRead = 0; // 1 latitude, 2 longitude before the correction
    bool sawGpxEnd = false;
};

// The walker's callbacks, inlined into its loop. The element text is the
// importer's to empty: a start tag of a container keeps what came before it.
struct CGpxImporter::Reader {
    CGpxImporter& importer;
    State& s;
    JobProgress* progress;

    void start(const std::string& name, std::string& text) { importer.startTag(s, name, text); }
    void attribute(const std::string& element, const char* name, std::u16string_view value)
    {
        if (s.wptOpen)
            importer.attribute(s, element, name, toUtf8(value));
    }
    // False once the entry that just ended is the last to read.
    bool end(const std::string& name, std::string& text)
    {
        const bool entryEnded = importer.endTag(s, name, text, progress);
        return !(entryEnded && (importer.m_tally.stopped || importer.cancelled()));
    }
};

CGpxImporter::CGpxImporter(ImportStore& store, std::string nickname)
    : m_store(store), m_nickname(std::move(nickname))
{
}

CGpxImporter::Outcome CGpxImporter::parse(CXmlCharSource& source, JobProgress* progress)
{
    // A store that broke down on an earlier document takes nothing more.
    if (m_tally.stopped)
        return Outcome::Failed;
    CXmlTokenizer xml(source);
    // Pocket queries write accented letters as numeric references.
    xml.setDecodeCharacterReferences(true);
    xml.setWholeTexts(true);
    ImportPipeline pipeline(m_store, m_tally, progress, m_pipelined);
    State s(pipeline);
    Reader reader{*this, s, progress};
    const XmlWalkResult walked = walkElements<XmlWalkOptions{.textReset = XmlTextReset::ByReader}>(xml, reader);
    // The last entries may still be on their way into the store.
    pipeline.finish();
    if (m_tally.stopped)
        return Outcome::Failed;
    if (walked.stopped)
        return Outcome::Cancelled;
    return s.sawGpxEnd ? Outcome::Complete : Outcome::Truncated;
}

bool CGpxImporter::cancelled() const
{
    return cancel || (m_externalCancel && *m_externalCancel);
}

void CGpxImporter::startTag(State& s, const std::string& name, std::string& text)
{
    if (name == "wpt") {
        s.cache = s.pipeline.spares().cache(s.spareLogs);
        s.waypoint = s.pipeline.spares().waypoint();
        s.log.reset();
        s.wptOpen = true;
        s.sawWpt = true;
        s.badPosition = false;
        s.latRead = s.lonRead = s.waypointTypeKnown = false;
        s.inAttributes = s.inLogs = s.inLog = s.inTravelBugs = s.inTravelBug = false;
        s.dnf = false;
        s.originalRead = 0;
        s.fileName.clear();
        s.address.clear();
        s.gsakCode.clear();
        s.gsakParent.clear();
        s.gsakFound = 0;
        s.hasCacheElement = s.symFound = false;
    } else if (name == "groundspeak:attributes") {
        if (s.cache)
            s.cache->attributes.clear();
        s.inAttributes = true;
    } else if (name == "groundspeak:logs") {
        s.inLogs = true;
    } else if (name == "groundspeak:log") {
        s.log = ImportSpares::log(s.spareLogs);
        s.inLog = true;
    } else if (name == "groundspeak:travelbugs") {
        if (s.cache)
            s.cache->travelBugs.clear();
        s.inTravelBugs = true;
    } else if (name == "groundspeak:travelbug" && s.inTravelBugs) {
        s.inTravelBug = s.cache && s.cache->travelBugs.size() < kMaxTravelBugs;
        if (s.inTravelBug)
            s.cache->travelBugs.emplace_back();
    } else if (name == kCacheElement) {
        s.hasCacheElement = s.wptOpen;
        text.clear();
    } else {
        text.clear();
    }
}

void CGpxImporter::attribute(State& s, const std::string& element, const char* name, const std::string& value)
{
    CGeocache& c = *s.cache;
    auto readInt = [&](int& field) {
        if (const auto v = num::leadingInt(value))
            field = *v;
    };
    if (element == "wpt") {
        const bool lat = std::strcmp(name, "lat") == 0;
        if (!lat && std::strcmp(name, "lon") != 0)
            return;
        const auto v = num::leadingDouble(value);
        if (!v)
            return;
        if (!validCoordinate(*v, lat ? 90.0 : 180.0)) {
            s.badPosition = true;
            return;
        }
        (lat ? c.lat : c.lon) = *v;
        (lat ? s.latRead : s.lonRead) = true;
        s.waypoint->lat = c.lat;
        s.waypoint->lon = c.lon;
    } else if (element == "link") {
        // GPX 1.1 writes the address as an attribute; the first link is the listing's.
        if (std::strcmp(name, "href") == 0 && s.address.empty() && !value.empty()) {
            s.address = value;
            readAddress(s);
        }
    } else if (element == "groundspeak:cache") {
        if (std::strcmp(name, "id") == 0)
            readInt(c.cacheId);
        else if (std::strcmp(name, "available") == 0)
            c.status = value == "False" ? 1 : 0;
        else if (std::strcmp(name, "archived") == 0 && value == "True")
            c.status = 2;
    } else if (element == "groundspeak:owner") {
        if (std::strcmp(name, "id") == 0)
            readInt(c.ownerId);
    } else if (element == "groundspeak:log" && s.inLog && s.log) {
        if (std::strcmp(name, "id") == 0)
            readInt(s.log->logId);
    } else if (element == "groundspeak:finder" && s.inLog && s.log) {
        if (std::strcmp(name, "id") == 0)
            readInt(s.log->finderId);
    } else if (element == "groundspeak:short_description") {
        if (std::strcmp(name, "html") == 0)
            c.shortDescHtml = value != "False";
    } else if (element == "groundspeak:long_description") {
        if (std::strcmp(name, "html") == 0)
            c.longDescHtml = value != "False";
    } else if (element == "groundspeak:travelbug" && s.inTravelBug) {
        if (std::strcmp(name, "id") == 0)
            readInt(c.travelBugs.back().id);
        else if (std::strcmp(name, "ref") == 0)
            c.travelBugs.back().ref = value;
    } else if (element == "groundspeak:attribute" && s.inAttributes) {
        if (std::strcmp(name, "id") == 0) {
            s.attributeEntry = attributeName(num::leadingInt(value).value_or(0));
        } else if (std::strcmp(name, "inc") == 0) {
            s.attributeEntry += value == "0" ? "-no" : "-yes";
            auto& list = c.attributes;
            if (list.size() < kMaxAttributes && std::find(list.begin(), list.end(), s.attributeEntry) == list.end())
                list.push_back(s.attributeEntry);
        }
    }
}

std::string CGpxImporter::takeText(std::string& text)
{
    std::string t;
    takeText(text, t);
    return t;
}

const std::string& CGpxImporter::takeText(std::string& text, std::string& out)
{
    // Writers indent and break lines around element content; the blanks
    // around a value are layout, not data. Texts are stored with LF line
    // ends, as an XML reader would hand them over. The text is used up:
    // an end tag that reads it again would make a file of many end tags
    // cost the square of its length.
    // The text is copied out rather than moved, so that the buffer keeps
    // its room for the next element, and out keeps its own.
    m_textBytesRead += text.size();
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first != std::string::npos)
        out.assign(text, first, text.find_last_not_of(blanks) - first + 1);
    else
        out.clear();
    text.clear();
    if (out.find('\r') != std::string::npos)
        out = text::replaceAll(out, "\r\n", "\n");
    return out;
}

void CGpxImporter::readAddress(State& s)
{
    s.cache->guid = guidFromUrl(s.address, kCacheUrlPath);
    s.waypoint->guid = guidFromUrl(s.address, kWaypointUrlPath);
}

bool CGpxImporter::endTag(State& s, const std::string& name, std::string& text, JobProgress* progress)
{
    if (name == "gpx") {
        s.sawGpxEnd = true;
        return false;
    }
    if (name == "name" && !s.wptOpen && !s.sawWpt) {
        // The document's own name (or its author's), before its first entry.
        s.myFinds |= takeText(text, s.value) == kMyFindsName;
        return false;
    }
    if (name == "groundspeak:travelbugs") {
        s.inTravelBugs = s.inTravelBug = false;
        return false;
    }
    if (!s.wptOpen)
        return false;
    CGeocache& c = *s.cache;
    CWaypoint& w = *s.waypoint;

    if (s.inLog && s.log) {
        CGeoLog& log = *s.log;
        if (name == "groundspeak:date") {
            log.date = geo::gpxDate(takeText(text, s.value));
            takeFoundDate(c, log, m_nickname);
            return false;
        }
        if (name == "groundspeak:type") {
            log.type = logTypeFromText(takeText(text, s.value));
            takeFoundDate(c, log, m_nickname);
            return false;
        }
        if (name == "groundspeak:finder") {
            takeText(text, log.finder);
            takeFoundDate(c, log, m_nickname);
            return false;
        }
        if (name == "groundspeak:text") {
            takeText(text, log.text);
            return false;
        }
        if (name == "groundspeak:log") {
            s.inLog = false;
            c.logs.push_back(std::move(s.log));
            return false;
        }
    }

    if (name == "time") {
        c.hidden = geo::gpxDate(takeText(text, s.value));
    } else if (name == "name") {
        // The GPX name of a waypoint is its prefix and its cache's code; the
        // store splits it. Its name for people is the description. A cache's
        // name is mostly its code, but not in every file: the code is found
        // at the end of the entry.
        const std::string& t = takeText(text, s.fileName);
        w.code = t;
        w.name = t;
        if (progress) {
            progress->setText(1, t);
            progress->setText(2, "");
        }
    } else if (name == "cmt") {
        takeText(text, w.text);
    } else if (name == "desc") {
        if (std::string t = takeText(text); !t.empty())
            w.name = std::move(t);
    } else if (name == "url") {
        takeText(text, s.address);
        readAddress(s);
    } else if (name == "sym") {
        const auto type = knownWaypointType(takeText(text, s.value));
        w.type = type.value_or(WaypointType::Reference);
        s.waypointTypeKnown = type.has_value();
        s.symFound = s.value == "Geocache Found";
    } else if (name == "type") {
        // "Waypoint|Parking Area": the type again, or the only one where a
        // writer puts a symbol of its own in sym.
        const auto type = knownWaypointType(takeText(text, s.value));
        if (type && !s.waypointTypeKnown) {
            w.type = *type;
            s.waypointTypeKnown = true;
        }
    } else if (name == "groundspeak:name") {
        if (!s.inTravelBugs) {
            takeText(text, c.name);
            if (progress)
                progress->setText(2, c.name);
        } else if (s.inTravelBug) {
            takeText(text, c.travelBugs.back().name);
        }
    } else if (name == "groundspeak:travelbug") {
        s.inTravelBug = false;
    } else if (name == "groundspeak:owner") {
        c.author = takeText(text);
    } else if (name == "groundspeak:placed_by") {
        // Files without an owner element still name who placed the cache.
        std::string t = takeText(text);
        if (c.author.empty())
            c.author = std::move(t);
    } else if (name == "groundspeak:type") {
        if (!s.inTravelBugs)
            c.type = cacheTypeFromText(takeText(text, s.value));
    } else if (name == "groundspeak:container") {
        c.size = cacheSizeFromText(takeText(text, s.value));
    } else if (name == "groundspeak:difficulty" || name == "groundspeak:terrain") {
        const auto v = num::leadingDouble(takeText(text, s.value));
        if (v && std::isfinite(*v) && std::abs(*v) < 1e6)
            (name == "groundspeak:difficulty" ? c.difficulty : c.terrain) = static_cast<int>(*v * 10.0);
    } else if (name == "groundspeak:short_description") {
        takeText(text, c.text);
    } else if (name == "groundspeak:long_description") {
        takeText(text, c.longDesc);
    } else if (name == "groundspeak:encoded_hints") {
        takeText(text, c.hint);
    } else if (name == "groundspeak:country") {
        c.country = takeText(text);
    } else if (name == "groundspeak:state") {
        c.state = takeText(text);
    } else if (name == "groundspeak:attributes") {
        s.inAttributes = false;
    } else if (name == "groundspeak:logs") {
        s.inLogs = false;
    } else if (name.starts_with("gsak:")) {
        extensionEnd(s, name, text);
    } else if (name == "wpt") {
        // A "didn't find" without its date is still one.
        if (!s.dnf)
            c.dnf.clear();
        else if (c.dnf.empty())
            c.dnf = "x";
        // A position the user never moved is no second one.
        c.hasOriginalPosition = s.originalRead == 3 && (c.originalLat != c.lat || c.originalLon != c.lon);
        store(s);
        s.wptOpen = false;
        return true;
    }
    return false;
}

void CGpxImporter::extensionEnd(State& s, const std::string& name, std::string& text)
{
    // The extension of a common desktop cache manager: the user's own data
    // about the cache, kept where the listing shows it.
    CGeocache& c = *s.cache;
    const std::string_view field = std::string_view(name).substr(5);
    if (field == "Code") {
        takeText(text, s.gsakCode);
    } else if (field == "Parent") {
        takeText(text, s.gsakParent);
    } else if (field == "UserFound" || field == "FoundByMeDate") {
        s.gsakFound = geo::gpxDate(takeText(text, s.value));
    } else if (field == "Guid") {
        if (c.guid.empty())
            takeText(text, c.guid);
        else
            text.clear();
    } else if (field == "LatBeforeCorrect" || field == "LonBeforeCorrect") {
        const bool lat = field[1] == 'a';
        const auto v = num::leadingDouble(takeText(text, s.value));
        if (v && validCoordinate(*v, lat ? 90.0 : 180.0)) {
            (lat ? c.originalLat : c.originalLon) = *v;
            s.originalRead |= lat ? 1 : 2;
        }
    } else if (field == "FavPoints") {
        // -1: the manager does not know them.
        if (const auto v = num::leadingInt(takeText(text, s.value)); v && *v >= 0)
            c.favorites = std::to_string(*v);
    } else if (field == "DNF") {
        s.dnf = takeText(text, s.value) == "true";
    } else if (field == "DNFDate") {
        takeText(text, c.dnf);
    } else if (field == "GcNote" || field.starts_with("UserData") || field == "User2" || field == "User3" ||
               field == "User4") {
        if (takeText(text, s.value).empty())
            return;
        if (!c.importedNote.empty())
            c.importedNote += '\n';
        c.importedNote.append("[").append(field).append("]\n").append(s.value);
    } else {
        text.clear();
    }
}

void CGpxImporter::store(State& s)
{
    // A waypoint of one coordinate, or none (empty or missing attributes),
    // has no position; it is kept as such.
    if (!s.latRead || !s.lonRead)
        s.waypoint->lat = s.waypoint->lon = 0.0;
    classify(s);
    s.pipeline.push({std::move(s.cache), std::move(s.waypoint), s.badPosition, s.kind});
    s.log.reset();
}
void CGpxImporter::classify(State& s)
{
    if (s.hasCacheElement) {
        findCode(s);
        findFoundDate(s);
        s.kind = s.cache->code.empty() ? ImportEntry::Kind::NotACache : ImportEntry::Kind::Cache;
    } else {
        findParent(s);
    }
}

void CGpxImporter::findCode(State& s)
{
    // As the programs that write such files mean it: a manager's own code
    // field; the name when it is a code; the listing address; the site's
    // numeric id; a route planner's name without its "GC"; a lab cache's id.
    CGeocache& c = *s.cache;
    const std::string& name = s.fileName;
    c.code.clear();
    if (!s.gsakCode.empty() && s.gsakCode.find(' ') == std::string::npos)
        c.code = s.gsakCode;
    else if (codes::isWholeCode(name))
        c.code = name;
    else if (const std::string_view fromUrl = codes::codeFromUrl(s.address); !fromUrl.empty())
        c.code = fromUrl;
    else if (c.cacheId > 0)
        c.code = codes::gcCodeFromId(c.cacheId);
    else if (codes::isCodeWithoutPrefix(name))
        c.code = "GC" + name;
    else if (c.cacheId < 0)
        // Lab caches have no code of the site's kind, only negative ids.
        c.code = "LC" + codes::gcCodeFromId(-static_cast<std::int64_t>(c.cacheId)).substr(2);
    if (c.code.empty())
        return;
    if (c.name.empty())
        c.name = name;
    else if (!name.empty() && name != c.code && name != c.name)
        c.shortName = name;
    if (!c.code.starts_with("GC") && c.code.size() > 2 && !m_otherCodes.contains(c.code)) {
        m_otherCodes.insert(c.code);
        const std::string_view prefix = std::string_view(c.code).substr(0, 2);
        bool known = false;
        for (std::size_t i = 0; i + 1 < m_otherPrefixes.size(); i += 2)
            known |= std::string_view(m_otherPrefixes).substr(i, 2) == prefix;
        if (!known)
            m_otherPrefixes += prefix;
    }
}

void CGpxImporter::findParent(State& s)
{
    CWaypoint& w = *s.waypoint;
    const std::string& name = s.fileName;
    s.kind = ImportEntry::Kind::Waypoint;
    if (!s.gsakParent.empty()) {
        // A manager names the parent; the prefix is what the name adds to
        // the parent's code ("S1" of S1WP003 under ACWP003, "1" of OCF19A-1).
        const std::string& parent = s.gsakParent;
        std::string prefix;
        if (name == parent) {
            s.kind = ImportEntry::Kind::NotACache;
            return;
        }
        if (name.size() > 2 && parent.size() > 2 && name.compare(2, std::string::npos, parent, 2) == 0) {
            prefix = name.substr(0, 2);
        } else if (name.size() > parent.size() && name.starts_with(parent)) {
            const std::size_t from = name.find_first_not_of("-_ ", parent.size());
            prefix = name.substr(from == std::string::npos ? parent.size() : from);
        } else {
            prefix = name;
        }
        w.prefix = std::move(prefix);
        w.code = parent;
        return;
    }
    // The cache code with the waypoint's prefix in place of the platform's.
    // Caches of other platforms get their own prefix back.
    if (name.size() > 2) {
        for (std::size_t i = 0; i + 1 < m_otherPrefixes.size(); i += 2) {
            std::string parent = m_otherPrefixes.substr(i, 2) + name.substr(2);
            if (parent != name && m_otherCodes.contains(parent)) {
                w.prefix = name.substr(0, 2);
                w.code = std::move(parent);
                return;
            }
        }
    }
    // A name that is itself a cache-site code, without the cache element,
    // is the cache's position alone, not one of its waypoints; one longer
    // than a prefix and a code names no cache.
    if (name.size() > 7 || (name.starts_with("GC") && codes::isWholeCode(name)))
        s.kind = ImportEntry::Kind::NotACache;
}

void CGpxImporter::findFoundDate(State& s)
{
    // Found by the user when the file says so: the user's own log (taken as
    // the logs came), a manager's found date, the logs of the query of the
    // user's own finds, or the symbol of a found cache. Never because
    // someone else's log says found.
    CGeocache& c = *s.cache;
    if (c.found > 0)
        return;
    if (validDate(s.gsakFound)) {
        c.found = s.gsakFound;
        return;
    }
    if (s.myFinds) {
        // That query brings one's own logs: the first find, when all find
        // logs of the cache are by the same finder.
        const CGeoLog* find = nullptr;
        bool oneFinder = true;
        for (const auto& log : c.logs) {
            if (!isFindLog(log->type))
                continue;
            if (find && (find->finder != log->finder || find->finderId != log->finderId))
                oneFinder = false;
            if (!find || log->date < find->date)
                find = log.get();
        }
        if (find && oneFinder && validDate(find->date)) {
            c.found = find->date;
            return;
        }
    }
    // Found, on a day the file does not tell: the day it came in.
    if (s.symFound)
        c.found = todayYmd();
}


} // namespace tw
