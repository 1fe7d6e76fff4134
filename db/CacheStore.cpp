// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheStore.h"

#include "db/FixedDeflate.h"
#include "db/FullText.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "db/TravelBugs.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <sqlite3.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tw {

void CompressText(const std::string& text, std::vector<unsigned char>& out)
{
    // zlib data, as every reader of the database expects. A log of a few
    // hundred bytes goes out with the fixed codes: a full compressor spends
    // most of its time on such a text clearing and building its tables, and
    // an import writes over a hundred thousand of them. Longer texts get
    // libdeflate's fastest level, two to three times faster than zlib's.
    // One compressor per thread: it holds its tables between calls.
    constexpr std::size_t kShortText = 2048;
    if (text.size() < kShortText) {
        deflateFixed(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
        return;
    }
    struct Compressor {
        libdeflate_compressor* c = libdeflate_alloc_compressor(1);
        ~Compressor() { libdeflate_free_compressor(c); }
    };
    thread_local Compressor compressor;
    out.clear();
    if (!compressor.c)
        return;
    out.resize(libdeflate_zlib_compress_bound(compressor.c, text.size()));
    out.resize(libdeflate_zlib_compress(compressor.c, text.data(), text.size(), out.data(), out.size()));
}

std::vector<unsigned char> CompressText(const std::string& text)
{
    std::vector<unsigned char> out;
    CompressText(text, out);
    return out;
}

std::string DecompressText(const std::vector<unsigned char>& blob)
{
    if (blob.empty())
        return {};
    // Inflated as far as the data goes: listings of repeated HTML compress
    // far better than 20:1. The cap only guards against a corrupt blob that
    // claims to unfold without end.
    constexpr std::size_t kMaxTextBytes = 64u << 20;
    z_stream s{};
    if (inflateInit(&s) != Z_OK)
        return "error";
    s.next_in = const_cast<Bytef*>(blob.data());
    s.avail_in = static_cast<uInt>(blob.size());
    std::string out;
    std::vector<unsigned char> chunk(64 * 1024);
    int rc = Z_OK;
    while (rc == Z_OK && out.size() < kMaxTextBytes) {
        s.next_out = chunk.data();
        s.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&s, Z_NO_FLUSH);
        const std::size_t produced = chunk.size() - s.avail_out;
        out.append(reinterpret_cast<const char*>(chunk.data()), produced);
        if (rc == Z_BUF_ERROR || (rc == Z_OK && produced == 0 && s.avail_in == 0))
            break; // the blob ends early: keep what it held
    }
    const bool readable = rc == Z_STREAM_END || s.total_out > 0;
    inflateEnd(&s);
    if (!readable)
        return "error";
    if (out.size() > kMaxTextBytes)
        out.resize(kMaxTextBytes);
    // The text ends at its first NUL, as a C string would.
    out.resize(strnlen(out.c_str(), out.size()));
    return out;
}

void CacheStore::InsertLog(const CGeoLog& log, const std::string& code)
{
    // On its own (a published log) it is one transaction with the index.
    SQLite::Transaction transaction(m_db);
    fulltext::removeCache(m_db, code);
    insertLogRow(log, code);
    fulltext::addCache(m_db, code);
    if (const int rc = transaction.commit(); rc != SQLITE_OK)
        throw SQLite::Error(rc, m_db.errorText().empty() ? sqlite3_errstr(rc) : m_db.errorText(), &m_db);
}

void CacheStore::insertLogRow(const CGeoLog& log, const std::string& code)
{
    std::vector<unsigned char> packed;
    const auto& text = log.packedText.empty() ? (packed = CompressText(log.text)) : log.packedText;
    SQLite::Statement insert = m_db.prepareCached("INSERT INTO `geolog` (`id`, `dt`, `type`, `finder`, `logtext`, `gs_logid`, "
                                   "`gs_finderid`) VALUES (?, ?, ?, ?, ?, ?, ?)");
    insert.BindText(1, code);
    insert.BindInt(2, log.date);
    insert.BindText(3, logTypeText(log.type));
    insert.BindText(4, log.finder);
    insert.BindBlob(5, text.data(), static_cast<int>(text.size()));
    insert.BindInt(6, log.logId);
    insert.BindInt(7, log.finderId);
    insert.stepDone();
}

void CacheStore::insertCacheRows(CGeocache& cache)
{
    if (!cache.importedNote.empty())
        cache.comment = appendedNote(cache.comment, cache.importedNote);
    std::vector<unsigned char> packedShort;
    std::vector<unsigned char> packedLong;
    const auto& shortDesc = cache.packedText.empty() ? (packedShort = CompressText(cache.text)) : cache.packedText;
    const auto& longDesc = cache.packedLongDesc.empty() ? (packedLong = CompressText(cache.longDesc)) : cache.packedLongDesc;

    SQLite::Statement insert = m_db.prepareCached(
        "INSERT INTO `geocache` (`id`, `guid`, `x`, `y`, `name` , `author`, `cachetype`, `cachesize`, "
              "`difficulty`, `terrain`, `cachestatus`, `dthidden`, `comment`, `dtfoundtime`, `dtfound`, "
              "`dtupdate`, `country`, `state`, `gs_cacheid`, `gs_ownerid`) VALUES (?, ?, ?, ?, ? ,?, ?, ?, ?, "
              "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.BindText(1, cache.code);
    insert.BindText(2, cache.guid);
    insert.BindDouble(3, cache.lat);
    insert.BindDouble(4, cache.lon);
    insert.BindText(5, cache.name);
    insert.BindText(6, cache.author);
    insert.BindText(7, cacheTypeText(cache.type));
    insert.BindText(8, cacheSizeText(cache.size));
    insert.BindDouble(9, cache.difficulty * 0.1);
    insert.BindDouble(10, cache.terrain * 0.1);
    insert.BindInt(11, cache.status);
    insert.BindInt(12, cache.hidden);
    insert.BindText(13, cache.comment);
    insert.BindInt(14, cache.foundTime);
    insert.BindInt(15, cache.found);
    insert.BindInt(16, todayYmd());
    insert.BindText(17, cache.country);
    insert.BindText(18, cache.state);
    insert.BindInt(19, cache.cacheId);
    insert.BindInt(20, cache.ownerId);
    insert.stepDone();
    const int key = static_cast<int>(m_db.lastInsertRowId());

    SQLite::Statement index = m_db.prepareCached("INSERT INTO `coord_index` VALUES (?, ?, ?, ?, ?)");
    index.BindInt(1, key);
    index.BindDouble(2, cache.lat);
    index.BindDouble(3, cache.lat);
    index.BindDouble(4, cache.lon);
    index.BindDouble(5, cache.lon);
    index.stepDone();

    SQLite::Statement texts = m_db.prepareCached("INSERT INTO `geolist` (`id`, `shortdesc`, `shortdescflag`, `longdesc`, "
                                  "`longdescflag`, `hint`) VALUES (?, ?, ?, ?, ?, ?)");
    texts.BindText(1, cache.code);
    texts.BindBlob(2, shortDesc.data(), static_cast<int>(shortDesc.size()));
    texts.BindInt(3, cache.shortDescHtml);
    texts.BindBlob(4, longDesc.data(), static_cast<int>(longDesc.size()));
    texts.BindInt(5, cache.longDescHtml);
    texts.BindText(6, cache.hint);
    texts.stepDone();

    for (const auto& attribute : cache.attributes) {
        int tagKey = 0;
        SetTag(m_db, cache.code, m_categories.attribute, attribute, true, tagKey, false);
    }
    for (const auto& log : cache.logs)
        insertLogRow(*log, cache.code);
    // Rows another program left behind when it deleted the cache go too.
    replaceTravelBugs(m_db, cache.code, cache.travelBugs);
    insertExtras(cache);
    cache.key = key;
    fulltext::addCache(m_db, cache);
}

int CacheStore::tagKeyOf(const std::string& code, int categoryKey)
{
    SQLite::Statement find = m_db.prepareCached("SELECT `key` FROM `geotag` WHERE `id` = ? AND `ptrkat` = ?");
    find.BindText(1, code);
    find.BindInt(2, categoryKey);
    int key = 0;
    while (find.Next())
        key = find.ColumnInt(0);
    return key;
}

void CacheStore::insertExtras(const CGeocache& cache)
{
    // A replaced cache keeps its tags: the new value goes into the old tag.
    if (!cache.favorites.empty() && m_categories.favorites != 0) {
        int tagKey = tagKeyOf(cache.code, m_categories.favorites);
        SetTag(m_db, cache.code, m_categories.favorites, cache.favorites, true, tagKey, false);
    }
    if (!cache.dnf.empty()) {
        const int category = getCategoryKeyOrThrow(m_db, kDnfCategory, true);
        int tagKey = tagKeyOf(cache.code, category);
        SetTag(m_db, cache.code, category, cache.dnf, true, tagKey, false);
    }
    if (cache.hasOriginalPosition) {
        // An imported waypoint: the next copy of the cache replaces it.
        SQLite::Statement insert = m_db.prepareCached("INSERT INTO `waypoint` (`id`, `guid`, `x`, `y`, `name` , `prefixid`, "
                                       "`cmt`, `comment`, `wpttype`, `flag`, `dtupdate`) VALUES (?, '', ?, ?, ?, "
                                       "?, '', '', ?, 1, ?)");
        insert.BindText(1, cache.code);
        insert.BindDouble(2, cache.originalLat);
        insert.BindDouble(3, cache.originalLon);
        insert.BindText(4, kOriginalPositionName);
        insert.BindText(5, kOriginalPositionPrefix);
        insert.BindText(6, waypointTypeText(WaypointType::Reference));
        insert.BindInt(7, todayYmd());
        insert.stepDone();
    }
}

void CacheStore::noteError(int code, const std::string& text)
{
    m_lastError = code == SQLITE_OK ? SQLITE_ERROR : code;
    m_lastErrorText = text;
}

bool CacheStore::runInTransaction(const std::function<void()>& work)
{
    try {
        SQLite::Transaction transaction(m_db);
        work();
        const int rc = transaction.commit();
        if (rc == SQLITE_OK)
            return true;
        noteError(rc, m_db.errorText().empty() ? sqlite3_errstr(rc) : m_db.errorText());
        return false;
    } catch (const SQLite::Error& e) {
        m_db.Rollback();
        noteError(e.code, e.message);
        m_db.showError(e.message);
        return false;
    }
}

bool CacheStore::InsertCache(CGeocache& cache)
{
    if (runInTransaction([&] { insertCacheRows(cache); }))
        return true;
    cache.key = 0;
    return false;
}

bool CacheStore::cacheExists(const std::string& code)
{
    SQLite::Statement query = m_db.prepareCached("SELECT `key` FROM `geocache` WHERE `id` = ?");
    query.BindText(1, code);
    return query.Next();
}

std::string CacheStore::waypointOwner(int waypointKey)
{
    // The stored row's cache, whatever code the caller's copy carries.
    SQLite::Statement query = m_db.prepareCached("SELECT `id` FROM `waypoint` WHERE `key` = ?");
    query.BindInt(1, waypointKey);
    return query.Next() ? query.ColumnText(0) : std::string();
}

void CacheStore::touchCache(const std::string& code)
{
    SQLite::Statement touch = m_db.prepareCached("UPDATE `geocache` SET `dtupdate` = ? WHERE `id` = ?");
    touch.BindInt(1, todayYmd());
    touch.BindText(2, code);
    touch.stepDone();
}

std::string mergedNote(const std::string& newNote, const std::string& storedNote)
{
    // Both in the shown form, so that LF and CR LF spellings compare equal.
    const std::string fresh = text::storedToShown(newNote);
    const std::string stored = text::storedToShown(storedNote);
    if (stored.find(fresh) != std::string::npos)
        return stored;
    if (fresh.find(stored) != std::string::npos)
        return fresh;
    return fresh + stored;
}

std::string appendedNote(const std::string& note, const std::string& imported)
{
    if (imported.empty() || text::storedToShown(note).find(text::storedToShown(imported)) != std::string::npos)
        return note;
    if (note.empty())
        return imported;
    const bool endsWithLine = note.back() == '\n';
    return note + (endsWithLine ? "\n" : "\n\n") + imported;
}

void CacheStore::deleteCacheRows(const CGeocache& cache, bool keepUserData)
{
    auto run = [&](const char* sql, bool byKey) {
        SQLite::Statement statement(m_db, sql);
        if (byKey)
            statement.BindInt(1, cache.key);
        else
            statement.BindText(1, cache.code);
        statement.stepDone();
    };
    // The documents go while the rows they were made of are still there:
    // every cache of the code, as the texts below belong to the code. Another
    // cache of the same code (a database of another program may have two)
    // comes back without them; a kept waypoint of the user's comes back with
    // the next copy.
    fulltext::removeCache(m_db, cache.code);
    run("DELETE FROM `geocache` WHERE `key` = ?", true);
    run("DELETE FROM `coord_index` WHERE `key` = ?", true);
    run("DELETE FROM `geolist` WHERE `id` = ?", false);
    run("DELETE FROM `geolog` WHERE `id` = ?", false);
    deleteTravelBugs(m_db, cache.code);
    if (!keepUserData) {
        run("DELETE FROM `geotag` WHERE `id` = ?", false);
        run("DELETE FROM `waypoint` WHERE `id` = ?", false);
        fulltext::addCache(m_db, cache.code);
        return;
    }
    // Attributes come with every copy of the listing; everything else tagged
    // to the cache is the user's and survives.
    SQLite::Statement tags = m_db.prepareCached("SELECT `key`, `ptrkat` FROM `geotag` WHERE `id` = ?");
    tags.BindText(1, cache.code);
    std::vector<int> attributeTags;
    while (tags.Next())
        if (m_categories.attribute != 0 && tags.ColumnInt(1) == m_categories.attribute)
            attributeTags.push_back(tags.ColumnInt(0));
    SQLite::Statement drop = m_db.prepareCached("DELETE FROM `geotag` WHERE `key` = ?");
    for (const int key : attributeTags) {
        drop.Reset();
        drop.BindInt(1, key);
        drop.stepDone();
    }
    run("DELETE FROM `waypoint` WHERE `id` = ? AND `flag` = '1'", false);
    fulltext::addCache(m_db, cache.code);
}

bool CacheStore::DeleteCache(const CGeocache& cache, bool keepUserData)
{
    if (!runInTransaction([&] { deleteCacheRows(cache, keepUserData); }))
        return false;
    if (m_onDeleted)
        m_onDeleted();
    return true;
}

void CacheStore::replaceCacheRows(CGeocache& cache)
{
    if (const auto stored = LoadCacheByCode(m_db, cache.code)) {
        cache.key = stored->key;
        cache.comment = mergedNote(cache.comment, stored->comment);
        if (stored->found > 0 && cache.found == 0)
            cache.found = stored->found;
        if (stored->foundTime > 0 && cache.foundTime == 0)
            cache.foundTime = stored->foundTime;
        deleteCacheRows(*stored, true);
    }
    insertCacheRows(cache);
}

bool CacheStore::ReplaceCache(CGeocache& cache)
{
    const int previousKey = cache.key;
    if (runInTransaction([&] { replaceCacheRows(cache); }))
        return true;
    cache.key = previousKey;
    return false;
}

void CacheStore::tagAsImported(const std::string& code)
{
    // One marker per cache, however often the same file comes in; a replace
    // keeps the one the cache had. Extra ones left by older versions go.
    SQLite::Statement find = m_db.prepareCached("SELECT `key` FROM `geotag` WHERE `id` = ? AND `ptrkat` = ?");
    find.BindText(1, code);
    find.BindInt(2, m_categories.lastImport);
    std::vector<int> keys;
    while (find.Next())
        keys.push_back(find.ColumnInt(0));
    if (keys.empty()) {
        int tagKey = 0;
        SetTag(m_db, code, m_categories.lastImport, "x", true, tagKey, false);
        return;
    }
    SQLite::Statement drop = m_db.prepareCached("DELETE FROM `geotag` WHERE `key` = ?");
    for (std::size_t i = 1; i < keys.size(); ++i) {
        drop.Reset();
        drop.BindInt(1, keys[i]);
        drop.stepDone();
    }
}

namespace {

// The tag category of the names files give caches besides their codes.
constexpr const char* kShortNameCategory = "shortname";

// One short-name tag per cache, rewritten with each import that brings one.
// Inside the caller's transaction; throws SQLite::Error.
void tagShortName(SQLite::Database& db, const CGeocache& cache)
{
    if (cache.shortName.empty())
        return;
    const int category = getCategoryKeyOrThrow(db, kShortNameCategory, true);
    int tagKey = 0;
    SQLite::Statement find = db.prepareCached("SELECT `key` FROM `geotag` WHERE `id` = ? AND `ptrkat` = ?");
    find.BindText(1, cache.code);
    find.BindInt(2, category);
    if (find.Next())
        tagKey = find.ColumnInt(0);
    SetTag(db, cache.code, category, cache.shortName, true, tagKey, false);
}

} // namespace

int CacheStore::StoreImportedCache(CGeocache& cache)
{
    // The dummy cache holds the user's loose waypoints; no file replaces it.
    if (cache.code == kDummyCacheCode)
        return ImportResult::NotStored;
    bool exists = false;
    try {
        exists = cacheExists(cache.code);
    } catch (const SQLite::Error& e) {
        noteError(e.code, e.message);
        m_db.showError(e.message);
        return ImportResult::Failed;
    }

    if (exists && m_impOnlyNew == 0) {
        const int previousKey = cache.key;
        if (runInTransaction([&] {
                replaceCacheRows(cache);
                tagAsImported(cache.code);
                tagShortName(m_db, cache);
            }))
            return ImportResult::Replaced;
        cache.key = previousKey;
        return ImportResult::Failed;
    }
    if (!exists) {
        if (runInTransaction([&] {
                insertCacheRows(cache);
                tagAsImported(cache.code);
                tagShortName(m_db, cache);
            }))
            return ImportResult::NewCache;
        cache.key = 0;
        return ImportResult::Failed;
    }
    // Left alone: still one of the caches of this import.
    return runInTransaction([&] { tagAsImported(cache.code); }) ? ImportResult::NotStored : ImportResult::Failed;
}

int CacheStore::UpdateCacheBasics(const CGeocache& cache)
{
    if (cache.code == kDummyCacheCode)
        return ImportResult::Nothing;
    bool exists = false;
    try {
        exists = cacheExists(cache.code);
    } catch (const SQLite::Error& e) {
        m_db.showError(e.message);
        return ImportResult::Nothing;
    }
    if (!exists)
        return ImportResult::Nothing;
    if (m_impOnlyNew != 0)
        return ImportResult::NotStored;
    const bool ok = runInTransaction([&] {
        fulltext::removeCache(m_db, cache.code);
        SQLite::Statement update(m_db, "UPDATE `geocache` SET `x` = ?, `y` = ?, `name` = ? , `author` = ?, "
                                       "`cachetype` = ?, `cachesize` = ?, `difficulty` = ?, `terrain` = ?, "
                                       "`cachestatus` = ? WHERE `id` = ?");
        update.BindDouble(1, cache.lat);
        update.BindDouble(2, cache.lon);
        update.BindText(3, cache.name);
        update.BindText(4, cache.author);
        update.BindText(5, cacheTypeText(cache.type));
        update.BindText(6, cacheSizeText(cache.size));
        update.BindDouble(7, cache.difficulty * 0.1);
        update.BindDouble(8, cache.terrain * 0.1);
        update.BindInt(9, cache.status);
        update.BindText(10, cache.code);
        update.stepDone();
        // The spatial index follows the position, or distance filters would
        // still find the cache at its old place.
        SQLite::Statement index = m_db.prepareCached("UPDATE `coord_index` SET `minX` = ?, `maxX` = ?, `minY` = ?, `maxY` = ? "
                                      "WHERE `key` IN (SELECT `key` FROM `geocache` WHERE `id` = ?)");
        index.BindDouble(1, cache.lat);
        index.BindDouble(2, cache.lat);
        index.BindDouble(3, cache.lon);
        index.BindDouble(4, cache.lon);
        index.BindText(5, cache.code);
        index.stepDone();
        fulltext::addCache(m_db, cache.code);
    });
    return ok ? ImportResult::Replaced : ImportResult::Nothing;
}

bool CacheStore::SetComment(CGeocache& cache, const std::string& text)
{
    cache.comment = text;
    return runInTransaction([&] {
        fulltext::removeCache(m_db, cache.code);
        SQLite::Statement update(m_db, "UPDATE `geocache` SET `comment` = ?, `dtupdate` = ? WHERE `id` = ?");
        update.BindText(1, text);
        update.BindInt(2, todayYmd());
        update.BindText(3, cache.code);
        update.stepDone();
        fulltext::addCache(m_db, cache.code);
    });
}

bool CacheStore::SetFoundState(CGeocache& cache, int logType, const std::string& text, std::time_t when)
{
    cache.updated = todayYmd();
    const bool isFind = logTypeIsFind(logType);
    if (isFind) {
        const LocalTime t = localTime(when);
        cache.found = t.year * 10000 + t.month * 100 + t.day;
        cache.foundTime = t.hour * 100 + t.minute;
    } else if (logType == LogType::ClearFind) {
        cache.found = 0;
        cache.foundTime = 0;
    }
    cache.fieldNoteText = text;
    cache.fieldNoteType = logType;

    // The stamp is the visit's: a find's date and time, or the date and time
    // the user picked for any other visit (today only when none was given).
    int stampDate = isFind ? cache.found : cache.updated;
    int stampTime = cache.foundTime;
    if (!isFind && when > 0) {
        const LocalTime t = localTime(when);
        stampDate = t.year * 10000 + t.month * 100 + t.day;
        stampTime = t.hour * 100 + t.minute;
    }
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%d-%04d", stampDate, stampTime);
    cache.fieldNoteTime = stamp;

    const bool stored = runInTransaction([&] {
        SQLite::Statement update(m_db, "UPDATE `geocache` SET `dtfound` = ?, `dtfoundtime` = ?, `dtupdate` = ? "
                                       "WHERE `id` = ?");
        update.BindInt(1, cache.found);
        update.BindInt(2, cache.foundTime);
        update.BindInt(3, cache.updated);
        update.BindText(4, cache.code);
        update.stepDone();
    });
    if (!stored)
        return false;
    // The three tags in one more transaction: a field note is whole or absent.
    return runInTransaction([&] {
        SetTag(m_db, cache.code, m_categories.fieldNote, text, true, cache.fieldNoteTextTag, false);
        SetTag(m_db, cache.code, m_categories.fieldNoteType, logTypeText(logType), true, cache.fieldNoteTypeTag,
               false);
        SetTag(m_db, cache.code, m_categories.fieldNoteTime, cache.fieldNoteTime, false, cache.fieldNoteTimeTag,
               false);
    });
}

bool CacheStore::InsertWaypoint(CWaypoint& waypoint)
{
    return runInTransaction([&] {
        touchCache(waypoint.code);
        const bool indexed = fulltext::waypointAdded(m_db, waypoint.code, waypoint.name, waypoint.text,
                                                     waypoint.comment);
        if (!indexed)
            fulltext::removeCache(m_db, waypoint.code);
        SQLite::Statement insert = m_db.prepareCached("INSERT INTO `waypoint` (`id`, `guid`, `x`, `y`, `name` , `prefixid`, "
                                       "`cmt`, `comment`, `wpttype`, `flag`, `dtupdate`) VALUES (?, ?, ?, ?, ?, "
                                       "?, ?, ?, ?, ?, ?)");
        insert.BindText(1, waypoint.code);
        insert.BindText(2, waypoint.guid);
        insert.BindDouble(3, waypoint.lat);
        insert.BindDouble(4, waypoint.lon);
        insert.BindText(5, waypoint.name);
        insert.BindText(6, waypoint.prefix);
        insert.BindText(7, waypoint.text);
        insert.BindText(8, waypoint.comment);
        insert.BindText(9, waypointTypeText(waypoint.type));
        insert.BindInt(10, waypoint.flag);
        insert.BindInt(11, waypoint.updated);
        insert.stepDone();
        waypoint.key = static_cast<int>(m_db.lastInsertRowId());
        if (!indexed)
            fulltext::addCache(m_db, waypoint.code);
    });
}

bool CacheStore::UpdateWaypoint(CWaypoint& waypoint)
{
    waypoint.updated = todayYmd();
    return runInTransaction([&] {
        touchCache(waypoint.code);
        const std::string owner = waypointOwner(waypoint.key);
        fulltext::removeCache(m_db, owner);
        SQLite::Statement update = m_db.prepareCached("UPDATE `waypoint` SET `x` = ?, `y` = ?, `name` = ?, `cmt` = ?, "
                                       "`comment` = ?, `wpttype` = ?, `dtupdate` = ? WHERE `key` = ?");
        update.BindDouble(1, waypoint.lat);
        update.BindDouble(2, waypoint.lon);
        update.BindText(3, waypoint.name);
        update.BindText(4, waypoint.text);
        update.BindText(5, waypoint.comment);
        update.BindText(6, waypointTypeText(waypoint.type));
        update.BindInt(7, waypoint.updated);
        update.BindInt(8, waypoint.key);
        update.stepDone();
        fulltext::addCache(m_db, owner);
    });
}

int CacheStore::StoreImportedWaypoint(CWaypoint& waypoint)
{
    // With a prefix the code is already its cache's (a file named the
    // cache, or the cache is another platform's). Otherwise the name's
    // first two letters are the prefix.
    if (waypoint.prefix.empty()) {
        // Not even a prefix: no cache code can be made of it.
        if (waypoint.code.size() < 2)
            return ImportResult::NotStored;
        waypoint.prefix = waypoint.code.substr(0, 2);
        waypoint.code = "GC" + waypoint.code.substr(2);
    }
    waypoint.flag = 1;
    // The dummy cache's waypoints are the user's own; an import neither
    // adds to them nor overwrites one.
    if (waypoint.code == kDummyCacheCode)
        return ImportResult::NotStored;
    // The site's identifier of the waypoint finds it again when a file gives
    // it another prefix. An address identifies nothing: other sites link
    // every waypoint to its cache's page.
    const bool identified = !waypoint.guid.empty() && waypoint.guid.find_first_of("/:") == std::string::npos;
    try {
        int key = 0;
        double storedLat = 0.0, storedLon = 0.0;
        {
            SQLite::Statement find =
                m_db.prepareCached("SELECT *  FROM `waypoint` WHERE `id` = ?1 AND (`prefixid` = ?2 OR "
                                   "(?3 <> '' AND `guid` = ?3)) ORDER BY `prefixid` = ?2 DESC LIMIT 1");
            find.BindText(1, waypoint.code);
            find.BindText(2, waypoint.prefix);
            find.BindText(3, identified ? std::string_view(waypoint.guid) : std::string_view());
            if (find.Next()) {
                key = find.ColumnInt(0);
                storedLat = find.ColumnDouble(3);
                storedLon = find.ColumnDouble(4);
            }
        }
        if (key != 0) {
            // A file without the position says nothing of where the waypoint
            // is: the position known stays.
            if (!hasPosition(waypoint)) {
                waypoint.lat = storedLat;
                waypoint.lon = storedLon;
            }
            waypoint.key = key;
            return UpdateWaypoint(waypoint) ? ImportResult::Nothing : ImportResult::Failed;
        }
        if (!cacheExists(waypoint.code))
            return ImportResult::NotStored;
        return InsertWaypoint(waypoint) ? ImportResult::NewWaypoint : ImportResult::Failed;
    } catch (const SQLite::Error& e) {
        noteError(e.code, e.message);
        m_db.showError(e.message);
        return ImportResult::Failed;
    }
}

bool CacheStore::DeleteWaypoint(const CWaypoint& waypoint)
{
    return runInTransaction([&] {
        const std::string owner = waypointOwner(waypoint.key);
        fulltext::removeCache(m_db, owner);
        SQLite::Statement drop(m_db, "DELETE FROM `waypoint` WHERE `key` = ?");
        drop.BindInt(1, waypoint.key);
        drop.stepDone();
        fulltext::addCache(m_db, owner);
    });
}

} // namespace tw
