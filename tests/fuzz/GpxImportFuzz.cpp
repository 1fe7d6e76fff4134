// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes imported as a pocket query into an
// in-memory cache database with the shipped schema.
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "db/Tags.h"
#include "exchange/CGpxImporter.h"
#include "exchange/CacheImportStore.h"
#include "xml/CUtf8MemorySource.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

sqlite3_stmt* prepare(SQLite::Database& db, const std::string& sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        __builtin_trap();
    return statement;
}

// Runs a prepared statement to its end and makes it ready for the next run.
// The text of the first row's first column, if it has one.
std::string run(sqlite3_stmt* statement)
{
    std::string first;
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
        if (const unsigned char* text = sqlite3_column_text(statement, 0))
            first = reinterpret_cast<const char*>(text);
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(statement);
    }
    if (rc != SQLITE_DONE)
        __builtin_trap();
    sqlite3_reset(statement);
    return first;
}

// One connection serves every input. Opening a database and reading its
// schema again for each input cost more than most imports: what an input
// stored is put back to the rows of the template instead (the shipped schema
// with the tag categories the program adds at start-up), so every input
// starts from the same rows and category keys, and a crash reproduces from
// its input alone.
class Harness {
public:
    Harness()
    {
        std::ifstream in(TARNWICK_SOURCE_DIR "/resources/emptydb.sql");
        std::ostringstream sql;
        sql << in.rdbuf();
        if (db.Open(":memory:") != 0 || db.Exec(sql.str()) != 0)
            __builtin_trap();
        categories = tw::resolveTagCategories(db);
        // A copy of every table's rows to restore from. The shadow tables of
        // the coordinate index are restored through the index itself.
        if (db.Exec("ATTACH ':memory:' AS template") != 0)
            __builtin_trap();
        std::vector<std::string> tables;
        {
            SQLite::Statement list(db, "SELECT name FROM pragma_table_list WHERE schema = 'main' AND type IN "
                                       "('table', 'virtual') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
            while (list.Next())
                tables.push_back(list.ColumnText(0));
        }
        for (const std::string& table : tables) {
            if (db.Exec("CREATE TABLE template.`" + table + "` AS SELECT * FROM main.`" + table + "`") != 0)
                __builtin_trap();
            m_restore.push_back(prepare(db, "DELETE FROM main.`" + table + "`"));
            m_restore.push_back(prepare(db, "INSERT INTO main.`" + table + "` SELECT * FROM template.`" + table + "`"));
        }
        m_integrity = prepare(db, "PRAGMA main.integrity_check");
        m_changes = sqlite3_total_changes64(db.handle());
    }

    // Checks what the input left and puts the template's rows back.
    void afterInput()
    {
        // An import ends its transactions, whatever the input.
        if (db.inBatch() || db.inTransaction() || !sqlite3_get_autocommit(db.handle()))
            __builtin_trap();
        if (sqlite3_total_changes64(db.handle()) == m_changes)
            return; // nothing written: the database is as it was checked last
        // Whatever the input, the database stays whole.
        if (run(m_integrity) != "ok")
            __builtin_trap();
        for (sqlite3_stmt* statement : m_restore)
            run(statement);
        m_changes = sqlite3_total_changes64(db.handle());
    }

    SQLite::Database db;
    tw::TagCategories categories;

private:
    std::vector<sqlite3_stmt*> m_restore;
    sqlite3_stmt* m_integrity = nullptr;
    sqlite3_int64 m_changes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Kept for the whole run (its statements stay prepared); never destroyed.
    static Harness& harness = *new Harness;
    // The first byte chooses whether stored caches are kept or replaced, and
    // whether the file is imported a second time over what the first stored.
    if (size == 0)
        return 0;
    const int passes = (data[0] & 2) != 0 ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        tw::CacheStore store(harness.db, harness.categories, ((data[0] & 1) ^ pass) != 0);
        tw::CacheImportStore importStore(store, harness.db);
        tw::CGpxImporter importer(importStore, "fuzzer");
        tw::CUtf8MemorySource source(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
        (void)importer.parse(source, nullptr);
    }
    harness.afterInput();
    return 0;
}
