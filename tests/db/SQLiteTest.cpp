// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Database.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace tw {
namespace {

class SQLiteTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_EQ(db.OpenFile((dir / "t.db3").string()), SQLITE_OK);
        ASSERT_EQ(db.Exec("CREATE TABLE t (a INTEGER, b TEXT);"), SQLITE_OK);
        sqlite3_trace_v2(db.handle(), SQLITE_TRACE_STMT, &SQLiteTest::trace, this);
    }

    static int trace(unsigned, void* self, void*, void* sql)
    {
        static_cast<SQLiteTest*>(self)->sent.emplace_back(static_cast<const char*>(sql));
        return 0;
    }

    int rows()
    {
        SQLite::Statement count(db, "SELECT COUNT(*) FROM t");
        count.Step();
        return count.ColumnInt(0);
    }

    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    std::vector<std::string> sent;
};

TEST_F(SQLiteTest, TransactionCallsOutOfOrderSendNothing)
{
    EXPECT_EQ(db.Commit(), SQLITE_OK);
    EXPECT_EQ(db.Rollback(), SQLITE_OK);
    EXPECT_TRUE(sent.empty());

    db.Begin();
    db.Begin();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "BEGIN TRANSACTION;"), 1);
    EXPECT_EQ(db.Commit(), SQLITE_OK);
    EXPECT_FALSE(db.inTransaction());
}

TEST_F(SQLiteTest, FlagFollowsARollbackSQLiteDidByItself)
{
    ASSERT_EQ(db.Begin(), SQLITE_OK);
    SQLite::Statement insert(db, "INSERT INTO t VALUES (1, 'lost')");
    insert.stepDone();
    // What SQLite does on a full disk or an I/O error: the transaction is
    // gone, behind the layer's back.
    ASSERT_EQ(db.Exec("ROLLBACK;"), SQLITE_OK);

    // The lost work must not be reported as committed...
    EXPECT_NE(db.Commit(), SQLITE_OK);
    // ...and the next transaction must really run.
    ASSERT_EQ(db.Begin(), SQLITE_OK);
    EXPECT_TRUE(db.inTransaction());
    SQLite::Statement again(db, "INSERT INTO t VALUES (2, 'kept')");
    again.stepDone();
    EXPECT_EQ(db.Commit(), SQLITE_OK);
    EXPECT_EQ(rows(), 1);
}

TEST_F(SQLiteTest, NextTransactionWorksAfterTheDiskFilledUp)
{
    ASSERT_EQ(db.Exec("PRAGMA max_page_count = 12;"), SQLITE_OK);
    db.Begin();
    bool full = false;
    try {
        for (int i = 0; i < 200; ++i) {
            SQLite::Statement insert(db, "INSERT INTO t VALUES (?, ?)");
            insert.BindInt(1, i);
            insert.BindText(2, std::string(2000, 'x'));
            insert.stepDone();
        }
    } catch (const SQLite::Error& e) {
        full = e.code == SQLITE_FULL;
    }
    ASSERT_TRUE(full);
    db.Rollback();
    ASSERT_EQ(db.Exec("PRAGMA max_page_count = 100000;"), SQLITE_OK);

    sent.clear();
    ASSERT_EQ(db.Begin(), SQLITE_OK);
    EXPECT_EQ(sent, std::vector<std::string>{"BEGIN TRANSACTION;"});
    SQLite::Statement insert(db, "INSERT INTO t VALUES (1, 'after')");
    insert.stepDone();
    EXPECT_EQ(db.Commit(), SQLITE_OK);
    EXPECT_EQ(rows(), 1);
}

TEST_F(SQLiteTest, SyntaxErrorThrowsTheLibraryText)
{
    try {
        SQLite::Statement bad(db, "SELEC nonsense");
        FAIL() << "no exception";
    } catch (const SQLite::Error& e) {
        EXPECT_EQ(e.code, SQLITE_ERROR);
        EXPECT_NE(e.message.find("syntax error"), std::string::npos) << e.message;
    }
    EXPECT_NE(db.Execute("SELEC nonsense;"), SQLITE_OK);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text.rfind("SQLite error: ", 0), 0u);
    EXPECT_EQ(prompter.messages()[0].icon, MessageIcon::Exclamation);
}

TEST_F(SQLiteTest, CopiesShareOneStatementUntilTheLastGoes)
{
    std::vector<SQLite::Statement> kept;
    {
        SQLite::Statement insert(db, "INSERT INTO t VALUES (?, ?)");
        kept.push_back(insert);
    }
    kept[0].BindInt(1, 7);
    kept[0].BindText(2, "Žluťoučký");
    kept[0].stepDone();

    SQLite::Statement select(db, "SELECT a, b FROM t");
    SQLite::Statement copy = select;
    ASSERT_EQ(copy.Step(), SQLITE_ROW);
    // Both copies look at the same prepared statement and its row.
    EXPECT_EQ(select.ColumnInt(0), 7);
    EXPECT_EQ(select.ColumnText(1), "Žluťoučký");
    EXPECT_EQ(select.Step(), SQLITE_DONE);
}

TEST_F(SQLiteTest, CloseFinalisesOpenStatementsAndLeavesThemHarmless)
{
    SQLite::Statement open(db, "SELECT * FROM t");
    EXPECT_EQ(db.Close(), SQLITE_OK);
    EXPECT_EQ(db.handle(), nullptr);
    EXPECT_THROW(open.Step(), SQLite::Error);
}

TEST_F(SQLiteTest, CloseWithAnRTreeOpen)
{
    ASSERT_EQ(db.Exec("CREATE VIRTUAL TABLE r USING rtree(k, a, b);INSERT INTO r VALUES (1, 0, 1);"), SQLITE_OK);
    SQLite::Statement q(db, "SELECT k FROM r WHERE a >= 0");
    ASSERT_EQ(q.Step(), SQLITE_ROW);
    EXPECT_EQ(db.Close(), SQLITE_OK);
}

TEST(SQLiteAvailability, MissingDatabaseIsReportedOnce)
{
    RecordingPrompter prompter;
    SQLite::Database db(&prompter);
    EXPECT_FALSE(db.IsAvailable());
    EXPECT_FALSE(db.IsAvailable());
    EXPECT_EQ(db.Execute("SELECT 1;"), SQLITE_OK); // does nothing, quietly
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "No database available");
}

} // namespace
} // namespace tw

#include "db/CacheStore.h"

namespace tw {
namespace {

class BatchTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        test::copyTemplateDb(dir / "c.db3");
        ASSERT_EQ(db.OpenFile((dir / "c.db3").string()), SQLITE_OK);
        categories = resolveTagCategories(db);
    }
    int count(const char* sql)
    {
        SQLite::Statement q(db, sql);
        q.Step();
        return q.ColumnInt(0);
    }
    bool insert(const char* code)
    {
        CGeocache c;
        c.code = code;
        c.attributes = {"dogs-yes"};
        return CacheStore(db, categories).InsertCache(c);
    }
    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    TagCategories categories;
};

TEST_F(BatchTest, FailingRecordDoesNotTakeTheOthersWithIt)
{
    ASSERT_EQ(db.Exec("CREATE TRIGGER refuse AFTER INSERT ON geolist WHEN NEW.id = 'GCBAD' "
                      "BEGIN SELECT RAISE(ABORT, 'refused'); END;"),
              SQLITE_OK);
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    EXPECT_TRUE(insert("GC1"));
    EXPECT_FALSE(insert("GCBAD")); // its geocache and index rows are undone too
    EXPECT_TRUE(insert("GC2"));
    EXPECT_TRUE(db.inBatch());
    ASSERT_EQ(db.endBatch(), SQLITE_OK);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM coord_index"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag"), 2);
    EXPECT_FALSE(db.inTransaction());
}

TEST_F(BatchTest, LostBatchIsReportedAndTheNextWorks)
{
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    EXPECT_TRUE(insert("GC1"));
    ASSERT_EQ(db.Exec("ROLLBACK;"), SQLITE_OK); // what SQLite does after a disk-full error
    EXPECT_NE(db.endBatch(), SQLITE_OK);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 0);
    EXPECT_TRUE(insert("GC2")); // an ordinary transaction again
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 1);
}

} // namespace
} // namespace tw
