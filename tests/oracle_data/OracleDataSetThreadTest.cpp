#include "DataSetTestFixture.h"

#include "classlib/DataSetModel.h"
#include "classlib/DataSource.h"
#include "classlib/ThreadHandOver.h"

#include <QCoreApplication>
#include <QTableView>
#include <QThread>

namespace qd::test {
namespace {

using OracleDataSetThread = DataSetFixture;

TEST_F(OracleDataSetThread, LastOnAWorkerWhileATableViewShowsTheDataSet)
{
    constexpr int rows = 2000;
    createNumbered(QStringLiteral("ds_thread"), rows);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_thread order by id"));
    ds.SetQueryAllRecords(false);
    ds.SetReadBuffer(50);
    TDataSource source;
    source.SetDataSet(&ds);
    DataSetModel model;
    model.SetBatchSize(100);
    model.SetDataSource(&source);
    QTableView view;
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    ds.Open();
    EXPECT_EQ(model.rowCount(), 100);
    EXPECT_EQ(model.CurrentRow(), 0);
    EXPECT_LT(ds.RecordStore()->Count(), rows);

    model.Detach();
    QString error;
    bool onGuiThreadInWorker = true;
    QThread *worker = QThread::create([&] {
        const ThreadRunScope scope(QThread::currentThread());
        onGuiThreadInWorker = QThread::currentThread() == qApp->thread();
        try {
            ds.Last();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
    });
    worker->start();
    while (!worker->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker->wait();
    ThreadJoined(worker);
    delete worker;
    QCoreApplication::processEvents();
    EXPECT_FALSE(onGuiThreadInWorker);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    // The worker's copy of the rows reached the view through the GUI thread.
    EXPECT_TRUE(model.Detached());
    EXPECT_EQ(model.rowCount(), rows);
    EXPECT_EQ(model.CurrentRow(), rows - 1);
    EXPECT_EQ(model.data(model.index(rows - 1, 0)).toString(), QString::number(rows));

    model.Reattach();
    EXPECT_EQ(ds.RecNo(), rows);
    EXPECT_EQ(model.rowCount(), rows);
    EXPECT_TRUE(model.SetCurrentRow(10));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 11);
    view.hide();
    ds.Close();
}

} // namespace
} // namespace qd::test
