// Calls handed between a worker and the GUI thread, and a worker's end seen by the thread that
// deletes it. The data handed over is plain (no atomics, no locks of ours): under the
// ThreadSanitizer build a hand-over that is not marked fails the test with a race report.
#include "classlib/ThreadHandOver.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace qd::test {
namespace {

TEST(ThreadHandOver, AQueuedCallRunsOnTheReceiversThreadAndSeesWhatTheWorkerWrote)
{
    QObject receiver;
    std::vector<int> written; // plain data the worker fills before posting
    std::vector<int> seen;
    QThread *ranOn = nullptr;
    bool ran = false;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            written.push_back(i);
        auto payload = std::make_shared<std::vector<int>>(written);
        PostCall(&receiver, [&, payload] {
            ranOn = QThread::currentThread();
            seen = *payload;
            seen.push_back(written.back());
            ran = true;
        });
    });
    worker.join();
    EXPECT_FALSE(ran) << "a queued call runs from the receiver's event loop, not at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 30000));
    EXPECT_EQ(ranOn, receiver.thread());
    ASSERT_EQ(seen.size(), 101u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 99);
}

TEST(ThreadHandOver, AQueuedCallToAReceiverGoneIsDroppedAndItsCapturesFreed)
{
    auto payload = std::make_shared<int>(7);
    std::weak_ptr<int> watch = payload;
    bool ran = false;
    {
        QObject receiver;
        std::thread worker([&, payload = std::move(payload)]() mutable {
            PostCall(&receiver, [&ran, payload] { ran = *payload == 7; });
            payload.reset();
        });
        worker.join();
        EXPECT_FALSE(watch.expired()) << "the queued call holds its captures";
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(watch.expired());
}

TEST(ThreadHandOver, ABlockingCallRunsOnTheReceiversThreadAndTheWorkerSeesItsResult)
{
    QObject receiver;
    int input = 0;
    std::vector<QString> results; // written on the GUI thread, read on the worker
    QThread *ranOn = nullptr;
    std::vector<QString> readBack;
    bool workerDone = false;
    std::thread worker([&] {
        for (int i = 1; i <= 3; ++i) {
            input = i;
            BlockingCall(&receiver, [&] {
                ranOn = QThread::currentThread();
                results.push_back(QString::number(input * 10));
            });
            readBack.push_back(results.back());
        }
        workerDone = true;
    });
    // The worker waits for every call, so the GUI thread has to serve them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.size() == 3; }, 30000));
    worker.join();
    EXPECT_TRUE(workerDone);
    EXPECT_EQ(ranOn, receiver.thread());
    EXPECT_EQ(readBack, (std::vector<QString> { "10", "20", "30" }));
}

// A worker whose results the GUI thread reads, then deletes it, in the two ways the windows
// do: waiting for it, or from its finished signal.
class ResultThread : public QThread {
public:
    std::vector<int> result;

protected:
    void run() override
    {
        const ThreadRunScope scope(this);
        for (int i = 0; i < 50; ++i)
            result.push_back(i * i);
    }
};

TEST(ThreadHandOver, AWorkersResultsAreReadAndItIsDeletedAfterItsEnd)
{
    {
        auto thread = std::make_unique<ResultThread>();
        thread->start();
        ASSERT_TRUE(thread->wait(QDeadlineTimer(30000)));
        ThreadJoined(thread.get());
        ASSERT_EQ(thread->result.size(), 50u);
        EXPECT_EQ(thread->result.back(), 49 * 49);
    }
    {
        auto *thread = new ResultThread;
        size_t size = 0;
        bool ended = false;
        QObject::connect(thread, &QThread::finished, qApp, [&, thread] {
            ThreadJoined(thread);
            size = thread->result.size();
            ended = true;
            thread->wait();
            delete thread;
        });
        thread->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 30000));
        EXPECT_EQ(size, 50u);
    }
}

} // namespace
} // namespace qd::test
