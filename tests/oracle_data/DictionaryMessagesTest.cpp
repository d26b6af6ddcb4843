#include "DataSetTestFixture.h"

#include "oracle_data/OracleTableInfo.h"

#include "shell/QtScreenServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace qd {
namespace {

// The dictionary load of a dataset driven by a worker thread tells the user what went wrong
// through the screen services, and the message box appears on the GUI thread.
class DictionaryMessages : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        QtScreenServices::install();
    }
    void TearDown() override
    {
        QtScreenServices::uninstall();
        DataSetFixture::TearDown();
    }
};

TEST_F(DictionaryMessages, AFailedLoadOnAWorkerIsShownOnTheGuiThread)
{
    createTable(QStringLiteral("DM_ROWS"), QStringLiteral("id number(4), name varchar2(10)"));
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, t.* from DM_ROWS t"));
    // The defaults are read from a table the server does not know.
    ds.SetUpdatingTable(QStringLiteral("DM_MISSING"));
    ds.OracleDictionary().DefaultValues = true;
    ds.Open();

    QThread *boxThread = nullptr;
    QString text;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        boxThread = box->thread();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();

    // The worker drives the dataset while the GUI thread only runs its event loop.
    std::atomic<bool> done { false };
    QString workerError;
    std::thread worker([&] {
        try {
            ds.Insert();
            ds.Cancel();
        } catch (const std::exception &e) {
            workerError = QString::fromUtf8(e.what());
        }
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    worker.join();
    EXPECT_EQ(workerError, QString()) << "the failed load must not fail the insert";
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxThread != nullptr; }, 5000));
    EXPECT_EQ(boxThread, QApplication::instance()->thread());
    EXPECT_TRUE(text.contains(QStringLiteral("ORA-00942"))) << text.toStdString();

    // What the worker read stays in the session's cache: it is not read (nor shown) again.
    TOracleTableInfoCache &cache = TOracleTableInfoCache::ForSession(session.get());
    EXPECT_EQ(cache.parent(), session.get());
    EXPECT_EQ(cache.thread(), QApplication::instance()->thread());
    EXPECT_EQ(cache.Count(), 1);
    boxThread = nullptr;
    poll.start();
    ds.Insert();
    ds.Cancel();
    QTest::qWait(50);
    EXPECT_EQ(boxThread, nullptr) << "the failed load was repeated";
    poll.stop();
}

} // namespace
} // namespace qd
