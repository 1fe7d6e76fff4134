// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct sqlite3;
struct fts5_api;

namespace tw::fulltext {

// The connection's FTS5, or null without it.
fts5_api* fts5Of(sqlite3* handle);

// Puts a faster tokenizer in place of SQLite's "unicode61" on the
// connection: runs of plain ASCII letters and digits become tokens here,
// everything else goes to the built-in tokenizer, so the tokens, their
// order and their offsets are the built-in one's. The index's schema is
// unchanged: another program reading the database tokenizes as before.
// With options other than remove_diacritics every text goes to the
// built-in tokenizer. Returns an SQLite result code (SQLITE_OK also when
// this SQLite has no FTS5, and when the connection has it already).
int registerFastTokenizer(sqlite3* handle);

} // namespace tw::fulltext
