// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes imported as a pocket query into an
// in-memory cache database with the shipped schema.
#include "db/CacheStore.h"
#include "db/SQLite.h"
#include "db/Tags.h"
#include "exchange/GpxImporter.h"
#include "exchange/XmlCharSource.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {

std::string schemaSql()
{
    std::ifstream in(TARNWICK_SOURCE_DIR "/resources/emptydb.sql");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string schema = schemaSql();
    SQLite::Database db;
    if (db.Open(":memory:") != 0 || db.Exec(schema) != 0)
        __builtin_trap();
    const tw::TagCategories categories = tw::resolveTagCategories(db);
    for (int impOnlyNew : {1, 0}) {
        tw::CacheStore store(db, categories, impOnlyNew);
        tw::CacheImportStore importStore(store, db);
        tw::CGpxImporter importer(importStore, "fuzzer");
        tw::CUtf8MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
        (void)importer.parse(source, nullptr);
    }
    SQLite::Statement check(db, "PRAGMA integrity_check");
    if (!check.Next())
        __builtin_trap();
    return 0;
}
