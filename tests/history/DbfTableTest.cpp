#include "HistoryTestSupport.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Field.h"
#include "history/DbfTable.h"
#include "history/SQLHistoryOperations.h"

#include <QFileInfo>

using namespace qd;
using namespace qd::test;

namespace {

const QDate Today(2026, 12, 11);

class DbfTableTest : public HistoryDirTest {
protected:
    void SetUp() override
    {
        table.SetFilePath(m_dir.path());
        table.SetName(QStringLiteral("SQLDbf"));
    }
    void add(const QString &user, const QString &sql, QDate date = Today)
    {
        AddSQLHistory(table, user, QStringLiteral("DEMO"), sql, date);
    }
    QString current(const char *field) { return table.FieldByName(QLatin1String(field))->AsString(); }
    QStringList allScripts()
    {
        QStringList scripts;
        for (table.First(); !table.Eof(); table.Next())
            scripts << current("SQL");
        return scripts;
    }

    TDbfTable table;
};

TEST_F(DbfTableTest, OpenCreatesThePairAndShowsItsFields)
{
    table.Open();
    EXPECT_TRUE(table.Active());
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(filesInDir(), (QStringList { "SQLHistory.dbf", "SQLHistory.dbt" }));
    QStringList names;
    table.GetFieldNames(names);
    EXPECT_EQ(names, (QStringList { "RUNDATE", "USERNAME", "INSTANCE", "SQL" }));
    EXPECT_EQ(table.FieldByName(QStringLiteral("RUNDATE"))->DataType(), ftDate);
    EXPECT_EQ(table.FieldByName(QStringLiteral("USERNAME"))->Size(), 32);
    EXPECT_EQ(table.FieldByName(QStringLiteral("INSTANCE"))->Size(), 254);
    EXPECT_EQ(table.FieldByName(QStringLiteral("SQL"))->DataType(), ftMemo);
}

TEST_F(DbfTableTest, AppendKeepsThePositionAndReadsBack)
{
    table.Open();
    add("SCOTT", "select 1 from dual");
    add("HR", "select 2 from dual");
    table.First();
    add("SYS", "select 3 from dual");
    // The record that was current stays current.
    EXPECT_EQ(current("USERNAME"), QStringLiteral("SCOTT"));
    EXPECT_EQ(table.RecordCount(), 3);
    table.Close();
    table.Open();
    table.Last();
    EXPECT_EQ(current("USERNAME"), QStringLiteral("SYS"));
    EXPECT_EQ(current("INSTANCE"), QStringLiteral("DEMO"));
    EXPECT_EQ(current("SQL"), QStringLiteral("select 3 from dual"));
    EXPECT_EQ(DateTimeToQDate(table.FieldByName(QStringLiteral("RUNDATE"))->AsDateTime()), Today);
    EXPECT_EQ(table.RecNo(), 3);
    EXPECT_EQ(allScripts(), (QStringList { "select 1 from dual", "select 2 from dual", "select 3 from dual" }));
}

TEST_F(DbfTableTest, DeletedRecordsAreHidden)
{
    table.Open();
    add("A", "one");
    add("B", "two");
    add("C", "three");
    table.First();
    table.Next();
    table.Delete();
    // The next record becomes current.
    EXPECT_EQ(current("USERNAME"), QStringLiteral("C"));
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_EQ(allScripts(), (QStringList { "one", "three" }));
    table.Close();
    table.Open();
    EXPECT_EQ(allScripts(), (QStringList { "one", "three" }));
    EXPECT_EQ(table.Files().recordCount(), 3u);
    table.PackTable();
    EXPECT_EQ(table.Files().recordCount(), 2u);
    EXPECT_EQ(allScripts(), (QStringList { "one", "three" }));
}

TEST_F(DbfTableTest, EditWritesTheRecordBack)
{
    table.Open();
    add("A", "one");
    table.First();
    table.Edit();
    table.FieldByName(QStringLiteral("SQL"))->SetAsString(QString(900, 'z'));
    table.FieldByName(QStringLiteral("USERNAME"))->SetAsString(QStringLiteral("AA"));
    table.Post();
    table.Close();
    table.Open();
    EXPECT_EQ(current("USERNAME"), QStringLiteral("AA"));
    EXPECT_EQ(current("SQL"), QString(900, 'z'));
}

TEST_F(DbfTableTest, FindSearchesTheScriptsBothWays)
{
    table.Open();
    add("A", "select * from EMP");
    add("B", "select * from dept");
    add("C", "select employee from emp_view");
    add("D", "update emp set sal = 1");
    table.First();
    struct Case {
        const char *text;
        bool matchCase, wholeWord, forward, fromNext;
        const char *expectUser; // null: not found, the cursor stays on the start
        const char *startUser;
    };
    const Case cases[] = {
        { "emp", false, false, true, false, "A", "A" },
        { "emp", true, false, true, false, "C", "A" },
        { "emp", false, true, true, true, "D", "A" },
        { "EMP", true, true, false, true, "A", "D" },
        { "emp", false, false, false, true, "C", "D" },
        { "salary", false, false, true, false, nullptr, "B" },
        { "dept", false, false, false, true, nullptr, "B" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        table.First();
        while (current("USERNAME") != QLatin1String(c.startUser))
            table.Next();
        const bool found = table.FindSQLText(QLatin1String(c.text), c.matchCase, c.wholeWord, c.forward, c.fromNext);
        EXPECT_EQ(found, c.expectUser != nullptr);
        EXPECT_EQ(current("USERNAME"), QLatin1String(c.expectUser ? c.expectUser : c.startUser));
    }
}

TEST_F(DbfTableTest, CorruptPairLeavesTheTableClosed)
{
    writeBytes(tablePath(), QByteArray(161, '\x05'));
    writeBytes(memoPath(), QByteArray(512, '\0'));
    try {
        table.Open();
        ADD_FAILURE() << "opened";
    } catch (const EDbfError &e) {
        EXPECT_TRUE(e.Message().startsWith(QLatin1String("SQLHistory.dbf: unknown version byte 05")));
    }
    EXPECT_FALSE(table.Active());
    // A closed table records nothing and purges nothing.
    add("A", "lost");
    EXPECT_EQ(PurgeSQLHistory(table, 1, Today), 0);
    EXPECT_EQ(readBytes(tablePath()), QByteArray(161, '\x05'));
}

TEST_F(DbfTableTest, PurgeByKeepDays)
{
    const struct {
        int keepDays;
        QStringList kept;
    } cases[] = {
        { 0, { "today", "yesterday", "two days", "long ago" } },
        { 1, { "today", "yesterday" } },
        { 2, { "today", "yesterday", "two days" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keepDays);
        table.Close();
        QFile::remove(tablePath());
        QFile::remove(memoPath());
        table.Open();
        add("A", "long ago", Today.addDays(-400));
        add("A", "two days", Today.addDays(-2));
        add("A", "yesterday", Today.addDays(-1));
        add("A", "today", Today);
        // Out of order on purpose: the walk looks at every record.
        table.First();
        table.Edit();
        table.FieldByName(QStringLiteral("SQL"))->SetAsString(QStringLiteral("today"));
        table.FieldByName(QStringLiteral("RUNDATE"))->SetAsDateTime(QDateToDateTime(Today));
        table.Post();
        table.Last();
        table.Edit();
        table.FieldByName(QStringLiteral("SQL"))->SetAsString(QStringLiteral("long ago"));
        table.FieldByName(QStringLiteral("RUNDATE"))->SetAsDateTime(QDateToDateTime(Today.addDays(-400)));
        table.Post();
        const int deleted = PurgeSQLHistory(table, c.keepDays, Today);
        EXPECT_EQ(deleted, 4 - c.kept.size());
        QStringList kept = allScripts();
        kept.sort();
        QStringList expected = c.kept;
        expected.sort();
        EXPECT_EQ(kept, expected);
        // Packed: nothing deleted stays in the file.
        EXPECT_EQ(table.Files().recordCount(), quint32(c.kept.size()));
    }
}

TEST_F(DbfTableTest, PurgeWithNothingToDeleteLeavesTheFilesUntouched)
{
    table.Open();
    add("A", "one");
    add("B", "two");
    table.Close();
    const QByteArray tableBytes = readBytes(tablePath());
    const QDateTime written = QFileInfo(tablePath()).lastModified();
    table.Open();
    EXPECT_EQ(PurgeSQLHistory(table, 5, Today), 0);
    table.Close();
    EXPECT_EQ(readBytes(tablePath()), tableBytes);
    EXPECT_EQ(QFileInfo(tablePath()).lastModified(), written);
}

TEST_F(DbfTableTest, EmptyTableClearsEverything)
{
    table.Open();
    add("A", "one");
    add("B", "two");
    table.EmptyTable();
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(readBytes(tablePath()).size(), 161);
    EXPECT_EQ(readBytes(memoPath()).size(), 512);
}

} // namespace
