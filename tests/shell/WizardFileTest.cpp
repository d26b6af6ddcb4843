// The wizard file: the writer's exact lines, and the one reader with its two sets of defaults.
#include "shell/WizardFile.h"

#include "classlib/Exception.h"

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

class WizardFileTest : public ::testing::Test {
protected:
    QString path(const QString &name = QStringLiteral("wizard.qdz")) const
    {
        return m_dir.filePath(name);
    }

    void writeRaw(const QByteArray &bytes, const QString &name = QStringLiteral("wizard.qdz"))
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray readRaw(const QString &name = QStringLiteral("wizard.qdz")) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // The message a refused read raises, or "" when it reads.
    static QString refusal(const QString &fileName, TWizardReader reader, TWizardFile &wizard)
    {
        try {
            ReadWizardFile(fileName, reader, wizard);
        } catch (const Exception &error) {
            return error.Message();
        }
        return QString();
    }

    QTemporaryDir m_dir;
};

TWizardFile sampleWizard()
{
    TWizardFile wizard;
    wizard.Title = QStringLiteral("Employees by department");
    wizard.Lines = { QStringLiteral("select ename"),
        QStringLiteral("  from emp   "), // blanks at both ends belong to the text
        QString(),
        QStringLiteral("\twhere deptno = &dept and hiredate > '&since' -- a=b ; [c]") };
    wizard.Pages = {
        { QStringLiteral("Department"),
            { { QStringLiteral("Number"), QStringLiteral("DEPT"),
                  QStringLiteral("Department number:") },
                { QStringLiteral("String"), QStringLiteral("NAME"), QStringLiteral("Name = ?") } } },
        { QStringLiteral("Dates"),
            { { QStringLiteral("Date"), QStringLiteral("SINCE"), QStringLiteral("Hired after") } } },
    };
    return wizard;
}

TEST_F(WizardFileTest, NewWizardWritesThePartLinesByteForByte)
{
    TWizardFile wizard;
    wizard.Pages = { { QStringLiteral("Page 1"), {} } };
    WriteWizardFile(path(), wizard);
    EXPECT_EQ(readRaw(),
        QByteArray("[wizard]\r\n"
                   "version=1\r\n"
                   "action=drop\r\n"
                   "wizdesc=\r\n"
                   "wizlines=0\r\n"
                   "pages=1\r\n"
                   "\r\n"
                   "[Page0]\r\n"
                   "desc=Page 1\r\n"
                   "\r\n"
                   "values=0\r\n"));
}

TEST_F(WizardFileTest, VariablesAreNumberedAfreshOnEveryPage)
{
    WriteWizardFile(path(), sampleWizard());
    EXPECT_EQ(readRaw(),
        QByteArray("[wizard]\r\nversion=1\r\naction=drop\r\nwizdesc=Employees by department\r\n"
                   "wizlines=4\r\npages=2\r\n"
                   "wiz0=select ename\r\n"
                   "wiz1=  from emp   \r\n"
                   "wiz2=\r\n"
                   "wiz3=\twhere deptno = &dept and hiredate > '&since' -- a=b ; [c]\r\n"
                   "\r\n[Page0]\r\ndesc=Department\r\n\r\n"
                   "valtype0=Number\r\nvalname0=DEPT\r\nvalprompt0=Department number:\r\n\r\n"
                   "valtype1=String\r\nvalname1=NAME\r\nvalprompt1=Name = ?\r\n\r\n"
                   "values=2\r\n"
                   "\r\n[Page1]\r\ndesc=Dates\r\n\r\n"
                   "valtype0=Date\r\nvalname0=SINCE\r\nvalprompt0=Hired after\r\n\r\n"
                   "values=1\r\n"));
}

TEST_F(WizardFileTest, WrittenFileReadsBackAsWrittenAndRewritesIdentically)
{
    const TWizardFile written = sampleWizard();
    WriteWizardFile(path(), written);
    for (TWizardReader reader : { TWizardReader::Runner, TWizardReader::Editor }) {
        TWizardFile read;
        ReadWizardFile(path(), reader, read);
        EXPECT_EQ(read.Title, written.Title);
        EXPECT_EQ(read.Lines, written.Lines);
        ASSERT_EQ(read.Pages.size(), written.Pages.size());
        for (qsizetype p = 0; p < read.Pages.size(); ++p) {
            EXPECT_EQ(read.Pages[p].Title, written.Pages[p].Title);
            ASSERT_EQ(read.Pages[p].Variables.size(), written.Pages[p].Variables.size());
            for (qsizetype j = 0; j < read.Pages[p].Variables.size(); ++j) {
                EXPECT_EQ(read.Pages[p].Variables[j].DataType, written.Pages[p].Variables[j].DataType);
                EXPECT_EQ(read.Pages[p].Variables[j].Name, written.Pages[p].Variables[j].Name);
                EXPECT_EQ(read.Pages[p].Variables[j].Prompt, written.Pages[p].Variables[j].Prompt);
            }
        }
        WriteWizardFile(path(QStringLiteral("again.qdz")), read);
        EXPECT_EQ(readRaw(QStringLiteral("again.qdz")), readRaw());
    }
}

TEST_F(WizardFileTest, ReaderTakesAnyCaseAndLfLinesWithEachReadersDefaults)
{
    writeRaw("[WIZARD]\nVERSION=1\nAction=Execute\nWizLines=2\nPAGES=2\n"
             "WIZ0=  keep my blanks\n"
             "[page0]\nValues=2\nVALTYPE0=number\n"
             "[Page1]\nvalues=1\n");
    TWizardFile runner;
    ReadWizardFile(path(), TWizardReader::Runner, runner);
    EXPECT_EQ(WizardActionFromText(runner.Action), wizExecute);
    EXPECT_EQ(runner.Title, "Quarlo Desk Drag and Drop Wizard");
    EXPECT_EQ(runner.Lines, QStringList({ "  keep my blanks", "" }));
    ASSERT_EQ(runner.Pages.size(), 2);
    EXPECT_EQ(runner.Pages[0].Title, "");
    ASSERT_EQ(runner.Pages[0].Variables.size(), 2);
    EXPECT_EQ(runner.Pages[0].Variables[0].DataType, "number");
    EXPECT_EQ(runner.Pages[0].Variables[0].Name, "");
    EXPECT_EQ(runner.Pages[0].Variables[1].Prompt, "Enter the value:");

    TWizardFile editor;
    ReadWizardFile(path(), TWizardReader::Editor, editor);
    ASSERT_EQ(editor.Pages.size(), 2);
    EXPECT_EQ(editor.Pages[0].Title, "Page0");
    EXPECT_EQ(editor.Pages[1].Title, "Page1");
    EXPECT_EQ(editor.Pages[0].Variables[1].Name, "VAR1");
    EXPECT_EQ(editor.Pages[1].Variables[0].Name, "VAR0");
}

TEST_F(WizardFileTest, ActionTextsMapToActions)
{
    const struct {
        const char *text;
        TQDWizAction action;
    } cases[] = { { "drop", wizDrop }, { "DROP", wizDrop }, { "eXeCuTe", wizExecute },
        { "preview", wizPreview }, { "run", wizPreview }, { "", wizPreview },
        { "execute now", wizPreview } };
    for (const auto &c : cases)
        EXPECT_EQ(WizardActionFromText(QString::fromLatin1(c.text)), c.action) << c.text;
}

TEST_F(WizardFileTest, MissingOrNegativeOrGarbageCountsMeanNone)
{
    writeRaw("[wizard]\r\nversion=1\r\nwizlines=-4\r\npages=two\r\nwiz0=x\r\n");
    TWizardFile wizard;
    ReadWizardFile(path(), TWizardReader::Runner, wizard);
    EXPECT_TRUE(wizard.Lines.isEmpty());
    EXPECT_TRUE(wizard.Pages.isEmpty());
}

TEST_F(WizardFileTest, CorruptFilesAreRefusedWithTheMessage)
{
    const struct {
        const char *name;
        QByteArray bytes;
        int linesRead; // what the wizard holds after the refusal
    } cases[] = {
        { "version 2", "[wizard]\r\nversion=2\r\nwizlines=1\r\nwiz0=text\r\n", 0 },
        { "no version", "[wizard]\r\nwizlines=1\r\nwiz0=text\r\n", 0 },
        { "empty file", "", 0 },
        { "not an ini file at all", "\x01\x02 binary\xff\xfe", 0 },
        { "huge line count", "[wizard]\r\nversion=1\r\nwizlines=2000000000\r\n", 0 },
        { "page count beyond the file",
            "[wizard]\r\nversion=1\r\nwizlines=1\r\npages=9\r\nwiz0=kept\r\n", 1 },
        { "variable count beyond the file",
            "[wizard]\r\nversion=1\r\npages=1\r\n[Page0]\r\nvalues=100000\r\n", 0 },
    };
    for (const auto &c : cases) {
        writeRaw(c.bytes);
        for (TWizardReader reader : { TWizardReader::Runner, TWizardReader::Editor }) {
            TWizardFile wizard;
            EXPECT_EQ(refusal(path(), reader, wizard), WizardFileCorruptMessage()) << c.name;
            EXPECT_EQ(wizard.Lines.size(), c.linesRead) << c.name;
            EXPECT_TRUE(wizard.Pages.isEmpty()) << c.name;
        }
    }
    EXPECT_EQ(WizardFileCorruptMessage(),
        "This Quarlo Desk Wizard file is corrupt, or not supported by this version of Quarlo "
        "Desk.");
}

TEST_F(WizardFileTest, MissingFileIsAnErrorNamingIt)
{
    TWizardFile wizard;
    const QString message = refusal(path(QStringLiteral("nowhere.qdz")), TWizardReader::Editor, wizard);
    EXPECT_TRUE(message.contains(path(QStringLiteral("nowhere.qdz")))) << message.toStdString();
}

TEST_F(WizardFileTest, ValuesWithLineBreaksAreNotWrittenAndTheOldFileStays)
{
    WriteWizardFile(path(), sampleWizard());
    const QByteArray before = readRaw();
    TWizardFile broken = sampleWizard();
    broken.Pages[1].Variables[0].Prompt = QStringLiteral("two\nlines");
    EXPECT_THROW(WriteWizardFile(path(), broken), Exception);
    EXPECT_EQ(readRaw(), before);
}

} // namespace
