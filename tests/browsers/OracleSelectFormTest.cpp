// The collection column picker, driven through its real widgets.
#include "browsers/OracleSelectForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace qd;

namespace {

// Runs SelectCollectionColumn with fresh outputs, acting on the dialog once it is shown.
struct Pick {
    bool result = false;
    int index = 42;
    bool readOnly = true;
    QStringList shown;
    QString caption;
};

Pick pick(const QStringList &columns, const std::function<void(TOracleSelectForm &)> &act)
{
    Pick outcome;
    QTimer::singleShot(0, [&] {
        auto *form = qobject_cast<TOracleSelectForm *>(QApplication::activeModalWidget());
        if (!form) {
            ADD_FAILURE() << "no modal picker";
            return;
        }
        outcome.caption = form->windowTitle();
        for (int i = 0; i < form->CollListBox->count(); ++i)
            outcome.shown << form->CollListBox->item(i)->text();
        act(*form);
        // A dialog the action left open is closed, so the test never hangs.
        if (form->isVisible())
            form->reject();
    });
    outcome.result = SelectCollectionColumn(columns, outcome.index, outcome.readOnly);
    return outcome;
}

const QStringList columns { QStringLiteral("LINES (DEMO.LINE_LIST)"),
    QStringLiteral("ADDRESS.PHONES (DEMO.PHONE_LIST)") };

} // namespace

TEST(OracleSelectForm, ShowsTheColumnsAndConfirmsTheFirstWithReadOnlyChecked)
{
    const Pick p = pick(columns, [](TOracleSelectForm &form) {
        EXPECT_EQ(form.CollListBox->currentRow(), 0);
        EXPECT_TRUE(form.CollReadOnlyCheck->isChecked());
        EXPECT_EQ(form.CollReadOnlyCheck->text(), "Create ReadOnly DataSet");
        EXPECT_EQ(form.PageControl->currentWidget(), form.CollSheet);
        EXPECT_FALSE(form.PageControl->tabBar()->isVisible());
        EXPECT_TRUE(form.OKBtn->isDefault());
        EXPECT_EQ(form.size(), QSize(558, 306));
        QTest::mouseClick(form.OKBtn, Qt::LeftButton);
    });
    EXPECT_EQ(p.caption, "Select Master Collection Column for Detail Dataset");
    EXPECT_EQ(p.shown, columns);
    EXPECT_TRUE(p.result);
    EXPECT_EQ(p.index, 0);
    EXPECT_TRUE(p.readOnly);
}

TEST(OracleSelectForm, ReturnsTheChosenColumnAndTheReadOnlyChoice)
{
    const Pick p = pick(columns, [](TOracleSelectForm &form) {
        form.CollListBox->setCurrentRow(1);
        QTest::keyClick(form.CollReadOnlyCheck, Qt::Key_Space);
        QTest::keyClick(&form, Qt::Key_Return);
    });
    EXPECT_TRUE(p.result);
    EXPECT_EQ(p.index, 1);
    EXPECT_FALSE(p.readOnly);
}

TEST(OracleSelectForm, DoubleClickConfirms)
{
    const Pick p = pick(columns, [](TOracleSelectForm &form) {
        QListWidgetItem *item = form.CollListBox->item(1);
        const QPoint centre = form.CollListBox->visualItemRect(item).center();
        QTest::mouseClick(form.CollListBox->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(form.CollListBox->viewport(), Qt::LeftButton, {}, centre);
    });
    EXPECT_TRUE(p.result);
    EXPECT_EQ(p.index, 1);
    EXPECT_TRUE(p.readOnly);
}

TEST(OracleSelectForm, CancelOrEscapeChangesNothing)
{
    const std::function<void(TOracleSelectForm &)> ways[] = {
        [](TOracleSelectForm &form) {
            form.CollListBox->setCurrentRow(1);
            QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
        },
        [](TOracleSelectForm &form) { QTest::keyClick(&form, Qt::Key_Escape); },
        [](TOracleSelectForm &form) { form.close(); },
    };
    for (const auto &way : ways) {
        const Pick p = pick(columns, way);
        EXPECT_FALSE(p.result);
        EXPECT_EQ(p.index, -1);
        EXPECT_FALSE(p.readOnly);
    }
}
