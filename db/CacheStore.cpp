// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheStore.h"

#include "db/SQLite.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <sqlite3.h>
#include <zlib.h>

#include <cmath>
#include <cstring>

namespace tw {

std::vector<unsigned char> CompressText(const std::string& text)
{
    const std::size_t n = text.size();
    uLongf length = static_cast<uLongf>(n + n / 4096 + n / 16384 + 11);
    length = std::max<uLongf>(length, compressBound(static_cast<uLong>(n)));
    std::vector<unsigned char> out(length, 0);
    if (compress2(out.data(), &length, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(n), 1) !=
        Z_OK)
        return {};
    out.resize(length);
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

CGeocache geocacheFromRow(const SQLite::Statement& row)
{
    CGeocache c;
    c.key = row.ColumnInt(0);
    c.code = row.ColumnText(1);
    c.guid = row.ColumnText(2);
    c.lat = row.ColumnDouble(3);
    c.lon = row.ColumnDouble(4);
    c.name = row.ColumnText(5);
    c.author = row.ColumnText(6);
    c.type = cacheTypeFromText(row.ColumnText(7));
    c.size = cacheSizeFromText(row.ColumnText(8));
    c.difficulty = static_cast<int>(std::trunc(row.ColumnDouble(9) * 10.0));
    c.terrain = static_cast<int>(std::trunc(row.ColumnDouble(10) * 10.0));
    const int status = static_cast<int>(row.ColumnDouble(12));
    c.status = status == 1 || status == 2 ? status : 0;
    c.hidden = static_cast<int>(row.ColumnDouble(14));
    c.updated = static_cast<int>(row.ColumnDouble(16));
    c.comment = text::storedToShown(row.ColumnText(17));
    c.foundTime = static_cast<int>(row.ColumnDouble(18));
    c.found = static_cast<int>(row.ColumnDouble(19));
    c.country = row.ColumnText(20);
    c.state = row.ColumnText(21);
    c.cacheId = static_cast<int>(row.ColumnDouble(22));
    c.ownerId = static_cast<int>(row.ColumnDouble(23));
    if (c.type != CacheType::Unknown && c.type != CacheType::Multi)
        c.hasFinal = 1;
    return c;
}

void CacheStore::InsertLog(const CGeoLog& log, const std::string& code)
{
    const auto text = CompressText(log.text);
    SQLite::Statement insert(m_db, "INSERT INTO `geolog` (`id`, `dt`, `type`, `finder`, `logtext`, `gs_logid`, "
                                   "`gs_finderid`) VALUES (?, ?, ?, ?, ?, ?, ?)");
    insert.BindText(1, code);
    insert.BindInt(2, log.date);
    insert.BindText(3, logTypeText(log.type));
    insert.BindText(4, log.finder);
    insert.BindBlob(5, text.data(), static_cast<int>(text.size()));
    insert.BindInt(6, log.logId);
    insert.BindInt(7, log.finderId);
    insert.StepDone();
}

void CacheStore::insertCacheRows(CGeocache& cache)
{
    const auto shortDesc = CompressText(cache.text);
    const auto longDesc = CompressText(cache.longDesc);

    SQLite::Statement insert(
        m_db, "INSERT INTO `geocache` (`id`, `guid`, `x`, `y`, `name` , `author`, `cachetype`, `cachesize`, "
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
    insert.StepDone();
    const int key = static_cast<int>(m_db.lastInsertRowId());

    SQLite::Statement index(m_db, "INSERT INTO `coord_index` VALUES (?, ?, ?, ?, ?)");
    index.BindInt(1, key);
    index.BindDouble(2, cache.lat);
    index.BindDouble(3, cache.lat);
    index.BindDouble(4, cache.lon);
    index.BindDouble(5, cache.lon);
    index.StepDone();

    SQLite::Statement texts(m_db, "INSERT INTO `geolist` (`id`, `shortdesc`, `shortdescflag`, `longdesc`, "
                                  "`longdescflag`, `hint`) VALUES (?, ?, ?, ?, ?, ?)");
    texts.BindText(1, cache.code);
    texts.BindBlob(2, shortDesc.data(), static_cast<int>(shortDesc.size()));
    texts.BindInt(3, cache.shortDescHtml);
    texts.BindBlob(4, longDesc.data(), static_cast<int>(longDesc.size()));
    texts.BindInt(5, cache.longDescHtml);
    texts.BindText(6, cache.hint);
    texts.StepDone();

    for (const auto& attribute : cache.attributes) {
        int tagKey = 0;
        SetTag(m_db, cache.code, m_categories.attribute, attribute, true, tagKey, false);
    }
    for (const auto& log : cache.logs)
        InsertLog(*log, cache.code);
    cache.key = key;
}

bool CacheStore::InsertCache(CGeocache& cache)
{
    try {
        SQLite::Transaction transaction(m_db);
        insertCacheRows(cache);
        if (transaction.commit() != SQLITE_OK) {
            cache.key = 0;
            return false;
        }
        return true;
    } catch (const SQLite::Error& e) {
        cache.key = 0;
        m_db.Rollback();
        m_db.showError(e.message);
        return false;
    }
}

} // namespace tw
