// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <variant>

struct sqlite3;

namespace tw::test {

// A database in the layout of the desktop cache manager, written row by row
// with values of the storage class given (text, real, integer), so that a
// test can write a coordinate as text in one row and as a number in the next.
class GsakTestDatabase {
public:
    using Value = std::variant<std::string, const char*, double, long long, int>;
    using Row = std::initializer_list<std::pair<const char*, Value>>;

    enum class Layout {
        Current, // every table and column the import reads
        Older,   // Caches with fewer columns, texts in Caches, no memo and attribute tables
    };
    GsakTestDatabase(const std::filesystem::path& path, Layout layout = Layout::Current);
    ~GsakTestDatabase();
    GsakTestDatabase(const GsakTestDatabase&) = delete;
    GsakTestDatabase& operator=(const GsakTestDatabase&) = delete;

    void insert(const char* table, Row row);
    void exec(const std::string& sql);
    // Closes the file (the test may then read or damage it).
    void close();

    // A whole cache of the current layout: a Caches row, its memo, two logs
    // with their texts, a waypoint with its comment and two attributes.
    // Its letter gives the type; the rest follows from the code.
    void addFullCache(const std::string& code, const std::string& typeLetter);

private:
    sqlite3* m_db = nullptr;
};

} // namespace tw::test
