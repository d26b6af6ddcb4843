// A detail over a nested-table column of its master, set up with a rowid so that its elements
// can be changed: the statements it sends through TABLE(...), the block that makes a null
// collection empty before an insert, and what another session reads afterwards.
#include "EditBackTestSupport.h"
#include "OrderLinesFixture.h"

#include "oracle_data/CollectionUpdatingTable.h"
#include "oracle_data/MasterDetailSetup.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qd {
namespace {

const QString collectionText = QStringLiteral("table(select m.lines\n"
                                              "           from   cde_order m\n"
                                              "           where  m.no = :no)");

class CollectionDetailEdit : public test::OrderLinesFixture {
protected:
    void SetUp() override
    {
        OrderLinesFixture::SetUp();
        ASSERT_TRUE(test::StandinHooks::get().complete());
        createOrders(QStringLiteral("cde"));
        exec(QStringLiteral("insert into cde_order values (5, 'fifth', null)"));
        session->Commit();
        MasterDetailSetupUi ui;
        ui.selectCollectionColumn = [](const QStringList &, int &index, bool &readOnly) {
            index = 0;
            readOnly = false; // with a rowid: editable
            return true;
        };
        ASSERT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::Collection);
        master->Open();
        detail->Open();
        ASSERT_TRUE(detail->CanModify());
    }

    void toMaster(int no)
    {
        for (master->First(); !master->Eof(); master->Next())
            if (master->FieldByName(QStringLiteral("NO"))->AsInteger() == no)
                return;
        FAIL() << "no master row " << no;
    }

    // Inserts and posts one line into the collection of the current master row.
    void insertLine(const QString &item, int qty)
    {
        detail->Insert();
        detail->FieldByName(QStringLiteral("ITEM"))->SetAsString(item);
        detail->FieldByName(QStringLiteral("QTY"))->SetAsInteger(qty);
        detail->Post();
    }

    bool toLine(const QString &item)
    {
        for (detail->First(); !detail->Eof(); detail->Next())
            if (detail->FieldByName(QStringLiteral("ITEM"))->AsString() == item)
                return true;
        return false;
    }

    // The statements sent since the last call that go through the collection expression, and
    // the blocks.
    QStringList collectionStatements()
    {
        QStringList out;
        for (const QString &text : test::StandinHooks::get().takeTrace(session->ServiceContext()))
            if (text.contains(QLatin1String("(select m.lines"))
                || text.startsWith(QLatin1String("begin")))
                out << text;
        return out;
    }

    // What a fresh session reads: the master row's elements as "item x qty", sorted (the
    // elements of a nested table have no order), or "<null>" for a null collection.
    QStringList elementsOnServer(int no)
    {
        const std::unique_ptr<TOracleSession> fresh = test::LogOnDemo();
        TOracleQuery q;
        q.SetSession(fresh.get());
        q.SQL().SetText(QStringLiteral("select count(*) from cde_order where no = :no "
                                       "and lines is null"));
        q.DeclareVariable(QStringLiteral("no"), SQLT_INT);
        q.SetVariable(QStringLiteral("no"), no);
        q.Execute();
        if (q.FieldAsInteger(0) == 1)
            return { QStringLiteral("<null>") };
        q.SQL().SetText(QStringLiteral("select t.item, t.qty from table(select m.lines from "
                                       "cde_order m where m.no = :no) t"));
        q.Execute();
        QStringList out;
        for (; !q.Eof(); q.Next())
            out << q.FieldAsString(0) + QStringLiteral(" x ") + q.FieldAsString(1);
        std::sort(out.begin(), out.end());
        fresh->LogOff();
        return out;
    }
};

// ---- The statements

TEST_F(CollectionDetailEdit, UpdateLockAndDeleteGoThroughTheCollectionExpression)
{
    toMaster(1);
    ASSERT_TRUE(toLine(QStringLiteral("screw")));
    collectionStatements();
    detail->Edit();
    detail->FieldByName(QStringLiteral("QTY"))->SetAsInteger(5);
    detail->Post();
    const QString qtyVariable
        = QStringLiteral(":v") + QString::number(test::fieldInfoIndex(*detail, "QTY"));
    // Checked at edit start, locked and checked before the update.
    EXPECT_EQ(collectionStatements(),
        (QStringList { QStringLiteral("select * from ") + collectionText
                + QStringLiteral(" where rowid = :zeb__rowid"),
            QStringLiteral("select * from ") + collectionText
                + QStringLiteral(" where rowid = :zeb__rowid\nfor update nowait"),
            QStringLiteral("update ") + collectionText + QStringLiteral("\nset QTY = ")
                + qtyVariable + QStringLiteral("\nwhere rowid = :zeb__rowid\n")
                + QStringLiteral("returning rowid into :zeb__rowid") }));

    ASSERT_TRUE(toLine(QStringLiteral("nail")));
    collectionStatements();
    detail->Delete();
    EXPECT_EQ(collectionStatements(),
        (QStringList { QStringLiteral("select * from ") + collectionText
                + QStringLiteral(" where rowid = :zeb__rowid\nfor update nowait"),
            QStringLiteral("delete from ") + collectionText
                + QStringLiteral("\nwhere rowid = :zeb__rowid") }));
}

TEST_F(CollectionDetailEdit, ARefreshOfAllFieldsAddressesTheElementByTheAlias)
{
    detail->SetRefreshOptions(roAfterUpdate | roAllFields);
    toMaster(3);
    collectionStatements();
    detail->Edit();
    detail->FieldByName(QStringLiteral("QTY"))->SetAsInteger(2);
    detail->Post();
    const QStringList sent = collectionStatements();
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.last(),
        QStringLiteral("select t.*, rowid\nfrom ") + collectionText
            + QStringLiteral(" t\nwhere T.rowid = :zeb__rowid"));
    EXPECT_EQ(lines(), QStringList { QStringLiteral("bolt x 2") });
}

TEST_F(CollectionDetailEdit, WithUniqueFieldsANewElementIsFoundByItsKey)
{
    detail->SetUniqueFields(QStringLiteral("ITEM"));
    toMaster(3);
    insertLine(QStringLiteral("nut"), 3);
    EXPECT_EQ(collectionStatements().last(),
        QStringLiteral("select rowid from ") + collectionText
            + QStringLiteral(" where\nITEM = :ITEM"));
    EXPECT_FALSE(detail->RowId().isEmpty());
    EXPECT_EQ(elementsOnServer(3),
        (QStringList { QStringLiteral("bolt x 1"), QStringLiteral("nut x 3") }));
}

TEST_F(CollectionDetailEdit, AnInsertFirstMakesTheMasterRowsNullCollectionEmpty)
{
    toMaster(4);
    collectionStatements();
    insertLine(QStringLiteral("nut"), 3);
    const QString item
        = QStringLiteral(":v") + QString::number(test::fieldInfoIndex(*detail, "ITEM"));
    const QString qty
        = QStringLiteral(":v") + QString::number(test::fieldInfoIndex(*detail, "QTY"));
    EXPECT_EQ(collectionStatements(),
        (QStringList { QStringLiteral("begin\n"
                                      "  update cde_order m\n"
                                      "  set m.lines = CDE_LINES()\n"
                                      "  where m.lines is null\n"
                                      "  and (m.no = :no);\n"
                                      "end;"),
            QStringLiteral("insert into ") + collectionText
                + QStringLiteral("\n  (ITEM, QTY)\nvalues\n  (") + item + QStringLiteral(", ") + qty
                + QStringLiteral(")\nreturning rowid into :zeb__rowid") }));
}

TEST_F(CollectionDetailEdit, TheCollectionColumnIsDescribed)
{
    CollectionUpdatingTable table = AnalyseCollectionTable(collectionText);
    ASSERT_TRUE(table.valid);
    TOracleQuery query;
    query.SetSession(session.get());
    QList<CollectionColumn> columns;
    QStringList attributes;
    DescribeCollectionTable(query, table, columns, attributes);
    ASSERT_EQ(columns.size(), 1);
    EXPECT_EQ(columns[0].column, QStringLiteral("m.lines"));
    EXPECT_EQ(columns[0].constructor, QStringLiteral("CDE_LINES()"));
    EXPECT_EQ(attributes, (QStringList { QStringLiteral("ITEM"), QStringLiteral("QTY") }));

    // A column that is no collection adds none.
    table.selectText = QStringLiteral("m.note");
    DescribeCollectionTable(query, table, columns, attributes);
    EXPECT_TRUE(columns.isEmpty());
    EXPECT_TRUE(attributes.isEmpty());
}

TEST_F(CollectionDetailEdit, TheCollectionIsAnalysedOncePerStatement)
{
    // The analysis asks for the session's user once; the describes are not traced.
    const auto userQueries = [this] {
        return test::StandinHooks::get()
            .takeTrace(session->ServiceContext())
            .filter(QStringLiteral("select user from dual"))
            .size();
    };
    toMaster(3);
    userQueries();
    insertLine(QStringLiteral("nut"), 1);
    EXPECT_EQ(userQueries(), 1);
    insertLine(QStringLiteral("nut"), 2);
    EXPECT_EQ(userQueries(), 0);
    // A new statement text is analysed again.
    detail->SetSQLText(detail->GetSQL());
    detail->Open();
    insertLine(QStringLiteral("nut"), 3);
    EXPECT_EQ(userQueries(), 1);
    EXPECT_EQ(elementsOnServer(3),
        (QStringList { QStringLiteral("bolt x 1"), QStringLiteral("nut x 1"),
            QStringLiteral("nut x 2"), QStringLiteral("nut x 3") }));
}

// ---- Against the server

TEST_F(CollectionDetailEdit, AnEditedElementIsStored)
{
    toMaster(1);
    ASSERT_TRUE(toLine(QStringLiteral("screw")));
    detail->Edit();
    detail->FieldByName(QStringLiteral("QTY"))->SetAsInteger(5);
    detail->Post();
    EXPECT_EQ(elementsOnServer(1),
        (QStringList { QStringLiteral("nail x 10"), QStringLiteral("screw x 5") }));
    // The other rows' collections are untouched.
    EXPECT_EQ(elementsOnServer(3), QStringList { QStringLiteral("bolt x 1") });
    // The element keeps its address: it can be edited again.
    ASSERT_TRUE(toLine(QStringLiteral("screw")));
    detail->Edit();
    detail->FieldByName(QStringLiteral("ITEM"))->SetAsString(QStringLiteral("screws"));
    detail->Post();
    EXPECT_EQ(elementsOnServer(1),
        (QStringList { QStringLiteral("nail x 10"), QStringLiteral("screws x 5") }));
}

TEST_F(CollectionDetailEdit, AnElementIsAddedToANullAnEmptyAndAFilledCollection)
{
    const struct {
        int no;
        QStringList after;
    } cases[] = {
        { 4, { QStringLiteral("nut x 3") } }, // null: made empty first
        { 2, { QStringLiteral("nut x 3") } }, // empty
        { 3, { QStringLiteral("bolt x 1"), QStringLiteral("nut x 3") } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.no);
        toMaster(c.no);
        insertLine(QStringLiteral("nut"), 3);
        EXPECT_EQ(elementsOnServer(c.no), c.after);
        // The new element's address came back: it can be changed at once.
        detail->Edit();
        detail->FieldByName(QStringLiteral("QTY"))->SetAsInteger(30);
        detail->Post();
        QStringList changed = c.after;
        changed.replaceInStrings(QStringLiteral("nut x 3"), QStringLiteral("nut x 30"));
        EXPECT_EQ(elementsOnServer(c.no), changed);
    }
    // Only the master row the detail belongs to got a collection.
    EXPECT_EQ(elementsOnServer(5), QStringList { QStringLiteral("<null>") });
    EXPECT_EQ(elementsOnServer(1),
        (QStringList { QStringLiteral("nail x 10"), QStringLiteral("screw x 4") }));
}

TEST_F(CollectionDetailEdit, ATheExpressionServesAsTableDoes)
{
    detail->SetSQLText(QStringLiteral("select e.*, rowid from the (select m.lines from cde_order m "
                                      "where m.no = :no) e"));
    detail->Open();
    toMaster(4);
    collectionStatements();
    insertLine(QStringLiteral("nut"), 3);
    const QStringList sent = collectionStatements();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_TRUE(sent[0].startsWith(QLatin1String("begin\n  update cde_order m\n")));
    EXPECT_TRUE(sent[1].startsWith(
        QLatin1String("insert into the (select m.lines from cde_order m where m.no = :no)\n")));
    EXPECT_EQ(elementsOnServer(4), QStringList { QStringLiteral("nut x 3") });
    detail->Delete();
    EXPECT_EQ(elementsOnServer(4), QStringList {});
}

TEST_F(CollectionDetailEdit, ADeletedElementIsGone)
{
    toMaster(1);
    ASSERT_TRUE(toLine(QStringLiteral("nail")));
    detail->Delete();
    EXPECT_EQ(lines(), QStringList { QStringLiteral("screw x 4") });
    EXPECT_EQ(elementsOnServer(1), QStringList { QStringLiteral("screw x 4") });
    detail->First();
    detail->Delete();
    EXPECT_TRUE(detail->IsEmpty());
    // The last element gone leaves an empty collection, not a null one.
    EXPECT_EQ(elementsOnServer(1), QStringList {});
}

TEST_F(CollectionDetailEdit, TheDetailFollowsTheMasterAfterEdits)
{
    toMaster(1);
    ASSERT_TRUE(toLine(QStringLiteral("nail")));
    detail->Edit();
    detail->FieldByName(QStringLiteral("QTY"))->SetAsInteger(11);
    detail->Post();
    toMaster(4);
    insertLine(QStringLiteral("pin"), 7);

    const struct {
        int no;
        QStringList lines;
    } rows[] = {
        { 1, { QStringLiteral("nail x 11"), QStringLiteral("screw x 4") } },
        { 2, {} },
        { 3, { QStringLiteral("bolt x 1") } },
        { 4, { QStringLiteral("pin x 7") } },
        { 5, {} },
    };
    for (const auto &row : rows) {
        toMaster(row.no);
        EXPECT_EQ(lines(), row.lines) << row.no;
    }
    // Read again from the server, not from what the detail kept.
    master->Refresh();
    for (const auto &row : rows) {
        toMaster(row.no);
        EXPECT_EQ(lines(), row.lines) << row.no;
    }
}

} // namespace
} // namespace qd
