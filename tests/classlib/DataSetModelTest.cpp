// The grid model under a real QTableView (offscreen platform).
#include "DataSetFixture.h"

#include "classlib/DataSetModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

namespace qd::test {
namespace {

enum Column { ID, NAME, AMOUNT, NOTE };

struct Grid {
    std::unique_ptr<VectorDataSet> ds;
    TDataSource source;
    DataSetModel model;
    QTableView view;
    int offGuiSignals = 0;

    explicit Grid(std::unique_ptr<VectorDataSet> dataSet)
        : ds(std::move(dataSet))
    {
        source.SetDataSet(ds.get());
        model.SetDataSource(&source);
        view.setModel(&model);
        view.resize(500, 300);
        // Qt may be touched on the GUI thread only: count signals emitted anywhere else.
        auto check = [this] {
            if (QThread::currentThread() != qApp->thread())
                ++offGuiSignals;
        };
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, check);
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, check);
        QObject::connect(&model, &QAbstractItemModel::dataChanged, check);
        QObject::connect(&model, &QAbstractItemModel::modelReset, check);
        QObject::connect(&model, &DataSetModel::currentRowChanged, check);
    }
    ~Grid()
    {
        view.setModel(nullptr);
        if (ds)
            ds->Close();
    }
    QString text(int row, int column, int role = Qt::DisplayRole) const
    {
        return model.data(model.index(row, column), role).toString();
    }
    QStringList names() const
    {
        QStringList result;
        for (int r = 0; r < model.rowCount(); ++r)
            result << text(r, NAME);
        return result;
    }
    // The view's columns get the fields' display widths in characters.
    void applyWidths()
    {
        const QFontMetrics metrics(view.font());
        for (int c = 0; c < model.columnCount(); ++c)
            view.setColumnWidth(c,
                metrics.horizontalAdvance(QLatin1Char('0'))
                        * model.headerData(c, Qt::Horizontal, DataSetModel::DisplayWidthRole)
                              .toInt()
                    + 8);
    }
};

TEST(DataSetModel, ShowsHeadersTextsAndNullsEmpty)
{
    Grid grid(makePeople(4));
    grid.ds->FieldByName("NAME")->SetDisplayLabel("Name");
    grid.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid.view));
    ASSERT_EQ(grid.model.rowCount(), 4);
    ASSERT_EQ(grid.model.columnCount(), 4);
    EXPECT_EQ(grid.model.headerData(NAME, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
    EXPECT_EQ(grid.model.headerData(ID, Qt::Horizontal, Qt::DisplayRole).toString(), "ID");
    EXPECT_EQ(grid.model.headerData(NAME, Qt::Horizontal, DataSetModel::DisplayWidthRole), 20);
    EXPECT_EQ(grid.text(1, NAME), "P2");
    EXPECT_EQ(grid.text(2, AMOUNT), "4.5");
    EXPECT_EQ(grid.text(0, NOTE), "(MEMO)");
    EXPECT_EQ(grid.text(1, NOTE), "") << "null shown empty";
    EXPECT_EQ(grid.model.data(grid.model.index(0, AMOUNT), Qt::TextAlignmentRole).toInt()
            & Qt::AlignRight,
        Qt::AlignRight);
    grid.applyWidths();
    EXPECT_GT(grid.view.columnWidth(NAME), grid.view.columnWidth(ID));
    EXPECT_EQ(grid.model.CurrentRow(), 0);
    EXPECT_TRUE(grid.model.flags(grid.model.index(0, NAME)) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.model.flags(grid.model.index(0, NOTE)) & Qt::ItemIsEditable);

    grid.ds->FieldByName("AMOUNT")->SetVisible(false);
    EXPECT_EQ(grid.model.columnCount(), 3);
    grid.ds->SetReadOnly(true);
    grid.ds->FieldByName("ID")->SetVisible(false);
    EXPECT_FALSE(grid.model.flags(grid.model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(DataSetModel, FollowsEveryDataEvent)
{
    Grid grid(makePeople(4));
    QSignalSpy current(&grid.model, &DataSetModel::currentRowChanged);
    grid.ds->Next();
    grid.ds->Next();
    EXPECT_EQ(grid.model.CurrentRow(), 2);
    EXPECT_EQ(current.count(), 2);

    grid.ds->Edit();
    grid.ds->FieldByName("NAME")->SetAsString("edited");
    EXPECT_EQ(grid.text(2, NAME), "edited") << "a field change shows before the post";
    grid.ds->FieldByName("AMOUNT")->SetDisplayWidth(12);
    EXPECT_EQ(grid.model.headerData(AMOUNT, Qt::Horizontal, DataSetModel::DisplayWidthRole), 12);
    EXPECT_EQ(grid.text(2, NAME), "edited") << "a rebuild during the edit shows the edit";
    grid.ds->Cancel();
    EXPECT_EQ(grid.text(2, NAME), "P3");

    grid.ds->Insert();
    EXPECT_EQ(grid.names(), QStringList({ "P1", "P2", "", "P3", "P4" }));
    EXPECT_EQ(grid.model.CurrentRow(), 2);
    grid.ds->FieldByName("ID")->SetAsInteger(9);
    grid.ds->FieldByName("NAME")->SetAsString("new");
    EXPECT_EQ(grid.text(2, NAME), "new");
    grid.ds->Post();
    EXPECT_EQ(grid.names(), QStringList({ "P1", "P2", "new", "P3", "P4" }));

    grid.ds->Append();
    EXPECT_EQ(grid.model.rowCount(), 6);
    EXPECT_EQ(grid.model.CurrentRow(), 5);
    grid.ds->Cancel();
    EXPECT_EQ(grid.model.rowCount(), 5);

    grid.ds->First();
    grid.ds->Delete();
    EXPECT_EQ(grid.names(), QStringList({ "P2", "new", "P3", "P4" }));
    EXPECT_EQ(grid.model.CurrentRow(), 0);

    grid.ds->SetOnFilterRecord(
        [](TDataSet *d, bool &accept) { accept = d->FieldByName("NAME")->AsString() != "new"; });
    grid.ds->SetFiltered(true);
    EXPECT_EQ(grid.names(), QStringList({ "P2", "P3", "P4" }));

    grid.ds->Close();
    EXPECT_EQ(grid.model.rowCount(), 0);
    EXPECT_EQ(grid.model.columnCount(), 0);
    grid.ds->Open();
    EXPECT_EQ(grid.model.rowCount(), 4);
    EXPECT_EQ(grid.offGuiSignals, 0);
}

TEST(DataSetModel, FetchesMoreRowsAsTheViewScrolls)
{
    auto ds = makePeople(100, false);
    ds->SetReadBuffer(10);
    Grid grid(std::move(ds));
    grid.model.SetBatchSize(20);
    grid.ds->Open();
    grid.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid.view));
    EXPECT_EQ(grid.model.rowCount(), 20);
    EXPECT_LE(grid.ds->FetchedCount(), 30) << "only what is shown is fetched";
    EXPECT_TRUE(grid.model.canFetchMore({}));
    for (int i = 0; i < 20 && grid.model.canFetchMore({}); ++i) {
        grid.view.scrollToBottom();
        QApplication::processEvents();
    }
    EXPECT_EQ(grid.model.rowCount(), 100);
    EXPECT_FALSE(grid.model.canFetchMore({}));
    EXPECT_EQ(grid.text(99, NAME), "P100");
    EXPECT_EQ(grid.ds->FieldByName("ID")->AsInteger(), 1) << "reading rows does not scroll";

    grid.ds->Last();
    EXPECT_EQ(grid.model.CurrentRow(), 99);
}

TEST(DataSetModel, LastOnALazyDataSetShowsTheRowsUpToTheCurrentOne)
{
    auto ds = makePeople(60, false);
    ds->SetReadBuffer(10);
    Grid grid(std::move(ds));
    grid.model.SetBatchSize(10);
    grid.ds->Open();
    EXPECT_EQ(grid.model.rowCount(), 10);
    grid.ds->Last();
    EXPECT_EQ(grid.model.rowCount(), 60);
    EXPECT_EQ(grid.model.CurrentRow(), 59);
}

TEST(DataSetModel, EditsThroughTheViewsEditor)
{
    Grid grid(makePeople(4));
    grid.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid.view));
    const QModelIndex cell = grid.model.index(2, NAME);
    EXPECT_EQ(grid.model.data(cell, Qt::EditRole).toString(), "P3");
    grid.view.setCurrentIndex(cell);
    grid.view.edit(cell);
    auto *editor = grid.view.findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Zed");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(grid.ds->State(), dsEdit) << "the edit waits for the row to be left";
    EXPECT_EQ(grid.ds->FieldByName("ID")->AsInteger(), 3) << "the dataset moved to the row";
    EXPECT_EQ(grid.text(2, NAME), "Zed");

    // Editing another row posts the first edit.
    EXPECT_TRUE(grid.model.setData(grid.model.index(0, AMOUNT), "2,500.25"));
    EXPECT_EQ(grid.ds->StoredValue(2, "NAME").AsString(), "Zed");
    EXPECT_EQ(grid.ds->FieldByName("ID")->AsInteger(), 1);
    grid.ds->Post();
    EXPECT_EQ(grid.text(0, AMOUNT), "2500.25");

    QSignalSpy errors(&grid.model, &DataSetModel::errorOccurred);
    EXPECT_FALSE(grid.model.setData(grid.model.index(1, ID), "x1"));
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), "'x1' is not a valid integer value for field 'ID'");
    grid.ds->Cancel();
    EXPECT_EQ(grid.text(1, ID), "2");

    // A post refused by a required field is reported, and the record stays in edit.
    EXPECT_TRUE(grid.model.setData(grid.model.index(1, NAME), ""));
    EXPECT_FALSE(grid.model.SetCurrentRow(3));
    EXPECT_EQ(errors.count(), 2);
    EXPECT_EQ(errors.at(1).at(0).toString(), "Field 'NAME' must have a value");
    EXPECT_EQ(grid.ds->State(), dsEdit);
    grid.ds->Cancel();
    EXPECT_EQ(grid.offGuiSignals, 0);
}

// A worker thread fills the dataset while the view shows it. The view is detached for the
// time, gets the rows through queued copies, and is reattached when the worker is done.
TEST(DataSetModel, ADataSetFilledOnAWorkerReachesTheViewThroughQueuedCopies)
{
    Grid grid(makePeople(2));
    grid.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid.view));
    constexpr int total = 300;
    grid.model.Detach();
    EXPECT_FALSE(grid.model.flags(grid.model.index(0, NAME)) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.model.canFetchMore({}));
    std::atomic<bool> done { false };
    std::atomic<int> failures { 0 };
    std::thread worker([&] {
        try {
            for (int i = 3; i <= total; ++i) {
                grid.ds->Append();
                grid.ds->FieldByName("ID")->SetAsInteger(i);
                grid.ds->FieldByName("NAME")->SetAsString(QStringLiteral("W%1").arg(i));
                grid.ds->Post();
            }
        } catch (...) {
            ++failures;
        }
        done = true;
    });
    int seenWhileRunning = 0;
    while (!done) {
        QApplication::processEvents();
        grid.view.viewport()->repaint(); // the view reads the model while the worker runs
        seenWhileRunning = std::max(seenWhileRunning, grid.model.rowCount());
    }
    worker.join();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(grid.model.Detached());
    // The last copy is the one after the last post (an earlier one shows the appended row
    // still empty).
    QTRY_COMPARE(grid.text(total - 1, NAME), QStringLiteral("W%1").arg(total));
    QApplication::processEvents();
    EXPECT_EQ(grid.model.rowCount(), total);
    EXPECT_GE(seenWhileRunning, 2);
    EXPECT_EQ(grid.model.CurrentRow(), total - 1);

    grid.model.Reattach();
    EXPECT_FALSE(grid.model.Detached());
    EXPECT_EQ(grid.model.rowCount(), total);
    EXPECT_TRUE(grid.model.setData(grid.model.index(0, NAME), "back"));
    grid.ds->Post();
    EXPECT_EQ(grid.text(0, NAME), "back");
    EXPECT_EQ(grid.offGuiSignals, 0);
}

TEST(DataSetModel, ADataSetOpenedAndScrolledOnAWorkerShowsItsRows)
{
    Grid grid(makePeople(5, false));
    EXPECT_EQ(grid.model.columnCount(), 0);
    grid.model.Detach();
    std::thread worker([&] {
        grid.ds->Open();
        grid.ds->MoveBy(3);
    });
    worker.join();
    QTRY_COMPARE(grid.model.CurrentRow(), 3);
    EXPECT_EQ(grid.model.columnCount(), 4);
    EXPECT_EQ(grid.model.rowCount(), 5);
    EXPECT_EQ(grid.text(4, NAME), "P5");
    grid.model.Reattach();
    EXPECT_EQ(grid.model.CurrentRow(), 3);
    EXPECT_TRUE(grid.model.SetCurrentRow(1));
    EXPECT_EQ(grid.ds->FieldByName("ID")->AsInteger(), 2);
    EXPECT_EQ(grid.offGuiSignals, 0);
}

// A worker moving through many rows while the GUI thread is busy elsewhere: its steps make
// one copy of the rows at a time (not one each), and the current row still follows it to
// where it stopped.
TEST(DataSetModel, AWorkerScrollingManyRowsMakesOneCopyAtATime)
{
    constexpr int total = 200;
    Grid grid(makePeople(total));
    ASSERT_EQ(grid.model.rowCount(), total);
    int copiesShown = 0;
    auto count = [&copiesShown] { ++copiesShown; };
    QObject::connect(&grid.model, &QAbstractItemModel::rowsInserted, count);
    QObject::connect(&grid.model, &QAbstractItemModel::dataChanged, count);
    QObject::connect(&grid.model, &QAbstractItemModel::modelReset, count);
    grid.model.Detach();
    std::thread worker([&] {
        grid.ds->First();
        while (!grid.ds->Eof())
            grid.ds->Next();
    });
    worker.join();
    QTRY_COMPARE(grid.model.CurrentRow(), total - 1);
    QApplication::processEvents();
    EXPECT_LE(copiesShown, 2);
    EXPECT_EQ(grid.model.rowCount(), total);
    EXPECT_EQ(grid.text(total - 1, NAME), QStringLiteral("P%1").arg(total));
    EXPECT_EQ(grid.offGuiSignals, 0);
}

TEST(DataSetModel, AWorkerWithoutDetachDetachesTheModelByItsFirstEvent)
{
    Grid grid(makePeople(3));
    std::thread worker([&] {
        grid.ds->Last();
        grid.ds->Edit();
        grid.ds->FieldByName("NAME")->SetAsString("from worker");
        grid.ds->Post();
    });
    worker.join();
    EXPECT_TRUE(grid.model.Detached());
    EXPECT_FALSE(grid.model.canFetchMore({}));
    QTRY_COMPARE(grid.text(2, NAME), QStringLiteral("from worker"));
    EXPECT_EQ(grid.model.CurrentRow(), 2);
    // The GUI thread drives the dataset again: its first event reattaches.
    grid.ds->First();
    EXPECT_FALSE(grid.model.Detached());
    EXPECT_EQ(grid.model.CurrentRow(), 0);
    EXPECT_EQ(grid.offGuiSignals, 0);
}

} // namespace
} // namespace qd::test
