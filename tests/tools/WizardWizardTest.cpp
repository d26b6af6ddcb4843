// The wizard file editor driven through its controls: pages, variables, saving, reading,
// preview and the question on close.
#include "tools/WizardWizard.h"

#include "classlib/Variant.h"
#include "editor/CodeMemo.h"
#include "oracle/ScreenServices.h"
#include "shell/WizardFile.h"
#include "tools/DynamicRecord.h"
#include "tools/WizardTextEditor.h"
#include "worksheet/WizardForm.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qd;

namespace {

class WizardWizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScreenServices hooks;
        hooks.message = [this](TMessageKind, const QString &message) { messages.append(message); };
        hooks.showException = [this](std::exception_ptr error) {
            messages.append(ExceptionMessage(error));
        };
        hooks.confirm = [this](const QString &question, const QString &buttons) {
            questions.append(question + u'|' + buttons);
            return answer;
        };
        InstallScreenServices(hooks);
    }

    void TearDown() override
    {
        answer = mrNo;
        for (const QPointer<TfrmWizardWizard> &window : windows)
            delete window.data();
        ResetScreenServices();
    }

    // A shown, active editor on fileName (empty: a new wizard).
    TfrmWizardWizard *open(const QString &fileName = QString())
    {
        auto *window = TfrmWizardWizard::CreateForFile(nullptr, fileName);
        windows.append(window);
        window->resize(640, 440);
        window->show();
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        current = window;
        return window;
    }

    template <typename W> W *child(const char *name)
    {
        W *widget = current->findChild<W *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QListWidget *lbPages() { return child<QListWidget>("lbPages"); }
    QListWidget *lbVariables() { return child<QListWidget>("lbVariables"); }
    QLineEdit *edtNewPage() { return child<QLineEdit>("edtNewPage"); }
    QLineEdit *edtNewVar() { return child<QLineEdit>("edtNewVar"); }
    QComboBox *cbDataType() { return child<QComboBox>("cbDataType"); }
    QComboBox *cbPage() { return child<QComboBox>("cbPage"); }
    QLineEdit *edtPrompt() { return child<QLineEdit>("edtPrompt"); }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

    static QStringList texts(QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    void showSheet(const char *name)
    {
        child<QTabWidget>("pcWizard")->setCurrentWidget(child<QWidget>(name));
        QApplication::processEvents();
    }

    // Types a title into the page edit and presses Enter, which moves on and ends the edit.
    void typePageTitle(const QString &title)
    {
        QTest::keyClicks(edtNewPage(), title);
        QTest::keyClick(edtNewPage(), Qt::Key_Return);
        QApplication::processEvents();
    }
    void newPage(const QString &title)
    {
        showSheet("tsPageLayout");
        click("btnNewPage");
        typePageTitle(title);
    }
    void renamePage(int row, const QString &title)
    {
        showSheet("tsPageLayout");
        lbPages()->setCurrentRow(row);
        click("btnRenamePage");
        typePageTitle(title);
    }

    // A new variable; moves down the type and page lists by the given steps and types a prompt.
    void newVariable(const QString &name, int typeSteps = 0, const QString &prompt = QString(),
        int pageSteps = 0)
    {
        showSheet("tsVariables");
        click("btnNewVar");
        QTest::keyClicks(edtNewVar(), name);
        QTest::keyClick(edtNewVar(), Qt::Key_Return);
        QApplication::processEvents();
        for (int i = 0; i < typeSteps; ++i)
            QTest::keyClick(cbDataType(), Qt::Key_Down);
        if (!prompt.isEmpty()) {
            edtPrompt()->selectAll();
            QTest::keyClicks(edtPrompt(), prompt);
        }
        for (int i = 0; i < pageSteps; ++i)
            QTest::keyClick(cbPage(), Qt::Key_Down);
    }

    // Types the file name into the shown dialog and accepts it, as a user would.
    static void answerSaveDialog(QFileDialog *dialog, const QString &fileName)
    {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(fileName);
        QMetaObject::invokeMethod(dialog, "accept");
    }

    // Saves through the save dialog, answering it with fileName.
    bool saveAs(const QString &fileName)
    {
        QFileDialog *dialog = current->SaveDialog();
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        QTimer::singleShot(0, dialog, [dialog, fileName] { answerSaveDialog(dialog, fileName); });
        return current->btnSaveClick();
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    static QByteArray readRaw(const QString &fileName)
    {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static void writeRaw(const QString &fileName, const QByteArray &bytes)
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QStringList messages;
    QStringList questions;
    int answer = mrNo;
    QList<QPointer<TfrmWizardWizard>> windows;
    TfrmWizardWizard *current = nullptr;

private:
    QTemporaryDir m_dir;
};

TEST_F(WizardWizardTest, NewWizardSavesItsOneDefaultPage)
{
    open();
    EXPECT_EQ(current->windowTitle(), "Wizard Editor");
    EXPECT_EQ(texts(lbPages()), QStringList({ "Page 1" }));
    EXPECT_FALSE(edtNewPage()->isEnabled());
    EXPECT_FALSE(edtNewVar()->isEnabled());
    EXPECT_FALSE(current->Modified());

    const QString file = path(QStringLiteral("new.QDZ"));
    ASSERT_TRUE(saveAs(file));
    EXPECT_EQ(current->FileName(), file);
    EXPECT_EQ(current->windowTitle(), "Wizard Editor - [" + file + "]");
    EXPECT_EQ(readRaw(file),
        QByteArray("[wizard]\r\nversion=1\r\naction=drop\r\nwizdesc=\r\nwizlines=0\r\npages=1\r\n"
                   "\r\n[Page0]\r\ndesc=Page 1\r\n\r\nvalues=0\r\n"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(WizardWizardTest, WizardSurvivesWriteReadAndWriteByteForByte)
{
    open();
    QTest::keyClicks(child<QLineEdit>("edtWizDesc"), QStringLiteral("Employees"));
    renamePage(0, QStringLiteral("Department"));
    newPage(QStringLiteral("Dates"));
    EXPECT_EQ(texts(lbPages()), QStringList({ "Department", "Dates" }));
    newVariable(QStringLiteral("dept"), 1, QStringLiteral("Department number:"));
    newVariable(QStringLiteral("name"));
    newVariable(QStringLiteral("since"), 2, QStringLiteral("Hired after"), 1);
    EXPECT_EQ(texts(lbVariables()), QStringList({ "DEPT", "NAME", "SINCE" }));
    child<WizardTextEditor>("seText")->setLines({ QStringLiteral("select ename"),
        QStringLiteral("  from emp"), QStringLiteral("    where deptno = &dept  ") });

    const QString file = path(QStringLiteral("emp.qdz"));
    ASSERT_TRUE(saveAs(file));
    const QByteArray written = readRaw(file);
    EXPECT_EQ(written,
        QByteArray("[wizard]\r\nversion=1\r\naction=drop\r\nwizdesc=Employees\r\nwizlines=3\r\n"
                   "pages=2\r\nwiz0=select ename\r\nwiz1=  from emp\r\n"
                   "wiz2=    where deptno = &dept  \r\n"
                   "\r\n[Page0]\r\ndesc=Department\r\n\r\n"
                   "valtype0=Number\r\nvalname0=DEPT\r\nvalprompt0=Department number:\r\n\r\n"
                   "valtype1=String\r\nvalname1=NAME\r\nvalprompt1=Enter value:\r\n\r\n"
                   "values=2\r\n"
                   "\r\n[Page1]\r\ndesc=Dates\r\n\r\n"
                   "valtype0=Date\r\nvalname0=SINCE\r\nvalprompt0=Hired after\r\n\r\n"
                   "values=1\r\n"));

    // Read in a second editor and written again.
    open(file);
    EXPECT_EQ(current->windowTitle(), "Wizard Editor - [" + file + "]");
    EXPECT_EQ(texts(lbPages()), QStringList({ "Department", "Dates" }));
    EXPECT_EQ(texts(lbVariables()), QStringList({ "DEPT", "NAME", "SINCE" }));
    EXPECT_FALSE(current->Modified());
    writeRaw(file, "overwritten");
    ASSERT_TRUE(current->btnSaveClick());
    EXPECT_EQ(readRaw(file), written);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(WizardWizardTest, SelectingAVariableShowsItsRecord)
{
    open();
    newPage(QStringLiteral("Second"));
    newVariable(QStringLiteral("A"), 3, QStringLiteral("When?"), 1);
    newVariable(QStringLiteral("B"));
    lbVariables()->setCurrentRow(0);
    EXPECT_EQ(cbDataType()->currentText(), "DateTime");
    EXPECT_EQ(edtPrompt()->text(), "When?");
    EXPECT_EQ(cbPage()->currentText(), "Second");
    lbVariables()->setCurrentRow(1);
    EXPECT_EQ(cbDataType()->currentText(), "String");
    EXPECT_EQ(edtPrompt()->text(), "Enter value:");
    EXPECT_EQ(cbPage()->currentText(), "Page 1");

    QString table;
    VariantArray values;
    ASSERT_TRUE(current->drecVariables().FindRecord(
        lbVariables()->item(0)->data(Qt::UserRole).toInt(), table, values));
    EXPECT_EQ(table, "WizRec");
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[1].AsString(), "DateTime");
    EXPECT_EQ(values[2].AsString(), "When?");
    EXPECT_EQ(values[3].AsString(), "Second");
}

TEST_F(WizardWizardTest, RenamedPageKeepsItsVariablesDeletedPageDropsThem)
{
    open();
    newPage(QStringLiteral("Second"));
    newVariable(QStringLiteral("ONE"));
    newVariable(QStringLiteral("TWO"), 0, QString(), 1);
    renamePage(0, QStringLiteral("First"));
    lbPages()->setCurrentRow(1);
    click("btnDeletePage");
    EXPECT_EQ(texts(lbPages()), QStringList({ "First" }));

    const QString file = path(QStringLiteral("renamed.qdz"));
    ASSERT_TRUE(saveAs(file));
    TWizardFile read;
    ReadWizardFile(file, TWizardReader::Editor, read);
    ASSERT_EQ(read.Pages.size(), 1);
    EXPECT_EQ(read.Pages[0].Title, "First");
    ASSERT_EQ(read.Pages[0].Variables.size(), 1);
    EXPECT_EQ(read.Pages[0].Variables[0].Name, "ONE");
}

TEST_F(WizardWizardTest, PageTitlesMustDifferAndOnePageMustStay)
{
    open();
    newPage(QStringLiteral("Second"));
    // A duplicate is refused and the edit goes on until the title is changed.
    click("btnNewPage");
    typePageTitle(QStringLiteral("Page 1"));
    EXPECT_EQ(messages, QStringList({ "That page already exists" }));
    EXPECT_TRUE(edtNewPage()->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), edtNewPage());
    EXPECT_FALSE(child<QPushButton>("btnNewPage")->isEnabled());
    edtNewPage()->clear();
    typePageTitle(QStringLiteral("  Third "));
    EXPECT_EQ(texts(lbPages()), QStringList({ "Page 1", "Second", "Third" }));
    EXPECT_FALSE(edtNewPage()->isEnabled());
    EXPECT_TRUE(child<QPushButton>("btnNewPage")->isEnabled());

    // A new page left without a title goes; a retitled one blanked keeps its title.
    click("btnNewPage");
    typePageTitle(QString());
    lbPages()->setCurrentRow(1);
    click("btnRenamePage");
    EXPECT_EQ(edtNewPage()->text(), "Second");
    QTest::keyClick(edtNewPage(), Qt::Key_Backspace); // the whole title is selected
    typePageTitle(QString());
    EXPECT_EQ(texts(lbPages()), QStringList({ "Page 1", "Second", "Third" }));

    // Deleting selects the page before; the last page stays.
    lbPages()->setCurrentRow(2);
    click("btnDeletePage");
    EXPECT_EQ(lbPages()->currentRow(), 1);
    click("btnDeletePage");
    EXPECT_EQ(lbPages()->currentRow(), 0);
    messages.clear();
    click("btnDeletePage");
    EXPECT_EQ(texts(lbPages()), QStringList({ "Page 1" }));
    EXPECT_EQ(messages, QStringList({ "You must have at least one page in the wizard." }));
}

TEST_F(WizardWizardTest, VariableNamesAreCapitalsWithoutBlanksAndUnique)
{
    open();
    newVariable(QStringLiteral("dept no"));
    EXPECT_EQ(messages, QStringList({ "A variable cannot contain spaces or tabs." }));
    EXPECT_EQ(QApplication::focusWidget(), edtNewVar());
    EXPECT_EQ(lbVariables()->item(0)->text(), "DEPT NO"); // shown as typed meanwhile
    edtNewVar()->clear();
    QTest::keyClicks(edtNewVar(), QStringLiteral("dept_no"));
    QTest::keyClick(edtNewVar(), Qt::Key_Return);
    EXPECT_EQ(texts(lbVariables()), QStringList({ "DEPT_NO" }));
    EXPECT_FALSE(edtNewVar()->isEnabled());

    messages.clear();
    newVariable(QStringLiteral("Dept_No"));
    EXPECT_EQ(messages, QStringList({ "That variable already exists" }));
    edtNewVar()->clear();
    edtNewVar()->setText(QStringLiteral("TAB\tHERE"));
    cbPage()->setFocus(); // leaving checks too
    QApplication::processEvents();
    EXPECT_EQ(messages.last(), "A variable cannot contain spaces or tabs.");
    edtNewVar()->clear();
    QTest::keyClicks(edtNewVar(), QStringLiteral("loc"));
    cbPage()->setFocus();
    EXPECT_EQ(texts(lbVariables()), QStringList({ "DEPT_NO", "LOC" }));

    // Renaming keeps the record; deleting selects the one before, then clears the fields.
    const int id = lbVariables()->item(1)->data(Qt::UserRole).toInt();
    click("btnRenameVar");
    QTest::keyClicks(edtNewVar(), QStringLiteral("city"));
    QTest::keyClick(edtNewVar(), Qt::Key_Return);
    EXPECT_EQ(texts(lbVariables()), QStringList({ "DEPT_NO", "CITY" }));
    EXPECT_EQ(lbVariables()->item(1)->data(Qt::UserRole).toInt(), id);
    click("btnDeleteVar");
    EXPECT_EQ(texts(lbVariables()), QStringList({ "DEPT_NO" }));
    EXPECT_EQ(lbVariables()->currentRow(), 0);
    click("btnDeleteVar");
    EXPECT_EQ(lbVariables()->count(), 0);
    EXPECT_EQ(cbDataType()->currentIndex(), -1);
    EXPECT_TRUE(edtPrompt()->text().isEmpty());
}

TEST_F(WizardWizardTest, ClosingAsksOnlyAfterChanges)
{
    open();
    QPointer<TfrmWizardWizard> unchanged = current;
    current->close();
    QApplication::processEvents();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(unchanged.isNull());

    // Typing in the text counts as a change.
    open();
    QPointer<TfrmWizardWizard> window = current;
    child<WizardTextEditor>("seText")->setFocus();
    QTest::keyClicks(child<WizardTextEditor>("seText")->memo(), QStringLiteral("select"));
    EXPECT_TRUE(current->Modified());
    answer = mrCancel;
    click("btnClose");
    QApplication::processEvents();
    EXPECT_EQ(questions, QStringList({ "Save changes?|YNC" }));
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->isVisible());

    // Yes saves; a cancelled save dialog keeps the window too.
    answer = mrYes;
    current->SaveDialog()->setOption(QFileDialog::DontUseNativeDialog);
    QTimer::singleShot(0, current->SaveDialog(), [this] { current->SaveDialog()->reject(); });
    current->close();
    QApplication::processEvents();
    ASSERT_FALSE(window.isNull());
    const QString file = path(QStringLiteral("closing.qdz"));
    QTimer::singleShot(0, current->SaveDialog(), [this, file] {
        answerSaveDialog(current->SaveDialog(), file);
    });
    current->close();
    QApplication::processEvents();
    EXPECT_TRUE(window.isNull());
    TWizardFile read;
    ReadWizardFile(file, TWizardReader::Editor, read);
    EXPECT_EQ(read.Lines, QStringList({ "select" }));

    // No closes without saving.
    open();
    window = current;
    click("btnNewPage");
    answer = mrNo;
    current->close();
    QApplication::processEvents();
    EXPECT_TRUE(window.isNull());
}

TEST_F(WizardWizardTest, PreviewRunsTheWizardAndItsFileGoesOnClose)
{
    open();
    newVariable(QStringLiteral("n"), 1);
    child<WizardTextEditor>("seText")->setLines({ QStringLiteral("select &n from dual") });

    QStringList seen;
    QString firstPreview;
    const auto answerRunner = [&seen] {
        QTimer::singleShot(0, [&seen] {
            auto *runner = qobject_cast<TfrmWizard *>(QApplication::activeModalWidget());
            ASSERT_NE(runner, nullptr);
            seen << runner->FileName();
            EXPECT_EQ(runner->ValueControlCount(), 1);
            EXPECT_EQ(runner->ValueControlName(0), "N");
            runner->reject();
        });
    };
    answerRunner();
    current->btnPreviewClick();
    ASSERT_EQ(seen.size(), 1);
    firstPreview = current->PreviewFileName();
    EXPECT_EQ(seen[0], firstPreview);
    EXPECT_TRUE(QFile::exists(firstPreview));

    answerRunner();
    current->btnPreviewClick();
    ASSERT_EQ(seen.size(), 2);
    const QString secondPreview = current->PreviewFileName();
    EXPECT_NE(secondPreview, firstPreview);
    EXPECT_FALSE(QFile::exists(firstPreview));
    EXPECT_TRUE(QFile::exists(secondPreview));

    answer = mrNo;
    current->close();
    QApplication::processEvents();
    EXPECT_FALSE(QFile::exists(secondPreview));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(WizardWizardTest, UnreadableFilesAreReportedAndTheWindowStays)
{
    const QString corrupt = path(QStringLiteral("v2.qdz"));
    writeRaw(corrupt, "[wizard]\r\nversion=2\r\nwizdesc=Future\r\npages=1\r\n[Page0]\r\ndesc=P\r\n");
    const QString missing = path(QStringLiteral("missing.qdz"));
    const QString halfRead = path(QStringLiteral("half.qdz"));
    writeRaw(halfRead,
        "[wizard]\r\nversion=1\r\nwizdesc=Half\r\nwizlines=1\r\npages=40\r\nwiz0=kept\r\n");

    const struct {
        QString file;
        QString detail;
        QString title;
        QStringList pages;
    } cases[] = {
        { corrupt, WizardFileCorruptMessage(), QString(), { "Page 1" } },
        { missing, QString(), QString(), { "Page 1" } },
        { halfRead, WizardFileCorruptMessage(), QStringLiteral("Half"), { "Page 1" } },
    };
    for (const auto &c : cases) {
        messages.clear();
        open(c.file);
        ASSERT_EQ(messages.size(), 1) << c.file.toStdString();
        EXPECT_TRUE(messages[0].startsWith("Could not open wizard file " + c.file + "\n"))
            << messages[0].toStdString();
        if (!c.detail.isEmpty()) {
            EXPECT_EQ(messages[0], "Could not open wizard file " + c.file + "\n" + c.detail);
        }
        EXPECT_TRUE(current->isVisible());
        EXPECT_EQ(child<QLineEdit>("edtWizDesc")->text(), c.title);
        EXPECT_EQ(texts(lbPages()), c.pages);
    }
    EXPECT_EQ(child<WizardTextEditor>("seText")->lines(), QStringList({ "kept" }));
}

} // namespace
