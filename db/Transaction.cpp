// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Transaction.h"

#include "db/Database.h"

#include <sqlite3.h>

namespace SQLite {

Transaction::Transaction(Database& database) : m_database(database)
{
    // Joining a transaction that is already open: the owner decides.
    if (m_database.inTransaction())
        m_done = true;
    else
        m_database.Begin();
}

Transaction::~Transaction()
{
    if (!m_done)
        m_database.Rollback();
}

int Transaction::commit()
{
    if (m_done)
        return SQLITE_OK;
    m_done = true;
    return m_database.Commit();
}

} // namespace SQLite
