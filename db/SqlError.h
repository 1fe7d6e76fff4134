// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace SQLite {

class Database;

// The one exception type of the database layer.
class Error : public std::runtime_error {
public:
    Error(int code, const std::string& message, Database* database);
    int code;
    std::string message;
    Database* database;
};

// True for the result codes that concern the data of one statement (a
// constraint, a value too big or of the wrong kind). Every other error (full
// disk, I/O error, read-only or damaged file, a lock) would meet the next
// write as well.
bool isRecordError(int code);

} // namespace SQLite
