// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/TileDatabase.h"

#include "db/SqlError.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "maps/TileQueryBudget.h"

#include <sqlite3.h>

#include <cctype>
#include <map>
#include <memory>
#include <mutex>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

// The worker and the window thread hold separate connections to one file, so
// one of them may briefly find it locked.
constexpr int kBusyTimeoutMs = 5000;

// Writes to one file from all connections of this process take turns: each
// connection keeps one transaction flag, and a write that waited out the busy
// timeout against a steady stream of another thread's writes would be lost.
std::mutex& writeLockFor(const fs::path& path)
{
    static std::mutex registryMutex;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::error_code ec;
    const std::string key = fs::weakly_canonical(path, ec).string();
    std::lock_guard guard(registryMutex);
    auto& slot = locks[key.empty() ? path.string() : key];
    if (!slot)
        slot = std::make_unique<std::mutex>();
    return *slot;
}

void bindSet(SQLite::Statement& st, int index, const std::string& set)
{
    if (set.empty())
        st.BindInt(index, 0);
    else
        st.BindText(index, set);
}

} // namespace

TileDatabase::TileDatabase(fs::path path, Prompter* prompter) : m_path(std::move(path)), m_db(prompter) {}

TileDatabase::~TileDatabase() = default;

bool TileDatabase::open()
{
    if (m_open)
        return true;
    std::error_code ec;
    if (m_path.has_parent_path())
        fs::create_directories(m_path.parent_path(), ec);
    if (m_db.OpenFile(m_path.string()) != SQLITE_OK) {
        m_problem = m_db.handle() ? sqlite3_errmsg(m_db.handle()) : "cannot open the file";
        m_db.Close();
        return false;
    }
    sqlite3_busy_timeout(m_db.handle(), kBusyTimeoutMs);
    m_writeLock = &writeLockFor(m_path);
    std::lock_guard lock(*m_writeLock);
    if (m_db.Exec("PRAGMA encoding = \"UTF-8\"") != SQLITE_OK
        || m_db.Exec("CREATE TABLE IF NOT EXISTS info(minzoom,maxzoom)") != SQLITE_OK
        || m_db.Exec("CREATE TABLE IF NOT EXISTS tiles(x int, y int, z int, s int, image blob, "
                     "PRIMARY KEY (x,y,z,s))")
               != SQLITE_OK
        || !readsFromATable()) {
        m_problem = m_db.errorText().empty() ? "no table of tiles" : m_db.errorText();
        m_db.Close();
        return false;
    }
    readZoomNumbering();
    m_open = true;
    return true;
}

void TileDatabase::readZoomNumbering()
{
    m_plainZoom = false;
    try {
        SQLite::Statement columns(m_db, "SELECT 1 FROM pragma_table_info('info') WHERE `name` = 'tilenumbering'");
        if (columns.Step() != SQLITE_ROW)
            return;
        SQLite::Statement numbering(m_db, "SELECT `tilenumbering` FROM `info` LIMIT 1");
        if (numbering.Step() != SQLITE_ROW)
            return;
        std::string value = numbering.ColumnText(0);
        for (char& c : value)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        m_plainZoom = value != "bigplanet";
    } catch (const SQLite::Error&) {
        // An info table that does not read says nothing: the usual numbering.
    }
}

bool TileDatabase::readsFromATable()
{
    limitTileQueries(m_db.handle());
    return hasTileTable(m_db.handle(), "tiles");
}

std::optional<TileBytes> TileDatabase::read(const TileKey& key, bool matchSet)
{
    if (!m_open)
        return std::nullopt;
    try {
        const TileQueryBudget budget;
        SQLite::Statement st(m_db, matchSet ? "SELECT `image` FROM `tiles` WHERE `x` = ? AND `y` = ? AND `z` = ? "
                                              "AND `s` = ?"
                                            : "SELECT `image` FROM `tiles` WHERE `x` = ? AND `y` = ? AND `z` = ?");
        st.BindInt(1, key.x);
        st.BindInt(2, key.y);
        st.BindInt(3, storedZ(key.z));
        if (matchSet)
            bindSet(st, 4, key.set);
        // Next, not Step: a damaged page must throw, not pass for "no tile".
        if (!st.Next())
            return std::nullopt;
        auto blob = st.ColumnBlob(0);
        return TileBytes(blob.begin(), blob.end());
    } catch (const SQLite::Error& e) {
        if (m_problem.empty())
            m_problem = e.message;
        return std::nullopt;
    }
}

bool TileDatabase::contains(const TileKey& key, bool matchSet)
{
    return read(key, matchSet).has_value();
}

bool TileDatabase::write(const TileKey& key, const void* data, std::size_t size)
{
    if (!m_open || size > static_cast<std::size_t>(INT32_MAX))
        return false;
    std::lock_guard lock(*m_writeLock);
    try {
        SQLite::Transaction transaction(m_db);
        SQLite::Statement st(m_db, "INSERT OR REPLACE INTO `tiles` (`x`, `y`, `z`, `s`, `image`) "
                                   "VALUES(?, ?, ?, ?, ?)");
        st.BindInt(1, key.x);
        st.BindInt(2, key.y);
        st.BindInt(3, storedZ(key.z));
        bindSet(st, 4, key.set);
        st.BindBlob(5, data, static_cast<int>(size));
        st.stepDone();
        return transaction.commit() == SQLITE_OK;
    } catch (const SQLite::Error&) {
        return false;
    }
}

void TileDatabase::remove(int x, int y, int z)
{
    if (!m_open)
        return;
    std::lock_guard lock(*m_writeLock);
    try {
        SQLite::Transaction transaction(m_db);
        SQLite::Statement st(m_db, "DELETE FROM `tiles` WHERE `x` = ? AND `y` = ? AND `z` = ?");
        st.BindInt(1, x);
        st.BindInt(2, y);
        st.BindInt(3, storedZ(z));
        st.stepDone();
        transaction.commit();
    } catch (const SQLite::Error& e) {
        m_db.showError(e.message);
    }
}

} // namespace tw::maps
