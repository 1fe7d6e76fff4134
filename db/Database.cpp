// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Database.h"

#include "db/DatabaseHandle.h"
#include "db/FullText.h"
#include "db/LikeMatch.h"
#include "db/Statement.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace SQLite {
namespace {

void InitializeLibrary()
{
    // SQLite keeps statistics of its memory under a lock that every
    // allocation of every connection takes; nothing here reads them, and an
    // import allocates for each row. The setting must come before the
    // library starts, so the first database does it, once.
    static const int started = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return sqlite3_initialize();
    }();
    (void)started;
}

// Reads the schema, which opens the write-ahead log (and recovers its index
// when this is the first reader).
int firstRead(sqlite3* handle)
{
    return sqlite3_exec(handle, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}

// What later versions of the program added to the cache tables of the
// template, added to a database of an earlier version (or of another
// program) at its first open. Indexes only, which nothing depends on but
// the speed: where one cannot be made (the file read-only, another program
// writing) the database is used as it is.
void upgradeCacheTables(sqlite3* handle)
{
    sqlite3_stmt* statement = nullptr;
    bool wanted = false;
    if (sqlite3_prepare_v2(handle,
                           "SELECT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'geocache') "
                           "AND NOT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = "
                           "'geocache_xy')",
                           -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        wanted = sqlite3_column_int(statement, 0) != 0;
    sqlite3_finalize(statement);
    if (wanted)
        sqlite3_exec(handle, "CREATE INDEX IF NOT EXISTS `geocache_xy` ON `geocache` (`x`, `y`)", nullptr, nullptr,
                     nullptr);
}

// Which Open of all in this process, so that two opens never look alike.
std::atomic<std::int64_t> openCount{0};

} // namespace

Database::Database(tw::Prompter* prompter) : m_prompter(prompter)
{
    InitializeLibrary();
}

// sqlite3_shutdown() is left to process exit: another connection (the track
// database, a tile store) may still be open, and shutting the library down
// under it is undefined.
Database::~Database()
{
    Close();
}

int Database::Open(const std::string& path)
{
    if (m_handle)
        Close();
    m_fileName = path;
    m_openSerial = ++openCount;
    int rc = openHandle(path, false);
    if (rc == SQLITE_OK && firstRead(m_handle) == SQLITE_IOERR) {
        // The first reader after the last one rebuilds the index of the
        // write-ahead log in its shared file, which must grow with the log.
        // On a full disk it cannot: an import that stopped there leaves a
        // log too large for the index file, and the database could not be
        // read until room was made. An index in this process's own memory
        // needs no disk, but only a connection that is exclusive from its
        // first read keeps one. The price is that no other program can use
        // the database while this connection is open; the next open, with
        // room again, shares it as before.
        sqlite3_close(m_handle);
        m_handle = nullptr;
        rc = openHandle(path, true);
        m_privateLogIndex = rc == SQLITE_OK && firstRead(m_handle) == SQLITE_OK;
    }
    return rc;
}

int Database::openReadOnly(const std::string& path)
{
    if (m_handle)
        Close();
    m_fileName = path;
    m_openSerial = ++openCount;
    // The path goes into a URI: the characters that end or escape its path
    // part are written as %XX.
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            uri += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            uri += c;
        }
    }
    uri += "?mode=ro";
    return openHandle(uri, false, true);
}

int Database::openHandle(const std::string& path, bool exclusive, bool readOnly)
{
    const int flags = readOnly ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX
                               : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &m_handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(m_handle);
        m_handle = nullptr;
        return rc;
    }
    sqlite3_extended_result_codes(m_handle, 0);
    {
        // A new connection: what the log held was another one's.
        std::lock_guard lock(m_cacheWriteMutex);
        m_cacheWritesDropped += m_cacheWriteLog.size();
        m_cacheWriteLog.clear();
    }
    // Whatever ends the transaction without a commit takes the work held
    // back for it along.
    sqlite3_rollback_hook(
        m_handle,
        [](void* self) {
            auto& db = *static_cast<Database*>(self);
            if (db.m_batchWorkToDo)
                db.m_batchWorkToDo->drop();
        },
        this);
    sqlite3_update_hook(
        m_handle,
        [](void* self, int operation, const char* database, const char* table, sqlite3_int64 key) {
            noteWrite(self, operation, database, table, key);
        },
        this);
    registerLikeUnbounded(m_handle);
    // The full-text index reads the cache texts through these.
    tw::fulltext::registerFunctions(m_handle);
    // Another run of the program (a batch word, the window) may be writing:
    // wait for it a while before saying the database is locked.
    sqlite3_busy_timeout(m_handle, m_busyTimeoutMs);
    if (exclusive)
        sqlite3_exec(m_handle, "PRAGMA locking_mode = EXCLUSIVE;", nullptr, nullptr, nullptr);
    // The default page cache (2 MB) is smaller than the rows a list reload
    // touches in a large database: every reload would read them from the
    // file again.
    sqlite3_exec(m_handle, "PRAGMA cache_size = -32768;", nullptr, nullptr, nullptr);
    // In WAL mode a commit need not wait for the disk: the database stays
    // consistent after a crash or power loss, only the last commits may be
    // missing. (Without WAL this setting changes nothing.) Neither pragma
    // writes to the file.
    sqlite3_exec(m_handle, "PRAGMA synchronous = NORMAL;", nullptr, nullptr, nullptr);
    // Every record of a batch is stored under a savepoint of its own, whose
    // undo pages SQLite keeps in a temporary file once they pass 64 KB: an
    // import wrote four times as much there as into the database. Kept in
    // memory, they are dropped when the record is released.
    sqlite3_exec(m_handle, "PRAGMA temp_store = MEMORY;", nullptr, nullptr, nullptr);
    return rc;
}

void Database::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_handle)
        sqlite3_busy_timeout(m_handle, milliseconds);
}

Database::ContentVersion Database::contentVersion()
{
    if (!m_handle)
        return {m_openSerial, -1, -1};
    // data_version counts the commits of other connections and processes;
    // the connection's own writes are counted by total_changes.
    std::int64_t others = -1;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_handle, "PRAGMA data_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        others = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return {m_openSerial, others, sqlite3_total_changes64(m_handle)};
}

void Database::noteWrite(void* self, int, const char* database, const char* table, std::int64_t key)
{
    if (std::strcmp(table, "geocache") != 0 || std::strcmp(database, "main") != 0)
        return;
    auto& db = *static_cast<Database*>(self);
    std::lock_guard lock(db.m_cacheWriteMutex);
    if (db.m_cacheWriteLog.size() == kCacheWriteLog) {
        // An import: whoever follows the log reads everything again.
        db.m_cacheWritesDropped += db.m_cacheWriteLog.size();
        db.m_cacheWriteLog.clear();
    }
    db.m_cacheWriteLog.push_back(key);
}

std::uint64_t Database::cacheWrites()
{
    std::lock_guard lock(m_cacheWriteMutex);
    return m_cacheWritesDropped + m_cacheWriteLog.size();
}

bool Database::cacheWritesSince(std::uint64_t mark, std::vector<std::int64_t>& keys)
{
    std::lock_guard lock(m_cacheWriteMutex);
    if (mark < m_cacheWritesDropped || mark > m_cacheWritesDropped + m_cacheWriteLog.size())
        return false;
    keys.insert(keys.end(), m_cacheWriteLog.begin() + static_cast<std::ptrdiff_t>(mark - m_cacheWritesDropped),
                m_cacheWriteLog.end());
    return true;
}

bool Database::transactionOpen() const
{
    return m_handle && !sqlite3_get_autocommit(m_handle);
}

int Database::OpenFile(const std::string& path)
{
    const int rc = Open(path);
    if (rc == SQLITE_OK) {
        m_opened = true;
        upgradeCacheTables(m_handle);
    }
    return rc;
}

int Database::Close()
{
    if (!m_handle)
        return SQLITE_OK;
    {
        std::lock_guard lock(m_statementsMutex);
        for (const auto& weak : m_statements) {
            if (auto handle = weak.lock()) {
                sqlite3_finalize(handle->stmt);
                handle->stmt = nullptr;
            }
        }
        m_statements.clear();
        m_cached.clear();
    }
    if (m_batchWorkToDo)
        m_batchWorkToDo->drop();
    // Only our own statements are finalised: virtual tables (the R*Tree of
    // the coordinate index) keep statements of their own on the connection
    // and finalise them when they disconnect; finalising those here would
    // free them twice. close_v2 waits for anything else still outstanding.
    const int rc = sqlite3_close_v2(m_handle);
    m_handle = nullptr;
    m_inTransaction = false;
    m_batch = false;
    m_privateLogIndex = false;
    return rc;
}

bool Database::IsAvailable()
{
    if (m_opened)
        return true;
    if (m_warned)
        return false;
    m_warned = true;
    if (m_prompter)
        m_prompter->message(m_messages.noDatabase, tw::MessageIcon::Exclamation);
    return false;
}

int Database::Exec(const std::string& sql)
{
    m_errorText.clear();
    if (!m_handle) {
        m_errorText = "no database is open";
        return SQLITE_MISUSE;
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(m_handle, sql.c_str(), nullptr, nullptr, &error);
    if (error) {
        m_errorText = error;
        sqlite3_free(error);
    } else if (rc != SQLITE_OK) {
        m_errorText = sqlite3_errmsg(m_handle);
    }
    return rc;
}

int Database::Execute(const std::string& sql)
{
    if (!IsAvailable())
        return SQLITE_OK;
    const int rc = Exec(sql);
    if (rc != SQLITE_OK)
        showError(m_errorText);
    return rc;
}

void Database::syncTransactionState()
{
    if (m_batch && m_handle && sqlite3_get_autocommit(m_handle)) {
        // The whole batch was rolled back by SQLite itself.
        m_batch = false;
        m_batchLost = true;
        m_inTransaction = false;
    }
    // After SQLITE_FULL, SQLITE_IOERR and a few others SQLite rolls the whole
    // transaction back by itself; a flag left set would swallow every later
    // Begin and the connection would never write in a transaction again.
    if (m_inTransaction && m_handle && sqlite3_get_autocommit(m_handle))
        m_inTransaction = false;
}

bool Database::inTransaction()
{
    syncTransactionState();
    return m_inTransaction;
}

int Database::Begin()
{
    syncTransactionState();
    if (m_inTransaction)
        return SQLITE_OK;
    if (m_batch && m_batchWorkToDo && m_batchWork >= kBatchWorkLimit) {
        m_batchWork = 0;
        const int finished = m_batchWorkToDo->finish(*this, false);
        if (finished != SQLITE_OK && m_batchError == SQLITE_OK)
            m_batchError = finished;
        syncTransactionState();
    }
    m_inTransaction = true;
    const int rc = Execute(m_batch ? "SAVEPOINT tw_record;" : "BEGIN TRANSACTION;");
    if (rc != SQLITE_OK)
        m_inTransaction = false;
    else if (m_batch && m_batchWorkToDo)
        m_batchWorkToDo->recordBegun();
    return rc;
}

int Database::Commit()
{
    if (!m_inTransaction)
        return SQLITE_OK;
    if (m_handle && sqlite3_get_autocommit(m_handle)) {
        // SQLite already rolled the work back: committing nothing must not
        // pass for success.
        syncTransactionState();
        m_inTransaction = false;
        return SQLITE_ABORT;
    }
    m_inTransaction = false;
    if (m_batch) {
        const int released = Execute("RELEASE tw_record;");
        // A release that failed left the record's rows in the batch, so
        // its work stays as well (a batch SQLite rolled back drops it).
        if (m_batchWorkToDo)
            m_batchWorkToDo->recordKept();
        return released;
    }
    const int rc = Execute("COMMIT;");
    if (rc != SQLITE_OK && m_handle && !sqlite3_get_autocommit(m_handle)) {
        // COMMIT can fail (busy, disk full) and leave the transaction open.
        Exec("ROLLBACK;");
    }
    return rc;
}

int Database::Rollback()
{
    syncTransactionState();
    if (!m_inTransaction)
        return SQLITE_OK;
    m_inTransaction = false;
    if (m_batch) {
        const int rc = Execute("ROLLBACK TO tw_record; RELEASE tw_record;");
        if (m_batchWorkToDo)
            m_batchWorkToDo->recordUndone();
        return rc;
    }
    return Execute("ROLLBACK;");
}

int Database::beginBatch()
{
    syncTransactionState();
    if (m_batch || m_inTransaction)
        return SQLITE_MISUSE;
    // A batch writes: it takes the write lock at once, waiting for another
    // writer as long as the busy timeout allows. A deferred start would
    // read first and then fail at its first write, without waiting, when
    // another connection has written meanwhile.
    const int rc = Execute("BEGIN IMMEDIATE TRANSACTION;");
    m_batch = rc == SQLITE_OK;
    m_batchLost = false;
    m_batchWork = 0;
    m_batchError = SQLITE_OK;
    return rc;
}

int Database::endBatch()
{
    syncTransactionState();
    if (!m_batch) {
        const bool lost = m_batchLost;
        m_batchLost = false;
        return lost ? SQLITE_ABORT : SQLITE_OK;
    }
    if (m_inTransaction)
        Rollback();
    m_batch = false;
    m_batchWork = 0;
    int rc = m_batchError;
    m_batchError = SQLITE_OK;
    if (rc == SQLITE_OK && m_batchWorkToDo)
        rc = m_batchWorkToDo->finish(*this, true);
    if (rc != SQLITE_OK) {
        if (m_handle && !sqlite3_get_autocommit(m_handle))
            Exec("ROLLBACK;");
        return rc;
    }
    rc = Execute("COMMIT;");
    if (rc != SQLITE_OK && m_handle && !sqlite3_get_autocommit(m_handle)) {
        Exec("ROLLBACK;");
        rc = rc == SQLITE_OK ? SQLITE_ABORT : rc;
    }
    return rc;
}

long long Database::lastInsertRowId() const
{
    return m_handle ? sqlite3_last_insert_rowid(m_handle) : 0;
}

void Database::showError(const std::string& text) const
{
    if (m_prompter)
        m_prompter->message(tw::text::fillIn(m_messages.error, {text}), tw::MessageIcon::Exclamation);
}

void Database::showPlain(const std::string& text) const
{
    if (m_prompter)
        m_prompter->message(text, tw::MessageIcon::Plain);
}

void Database::track(const std::shared_ptr<Handle>& handle)
{
    std::lock_guard lock(m_statementsMutex);
    std::erase_if(m_statements, [](const std::weak_ptr<Handle>& w) { return w.expired(); });
    m_statements.push_back(handle);
}

Statement Database::prepareCached(std::string_view sql)
{
    std::shared_ptr<Handle> handle;
    {
        std::lock_guard lock(m_statementsMutex);
        const auto it = m_cached.find(sql);
        if (it != m_cached.end() && it->second->stmt)
            handle = it->second;
    }
    if (!handle) {
        std::string text(sql);
        Statement fresh(*this, text);
        fresh.m_handle->cached = true;
        std::lock_guard lock(m_statementsMutex);
        m_cached.insert_or_assign(std::move(text), fresh.m_handle);
        return fresh;
    }
    sqlite3_reset(handle->stmt);
    sqlite3_clear_bindings(handle->stmt);
    return Statement(*this, handle);
}

} // namespace SQLite
