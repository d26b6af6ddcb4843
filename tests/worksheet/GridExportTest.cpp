// The worksheet's grid operations: exports in four formats against golden files, the clipboard,
// file errors, cancelling, Get All Rows and the export that first runs the editor.
//
// After a deliberate change of the export text, regenerate the golden files with
//   QD_UPDATE_GOLDEN=1 build/tests/test_worksheet --gtest_filter='GridExport*'
// and review the difference before committing it.

#include "WorksheetTestSupport.h"

#include "classlib/DataSetModel.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"
#include "shell/Settings.h"
#include "worksheet/EditorPane.h"
#include "worksheet/GridExport.h"
#include "worksheet/GridThread.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

using namespace qd;
using qd::test::WorksheetTest;

namespace {

const QString kColumnsQuery = QStringLiteral(
    "select id, amount, id * 2 as twice, name, hired, notes from grid_export_t order by id");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

// The fields of one CSV line as a reader of the format takes them: quoted fields, a doubled
// quote inside one standing for a quote.
QStringList readCsvLine(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields.append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.append(field);
    return fields;
}

class GridExportTest : public WorksheetTest {
protected:
    void SetUp() override
    {
        WorksheetTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    // A worksheet showing the rows of kColumnsQuery: NUMBER(5), NUMBER(7,2), a number
    // expression, VARCHAR2, DATE and a CLOB.
    TSQLForm *openWithColumns()
    {
        TSQLForm *form = open(QStringLiteral("DEMO"), kColumnsQuery);
        qd::test::CreateFreshTable(*form->Session(), QStringLiteral("grid_export_t"),
            QStringLiteral("id number(5), amount number(7,2), name varchar2(20), hired date, "
                           "notes clob"));
        qd::test::RunSql(*form->Session(),
            QStringLiteral("insert into grid_export_t values (1, 1234.5, 'Smith', "
                           "to_date('2024-03-05 13:45:10', 'YYYY-MM-DD HH24:MI:SS'), 'long text')"));
        qd::test::RunSql(*form->Session(),
            QStringLiteral("insert into grid_export_t values (22, -7.25, 'say \"hi\", then', "
                           "to_date('1999-12-31', 'YYYY-MM-DD'), null)"));
        qd::test::RunSql(*form->Session(),
            QStringLiteral("insert into grid_export_t values (333, null, null, null, 'x')"));
        qd::test::RunSql(*form->Session(), QStringLiteral("commit"));
        form->RunSQL(0, 0);
        EXPECT_TRUE(waitForRun(form));
        EXPECT_TRUE(form->DataSet()->Active());
        return form;
    }

    bool exportAndWait(TSQLForm *form, const TGridExportOptions &options)
    {
        form->ExportGrid(options);
        return waitFor([form] { return !form->GridBusy() && !form->Running(); });
    }

    static void expectGoldenBytes(const QString &name, const QByteArray &actual)
    {
        const QString path = QDir(qd::test::testsSourceDirectory()
            + QStringLiteral("/worksheet/golden")).filePath(name);
        if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN")) {
            QSaveFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(actual);
            ASSERT_TRUE(out.commit());
        }
        EXPECT_EQ(actual, readFile(path)) << name.toStdString();
    }

    QTemporaryDir dir;
};

} // namespace

TEST(GridExportColumns, FixedWidthsFollowTypeSizePrecisionAndScale)
{
    struct Case {
        int type, size, precision, scale, width;
    };
    const Case cases[] = {
        { SQLT_INT, 0, 5, 0, 6 },    // NUMBER(5)
        { SQLT_FLT, 0, 7, 2, 9 },    // NUMBER(7,2)
        { SQLT_FLT, 0, 0, 0, 23 },   // a number expression: no precision
        { SQLT_FLT, 0, 0, -127, 24 }, // a float without precision, scale given
        { SQLT_STR, 20, 0, 0, 20 },  // VARCHAR2(20)
        { SQLT_DAT, 7, 0, 0, 19 },   // yyyy-MM-dd HH:mm:ss
    };
    for (const Case &c : cases)
        EXPECT_EQ(FixedExportWidth(c.type, c.size, c.precision, c.scale), c.width)
            << c.type << "/" << c.precision << "/" << c.scale;
    EXPECT_TRUE(IsExportedColumnType(SQLT_AVC, SQLT_CHR));
    EXPECT_FALSE(IsExportedColumnType(SQLT_CLOB, SQLT_CLOB));
    EXPECT_FALSE(IsExportedColumnType(SQLT_STR, SQLT_BIN)); // RAW, fetched as hex text
}

TEST_F(GridExportTest, EveryFormatMatchesItsGoldenFile)
{
    TSQLForm *form = openWithColumns();
    struct Case {
        quint8 format;
        bool headings;
        const char *golden;
    };
    const Case cases[] = {
        { gefCommaSeparated, true, "grid-export-csv.txt" },
        { gefCommaSeparated, false, "grid-export-csv-noheadings.txt" },
        { gefFixedWidth, true, "grid-export-fixed.txt" },
        { gefTabDelimited, true, "grid-export-tab.txt" },
        { gefDelimited, true, "grid-export-pipe.txt" },
    };
    for (const Case &c : cases) {
        TGridExportOptions options;
        options.FileName = dir.filePath(QLatin1String(c.golden));
        options.Format = c.format;
        options.Delimiter = QStringLiteral("|");
        options.ExportHeadings = c.headings;
        ASSERT_TRUE(exportAndWait(form, options)) << c.golden;
        expectGoldenBytes(QLatin1String(c.golden), readFile(options.FileName));
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

TEST_F(GridExportTest, CsvValuesReadBackAsWritten)
{
    TSQLForm *form = openWithColumns();
    TGridExportOptions options;
    options.FileName = dir.filePath(QStringLiteral("quotes.csv"));
    ASSERT_TRUE(exportAndWait(form, options));
    const QStringList lines = QString::fromUtf8(readFile(options.FileName)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    // The CLOB is left out of the heading and of every row.
    EXPECT_EQ(readCsvLine(lines.at(0)),
        (QStringList { "ID", "AMOUNT", "TWICE", "NAME", "HIRED" }));
    const QStringList second = readCsvLine(lines.at(2));
    ASSERT_EQ(second.size(), 5);
    EXPECT_EQ(second.at(3), QStringLiteral("say \"hi\", then"));
}

TEST_F(GridExportTest, ClipboardGetsWhatTheFileGets)
{
    TSQLForm *form = openWithColumns();
    TGridExportOptions options;
    options.FileName = dir.filePath(QStringLiteral("same.txt"));
    options.Format = gefTabDelimited;
    ASSERT_TRUE(exportAndWait(form, options));
    QApplication::clipboard()->clear();
    options.ToClipboard = true;
    options.FileName = dir.filePath(QStringLiteral("not-written.txt"));
    ASSERT_TRUE(exportAndWait(form, options));
    EXPECT_EQ(QApplication::clipboard()->text().toUtf8(), readFile(dir.filePath(QStringLiteral("same.txt"))));
    EXPECT_FALSE(QFile::exists(options.FileName));
}

TEST_F(GridExportTest, MissingDirectoryReportsTheFileAndTheSystemText)
{
    TSQLForm *form = openWithColumns();
    const int row = 1;
    form->Grid()->setCurrentIndex(form->GridModel()->index(row, 0));
    const QColor base = form->Grid()->palette().color(QPalette::Base);
    TGridExportOptions options;
    options.FileName = dir.filePath(QStringLiteral("no/such/dir/out.csv"));
    ASSERT_TRUE(exportAndWait(form, options));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(),
        QStringLiteral("Error accessing file ") + options.FileName
            + QStringLiteral("\nNo such file or directory"));
    EXPECT_EQ(form->StatusPanels()->PanelText(4), QStringLiteral("Error: ") + messages.first());
    EXPECT_TRUE(form->StatusPanels()->PanelRaised(4));
    // The grid and the commands are themselves again.
    EXPECT_EQ(form->Grid()->palette().color(QPalette::Base), base);
    EXPECT_TRUE(form->Action(QStringLiteral("Execute1"))->isEnabled());
    EXPECT_FALSE(form->Button(QStringLiteral("btnCancel"))->isEnabled());
    EXPECT_TRUE(form->Editor()->isEnabled());
    EXPECT_EQ(form->Grid()->currentIndex().row(), row);
}

TEST_F(GridExportTest, TerminatedExportKeepsTheLinesWritten)
{
    auto session = qd::test::LogOnDemo();
    TOracleDataSet dataSet;
    dataSet.SetSession(session.get());
    dataSet.SQL().SetText(QStringLiteral("select empno, ename from emp order by empno"));
    dataSet.Open();
    TGridExportOptions options;
    options.FileName = dir.filePath(QStringLiteral("partial.txt"));
    options.Format = gefDelimited;
    options.Delimiter = QStringLiteral(";");
    int rowsAsked = 0;
    // Stop after three rows have been written.
    ExportGridToFile(dataSet, *session, options, [&rowsAsked] { return rowsAsked++ == 3; });
    const QStringList lines = QString::fromUtf8(readFile(options.FileName)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5); // heading, three rows, and what follows the last line end
    EXPECT_EQ(lines.at(0), QStringLiteral("EMPNO;ENAME"));
    EXPECT_TRUE(lines.at(3).contains(u';'));
    EXPECT_TRUE(lines.at(4).isEmpty());
    qd::test::LogOffQuietly(session);
}

TEST_F(GridExportTest, GetAllRowsFetchesEverythingAndRestoresTheGrid)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select n from grid_rows_t order by n"));
    qd::test::CreateFreshTable(*form->Session(), QStringLiteral("grid_rows_t"), QStringLiteral("n number(6)"));
    qd::test::RunSql(*form->Session(),
        QStringLiteral("begin for i in 1..1500 loop insert into grid_rows_t values (i); end loop; end;"));
    qd::test::RunSql(*form->Session(), QStringLiteral("commit"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ASSERT_TRUE(form->DataSet()->Active());
    ASSERT_LT(form->DataSet()->RecordCount(), 1500); // the grid fetched only what it shows
    form->Grid()->setCurrentIndex(form->GridModel()->index(4, 0));
    ASSERT_EQ(form->DataSet()->FieldByName(QStringLiteral("N"))->AsString(), QStringLiteral("5"));
    const QColor base = form->Grid()->palette().color(QPalette::Base);
    const bool cancelBefore = form->Action(QStringLiteral("Cancel1"))->isEnabled();

    form->GetAllRows();
    EXPECT_TRUE(form->GridBusy());
    form->GetAllRows(); // a second operation is refused
    ASSERT_TRUE(waitFor([form] { return !form->GridBusy(); }));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), QStringLiteral("An operation is already being performed on the grid."));

    EXPECT_EQ(form->DataSet()->RecordCount(), 1500);
    EXPECT_EQ(form->DataSet()->FieldByName(QStringLiteral("N"))->AsString(), QStringLiteral("5"));
    EXPECT_EQ(form->Grid()->currentIndex().row(), 4);
    EXPECT_EQ(form->Grid()->palette().color(QPalette::Base), base);
    EXPECT_EQ(form->StatusPanels()->PanelText(4), QString());
    EXPECT_TRUE(form->Action(QStringLiteral("Execute1"))->isEnabled());
    EXPECT_TRUE(form->Action(QStringLiteral("Commit1"))->isEnabled());
    EXPECT_EQ(form->Action(QStringLiteral("Cancel1"))->isEnabled(), cancelBefore);
    EXPECT_FALSE(form->Button(QStringLiteral("btnCancel"))->isEnabled());
    EXPECT_TRUE(form->Editor()->isEnabled());
}

// While Get All Rows reads, the row position shows every 200th row only, whether or not the
// grid follows the rows ("GridEnableOnOp"); afterwards it shows the grid's own row again.
TEST_F(GridExportTest, GetAllRowsShowsThePositionEvery200Rows)
{
    for (const bool gridFollows : { false, true }) {
        SCOPED_TRACE(gridFollows ? "GridEnableOnOp on" : "GridEnableOnOp off");
        TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select n from grid_rows_t order by n"));
        qd::test::CreateFreshTable(*form->Session(), QStringLiteral("grid_rows_t"), QStringLiteral("n number(6)"));
        qd::test::RunSql(*form->Session(),
            QStringLiteral("begin for i in 1..1500 loop insert into grid_rows_t values (i); end loop; end;"));
        qd::test::RunSql(*form->Session(), QStringLiteral("commit"));
        form->Settings().FindSetting(QStringLiteral("GridEnableOnOp"))->SetValue(Variant(gridFollows));
        form->RunSQL(0, 0);
        ASSERT_TRUE(waitForRun(form));
        form->Grid()->setCurrentIndex(form->GridModel()->index(4, 0));
        ASSERT_EQ(form->StatusPanels()->PanelText(2).section(u'/', 0, 0), QStringLiteral("5"));

        QStringList shownWhileBusy;
        QObject::connect(form->StatusPanels(), &WorksheetStatusBar::panelTextChanged, form,
            [form, &shownWhileBusy](int panel, const QString &text) {
                if (panel == 2 && form->GridBusy())
                    shownWhileBusy.append(text);
            });
        form->GetAllRows();
        ASSERT_TRUE(waitFor([form] { return !form->GridBusy(); }));

        // 200/..., 400/..., up to 1400/...: each a multiple of 200 within the rows read so far.
        QList<int> positions;
        for (const QString &text : shownWhileBusy) {
            const QStringList parts = text.split(u'/');
            ASSERT_EQ(parts.size(), 2) << text.toStdString();
            const int position = parts.at(0).toInt();
            EXPECT_EQ(position % 200, 0) << text.toStdString();
            EXPECT_LE(position, parts.at(1).toInt()) << text.toStdString();
            positions.append(position);
        }
        EXPECT_EQ(positions, QList<int>({ 200, 400, 600, 800, 1000, 1200, 1400 }))
            << shownWhileBusy.join(u' ').toStdString();
        EXPECT_EQ(form->StatusPanels()->PanelText(2), QStringLiteral("5/1500"));
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    }
}

TEST_F(GridExportTest, ExportOfAClosedDataSetRunsTheEditorFirst)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select deptno, dname from dept order by deptno"));
    ASSERT_FALSE(form->DataSet()->Active());
    TGridExportOptions options;
    options.FileName = dir.filePath(QStringLiteral("after-run.csv"));
    form->ExportGrid(options);
    EXPECT_TRUE(form->Running());
    ASSERT_TRUE(waitFor([form] { return !form->Running() && !form->GridBusy(); }));
    const QByteArray text = readFile(options.FileName);
    EXPECT_TRUE(text.startsWith("\"DEPTNO\",\"DNAME\"\r\n\"10\",\"")) << text.constData();
    EXPECT_EQ(text.count("\r\n"), 1 + qd::test::ScalarText(*form->Session(),
        QStringLiteral("select count(*) from dept")).toInt());

    // A run that leaves no open dataset exports nothing.
    form->Editor()->setText(QStringLiteral("update dept set dname = dname where 1 = 0"));
    form->DataSet()->Close();
    options.FileName = dir.filePath(QStringLiteral("never.csv"));
    form->ExportGrid(options);
    ASSERT_TRUE(waitFor([form] { return !form->Running() && !form->GridBusy(); }));
    QApplication::processEvents();
    EXPECT_FALSE(form->GridBusy());
    EXPECT_FALSE(QFile::exists(options.FileName));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}
