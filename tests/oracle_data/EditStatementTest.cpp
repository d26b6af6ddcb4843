#include "oracle_data/EditStatement.h"
#include "EditBackTestSupport.h"
#include "oracle_data/EditValueComparison.h"
#include "oracle_data/UpdatingTable.h"

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// The record of "select T.rowid, T.* from O.T": field-info entry 0 is the ROWID, then ID
// (number), NAME (varchar2(20)) and NOTE (clob).
QList<EditColumn> recordOfT(const Variant &id, const Variant &oldName, const Variant &newName,
    const Variant &oldNote = Variant::Null(), const Variant &newNote = Variant::Null())
{
    EditColumn idColumn { QStringLiteral("ID"), 1, SQLT_INT, true, id, id, 0, {}, false, false };
    EditColumn name { QStringLiteral("NAME"), 2, SQLT_STR, true, oldName, newName, 20, {}, false,
        false };
    EditColumn note { QStringLiteral("NOTE"), 3, SQLT_CLOB, true, oldNote, newNote, 0, {}, false,
        false };
    return { idColumn, name, note };
}

QList<EditColumn> newRecordOfT(const Variant &id, const Variant &name, const Variant &note)
{
    QList<EditColumn> columns
        = recordOfT(Variant::Null(), Variant::Null(), name, Variant::Null(), note);
    columns[0].newValue = id;
    return columns;
}

EditRowIdentity byRowId(const QString &rowId = QStringLiteral("AAAAAAAAAAAAAAAAAB"))
{
    EditRowIdentity row;
    row.rowId = rowId;
    return row;
}

EditStatementOptions optionsFor(const QString &table = QStringLiteral("O.T"))
{
    EditStatementOptions options;
    options.updatingTable = table;
    return options;
}

QString text(const EditStatement &statement)
{
    return statement.lines.join(u'\n');
}

struct GoldenCase {
    const char *what;
    EditStatement statement;
    const char *expected;
    QStringList variables; // names in declaration order
};

void expectGolden(const QList<GoldenCase> &cases)
{
    for (const GoldenCase &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.statement.nothingToSend);
        EXPECT_EQ(text(c.statement).toStdString(), std::string(c.expected));
        QStringList names;
        for (const EditBindVariable &v : c.statement.variables)
            names.append(v.name);
        EXPECT_EQ(names, c.variables);
    }
}

TEST(EditStatement, UpdateTexts)
{
    EditStatementOptions older = optionsFor();
    older.oci8Mode = false;
    EditStatementOptions temporary = optionsFor();
    temporary.temporaryLobs = true;
    EditRowIdentity keys;
    keys.uniqueFieldsSet = true;
    keys.keys = { { QStringLiteral("ID"), SQLT_INT, 7, false },
        { QStringLiteral("CODE"), SQLT_STR, QString(), true } };
    EditRowIdentity keysWithValues = keys;
    keysWithValues.keys[1].value = QStringLiteral("X1");

    const auto nameChanged = recordOfT(7, QStringLiteral("old"), QStringLiteral("new"));
    const auto noteChanged = recordOfT(
        7, QStringLiteral("old"), QStringLiteral("new"), QStringLiteral("a"), QStringLiteral("b"));

    expectGolden({
        { "one changed column, row address returned",
            BuildUpdateStatement(nameChanged, byRowId(), optionsFor()),
            "update O.T\n"
            "set NAME = :v2\n"
            "where rowid = :zeb__rowid\n"
            "returning rowid into :zeb__rowid",
            { "v2", "zeb__rowid" } },
        { "older call mode: no returning", BuildUpdateStatement(nameChanged, byRowId(), older),
            "update O.T\nset NAME = :v2\nwhere rowid = :zeb__rowid", { "v2", "zeb__rowid" } },
        { "a CLOB is written through the returned locator",
            BuildUpdateStatement(noteChanged, byRowId(), optionsFor()),
            "update O.T\n"
            "set NAME = :v2, NOTE = empty_clob()\n"
            "where rowid = :zeb__rowid\n"
            "returning NOTE, rowid into :v3, :zeb__rowid",
            { "v2", "v3", "zeb__rowid" } },
        { "temporary LOBs bind the value", BuildUpdateStatement(noteChanged, byRowId(), temporary),
            "update O.T\n"
            "set NAME = :v2, NOTE = :v3\n"
            "where rowid = :zeb__rowid\n"
            "returning rowid into :zeb__rowid",
            { "v2", "v3", "zeb__rowid" } },
        { "a cleared column becomes null",
            BuildUpdateStatement(
                recordOfT(7, QStringLiteral("old"), QStringLiteral("   ")), byRowId(), older),
            "update O.T\nset NAME = null\nwhere rowid = :zeb__rowid", { "zeb__rowid" } },
        { "unique fields, one of them null: one line, no returning",
            BuildUpdateStatement(nameChanged, keys, optionsFor()),
            "update O.T\nset NAME = :v2\nwhere ID = :zeb__key1\r\nand CODE is null",
            { "v2", "zeb__key1" } },
        { "unique fields with values",
            BuildUpdateStatement(nameChanged, keysWithValues, optionsFor()),
            "update O.T\nset NAME = :v2\nwhere ID = :zeb__key1\r\nand CODE = :zeb__key2",
            { "v2", "zeb__key1", "zeb__key2" } },
    });
}

TEST(EditStatement, LobColumnsAreQueuedForTheirLocators)
{
    // Neither kind of LOB variable gets a value set: the dataset binds a locator to it.
    const auto noteChanged = recordOfT(
        7, QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("a"), QStringLiteral("b"));
    EditStatementOptions temporary = optionsFor();
    temporary.temporaryLobs = true;
    for (const bool useTemporary : { false, true }) {
        SCOPED_TRACE(useTemporary ? "temporary" : "returned");
        const EditStatement update
            = BuildUpdateStatement(noteChanged, byRowId(), useTemporary ? temporary : optionsFor());
        ASSERT_EQ(update.lobWrites.size(), 1);
        EXPECT_EQ(update.lobWrites[0].index, 3);
        EXPECT_EQ(update.lobWrites[0].variable, QStringLiteral("v3"));
        EXPECT_EQ(update.lobWrites[0].type, SQLT_CLOB);
        EXPECT_EQ(update.lobWrites[0].temporary, useTemporary);
        ASSERT_TRUE(update.Variable(QStringLiteral("v3")));
        EXPECT_TRUE(update.Variable(QStringLiteral("v3"))->boundLocator);
        EXPECT_FALSE(update.Variable(QStringLiteral("zeb__rowid"))->boundLocator);
    }
    // A LOB that became null needs no locator.
    const EditStatement cleared
        = BuildUpdateStatement(recordOfT(7, QStringLiteral("n"), QStringLiteral("n"),
                                   QStringLiteral("a"), Variant::Null()),
            byRowId(), temporary);
    EXPECT_TRUE(cleared.lobWrites.isEmpty());
}

TEST(EditStatement, InsertTexts)
{
    EditStatementOptions lobIsEmpty = optionsFor();
    lobIsEmpty.nullLobIsEmpty = true;
    auto fromSequence = newRecordOfT(Variant::Null(), QStringLiteral("n"), Variant::Null());
    fromSequence[0].defaultText = QStringLiteral("S_ID.nextval");
    auto xml = newRecordOfT(1, Variant::Null(), QStringLiteral("<a/>"));
    xml[2].isXml = true;
    auto computed = newRecordOfT(1, QStringLiteral("n"), Variant::Null());
    computed[1].dataField = false;
    computed.append(EditColumn { QStringLiteral("TAG"), 4, SQLT_STR, true, Variant::Null(),
        QStringLiteral("t"), 5, {}, false, false });

    expectGolden({
        { "null columns are left out for the server's defaults",
            BuildInsertStatement(
                newRecordOfT(1, QStringLiteral("n"), Variant::Null()), byRowId(), optionsFor()),
            "insert into O.T\n"
            "  (ID, NAME)\n"
            "values\n"
            "  (:v1, :v2)\n"
            "returning rowid into :zeb__rowid",
            { "v1", "v2", "zeb__rowid" } },
        { "a CLOB value: empty_clob() and its locator before the row address",
            BuildInsertStatement(newRecordOfT(1, QStringLiteral("n"), QStringLiteral("text")),
                byRowId(), optionsFor()),
            "insert into O.T\n"
            "  (ID, NAME, NOTE)\n"
            "values\n"
            "  (:v1, :v2, empty_clob())\n"
            "returning NOTE, rowid into :v3, :zeb__rowid",
            { "v1", "v2", "v3", "zeb__rowid" } },
        { "NullLOBIsEmpty writes an empty LOB for a null CLOB",
            BuildInsertStatement(
                newRecordOfT(1, Variant::Null(), Variant::Null()), byRowId(), lobIsEmpty),
            "insert into O.T\n"
            "  (ID, NOTE)\n"
            "values\n"
            "  (:v1, empty_clob())\n"
            "returning rowid into :zeb__rowid",
            { "v1", "zeb__rowid" } },
        { "a server-side sequence fills the null key",
            BuildInsertStatement(fromSequence, byRowId(), optionsFor()),
            "insert into O.T\n"
            "  (ID, NAME)\n"
            "values\n"
            "  (S_ID.nextval, :v2)\n"
            "returning rowid into :zeb__rowid",
            { "v2", "zeb__rowid" } },
        { "an XMLTYPE column", BuildInsertStatement(xml, byRowId(), optionsFor()),
            "insert into O.T\n"
            "  (ID, NOTE)\n"
            "values\n"
            "  (:v1, sys.xmltype.createxml(:v3))\n"
            "returning rowid into :zeb__rowid",
            { "v1", "v3", "zeb__rowid" } },
        { "calculated fields are never written",
            BuildInsertStatement(computed, byRowId(), optionsFor()),
            "insert into O.T\n"
            "  (ID, TAG)\n"
            "values\n"
            "  (:v1, :v4)\n"
            "returning rowid into :zeb__rowid",
            { "v1", "v4", "zeb__rowid" } },
    });
}

TEST(EditStatement, DeleteLockCheckAndRefreshTexts)
{
    RecordSelectRequest lock;
    lock.lock = true;
    lock.rowId = QStringLiteral("AAAAAAAAAAAAAAAAAB");
    lock.updatingTable = QStringLiteral("O.T");
    RecordSelectRequest check = lock;
    check.lock = false;

    // Refresh of all fields through the dataset's own query, which names no alias.
    const QString sqlT = QStringLiteral("select T.rowid, T.* from O.T");
    const QString tableT = UpdatingTableNameOf(sqlT, QString(), false);
    RecordSelectRequest refreshT = check;
    refreshT.allFields = true;
    refreshT.sql = sqlT;
    refreshT.rowReference = RowReference(UpdatingTableAliasOf(sqlT, tableT), tableT);
    refreshT.firstDataField = QStringLiteral("ID");
    RecordSelectRequest lockT = refreshT;
    lockT.lock = true;

    // With an alias, a condition, an ORDER BY that the statement drops, and dataset variables.
    const QString sqlE
        = QStringLiteral("select e.rowid, e.* from emp e where e.deptno = :dept order by e.ename");
    RecordSelectRequest lockE = lockT;
    lockE.sql = sqlE;
    lockE.rowReference
        = RowReference(UpdatingTableAliasOf(sqlE, QStringLiteral("EMP")), QStringLiteral("EMP"));
    lockE.firstDataField = QStringLiteral("EMPNO");
    lockE.dataSetVariables = { { QStringLiteral(":DEPT"), SQLT_INT, 10, false },
        { QStringLiteral("UNUSED"), SQLT_STR, QStringLiteral("x"), false } };

    RecordSelectRequest grouped = refreshT;
    grouped.sql
        = QStringLiteral("select deptno, count(*) n from emp group by deptno /* END_REFRESH */ "
                         "having count(*) > 1");
    grouped.rowReference = QStringLiteral("emp");

    expectGolden({
        { "delete", BuildDeleteStatement(byRowId(), QStringLiteral("O.T")),
            "delete from O.T\nwhere rowid = :zeb__rowid", { "zeb__rowid" } },
        { "lock", BuildRecordSelect(lock),
            "select * from O.T where rowid = :zeb__rowid\nfor update nowait", { "zeb__rowid" } },
        { "check", BuildRecordSelect(check), "select * from O.T where rowid = :zeb__rowid",
            { "zeb__rowid" } },
        { "refresh all fields without alias names the table", BuildRecordSelect(refreshT),
            "select T.rowid, T.* from O.T\nwhere O.T.rowid = :zeb__rowid", { "zeb__rowid" } },
        { "lock all fields without alias names the table", BuildRecordSelect(lockT),
            "select T.rowid, T.* from O.T\nwhere O.T.rowid = :zeb__rowid\n"
            "for update of O.T.ID nowait",
            { "zeb__rowid" } },
        { "lock all fields with alias and condition", BuildRecordSelect(lockE),
            "select e.rowid, e.* from emp e\n"
            "where (e.deptno = :dept)\r\nand\r\n(E.rowid = :zeb__rowid)\n"
            "for update of E.EMPNO nowait",
            { "zeb__rowid", "DEPT" } },
        { "a grouping query's marker ends what is re-read", BuildRecordSelect(grouped),
            "select deptno, count(*) n from emp group by deptno\nhaving emp.rowid = :zeb__rowid",
            { "zeb__rowid" } },
    });
}

TEST(EditStatement, NothingToSend)
{
    // An untouched edit (trailing blanks and half a second do not count as changes).
    auto unchanged = recordOfT(7, QStringLiteral("same"), QStringLiteral("same  "));
    unchanged.append(
        EditColumn { QStringLiteral("HIRED"), 4, SQLT_DAT, true, Variant::FromDateTime(45000.5),
            Variant::FromDateTime(45000.5 + 0.5 / 86400), 0, {}, false, false });
    const EditStatement update = BuildUpdateStatement(unchanged, byRowId(), optionsFor());
    EXPECT_TRUE(update.nothingToSend);
    EXPECT_TRUE(update.lines.isEmpty());
    EXPECT_TRUE(update.variables.isEmpty());

    // A new record whose values are all null or blank is no row to store, even with a default
    // text or an empty-LOB preference.
    EditStatementOptions lobIsEmpty = optionsFor();
    lobIsEmpty.nullLobIsEmpty = true;
    auto blank = newRecordOfT(Variant::Null(), QStringLiteral("   "), QByteArray());
    blank[0].defaultText = QStringLiteral("S_ID.nextval");
    const EditStatement insert = BuildInsertStatement(blank, byRowId(), lobIsEmpty);
    EXPECT_TRUE(insert.nothingToSend);
    EXPECT_TRUE(insert.lines.isEmpty());
}

TEST(EditStatement, Errors)
{
    struct {
        const char *what;
        std::function<void()> build;
        QString message;
    } const cases[] = {
        { "delete without rowid",
            [] { BuildDeleteStatement(byRowId(QStringLiteral("  ")), QStringLiteral("T")); },
            QStringLiteral("A delete cannot be performed without a rowid.\r\nProvide a rowid in "
                           "the query or handle this action in the OnApplyRecord event") },
        { "lock without rowid",
            [] {
                RecordSelectRequest r;
                r.updatingTable = QStringLiteral("T");
                BuildRecordSelect(r);
            },
            QStringLiteral("A lock, refresh or check cannot be performed without a rowid.\r\n"
                           "Provide a rowid in the query or handle this action in the "
                           "OnApplyRecord event") },
        { "locking all fields without a data field",
            [] {
                RecordSelectRequest r;
                r.lock = true;
                r.allFields = true;
                r.rowId = QStringLiteral("AAAAAAAAAAAAAAAAAB");
                r.sql = QStringLiteral("select t.rowid from t");
                r.rowReference = QStringLiteral("t");
                r.componentName = QStringLiteral("OracleDataSet1");
                BuildRecordSelect(r);
            },
            QStringLiteral("OracleDataSet1: No data fields") },
        { "UniqueFields naming no field",
            [] {
                EditRowIdentity row;
                row.uniqueFieldsSet = true;
                BuildUpdateStatement(
                    recordOfT(1, QStringLiteral("a"), QStringLiteral("b")), row, optionsFor());
            },
            QStringLiteral("No UniqueFields are present in dataset") },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.build();
            ADD_FAILURE() << "no error";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(EditStatement, RowIdLookupAndLockPointTexts)
{
    const EditStatement lookup
        = BuildRowIdLookup({ { QStringLiteral("DEPTNO"), SQLT_INT, 10, false },
                               { QStringLiteral("DNAME"), SQLT_STR, QString(), true } },
            QStringLiteral("DEPT"));
    EXPECT_EQ(text(lookup),
        QStringLiteral("select rowid from DEPT where\nDEPTNO = :DEPTNO\nand DNAME is null"));
    ASSERT_EQ(lookup.variables.size(), 1);
    EXPECT_EQ(lookup.variables[0].value, Variant(10));
    // A collection expression that binds :no itself: the key NO takes a name of its own.
    const EditStatement collectionLookup
        = BuildRowIdLookup({ { QStringLiteral("NO"), SQLT_INT, 3, false },
                               { QStringLiteral("NAME"), SQLT_STR, QStringLiteral("x"), false } },
            QStringLiteral("table(select m.lines from orders m where m.no = :no)"));
    EXPECT_EQ(text(collectionLookup),
        QStringLiteral("select rowid from table(select m.lines from orders m where m.no = :no) "
                       "where\nNO = :zeb__key1\nand NAME = :NAME"));
    ASSERT_EQ(collectionLookup.variables.size(), 2);
    EXPECT_EQ(collectionLookup.variables[0].name, QStringLiteral("zeb__key1"));
    EXPECT_EQ(collectionLookup.variables[0].value, Variant(3));
    EXPECT_EQ(SetLockPointStatement(), QStringLiteral("savepoint ZEB__LOCKPOINT"));
    EXPECT_EQ(
        RollbackToLockPointStatement(), QStringLiteral("rollback to savepoint ZEB__LOCKPOINT"));
}

TEST(EditValueComparison, ValuesCompareAsTheServerStoresThem)
{
    const double day = 45000.25;
    struct {
        const char *what;
        int type;
        Variant record;
        Variant server;
        int size;
        bool same;
    } const cases[] = {
        { "both null", SQLT_STR, Variant::Null(), Variant::Null(), 0, true },
        { "empty text is null", SQLT_STR, QString(), Variant::Null(), 0, true },
        { "null against a value", SQLT_INT, Variant::Null(), 0, 0, false },
        { "trailing blanks", SQLT_STR, QStringLiteral("abc"), QStringLiteral("abc   "), 0, true },
        { "server text cut to the field", SQLT_STR, QStringLiteral("abc"), QStringLiteral("abcdef"),
            3, true },
        { "different text", SQLT_STR, QStringLiteral("abc"), QStringLiteral("abd"), 0, false },
        { "float within 1e-10", SQLT_FLT, 1.0 + 1e-12, 1.0, 0, true },
        { "float beyond 1e-10", SQLT_FLT, 1.0 + 1e-8, 1.0, 0, false },
        { "float against zero", SQLT_FLT, 1e-11, 0.0, 0, true },
        { "date half a second apart", SQLT_DAT, Variant::FromDateTime(day),
            Variant::FromDateTime(day + 0.5 / 86400), 0, true },
        { "date a second and a half apart", SQLT_DAT, Variant::FromDateTime(day),
            Variant::FromDateTime(day + 1.5 / 86400), 0, false },
        { "timestamp half a millisecond apart", SQLT_TIMESTAMP, Variant::FromDateTime(day),
            Variant::FromDateTime(day + 0.0005 / 86400), 0, true },
        { "timestamp two milliseconds apart", SQLT_TIMESTAMP, Variant::FromDateTime(day),
            Variant::FromDateTime(day + 0.002 / 86400), 0, false },
        { "blob bytes", SQLT_BLOB, QByteArray("ab\0c", 4), QByteArray("ab\0d", 4), 0, false },
        { "same long raw", SQLT_LBI, QByteArray("xy"), QByteArray("xy"), 0, true },
        { "integer", SQLT_INT, 3, 3, 0, true },
        { "unreadable value", SQLT_FLT, QStringLiteral("abc"), 1.0, 0, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SameEditValue(c.type, c.record, c.server, c.size), c.same);
    }
}

// The statements run for real on the stand-in, as the dataset will run them.
class EditStatementOnServer : public test::StandinSessionFixture {
protected:
    void SetUp() override
    {
        StandinSessionFixture::SetUp();
        runIgnoringErrors(QStringLiteral("drop table EB_T"));
        // No LOB column: the query layer does not read LOB columns yet.
        run(QStringLiteral("create table EB_T (id number(6) primary key, name varchar2(20))"));
        run(QStringLiteral("insert into EB_T (id, name) values (1, 'one')"));
        session->Commit();
        rowId = scalar(QStringLiteral("select rowid from EB_T where id = 1"));
        options = optionsFor(QStringLiteral("EB_T"));
        options.temporaryLobs = true;
    }

    void execute(const EditStatement &statement, TOracleQuery &query)
    {
        query.Clear();
        query.DeleteVariables();
        statement.AddLinesTo(query);
        statement.DeclareOn(query);
        query.Execute();
    }

    QString rowId;
    EditStatementOptions options;
};

TEST_F(EditStatementOnServer, UpdateInsertAndDeleteRunAndReturnTheRowAddress)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    TOracleQuery dml;
    dml.SetSession(session.get());
    clearTrace();

    // The stand-in cannot yet bind one name both into the WHERE clause and as a RETURNING
    // target, so the update runs in its older-call form (no RETURNING line).
    EditStatementOptions older = options;
    older.oci8Mode = false;
    const EditStatement update
        = BuildUpdateStatement(recordOfT(1, QStringLiteral("one"), QStringLiteral("uno")).mid(0, 2),
            byRowId(rowId), older);
    execute(update, dml);
    EXPECT_EQ(dml.RowsProcessed(), 1);

    const EditStatement insert = BuildInsertStatement(
        newRecordOfT(2, QStringLiteral("two"), Variant::Null()).mid(0, 2), byRowId(), options);
    execute(insert, dml);
    const QString newRowId = dml.GetVariable(QStringLiteral("zeb__rowid")).AsString();
    EXPECT_EQ(newRowId, scalar(QStringLiteral("select rowid from EB_T where id = 2")));

    execute(BuildDeleteStatement(byRowId(rowId), QStringLiteral("EB_T")), dml);
    EXPECT_EQ(dml.RowsProcessed(), 1);
    session->Commit();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) || ':' || max(name) from EB_T")),
        QStringLiteral("1:two"));

    const QStringList texts = trace();
    auto sent = [&](const EditStatement &s) {
        for (const QString &t : texts)
            if (QString(t).remove(u'\r').trimmed() == text(s))
                return true;
        return false;
    };
    EXPECT_TRUE(sent(update)) << texts.join(QStringLiteral("\n--\n")).toStdString();
    EXPECT_TRUE(sent(insert)) << texts.join(QStringLiteral("\n--\n")).toStdString();
}

TEST_F(EditStatementOnServer, LockHeldByAnotherSessionFailsWithOra54)
{
    RecordSelectRequest lock;
    lock.lock = true;
    lock.rowId = rowId;
    lock.updatingTable = QStringLiteral("EB_T");
    const EditStatement statement = BuildRecordSelect(lock);

    TOracleQuery mine;
    mine.SetSession(session.get());
    run(SetLockPointStatement());
    execute(statement, mine);
    EXPECT_FALSE(mine.Eof());

    other = newSession();
    TOracleQuery theirs;
    theirs.SetSession(other.get());
    try {
        execute(statement, theirs);
        ADD_FAILURE() << "the row was not locked";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 54);
    }

    // Rolling back to the lock point releases the row.
    run(RollbackToLockPointStatement());
    execute(statement, theirs);
    EXPECT_FALSE(theirs.Eof());
    other->Rollback();
}

TEST_F(EditStatementOnServer, RefreshOfAllFieldsReadsTheRowThroughTheDataSetQuery)
{
    const QString sql = QStringLiteral("select T.rowid, T.* from EB_T T where T.id > :low");
    RecordSelectRequest refresh;
    refresh.allFields = true;
    refresh.lock = true;
    refresh.rowId = rowId;
    refresh.sql = sql;
    refresh.rowReference
        = RowReference(UpdatingTableAliasOf(sql, QStringLiteral("EB_T")), QStringLiteral("EB_T"));
    refresh.firstDataField = QStringLiteral("ID");
    refresh.dataSetVariables = { { QStringLiteral("low"), SQLT_INT, 0, false } };
    TOracleQuery q;
    q.SetSession(session.get());
    execute(BuildRecordSelect(refresh), q);
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("one"));
    session->Rollback();

    // Without an alias the statement names the table instead of producing ".rowid".
    const QString bare = QStringLiteral("select rowid, id, name from EB_T");
    refresh.sql = bare;
    refresh.rowReference
        = RowReference(UpdatingTableAliasOf(bare, QStringLiteral("EB_T")), QStringLiteral("EB_T"));
    execute(BuildRecordSelect(refresh), q);
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldAsInteger(1), 1);
    session->Rollback();

    // A row deleted elsewhere gives no row back.
    run(QStringLiteral("delete from EB_T"));
    session->Commit();
    execute(BuildRecordSelect(refresh), q);
    EXPECT_TRUE(q.Eof());
}

TEST_F(EditStatementOnServer, RowIdLookupFindsOneRecordByItsKey)
{
    TOracleQuery q;
    q.SetSession(session.get());
    EXPECT_EQ(
        DetermineRowId(q, { { QStringLiteral("ID"), SQLT_INT, 1, false } }, QStringLiteral("EB_T")),
        rowId);
    EXPECT_EQ(DetermineRowId(q, {}, QStringLiteral("EB_T")), QString());
    run(QStringLiteral("insert into EB_T (id) values (2)"));
    run(QStringLiteral("insert into EB_T (id) values (3)"));
    struct {
        QList<EditKeyField> keys;
        const char *message;
    } const cases[] = {
        { { { QStringLiteral("ID"), SQLT_INT, 99, false } },
            "Error determining ROWID: no record found" },
        { { { QStringLiteral("NAME"), SQLT_STR, QString(), true } },
            "Error determining ROWID: more than one record found" },
    };
    for (const auto &c : cases) {
        try {
            DetermineRowId(q, c.keys, QStringLiteral("EB_T"));
            ADD_FAILURE() << c.message;
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(c.message));
        }
    }
    session->Rollback();
}

} // namespace
} // namespace qd
