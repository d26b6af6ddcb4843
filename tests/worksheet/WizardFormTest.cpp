// The wizard runner over wizard files: pages, fields, navigation and the substituted text.
#include "worksheet/WizardForm.h"

#include "oracle/ScreenServices.h"
#include "shell/WizardFile.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

namespace {

class WizardFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScreenServices hooks;
        hooks.message = [this](TMessageKind, const QString &message) { messages.append(message); };
        InstallScreenServices(hooks);
    }
    void TearDown() override { ResetScreenServices(); }

    // A runner on a file holding these bytes, shown.
    std::unique_ptr<TfrmWizard> open(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("w%1.qdz").arg(++m_files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        auto form = std::unique_ptr<TfrmWizard>(TfrmWizard::CreateWizard(nullptr, path));
        form->show();
        QApplication::processEvents();
        return form;
    }

    static QStringList finish(TfrmWizard &form)
    {
        QTest::mouseClick(form.btnOK(), Qt::LeftButton);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        return form.WizStrings();
    }

    QStringList messages;

private:
    QTemporaryDir m_dir;
    int m_files = 0;
};

const QByteArray header = "[wizard]\r\nversion=1\r\n";

TEST_F(WizardFormTest, WithoutPagesOkGivesTheTextUntouched)
{
    const QByteArray cases[] = {
        header + "wizlines=1\r\nwiz0=select &a from dual\r\n",
        header + "wizlines=1\r\npages=0\r\nwiz0=select &a from dual\r\n",
    };
    for (const QByteArray &bytes : cases) {
        auto form = open(bytes);
        EXPECT_EQ(form->pcPages()->count(), 0);
        EXPECT_FALSE(form->btnPrev()->isEnabled());
        EXPECT_FALSE(form->btnNext()->isEnabled());
        EXPECT_EQ(finish(*form), QStringList({ "select &a from dual" }));
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(WizardFormTest, BuildsOnePageOfPromptsPerWizardPage)
{
    auto form = open(header
        + "wizdesc=Find employees\r\nwizlines=1\r\npages=2\r\nwiz0=&a &b &c &d\r\n"
          "[Page0]\r\ndesc=Who\r\nvalues=2\r\n"
          "valtype0=String\r\nvalname0=a\r\nvalprompt0=Name:\r\n"
          "valtype1=NUMBER\r\nvalname1=b\r\n"
          "[Page1]\r\ndesc=When\r\nvalues=2\r\n"
          "valtype0=date\r\nvalname0=c\r\nvalprompt0=Day:\r\n"
          "valtype0=ignored, the first wins\r\n"
          "valtype1=DateTime\r\nvalname1=d\r\n");
    EXPECT_EQ(form->windowTitle(), "Wizard");
    EXPECT_EQ(form->lblWizDesc()->text(), "Find employees");
    ASSERT_EQ(form->pcPages()->count(), 2);
    EXPECT_EQ(form->pcPages()->tabText(0), "Page 1");
    EXPECT_EQ(form->pcPages()->tabText(1), "Page 2");

    auto *memo = form->findChild<QPlainTextEdit *>(QStringLiteral("Page1Memo0"));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->toPlainText(), "When");
    EXPECT_TRUE(memo->isReadOnly());
    ASSERT_NE(form->findChild<QScrollArea *>(QStringLiteral("Page0ScrollBox0")), nullptr);

    struct Field {
        const char *name;
        const char *variable;
        const char *mask; // null: a spin edit
    };
    const Field fields[] = { { "Page0Edit0", "A", "" }, { "Page0Edit1", "B", nullptr },
        { "Page1Edit0", "C", "99/99/9999;-" }, { "Page1Edit1", "D", "99/99/9999 99:99:99;-" } };
    ASSERT_EQ(form->ValueControlCount(), 4);
    for (int i = 0; i < 4; ++i) {
        QWidget *control = form->ValueControl(i);
        EXPECT_EQ(control->objectName(), QLatin1String(fields[i].name));
        EXPECT_EQ(form->ValueControlName(i), QLatin1String(fields[i].variable));
        EXPECT_EQ(control->geometry(), QRect(300, 26 * (i % 2), 300, 25)) << fields[i].name;
        if (fields[i].mask) {
            auto *edit = qobject_cast<QLineEdit *>(control);
            ASSERT_NE(edit, nullptr) << fields[i].name;
            EXPECT_EQ(edit->inputMask(), QLatin1String(fields[i].mask));
        } else {
            ASSERT_NE(qobject_cast<QSpinBox *>(control), nullptr);
        }
    }
    // The prompts stand beside their fields; a missing one reads "Enter the value:".
    QStringList prompts;
    for (QLabel *label : form->pcPages()->widget(0)->findChildren<QLabel *>()) {
        prompts << label->text();
        EXPECT_EQ(label->x(), 0);
        EXPECT_EQ(label->width(), 298);
        EXPECT_EQ(label->y() % 26, 2);
    }
    EXPECT_EQ(prompts, QStringList({ "Name:", "Enter the value:" }));
    EXPECT_EQ(form->focusWidget(), form->ValueControl(0));
}

TEST_F(WizardFormTest, PreviousAndNextFollowThePages)
{
    auto form = open(header + "pages=3\r\n[Page0]\r\n[Page1]\r\n[Page2]\r\n");
    ASSERT_EQ(form->pcPages()->count(), 3);
    const auto state = [&form] {
        return std::make_tuple(form->pcPages()->currentIndex(), form->btnPrev()->isEnabled(),
            form->btnNext()->isEnabled());
    };
    EXPECT_EQ(state(), std::make_tuple(0, false, true));
    QTest::mouseClick(form->btnNext(), Qt::LeftButton);
    EXPECT_EQ(state(), std::make_tuple(1, true, true));
    QTest::mouseClick(form->btnNext(), Qt::LeftButton);
    EXPECT_EQ(state(), std::make_tuple(2, true, false));
    QTest::mouseClick(form->btnPrev(), Qt::LeftButton);
    QTest::mouseClick(form->btnPrev(), Qt::LeftButton);
    EXPECT_EQ(state(), std::make_tuple(0, false, true));
    // A hidden page is passed over.
    form->pcPages()->setTabVisible(1, false);
    QTest::mouseClick(form->btnNext(), Qt::LeftButton);
    EXPECT_EQ(state(), std::make_tuple(2, true, false));

    auto single = open(header + "pages=1\r\n[Page0]\r\n");
    EXPECT_FALSE(single->btnPrev()->isEnabled());
    EXPECT_FALSE(single->btnNext()->isEnabled());
}

TEST_F(WizardFormTest, OkPutsTheTypedValuesInPlace)
{
    const QByteArray page = "pages=1\r\n[Page0]\r\n";
    const struct {
        const char *name;
        QByteArray file;
        std::function<void(TfrmWizard &)> type;
        QStringList expected;
    } cases[] = {
        { "a DEPT entry fills every &dept, in any case",
            header + "wizlines=2\r\nwiz0=select * from emp where deptno = &dept\r\n"
                     "wiz1=   or mgr_dept = &DePt. -- &other\r\n"
                + page + "values=1\r\nvalname0=DEPT\r\n",
            [](TfrmWizard &form) { QTest::keyClicks(form.ValueControl(0), QStringLiteral("20")); },
            { "select * from emp where deptno = 20", "   or mgr_dept = 20 -- &other" } },
        { "a spin value as a whole decimal",
            header + "wizlines=1\r\nwiz0=rownum <= &n\r\n" + page
                + "values=1\r\nvaltype0=Number\r\nvalname0=n\r\n",
            [](TfrmWizard &form) { qobject_cast<QSpinBox *>(form.ValueControl(0))->setValue(-1500); },
            { "rownum <= -1500" } },
        { "an untouched spin edit gives 0",
            header + "wizlines=1\r\nwiz0=&n\r\n" + page + "values=1\r\nvaltype0=NUMBER\r\nvalname0=N\r\n",
            [](TfrmWizard &) {}, { "0" } },
        { "a date typed into its mask",
            header + "wizlines=1\r\nwiz0=to_date('&day', 'MM/DD/YYYY')\r\n" + page
                + "values=1\r\nvaltype0=Date\r\nvalname0=day\r\n",
            [](TfrmWizard &form) {
                form.ValueControl(0)->setFocus();
                QTest::keyClicks(form.ValueControl(0), QStringLiteral("12311999"));
            },
            { "to_date('12/31/1999', 'MM/DD/YYYY')" } },
        { "values=3 without valname1: the nameless field replaces nothing",
            header + "wizlines=1\r\nwiz0=&a &b &c\r\n" + page
                + "values=3\r\nvalname0=a\r\nvaltype1=String\r\nvalname2=c\r\n",
            [](TfrmWizard &form) {
                for (int i = 0; i < 3; ++i)
                    QTest::keyClicks(form.ValueControl(i), QStringLiteral("v%1").arg(i));
            },
            { "v0 &b v2" } },
        { "two variables of one name: the first control wins",
            header + "wizlines=1\r\nwiz0=&x/&x\r\npages=2\r\n[Page0]\r\nvalues=1\r\nvalname0=X\r\n"
                     "[Page1]\r\nvalues=1\r\nvalname0=x\r\n",
            [](TfrmWizard &form) {
                QTest::keyClicks(form.ValueControl(0), QStringLiteral("first"));
                QTest::keyClicks(form.ValueControl(1), QStringLiteral("second"));
            },
            { "first/first" } },
    };
    for (const auto &c : cases) {
        auto form = open(c.file);
        c.type(*form);
        EXPECT_EQ(finish(*form), c.expected) << c.name;
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(WizardFormTest, CancelLeavesNoText)
{
    auto form = open(header + "wizlines=1\r\nwiz0=text\r\n");
    QTest::mouseClick(form->btnCancel(), Qt::LeftButton);
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_TRUE(form->WizStrings().isEmpty());
}

TEST_F(WizardFormTest, ActionComesFromTheFile)
{
    const struct {
        QByteArray line;
        TQDWizAction action;
    } cases[] = { { "action=Execute\r\n", wizExecute }, { "ACTION=EXECUTE\r\n", wizExecute },
        { "action=drop\r\n", wizDrop }, { "action=Run it\r\n", wizPreview }, { "", wizPreview } };
    for (const auto &c : cases)
        EXPECT_EQ(open(header + c.line)->WizardAction(), c.action) << c.line.constData();
}

TEST_F(WizardFormTest, RefusedFilesShowTheMessageAndNothingElse)
{
    const QByteArray cases[] = {
        "[wizard]\r\nversion=2\r\nwizlines=1\r\npages=1\r\nwiz0=text\r\n[Page0]\r\nvalues=0\r\n",
        header + "wizdesc=Too long\r\nwizlines=2147483647\r\npages=1\r\nwiz0=text\r\n",
    };
    for (const QByteArray &bytes : cases) {
        messages.clear();
        auto form = open(bytes);
        EXPECT_EQ(messages, QStringList({ WizardFileCorruptMessage() }));
        EXPECT_EQ(form->pcPages()->count(), 0);
        EXPECT_TRUE(form->lblWizDesc()->text().isEmpty());
        EXPECT_TRUE(finish(*form).isEmpty());
    }
}

} // namespace
