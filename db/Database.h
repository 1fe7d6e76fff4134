// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;

namespace tw {
class Prompter;
}

// A thin layer over the SQLite C interface through which every database file
// of the program is used. Text at this interface is UTF-8.
namespace SQLite {

class Statement;

class Database {
public:
    // prompter receives "SQLite error: ..." and "No database available";
    // null keeps them silent.
    explicit Database(tw::Prompter* prompter = nullptr);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens (or creates) the file, closing a previously open one first.
    int Open(const std::string& path);
    // Opens another program's file for reading only (SQLite URI mode=ro):
    // nothing is ever written to it, and no journal or log is made beside
    // it. A file that does not exist is an error, not created.
    int openReadOnly(const std::string& path);
    // Open, remembering success in `opened`. This is the form the program uses.
    int OpenFile(const std::string& path);
    // Finalises every statement still prepared on the connection, then closes it.
    int Close();

    // True when a file was opened. Otherwise shows "No database available"
    // the first time and stays silent afterwards.
    bool IsAvailable();

    // Runs statements without results; the error text stays in errorText().
    int Exec(const std::string& sql);
    // IsAvailable, then Exec; a failure is shown as "SQLite error: %s".
    int Execute(const std::string& sql);

    // One transaction at a time: a second Begin does nothing, so do Commit
    // and Rollback outside one. The flag follows the connection: when SQLite
    // has rolled back by itself (disk full, I/O error) the flag is cleared.
    int Begin();
    int Commit();
    int Rollback();
    bool inTransaction();

    // Groups many records into one commit while each record keeps its own
    // all-or-nothing write: inside a batch, Begin/Commit/Rollback become a
    // savepoint, its release and a rollback to it, so a failing record never
    // takes the others with it. endBatch commits; it returns an error when
    // the batch was lost (SQLite rolled it back after a disk-full or I/O
    // error), so the caller must not count its records as stored.
    int beginBatch();
    int endBatch();
    bool inBatch() const { return m_batch; }
    // Work put off to the end of a batch (the index of the texts holds its
    // new documents back in memory there), bound to the batch's
    // transaction: what a record rolled back to its savepoint added goes
    // with it, and all of it goes when the transaction ends without a
    // commit (a ROLLBACK, one SQLite made by itself, a close). One per
    // Database object, kept across batches.
    class BatchWork {
    public:
        virtual ~BatchWork() = default;
        // Runs inside the batch's transaction: just before its commit
        // (whole), where it leaves nothing held, and between two records
        // once the work grew past kBatchWorkLimit, where it may keep what
        // the last record added (a cache's document still takes the
        // waypoints after it) and counts its bytes again. An error code
        // from it rolls the whole batch back.
        virtual int finish(Database& db, bool whole) = 0;
        // A record's savepoint was begun, released, rolled back to.
        virtual void recordBegun() = 0;
        virtual void recordKept() = 0;
        virtual void recordUndone() = 0;
        // The transaction ended without finish: nothing held may stay.
        virtual void drop() = 0;
    };
    void setBatchWork(std::unique_ptr<BatchWork> work) { m_batchWorkToDo = std::move(work); }
    BatchWork* batchWork() const { return m_batchWorkToDo.get(); }
    // The held work grew by about `bytes` (texts held back in memory).
    // Past kBatchWorkLimit it is finished sooner too, between two records,
    // before the next one's savepoint, so that a large batch never holds it
    // all; an error code from it there makes endBatch roll the batch back.
    static constexpr std::size_t kBatchWorkLimit = 4u << 20;
    void addBatchWork(std::size_t bytes) { m_batchWork += bytes; }

    sqlite3* handle() const { return m_handle; }
    // Differs from an earlier value whenever the content may have changed
    // since: a write through this connection or another, or another file
    // opened. Equal values mean the same content.
    using ContentVersion = std::array<std::int64_t, 3>;
    ContentVersion contentVersion();
    const std::string& fileName() const { return m_fileName; }
    // Which open of all in this process: never the same for two opens.
    std::int64_t openSerial() const { return m_openSerial; }
    // The keys of the `geocache` rows this connection inserted, updated or
    // deleted, as a log (SQLite's update hook): cacheWrites() is where it
    // stands; cacheWritesSince(mark, keys) appends the keys written since an
    // earlier mark and is false when the log no longer reaches back that far
    // (it keeps the latest kCacheWriteLog). Not in it: other connections'
    // writes (see contentVersion) and rows a statement deletes without
    // telling the hook (a DELETE of the whole table, a REPLACE).
    static constexpr std::size_t kCacheWriteLog = 1u << 16;
    std::uint64_t cacheWrites();
    bool cacheWritesSince(std::uint64_t mark, std::vector<std::int64_t>& keys);
    // A transaction is open on the connection, begun here or by any
    // statement.
    bool transactionOpen() const;
    const std::string& errorText() const { return m_errorText; }
    bool opened() const { return m_opened; }
    // True when the index of the write-ahead log could not be rebuilt on
    // disk (a full disk) and is kept in memory: the database is then this
    // connection's alone until it is closed.
    bool privateLogIndex() const { return m_privateLogIndex; }
    // How long a statement waits for another connection's lock before it
    // fails with "database is locked" (10 s unless set; kept across opens).
    void setBusyTimeout(int milliseconds);
    tw::Prompter* prompter() const { return m_prompter; }
    void setPrompter(tw::Prompter* prompter) { m_prompter = prompter; }

    // The two messages in the user's language; the error's "%s" takes the
    // SQLite text. Set while no other thread uses the connection.
    struct Messages {
        std::string noDatabase = "No database available";
        std::string error = "SQLite error: %s";
    };
    void setMessages(Messages messages) { m_messages = std::move(messages); }

    // A statement prepared once per connection and kept until Close, for the
    // writes that run once per imported record. It comes back reset, with no
    // bindings, and is reset again when the last user lets go of it. Only
    // for code that steps it to its end before asking for the same SQL again.
    Statement prepareCached(std::string_view sql);

    // Row id of the last insert on this connection.
    long long lastInsertRowId() const;
    // Shows "SQLite error: %s" with the text (exclamation icon).
    void showError(const std::string& text) const;
    // Shows a database error's text alone in a plain message box.
    void showPlain(const std::string& text) const;

private:
    friend class Statement;
    struct Handle;
    void track(const std::shared_ptr<Handle>& handle);
    void syncTransactionState();

    tw::Prompter* m_prompter;
    Messages m_messages;
    sqlite3* m_handle = nullptr;
    std::string m_errorText;
    int openHandle(const std::string& path, bool exclusive, bool readOnly = false);

    std::string m_fileName;
    std::int64_t m_openSerial = 0; // which Open of all in this process
    static void noteWrite(void* self, int operation, const char* database, const char* table, std::int64_t key);
    std::mutex m_cacheWriteMutex;
    std::vector<std::int64_t> m_cacheWriteLog;
    std::uint64_t m_cacheWritesDropped = 0; // before the first in the log
    bool m_opened = false;
    bool m_privateLogIndex = false;
    int m_busyTimeoutMs = 10000;
    bool m_warned = false;
    bool m_inTransaction = false;
    bool m_batch = false;
    bool m_batchLost = false;
    std::unique_ptr<BatchWork> m_batchWorkToDo;
    std::size_t m_batchWork = 0; // bytes held by m_batchWorkToDo
    int m_batchError = 0; // of the finisher run between records
    std::mutex m_statementsMutex;
    std::vector<std::weak_ptr<Handle>> m_statements;
    // Looked up by the SQL text itself, without a copy of it.
    struct SqlHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view sql) const { return std::hash<std::string_view>{}(sql); }
    };
    std::unordered_map<std::string, std::shared_ptr<Handle>, SqlHash, std::equal_to<>> m_cached;
};

} // namespace SQLite
