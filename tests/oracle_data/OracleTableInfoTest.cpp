#include "oracle_data/OracleTableInfo.h"
#include "EditBackTestSupport.h"
#include "oracle_data/ConstraintEnforcement.h"

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/ScreenServices.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace qd {
namespace {

TEST(CheckCondition, ColumnsBecomeBindVariablesOutsideLiteralsAndLongerNames)
{
    struct {
        const char *condition;
        QStringList columns;
        const char *expected;
    } const cases[] = {
        { "SAL > 0 AND COMM <= SAL", { "SAL", "COMM" }, ":SAL > 0 AND :COMM <= :SAL" },
        { "SALARY > SAL", { "SAL" }, "SALARY > :SAL" },
        { "A_SAL + SAL_B + SAL$ + SAL#1 + SAL", { "SAL" }, "A_SAL + SAL_B + SAL$ + SAL#1 + :SAL" },
        { "STATUS IN ('SAL', 'X SAL Y') and SAL is not null", { "STATUS", "SAL" },
            ":STATUS IN ('SAL', 'X SAL Y') and :SAL is not null" },
        { "NAME <> 'it''s NAME' or NAME is null", { "NAME" },
            ":NAME <> 'it''s NAME' or :NAME is null" },
        { "\"SAL\" > 0 and \"COMM\" is null", { "SAL", "COMM" }, ":SAL > 0 and :COMM is null" },
        { "T.SAL > 0", { "SAL" }, "T.SAL > 0" },
        { "sal>0", { "SAL" }, ":sal>0" },
        { "(LOSAL<=HISAL)", { "LOSAL", "HISAL" }, "(:LOSAL<=:HISAL)" },
        // Alternative quoting: an apostrophe inside the literal ends nothing.
        { "STATUS <> q'[it's SAL]' OR SAL > 0", { "STATUS", "SAL" },
            ":STATUS <> q'[it's SAL]' OR :SAL > 0" },
        { "NAME <> nQ'!a'SAL!' and SAL > 0", { "NAME", "SAL" },
            ":NAME <> nQ'!a'SAL!' and :SAL > 0" },
        { "SEQ = 'Q' and SAL > 0", { "SEQ", "SAL" }, ":SEQ = 'Q' and :SAL > 0" },
        // An apostrophe in a quoted name opens no literal.
        { "\"O'SAL\" > 0 and SAL > 0", { "SAL" }, "\"O'SAL\" > 0 and :SAL > 0" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.condition);
        EXPECT_EQ(ConditionWithBindVariables(QString::fromUtf8(c.condition), c.columns),
            QString::fromUtf8(c.expected));
    }
}

class TableInfo : public test::StandinSessionFixture {
protected:
    void SetUp() override
    {
        StandinSessionFixture::SetUp();
        runIgnoringErrors(QStringLiteral("drop table EB_CHILD"));
        runIgnoringErrors(QStringLiteral("drop table EB_PARENT"));
        run(QStringLiteral("create table EB_PARENT (id number(4) constraint PK_EB_PARENT "
                           "primary key, code varchar2(5))"));
        run(QStringLiteral(
            "create table EB_CHILD (id number(6) constraint PK_EB_CHILD primary key, "
            "a number(4), b varchar2(10), sal number(7,2) default 100, salary number(7,2), "
            "comm number(7,2), parent_id number(4) constraint FK_EB_CHILD_PARENT references "
            "EB_PARENT (id), created date default sysdate, owner_name varchar2(30) default user, "
            "kind varchar2(5) default 'NEW', "
            "constraint UK_EB_CHILD_AB unique (a, b), "
            "constraint CK_EB_CHILD_SAL check (sal > 0 and (comm is null or comm <= sal)))"));
        run(QStringLiteral("insert into EB_PARENT values (1, 'P1')"));
        run(QStringLiteral("insert into EB_CHILD (id, a, b, sal, comm, parent_id) "
                           "values (10, 1, null, 500, 50, 1)"));
        session->Commit();
        rowId = scalar(QStringLiteral("select rowid from EB_CHILD where id = 10"));
        info = &TOracleTableInfoCache::ForSession(session.get())
                    .TableInfo(QStringLiteral("EB_CHILD"));
        dml.SetSession(session.get());
    }

    TOracleConstraintInfo &constraint(const QString &name)
    {
        info->LoadConstraints();
        for (int i = 0; i < info->ConstraintCount(); ++i)
            if (info->Constraint(i).Name() == name)
                return info->Constraint(i);
        throw Exception(QStringLiteral("no constraint ") + name);
    }

    // A record of EB_CHILD with the given fields; the others are not fields of the dataset.
    ConstraintCheckRecord record(bool inserted, QList<ConstraintCheckField> fields)
    {
        ConstraintCheckRecord r;
        r.inserted = inserted;
        r.rowId = inserted ? QString() : rowId;
        r.updatingTable = QStringLiteral("EB_CHILD");
        r.fields = std::move(fields);
        return r;
    }
    static ConstraintCheckField number(const char *name, const Variant &value)
    {
        return { QString::fromLatin1(name), SQLT_FLT, value, false, true };
    }
    static ConstraintCheckField text(const char *name, const Variant &value)
    {
        return { QString::fromLatin1(name), SQLT_STR, value, true, true };
    }

    // The check's message, "" when it passes.
    QString checkMessage(TOracleConstraintInfo &c, const ConstraintCheckRecord &r,
        const TViolationTranslator &translate = {})
    {
        try {
            c.Check(dml, r, translate);
            return QString();
        } catch (const EDatabaseError &e) {
            return e.Message();
        }
    }

    QString rowId;
    TOracleTableInfo *info = nullptr;
    TOracleQuery dml;
};

TEST_F(TableInfo, ConstraintsAndTheirDetailsComeFromTheDictionary)
{
    EXPECT_EQ(info->Owner(), QStringLiteral("DEMO"));
    EXPECT_EQ(info->TableName(), QStringLiteral("EB_CHILD"));
    info->LoadConstraints();
    QStringList names;
    for (int i = 0; i < info->ConstraintCount(); ++i)
        names.append(info->Constraint(i).Name());
    EXPECT_EQ(names,
        (QStringList { "CK_EB_CHILD_SAL", "FK_EB_CHILD_PARENT", "PK_EB_CHILD", "UK_EB_CHILD_AB" }));

    struct {
        const char *name;
        int kind;
        QStringList columns;
    } const cases[] = {
        { "PK_EB_CHILD", TOracleConstraintInfo::ckPrimary, { "ID" } },
        { "UK_EB_CHILD_AB", TOracleConstraintInfo::ckUnique, { "A", "B" } },
        { "FK_EB_CHILD_PARENT", TOracleConstraintInfo::ckForeign, { "PARENT_ID" } },
        { "CK_EB_CHILD_SAL", TOracleConstraintInfo::ckCheck, { "SAL", "COMM" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TOracleConstraintInfo &ci = constraint(QString::fromLatin1(c.name));
        ci.LoadDetails(dml);
        EXPECT_TRUE(ci.Active());
        EXPECT_EQ(ci.ConstraintKind(), c.kind);
        QStringList sorted = ci.Columns();
        QStringList expected = c.columns;
        sorted.sort();
        expected.sort();
        EXPECT_EQ(sorted, expected);
    }
    TOracleConstraintInfo &fk = constraint(QStringLiteral("FK_EB_CHILD_PARENT"));
    EXPECT_EQ(fk.ReferencedOwner(), QStringLiteral("DEMO"));
    EXPECT_EQ(fk.ReferencedTable(), QStringLiteral("EB_PARENT"));
    EXPECT_EQ(fk.ReferencedColumns(), QStringList { QStringLiteral("ID") });
    EXPECT_EQ(constraint(QStringLiteral("CK_EB_CHILD_SAL")).Condition(),
        QStringLiteral(":sal > 0 and (:comm is null or :comm <= :sal)"));
}

TEST_F(TableInfo, KeyChecksFindDuplicatesBeforeTheServerDoes)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    TOracleConstraintInfo &pk = constraint(QStringLiteral("PK_EB_CHILD"));
    TOracleConstraintInfo &uk = constraint(QStringLiteral("UK_EB_CHILD_AB"));

    // A new record with an existing key.
    EXPECT_EQ(checkMessage(pk, record(true, { number("ID", 10) })),
        QStringLiteral("ORA-00001: unique constraint (DEMO.PK_EB_CHILD) violated"));
    EXPECT_EQ(checkMessage(pk, record(true, { number("ID", 11) })), QString());
    // The record itself is no duplicate of itself.
    EXPECT_EQ(checkMessage(pk, record(false, { number("ID", 10) })), QString());

    // Unique key (A, B) with B null on an update: the statement the check runs.
    run(QStringLiteral("insert into EB_CHILD (id, a, b, sal) values (12, 2, null, 10)"));
    clearTrace();
    const QString other = scalar(QStringLiteral("select rowid from EB_CHILD where id = 12"));
    ConstraintCheckRecord update = record(false, { number("A", 1), text("B", QString()) });
    update.rowId = other;
    EXPECT_EQ(checkMessage(uk, update),
        QStringLiteral("ORA-00001: unique constraint (DEMO.UK_EB_CHILD_AB) violated"));
    EXPECT_EQ(dml.SQL().Text(),
        QStringLiteral("select 'x' from EB_CHILD\r\n"
                       "where rowid <> :zeb__rowid\r\nand A = :A\r\n"
                       "and B is null\r\n"));
    // No insert or update reached the server: the error came first.
    for (const QString &t : trace())
        EXPECT_TRUE(t.trimmed().startsWith(QStringLiteral("select"), Qt::CaseInsensitive))
            << t.toStdString();

    // An entirely null key is no duplicate, and no statement runs for it.
    clearTrace();
    EXPECT_EQ(
        checkMessage(uk, record(true, { number("A", Variant::Null()), text("B", QString()) })),
        QString());
    EXPECT_TRUE(trace().isEmpty());
    // A new record whose key column is not a field cannot be judged.
    EXPECT_EQ(checkMessage(uk, record(true, { number("A", 1) })), QString());
    // An existing record's missing column is read from its row.
    ConstraintCheckRecord partial = record(false, { number("A", 1) });
    partial.rowId = other;
    session->Rollback();
    run(QStringLiteral("insert into EB_CHILD (id, a, b, sal) values (12, 1, 'x', 10)"));
    partial.rowId = scalar(QStringLiteral("select rowid from EB_CHILD where id = 12"));
    EXPECT_EQ(checkMessage(uk, partial), QString()); // (1, 'x') differs from (1, null)
    session->Rollback();

    // The message goes through the dataset's translation with the action letter.
    EXPECT_EQ(checkMessage(pk, record(true, { number("ID", 10) }),
                  [](QChar action, int code, const QString &msg) {
                      return QString(action) + QString::number(code) + u':' + msg.left(9);
                  }),
        QStringLiteral("I1:ORA-00001"));
}

TEST_F(TableInfo, ForeignKeyCheckNeedsTheParent)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    TOracleConstraintInfo &fk = constraint(QStringLiteral("FK_EB_CHILD_PARENT"));
    EXPECT_EQ(checkMessage(fk, record(true, { number("PARENT_ID", 2) })),
        QStringLiteral("ORA-02291: integrity constraint (DEMO.FK_EB_CHILD_PARENT) violated - "
                       "parent key not found"));
    EXPECT_EQ(checkMessage(fk, record(true, { number("PARENT_ID", 1) })), QString());
    clearTrace();
    EXPECT_EQ(checkMessage(fk, record(true, { number("PARENT_ID", Variant::Null()) })), QString());
    EXPECT_TRUE(trace().isEmpty()); // nothing to ask for a null reference
    EXPECT_EQ(checkMessage(fk, record(false, { number("PARENT_ID", 2) })).left(9),
        QStringLiteral("ORA-02291"));
}

TEST_F(TableInfo, ABridgedSessionReportsViolationsInTheBridgesWords)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    // The logon database names an ODBC data source: the session counts as bridged.
    session->SetLogonDatabase(QStringLiteral("ODBC:demo"));
    ASSERT_TRUE(session->ODBCBridge());
    clearTrace();
    info->LoadConstraints();
    bool listed = false;
    for (const QString &t : trace()) {
        if (!t.contains(QStringLiteral("sys.all_cons_columns")))
            continue;
        listed = true;
        EXPECT_FALSE(t.contains(QStringLiteral("SYS_C"))) << t.toStdString();
    }
    EXPECT_TRUE(listed);

    QList<int> codes;
    const TViolationTranslator keepCode = [&codes](QChar, int code, const QString &message) {
        codes.append(code);
        return message;
    };
    const QString bridgeText = session->ErrorText(30021);
    TOracleConstraintInfo &pk = constraint(QStringLiteral("PK_EB_CHILD"));
    EXPECT_EQ(checkMessage(pk, record(true, { number("ID", 10) }), keepCode),
        bridgeText + QStringLiteral("[POL-3220] duplicate keys in unique/primary index"));
    TOracleConstraintInfo &fk = constraint(QStringLiteral("FK_EB_CHILD_PARENT"));
    EXPECT_EQ(checkMessage(fk, record(true, { number("PARENT_ID", 2) }), keepCode),
        bridgeText + QStringLiteral("[POL-5143] integrity constraint violation"));
    EXPECT_EQ(codes, (QList<int> { 30021, 30021 }));

    // Check constraints are never active on a bridged session.
    TOracleConstraintInfo &ck = constraint(QStringLiteral("CK_EB_CHILD_SAL"));
    EXPECT_EQ(
        checkMessage(ck, record(true, { number("SAL", -1), number("COMM", Variant::Null()) })),
        QString());
    EXPECT_FALSE(ck.Active());
    EXPECT_TRUE(pk.Active());
}

TEST_F(TableInfo, CheckConstraintRunsItsConditionOnTheRecord)
{
    TOracleConstraintInfo &ck = constraint(QStringLiteral("CK_EB_CHILD_SAL"));
    EXPECT_EQ(
        checkMessage(ck, record(true, { number("SAL", -1), number("COMM", Variant::Null()) })),
        QStringLiteral("ORA-02290: check constraint (DEMO.CK_EB_CHILD_SAL) violated"));
    EXPECT_EQ(dml.SQL().Text(),
        QStringLiteral("begin\r\n"
                       "  if not (:sal > 0 and (:comm is null or :comm "
                       "<= :sal)) then\r\n"
                       "    :error := 2290;\r\n"
                       "  else\r\n"
                       "    :error := 0;\r\n"
                       "  end if;\r\n"
                       "end;\r\n"));
    EXPECT_EQ(checkMessage(ck, record(true, { number("SAL", 10), number("COMM", 5) })), QString());
    // A new record without the COMM field cannot be judged.
    EXPECT_EQ(checkMessage(ck, record(true, { number("SAL", -1) })), QString());
    // An existing record reads COMM (50) from its row: SAL 40 is below it.
    EXPECT_EQ(checkMessage(ck, record(false, { number("SAL", 40) })).left(9),
        QStringLiteral("ORA-02290"));
    EXPECT_TRUE(dml.SQL().Text().contains(
        QStringLiteral("  select COMM into :COMM from EB_CHILD where rowid = :zeb__rowid;\r\n")));
    EXPECT_EQ(checkMessage(ck, record(false, { number("SAL", 60) })), QString());
}

TEST_F(TableInfo, SingleEditableColumnOfAConstraint)
{
    TOracleConstraintInfo &uk = constraint(QStringLiteral("UK_EB_CHILD_AB"));
    EXPECT_EQ(uk.SingleEditableColumn(record(true, { number("A", 1) })), QStringLiteral("A"));
    EXPECT_EQ(uk.SingleEditableColumn(record(true, { number("A", 1), text("B", "x") })),
        QStringLiteral("*"));
    ConstraintCheckField readOnly = text("B", "x");
    readOnly.editable = false;
    EXPECT_EQ(
        uk.SingleEditableColumn(record(true, { number("A", 1), readOnly })), QStringLiteral("A"));
    EXPECT_EQ(uk.SingleEditableColumn(record(true, {})), QString());
}

TEST_F(TableInfo, ColumnsAndDefaults)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    ASSERT_NE(info->FindColumn(QStringLiteral("SAL")), nullptr);
    EXPECT_EQ(info->FindColumn(QStringLiteral("sal")), nullptr); // exact names only
    EXPECT_EQ(info->ColumnCount(), 10);
    EXPECT_EQ(info->FindColumn(QStringLiteral("CREATED"))->dataType, SQLT_DAT);

    const QStringList fields = { "ID", "SAL", "CREATED", "OWNER_NAME", "KIND", "B" };
    const double before = QDateTime::currentDateTimeUtc().toSecsSinceEpoch();
    clearTrace();
    const auto values = info->ApplyDefaults(fields, false, false);
    QMap<QString, Variant> byName;
    for (const auto &v : values)
        byName.insert(v.first, v.second);
    EXPECT_EQ(byName.keys(), (QStringList { "CREATED", "KIND", "OWNER_NAME", "SAL" }));
    EXPECT_EQ(byName.value("SAL").AsFloat(), 100.0);
    EXPECT_EQ(byName.value("KIND").AsString(), QStringLiteral("NEW"));
    EXPECT_EQ(byName.value("OWNER_NAME").AsString(), QStringLiteral("DEMO"));
    // sysdate: a date of today (the stand-in's clock is the machine's, UTC).
    const double created = byName.value("CREATED").AsDateTime();
    const double epochDays = 25569.0; // 1970-01-01 as a day count
    EXPECT_NEAR((created - epochDays) * 86400.0, before, 2 * 86400.0);
    const int statements = static_cast<int>(trace().size());
    EXPECT_GE(statements, 2); // the dictionary read and the block

    // Evaluated once per session and table unless defaults are dynamic.
    clearTrace();
    EXPECT_EQ(info->ApplyDefaults(fields, false, false).size(), 4);
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_EQ(info->ApplyDefaults(fields, true, false).size(), 4);
    EXPECT_EQ(trace().size(), 1);
}

TEST_F(TableInfo, CacheIsPerSessionAndTable)
{
    TOracleTableInfoCache &cache = TOracleTableInfoCache::ForSession(session.get());
    EXPECT_EQ(&cache.TableInfo(QStringLiteral("eb_child")), info);
    EXPECT_EQ(cache.Count(), 1);
    TOracleTableInfo &staff = cache.TableInfo(QStringLiteral("STAFF"));
    EXPECT_EQ(staff.TableName(), QStringLiteral("EMP"));
    EXPECT_EQ(cache.Count(), 2);
    EXPECT_EQ(&TOracleTableInfoCache::ForSession(session.get()), &cache);

    other = newSession();
    EXPECT_NE(&TOracleTableInfoCache::ForSession(other.get()), &cache);
    try {
        TOracleTableInfoCache::ForSession(nullptr);
        ADD_FAILURE() << "no session accepted";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Session undefined"));
    }
    // The cache and its queries end with their session.
    other->LogOff();
    other.reset();
}

TEST_F(TableInfo, FailedDescribeIsShownAndLeavesNoColumns)
{
    QStringList shown;
    ScreenServices services;
    services.showException
        = [&](std::exception_ptr error) { shown.append(ExceptionMessage(error)); };
    InstallScreenServices(services);
    TOracleTableInfo &missing
        = TOracleTableInfoCache::ForSession(session.get()).TableInfo(QStringLiteral("EB_MISSING"));
    EXPECT_EQ(missing.FindColumn(QStringLiteral("X")), nullptr);
    EXPECT_EQ(missing.ColumnCount(), 0);
    EXPECT_EQ(missing.FindColumn(QStringLiteral("Y")), nullptr); // not tried again
    ResetScreenServices();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.first().contains(QStringLiteral("ORA-00942"))) << shown.first().toStdString();
    EXPECT_TRUE(missing.ApplyDefaults({ QStringLiteral("X") }, false, false).isEmpty());
}

TEST_F(TableInfo, EnforcementPicksTheConstraintsOfAFieldOrOfTheChanges)
{
    ConstraintEnforcement e;
    e.enabled = true;
    // A new record duplicating the key and missing its parent, with a bad salary.
    const ConstraintCheckRecord bad = record(true,
        { number("ID", 10), number("A", 5), text("B", "b"), number("SAL", -1),
            number("COMM", Variant::Null()), number("PARENT_ID", 7) });
    auto message = [&](const ConstraintEnforcement &how, const QString &field = QString()) {
        try {
            EnforceConstraints(*info, dml, bad, how, field);
            return QString();
        } catch (const EDatabaseError &error) {
            return error.Message().left(9);
        }
    };
    // Constraints are walked by name: the check comes first.
    e.changedColumns = { "ID", "A", "B", "SAL", "PARENT_ID" };
    EXPECT_EQ(message(e), QStringLiteral("ORA-02290"));
    e.disabledConstraints = { "ck_eb_child_sal" };
    EXPECT_EQ(message(e), QStringLiteral("ORA-02291"));
    e.changedColumns = { "ID" };
    EXPECT_EQ(message(e), QStringLiteral("ORA-00001"));
    e.pendingSequenceColumns = { "ID" }; // the server fills ID: its key waits
    EXPECT_EQ(message(e), QString());
    e.pendingSequenceColumns.clear();

    // One field: only the constraints it alone decides.
    EXPECT_EQ(message(e, QStringLiteral("PARENT_ID")), QStringLiteral("ORA-02291"));
    EXPECT_EQ(message(e, QStringLiteral("A")), QString()); // (A, B) waits for the record
    EXPECT_EQ(message(e, QStringLiteral("COMM")), QString()); // a null field is not checked
    e.autoFilledFields = { "PARENT_ID" };
    EXPECT_EQ(message(e, QStringLiteral("PARENT_ID")), QString());
    e.enabled = false;
    e.changedColumns = { "ID" };
    EXPECT_EQ(message(e), QString());
}

} // namespace
} // namespace qd
