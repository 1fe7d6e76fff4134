// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/GsakImporter.h"

#include "db/Database.h"
#include "db/Enumerations.h"
#include "db/FoundDate.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "geo/DateText.h"
#include "platform/Clock.h"
#include "platform/JobProgress.h"
#include "platform/Numbers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace tw {
namespace {

// The columns of a cache, in the order the query reads them. Those from
// Name on to UserNote's group are the manager's own names; a database
// without one reads NULL there.
enum Column {
    kCode, kName, kPlacedBy, kOwnerName, kCacheType, kContainer, kDifficulty, kTerrain, kLatitude, kLongitude,
    kLatOriginal, kLonOriginal, kHasCorrected, kArchived, kTempDisabled, kFound, kPlacedDate, kCountry, kState,
    kFavPoints, kFoundByMeDate, kDnf, kDnfDate, kCacheId, kShortHtm, kLongHtm, kUserData, kUser2, kUser3, kUser4,
    // The texts: in CacheMemo, or in Caches in versions without it.
    kLongDescription, kShortDescription, kHints, kUserNote, kGcNote, kColumnCount
};
constexpr std::array<const char*, kColumnCount> kColumns = {
    "Code", "Name", "PlacedBy", "OwnerName", "CacheType", "Container", "Difficulty", "Terrain", "Latitude",
    "Longitude", "LatOriginal", "LonOriginal", "HasCorrected", "Archived", "TempDisabled", "Found", "PlacedDate",
    "Country", "State", "FavPoints", "FoundByMeDate", "DNF", "DNFDate", "CacheId", "ShortHtm", "LongHtm",
    "UserData", "User2", "User3", "User4", "LongDescription", "ShortDescription", "Hints", "UserNote", "GcNote"};

// Attribute entries of one cache, as in the GPX import.
constexpr std::size_t kMaxAttributes = 256;

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The manager's tables and their columns, names compared without case as
// SQLite compares them.
class Layout {
public:
    explicit Layout(SQLite::Database& db) : m_db(db) {}

    const std::set<std::string>& columns(const char* table)
    {
        const std::string key = lower(table);
        auto found = m_tables.find(key);
        if (found != m_tables.end())
            return found->second;
        std::set<std::string> names;
        SQLite::Statement info(m_db, std::string("PRAGMA table_info(`") + table + "`)");
        while (info.Next())
            names.insert(lower(info.ColumnText(1)));
        return m_tables.emplace(key, std::move(names)).first->second;
    }
    bool has(const char* table, const char* column) { return columns(table).contains(lower(column)); }
    bool hasAll(const char* table, std::initializer_list<const char*> names)
    {
        return std::all_of(names.begin(), names.end(), [&](const char* n) { return has(table, n); });
    }

    // The snapshot is the import's own: an index the manager's file lacks
    // turns each cache's look-up from a scan of the table into a search.
    void index(const char* table, const char* column)
    {
        if (!has(table, column) || hasIndexOn(table, column))
            return;
        m_db.Exec(std::string("CREATE INDEX `tarnwick_") + table + "_" + column + "` ON `" + table + "` (`" + column +
                  "`)");
    }

private:
    bool hasIndexOn(const char* table, const char* column)
    {
        SQLite::Statement list(m_db, std::string("PRAGMA index_list(`") + table + "`)");
        std::vector<std::string> indexes;
        while (list.Next())
            indexes.push_back(list.ColumnText(1));
        for (const std::string& name : indexes) {
            SQLite::Statement info(m_db, "PRAGMA index_info(`" + name + "`)");
            if (info.Next() && info.ColumnInt(0) == 0 && lower(info.ColumnText(2)) == lower(column))
                return true;
        }
        return false;
    }

    SQLite::Database& m_db;
    std::map<std::string, std::set<std::string>> m_tables;
};

std::string columnOr(Layout& layout, const char* table, const char* alias, const char* column)
{
    return layout.has(table, column) ? std::string(alias) + ".`" + column + "`" : std::string("NULL");
}

// Texts come with Windows line ends; they are stored with LF, as the GPX
// import stores them.
void lfOnly(std::string& text)
{
    std::size_t at = text.find('\r');
    if (at == std::string::npos)
        return;
    std::size_t to = at;
    for (; at < text.size(); ++at)
        if (!(text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n'))
            text[to++] = text[at];
    text.resize(to);
}

// Booleans are 0/1 in most versions, 'True'/'False' in some.
bool truth(const std::string& value)
{
    if (value.empty())
        return false;
    const std::string v = lower(value);
    if (v == "true" || v == "yes" || v == "t" || v == "y")
        return true;
    const auto number = num::parseDouble(v);
    return number && *number != 0.0;
}

// Latitudes and longitudes are REAL in some versions and text in others;
// a decimal comma is read too.
std::optional<double> coordinate(std::string value)
{
    auto v = num::parseDouble(value);
    if (!v && std::count(value.begin(), value.end(), ',') == 1) {
        std::replace(value.begin(), value.end(), ',', '.');
        v = num::parseDouble(value);
    }
    return v && std::isfinite(*v) ? v : std::nullopt;
}

// Dates are text "YYYY-MM-DD" (some with a time after it); an empty one and
// the manager's 1900-01-01 mean none.
int date(const std::string& value)
{
    const int ymd = geo::gpxDate(value);
    return ymd > 19000101 && ymd <= 99991231 ? ymd : 0;
}

int cacheType(const std::string& letter)
{
    switch (letter.empty() ? ' ' : std::toupper(static_cast<unsigned char>(letter[0]))) {
    case 'T': return CacheType::Traditional;
    case 'M': return CacheType::Multi;
    case 'V': return CacheType::Virtual;
    case 'B': return CacheType::Letterbox;
    case 'U': return CacheType::Unknown;
    case 'W': return CacheType::Webcam;
    case 'R': return CacheType::Earthcache;
    case 'I': return CacheType::Wherigo;
    // Events of every size and kind: the cleaning-up one, the mega and giga
    // ones, a block party.
    case 'C': case 'D': case 'E': case 'F': case 'J': case 'Z': case 'P': return CacheType::Event;
    // No container, logged by what one saw there: as a locationless cache
    // reads in GPX. A survey mark and a waymark are such.
    case 'L': case 'G': case 'N': case 'Y': return CacheType::Virtual;
    // Kinds of their own (Project APE, the headquarters, the exhibit's maze,
    // a lab, which GPX files bring as "Lab Cache" and reads as Other too)
    // and whatever a later version adds.
    default: return CacheType::Other;
    }
}

int cacheSize(const std::string& word)
{
    const std::string w = lower(word);
    if (w == "micro") return CacheSize::Micro;
    if (w == "small") return CacheSize::Small;
    if (w == "regular") return CacheSize::Regular;
    if (w == "large") return CacheSize::Large;
    if (w == "virtual") return CacheSize::Virtual;
    if (w == "other") return CacheSize::Other;
    return CacheSize::NotChosen;
}

// A rating of 1 to 5 in halves, × 10; the default where it does not read.
void rating(const std::string& value, int& field)
{
    const auto v = num::parseDouble(value);
    if (v && *v >= 1.0 && *v <= 5.0)
        field = static_cast<int>(std::lround(*v * 10.0));
}

// A text for the end of the user's note, under the manager's name of it.
void addNote(std::string& note, const char* heading, std::string text)
{
    lfOnly(text);
    if (text.find_first_not_of(" \t\n") == std::string::npos)
        return;
    if (!note.empty())
        note += '\n';
    note.append("[").append(heading).append("]\n").append(text);
}

bool looksLikeHtml(const std::string& text)
{
    const std::size_t open = text.find('<');
    return open != std::string::npos && text.find('>', open) != std::string::npos;
}

// The waypoint's prefix: what its code adds to its cache's ("PK" of
// PK1A2B3 under GC1A2B3, "1" of OCF19A-1); empty when the code is the
// cache's own.
std::string prefixOf(const std::string& code, const std::string& parent)
{
    if (code == parent)
        return {};
    if (code.size() > 2 && parent.size() > 2 && code.compare(2, std::string::npos, parent, 2) == 0)
        return code.substr(0, 2);
    if (code.size() > parent.size() && code.starts_with(parent)) {
        const std::size_t from = code.find_first_not_of("-_ ", parent.size());
        return code.substr(from == std::string::npos ? parent.size() : from);
    }
    return code;
}

bool validPosition(double lat, double lon)
{
    return std::abs(lat) <= 90.0 && std::abs(lon) <= 180.0;
}

} // namespace

GsakImporter::GsakImporter(ImportStore& store, std::string nickname)
    : m_store(store), m_nickname(std::move(nickname))
{
}

bool GsakImporter::cancelled() const
{
    return cancel || (m_externalCancel && *m_externalCancel);
}

GsakImporter::Outcome GsakImporter::read(SQLite::Database& db, JobProgress* progress)
{
    if (m_tally.stopped)
        return Outcome::Failed;
    ImportPipeline pipeline(m_store, m_tally, progress, m_pipelined);
    Outcome outcome = Outcome::Complete;
    try {
        Layout layout(db);
        const bool memo = layout.has("CacheMemo", "Code");
        std::string select = "SELECT ";
        for (int i = 0; i < kColumnCount; ++i) {
            const char* name = kColumns[i];
            std::string expression = i >= kLongDescription && memo && layout.has("CacheMemo", name)
                                         ? std::string("m.`") + name + "`"
                                         : columnOr(layout, "Caches", "c", name);
            select += (i ? ", " : "") + expression;
        }
        select += " FROM `Caches` c";
        if (memo)
            select += " LEFT JOIN `CacheMemo` m ON m.`Code` = c.`Code`";

        // The copy goes when the import ends: its indexes need no journal.
        db.Exec("PRAGMA journal_mode = OFF");
        db.Exec("PRAGMA synchronous = OFF");
        // Read once, in the order of the caches: a small page cache does,
        // and the import's memory stays that of a GPX import.
        db.Exec("PRAGMA cache_size = -8192");
        layout.index("CacheMemo", "Code");
        layout.index("Logs", "lParent");
        layout.index("LogMemo", "lLogId");
        layout.index("Waypoints", "cParent");
        layout.index("WayMemo", "cCode");
        layout.index("Attributes", "aCode");

        std::optional<SQLite::Statement> logQuery, waypointQuery, attributeQuery;
        if (layout.hasAll("Logs", {"lParent", "lLogId"})) {
            const bool text = layout.hasAll("LogMemo", {"lLogId", "lText"});
            std::string sql = "SELECT l.`lLogId`, " + columnOr(layout, "Logs", "l", "lType") + ", " +
                              columnOr(layout, "Logs", "l", "lBy") + ", " + columnOr(layout, "Logs", "l", "lDate") +
                              ", " + (text ? "t.`lText`" : "NULL") + " FROM `Logs` l";
            if (text) {
                // Log numbers are the site's, so one log's text belongs to
                // one cache; where the memo names it, the cache must match.
                sql += " LEFT JOIN `LogMemo` t ON t.`lLogId` = l.`lLogId`";
                if (layout.has("LogMemo", "lParent"))
                    sql += " AND t.`lParent` = l.`lParent`";
            }
            sql += " WHERE l.`lParent` = ? ORDER BY " + std::string(layout.has("Logs", "lDate") ? "l.`lDate` DESC, " : "") +
                   "l.`lLogId` DESC";
            logQuery.emplace(db, sql);
        }
        if (layout.hasAll("Waypoints", {"cParent", "cCode"})) {
            const bool text = layout.hasAll("WayMemo", {"cCode", "cComment"});
            std::string sql = "SELECT w.`cCode`, " + columnOr(layout, "Waypoints", "w", "cName") + ", " +
                              columnOr(layout, "Waypoints", "w", "cType") + ", " +
                              columnOr(layout, "Waypoints", "w", "cLat") + ", " +
                              columnOr(layout, "Waypoints", "w", "cLon") + ", " + (text ? "t.`cComment`" : "NULL") +
                              " FROM `Waypoints` w";
            if (text) {
                sql += " LEFT JOIN `WayMemo` t ON t.`cCode` = w.`cCode`";
                if (layout.has("WayMemo", "cParent"))
                    sql += " AND t.`cParent` = w.`cParent`";
            }
            waypointQuery.emplace(db, sql + " WHERE w.`cParent` = ? ORDER BY w.rowid");
        }
        if (layout.hasAll("Attributes", {"aCode", "aId"}))
            attributeQuery.emplace(db, "SELECT `aId`, " + columnOr(layout, "Attributes", "a", "aInc") +
                                       " FROM `Attributes` a WHERE `aCode` = ? ORDER BY a.rowid");

        if (progress) {
            SQLite::Statement count(db, "SELECT COUNT(*) FROM `Caches`");
            progress->setRange(count.Next() ? count.ColumnInt(0) : 0);
        }
        SQLite::Statement caches(db, select);
        std::vector<std::unique_ptr<CGeoLog>> spareLogs;
        int done = 0;
        while (!m_tally.stopped && caches.Next()) {
            if (cancelled()) {
                outcome = Outcome::Cancelled;
                break;
            }
            const auto col = [&](int i) { return caches.ColumnText(i); };
            ImportEntry entry;
            entry.cache = pipeline.spares().cache(spareLogs);
            CGeocache& c = *entry.cache;
            c.code = col(kCode);
            c.code.erase(c.code.find_last_not_of(" \t") + 1);
            if (c.code.empty()) {
                entry.kind = ImportEntry::Kind::NotACache;
                pipeline.push(std::move(entry));
                continue;
            }
            c.name = col(kName);
            c.author = col(kOwnerName);
            if (c.author.empty())
                c.author = col(kPlacedBy);
            c.type = cacheType(col(kCacheType));
            c.size = cacheSize(col(kContainer));
            rating(col(kDifficulty), c.difficulty);
            rating(col(kTerrain), c.terrain);
            const auto lat = coordinate(col(kLatitude));
            const auto lon = coordinate(col(kLongitude));
            if (lat && lon) {
                entry.badPosition = !validPosition(*lat, *lon);
                if (!entry.badPosition) {
                    c.lat = *lat;
                    c.lon = *lon;
                }
            }
            // Latitude and Longitude are where the cache is now, corrected
            // or not; the originals are the listing's.
            const auto originalLat = coordinate(col(kLatOriginal));
            const auto originalLon = coordinate(col(kLonOriginal));
            const std::string corrected = col(kHasCorrected);
            if (originalLat && originalLon && validPosition(*originalLat, *originalLon) &&
                (corrected.empty() || truth(corrected)) && (*originalLat != c.lat || *originalLon != c.lon) &&
                (*originalLat != 0.0 || *originalLon != 0.0)) {
                c.hasOriginalPosition = true;
                c.originalLat = *originalLat;
                c.originalLon = *originalLon;
            }
            c.status = truth(col(kArchived)) ? 2 : truth(col(kTempDisabled)) ? 1 : 0;
            c.hidden = date(col(kPlacedDate));
            c.country = col(kCountry);
            c.state = col(kState);
            // -1: the manager does not know them.
            if (const auto favourites = num::parseInt(col(kFavPoints)); favourites && *favourites >= 0)
                c.favorites = std::to_string(*favourites);
            if (const auto id = num::parseInt(col(kCacheId)); id && *id > 0 && *id <= INT32_MAX)
                c.cacheId = static_cast<int>(*id);
            const std::string dnfDate = col(kDnfDate);
            const std::string dnf = col(kDnf);
            if (truth(dnf) || (dnf.empty() && date(dnfDate) > 0))
                c.dnf = date(dnfDate) > 0 ? dnfDate.substr(0, 10) : "x";

            c.longDesc = col(kLongDescription);
            c.text = col(kShortDescription);
            c.hint = col(kHints);
            lfOnly(c.longDesc);
            lfOnly(c.text);
            lfOnly(c.hint);
            const std::string shortHtml = col(kShortHtm);
            const std::string longHtml = col(kLongHtm);
            c.shortDescHtml = shortHtml.empty() ? looksLikeHtml(c.text) : truth(shortHtml);
            c.longDescHtml = longHtml.empty() ? looksLikeHtml(c.longDesc) : truth(longHtml);
            addNote(c.importedNote, "UserNote", col(kUserNote));
            addNote(c.importedNote, "GcNote", col(kGcNote));
            addNote(c.importedNote, "UserData", col(kUserData));
            addNote(c.importedNote, "User2", col(kUser2));
            addNote(c.importedNote, "User3", col(kUser3));
            addNote(c.importedNote, "User4", col(kUser4));

            if (logQuery) {
                logQuery->Reset();
                logQuery->BindText(1, c.code);
                while (logQuery->Next()) {
                    auto log = ImportSpares::log(spareLogs);
                    log->logId = static_cast<int>(num::parseInt(logQuery->ColumnText(0)).value_or(0));
                    log->type = logTypeFromText(logQuery->ColumnText(1));
                    log->finder = logQuery->ColumnText(2);
                    log->date = date(logQuery->ColumnText(3));
                    log->text = logQuery->ColumnText(4);
                    lfOnly(log->text);
                    takeFoundDate(c, *log, m_nickname);
                    c.logs.push_back(std::move(log));
                }
            }
            // The manager's own word on the find comes before the logs'.
            const std::string found = col(kFound);
            const int foundDate = date(col(kFoundByMeDate));
            if (foundDate > 0 && (found.empty() || truth(found)))
                c.found = foundDate;
            else if (truth(found) && c.found == 0)
                c.found = todayYmd();
            if (attributeQuery) {
                attributeQuery->Reset();
                attributeQuery->BindText(1, c.code);
                while (attributeQuery->Next()) {
                    const std::string name = attributeName(static_cast<int>(num::parseInt(attributeQuery->ColumnText(0)).value_or(0)));
                    const std::string inc = attributeQuery->ColumnText(1);
                    if (name.empty() || c.attributes.size() >= kMaxAttributes)
                        continue;
                    std::string attribute = name + (inc.empty() || truth(inc) ? "-yes" : "-no");
                    if (std::find(c.attributes.begin(), c.attributes.end(), attribute) == c.attributes.end())
                        c.attributes.push_back(std::move(attribute));
                }
            }
            if (progress) {
                progress->setText(1, c.code);
                progress->setText(2, c.name);
            }
            const std::string parent = c.code;
            pipeline.push(std::move(entry));

            // The cache's waypoints after it, so that they find it stored.
            if (waypointQuery) {
                waypointQuery->Reset();
                waypointQuery->BindText(1, parent);
                while (waypointQuery->Next()) {
                    ImportEntry point;
                    point.kind = ImportEntry::Kind::Waypoint;
                    point.waypoint = pipeline.spares().waypoint();
                    CWaypoint& w = *point.waypoint;
                    const std::string code = waypointQuery->ColumnText(0);
                    w.prefix = prefixOf(code, parent);
                    if (w.prefix.empty())
                        point.kind = ImportEntry::Kind::NotACache;
                    w.code = parent;
                    w.name = waypointQuery->ColumnText(1);
                    if (w.name.empty())
                        w.name = code;
                    w.type = waypointTypeFromText(waypointQuery->ColumnText(2));
                    const auto wLat = coordinate(waypointQuery->ColumnText(3));
                    const auto wLon = coordinate(waypointQuery->ColumnText(4));
                    if (wLat && wLon) {
                        point.badPosition = !validPosition(*wLat, *wLon);
                        if (!point.badPosition) {
                            w.lat = *wLat;
                            w.lon = *wLon;
                        }
                    }
                    w.text = waypointQuery->ColumnText(5);
                    lfOnly(w.text);
                    pipeline.push(std::move(point));
                }
            }
            if (progress && ++done % 64 == 0)
                progress->setPosition(done);
        }
        if (progress)
            progress->setPosition(done);
    } catch (const SQLite::Error& e) {
        m_readError = e.message;
        outcome = Outcome::BrokeOff;
    }
    pipeline.finish();
    if (m_tally.stopped)
        return Outcome::Failed;
    return outcome;
}

} // namespace tw
