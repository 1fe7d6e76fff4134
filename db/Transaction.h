// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace SQLite {

class Database;

// Rolls back on the way out unless committed; never throws.
class Transaction {
public:
    explicit Transaction(Database& database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    // Returns the result of COMMIT (0 on success).
    int commit();

private:
    Database& m_database;
    bool m_done = false;
};

} // namespace SQLite
