// Keys and master/detail on the stand-in: key columns, a detail following its master's record,
// the master values its query is bound with, the link fields of a new detail record, the
// protection of the master's link fields and the circular-chain refusal.
#include "DataSetTestFixture.h"

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// Departments 10, 20, 30 and their employees: two in 10, one in 20, none in 30. The code column
// is CHAR(5); the server keeps such values blank-padded, so the rows hold them padded.
class OracleDataSetMasterDetail : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        execIgnoringErrors(QStringLiteral("drop table md_emp"));
        createTable(QStringLiteral("md_dept"),
            QStringLiteral("deptno number(4) constraint md_dept_pk primary key, code char(5), "
                           "dname varchar2(20)"));
        createTable(QStringLiteral("md_emp"),
            QStringLiteral("empno number(6) constraint md_emp_pk primary key, deptno number(4) "
                           "constraint md_emp_dept_fk references md_dept (deptno), code char(5), "
                           "ename varchar2(20) constraint md_emp_uk unique"));
        exec(QStringLiteral("insert into md_dept values (10, 'AB   ', 'ACCOUNTING')"));
        exec(QStringLiteral("insert into md_dept values (20, 'CD   ', 'RESEARCH')"));
        exec(QStringLiteral("insert into md_dept values (30, null, 'SALES')"));
        exec(QStringLiteral("insert into md_emp values (1, 10, 'AB   ', 'KING')"));
        exec(QStringLiteral("insert into md_emp values (2, 10, 'AB   ', 'CLARK')"));
        exec(QStringLiteral("insert into md_emp values (3, 20, 'CD   ', 'SMITH')"));
        session->Commit();

        master = std::make_unique<TOracleDataSet>();
        master->SetName(QStringLiteral("Master"));
        master->SetSession(session.get());
        master->SetSQLText(QStringLiteral("select rowid, d.* from md_dept d order by deptno"));
        detail = std::make_unique<TOracleDataSet>();
        detail->SetName(QStringLiteral("Detail"));
        detail->SetSession(session.get());
        detail->SetSQLText(QStringLiteral(
            "select rowid, e.* from md_emp e where deptno = :deptno order by empno"));
        detail->DeclareVariable(QStringLiteral("deptno"), SQLT_INT);
        detail->AfterQuery = [this](TOracleDataSet *) { ++detailQueries; };
        detail->SetMaster(master.get());
        detail->SetMasterFields(QStringLiteral("DEPTNO"));
    }

    void TearDown() override
    {
        detail.reset();
        master.reset();
        DataSetFixture::TearDown();
    }

    // The names of the detail's records, in order.
    QStringList detailNames()
    {
        QStringList names;
        if (!detail->Active())
            return names;
        detail->First();
        while (!detail->Eof()) {
            names << detail->FieldByName(QStringLiteral("ENAME"))->AsString();
            detail->Next();
        }
        return names;
    }

    std::unique_ptr<TOracleDataSet> master;
    std::unique_ptr<TOracleDataSet> detail;
    int detailQueries = 0;
};

TEST_F(OracleDataSetMasterDetail, DetailFollowsTheMastersRecord)
{
    master->Open();
    detail->Open();
    EXPECT_EQ(detailNames(), (QStringList { QStringLiteral("KING"), QStringLiteral("CLARK") }));
    EXPECT_EQ(detail->GetVariable(QStringLiteral("deptno")).AsInteger(), 10)
        << "with DetailFields blank the variable carries the master field's name";
    EXPECT_EQ(detailQueries, 1);

    master->Next();
    EXPECT_EQ(detailNames(), QStringList { QStringLiteral("SMITH") });
    detail->UpdateCursorPos();
    ASSERT_NE(detail->CurrentStoredRecord(), nullptr);
    EXPECT_EQ(RecordHeader(detail->CurrentStoredRecord())->MasterBookmark,
        master->CurrentBookmarkNumber())
        << "a fetched record carries the master record it belongs to";
    EXPECT_EQ(master->CurrentBookmarkNumber(), 2);
    master->Next();
    EXPECT_EQ(detailNames(), QStringList {});
    EXPECT_EQ(detailQueries, 3);
    master->Prior();
    EXPECT_EQ(detailNames(), QStringList { QStringLiteral("SMITH") });
    EXPECT_EQ(detailQueries, 4);

    // Back on the record the detail last ran for: no query.
    master->DisableControls();
    master->Next();
    master->Prior();
    master->EnableControls();
    master->Prior();
    master->Next();
    EXPECT_EQ(detailQueries, 6) << "each real move runs the query once";
    master->DisableControls();
    master->Prior();
    master->Next();
    master->EnableControls();
    EXPECT_EQ(detailQueries, 6) << "the master came back to the record the detail ran for";
    master->Next();
    master->Next(); // at the end already: the same record
    EXPECT_EQ(detailQueries, 7);
    EXPECT_EQ(detail->RememberedMasterBookmark(), master->CurrentBookmarkNumber());

    // A refresh of the master runs the detail again, though the record numbers start anew.
    master->First();
    const int before = detailQueries;
    master->Refresh();
    EXPECT_EQ(detailQueries, before + 1);
    EXPECT_EQ(detailNames(), (QStringList { QStringLiteral("KING"), QStringLiteral("CLARK") }));
}

TEST_F(OracleDataSetMasterDetail, DetailOpenedFirstWaitsForItsMaster)
{
    detail->Open();
    EXPECT_TRUE(detail->Active());
    EXPECT_TRUE(detail->IsEmpty());
    EXPECT_EQ(detailQueries, 0) << "no master record: the query is not run";

    master->Open();
    EXPECT_EQ(detailNames(), (QStringList { QStringLiteral("KING"), QStringLiteral("CLARK") }));
    EXPECT_EQ(detailQueries, 1);

    master->Close();
    EXPECT_TRUE(detail->Active());
    EXPECT_TRUE(detail->IsEmpty()) << "the details of a closed master are empty";
    EXPECT_EQ(detailQueries, 1);
}

TEST_F(OracleDataSetMasterDetail, NoMasterRecordNoDetailQuery)
{
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const Case cases[] = {
        { "closed master", [] {} },
        { "empty master",
            [this] {
                master->SetSQLText(QStringLiteral("select rowid, d.* from md_dept d where 1 = 0"));
                master->Open();
            } },
        { "inserting master",
            [this] {
                master->Open();
                master->Insert();
            } },
        { "master in QBE mode",
            [this] {
                master->Open();
                master->SetQBEMode(true);
            } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        detailQueries = 0;
        detail->Open();
        EXPECT_TRUE(detail->IsEmpty());
        EXPECT_EQ(detailQueries, 0);
        EXPECT_TRUE(detail->MasterHasNoCurrentRecord());
        detail->Close();
        master->SetQBEMode(false);
        if (master->Active())
            master->Cancel();
        master->Close();
        master->SetSQLText(QStringLiteral("select rowid, d.* from md_dept d order by deptno"));
    }

    // While the master inserts, an open detail is emptied without running its query; the posted
    // master record is known to have no details, so the detail is not queried for it either.
    master->Open();
    detail->Open();
    ASSERT_EQ(detailQueries, 1);
    master->Insert();
    EXPECT_TRUE(detail->IsEmpty());
    master->FieldByName(QStringLiteral("DEPTNO"))->SetAsInteger(40);
    master->FieldByName(QStringLiteral("DNAME"))->SetAsString(QStringLiteral("OPERATIONS"));
    master->Post();
    EXPECT_EQ(master->FieldByName(QStringLiteral("DEPTNO"))->AsInteger(), 40);
    EXPECT_TRUE(detail->IsEmpty());
    EXPECT_EQ(detailQueries, 1);
    EXPECT_EQ(detail->RememberedMasterBookmark(), master->CurrentBookmarkNumber());
}

TEST_F(OracleDataSetMasterDetail, CharMasterValuesAreBoundBlankPadded)
{
    // The session trims fetched strings, so the master field reads "AB"; the detail query must
    // still find the rows the server keeps as "AB   ".
    ASSERT_TRUE(session->Preferences().TrimStringFields());
    detail->SetSQLText(QStringLiteral(
        "select rowid, e.* from md_emp e where code = :code and ename <> :dname order by empno"));
    detail->DeleteVariables();
    detail->DeclareVariable(QStringLiteral("code"), SQLT_STR);
    detail->DeclareVariable(QStringLiteral("dname"), SQLT_STR);
    detail->SetMasterFields(QStringLiteral("CODE;DNAME"));
    master->Open();
    detail->Open();
    EXPECT_EQ(master->FieldByName(QStringLiteral("CODE"))->AsString(), "AB");
    EXPECT_EQ(detail->GetVariable(QStringLiteral("code")).AsString(), "AB   ");
    EXPECT_EQ(detail->GetVariable(QStringLiteral("dname")).AsString(), "ACCOUNTING")
        << "a VARCHAR2 value is bound as it stands";
    EXPECT_EQ(detailNames(), (QStringList { QStringLiteral("KING"), QStringLiteral("CLARK") }));
    master->Last();
    EXPECT_TRUE(detail->GetVariable(QStringLiteral("code")).IsNullOrEmpty()) << "null stays null";
    EXPECT_TRUE(detail->IsEmpty());

    // Editing a master value binds it again at once, without running the detail's query.
    const int queries = detailQueries;
    master->Edit();
    master->FieldByName(QStringLiteral("CODE"))->SetAsString(QStringLiteral("EF"));
    EXPECT_EQ(detail->GetVariable(QStringLiteral("code")).AsString(), "EF   ");
    EXPECT_EQ(detailQueries, queries);
    master->Cancel();
}

TEST_F(OracleDataSetMasterDetail, DetailFieldsNameTheVariablesPairByPair)
{
    // Three master fields, two names: only two variables are set (a third would be unknown).
    detail->SetSQLText(QStringLiteral(
        "select rowid, e.* from md_emp e where deptno = :d1 and code = :d2 order by empno"));
    detail->DeleteVariables();
    detail->DeclareVariable(QStringLiteral("d1"), SQLT_INT);
    detail->DeclareVariable(QStringLiteral("d2"), SQLT_STR);
    detail->SetMasterFields(QStringLiteral("DEPTNO;CODE;DNAME"));
    detail->SetDetailFields(QStringLiteral(" D1 ; D2 "));
    master->Open();
    detail->Open();
    EXPECT_EQ(detail->GetVariable(QStringLiteral("d1")).AsInteger(), 10);
    EXPECT_EQ(detail->GetVariable(QStringLiteral("d2")).AsString(), "AB   ");
    EXPECT_EQ(detailNames().size(), 2);

    // A master field the master does not have is a clear error, not a wrong binding.
    detail->SetMasterFields(QStringLiteral("DEPTNO;NOSUCH"));
    EXPECT_EQ(messageOf([&] { detail->Open(); }), "Master: Field 'NOSUCH' not found");
    EXPECT_FALSE(detail->Active());
}

TEST_F(OracleDataSetMasterDetail, NewDetailRecordTakesTheMastersLinkValues)
{
    detail->SetDetailFields(QStringLiteral("DEPTNO"));
    master->Open();
    master->Next();
    detail->Open();
    detail->Insert();
    EXPECT_EQ(detail->FieldByName(QStringLiteral("DEPTNO"))->AsInteger(), 20);
    detail->FieldByName(QStringLiteral("EMPNO"))->SetAsInteger(4);
    detail->FieldByName(QStringLiteral("ENAME"))->SetAsString(QStringLiteral("JONES"));
    detail->Post();
    detail->UpdateCursorPos();
    ASSERT_NE(detail->CurrentStoredRecord(), nullptr);
    EXPECT_EQ(RecordHeader(detail->CurrentStoredRecord())->MasterBookmark,
        master->CurrentBookmarkNumber());
    session->Commit();
    TOracleQuery q;
    q.SetSession(session.get());
    q.SQL().SetText(QStringLiteral("select deptno from md_emp where empno = 4"));
    q.Execute();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldAsInteger(0), 20);

    // A master record whose link field is empty takes no detail record.
    detail->SetMasterFields(QStringLiteral("CODE"));
    detail->SetDetailFields(QStringLiteral("CODE"));
    detail->SetSQLText(
        QStringLiteral("select rowid, e.* from md_emp e where code = :code order by empno"));
    detail->DeleteVariables();
    detail->DeclareVariable(QStringLiteral("code"), SQLT_STR);
    master->Last();
    detail->Open();
    EXPECT_EQ(messageOf([&] { detail->Insert(); }), "Field 'CODE' must have a value");
    EXPECT_EQ(detail->State(), dsBrowse);
    master->First();
    detail->Insert();
    EXPECT_EQ(detail->FieldByName(QStringLiteral("CODE"))->AsString().trimmed(), "AB");
    detail->Cancel();
}

TEST_F(OracleDataSetMasterDetail, TheMastersLinkValuesWinOverColumnDefaults)
{
    createTable(QStringLiteral("md_emp_defaults"),
        QStringLiteral("empno number(6) primary key, deptno number(4) default 10, "
                       "ename varchar2(20) default 'NEW'"));
    detail->SetSQLText(
        QStringLiteral("select rowid, e.* from md_emp_defaults e where deptno = :deptno"));
    detail->DeclareVariable(QStringLiteral("deptno"), SQLT_INT);
    detail->SetDetailFields(QStringLiteral("DEPTNO"));
    detail->OracleDictionary().DefaultValues = true;
    master->Open();
    master->Next();
    detail->Open();
    detail->Insert();
    EXPECT_EQ(detail->FieldByName(QStringLiteral("DEPTNO"))->AsInteger(), 20)
        << "the record belongs to the master's department, not to the column's default";
    EXPECT_EQ(detail->FieldByName(QStringLiteral("ENAME"))->AsString(), "NEW");
    detail->Cancel();

    // Without a master the default stands.
    detail->SetMaster(nullptr);
    detail->SetVariable(QStringLiteral("deptno"), 10);
    detail->Open();
    detail->Insert();
    EXPECT_EQ(detail->FieldByName(QStringLiteral("DEPTNO"))->AsInteger(), 10);
    detail->Cancel();
}

TEST_F(OracleDataSetMasterDetail, MasterRecordMatchesComparesTheLinkPairs)
{
    detail->SetDetailFields(QStringLiteral("DEPTNO"));
    master->Open();
    detail->Open();
    detail->First();
    detail->UpdateCursorPos();
    ASSERT_NE(detail->CurrentStoredRecord(), nullptr);
    std::vector<char> king(static_cast<size_t>(detail->RecordBufferSize()));
    detail->DecodeRecord(detail->CurrentStoredRecord(), king.data());
    EXPECT_TRUE(detail->MasterRecordMatches(king.data()));
    master->Next();
    EXPECT_FALSE(detail->MasterRecordMatches(king.data())) << "KING is no employee of 20";

    // A record whose link field is null belongs to a master record whose link field is null.
    exec(QStringLiteral("insert into md_emp values (5, 30, null, 'NOBODY')"));
    detail->Close();
    detail->SetSQLText(QStringLiteral("select rowid, e.* from md_emp e "
                                      "where nvl(code, 'none') = nvl(:code, 'none')"));
    detail->DeleteVariables();
    detail->DeclareVariable(QStringLiteral("code"), SQLT_STR);
    detail->SetMasterFields(QStringLiteral("CODE"));
    detail->SetDetailFields(QStringLiteral("CODE"));
    master->Last();
    detail->Open();
    detail->UpdateCursorPos();
    ASSERT_NE(detail->CurrentStoredRecord(), nullptr);
    std::vector<char> nobody(static_cast<size_t>(detail->RecordBufferSize()));
    detail->DecodeRecord(detail->CurrentStoredRecord(), nobody.data());
    EXPECT_EQ(detail->FieldByName(QStringLiteral("ENAME"))->AsString(), "NOBODY");
    EXPECT_TRUE(detail->MasterRecordMatches(nobody.data()));
    EXPECT_FALSE(detail->MasterRecordMatches(king.data()));

    // Without DetailFields there are no pairs to compare: every record belongs.
    detail->SetDetailFields(QString());
    EXPECT_TRUE(detail->MasterRecordMatches(king.data()));
}

TEST_F(OracleDataSetMasterDetail, MasterLinkFieldsAreProtectedWhileDetailsHoldRecords)
{
    master->Open();
    TField *deptno = master->FieldByName(QStringLiteral("DEPTNO"));
    EXPECT_FALSE(deptno->ReadOnly()) << "no open detail holds records";
    detail->Open();
    EXPECT_TRUE(deptno->ReadOnly());
    EXPECT_FALSE(master->FieldByName(QStringLiteral("DNAME"))->ReadOnly());
    master->Last(); // department 30 has no employees
    EXPECT_FALSE(deptno->ReadOnly());
    detail->SetDetailFields(QStringLiteral("DEPTNO"));
    detail->Open();
    detail->Insert();
    EXPECT_TRUE(deptno->ReadOnly()) << "a detail that inserts holds the link field";
    detail->Cancel();
    master->First();
    EXPECT_TRUE(deptno->ReadOnly());
    detail->Close();
    EXPECT_FALSE(deptno->ReadOnly()) << "a closed detail holds nothing";
}

TEST_F(OracleDataSetMasterDetail, CircularChainsAreRefused)
{
    TOracleDataSet third;
    third.SetName(QStringLiteral("Third"));
    third.SetMaster(detail.get());
    const QString refusal = QStringLiteral("Circular master/detail dependency not allowed");
    EXPECT_EQ(messageOf([&] { master->SetMaster(master.get()); }), refusal);
    EXPECT_EQ(messageOf([&] { master->SetMaster(detail.get()); }), refusal);
    EXPECT_EQ(messageOf([&] { master->SetMaster(&third); }), refusal);
    EXPECT_EQ(master->Master(), nullptr) << "a refusal changes nothing";
    EXPECT_EQ(detail->Details(), std::vector<TOracleDataSet *> { &third });
    EXPECT_TRUE(master->Details() == std::vector<TOracleDataSet *> { detail.get() });

    // Moving a detail to another master takes it out of the old master's list, once.
    third.SetMaster(master.get());
    third.SetMaster(master.get());
    EXPECT_TRUE(detail->Details().empty());
    EXPECT_EQ(master->Details(), (std::vector<TOracleDataSet *> { detail.get(), &third }));
    third.SetMaster(nullptr);
    EXPECT_EQ(master->Details(), std::vector<TOracleDataSet *> { detail.get() });
}

TEST_F(OracleDataSetMasterDetail, DestroyingEitherSideUnlinksTheOther)
{
    master->Open();
    detail->Open();
    master.reset();
    EXPECT_EQ(detail->Master(), nullptr);
    EXPECT_FALSE(detail->Active());

    auto other = std::make_unique<TOracleDataSet>();
    other->SetMaster(detail.get());
    other.reset();
    EXPECT_TRUE(detail->Details().empty());
}

TEST_F(OracleDataSetMasterDetail, KeyColumnsComeFromTheDictionary)
{
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, e.* from md_emp e"));
    ds.Open();
    TOracleQuery query;
    query.SetSession(session.get());
    const QString demo = QStringLiteral("DEMO");
    EXPECT_EQ(ds.FindKeyColumns(query, demo, true, QStringLiteral("MD_EMP")),
        QStringList { QStringLiteral("EMPNO") })
        << "the primary key wins over the unique key";
    EXPECT_EQ(ds.FindKeyColumns(query, demo, false, QStringLiteral("MD_DEPT")),
        QStringList { QStringLiteral("DEPTNO") });
    EXPECT_EQ(ds.FindKeyColumns(query, demo, false, QStringLiteral("MD_NONE")), QStringList {});

    TStringList keys;
    ds.DetermineKeyFields(keys);
    EXPECT_EQ(keys.Text().trimmed(), "EMPNO");
    ds.Close();

    // UniqueFields name the key instead; the open fills the key field list with them.
    ds.SetUniqueFields(QStringLiteral("ENAME ; CODE "));
    ds.Open();
    EXPECT_EQ(ds.KeyFields().Count(), 2);
    EXPECT_EQ(ds.KeyFields()[0], "ENAME");
    EXPECT_EQ(ds.KeyFields()[1], "CODE");
    ds.Close();

    // With the key column missing from the select list, checking the fields gives no key.
    TOracleDataSet &narrow = newDataSet(QStringLiteral("select rowid, ename from md_emp"));
    narrow.Open();
    EXPECT_EQ(narrow.FindKeyColumns(query, demo, true, QStringLiteral("MD_EMP")), QStringList {});

    // A table without a key and no UniqueFields: the open refuses with the key message.
    createTable(QStringLiteral("md_none"), QStringLiteral("x number"));
    TOracleDataSet &keyless = newDataSet(QStringLiteral("select rowid, x from md_none"));
    keyless.Open();
    TStringList none;
    EXPECT_EQ(messageOf([&] { keyless.DetermineKeyFields(none); }),
        "Primary or Unique key columns must be included");

    // Without a ROWID nothing happens.
    TOracleDataSet &plain = newDataSet(QStringLiteral("select x from md_none"));
    plain.Open();
    TStringList untouched;
    untouched.Add(QStringLiteral("KEEP"));
    plain.DetermineKeyFields(untouched);
    EXPECT_EQ(untouched.Count(), 1);
}

} // namespace
} // namespace qd

namespace qd {
namespace {

// A cached-updates detail keeps its logged inserts with the master record they were made under,
// and a detail whose changes cannot be told apart by master (no DetailFields) blocks the
// master's refresh instead of losing them.
TEST_F(OracleDataSetMasterDetail, CachedDetailChangesStayWithTheirMaster)
{
    const auto insertEmployee = [this](int empno, const char *name) {
        detail->Insert();
        if (detail->FieldByName(QStringLiteral("DEPTNO"))->IsNull())
            detail->FieldByName(QStringLiteral("DEPTNO"))->SetAsInteger(10);
        detail->FieldByName(QStringLiteral("EMPNO"))->SetAsInteger(empno);
        detail->FieldByName(QStringLiteral("ENAME"))->SetAsString(QString::fromLatin1(name));
        detail->Post();
    };
    detail->SetCachedUpdates(true);
    master->Open();
    detail->Open();
    insertEmployee(7, "ADAMS");
    ASSERT_TRUE(detail->UpdatesPending());

    try {
        master->Refresh();
        ADD_FAILURE() << "refresh over cached detail changes";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(QString::fromStdString(e.what()).contains(
            QStringLiteral("Refresh not allowed: detail records have cached updates.")))
            << e.what();
    }
    EXPECT_TRUE(detail->UpdatesPending());

    detail->CancelUpdates();
    detail->SetDetailFields(QStringLiteral("DEPTNO"));
    detail->Open();
    insertEmployee(8, "BLAKE");
    EXPECT_EQ(detail->FieldByName(QStringLiteral("DEPTNO"))->AsInteger(), 10)
        << "a new detail record takes the master's link value";
    // Inserted before KING, and shown there again after the refresh.
    EXPECT_NO_THROW(master->Refresh()) << "the link values tell which master a change belongs to";
    EXPECT_EQ(detailNames(), (QStringList { "BLAKE", "KING", "CLARK" }));
    master->Next();
    EXPECT_EQ(detailNames(), QStringList { "SMITH" }) << "another master's insert stays out";
    master->Prior();
    EXPECT_EQ(detailNames(), (QStringList { "BLAKE", "KING", "CLARK" }));

    // A master query that numbers its records anew: department 30 now comes first and takes
    // the number department 10 had; BLAKE stays with 10.
    master->SetSQLText(QStringLiteral("select rowid, d.* from md_dept d order by deptno desc"));
    master->Open();
    EXPECT_EQ(master->FieldByName(QStringLiteral("DEPTNO"))->AsInteger(), 30);
    EXPECT_EQ(detailNames(), QStringList {}) << "department 30 has no employees";
    master->Last();
    EXPECT_EQ(detailNames(), (QStringList { "BLAKE", "KING", "CLARK" }));
    detail->CancelUpdates();
    EXPECT_EQ(detailNames(), (QStringList { "KING", "CLARK" }));
}

} // namespace
} // namespace qd
