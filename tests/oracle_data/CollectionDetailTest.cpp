// A detail dataset over a nested-table column of its master, set up by the automatic
// master/detail configuration: the detail reads the elements of the master's current row and
// follows the master as it scrolls.
#include "DataSetTestFixture.h"

#include "oracle/ScreenServices.h"
#include "oracle_data/MasterDetailSetup.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

class CollectionDetail : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        execIgnoringErrors(QStringLiteral("drop table cd_order"));
        exec(QStringLiteral("create or replace type cd_line as object (item varchar2(20), "
                            "qty number(6))"));
        exec(QStringLiteral("create or replace type cd_lines as table of cd_line"));
        exec(QStringLiteral("create table cd_order (no number(6) primary key, note varchar2(20), "
                            "lines cd_lines)"));
        exec(QStringLiteral("insert into cd_order values (1, 'first', "
                            "cd_lines(cd_line('nail', 10), cd_line('screw', 4)))"));
        exec(QStringLiteral("insert into cd_order values (2, 'second', cd_lines())"));
        exec(QStringLiteral("insert into cd_order values (3, 'third', "
                            "cd_lines(cd_line('bolt', 1)))"));
        exec(QStringLiteral("insert into cd_order values (4, 'fourth', null)"));
        session->Commit();

        master = std::make_unique<TOracleDataSet>();
        master->SetName(QStringLiteral("Orders"));
        master->SetSession(session.get());
        master->SetSQLText(QStringLiteral("select o.*, o.rowid from cd_order o order by no"));
        detail = std::make_unique<TOracleDataSet>();
        detail->SetName(QStringLiteral("Lines"));
        detail->SetSession(session.get());
        detail->SetSQLText(QStringLiteral("select * from cd_order"));
        detail->SetMaster(master.get());
        ui.selectCollectionColumn = [this](const QStringList &entries, int &index, bool &readOnly) {
            offered = entries;
            index = 0;
            readOnly = pickReadOnly;
            return true;
        };
    }

    void TearDown() override
    {
        ResetScreenServices();
        detail.reset();
        master.reset();
        DataSetFixture::TearDown();
    }

    // The detail's rows as "item x qty".
    QStringList lines()
    {
        QStringList out;
        for (detail->First(); !detail->Eof(); detail->Next())
            out << detail->FieldByName(QStringLiteral("ITEM"))->AsString() + QStringLiteral(" x ")
                    + detail->FieldByName(QStringLiteral("QTY"))->AsString();
        return out;
    }

    std::unique_ptr<TOracleDataSet> master;
    std::unique_ptr<TOracleDataSet> detail;
    MasterDetailSetupUi ui;
    QStringList offered;
    bool pickReadOnly = true; // the picker's check box as it starts: checked
};

TEST_F(CollectionDetail, TheDetailShowsTheCurrentMasterRowsElements)
{
    ASSERT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::Collection);
    EXPECT_EQ(offered, QStringList { QStringLiteral("LINES (DEMO.CD_LINES)") });
    EXPECT_EQ(detail->GetSQL().trimmed(),
        "select t.*\r\n"
        "from table(select m.lines\r\n"
        "           from   cd_order m\r\n"
        "           where  m.no = :no) t");

    master->Open();
    detail->Open();
    ASSERT_EQ(detail->FieldCount(), 2);
    EXPECT_EQ(detail->Fields()[0]->FieldName(), "ITEM");
    EXPECT_EQ(detail->Fields()[1]->FieldName(), "QTY");
    EXPECT_EQ(lines(), (QStringList { QStringLiteral("nail x 10"), QStringLiteral("screw x 4") }));

    // Scrolling the master reruns the detail for each row: an empty and a null collection have
    // no elements.
    const struct {
        const char *note;
        QStringList lines;
    } rows[] = {
        { "second", {} },
        { "third", { QStringLiteral("bolt x 1") } },
        { "fourth", {} },
    };
    for (const auto &row : rows) {
        master->Next();
        ASSERT_EQ(master->FieldByName(QStringLiteral("NOTE"))->AsString(), row.note);
        EXPECT_EQ(lines(), row.lines) << row.note;
        EXPECT_EQ(detail->Eof() && detail->Bof(), row.lines.isEmpty()) << row.note;
    }
    master->First();
    EXPECT_EQ(lines(), (QStringList { QStringLiteral("nail x 10"), QStringLiteral("screw x 4") }));
}

TEST_F(CollectionDetail, AnElementAddedToTheMasterRowShowsOnRefresh)
{
    ASSERT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::Collection);
    master->Open();
    detail->Open();
    master->Next();
    master->Next(); // "third"
    EXPECT_EQ(lines(), QStringList { QStringLiteral("bolt x 1") });
    exec(QStringLiteral("update cd_order set lines = cd_lines(cd_line('bolt', 1), "
                        "cd_line('washer', 2)) where no = 3"));
    detail->Refresh();
    EXPECT_EQ(lines(), (QStringList { QStringLiteral("bolt x 1"), QStringLiteral("washer x 2") }));
    session->Rollback();
}

TEST_F(CollectionDetail, WithRowidTheDetailStillReads)
{
    pickReadOnly = false;
    ASSERT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::Collection);
    ASSERT_TRUE(detail->GetSQL().startsWith(QStringLiteral("select t.*, rowid\r\n")));
    master->Open();
    detail->Open();
    EXPECT_EQ(lines(), (QStringList { QStringLiteral("nail x 10"), QStringLiteral("screw x 4") }));
    master->Last();
    EXPECT_EQ(lines(), QStringList {});
}

} // namespace
} // namespace qd
