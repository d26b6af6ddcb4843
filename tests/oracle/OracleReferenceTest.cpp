// TOracleReference against the stand-in: REFs to rows of an object table fetched from ref(),
// bound back into a query that finds the same row, REF columns and deref(), and the errors the
// server gives for what is no REF.
#include "OracleQueryTestFixture.h"
#include "QStringPrinter.h"

#include "classlib/DateTimeUtils.h"
#include "oracle/OracleObject.h"

namespace qd::test {
namespace {

class References : public OracleQueryFixture {
protected:
    void SetUp() override
    {
        OracleQueryFixture::SetUp();
        if (IsSkipped())
            return;
        runIgnoringErrors(QStringLiteral("drop table qd_staff"));
        runIgnoringErrors(QStringLiteral("drop table qd_persons_t"));
        run(QStringLiteral("create or replace type qd_ref_person as object ("
                           "name varchar2(30), photo raw(4), born date, score number(5,2))"));
        run(QStringLiteral("create table qd_persons_t of qd_ref_person"));
        run(QStringLiteral("insert into qd_persons_t values ('Ann', '0AFF', "
                           "to_date('2001-02-03', 'YYYY-MM-DD'), 1.5)"));
        run(QStringLiteral("insert into qd_persons_t values ('Bob', null, null, null)"));
        run(QStringLiteral("create table qd_staff (id number, "
                           "boss ref qd_ref_person scope is qd_persons_t)"));
        run(QStringLiteral("insert into qd_staff select 1, ref(p) from qd_persons_t p "
                           "where p.name = 'Bob'"));
        run(QStringLiteral("insert into qd_staff values (2, null)"));
    }

    QString attribute(TOracleObject *object, const char *name)
    {
        return object->AttributeByName(QString::fromLatin1(name), true)->Value().AsString();
    }
};

TEST_P(References, FetchedReferenceBoundBackFindsItsRow)
{
    TOracleQuery refs;
    refs.SetSession(session.get());
    refs.SQL().SetText(QStringLiteral("select ref(p), p.name from qd_persons_t p order by p.name"));
    refs.Execute();
    ASSERT_FALSE(refs.Eof());
    EXPECT_EQ(refs.FieldType(0), SQLT_REF);
    EXPECT_EQ(refs.FieldTypeName(0), QStringLiteral("DEMO.QD_REF_PERSON"));
    EXPECT_FALSE(refs.FieldIsNull(0));
    auto *ann = dynamic_cast<TOracleReference *>(refs.RefField(0));
    ASSERT_TRUE(ann);
    EXPECT_FALSE(ann->IsNull());
    const QString annHex = ann->AsHex();
    EXPECT_FALSE(annHex.isEmpty());
    EXPECT_EQ(refs.Field(0).AsString(), annHex); // a REF field reads as its text form

    // The REF finds its row again, and value() gives that row's object.
    query->SQL().SetText(
        QStringLiteral("select value(p), p.name from qd_persons_t p where ref(p) = :r"));
    query->DeclareVariable(QStringLiteral("r"), SQLT_REF);
    query->SetComplexVariable(QStringLiteral("r"), ann);
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(query->Field(1).AsString(), QStringLiteral("Ann"));
    EXPECT_EQ(query->FieldType(0), SQLT_NTY);
    auto *person = dynamic_cast<TOracleObject *>(query->FieldAsObject(0));
    ASSERT_TRUE(person);
    EXPECT_FALSE(person->IsNull());
    EXPECT_EQ(attribute(person, "NAME"), QStringLiteral("Ann"));
    EXPECT_EQ(attribute(person, "PHOTO"), QStringLiteral("0AFF"));
    EXPECT_EQ(person->AttributeByName(QStringLiteral("BORN"), true)->Value().AsDateTime(),
        EncodeDate(2001, 2, 3));
    EXPECT_EQ(person->AttributeByName(QStringLiteral("SCORE"), true)->Value().AsFloat(), 1.5);
    query->Next();
    EXPECT_TRUE(query->Eof());

    // The second row's REF is another one and finds the other row.
    refs.Next();
    ASSERT_FALSE(refs.Eof());
    auto *bob = dynamic_cast<TOracleReference *>(refs.RefField(0));
    EXPECT_NE(bob->AsHex(), annHex);
    query->SetComplexVariable(QStringLiteral("r"), bob);
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(query->Field(1).AsString(), QStringLiteral("Bob"));
    person = dynamic_cast<TOracleObject *>(query->FieldAsObject(0));
    EXPECT_TRUE(person->AttributeByName(QStringLiteral("PHOTO"), true)->IsNull());
}

TEST_P(References, ReferenceColumnsDereference)
{
    const QString select = QStringLiteral("select id, boss, deref(boss) from qd_staff order by id");
    query->SQL().SetText(select);
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(query->FieldType(1), SQLT_REF);
    EXPECT_EQ(query->FieldTypeName(1), QStringLiteral("DEMO.QD_REF_PERSON"));
    EXPECT_EQ(query->FieldType(2), SQLT_NTY);
    EXPECT_EQ(query->FieldTypeName(2), QStringLiteral("DEMO.QD_REF_PERSON"));
    EXPECT_FALSE(dynamic_cast<TOracleReference *>(query->RefField(1))->IsNull());
    auto *boss = dynamic_cast<TOracleObject *>(query->FieldAsObject(2));
    ASSERT_TRUE(boss);
    EXPECT_EQ(attribute(boss, "NAME"), QStringLiteral("Bob"));

    query->Next();
    ASSERT_FALSE(query->Eof());
    EXPECT_TRUE(query->FieldIsNull(1));
    EXPECT_TRUE(dynamic_cast<TOracleReference *>(query->RefField(1))->IsNull());
    EXPECT_TRUE(query->FieldIsNull(2));

    // A REF whose row is gone dereferences to null; the REF itself stays.
    run(QStringLiteral("delete from qd_persons_t where name = 'Bob'"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_FALSE(query->FieldIsNull(1));
    EXPECT_TRUE(query->FieldIsNull(2));
}

TEST_P(References, ReferenceStoredThroughABindReadsBack)
{
    TOracleQuery refs;
    refs.SetSession(session.get());
    refs.SQL().SetText(QStringLiteral("select ref(p) from qd_persons_t p where p.name = 'Ann'"));
    refs.Execute();
    ASSERT_FALSE(refs.Eof());
    query->SQL().SetText(QStringLiteral("insert into qd_staff values (3, :r)"));
    query->DeclareVariable(QStringLiteral("r"), SQLT_REF);
    query->SetComplexVariable(
        QStringLiteral("r"), dynamic_cast<TOracleReference *>(refs.RefField(0)));
    query->Execute();
    query->DeleteVariables();
    query->SQL().SetText(QStringLiteral("select s.boss.name from qd_staff s where id = 3"));
    EXPECT_THROW(query->Execute(), EOracleError); // navigation through a REF is not kept
    query->SQL().SetText(QStringLiteral("select deref(boss) from qd_staff where id = 3"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(attribute(dynamic_cast<TOracleObject *>(query->FieldAsObject(0)), "NAME"),
        QStringLiteral("Ann"));
}

TEST_P(References, WhatIsNoReferenceFails)
{
    const struct {
        const char *sql;
        int code;
    } cases[] = {
        { "select ref(d) from dept d", 904 }, // a relational table has no row objects
        { "select ref(x) from qd_persons_t p", 904 },
        { "select deref(d.dname) from dept d", 932 },
        { "select value(d) from dept d", 904 },
        { "create table qd_bad of qd_no_such_type", 902 },
        { "create table qd_bad of qd_ref_person (name primary key)", 3001 },
        { "create table qd_bad (r ref qd_no_such_type)", 902 },
        { "create table qd_bad (r ref qd_ref_person scope is dept)", 942 },
        { "create table qd_bad (r ref qd_ref_person scope is qd_no_table)", 942 },
    };
    for (const auto &c : cases)
        expectServerError(c.sql, c.code);
}

TEST_P(References, ReferenceColumnsTakeReferencesOfTheirTypeAndScopeOnly)
{
    runIgnoringErrors(QStringLiteral("drop table qd_any_person"));
    runIgnoringErrors(QStringLiteral("drop table qd_persons_2"));
    run(QStringLiteral("create table qd_persons_2 of qd_ref_person"));
    run(QStringLiteral("insert into qd_persons_2 values ('Cid', null, null, null)"));
    run(QStringLiteral("create table qd_any_person (id number, who ref qd_ref_person)"));
    // A REF of the other table of the type: outside qd_staff's scope, fine without one.
    run(QStringLiteral("insert into qd_any_person select 1, ref(p) from qd_persons_2 p"));
    const struct {
        const char *sql;
        int code;
    } cases[] = {
        { "insert into qd_staff select 5, ref(p) from qd_persons_2 p", 22889 },
        { "update qd_staff set boss = (select ref(p) from qd_persons_2 p) where id = 1", 22889 },
        { "insert into qd_staff values (5, 'garbage')", 932 },
        { "insert into qd_any_person values (5, 'DEMO.QD_STAFF/1')", 932 },
        { "insert into qd_any_person values (5, 'HR.QD_PERSONS_T/1')", 932 },
        { "insert into qd_any_person values (5, 'DEMO.QD_PERSONS_T/1x')", 932 },
        { "insert into qd_any_person values (5, 'DEMO.QD_PERSONS_T/123456789012345678901')", 932 },
        { "insert into qd_any_person values (5, '/1')", 932 },
    };
    for (const auto &c : cases)
        expectServerError(c.sql, c.code);
    query->SQL().SetText(QStringLiteral("select deref(who) from qd_any_person"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(attribute(dynamic_cast<TOracleObject *>(query->FieldAsObject(0)), "NAME"),
        QStringLiteral("Cid"));
    // A REF into a table that is gone dangles.
    run(QStringLiteral("drop table qd_persons_2"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_TRUE(query->FieldIsNull(0));
}

TEST_P(References, ObjectTableRowsHoldNestedObjectsAndReferences)
{
    runIgnoringErrors(QStringLiteral("drop table qd_teams_t"));
    run(QStringLiteral("create or replace type qd_ref_place as object (city varchar2(20))"));
    run(QStringLiteral("create or replace type qd_ref_team as object (name varchar2(10), "
                       "place qd_ref_place, lead ref qd_ref_person)"));
    run(QStringLiteral("create table qd_teams_t of qd_ref_team"));
    run(QStringLiteral("insert into qd_teams_t select 'Core', qd_ref_place('Oslo'), ref(p) "
                       "from qd_persons_t p where p.name = 'Ann'"));
    TOracleQuery refs;
    refs.SetSession(session.get());
    refs.SQL().SetText(QStringLiteral("select ref(p) from qd_persons_t p where p.name = 'Ann'"));
    refs.Execute();
    ASSERT_FALSE(refs.Eof());
    const QString annHex = dynamic_cast<TOracleReference *>(refs.RefField(0))->AsHex();

    query->SQL().SetText(QStringLiteral("select value(t), deref(t.lead) from qd_teams_t t"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    auto *team = dynamic_cast<TOracleObject *>(query->FieldAsObject(0));
    ASSERT_TRUE(team);
    EXPECT_EQ(attribute(team, "NAME"), QStringLiteral("Core"));
    EXPECT_EQ(attribute(team, "PLACE.CITY"), QStringLiteral("Oslo"));
    TOracleReference *lead = team->RefAttribute(QStringLiteral("LEAD"));
    EXPECT_FALSE(lead->IsNull());
    EXPECT_EQ(lead->AsHex(), annHex);
    EXPECT_EQ(attribute(dynamic_cast<TOracleObject *>(query->FieldAsObject(1)), "NAME"),
        QStringLiteral("Ann"));
}

TEST_P(References, PersistentNewObjectsFailCleanly)
{
    // New objects of an object table are not kept by the stand-in's object cache.
    try {
        TOracleObject object(
            session.get(), QStringLiteral("qd_ref_person"), QStringLiteral("qd_persons_t"));
        ADD_FAILURE() << "a persistent object was made";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 3001);
    }
}

INSTANTIATE_TEST_SUITE_P(HandleMode, References, ::testing::Values(false));

} // namespace
} // namespace qd::test
