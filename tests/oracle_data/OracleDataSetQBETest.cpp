#include "DataSetTestFixture.h"

#include "oracle_data/QBEStatement.h"

namespace qd::test {
namespace {

const QString marker = QString::fromUtf16(QBEMarkerLine);

class OracleDataSetQBE : public DataSetFixture {
protected:
    // (id, name, salary): 1 Smith 100, 2 Jones 200, 3 Brown 300, 4 Smithers 400, 5 null 500.
    void createPeople()
    {
        createTable(QStringLiteral("qbe_people"),
            QStringLiteral("id number(9), name varchar2(30), "
                           "salary number(7)"));
        exec(QStringLiteral("insert into qbe_people values (1, 'Smith', 100)"));
        exec(QStringLiteral("insert into qbe_people values (2, 'Jones', 200)"));
        exec(QStringLiteral("insert into qbe_people values (3, 'Brown', 300)"));
        exec(QStringLiteral("insert into qbe_people values (4, 'Smithers', 400)"));
        exec(QStringLiteral("insert into qbe_people values (5, null, 500)"));
        session->Commit();
    }

    static int markerLines(TOracleDataSet &ds)
    {
        int n = 0;
        for (int i = 0; i < ds.SQL().Count(); ++i)
            n += ds.SQL().Strings(i) == marker;
        return n;
    }

    static QString lastLine(TOracleDataSet &ds)
    {
        return ds.SQL().Count() ? ds.SQL().Strings(ds.SQL().Count() - 1) : QString();
    }
};

TEST_F(OracleDataSetQBE, QueryReturnsTheRowsMatchingTheCriteria)
{
    createPeople();
    struct Case {
        const char *sql;
        int rowsWithout; // rows the statement gives without criteria
        bool allowOperators;
        const char *field;
        const char *criterion;
        QStringList expected;
    };
    const Case cases[] = {
        { "select * from qbe_people order by id", 5, true, "NAME", "Smith or Jones", { "1", "2" } },
        { "select * from qbe_people order by id", 5, true, "SALARY", "150 .. 350", { "2", "3" } },
        { "select * from qbe_people order by id", 5, true, "SALARY", ">= 400", { "4", "5" } },
        { "select * from qbe_people order by id", 5, true, "NAME", "NOT NULL",
            { "1", "2", "3", "4" } },
        { "select * from qbe_people order by id", 5, false, "NAME", "Smith%", { "1", "4" } },
        // An existing WHERE is kept and the criteria are added to it.
        { "select * from qbe_people where id > 1 order by id", 4, true, "NAME", "Smith or Jones",
            { "2" } },
        // Without operators the text is one value, compared as it stands.
        { "select * from qbe_people order by id", 5, false, "NAME", "Smith or Jones", {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.sql) + " / " + c.criterion);
        TOracleDataSet &ds = newDataSet(QString::fromUtf8(c.sql));
        ds.QBEDefinition().SetAllowOperators(c.allowOperators);
        ds.SetCountAllRecords(true);
        ds.Open();
        ASSERT_EQ(ids(ds).size(), c.rowsWithout);

        ds.SetQBEMode(true);
        ASSERT_TRUE(ds.QBEMode());
        EXPECT_EQ(ds.State(), dsInsert);
        EXPECT_TRUE(ds.RecordStore()->RecordCount() == 0);
        TField *field = ds.FieldByName(QString::fromUtf8(c.field));
        field->SetText(QString::fromUtf8(c.criterion));
        // What is typed is what the field shows while QBE mode lasts.
        EXPECT_EQ(field->Text(), QString::fromUtf8(c.criterion));
        // Counting the hits applies the criteria.
        EXPECT_EQ(ds.RecordCount(), c.expected.size());
        EXPECT_TRUE(ds.QBEApplied());
        EXPECT_EQ(lastLine(ds), marker);

        ds.SetQBEMode(false);
        EXPECT_FALSE(ds.QBEMode());
        EXPECT_EQ(ds.State(), dsBrowse);
        EXPECT_EQ(ids(ds), c.expected);
        // The field has its own handlers back.
        EXPECT_FALSE(field->OnSetText);
        EXPECT_FALSE(field->OnGetText);
        ds.Close();
        EXPECT_EQ(ds.SQL().Text().trimmed(), QString::fromUtf8(c.sql));
    }
}

TEST_F(OracleDataSetQBE, ApplyingTwiceLeavesOneMarkerAndRemovingRestoresExactly)
{
    createPeople();
    const QString original = QStringLiteral("select id, name, salary\r\n"
                                            "  from qbe_people -- everyone\r\n"
                                            " where salary > 0\r\n"
                                            " order by id");
    TOracleDataSet &ds = newDataSet(original);
    const QString asStored = ds.SQL().Text();
    ds.Open();
    ds.DeclareVariable(QStringLiteral("ZEB__QBE1"), SQLT_INT);
    ds.SetQBEMode(true);
    ds.FieldByName(QStringLiteral("NAME"))->SetText(QStringLiteral("Brown"));
    ds.StoreQBEValues();
    ds.ApplyQBE();
    const QString first = ds.SQL().Text();
    EXPECT_EQ(markerLines(ds), 1);
    EXPECT_TRUE(first.contains(QStringLiteral("NAME = 'Brown'")));
    ds.ApplyQBE();
    EXPECT_EQ(markerLines(ds), 1);
    EXPECT_EQ(lastLine(ds), marker);
    EXPECT_EQ(ds.SQL().Text(), first);
    // Removing drops the QBE variables and gives back the statement as written.
    EXPECT_EQ(ds.VariableIndex(QStringLiteral("ZEB__QBE1")), -1);
    ds.RemoveQBE();
    EXPECT_FALSE(ds.QBEApplied());
    EXPECT_EQ(ds.SQL().Text(), asStored);

    // Applied, then run by leaving QBE mode, then closed: the statement is given back too.
    ds.ApplyQBE();
    ds.SetQBEMode(false);
    EXPECT_EQ(ids(ds), QStringList { QStringLiteral("3") });
    EXPECT_EQ(lastLine(ds), marker);
    ds.Close();
    EXPECT_EQ(ds.SQL().Text(), asStored);
    ds.Open();
    EXPECT_EQ(ids(ds).size(), 5);
}

TEST_F(OracleDataSetQBE, LeavingWithoutCriteriaReturnsAllRows)
{
    createPeople();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_people order by id"));
    const QString written = ds.SQL().Text();
    ds.Open();
    ds.SetQBEMode(true);
    EXPECT_TRUE(ids(ds).isEmpty());
    ds.SetQBEMode(true); // no change
    ds.StoreQBEValues();
    ds.ApplyQBE();
    EXPECT_FALSE(ds.QBEApplied());
    EXPECT_EQ(ds.SQL().Text(), written);
    ds.SetQBEMode(false);
    EXPECT_EQ(ids(ds).size(), 5);

    // The criteria of the previous round come back into the QBE record; cleared, all rows.
    ds.SetQBEMode(true);
    ds.FieldByName(QStringLiteral("NAME"))->SetText(QStringLiteral("Jones"));
    ds.StoreQBEValues();
    ds.ApplyQBE();
    ds.SetQBEMode(false);
    EXPECT_EQ(ids(ds), QStringList { QStringLiteral("2") });
    ds.SetQBEMode(true);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("NAME"))->Text(), QStringLiteral("Jones"));
    ds.FieldByName(QStringLiteral("NAME"))->Clear();
    ds.StoreQBEValues();
    ds.ApplyQBE();
    EXPECT_EQ(ds.SQL().Text(), written);
    ds.SetQBEMode(false);
    EXPECT_EQ(ids(ds).size(), 5);
}

TEST_F(OracleDataSetQBE, QBEModeSetBeforeOpenStartsTheQBERecordWithoutRows)
{
    createPeople();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_people order by id"));
    int beforeQBE = 0;
    ds.BeforeQBE = [&](TOracleDataSet *) { ++beforeQBE; };
    ds.SetQBEMode(true);
    EXPECT_FALSE(ds.Active());
    ds.Open();
    EXPECT_TRUE(ds.QBEMode());
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_EQ(ds.RecordStore()->RecordCount(), 0);
    EXPECT_EQ(beforeQBE, 1);
    ds.FieldByName(QStringLiteral("NAME"))->SetText(QStringLiteral("Smithers"));
    ds.StoreQBEValues();
    ds.ApplyQBE();
    ds.SetQBEMode(false);
    EXPECT_EQ(ids(ds), QStringList { QStringLiteral("4") });
}

TEST_F(OracleDataSetQBE, CancelWithoutRequeryLeavesTheDataSetEmpty)
{
    createPeople();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_people order by id"));
    ds.OnCancelQBE = [](TOracleDataSet *, bool &requery) { requery = false; };
    ds.Open();
    ds.SetQBEMode(true);
    ds.SetQBEMode(false);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_TRUE(ds.IsEmpty());
}

TEST_F(OracleDataSetQBE, AfterQBEFiresOnceQBEModeIsOverWithTheRowsInPlace)
{
    createPeople();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_people order by id"));
    ds.QBEDefinition().SetAllowOperators(true);
    QStringList seen;
    ds.BeforeQBE = [&](TOracleDataSet *sender) {
        EXPECT_EQ(sender, &ds);
        seen.append(QStringLiteral("before"));
    };
    ds.AfterQBE = [&](TOracleDataSet *sender) {
        EXPECT_EQ(sender, &ds);
        EXPECT_FALSE(sender->QBEMode());
        EXPECT_EQ(sender->State(), dsBrowse);
        seen.append(QStringLiteral("after ") + ids(*sender).join(QLatin1Char(',')));
    };
    ds.Open();
    ds.SetQBEMode(true);
    EXPECT_EQ(seen, QStringList { QStringLiteral("before") });
    ds.FieldByName(QStringLiteral("SALARY"))->SetText(QStringLiteral("> 300"));
    ds.StoreQBEValues();
    ds.ApplyQBE();
    ds.SetQBEMode(false);
    EXPECT_EQ(seen, (QStringList { QStringLiteral("before"), QStringLiteral("after 4,5") }));

    // Without a requery it fires as well, on the empty dataset.
    seen.clear();
    ds.OnCancelQBE = [](TOracleDataSet *, bool &requery) { requery = false; };
    ds.SetQBEMode(true);
    ds.SetQBEMode(false);
    EXPECT_EQ(seen, (QStringList { QStringLiteral("before"), QStringLiteral("after ") }));
}

TEST_F(OracleDataSetQBE, RefreshInQBEModeIsRefusedAndKeepsTheCriteria)
{
    createPeople();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_people order by id"));
    for (const bool allowOperators : { true, false }) {
        SCOPED_TRACE(allowOperators ? "operators" : "values");
        ds.QBEDefinition().SetAllowOperators(allowOperators);
        ds.Open();
        ds.SetQBEMode(true);
        ds.FieldByName(QStringLiteral("NAME"))->SetText(QStringLiteral("Jones"));
        EXPECT_TRUE(messageOf([&] { ds.Refresh(); })
                        .endsWith(QStringLiteral("Operation not allowed in QBE mode")));
        EXPECT_TRUE(ds.QBEMode());
        EXPECT_EQ(ds.State(), dsInsert) << "the QBE record is still there";
        EXPECT_EQ(ds.FieldByName(QStringLiteral("NAME"))->Text(), QStringLiteral("Jones"));
        EXPECT_EQ(ds.RecordStore()->RecordCount(), 0);
        ds.SetCountAllRecords(true);
        EXPECT_EQ(ds.RecordCount(), 1);
        ds.SetCountAllRecords(false);
        ds.SetQBEMode(false);
        EXPECT_EQ(ids(ds), QStringList { QStringLiteral("2") });
        // Outside QBE mode a refresh runs as ever.
        ds.Refresh();
        EXPECT_EQ(ids(ds), QStringList { QStringLiteral("2") });
        ds.Close();
    }
}

TEST_F(OracleDataSetQBE, PendingEditRefusesQBEModeAndLeavesTheDataSetAsItWas)
{
    createPeople();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, p.* from qbe_people p"));
    ds.SetCachedUpdates(true);
    ds.Open();
    ds.Edit();
    EXPECT_EQ(messageOf([&] { ds.SetQBEMode(true); }),
        QStringLiteral("QBE mode not allowed with pending updates"));
    EXPECT_FALSE(ds.QBEMode());
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    EXPECT_EQ(ids(ds).size(), 5);
}

} // namespace
} // namespace qd::test
