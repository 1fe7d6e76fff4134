// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

struct sqlite3;

namespace SQLite {

// SQL LIKE with the escape character '\\' (LIKE ... ESCAPE '\\'): "%"
// matches any run of characters, "_" one character (a UTF-8 sequence), "\\"
// makes the character after it stand for itself; ASCII letters match either
// case, every other character only itself.
bool likeMatch(std::string_view pattern, std::string_view text);

// Adds like_unbounded(pattern, text) to a connection: LIKE for patterns longer
// than SQLite's own LIKE accepts. NULL in, NULL out.
int registerLikeUnbounded(sqlite3* handle);

} // namespace SQLite
