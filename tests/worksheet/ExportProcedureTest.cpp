// The PL/SQL export procedure generator: golden files of its formats, quotes in the names it
// pastes into literals, and the generated text compiling on the stand-in.
//
// After a deliberate change of the generated text, regenerate the golden files with
//   QD_UPDATE_GOLDEN=1 build/tests/test_worksheet --gtest_filter='ExportProcedure*'
// and review the difference before committing it.

#include "common/StandinSession.h"
#include "oracle/ScreenServices.h"
#include "worksheet/ExportProcedure.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

const QStringList kQuery = {
    QStringLiteral("select id, amount, id * 2 as twice, name as \"it's\", hired, notes"),
    QStringLiteral("  from export_proc_t"),
};

class ExportProcedureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        session = LogOnDemo();
        CreateFreshTable(*session, QStringLiteral("export_proc_t"),
            QStringLiteral("id number(5), amount number(7,2), name varchar2(20), hired date, "
                           "notes clob, price number"));
        ScreenServices hooks;
        hooks.message = [this](TMessageKind, const QString &message) { messages.append(message); };
        InstallScreenServices(hooks);
    }
    void TearDown() override
    {
        ResetScreenServices();
        LogOffQuietly(session);
    }

    // The generated file's lines, the date line made fixed.
    QStringList generate(quint8 format, bool withHeader, const QStringList &query = kQuery,
        const QString &dirName = QStringLiteral("EXP_DIR"),
        const QString &fileName = QStringLiteral("emp's.txt"))
    {
        const QString out = dir.filePath(QStringLiteral("proc.sql"));
        EXPECT_TRUE(GenerateExportProcedure(query, format, withHeader, QStringLiteral(","), out,
            fileName, dirName, QStringLiteral("EXP_T"), *session));
        QFile file(out);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        EXPECT_TRUE(lines.last().isEmpty()); // the last line ends too
        lines.removeLast();
        for (QString &line : lines)
            if (line.startsWith(QStringLiteral("-- Generated on ")))
                line = QStringLiteral("-- Generated on <date> at <time>");
        return lines;
    }

    static void expectGolden(const QString &name, const QStringList &lines)
    {
        const QString actual = lines.join(u'\n') + u'\n';
        const QString path = QDir(testsSourceDirectory() + QStringLiteral("/worksheet/golden")).filePath(name);
        if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN")) {
            QSaveFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(actual.toUtf8());
            ASSERT_TRUE(out.commit());
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(actual, QString::fromUtf8(file.readAll())) << name.toStdString();
    }

    QTemporaryDir dir;
    std::unique_ptr<TOracleSession> session;
    QStringList messages;
};

} // namespace

TEST_F(ExportProcedureTest, EveryFormatMatchesItsGoldenFile)
{
    struct Case {
        quint8 format;
        bool header;
        const char *golden;
    };
    const Case cases[] = {
        { 0, true, "export-proc-csv.sql" },
        { 0, false, "export-proc-csv-noheader.sql" },
        { 1, true, "export-proc-fixed.sql" },
        { 2, true, "export-proc-tab.sql" },
        { 3, false, "export-proc-pipe-noheader.sql" },
    };
    for (const Case &c : cases)
        expectGolden(QLatin1String(c.golden), generate(c.format, c.header));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

TEST_F(ExportProcedureTest, WithoutHeaderThereIsNoHeadingBlock)
{
    const QStringList lines = generate(0, false);
    EXPECT_FALSE(lines.contains(QStringLiteral("  /* Create headings */")));
    EXPECT_TRUE(lines.contains(QStringLiteral(
        "-- File format is comma separated, field values enclosed in quotes, with no header line.")));
}

TEST_F(ExportProcedureTest, WidthsOfFixedColumns)
{
    const QStringList lines = generate(1, true,
        { QStringLiteral("select id, amount, price, id * 2 as twice, name, hired, notes from export_proc_t") });
    const QString text = lines.join(u'\n');
    EXPECT_TRUE(text.contains(QStringLiteral("lpad('ID',6,' ')"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("lpad('AMOUNT',9,' ')")));
    EXPECT_TRUE(text.contains(QStringLiteral("lpad('TWICE',23,' ')")));
    EXPECT_TRUE(text.contains(QStringLiteral("rpad('NAME',20,' ')")));
    EXPECT_TRUE(text.contains(QStringLiteral("rpad('HIRED',21,' ')")));
    // The CLOB is in neither the heading nor the data lines.
    EXPECT_FALSE(text.contains(QStringLiteral("NOTES")));
}

TEST_F(ExportProcedureTest, QuotesInPastedNamesAreDoubled)
{
    const QStringList lines = generate(0, true, kQuery, QStringLiteral("O'DIR"), QStringLiteral("a'b.txt"));
    EXPECT_TRUE(lines.contains(QStringLiteral(
        "  dirName  varchar2(200) := 'O''DIR'; -- for storing the output directory")));
    EXPECT_TRUE(lines.contains(QStringLiteral(
        "  fileName varchar2(200) := 'a''b.txt'; -- for storing the output filename")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  UTL_FILE.PUT(fhandle, ',\"it''s\"');")));
}

TEST_F(ExportProcedureTest, TheGeneratedTextCompilesOnTheServer)
{
    for (quint8 format = 0; format < 4; ++format) {
        QStringList lines = generate(format, true);
        ASSERT_EQ(lines.last(), QStringLiteral("/"));
        lines.removeLast();
        TOracleQuery create;
        create.SetSession(session.get());
        for (const QString &line : lines)
            create.SQL().Add(line);
        ASSERT_NO_THROW(create.Execute()) << int(format);
        EXPECT_EQ(ScalarText(*session,
                      QStringLiteral("select count(*) from user_errors where name = 'EXP_T'")),
            QStringLiteral("0"))
            << int(format);
        EXPECT_EQ(ScalarText(*session,
                      QStringLiteral("select status from user_objects where object_name = 'EXP_T'")),
            QStringLiteral("VALID"))
            << int(format);
    }
}

TEST_F(ExportProcedureTest, AnUnwritableFileIsReportedAndGivesFalse)
{
    const QString out = dir.filePath(QStringLiteral("missing/dir/proc.sql"));
    EXPECT_FALSE(GenerateExportProcedure(kQuery, 0, true, QString(), out, QStringLiteral("f"),
        QStringLiteral("D"), QStringLiteral("P"), *session));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith(QStringLiteral("Error accessing file ") + out + u'\n'))
        << messages.first().toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(ExportProcedureTest, ABadQueryFailsBeforeTheFileIsWritten)
{
    const QString out = dir.filePath(QStringLiteral("never.sql"));
    EXPECT_THROW(GenerateExportProcedure({ QStringLiteral("select * from no_such_table") }, 0, true,
                     QString(), out, QStringLiteral("f"), QStringLiteral("D"),
                     QStringLiteral("P"), *session),
        EOracleError);
    EXPECT_FALSE(QFile::exists(out));
}
