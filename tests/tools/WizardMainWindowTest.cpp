// The main window opens the wizard file editor: Wizard > New, and a ".qdz" file by its type.
#include "shell/MainWindowFixture.h"

#include "shell/WizardFile.h"
#include "tools/WizardWizard.h"

#include <QAction>
#include <QListWidget>

namespace qd::test {
namespace {

class WizardMainWindow : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        windowFactories().WizardEditor = [](QWidget *owner, const QString &fileName) -> QWidget * {
            return TfrmWizardWizard::CreateForFile(owner, fileName);
        };
    }

    TfrmWizardWizard *editorOf(QMdiSubWindow *sub)
    {
        return sub ? qobject_cast<TfrmWizardWizard *>(sub->widget()) : nullptr;
    }
};

TEST_F(WizardMainWindow, WizardNewOpensAnEmptyEditor)
{
    start();
    main().MainAction(QStringLiteral("New2"))->trigger();
    ASSERT_EQ(children().size(), 1);
    TfrmWizardWizard *editor = editorOf(children()[0]);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->FileName().isEmpty());
    EXPECT_EQ(editor->windowTitle(), "Wizard Editor");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(WizardMainWindow, WizardFileOpensInTheEditor)
{
    start();
    main().show();
    TWizardFile wizard;
    wizard.Title = QStringLiteral("Opened");
    wizard.Pages = { { QStringLiteral("Only"), {} } };
    const QString file = QDir(programDirectory()).filePath(QStringLiteral("open.QDZ"));
    WriteWizardFile(file, wizard);

    main().OpenOrActivateFile(file, QString(), QString(), QString());
    ASSERT_EQ(children().size(), 1);
    TfrmWizardWizard *editor = editorOf(children()[0]);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->FileName(), file);
    auto *pages = editor->findChild<QListWidget *>(QStringLiteral("lbPages"));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 1);
    EXPECT_EQ(pages->item(0)->text(), "Only");

    // Its Close button closes the MDI child, asking nothing for an unchanged wizard.
    QPointer<TfrmWizardWizard> closing = editor;
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_TRUE(closing.isNull());
    EXPECT_TRUE(children().isEmpty());
    EXPECT_TRUE(questions.isEmpty());
}

} // namespace
} // namespace qd::test
