#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include "classlib/Exception.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace qd {
namespace {

// A dataset over a child table with a primary key, a unique key, a foreign key, a check
// constraint and column defaults, as the dictionary options make it fill new records and check
// posts.
class OracleDataSetDictionary : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        ASSERT_TRUE(test::StandinHooks::get().complete());
        execIgnoringErrors(QStringLiteral("drop table DD_CHILD"));
        createTable(QStringLiteral("DD_PARENT"),
            QStringLiteral("id number(4) constraint PK_DD_PARENT primary key"));
        createTable(QStringLiteral("DD_CHILD"),
            QStringLiteral("id number(6) constraint PK_DD_CHILD primary key, a number(4), "
                           "b varchar2(10), sal number(7,2) default 100, comm number(7,2), "
                           "parent_id number(4) constraint FK_DD_CHILD_PARENT references "
                           "DD_PARENT (id), created date default sysdate, "
                           "owner_name varchar2(30) default user, kind varchar2(5) default 'NEW', "
                           "constraint UK_DD_CHILD_AB unique (a, b), "
                           "constraint CK_DD_CHILD_SAL check (sal > 0 and (comm is null or "
                           "comm <= sal))"));
        exec(QStringLiteral("insert into DD_PARENT values (1)"));
        exec(QStringLiteral("insert into DD_CHILD (id, a, b, sal, parent_id) "
                            "values (10, 1, null, 500, 1)"));
        // A row whose unique key is entirely null: no other null key duplicates it.
        exec(QStringLiteral("insert into DD_CHILD (id, a, b, sal) values (12, null, null, 5)"));
        session->Commit();
    }

    TOracleDataSet &open(bool defaults, bool constraints)
    {
        TOracleDataSet &ds = newDataSet(
            QStringLiteral("select DD_CHILD.rowid, DD_CHILD.* from DD_CHILD order by id"));
        ds.OracleDictionary().DefaultValues = defaults;
        ds.OracleDictionary().EnforceConstraints = constraints;
        ds.Open();
        clearTrace();
        return ds;
    }

    QStringList trace() const
    {
        QStringList result;
        for (const QString &text : test::StandinHooks::get().trace(session->ServiceContext()))
            result.append(QString(text).remove(u'\r').trimmed());
        return result;
    }
    void clearTrace() const { test::StandinHooks::get().traceClear(session->ServiceContext()); }
    // Statements of the trace that change data or open a transaction step.
    QStringList writes() const
    {
        QStringList result;
        for (const QString &text : trace())
            if (text.startsWith(QStringLiteral("insert"), Qt::CaseInsensitive)
                || text.startsWith(QStringLiteral("update"), Qt::CaseInsensitive)
                || text.startsWith(QStringLiteral("savepoint"), Qt::CaseInsensitive))
                result.append(text);
        return result;
    }
    TField *field(TOracleDataSet &ds, const char *name)
    {
        return ds.FieldByName(QString::fromLatin1(name));
    }
};

} // namespace

TEST_F(OracleDataSetDictionary, NewRecordTakesTheColumnDefaults)
{
    TOracleDataSet &ds = open(true, false);
    const double now = QDateTime::currentDateTimeUtc().toSecsSinceEpoch();
    for (const bool append : { false, true }) {
        SCOPED_TRACE(append ? "Append" : "Insert");
        if (append)
            ds.Append();
        else
            ds.Insert();
        EXPECT_EQ(field(ds, "SAL")->AsFloat(), 100.0);
        EXPECT_EQ(field(ds, "KIND")->AsString(), QStringLiteral("NEW"));
        EXPECT_EQ(field(ds, "OWNER_NAME")->AsString(), QStringLiteral("DEMO"));
        ASSERT_FALSE(field(ds, "CREATED")->IsNull());
        const double epochDays = 25569.0; // 1970-01-01 as a day count
        EXPECT_NEAR((field(ds, "CREATED")->AsDateTime() - epochDays) * 86400.0, now, 86400.0);
        EXPECT_TRUE(field(ds, "ID")->IsNull());
        EXPECT_TRUE(field(ds, "COMM")->IsNull());
        ds.Cancel();
    }
    // The defaults go to the server with the record.
    ds.Insert();
    field(ds, "ID")->SetAsInteger(20);
    ds.Post();
    EXPECT_EQ(scalar(QStringLiteral("select kind || '/' || sal || '/' || owner_name from DD_CHILD "
                                    "where id = 20")),
        QStringLiteral("NEW/100/DEMO"));

    // Without the option a new record starts empty.
    TOracleDataSet &plain = open(false, false);
    plain.Insert();
    EXPECT_TRUE(field(plain, "SAL")->IsNull());
    EXPECT_TRUE(field(plain, "KIND")->IsNull());
    EXPECT_TRUE(field(plain, "CREATED")->IsNull());
    plain.Cancel();
}

TEST_F(OracleDataSetDictionary, ViolationsAreRaisedBeforeAnythingIsSent)
{
    struct Case {
        const char *what;
        bool inserting;
        std::function<void(TOracleDataSet &)> fill;
        const char *message;
    };
    const Case cases[] = {
        { "duplicate primary key", true,
            [this](TOracleDataSet &ds) {
                field(ds, "ID")->SetAsInteger(10);
                field(ds, "SAL")->SetAsFloat(1);
            },
            "ORA-00001: unique constraint (DEMO.PK_DD_CHILD) violated" },
        { "duplicate unique key with a null part", true,
            [this](TOracleDataSet &ds) {
                field(ds, "ID")->SetAsInteger(30);
                field(ds, "A")->SetAsInteger(1);
                field(ds, "SAL")->SetAsFloat(1);
            },
            "ORA-00001: unique constraint (DEMO.UK_DD_CHILD_AB) violated" },
        { "missing parent", true,
            [this](TOracleDataSet &ds) {
                field(ds, "ID")->SetAsInteger(31);
                field(ds, "PARENT_ID")->SetAsInteger(99);
                field(ds, "SAL")->SetAsFloat(1);
            },
            "ORA-02291: integrity constraint (DEMO.FK_DD_CHILD_PARENT) violated" },
        { "failed check on insert", true,
            [this](TOracleDataSet &ds) {
                field(ds, "ID")->SetAsInteger(32);
                field(ds, "SAL")->SetAsFloat(-1);
            },
            "ORA-02290: check constraint (DEMO.CK_DD_CHILD_SAL) violated" },
        { "failed check on update", false,
            [this](TOracleDataSet &ds) { field(ds, "COMM")->SetAsFloat(900); },
            "ORA-02290: check constraint (DEMO.CK_DD_CHILD_SAL) violated" },
        { "missing parent on update", false,
            [this](TOracleDataSet &ds) { field(ds, "PARENT_ID")->SetAsInteger(77); },
            "ORA-02291: integrity constraint (DEMO.FK_DD_CHILD_PARENT) violated" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TOracleDataSet &ds = open(false, true);
        if (c.inserting) {
            ds.Insert();
        } else {
            ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(10), {}));
            ds.Edit();
        }
        clearTrace();
        // A key of one column is checked as soon as it is set, the others when posted.
        const QString message = messageOf([&] {
            c.fill(ds);
            ds.Post();
        });
        EXPECT_TRUE(message.startsWith(QString::fromLatin1(c.message))) << message.toStdString();
        EXPECT_EQ(writes(), QStringList()) << "the record reached the server";
        EXPECT_FALSE(trace().isEmpty()) << "the check itself runs on the server";
        EXPECT_EQ(ds.State(), c.inserting ? dsInsert : dsEdit);
        ds.Cancel();
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from DD_CHILD")), QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("select nvl(comm, -1) || '/' || parent_id from DD_CHILD "
                                    "where id = 10")),
        QStringLiteral("-1/1"));
}

TEST_F(OracleDataSetDictionary, RecordsThatKeepTheConstraintsArePosted)
{
    TOracleDataSet &ds = open(false, true);
    // An all-null unique key is no duplicate, though row 12 has one too.
    ds.Insert();
    field(ds, "ID")->SetAsInteger(40);
    field(ds, "SAL")->SetAsFloat(7);
    field(ds, "PARENT_ID")->SetAsInteger(1);
    ds.Post();
    // The edited row is no duplicate of itself.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(10), {}));
    ds.Edit();
    field(ds, "A")->SetAsInteger(1);
    field(ds, "B")->SetAsString(QStringLiteral("x"));
    field(ds, "COMM")->SetAsFloat(20);
    ds.Post();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from DD_CHILD where a is null and b is null")),
        QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("select b || '/' || comm from DD_CHILD where id = 10")),
        QStringLiteral("x/20"));
}

TEST_F(OracleDataSetDictionary, DisabledOrOffConstraintsAreLeftToTheServer)
{
    for (const bool disable : { true, false }) {
        SCOPED_TRACE(disable ? "disabled constraint" : "option off");
        TOracleDataSet &ds = open(false, disable);
        if (disable) {
            TStringList names;
            names.Add(QStringLiteral("CK_DD_CHILD_SAL"));
            ds.OracleDictionary().SetDisabledConstraints(names);
        }
        ds.Insert();
        field(ds, "ID")->SetAsInteger(50);
        field(ds, "SAL")->SetAsFloat(-3);
        clearTrace();
        messageOf([&] { ds.Post(); });
        // The insert was sent: the server, not the dataset, judged the record.
        bool sent = false;
        for (const QString &text : writes())
            sent = sent || text.startsWith(QStringLiteral("insert"), Qt::CaseInsensitive);
        EXPECT_TRUE(sent) << trace().join(QStringLiteral(" | ")).toStdString();
        if (ds.State() == dsInsert)
            ds.Cancel();
        session->Rollback();
    }
}

TEST_F(OracleDataSetDictionary, AFieldIsCheckedAloneAgainstTheConstraintsOnlyItHolds)
{
    TOracleDataSet &ds = open(false, true);
    ds.Insert();
    clearTrace();
    // ID alone makes the primary key, PARENT_ID alone the foreign key: each is checked when set,
    // and a rejected value is not kept.
    EXPECT_TRUE(messageOf([&] {
        field(ds, "ID")->SetAsInteger(10);
    }).startsWith(QStringLiteral("ORA-00001: unique constraint (DEMO.PK_DD_CHILD)")));
    EXPECT_TRUE(field(ds, "ID")->IsNull());
    EXPECT_TRUE(messageOf([&] {
        field(ds, "PARENT_ID")->SetAsInteger(99);
    }).startsWith(QStringLiteral("ORA-02291: integrity constraint (DEMO.FK_DD_CHILD_PARENT)")));
    EXPECT_TRUE(field(ds, "PARENT_ID")->IsNull());
    EXPECT_EQ(ds.State(), dsInsert);
    // Columns that share their constraint with another editable column wait for the post, and
    // a null value is never checked alone.
    EXPECT_EQ(messageOf([&] { field(ds, "A")->SetAsInteger(1); }), QString());
    EXPECT_EQ(messageOf([&] { field(ds, "SAL")->SetAsFloat(-1); }), QString());
    EXPECT_EQ(messageOf([&] { field(ds, "ID")->Clear(); }), QString());
    EXPECT_EQ(messageOf([&] { field(ds, "ID")->SetAsInteger(33); }), QString());
    EXPECT_EQ(writes(), QStringList());
    EXPECT_TRUE(messageOf([&] {
        ds.Post();
    }).startsWith(QStringLiteral("ORA-02290: check constraint (DEMO.CK_DD_CHILD_SAL)")));
    ds.Cancel();

    // The edited record's own key is no duplicate of itself; another record's is.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(10), {}));
    ds.Edit();
    EXPECT_EQ(messageOf([&] { field(ds, "ID")->SetAsInteger(10); }), QString());
    EXPECT_TRUE(messageOf([&] {
        field(ds, "ID")->SetAsInteger(12);
    }).startsWith(QStringLiteral("ORA-00001: unique constraint (DEMO.PK_DD_CHILD)")));
    EXPECT_EQ(field(ds, "ID")->AsInteger(), 10);
    ds.Cancel();

    // Without EnforceConstraints the server judges the record.
    TOracleDataSet &plain = open(false, false);
    plain.Insert();
    EXPECT_EQ(messageOf([&] { field(plain, "ID")->SetAsInteger(10); }), QString());
    plain.Cancel();
}

TEST_F(OracleDataSetDictionary, TheInitialValuesOfANewRecordAreNeitherValidatedNorChecked)
{
    TOracleDataSet &ds = open(true, true);
    int validated = 0;
    field(ds, "SAL")->OnValidate = [&](TField *) { ++validated; };
    clearTrace();
    ds.Insert();
    EXPECT_EQ(field(ds, "SAL")->AsFloat(), 100.0);
    EXPECT_EQ(validated, 0);
    field(ds, "SAL")->SetAsFloat(7);
    EXPECT_EQ(validated, 1);
    ds.Cancel();
    field(ds, "SAL")->OnValidate = nullptr;
}

// Whether a constraint error takes the text of the session's message table follows the
// dataset's UseMessageTable alike for a violation the dataset finds and for one the server
// reports when the record is posted.
TEST_F(OracleDataSetDictionary, UseMessageTableDecidesForClientChecksAndServerErrorsAlike)
{
    execIgnoringErrors(QStringLiteral("drop table DD_MESSAGES"));
    exec(QStringLiteral("create table DD_MESSAGES (constraint_name varchar2(30), "
                        "actions varchar2(10), parent_child varchar2(1), "
                        "error_message varchar2(200))"));
    exec(QStringLiteral(
        "insert into DD_MESSAGES values ('PK_DD_CHILD', 'I', '*', 'This id is taken')"));
    session->Commit();
    session->SetMessageTable(QStringLiteral("DD_MESSAGES"));
    const QString serverText = QStringLiteral("ORA-00001: unique constraint (DEMO.PK_DD_CHILD)");
    for (const bool clientChecks : { true, false }) {
        for (const bool useTable : { true, false }) {
            SCOPED_TRACE(std::string(clientChecks ? "client check" : "server error")
                + (useTable ? ", message table" : ", no message table"));
            TOracleDataSet &ds = open(false, clientChecks);
            ds.OracleDictionary().UseMessageTable = useTable;
            ds.Insert();
            clearTrace();
            const QString message = messageOf([&] {
                field(ds, "ID")->SetAsInteger(10);
                field(ds, "SAL")->SetAsFloat(1);
                ds.Post();
            });
            if (useTable)
                EXPECT_EQ(message, QStringLiteral("This id is taken"));
            else
                EXPECT_TRUE(message.startsWith(serverText)) << message.toStdString();
            bool sent = false;
            for (const QString &text : writes())
                sent = sent || text.startsWith(QStringLiteral("insert"), Qt::CaseInsensitive);
            EXPECT_EQ(sent, !clientChecks);
            ds.Cancel();
            session->Rollback();
        }
    }
    session->SetMessageTable(QString());
}

} // namespace qd
