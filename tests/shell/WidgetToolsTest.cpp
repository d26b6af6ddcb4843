#include "shell/ControlStates.h"
#include "shell/FormPlacement.h"
#include "shell/KeyState.h"
#include "shell/MessageBoxes.h"

#include "classlib/IniFile.h"
#include "common/TestSupport.h"
#include "oracle/QStringPrinter.h"
#include "oracle/ScreenServices.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

namespace {

TEST(ControlStates, SaveDisableAndRestore)
{
    QWidget window;
    auto *run = new QPushButton(&window);
    auto *stop = new QPushButton(&window);
    stop->setEnabled(false);
    QAction action(&window);

    TControlList list;
    SaveControlStates(list, { run, nullptr, stop, &action });
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Entries(0).kind, QStringLiteral("TControl"));
    EXPECT_EQ(list.Entries(2).kind, QStringLiteral("TMenuItem"));
    EXPECT_EQ(ComponentTag(run), 1);
    EXPECT_EQ(ComponentTag(stop), 0);
    EXPECT_EQ(ComponentTag(&action), 1);

    DisableControlList(list, false);
    EXPECT_FALSE(run->isEnabled());
    EXPECT_FALSE(action.isEnabled());
    EnableControlList(list, false);
    EXPECT_TRUE(stop->isEnabled());

    // Restoring gives each its saved state, whichever routine does it.
    DisableControlList(list, true);
    EXPECT_TRUE(run->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(action.isEnabled());
    EnableControlList(list, true);
    EXPECT_TRUE(run->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
}

TEST(ControlStates, DeletedControlIsPassedOver)
{
    TControlList list;
    auto gone = std::make_unique<QPushButton>();
    QPushButton kept;
    SaveControlStates(list, { gone.get(), &kept });
    gone.reset();
    DisableControlList(list, false);
    EXPECT_FALSE(kept.isEnabled());
    EXPECT_EQ(list.Entries(0).component, nullptr);
}

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScreenServices hooks;
        hooks.message = [this](TMessageKind kind, const QString &text) {
            m_shown.append({ kind, text });
        };
        InstallScreenServices(hooks);
    }
    void TearDown() override { ResetScreenServices(); }

    QList<std::pair<TMessageKind, QString>> m_shown;
};

TEST_F(MessageBoxes, KindsAndFileErrors)
{
    ShowErrorMessage(QStringLiteral("bad"));
    ShowWarningMessage(QStringLiteral("careful"));
    ShowInfoMessage(QStringLiteral("done"));
    ShowFileError(101, QStringLiteral("/tmp/x.lst"));
    ShowFileError(250, QStringLiteral("y"));
    ASSERT_EQ(m_shown.size(), 5);
    EXPECT_EQ(m_shown[0], std::make_pair(mkError, QStringLiteral("bad")));
    EXPECT_EQ(m_shown[1], std::make_pair(mkWarning, QStringLiteral("careful")));
    EXPECT_EQ(m_shown[2], std::make_pair(mkInformation, QStringLiteral("done")));
    EXPECT_EQ(m_shown[3],
        std::make_pair(mkError, QStringLiteral("Error accessing file /tmp/x.lst\nDisk is full.")));
    EXPECT_EQ(
        m_shown[4].second, QStringLiteral("Error accessing file y\nI/O error 250 has occurred."));
}

TEST(FormPlacement, SavedPartsComeBack)
{
    const QString ini = QDir(test::programDirectory()).filePath(QStringLiteral("FormState.Ini"));
    QWidget saved;
    saved.setGeometry(120, 90, 410, 330);
    SaveFormPlacement(AllPlacementParts, &saved, ini, QStringLiteral("TSQLForm"));
    const TIniFile file(ini);
    EXPECT_EQ(file.ReadInteger(QStringLiteral("TSQLForm"), QStringLiteral("Width"), 0), 410);
    EXPECT_EQ(file.ReadInteger(QStringLiteral("TSQLForm"), QStringLiteral("Height"), 0), 330);
    EXPECT_EQ(file.ReadString(QStringLiteral("TSQLForm"), QStringLiteral("WindowState"), QString()),
        QStringLiteral("wsNormal"));

    QWidget loaded;
    loaded.setGeometry(5, 6, 200, 100);
    LoadFormPlacement(AllPlacementParts, &loaded, ini, QStringLiteral("TSQLForm"));
    EXPECT_EQ(loaded.size(), QSize(410, 330));
    EXPECT_EQ(loaded.pos(), QPoint(120, 90));
    EXPECT_FALSE(loaded.isMaximized());

    // Only the parts asked for are read; values of 0 or less are not applied.
    TIniFile edit(ini);
    edit.WriteString(
        QStringLiteral("TSQLForm"), QStringLiteral("WindowState"), QStringLiteral("wsMaximized"));
    edit.WriteInteger(QStringLiteral("TSQLForm"), QStringLiteral("Width"), 0);
    QWidget partly;
    partly.setGeometry(5, 6, 200, 100);
    LoadFormPlacement(
        TPlacementParts(fpWidth | fpHeight), &partly, ini, QStringLiteral("TSQLForm"));
    EXPECT_EQ(partly.size(), QSize(200, 330));
    EXPECT_EQ(partly.pos(), QPoint(5, 6));
    EXPECT_FALSE(partly.windowState().testFlag(Qt::WindowMaximized));
    LoadFormPlacement(TPlacementParts(fpWindowState), &partly, ini, QStringLiteral("TSQLForm"));
    EXPECT_TRUE(partly.windowState().testFlag(Qt::WindowMaximized));
}

TEST(FormPlacement, MissingSectionKeepsTheWindow)
{
    const QString ini = QDir(test::programDirectory()).filePath(QStringLiteral("Empty.Ini"));
    QWidget form;
    form.setGeometry(7, 8, 300, 200);
    LoadFormPlacement(AllPlacementParts, &form, ini, QStringLiteral("None"));
    EXPECT_EQ(form.geometry(), QRect(7, 8, 300, 200));
    EXPECT_FALSE(QFile::exists(ini));
}

TEST(KeyState, MouseButtonHeldDown)
{
    QWidget widget;
    widget.resize(50, 50);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(IsKeyDown(VK_LBUTTON));
    EXPECT_TRUE(KeyStateHasFlag(VK_LBUTTON, 0x81));
    EXPECT_FALSE(KeyStateHasFlag(VK_LBUTTON, 0x01));
    EXPECT_FALSE(IsKeyDown(VK_RBUTTON));
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
    // Keys without a state here read as up.
    EXPECT_FALSE(IsKeyDown(0x41));
}

} // namespace
