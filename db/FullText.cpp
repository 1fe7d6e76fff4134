// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/FullText.h"

namespace tw::fulltext {

bool Supported() { return false; }

bool Ready(SQLite::Database&) { return false; }

bool Build(SQLite::Database&, const std::function<bool(long long, long long)>&) { return false; }

std::string MatchExpression(std::string_view, TextFields) { return {}; }

std::vector<std::string> HighlightTerms(std::string_view) { return {}; }

std::vector<Hit> Search(SQLite::Database&, std::string_view, TextFields, int) { return {}; }

std::string KeyCondition()
{
    return "geocache.key IN (SELECT rowid FROM cachetext WHERE cachetext MATCH ?)";
}

std::string RankOrder() { return "ftsrank.ftsrank"; }

std::string RankJoin()
{
    return "LEFT JOIN (SELECT rowid AS ftskey, rank AS ftsrank FROM cachetext WHERE cachetext "
           "MATCH ?) AS ftsrank ON ftsrank.ftskey = geocache.key";
}

} // namespace tw::fulltext
