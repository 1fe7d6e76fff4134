// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/SqlError.h"

#include <sqlite3.h>

namespace SQLite {

Error::Error(int errorCode, const std::string& text, Database* db)
    : std::runtime_error(text), code(errorCode), message(text), database(db)
{
}

bool isRecordError(int code)
{
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return true;
    default:
        return false;
    }
}

} // namespace SQLite
