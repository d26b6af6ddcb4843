// A detail dataset over a nested-table column of its master, set up by the automatic
// master/detail configuration: the detail reads the elements of the master's current row and
// follows the master as it scrolls.
#include "OrderLinesFixture.h"

#include "oracle_data/MasterDetailSetup.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

class CollectionDetail : public test::OrderLinesFixture {
protected:
    void SetUp() override
    {
        OrderLinesFixture::SetUp();
        createOrders(QStringLiteral("cd"));
        ui.selectCollectionColumn = [this](const QStringList &entries, int &index, bool &readOnly) {
            offered = entries;
            index = 0;
            readOnly = pickReadOnly;
            return true;
        };
    }

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
