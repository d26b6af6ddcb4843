// A QTableView over a TMemoryData through the grid model (offscreen platform).
#include "MemoryDataFixture.h"

#include "classlib/DataSetModel.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace qd::test {
namespace {

enum Column { NAME, QTY, NOTE };

TEST(MemoryDataGrid, ShowsEditsAsTheyArePosted)
{
    auto ds = makeItems();
    for (int i = 1; i <= 3; ++i)
        appendItem(*ds, QStringLiteral("item %1").arg(i), i * 10);
    TDataSource source;
    source.SetDataSet(ds.get());
    DataSetModel model;
    model.SetDataSource(&source);
    QTableView view;
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto text = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::DisplayRole).toString();
    };
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(text(1, NAME), QStringLiteral("item 2"));
    EXPECT_EQ(text(2, QTY), QStringLiteral("30"));
    EXPECT_EQ(model.CurrentRow(), 2);

    // Posted changes through the dataset.
    ds->First();
    ds->Edit();
    ds->FieldByName(QStringLiteral("QTY"))->SetAsInteger(11);
    ds->Post();
    EXPECT_EQ(text(0, QTY), QStringLiteral("11"));
    ds->Append();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("appended"));
    ds->Post();
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(text(3, NAME), QStringLiteral("appended"));
    EXPECT_EQ(text(3, QTY), QString()) << "null shown empty";
    ds->First();
    ds->Next();
    ds->Insert();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("inserted"));
    ds->Post();
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(text(1, NAME), QStringLiteral("inserted"));
    EXPECT_EQ(text(2, NAME), QStringLiteral("item 2"));
    ds->Delete();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(text(1, NAME), QStringLiteral("item 2"));

    // A sort shows in the new order.
    ds->SortByFields(QStringLiteral("NAME"), false, true);
    EXPECT_EQ(text(0, NAME), QStringLiteral("item 3"));
    EXPECT_EQ(text(3, NAME), QStringLiteral("appended"));

    // An edit typed in the view's editor reaches the record when it is posted.
    const QModelIndex cell = model.index(1, NAME);
    view.setCurrentIndex(cell);
    view.edit(cell);
    auto *editor = view.findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "typed");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(ds->State(), dsEdit);
    ds->Post();
    EXPECT_EQ(text(1, NAME), QStringLiteral("typed"));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("typed"));
    EXPECT_EQ(column(*ds, QStringLiteral("NAME")),
        QStringList({ "item 3", "typed", "item 1", "appended" }));

    // Emptying empties the view.
    ds->DeleteAllRecords();
    EXPECT_EQ(model.rowCount(), 0);
    view.setModel(nullptr);
}

} // namespace
} // namespace qd::test
