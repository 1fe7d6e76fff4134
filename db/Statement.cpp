// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Statement.h"

#include "db/DatabaseHandle.h"
#include "db/SqlError.h"

#include <sqlite3.h>

namespace SQLite {

Statement::~Statement()
{
    // A cached statement goes back idle: no read left open, no lock held.
    if (m_handle && m_handle->cached && m_handle->stmt)
        sqlite3_reset(m_handle->stmt);
}

Statement::Statement(Database& database, const std::string& sql) : m_database(&database)
{
    sqlite3* db = database.handle();
    if (!db)
        throw Error(SQLITE_MISUSE, "no database is open", &database);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        if (rc == SQLITE_OK)
            throw Error(SQLITE_MISUSE, "empty statement", &database);
        throw Error(sqlite3_errcode(db), sqlite3_errmsg(db), &database);
    }
    m_handle = std::make_shared<Database::Handle>();
    m_handle->stmt = stmt;
    database.track(m_handle);
}

sqlite3_stmt* Statement::stmt() const
{
    if (!m_handle->stmt)
        throw Error(SQLITE_MISUSE, "the database was closed", m_database);
    return m_handle->stmt;
}

void Statement::fail() const
{
    sqlite3* db = m_database->handle();
    if (!db)
        throw Error(SQLITE_MISUSE, "the database was closed", m_database);
    throw Error(sqlite3_errcode(db), sqlite3_errmsg(db), m_database);
}

void Statement::BindInt(int index, long long value)
{
    if (sqlite3_bind_int64(stmt(), index, value) != SQLITE_OK)
        fail();
}

void Statement::BindDouble(int index, double value)
{
    if (sqlite3_bind_double(stmt(), index, value) != SQLITE_OK)
        fail();
}

void Statement::BindText(int index, std::string_view utf8)
{
    if (sqlite3_bind_text(stmt(), index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        fail();
}

void Statement::BindBlob(int index, const void* data, int length)
{
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    if (sqlite3_bind_blob(stmt(), index, data ? data : &empty, length, SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
}

void Statement::bindNull(int index)
{
    if (sqlite3_bind_null(stmt(), index) != SQLITE_OK)
        fail();
}

int Statement::Step()
{
    return sqlite3_step(stmt());
}

void Statement::stepDone()
{
    const int rc = Step();
    if (rc != SQLITE_DONE) {
        sqlite3_reset(stmt());
        fail();
    }
}

bool Statement::Next()
{
    const int rc = Step();
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt());
    fail();
}

void Statement::Reset()
{
    sqlite3_reset(stmt());
    sqlite3_clear_bindings(stmt());
}

void Statement::rewind()
{
    sqlite3_reset(stmt());
}

int Statement::ColumnInt(int index) const
{
    return sqlite3_column_int(stmt(), index);
}

long long Statement::columnInt64(int index) const
{
    return sqlite3_column_int64(stmt(), index);
}

double Statement::ColumnDouble(int index) const
{
    return sqlite3_column_double(stmt(), index);
}

std::string Statement::ColumnText(int index) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt(), index));
    if (!text)
        return {};
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt(), index)));
}

std::vector<unsigned char> Statement::ColumnBlob(int index) const
{
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(stmt(), index));
    const int length = sqlite3_column_bytes(stmt(), index);
    if (!data || length <= 0)
        return {};
    return std::vector<unsigned char>(data, data + length);
}

bool Statement::columnIsNull(int index) const
{
    return sqlite3_column_type(stmt(), index) == SQLITE_NULL;
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt());
}

} // namespace SQLite
