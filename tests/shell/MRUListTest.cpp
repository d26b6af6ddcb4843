#include "FileSizeLimit.h"

#include "classlib/Exception.h"
#include "shell/MRUList.h"

#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

namespace {

class MRUListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("MRU.dat");
    }

    QByteArray readRaw() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void writeRaw(const QByteArray &bytes)
    {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static void addFile(TMRUList &list, const QString &path, bool top = true)
    {
        list.Add(0, path, path, {}, {}, {}, {}, {}, top);
    }

    static QStringList paths(const TMRUList &list)
    {
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out << list.Items(i).Path;
        return out;
    }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST_F(MRUListTest, ReusedFileMovesToTheTopWhateverItsCaseAndBlanks)
{
    TMRUList list;
    addFile(list, "/a/one.sql");
    addFile(list, "/a/two.sql");
    addFile(list, "/a/three.sql");
    EXPECT_EQ(paths(list), QStringList({ "/a/three.sql", "/a/two.sql", "/a/one.sql" }));
    addFile(list, "  /A/ONE.SQL ", false); // a match goes to the top even when not asked to
    EXPECT_EQ(paths(list), QStringList({ "/A/ONE.SQL", "/a/three.sql", "/a/two.sql" }));
    EXPECT_EQ(list.Items(0).Caption, "/A/ONE.SQL");
    addFile(list, "/a/four.sql", false);
    EXPECT_EQ(list.Items(3).Path, "/a/four.sql");
}

TEST_F(MRUListTest, MatchingByKind)
{
    TMRUList list;
    // Kind 2: logons, matched by target path, Text3 and LongText; LongText and Code are filed
    // upper-cased, so a logon typed in another case is the same logon.
    list.Add(2, "SQL - scott@demo", "SQL", "", "", "scott", "demo", "n", true);
    list.Add(2, "SQL - scott@DEMO", " sql ", "x", "", "scott", "DEMO ", "D", true);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Caption, "SQL - scott@DEMO");
    EXPECT_EQ(list.Items(0).LongText, "DEMO");
    EXPECT_EQ(list.Items(0).Code, "D");
    EXPECT_EQ(list.Items(0).Text1, "x");
    list.Add(2, "SQL - SCOTT@DEMO", "SQL", "", "", "SCOTT", "DEMO", "N", true); // Text3 exact
    list.Add(2, "DBNav - scott@DEMO", "DBNav", "", "", "scott", "DEMO", "N", true);
    EXPECT_EQ(list.Count(), 3);

    // Kind 1: by Text1 and Text2, exactly.
    TMRUList other;
    other.Add(1, "a", "p1", "T1", "T2", "", "", "", true);
    other.Add(1, "b", "p2", "T1", "T2", "", "", "", true);
    other.Add(1, "c", "p3", "t1", "T2", "", "", "", true);
    ASSERT_EQ(other.Count(), 2);
    EXPECT_EQ(other.Items(1).Caption, "b");
    // Other kinds never match; kinds never match each other.
    other.Add(7, "d", "p", "T1", "T2", "", "", "", true);
    other.Add(7, "d", "p", "T1", "T2", "", "", "", true);
    other.Add(0, "p1", "p1", "", "", "", "", "", true);
    EXPECT_EQ(other.Count(), 5);
}

TEST_F(MRUListTest, TextsAreTrimmedCutAndUpperCased)
{
    TMRUList list;
    list.Add(1, QString(300, 'c'), QString(300, 'p'), QString(40, 'a'), " b ", "c",
        QString::fromUtf8("long straße"), " code-longer-than-ten ", true);
    const TMRUItem &item = list.Items(0);
    EXPECT_EQ(item.Caption, QString(255, 'c'));
    EXPECT_EQ(item.Path, QString(255, 'p'));
    EXPECT_EQ(item.Text1, QString(32, 'a'));
    EXPECT_EQ(item.Text2, "b");
    EXPECT_EQ(item.LongText, QString::fromUtf8("LONG STRASSE"));
    EXPECT_EQ(item.Code, "CODE-LONGE");
}

TEST_F(MRUListTest, FullListDropsItsLastEntry)
{
    TMRUList list;
    EXPECT_EQ(list.MaxCount(), 10);
    list.SetMaxCount(3);
    for (const char *p : { "1", "2", "3" })
        addFile(list, p);
    addFile(list, "4");
    EXPECT_EQ(paths(list), QStringList({ "4", "3", "2" }));
    addFile(list, "5", false); // added at the end, still the last one gives way
    EXPECT_EQ(paths(list), QStringList({ "4", "3", "5" }));
    list.SetMaxCount(1);
    EXPECT_EQ(paths(list), QStringList({ "4" }));
}

TEST_F(MRUListTest, RoomForNothingKeepsNothing)
{
    TMRUList list;
    list.SetFileName(m_path);
    list.SetAutoSave(true);
    list.SetMaxCount(0);
    addFile(list, "/x.sql");
    addFile(list, "/y.sql", false);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(readRaw(), QByteArray());

    TMRUList full;
    full.SetFileName(m_path);
    addFile(full, "/x.sql");
    full.SaveToFile();
    list.LoadFromFile();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(MRUListTest, FileRecordsAndRoundTrip)
{
    TMRUList list;
    list.SetFileName(m_path);
    list.SaveToFile();
    EXPECT_EQ(readRaw(), QByteArray());
    list.Add(2, "SQL - scott@DEMO", "SQL", "t1", "t2", "scott", "DEMO", "N", true);
    addFile(list, QString::fromUtf8("/home/me/Grüße.sql"));
    list.SaveToFile();
    const QByteArray raw = readRaw();
    ASSERT_EQ(raw.size(), 2 * 879);
    const QByteArray logon = raw.mid(879);
    EXPECT_EQ(logon.mid(0, 1), QByteArray(1, '\2'));
    EXPECT_EQ(logon.mid(1, 17), QByteArray("\x10SQL - scott@DEMO"));
    EXPECT_EQ(logon.mid(18, 239), QByteArray(239, ' ')); // unused bytes are blanks
    EXPECT_EQ(logon.mid(257, 4), QByteArray("\x03SQL"));
    EXPECT_EQ(logon.mid(513, 3), QByteArray("\x02t1"));
    EXPECT_EQ(logon.mid(546, 3), QByteArray("\x02t2"));
    EXPECT_EQ(logon.mid(579, 6), QByteArray("\x05scott"));
    EXPECT_EQ(logon.mid(612, 5),
        QByteArray("\x04"
                   "DEMO"));
    EXPECT_EQ(logon.mid(868, 2), QByteArray("\x01N"));

    TMRUList back;
    back.SetFileName(m_path);
    back.LoadFromFile();
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.Items(0), list.Items(0));
    EXPECT_EQ(back.Items(1), list.Items(1));

    // A missing file changes nothing.
    back.SetFileName(m_dir.filePath("none.dat"));
    back.LoadFromFile();
    EXPECT_EQ(back.Count(), 2);
}

TEST_F(MRUListTest, LoadingMergesAndKeepsTheFirstEntries)
{
    TMRUList writer;
    writer.SetFileName(m_path);
    writer.SetMaxCount(20);
    // Written in this order: a, b, A (same as a), c, d, e.
    for (const char *p : { "e", "d", "c", "A", "b", "a" })
        writer.Add(0, p, p, {}, {}, {}, {}, {}, true);
    ASSERT_EQ(writer.Count(), 5); // "A" merged into "a" already
    // Write the duplicate by hand: a list never holds one.
    QByteArray bytes;
    for (const char *p : { "a", "b", "A", "c", "d", "e" })
        bytes += TMRUList::recordBytes(TMRUItem { 0, p, p, {}, {}, {}, {}, {} });
    writeRaw(bytes);

    TMRUList all;
    all.SetFileName(m_path);
    all.LoadFromFile();
    // File order, except the duplicate, merged into "a" and moved to the top.
    EXPECT_EQ(paths(all), QStringList({ "A", "b", "c", "d", "e" }));

    TMRUList three;
    three.SetFileName(m_path);
    three.SetMaxCount(3);
    three.LoadFromFile();
    EXPECT_EQ(paths(three), QStringList({ "A", "b", "c" }));

    // Loading replaces what was there, and writes nothing even when saving after every Add.
    TMRUList replaced;
    replaced.SetFileName(m_path);
    replaced.SetAutoSave(true);
    addFile(replaced, "old");
    writeRaw(bytes);
    replaced.LoadFromFile();
    EXPECT_FALSE(paths(replaced).contains("old"));
    EXPECT_EQ(readRaw(), bytes);
}

TEST_F(MRUListTest, DamagedFilesAreRefusedAndLeftAlone)
{
    QByteArray valid = TMRUList::recordBytes(TMRUItem { 0, "x", "x", {}, {}, {}, {}, {} });
    QByteArray longCode = valid;
    longCode[868] = char(11);
    QByteArray longText1 = valid;
    longText1[513] = char(33);
    const struct {
        const char *what;
        QByteArray bytes;
    } damaged[] = {
        { "too short", valid.left(878) },
        { "a part record", valid + valid.left(100) },
        { "code longer than its field", longCode },
        { "text longer than its field", longText1 },
        { "too many records", QByteArray(879 * (TMRUList::MaxFileRecords + 1), '\0') },
    };
    for (const auto &d : damaged) {
        writeRaw(d.bytes);
        TMRUList list;
        list.SetFileName(m_path);
        list.SetAutoSave(true);
        addFile(list, "kept"); // saves, so write the damaged file again
        writeRaw(d.bytes);
        try {
            list.LoadFromFile();
            ADD_FAILURE() << "accepted: " << d.what;
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains(m_path)) << qPrintable(e.Message());
        }
        EXPECT_EQ(paths(list), QStringList({ "kept" })) << d.what;
        EXPECT_EQ(readRaw(), d.bytes) << d.what;
    }
}

TEST_F(MRUListTest, SavingAfterAddOnDestroyAndAtomically)
{
    {
        TMRUList list;
        list.SetFileName(m_path);
        list.SetAutoSave(true);
        addFile(list, "/one.sql");
        EXPECT_EQ(readRaw().size(), 879);
        list.SetAutoSave(false);
        addFile(list, "/two.sql");
        EXPECT_EQ(readRaw().size(), 879);
        list.SetSaveOnDestroy(true);
    }
    EXPECT_EQ(readRaw().size(), 2 * 879);

    TMRUList list;
    list.SetFileName(m_path);
    list.LoadFromFile();
    addFile(list, "/three.sql");
    const QByteArray before = readRaw();
    {
        test::FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active());
        EXPECT_THROW(list.SaveToFile(), Exception);
    }
    EXPECT_EQ(readRaw(), before);
}

TEST_F(MRUListTest, BuildMenuReplacesTheEntriesAfterTheAnchor)
{
    TMRUList list;
    addFile(list, "/b.sql");
    addFile(list, "/a&b.sql");
    QMenu menu;
    QAction *open = menu.addAction("Open");
    QAction *anchor = menu.addSeparator();
    QAction shared("Shared");
    menu.addAction(&shared);
    QPointer<QAction> ownedOld = menu.addAction("Old entry");

    const TMRUMenuItem *clicked = nullptr;
    list.BuildMenu(&menu, anchor, [&](TMRUMenuItem *sender) { clicked = sender; });
    QList<QAction *> actions = menu.actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0], open);
    EXPECT_EQ(actions[1], anchor);
    auto *first = dynamic_cast<TMRUMenuItem *>(actions[2]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Item().Path, "/a&b.sql");
    EXPECT_EQ(first->text(), "/a&&b.sql");
    EXPECT_EQ(first->Record(), TMRUList::recordBytes(list.Items(0)));
    EXPECT_EQ(first->parent(), &menu);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(ownedOld.isNull()); // the menu's own old entries are freed
    EXPECT_EQ(shared.text(), "Shared"); // others only leave the menu

    actions[3]->trigger();
    ASSERT_NE(clicked, nullptr);
    EXPECT_EQ(clicked->Item().Path, "/b.sql");

    // Rebuilding from a click handler is safe, and without an anchor everything goes.
    addFile(list, "/c.sql");
    list.BuildMenu(&menu, nullptr, [&](TMRUMenuItem *sender) {
        clicked = sender;
        list.BuildMenu(&menu, nullptr, {});
    });
    ASSERT_EQ(menu.actions().size(), 3);
    menu.actions()[0]->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(menu.actions().size(), 3);
    EXPECT_EQ(menu.actions()[0]->text(), "/c.sql");
}
