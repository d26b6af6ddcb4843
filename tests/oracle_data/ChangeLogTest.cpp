#include "oracle_data/ChangeLog.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace qd {
namespace {

// A record copy as the dataset would keep it.
struct Rec {
    QString value;
};

std::unique_ptr<Rec> rec(const char *value)
{
    return std::make_unique<Rec>(Rec { QString::fromUtf8(value) });
}

using Log = TChangeLog<Rec>;

TEST(ChangeLog, ChangesOfOneRecordMerge)
{
    struct Step {
        QChar action;
        const char *value;
    };
    struct {
        const char *what;
        QList<Step> steps;
        int entries;
        QChar action; // of the remaining entry
        const char *newValue; // its new record, "" for none
        int net;
    } const cases[] = {
        { "insert then delete leaves nothing", { { u'I', "a" }, { u'D', "" } }, 0, u' ', "", 0 },
        { "insert then edit stays an insert of the latest record", { { u'I', "a" }, { u'U', "b" } },
            1, u'I', "b", 1 },
        { "edit twice keeps one update of the latest record", { { u'U', "a" }, { u'U', "b" } }, 1,
            u'U', "b", 0 },
        { "edit then delete becomes a delete", { { u'U', "a" }, { u'D', "" } }, 1, u'D', "", -1 },
        { "delete then edit changes nothing", { { u'D', "" }, { u'U', "b" } }, 1, u'D', "", -1 },
        { "insert then insert changes nothing", { { u'I', "a" }, { u'I', "b" } }, 1, u'I', "a", 1 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Log log;
        for (const Step &s : c.steps) {
            log.Log(s.action, 42, 3, s.action == u'I' ? nullptr : rec("old"),
                s.action == u'D' ? nullptr : rec(s.value), false);
        }
        ASSERT_EQ(log.Count(), c.entries);
        EXPECT_EQ(log.NetCount(), c.net);
        if (c.entries == 0)
            continue;
        const auto &item = log.Items(0);
        EXPECT_EQ(item.action, c.action);
        EXPECT_EQ(item.bookmark, 42);
        if (*c.newValue) {
            ASSERT_TRUE(item.newRecord);
            EXPECT_EQ(item.newRecord->value, QString::fromUtf8(c.newValue));
        } else {
            EXPECT_FALSE(item.newRecord);
        }
    }
}

TEST(ChangeLog, FirstChangesShiftTheInsertsAtOrAfterThem)
{
    Log log;
    log.Log(u'I', 1, 5, nullptr, rec("a"), false);
    log.Log(u'I', 2, 2, nullptr, rec("b"), false); // before the first insert: it moves up
    ASSERT_NE(log.Find(1), nullptr);
    EXPECT_EQ(log.Find(1)->position, 6);
    log.Log(u'D', 3, 4, rec("c"), nullptr, false); // before it again: it moves down
    EXPECT_EQ(log.Find(1)->position, 5);
    EXPECT_EQ(log.Find(2)->position, 2);
    log.Log(u'U', 4, 0, rec("d"), rec("e"), true); // an update moves nothing
    EXPECT_EQ(log.Find(1)->position, 5);
    EXPECT_TRUE(log.Find(4)->providerMark);
    EXPECT_EQ(log.FindInsertAt(5), log.Find(1));
    EXPECT_EQ(log.FindInsertAt(4), nullptr);
    EXPECT_EQ(log.NetCount(), 1);
}

// A cancel undoes the entries newest first: a delete comes back at its logged position, an
// insert is found by its identity (here its value). A list stands in for the store.
QStringList cancelled(Log &log, QStringList store)
{
    log.Cancel([&store](Log::Item &item) {
        if (item.action == u'D')
            store.insert(item.position, item.oldRecord->value);
        else if (item.action == u'I')
            store.removeOne(item.newRecord->value);
    });
    return store;
}

TEST(ChangeLog, AMergedDeleteStandsWhereItHappened)
{
    // Store 1 2 3: edit 1, insert x before 3, delete 2, delete the edited 1.
    Log log;
    log.Log(u'U', 1, 0, rec("1"), rec("1*"), false);
    log.Log(u'I', 9, 2, nullptr, rec("x"), false); // 1 2 x 3
    log.Log(u'D', 2, 1, rec("2"), nullptr, false); // 1 x 3
    log.Log(u'D', 1, 0, rec("1*"), nullptr, false); // x 3
    ASSERT_EQ(log.Count(), 3);
    EXPECT_EQ(log.Items(2).bookmark, 1) << "the delete is the newest change";
    EXPECT_EQ(log.Items(2).action, u'D');
    EXPECT_EQ(log.Items(2).position, 0);
    EXPECT_EQ(log.Find(9)->position, 0);
    EXPECT_EQ(cancelled(log, { "x", "3" }), (QStringList { "1", "2", "3" }));

    // Store a b: insert y after a and z at the end, then delete y again.
    log.Log(u'I', 7, 1, nullptr, rec("y"), false); // a y b
    log.Log(u'I', 8, 3, nullptr, rec("z"), false); // a y b z
    log.Log(u'D', 7, 1, rec("y"), nullptr, false); // a b z
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.Find(8)->position, 2);
    EXPECT_EQ(cancelled(log, { "a", "b", "z" }), (QStringList { "a", "b" }));

    // Store 1 2 3: insert x first, delete 2, delete x again.
    log.Log(u'I', 9, 0, nullptr, rec("x"), false); // x 1 2 3
    log.Log(u'D', 2, 2, rec("2"), nullptr, false); // x 1 3
    log.Log(u'D', 9, 0, rec("x"), nullptr, false); // 1 3
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.Items(0).position, 1) << "without x, 2 stood second";
    EXPECT_EQ(cancelled(log, { "1", "3" }), (QStringList { "1", "2", "3" }));

    // Store a b: insert x after a and y at the end, delete b, delete x again.
    log.Log(u'I', 9, 1, nullptr, rec("x"), false); // a x b
    log.Log(u'I', 8, 3, nullptr, rec("y"), false); // a x b y
    log.Log(u'D', 2, 2, rec("b"), nullptr, false); // a x y
    log.Log(u'D', 9, 1, rec("x"), nullptr, false); // a y
    EXPECT_EQ(log.Find(8)->position, 1);
    EXPECT_EQ(cancelled(log, { "a", "y" }), (QStringList { "a", "b" }));

    // An insert after a record that is deleted later still counts that record.
    log.Log(u'I', 9, 2, nullptr, rec("x"), false); // a b x
    log.Log(u'D', 1, 0, rec("a"), nullptr, false); // b x
    log.Log(u'D', 9, 1, rec("x"), nullptr, false); // b
    EXPECT_EQ(cancelled(log, { "b" }), (QStringList { "a", "b" }));
}

TEST(ChangeLog, OnlyPlacedEntriesAreFoundAndCounted)
{
    Log log;
    log.Log(u'I', 1, 0, nullptr, rec("a"), false);
    log.Items(0).placed = false;
    EXPECT_EQ(log.Find(1), nullptr);
    EXPECT_EQ(log.NetCount(), 0);
    // A change of the record after a re-query that did not place its entry starts a new one.
    log.Log(u'U', 1, 0, rec("a"), rec("b"), false);
    EXPECT_EQ(log.Count(), 2);
    EXPECT_EQ(log.Find(1)->action, u'U');
}

TEST(ChangeLog, CommitAndCancel)
{
    Log log;
    EXPECT_FALSE(log.UpdatesPending(true));
    log.Log(u'I', 1, 0, nullptr, rec("a"), false);
    log.Log(u'I', 2, 1, nullptr, rec("b"), false);
    log.Log(u'D', 3, 2, rec("c"), nullptr, false);
    EXPECT_TRUE(log.UpdatesPending(true));
    EXPECT_FALSE(log.UpdatesPending(false));
    QList<int> undone;
    Log copy;
    copy.Log(u'U', 7, 0, rec("x"), rec("y"), false);
    copy.Log(u'D', 8, 1, rec("z"), nullptr, false);
    copy.Cancel([&](Log::Item &item) { undone.append(item.bookmark); });
    EXPECT_EQ(undone, (QList<int> { 8, 7 })); // newest first
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(log.Commit(), 1);
    EXPECT_EQ(log.Count(), 0);
}

// A re-query clears every placed mark and places the entries it meets again; the search for
// them sees unplaced entries too, and a cancel undoes only placed ones.
TEST(ChangeLog, ARequeryPlacesEntriesAgain)
{
    Log log;
    log.Log(u'I', 1, 2, nullptr, rec("a"), false);
    log.Log(u'U', 2, 0, rec("b"), rec("c"), false);
    log.Log(u'I', 3, 2, nullptr, rec("d"), false); // moves the first insert up to 3
    log.ClearPlaced();
    log.Items(0).position = 2; // as a re-query that met both at 2 would leave them
    EXPECT_EQ(log.Find(2), nullptr);
    const auto insertAt2 = [](const Log::Item &item) {
        return item.action == u'I' && item.position == 2 && !item.placed;
    };
    ASSERT_NE(log.LatestIf(insertAt2), nullptr);
    EXPECT_EQ(log.LatestIf(insertAt2)->bookmark, 3);
    EXPECT_EQ(log.FirstIf(insertAt2)->bookmark, 1);
    log.LatestIf(insertAt2)->placed = true;
    ASSERT_NE(log.LatestIf(insertAt2), nullptr);
    EXPECT_EQ(log.LatestIf(insertAt2)->bookmark, 1); // the placed one is no longer a candidate
    EXPECT_EQ(log.NetCount(), 1);
    QList<int> undone;
    log.Cancel([&](Log::Item &item) { undone.append(item.bookmark); });
    EXPECT_EQ(undone, QList<int> { 3 });
    EXPECT_EQ(log.Count(), 0);
}

TEST(ChangeLog, UpdateStatusOfTheActiveRecord)
{
    struct {
        bool empty, inserting, editing, cached;
        QChar logged;
        TUpdateStatus status;
    } const cases[] = {
        { true, true, false, true, u'I', usUnmodified },
        { false, true, false, false, u' ', usInserted },
        { false, false, false, true, u'D', usDeleted },
        { false, false, false, true, u'I', usInserted },
        { false, false, false, true, u'U', usModified },
        { false, false, false, true, u' ', usUnmodified },
        { false, false, true, true, u' ', usModified },
        { false, false, false, false, u'U', usUnmodified }, // the log counts only when cached
        { false, false, true, false, u' ', usModified },
    };
    for (const auto &c : cases)
        EXPECT_EQ(
            ChangeLogUpdateStatus(c.empty, c.inserting, c.editing, c.cached, c.logged), c.status);
}

} // namespace
} // namespace qd
