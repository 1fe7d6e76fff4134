// SPDX-License-Identifier: GPL-3.0-or-later
// The full-text index of the cache database: an FTS5 table whose content is
// a view over the cache tables. Only the index is stored; the texts are read
// (decompressed, HTML reduced) through functions every connection of the
// program registers. The writers of CacheStore keep it current in their own
// transactions; a database another program wrote is detected at open.
#include "db/FullText.h"

#include "db/CGeocache.h"
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/FullTextTokenizer.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "db/VisibleText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tw::fulltext {
namespace {

// Raised when what goes into the index changes: an index of another
// version is built again. 2: the listing is the first column.
constexpr int kIndexVersion = 2;

// The same text is in resources/emptydb.sql, for new databases. The
// listing, which holds most of the words, is the index's first column: a
// word's places in the first column need no mark of their column, which
// spares two bytes per word and cache, nearly a quarter of the index. The
// rank's weights follow the columns' order.
constexpr const char* kSchema =
    "CREATE VIEW `cachetext_source` AS SELECT `g`.`key` AS `key`, `g`.`id` AS `code`, `g`.`name` AS `name`, "
    "`g`.`author` AS `owner`, "
    "(SELECT tw_visible(`l`.`shortdesc`, `l`.`shortdescflag`) || ' ' || tw_visible(`l`.`longdesc`, "
    "`l`.`longdescflag`) FROM `geolist` AS `l` WHERE `l`.`id` = `g`.`id` ORDER BY `l`.`key` LIMIT 1) AS `listing`, "
    "(SELECT replace(`l`.`hint`, '<br>', ' ') FROM `geolist` AS `l` WHERE `l`.`id` = `g`.`id` ORDER BY `l`.`key` "
    "LIMIT 1) AS `hint`, "
    "(SELECT group_concat(`t`, ' ') FROM (SELECT coalesce(`finder`, '') || ' ' || tw_text(`logtext`) AS `t` FROM "
    "`geolog` WHERE `geolog`.`id` = `g`.`id` ORDER BY `dt`, `key`)) AS `logs`, "
    "`g`.`comment` AS `note`, "
    "(SELECT group_concat(`t`, ' ') FROM (SELECT coalesce(`name`, '') || ' ' || coalesce(`cmt`, '') || ' ' || "
    "coalesce(`comment`, '') AS `t` FROM `waypoint` WHERE `waypoint`.`id` = `g`.`id` ORDER BY `key`)) AS "
    "`waypoints` FROM `geocache` AS `g`;\n"
    "CREATE VIRTUAL TABLE `cachetext` USING fts5(`listing`, `code`, `name`, `owner`, `hint`, `logs`, `note`, "
    "`waypoints`, content='cachetext_source', content_rowid='key', tokenize='unicode61 remove_diacritics 2');\n"
    "INSERT INTO `cachetext` (`cachetext`, `rank`) VALUES ('rank', 'bm25(1.0, 8.0, 6.0, 3.0, 2.0, 0.5, 3.0, 1.0)');\n"
    // The words waiting for the index are written out as a segment when
    // they pass this size: with SQLite's 1 MB a batch of an import left many
    // small segments to merge again and again; 4 MB made a 10k import of
    // long listings a tenth faster and its peak memory smaller.
    "INSERT INTO `cachetext` (`cachetext`, `rank`) VALUES ('hashsize', 4194304);\n";

constexpr const char* kColumns = "`code`, `name`, `owner`, `listing`, `hint`, `logs`, `note`, `waypoints`";

// Present while the index is kept current; its row holds the version.
constexpr const char* kStateTable = "cachetext_state";

void blobText(sqlite3_context* context, sqlite3_value* value, bool html)
{
    if (sqlite3_value_type(value) == SQLITE_NULL) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        return;
    }
    const auto* data = static_cast<const unsigned char*>(sqlite3_value_blob(value));
    const int size = sqlite3_value_bytes(value);
    const std::vector<unsigned char> blob(data, data + size);
    std::string text = DecompressText(blob);
    if (html)
        text = visibleText(text);
    sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// tw_text(blob): a compressed text.
void textFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    blobText(context, argv[0], false);
}

// tw_visible(blob, flag): a compressed description, reduced to what a
// reader sees when the flag says it is HTML.
void visibleFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    blobText(context, argv[0], sqlite3_value_int(argv[1]) != 0);
}

bool tableExists(SQLite::Database& db, const char* name)
{
    SQLite::Statement q = db.prepareCached("SELECT 1 FROM `sqlite_master` WHERE `type` = 'table' AND `name` = ?");
    q.BindText(1, name);
    return q.Next();
}

long long single(SQLite::Database& db, const char* sql)
{
    SQLite::Statement q(db, sql);
    return q.Next() ? q.columnInt64(0) : 0;
}

int storedVersion(SQLite::Database& db)
{
    SQLite::Statement q(db, "SELECT `value` FROM `cachetext_state` WHERE `name` = 'version'");
    return q.Next() ? q.ColumnInt(0) : 0;
}

// The index holds a document for every cache and no other: the counts and
// the highest keys agree. What another program changed in place (a note
// edited, a log added) is not seen here.
bool coversCaches(SQLite::Database& db)
{
    return single(db, "SELECT count(*) FROM `geocache`") == single(db, "SELECT count(*) FROM `cachetext_docsize`") &&
           single(db, "SELECT max(`key`) FROM `geocache`") == single(db, "SELECT max(`id`) FROM `cachetext_docsize`");
}

void run(SQLite::Database& db, const std::string& sql)
{
    if (db.Exec(sql) != SQLITE_OK)
        throw SQLite::Error(sqlite3_errcode(db.handle()), db.errorText(), &db);
}

const std::string& addSql()
{
    static const std::string sql = std::string("INSERT INTO `cachetext` (`rowid`, ") + kColumns +
                                   ") SELECT `key`, " + kColumns + " FROM `cachetext_source` WHERE ";
    return sql;
}

const std::string& removeSql()
{
    static const std::string sql = std::string("INSERT INTO `cachetext` (`cachetext`, `rowid`, ") + kColumns +
                                   ") SELECT 'delete', `key`, " + kColumns + " FROM `cachetext_source` WHERE ";
    return sql;
}

void byKey(SQLite::Database& db, const std::string& head, long long key)
{
    SQLite::Statement s = db.prepareCached(head + "`key` = ?");
    s.BindInt(1, key);
    s.stepDone();
}

void byCode(SQLite::Database& db, const std::string& head, const std::string& code)
{
    SQLite::Statement s = db.prepareCached(head + "`code` = ?");
    s.BindText(1, code);
    s.stepDone();
}

// Inside a batch the new documents wait in memory and go into the index
// just before the commit, in the order of their keys: FTS5 writes its
// pending terms out at every savepoint and before a key lower than the last,
// so a document added per record would leave a tiny segment per record and
// merge them again and again. They are bound to the batch's transaction
// (SQLite::Database::BatchWork): a record rolled back to its savepoint takes
// what it changed along, a batch rolled back all of it.
struct Document {
    bool ready = false; // holds the texts; otherwise read from the view
    std::string code, name, owner, listing, hint, logs, note, waypoints;
};

class WaitingDocuments final : public SQLite::Database::BatchWork {
public:
    std::size_t size() const { return m_documents.size(); }

    // The document of a cache just stored, its texts at hand.
    void put(long long key, Document document)
    {
        auto [at, added] = m_documents.try_emplace(key);
        if (added) {
            m_undo.push_back({key, Undo::Erase, {}, 0});
        } else {
            forgetCode(key, at->second);
            m_undo.push_back({key, Undo::Restore, std::move(at->second), 0});
        }
        m_byCode[document.code] = key;
        at->second = std::move(document);
        m_newest = key;
    }

    // A cache whose document is read from the rows at the commit.
    void putKey(long long key)
    {
        if (m_documents.try_emplace(key).second)
            m_undo.push_back({key, Undo::Erase, {}, 0});
    }

    // True when the cache's document was waiting, and is no longer.
    bool take(long long key)
    {
        const auto at = m_documents.find(key);
        if (at == m_documents.end())
            return false;
        forgetCode(key, at->second);
        m_undo.push_back({key, Undo::Restore, std::move(at->second), 0});
        m_documents.erase(at);
        return true;
    }

    // The ready document of the code, or null.
    std::pair<long long, Document*> readyOf(const std::string& code)
    {
        const auto found = m_byCode.find(code);
        if (found == m_byCode.end())
            return {0, nullptr};
        const auto at = m_documents.find(found->second);
        if (at == m_documents.end() || !at->second.ready)
            return {0, nullptr};
        return {found->second, &at->second};
    }

    // The waypoints of the document grow; a rollback cuts them back.
    void noteWaypointsGrow(long long key, std::size_t before) { m_undo.push_back({key, Undo::Cut, {}, before}); }

    int finish(SQLite::Database& db, bool whole) override
    {
        // Between records the newest document waits on: the waypoints
        // that follow their cache join it instead of taking it out of the
        // index again, which would leave a tiny segment each time.
        std::optional<decltype(m_documents)::node_type> kept;
        if (!whole && m_newest) {
            if (auto at = m_documents.find(*m_newest); at != m_documents.end() && at->second.ready)
                kept = m_documents.extract(at);
        }
        const int rc = indexAll(db);
        if (kept) {
            const std::size_t bytes = kept->mapped().listing.size() + kept->mapped().logs.size();
            m_byCode[kept->mapped().code] = kept->key();
            m_newest = kept->key();
            m_documents.insert(std::move(*kept));
            db.addBatchWork(bytes);
        }
        return rc;
    }

    int indexAll(SQLite::Database& db)
    {
        int rc = SQLITE_OK;
        try {
            if (!m_documents.empty() && maintained(db)) {
                SQLite::Statement add = db.prepareCached(std::string("INSERT INTO `cachetext` (`rowid`, ") +
                                                         kColumns + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
                for (const auto& [key, document] : m_documents) {
                    if (!document.ready) {
                        byKey(db, addSql(), key);
                        continue;
                    }
                    add.Reset();
                    add.BindInt(1, key);
                    add.BindText(2, document.code);
                    add.BindText(3, document.name);
                    add.BindText(4, document.owner);
                    add.BindText(5, document.listing);
                    add.BindText(6, document.hint);
                    add.BindText(7, document.logs);
                    add.BindText(8, document.note);
                    add.BindText(9, document.waypoints);
                    add.stepDone();
                }
            }
        } catch (const SQLite::Error&) {
            rc = sqlite3_errcode(db.handle());
            if (rc == SQLITE_OK)
                rc = SQLITE_ERROR;
        }
        drop();
        return rc;
    }

    void recordBegun() override { m_undo.clear(); }
    void recordKept() override { m_undo.clear(); }

    void recordUndone() override
    {
        for (auto step = m_undo.rbegin(); step != m_undo.rend(); ++step) {
            const auto at = m_documents.find(step->key);
            switch (step->what) {
            case Undo::Erase:
                if (at != m_documents.end()) {
                    forgetCode(step->key, at->second);
                    m_documents.erase(at);
                }
                break;
            case Undo::Restore: {
                if (at != m_documents.end())
                    forgetCode(step->key, at->second);
                if (step->document.ready)
                    m_byCode[step->document.code] = step->key;
                m_documents[step->key] = std::move(step->document);
                break;
            }
            case Undo::Cut:
                if (at != m_documents.end())
                    at->second.waypoints.resize(step->size);
                break;
            }
        }
        m_undo.clear();
    }

    void drop() override
    {
        m_documents.clear();
        m_byCode.clear();
        m_undo.clear();
        m_newest.reset();
    }

private:
    // How to take back one change of the open record.
    struct Undo {
        long long key;
        enum { Erase, Restore, Cut } what;
        Document document; // Restore
        std::size_t size;  // Cut: the waypoints' length before
    };

    void forgetCode(long long key, const Document& document)
    {
        if (!document.ready)
            return;
        const auto found = m_byCode.find(document.code);
        if (found != m_byCode.end() && found->second == key)
            m_byCode.erase(found);
    }

    std::map<long long, Document> m_documents; // by key: the order FTS5 wants
    std::unordered_map<std::string, long long> m_byCode; // of the ready ones
    std::vector<Undo> m_undo;
    std::optional<long long> m_newest; // the key last put
};

WaitingDocuments& holdBack(SQLite::Database& db)
{
    auto* waiting = dynamic_cast<WaitingDocuments*>(db.batchWork());
    if (!waiting) {
        auto made = std::make_unique<WaitingDocuments>();
        waiting = made.get();
        db.setBatchWork(std::move(made));
    }
    return *waiting;
}

WaitingDocuments* waitingIn(SQLite::Database& db)
{
    return db.inBatch() ? dynamic_cast<WaitingDocuments*>(db.batchWork()) : nullptr;
}

// The keys of the rows of the code (one, unless another program left more).
std::vector<long long> keysOfCode(SQLite::Database& db, const std::string& code)
{
    SQLite::Statement q = db.prepareCached("SELECT `key` FROM `geocache` WHERE `id` = ?");
    q.BindText(1, code);
    std::vector<long long> keys;
    while (q.Next())
        keys.push_back(q.columnInt64(0));
    return keys;
}

// What the view gives for a compressed text: the text up to its first
// NUL (see DecompressText).
std::string_view asStored(const std::string& text)
{
    return std::string_view(text.data(), strnlen(text.data(), text.size()));
}

void appendDescription(const std::string& text, int html, std::string& out)
{
    if (html != 0)
        appendVisibleText(asStored(text), out);
    else
        out += asStored(text);
}

// The columns of a new cache's document, made as the view makes them from
// the rows. The order of the logs is kept per thread, so that its room
// serves the next cache.
void makeDocument(const CGeocache& cache, std::string& listing, std::string& hint, std::string& logs)
{
    listing.clear();
    appendDescription(cache.text, cache.shortDescHtml, listing);
    listing += ' ';
    appendDescription(cache.longDesc, cache.longDescHtml, listing);

    hint.clear();
    for (std::size_t at = 0; at < cache.hint.size();) {
        const std::size_t br = cache.hint.find("<br>", at);
        hint.append(cache.hint, at, br == std::string::npos ? std::string::npos : br - at);
        if (br == std::string::npos)
            break;
        hint += ' ';
        at = br + 4;
    }

    // By date, then in the order they were stored.
    thread_local std::vector<std::pair<int, std::size_t>> logOrder;
    logOrder.clear();
    for (std::size_t i = 0; i < cache.logs.size(); ++i)
        logOrder.emplace_back(cache.logs[i]->date, i);
    std::sort(logOrder.begin(), logOrder.end());
    logs.clear();
    for (std::size_t k = 0; k < logOrder.size(); ++k) {
        const CGeoLog& log = *cache.logs[logOrder[k].second];
        if (k > 0)
            logs += ' ';
        logs += log.finder;
        logs += ' ';
        logs += asStored(log.text);
    }
}

// The rows of the code are the cache's alone: one listing, its own logs and
// only the waypoint it brought.
bool rowsAreTheCachesOwn(SQLite::Database& db, const CGeocache& cache)
{
    SQLite::Statement q = db.prepareCached(
        "SELECT (SELECT count(*) FROM `geocache` WHERE `id` = ?1), (SELECT count(*) FROM `geolist` WHERE `id` = ?1), "
        "(SELECT count(*) FROM `geolog` WHERE `id` = ?1), (SELECT count(*) FROM `waypoint` WHERE `id` = ?1)");
    q.BindText(1, cache.code);
    return q.Next() && q.columnInt64(0) == 1 && q.columnInt64(1) == 1 &&
           q.columnInt64(2) == static_cast<long long>(cache.logs.size()) &&
           q.columnInt64(3) == (cache.hasOriginalPosition ? 1 : 0);
}

// The opens of a database whose index was seen to cover its caches: from
// then on the writers keep it so.
std::mutex coveredMutex;
std::unordered_set<std::int64_t> coveredOpens;

bool knownCovered(SQLite::Database& db)
{
    std::lock_guard lock(coveredMutex);
    return coveredOpens.count(db.openSerial()) > 0;
}

void noteCovered(SQLite::Database& db)
{
    std::lock_guard lock(coveredMutex);
    coveredOpens.insert(db.openSerial());
}

} // namespace

bool Supported()
{
    static const bool supported = [] {
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(":memory:", &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(handle);
            return false;
        }
        const bool ok = sqlite3_exec(handle, "CREATE VIRTUAL TABLE t USING fts5(a)", nullptr, nullptr, nullptr) ==
                        SQLITE_OK;
        sqlite3_close(handle);
        return ok;
    }();
    return supported;
}

int registerFunctions(sqlite3* handle)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    const int rc = sqlite3_create_function(handle, "tw_text", 1, flags, nullptr, textFunction, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    const int visible =
        sqlite3_create_function(handle, "tw_visible", 2, flags, nullptr, visibleFunction, nullptr, nullptr);
    // Without FTS5 they are not there, and neither is the index they rank
    // and tokenize.
    if (visible == SQLITE_OK) {
        registerRankFunction(handle);
        registerFastTokenizer(handle);
    }
    return visible;
}

bool maintained(SQLite::Database& db)
{
    return Supported() && db.handle() && tableExists(db, kStateTable);
}

void addCache(SQLite::Database& db, long long key)
{
    if (!maintained(db))
        return;
    if (!db.inBatch()) {
        byKey(db, addSql(), key);
        return;
    }
    holdBack(db).putKey(key);
}

void addCache(SQLite::Database& db, const CGeocache& cache)
{
    if (!maintained(db))
        return;
    if (!rowsAreTheCachesOwn(db, cache)) {
        addCache(db, cache.key);
        return;
    }
    // Made here unless the import made it ahead.
    thread_local std::string listing, hint, logs;
    if (!cache.indexTextsReady)
        makeDocument(cache, listing, hint, logs);
    const std::string& listingText = cache.indexTextsReady ? cache.indexListing : listing;
    const std::string& hintText = cache.indexTextsReady ? cache.indexHint : hint;
    const std::string& logsText = cache.indexTextsReady ? cache.indexLogs : logs;
    // The only waypoint of a new cache: the one that keeps its original
    // position, with neither description nor comment.
    static const std::string originalPosition = std::string(kOriginalPositionName) + "  ";
    const std::string& waypoints = cache.hasOriginalPosition ? originalPosition : std::string();
    if (db.inBatch()) {
        Document document;
        document.ready = true;
        document.code = cache.code;
        document.name = cache.name;
        document.owner = cache.author;
        document.listing = listingText;
        document.hint = hintText;
        document.logs = logsText;
        document.note = cache.comment;
        document.waypoints = waypoints;
        const std::size_t bytes = document.listing.size() + document.logs.size();
        holdBack(db).put(cache.key, std::move(document));
        db.addBatchWork(bytes);
        return;
    }
    SQLite::Statement s =
        db.prepareCached(std::string("INSERT INTO `cachetext` (`rowid`, ") + kColumns +
                         ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.BindInt(1, cache.key);
    s.BindText(2, cache.code);
    s.BindText(3, cache.name);
    s.BindText(4, cache.author);
    s.BindText(5, listingText);
    s.BindText(6, hintText);
    s.BindText(7, logsText);
    s.BindText(8, cache.comment);
    if (cache.hasOriginalPosition)
        s.BindText(9, originalPosition);
    s.stepDone();
}

void prepareDocument(CGeocache& cache)
{
    makeDocument(cache, cache.indexListing, cache.indexHint, cache.indexLogs);
    cache.indexTextsReady = true;
}

bool waypointAdded(SQLite::Database& db, const std::string& code, std::string_view name, std::string_view comment,
                   std::string_view userComment)
{
    WaitingDocuments* waiting = waitingIn(db);
    if (!waiting || !maintained(db))
        return false;
    const auto [key, document] = waiting->readyOf(code);
    if (!document)
        return false;
    // The waypoint's key is the highest of its cache's: its words come last.
    std::string& waypoints = document->waypoints;
    waiting->noteWaypointsGrow(key, waypoints.size());
    if (!waypoints.empty())
        waypoints += ' ';
    waypoints.append(name).append(" ").append(comment).append(" ").append(userComment);
    return true;
}

void removeCache(SQLite::Database& db, long long key)
{
    if (!maintained(db))
        return;
    if (WaitingDocuments* waiting = waitingIn(db); waiting && waiting->take(key))
        return;
    byKey(db, removeSql(), key);
}

void addCache(SQLite::Database& db, const std::string& code)
{
    if (!maintained(db))
        return;
    if (!db.inBatch()) {
        byCode(db, addSql(), code);
        return;
    }
    WaitingDocuments& waiting = holdBack(db);
    for (const long long key : keysOfCode(db, code))
        waiting.putKey(key);
}

void removeCache(SQLite::Database& db, const std::string& code)
{
    if (!maintained(db))
        return;
    WaitingDocuments* waiting = waitingIn(db);
    if (!waiting || waiting->size() == 0) {
        byCode(db, removeSql(), code);
        return;
    }
    // Each row's document leaves the index unless it was still waiting.
    for (const long long key : keysOfCode(db, code)) {
        if (!waiting->take(key))
            byKey(db, removeSql(), key);
    }
}

std::size_t waitingDocuments(SQLite::Database& db)
{
    WaitingDocuments* waiting = waitingIn(db);
    return waiting ? waiting->size() : 0;
}

bool Ready(SQLite::Database& db)
{
    try {
        if (!maintained(db) || storedVersion(db) != kIndexVersion)
            return false;
        if (knownCovered(db))
            return true;
        if (!coversCaches(db))
            return false;
        noteCovered(db);
        return true;
    } catch (const SQLite::Error&) {
        return false;
    }
}

State checkAtOpen(SQLite::Database& db)
{
    try {
        if (!db.handle() || !tableExists(db, "geocache"))
            return State::Missing;
        const bool kept = tableExists(db, kStateTable);
        if (!Supported()) {
            // Writes here cannot keep the index: it is built again where
            // the index can be read.
            if (kept)
                db.Exec("DROP TABLE `cachetext_state`");
            return State::Unsupported;
        }
        if (!kept)
            return State::Missing;
        if (storedVersion(db) == kIndexVersion && coversCaches(db)) {
            noteCovered(db);
            return State::Ready;
        }
        // Another program wrote the caches, or an older version of the
        // index: no longer kept, and offered to be built again.
        db.Exec("DROP TABLE `cachetext_state`");
        return State::Missing;
    } catch (const SQLite::Error&) {
        return State::Missing;
    }
}

bool Build(SQLite::Database& db, const std::function<bool(long long done, long long total)>& progress)
{
    if (!Supported() || !db.handle() || db.inTransaction())
        return false;
    try {
        SQLite::Transaction transaction(db);
        run(db, "DROP TABLE IF EXISTS `cachetext_state`; DROP TABLE IF EXISTS `cachetext`; "
                "DROP VIEW IF EXISTS `cachetext_source`;");
        run(db, kSchema);
        const long long total = single(db, "SELECT count(*) FROM `geocache`");
        if (progress && !progress(0, total))
            return false;
        SQLite::Statement add(db, addSql() + "`key` = ?");
        SQLite::Statement keys(db, "SELECT `key` FROM `geocache` ORDER BY `key`");
        long long done = 0;
        while (keys.Next()) {
            add.Reset();
            add.BindInt(1, keys.columnInt64(0));
            add.stepDone();
            ++done;
            if (progress && done % 256 == 0 && !progress(done, total))
                return false;
        }
        run(db, "CREATE TABLE `cachetext_state` (`name` TEXT PRIMARY KEY, `value`); INSERT INTO `cachetext_state` "
                "VALUES ('version', " + std::to_string(kIndexVersion) + ");");
        if (progress && !progress(done, total))
            return false;
        if (transaction.commit() != SQLITE_OK)
            return false;
        noteCovered(db);
        return true;
    } catch (const SQLite::Error&) {
        return false;
    }
}

std::string KeyCondition()
{
    return "`geocache`.`key` IN (SELECT `rowid` FROM `cachetext` WHERE `cachetext` MATCH ?)";
}

std::string RankJoin()
{
    return "JOIN (SELECT `rowid` AS `textkey`, `rank` AS `textrank` FROM `cachetext` WHERE `cachetext` MATCH ?) "
           "AS `fts` ON `fts`.`textkey` = `geocache`.`key`";
}

std::string RankOrder()
{
    return "`fts`.`textrank`";
}

} // namespace tw::fulltext
