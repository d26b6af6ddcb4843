#include "classlib/IniFile.h"
#include "classlib/Exception.h"
#include "classlib/StringList.h"

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace qd;

namespace {

QStringList items(const TStringList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << list[i];
    return out;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = QDir(test::programDirectory())
                     .filePath(QString::fromUtf8(
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name())
                                   .replace(u'/', u'_')
                         + ".ini");
        QFile::remove(m_path);
    }

    void writeRaw(const QByteArray &bytes)
    {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray readRaw() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QString m_path;
};

// Malformed and awkward lines, written with the given line break.
QByteArray awkwardFile(const QByteArray &eol)
{
    const QByteArray lines[] = {
        "orphan=before any section",
        "; a comment",
        "[General]",
        "Name = Quarlo Desk  ",
        "no equals sign here",
        "  Path=C:\\Program Files\\x ; not a comment",
        "List=a, b,\"c\"",
        "Quoted=\"kept as is\"",
        "Eq=a=b",
        "Empty=",
        "=no key",
        ";Hidden=commented out",
        "[bad header",
        "AfterBad=still General",
        "[ Fonts ]",
        "Size=10",
        "[general]",
        "name=second occurrence loses",
        "Extra=from the second occurrence",
    };
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + eol;
    return out;
}

} // namespace

TEST_F(IniFileTest, ReadsWindowsSemanticsFromCrLfAndLfFiles)
{
    struct Read {
        const char *section, *key, *expected;
    };
    const Read reads[] = {
        { "General", "Name", "Quarlo Desk" },
        { "GENERAL", "name", "Quarlo Desk" },
        { "General", "Path", "C:\\Program Files\\x ; not a comment" },
        { "General", "List", "a, b,\"c\"" },
        { "General", "Quoted", "\"kept as is\"" },
        { "General", "Eq", "a=b" },
        { "General", "Empty", "" },
        { "General", "AfterBad", "still General" },
        { "General", "Extra", "from the second occurrence" },
        { "Fonts", "Size", "10" },
        { " fonts ", "size", "10" },
        // Ignored: key before any section, lines without "=", comments, empty key.
        { "General", "orphan", "<default>" },
        { "", "orphan", "<default>" },
        { "General", "no equals sign here", "<default>" },
        { "General", ";Hidden", "<default>" },
        { "General", "Hidden", "<default>" },
        { "General", "", "<default>" },
        { "bad header", "AfterBad", "<default>" },
        { "Missing", "Name", "<default>" },
    };
    for (const QByteArray &eol : { QByteArray("\r\n"), QByteArray("\n") }) {
        writeRaw(awkwardFile(eol));
        const TIniFile ini(m_path);
        for (const Read &r : reads) {
            EXPECT_EQ(ini.ReadString(r.section, r.key, "<default>"), QString::fromUtf8(r.expected))
                << r.section << "/" << r.key << (eol.size() == 2 ? " CRLF" : " LF");
        }
        EXPECT_TRUE(ini.ValueExists("general", "EMPTY"));
        EXPECT_FALSE(ini.ValueExists("General", "orphan"));
        EXPECT_TRUE(ini.SectionExists("fonts"));
        EXPECT_FALSE(ini.SectionExists("bad header"));
        EXPECT_FALSE(ini.SectionExists("Name"));
    }
}

TEST_F(IniFileTest, DuplicateSectionsMergeInListings)
{
    writeRaw(awkwardFile("\r\n"));
    const TIniFile ini(m_path);
    TStringList list;
    list.Add("stale");
    ini.ReadSections(list);
    EXPECT_EQ(items(list), QStringList({ "General", "Fonts" }));
    ini.ReadSection("general", list);
    EXPECT_EQ(items(list),
        QStringList({ "Name", "Path", "List", "Quoted", "Eq", "Empty", "AfterBad", "Extra" }));
    ini.ReadSectionValues("General", list);
    EXPECT_EQ(list.Values("name"), "Quarlo Desk");
    EXPECT_EQ(list.Values("Extra"), "from the second occurrence");
    EXPECT_EQ(list.Count(), 8);
    ini.ReadSection("Missing", list);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(IniFileTest, TypedReadsFallBackToDefaults)
{
    writeRaw("[N]\nDec=42\nNeg=-7\nHex=0x1F\nHexUpper=0XfF\nDollar=$10\nBlank= 8 \nGarbage=12abc\n"
             "Word=yes\nEmpty=\nHuge=99999999999\nFloat=2.5\nComma=2,5\nOne=1\nZero=0\nTwo=2\n"
             "Exp=1e3\n");
    const TIniFile ini(m_path);
    struct Int {
        const char *key;
        int expected;
    };
    const Int ints[] = { { "Dec", 42 }, { "Neg", -7 }, { "Hex", 31 }, { "HexUpper", 255 },
        { "Dollar", 16 }, { "Blank", 8 }, { "Garbage", -1 }, { "Word", -1 }, { "Empty", -1 },
        { "Huge", -1 }, { "Float", -1 }, { "Missing", -1 } };
    for (const Int &c : ints)
        EXPECT_EQ(ini.ReadInteger("N", c.key, -1), c.expected) << c.key;

    struct Bool {
        const char *key;
        bool def, expected;
    };
    const Bool bools[] = { { "One", false, true }, { "Zero", true, false }, { "Two", false, true },
        { "Word", true, true }, { "Word", false, false }, { "Missing", true, true },
        { "Empty", true, true }, { "Missing", false, false } };
    for (const Bool &c : bools)
        EXPECT_EQ(ini.ReadBool("N", c.key, c.def), c.expected) << c.key << " default " << c.def;

    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Float", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Exp", 0), 1000.0);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Comma", -1), -1.0);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Missing", 9.5), 9.5);
}

TEST_F(IniFileTest, WritesKeepEverythingElseAndTheLineBreakStyle)
{
    for (const QByteArray &eol : { QByteArray("\r\n"), QByteArray("\n") }) {
        auto file = [&](QByteArrayList lines) { return lines.join(eol) + eol; };
        writeRaw(file(
            { "; settings", "[A]", "x = 1", "; note", "", "[B]", "y=2", "[a]", "x=dup", "z=3" }));
        TIniFile ini(m_path);
        ini.WriteString("a", "X", "one"); // first occurrence, original key spelling
        ini.WriteString("A", "new", "n"); // after the last non-blank line of [A]
        ini.WriteInteger("C", "count", -12); // a new section at the end
        ini.WriteBool("B", "flag", true);
        ini.WriteString("B", "y", ""); // empty value stays a key
        EXPECT_EQ(readRaw(),
            file({ "; settings", "[A]", "x=one", "; note", "new=n", "", "[B]", "y=", "flag=1",
                "[a]", "x=dup", "z=3", "", "[C]", "count=-12" }))
            << (eol.size() == 2 ? "CRLF" : "LF");
        // Each write is on disk at once.
        const TIniFile other(m_path);
        EXPECT_EQ(other.ReadString("a", "x", ""), "one");
        EXPECT_EQ(other.ReadInteger("c", "COUNT", 0), -12);
        EXPECT_TRUE(other.ReadBool("b", "flag", false));
        EXPECT_TRUE(other.ValueExists("B", "y"));
    }
}

TEST_F(IniFileTest, NewFileIsCreatedWithCrLf)
{
    TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
    EXPECT_FALSE(QFileInfo::exists(m_path));
    ini.WriteString("S", "k", "  padded value with, commas  ");
    EXPECT_EQ(readRaw(), QByteArray("[S]\r\nk=  padded value with, commas  \r\n"));
    // Blanks around the value are trimmed on read, as Windows does.
    EXPECT_EQ(ini.ReadString("S", "k", ""), "padded value with, commas");
    ini.WriteString("S", "u", "ünï");
    EXPECT_EQ(TIniFile(m_path).ReadString("s", "U", ""), "ünï");
}

TEST_F(IniFileTest, EraseSectionAndDeleteKeyCoverDuplicates)
{
    writeRaw("[A]\r\nk=1\r\nkeep=yes\r\n[B]\r\nb=2\r\n[a]\r\nK=shadowed\r\n; c\r\n[C]\r\nc=3\r\n");
    TIniFile ini(m_path);
    ini.DeleteKey("A", "k");
    EXPECT_FALSE(ini.ValueExists("A", "k")); // the shadowed duplicate does not show through
    EXPECT_EQ(ini.ReadString("A", "keep", ""), "yes");
    EXPECT_EQ(
        readRaw(), QByteArray("[A]\r\nkeep=yes\r\n[B]\r\nb=2\r\n[a]\r\n; c\r\n[C]\r\nc=3\r\n"));

    ini.EraseSection("a");
    EXPECT_FALSE(ini.SectionExists("A"));
    EXPECT_EQ(readRaw(), QByteArray("[B]\r\nb=2\r\n[C]\r\nc=3\r\n"));

    // Nothing to remove: the file is not touched.
    const QDateTime before = QFileInfo(m_path).lastModified();
    ini.EraseSection("Missing");
    ini.DeleteKey("B", "missing");
    EXPECT_EQ(readRaw(), QByteArray("[B]\r\nb=2\r\n[C]\r\nc=3\r\n"));
    EXPECT_EQ(QFileInfo(m_path).lastModified(), before);
}

TEST_F(IniFileTest, SeesChangesMadeByOthers)
{
    writeRaw("[S]\nk=1\n");
    TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
    writeRaw("[S]\nk=changed\nj=2\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "changed");
    ini.WriteString("S", "i", "3");
    EXPECT_EQ(readRaw(), QByteArray("[S]\nk=changed\nj=2\ni=3\n"));
}

TEST_F(IniFileTest, RejectsNamesAndValuesThatWouldCorruptTheFile)
{
    writeRaw("[S]\r\nk=1\r\n");
    TIniFile ini(m_path);
    const struct {
        const char *section, *key, *value;
    } bad[] = {
        { "S", "k", "two\r\nlines" },
        { "S", "k", "injected\n[Evil]" },
        { "S", "a=b", "v" },
        { "S", "", "v" },
        { "S", "  ", "v" },
        { "S", "[x", "v" },
        { "S", ";x", "v" },
        { "", "k", "v" },
        { "a]b", "k", "v" },
        { "S\nT", "k", "v" },
    };
    for (const auto &b : bad)
        EXPECT_THROW(ini.WriteString(b.section, b.key, b.value), Exception) << b.key;
    EXPECT_EQ(readRaw(), QByteArray("[S]\r\nk=1\r\n"));
}

TEST_F(IniFileTest, FailedSaveLeavesFileAndObjectUnchanged)
{
    const QByteArray original("[S]\r\nk=1\r\n");
    writeRaw(original);
    TIniFile ini(m_path);
    ASSERT_EQ(ini.ReadString("S", "k", ""), "1");

    // Limit the size of files this process may write, so the temporary file cannot be filled.
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    try {
        ini.WriteString("S", "k", QString(200, u'x'));
    } catch (const Exception &e) {
        message = e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(message.startsWith("Cannot write file")) << qPrintable(message);
    EXPECT_EQ(readRaw(), original);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
    // No temporary file of this save is left beside it (other tests' files share the folder).
    const QString fileName = QFileInfo(m_path).fileName();
    EXPECT_EQ(QDir(QFileInfo(m_path).path()).entryList({ fileName + "*" }, QDir::Files | QDir::Hidden),
        QStringList({ fileName }));

    // A missing directory is reported too.
    TIniFile nowhere(QDir(test::programDirectory()).filePath("no/such/dir/x.ini"));
    EXPECT_THROW(nowhere.WriteString("S", "k", "v"), Exception);
    ini.UpdateFile();
    EXPECT_EQ(readRaw(), original);
}

TEST_F(IniFileTest, UpdateFileCreatesTheFile)
{
    TIniFile ini(m_path);
    ini.UpdateFile();
    EXPECT_TRUE(QFileInfo::exists(m_path));
    EXPECT_EQ(readRaw(), QByteArray());
}

TEST_F(IniFileTest, UpdateBracketWritesOnceAtTheEnd)
{
    const QByteArray original("; kept\r\n[S]\r\nk=1\r\n");
    writeRaw(original);
    TIniFile ini(m_path);
    ini.beginUpdate();
    ini.WriteString("S", "k", "2");
    ini.beginUpdate(); // nested brackets write with the outermost
    ini.WriteInteger("T", "n", 7);
    ini.endUpdate();
    // Reads see the group, the file does not yet.
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
    EXPECT_EQ(ini.ReadInteger("T", "n", 0), 7);
    EXPECT_EQ(readRaw(), original);
    ini.endUpdate();
    EXPECT_EQ(readRaw(), QByteArray("; kept\r\n[S]\r\nk=2\r\n\r\n[T]\r\nn=7\r\n"));

    // A cancelled group is dropped: neither the file nor later reads see it.
    ini.beginUpdate();
    ini.WriteString("S", "k", "3");
    ini.cancelUpdate();
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
    EXPECT_EQ(readRaw(), QByteArray("; kept\r\n[S]\r\nk=2\r\n\r\n[T]\r\nn=7\r\n"));
    // Writes after the bracket go straight to the file again.
    ini.WriteString("S", "k", "4");
    EXPECT_TRUE(readRaw().contains("k=4"));
}

TEST_F(IniFileTest, FailedUpdateBracketLeavesFileWholeAndDropsTheGroup)
{
    const QByteArray original("[S]\r\nk=1\r\n");
    writeRaw(original);
    TIniFile ini(m_path);
    ini.beginUpdate();
    ini.WriteString("S", "k", QString(200, u'x'));
    ini.WriteString("S", "other", "y");

    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        ini.endUpdate();
    } catch (const Exception &) {
        raised = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(raised);
    EXPECT_EQ(readRaw(), original);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
    EXPECT_FALSE(ini.ValueExists("S", "other"));
}

TEST_F(IniFileTest, Latin1FileEndingInAnAccentKeepsItsLastCharacter)
{
    // No line break after the last value: its last byte would start a UTF-8 sequence.
    writeRaw("[Owner]\r\nName=Ren\xe9");
    TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("Owner", "Name", QString()), QStringLiteral("René"));
    ini.WriteString("Owner", "City", QStringLiteral("Orléans"));
    TIniFile again(m_path);
    EXPECT_EQ(again.ReadString("Owner", "Name", QString()), QStringLiteral("René"));
    EXPECT_EQ(again.ReadString("Owner", "City", QString()), QStringLiteral("Orléans"));
}

TEST_F(IniFileTest, ValuesAsWrittenKeepTheirBlanksAndFirstOccurrence)
{
    writeRaw("[Text]\r\n"
             "  line0=    indented = still one value  \r\n"
             "LINE0=second occurrence\r\n"
             "line1=\r\n"
             "; a comment = not a key\r\n"
             "\r\n"
             "[Other]\r\n"
             "line2=elsewhere\r\n"
             "[text]\r\n"
             "line3=\tafter a tab\r\n");
    const TIniFile ini(m_path);
    TStringList values;
    ini.ReadSectionValuesAsWritten(QStringLiteral("TEXT"), values);
    EXPECT_EQ(items(values),
        QStringList({ "line0=    indented = still one value  ", "line1=", "line3=\tafter a tab" }));
    // The ordinary reads still trim.
    EXPECT_EQ(ini.ReadString("Text", "line0", QString()), "indented = still one value");
    EXPECT_EQ(ini.LineCount(), 10);

    QFile::remove(m_path);
    EXPECT_EQ(ini.LineCount(), 0);
}
