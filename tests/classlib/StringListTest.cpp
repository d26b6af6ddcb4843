#include "classlib/StringList.h"
#include "classlib/Exception.h"

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

using namespace qd;

namespace {

QStringList lines(const TStringList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << list[i];
    return out;
}

TStringList make(const QStringList &items)
{
    TStringList list;
    for (const QString &s : items)
        list.Add(s);
    return list;
}

QString errorOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(StringList, UnsortedKeepsOrderAndDuplicates)
{
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.Add("a"), 1);
    list.SetDuplicates(dupError); // applies to sorted lists only
    EXPECT_EQ(list.Add("b"), 2);
    list.Insert(0, "first");
    list.Insert(4, "last");
    EXPECT_EQ(lines(list), QStringList({ "first", "b", "a", "b", "last" }));
    EXPECT_EQ(list.IndexOf("B"), 1); // case-insensitive by default
    EXPECT_EQ(list.IndexOf("zz"), -1);
    list.Delete(1);
    list.Exchange(0, 3);
    EXPECT_EQ(lines(list), QStringList({ "last", "a", "b", "first" }));
    list.SetStrings(1, "A2");
    EXPECT_EQ(list.Strings(1), "A2");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexErrors)
{
    TStringList list = make({ "x" });
    const struct {
        std::function<void()> fn;
        const char *message;
    } cases[] = {
        { [&] { list.Strings(1); }, "List index out of bounds (1)" },
        { [&] { list.Strings(-1); }, "List index out of bounds (-1)" },
        { [&] { list.Delete(5); }, "List index out of bounds (5)" },
        { [&] { list.Insert(2, "y"); }, "List index out of bounds (2)" },
        { [&] { list.Exchange(0, 1); }, "List index out of bounds (1)" },
        { [&] { list.Objects(3); }, "List index out of bounds (3)" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(errorOf(c.fn), QString::fromUtf8(c.message));
    EXPECT_EQ(lines(list), QStringList({ "x" }));
}

TEST(StringList, SortedListsUseCaseInsensitiveOrderAndDuplicates)
{
    struct Case {
        TDuplicates duplicates;
        QStringList expected;
        bool raises;
    };
    const Case cases[] = {
        { dupIgnore, { "apple", "banana", "Cherry" }, false },
        { dupAccept, { "apple", "Banana", "banana", "Cherry" }, false },
        { dupError, { "apple", "banana", "Cherry" }, true },
    };
    for (const Case &c : cases) {
        TStringList list;
        list.SetDuplicates(c.duplicates);
        list.SetSorted(true);
        list.Add("banana");
        list.Add("Cherry");
        list.Add("apple");
        const QString error = errorOf([&] { list.Add("Banana"); });
        EXPECT_EQ(error,
            c.raises ? QString("String list does not allow duplicates") : QString("<no error>"));
        EXPECT_EQ(lines(list), c.expected) << c.duplicates;
    }

    // dupIgnore returns the index of the line already there.
    TStringList list = make({ "b", "a" });
    list.SetSorted(true);
    EXPECT_EQ(lines(list), QStringList({ "a", "b" }));
    EXPECT_EQ(list.Add("B"), 1);
    EXPECT_EQ(list.Add("c"), 2);
    EXPECT_EQ(list.Add("0"), 0);
    EXPECT_EQ(list.Count(), 4);
}

TEST(StringList, SortedListRejectsPositionalChanges)
{
    TStringList list = make({ "b", "a" });
    list.SetSorted(true);
    EXPECT_EQ(errorOf([&] { list.Insert(0, "z"); }), "Operation not allowed on sorted list");
    EXPECT_EQ(errorOf([&] { list.SetStrings(0, "z"); }), "Operation not allowed on sorted list");
    EXPECT_EQ(errorOf([&] { list.Exchange(0, 1); }), "Operation not allowed on sorted list");
    EXPECT_EQ(lines(list), QStringList({ "a", "b" }));
    list.SetSorted(false);
    list.Insert(0, "z");
    EXPECT_EQ(lines(list), QStringList({ "z", "a", "b" }));
}

TEST(StringList, FindOnSortedList)
{
    TStringList list = make({ "delta", "Alpha", "charlie", "bravo" });
    list.SetSorted(true);
    struct Case {
        const char *value;
        bool found;
        int index;
    };
    const Case cases[] = {
        { "alpha", true, 0 },
        { "CHARLIE", true, 2 },
        { "delta", true, 3 },
        { "a", false, 0 },
        { "beta", false, 1 },
        { "zulu", false, 4 },
    };
    for (const Case &c : cases) {
        int index = -1;
        EXPECT_EQ(list.Find(c.value, index), c.found) << c.value;
        EXPECT_EQ(index, c.index) << c.value;
    }
    // With duplicates accepted Find gives the first of the equal lines.
    list.SetDuplicates(dupAccept);
    list.Add("BRAVO");
    list.Add("bravo");
    int index = -1;
    ASSERT_TRUE(list.Find("Bravo", index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(list.CompareStrings(list[0], list[1]), -1);
}

TEST(StringList, CaseSensitiveFlag)
{
    TStringList list = make({ "b", "B", "a", "A" });
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("b"), 0);
    EXPECT_EQ(list.IndexOf("B"), 1);
    list.SetSorted(true);
    EXPECT_EQ(lines(list), QStringList({ "A", "a", "B", "b" }));
    EXPECT_EQ(list.IndexOf("a"), 1);
    EXPECT_EQ(list.IndexOf("c"), -1);
    list.SetDuplicates(dupError);
    EXPECT_NO_THROW(list.Add("C"));
    EXPECT_THROW(list.Add("C"), Exception);
    list.SetCaseSensitive(false);
    EXPECT_THROW(list.Add("c"), Exception);
    EXPECT_EQ(list.IndexOf("b"), 2); // the first of "B" and "b"
}

TEST(StringList, ObjectsAndIntegers)
{
    int first = 1, second = 2;
    TStringList list;
    list.AddObject("one", &first);
    list.AddInteger("seven", 7);
    list.Add("none");
    EXPECT_EQ(list.Objects(0), &first);
    EXPECT_EQ(list.Integers(1), 7);
    EXPECT_EQ(list.Objects(2), nullptr);
    list.SetObjects(2, &second);
    EXPECT_EQ(list.IndexOfObject(&second), 2);

    // Objects travel with their lines when sorting.
    list.SetSorted(true);
    EXPECT_EQ(lines(list), QStringList({ "none", "one", "seven" }));
    EXPECT_EQ(list.Objects(0), &second);
    EXPECT_EQ(list.Objects(1), &first);
    EXPECT_EQ(list.Integers(2), 7);
    EXPECT_EQ(list.IndexOfObject(&first), 1);
    EXPECT_EQ(list.IndexOfObject(nullptr), -1);
}

TEST(StringList, NameValueLines)
{
    TStringList list = make({ "Host=db1", "port=1521", "no equals", "=empty name", "a=b=c" });
    struct Case {
        int index;
        const char *name;
        const char *value;
    };
    const Case cases[] = { { 0, "Host", "db1" }, { 1, "port", "1521" }, { 2, "", "" },
        { 3, "", "empty name" }, { 4, "a", "b=c" } };
    for (const Case &c : cases) {
        EXPECT_EQ(list.Names(c.index), QString::fromUtf8(c.name)) << c.index;
        EXPECT_EQ(list.ValueFromIndex(c.index), QString::fromUtf8(c.value)) << c.index;
    }
    EXPECT_EQ(list.Values("HOST"), "db1");
    EXPECT_EQ(list.Values("no equals"), "");
    EXPECT_EQ(list.IndexOfName("PORT"), 1);
    EXPECT_EQ(list.IndexOfName("missing"), -1);

    list.SetValue("host", "db2"); // replaces in place under the given name
    list.SetValue("user", "scott"); // adds
    list.SetValue("port", ""); // deletes
    list.SetValue("absent", ""); // nothing to delete
    EXPECT_EQ(lines(list),
        QStringList({ "host=db2", "no equals", "=empty name", "a=b=c", "user=scott" }));

    // On a sorted list the replaced line moves to its sorted place.
    TStringList sorted = make({ "b=1", "c=2" });
    sorted.SetSorted(true);
    sorted.SetValue("b", "9");
    sorted.SetValue("a", "0");
    EXPECT_EQ(lines(sorted), QStringList({ "a=0", "b=9", "c=2" }));
}

TEST(StringList, CommaTextGet)
{
    struct Case {
        QStringList items;
        const char *text;
    };
    const Case cases[] = {
        { {}, "" },
        { { "a", "b", "c" }, "a,b,c" },
        { { "two words", "x" }, "\"two words\",x" },
        { { "with,comma" }, "\"with,comma\"" },
        { { "say \"hi\"" }, "\"say \"\"hi\"\"\"" },
        { { "a\"b" }, "\"a\"\"b\"" },
        { { "" }, "\"\"" },
        { { "a", "", "b" }, "a,,b" },
        { { "tab\there" }, "\"tab\there\"" },
        { { "semi;colon", "é" }, "semi;colon,é" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(make(c.items).CommaText(), QString::fromUtf8(c.text)) << c.text;
}

TEST(StringList, CommaTextSet)
{
    struct Case {
        const char *text;
        QStringList items;
    };
    const Case cases[] = {
        { "", {} },
        { "   ", {} },
        { "a,b,c", { "a", "b", "c" } },
        { "a b c", { "a", "b", "c" } },
        { "  a ,  b  ", { "a", "b" } },
        { "\"two words\",x", { "two words", "x" } },
        { "\"say \"\"hi\"\"\"", { "say \"hi\"" } },
        { "a,,b", { "a", "", "b" } },
        { "a,", { "a", "" } },
        { "a, ", { "a" } },
        { ",a", { "", "a" } },
        { "\"\"", { "" } },
        { "\"unclosed, still one", { "unclosed, still one" } },
        { "\"a\"b", { "a", "b" } },
        { "x\"y\"", { "x\"y\"" } },
        { "\"a\" , \"b c\"", { "a", "b c" } },
    };
    for (const Case &c : cases) {
        TStringList list;
        list.Add("old");
        list.SetCommaText(QString::fromUtf8(c.text));
        EXPECT_EQ(lines(list), c.items) << c.text;
    }
    // Round trip of awkward items.
    const QStringList awkward { "", " lead", "trail ", "q\"uote", "c,omma", "plain" };
    TStringList list;
    list.SetCommaText(make(awkward).CommaText());
    EXPECT_EQ(lines(list), awkward);
}

// A NUL character ends the text, wherever it stands (it used to make the reader loop forever).
TEST(StringList, CommaTextEndsAtNul)
{
    const struct {
        QString text;
        QStringList items;
    } cases[] = {
        { QString::fromUtf8("a,b", 3) + QChar(0) + "c,d", { "a", "b" } },
        { QString("x,") + QChar(0) + QChar(0x81), { "x", "" } },
        { QString(QChar(0)) + "a", {} },
        { QString("\"q") + QChar(0) + "r\",s", { "q" } },
    };
    for (const auto &c : cases) {
        TStringList list;
        list.SetCommaText(c.text);
        EXPECT_EQ(lines(list), c.items);
    }
}

TEST(StringList, CommaTextOnSortedListFailsWhole)
{
    TStringList list = make({ "keep" });
    list.SetSorted(true);
    list.SetDuplicates(dupError);
    EXPECT_THROW(list.SetCommaText("b,a,B"), Exception);
    EXPECT_EQ(lines(list), QStringList({ "keep" }));
    list.SetDuplicates(dupIgnore);
    list.SetCommaText("b,a,B");
    EXPECT_EQ(lines(list), QStringList({ "a", "b" }));
}

TEST(StringList, DelimitedText)
{
    TStringList list;
    list.SetDelimiter(u';');
    list.SetQuoteChar(u'\'');
    list.SetDelimitedText("a;'b;c';'it''s'");
    EXPECT_EQ(lines(list), QStringList({ "a", "b;c", "it's" }));
    EXPECT_EQ(list.DelimitedText(), "a;'b;c';'it''s'");
    // Comma text ignores the list's own delimiter and quote.
    EXPECT_EQ(list.CommaText(), "a,b;c,it's");
}

TEST(StringList, TextJoinsWithCrLfAndSplitsAnyBreak)
{
    EXPECT_EQ(make({ "a", "b" }).Text(), "a\r\nb\r\n");
    EXPECT_EQ(make({ "" }).Text(), "\r\n");
    EXPECT_EQ(TStringList().Text(), "");

    struct Case {
        const char *text;
        QStringList items;
    };
    const Case cases[] = {
        { "", {} },
        { "a", { "a" } },
        { "a\r\nb\r\n", { "a", "b" } },
        { "a\nb\n", { "a", "b" } },
        { "a\rb", { "a", "b" } },
        { "a\r\n\r\nb", { "a", "", "b" } },
        { "a\n\rb", { "a", "", "b" } },
        { "\r\n", { "" } },
        { "mixed\r\nunix\nmac\rend", { "mixed", "unix", "mac", "end" } },
    };
    for (const Case &c : cases) {
        TStringList list;
        list.SetText(QString::fromUtf8(c.text));
        EXPECT_EQ(lines(list), c.items) << c.text;
    }
}

TEST(StringList, FilesRoundTripAndFailSafely)
{
    const QString dir = test::programDirectory();
    const QString path = dir + "/list.txt";
    TStringList list = make({ "één", "two", "" });
    list.SaveToFile(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\xc3\xa9\xc3\xa9n\r\ntwo\r\n\r\n"));
    file.close();

    TStringList loaded;
    loaded.LoadFromFile(path);
    EXPECT_EQ(lines(loaded), lines(list));

    // A byte-order mark is skipped; bytes that are not UTF-8 are kept as Latin-1.
    const struct {
        QByteArray bytes;
        QStringList items;
    } files[] = {
        { QByteArray("\xef\xbb\xbfx\ny"), { "x", "y" } },
        { QByteArray("caf\xe9\n"), { QString::fromLatin1("caf\xe9") } },
    };
    for (const auto &f : files) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(f.bytes);
        out.close();
        loaded.LoadFromFile(path);
        EXPECT_EQ(lines(loaded), f.items);
    }

    EXPECT_THROW(loaded.LoadFromFile(dir + "/missing.txt"), Exception);
    // Saving into a missing directory fails with a message and creates nothing.
    const QString bad = dir + "/no/such/dir/list.txt";
    EXPECT_TRUE(errorOf([&] { list.SaveToFile(bad); }).startsWith("Cannot create file"));
    EXPECT_FALSE(QFileInfo::exists(bad));
}

TEST(StringList, ShortWriteKeepsTheOldFile)
{
    const QString path = test::programDirectory() + "/short.txt";
    make({ "old" }).SaveToFile(path);

    // A file size limit makes the write stop part way, as a full disk would.
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString message = errorOf([&] { make({ QString(100, u'n') }).SaveToFile(path); });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(message.startsWith("Cannot write file")) << qPrintable(message);
    TStringList loaded;
    loaded.LoadFromFile(path);
    EXPECT_EQ(lines(loaded), QStringList({ "old" }));
}
