// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Database.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace SQLite {

// A prepared statement. Copies share it; the last copy finalises it. A
// statement outliving its connection's Close() throws on use instead of
// touching freed memory.
class Statement {
public:
    // Prepares sql (one statement); throws Error on failure.
    Statement(Database& database, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = default;
    Statement& operator=(const Statement&) = default;

    void BindInt(int index, long long value);
    void BindDouble(int index, double value);
    void BindText(int index, std::string_view utf8);
    void BindBlob(int index, const void* data, int length);
    void bindNull(int index);

    // SQLITE_ROW (100) for a row, SQLITE_DONE (101) at the end, other codes
    // passed through.
    int Step();
    // Runs a statement that must complete; throws Error otherwise.
    void stepDone();
    // True for a row, false at the end; any other result throws Error.
    bool Next();
    void Reset();
    // Back to the first row, keeping the bound values.
    void rewind();

    int ColumnInt(int index) const;
    long long columnInt64(int index) const;
    double ColumnDouble(int index) const;
    std::string ColumnText(int index) const;
    std::vector<unsigned char> ColumnBlob(int index) const;
    bool columnIsNull(int index) const;
    int columnCount() const;

    Database& database() const { return *m_database; }

private:
    friend class Database;
    Statement(Database& database, std::shared_ptr<Database::Handle> handle)
        : m_database(&database), m_handle(std::move(handle))
    {
    }
    sqlite3_stmt* stmt() const;
    [[noreturn]] void fail() const;

    Database* m_database;
    std::shared_ptr<Database::Handle> m_handle;
};

} // namespace SQLite
