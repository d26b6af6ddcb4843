#include "classlib/IniFile.h"
#include "common/TestSupport.h"
#include "shell/DockLib.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

namespace {

// A main window with a central widget and one pane, shown, with two sites: bottom (tag 1) and
// top (tag 2).
struct DockFixture {
    DockFixture()
    {
        window = std::make_unique<QMainWindow>();
        window->setCentralWidget(new QLabel(QStringLiteral("centre")));
        pane = new QDockWidget(QStringLiteral("Error Messages"), window.get());
        pane->setObjectName(QStringLiteral("pnlErrorMessages"));
        pane->setWidget(new QLabel(QStringLiteral("errors")));
        window->addDockWidget(Qt::BottomDockWidgetArea, pane);
        window->resize(600, 400);
        window->show();
        QApplication::processEvents();
        sites = { { window.get(), Qt::BottomDockWidgetArea, 1 },
            { window.get(), Qt::TopDockWidgetArea, 2 } };
    }

    std::unique_ptr<QMainWindow> window;
    QDockWidget *pane = nullptr;
    QList<TDockSite> sites;
};

// A layout file of the running test's own.
QString iniPath()
{
    return QDir(qd::test::programDirectory())
        .filePath(QString::fromLatin1(
                      ::testing::UnitTest::GetInstance()->current_test_info()->name())
            + QStringLiteral(".ini"));
}

} // namespace

TEST(DockLibHex, CodesEachByteAsTwoUpperCaseDigitsAndBack)
{
    EXPECT_EQ(StringToHex(QByteArray("\x00\x0f\xff", 3)), QStringLiteral("000FFF"));
    EXPECT_EQ(HexToString(QStringLiteral("000FFF")), QByteArray("\x00\x0f\xff", 3));
    EXPECT_EQ(HexToString(QStringLiteral("0aB")), QByteArray("\x0a", 1)); // odd tail ignored
    EXPECT_EQ(HexToString(QStringLiteral("zz-1")), QByteArray("\x00\x00", 2));
    EXPECT_TRUE(HexToString(QString()).isEmpty());
    const QByteArray all = [] {
        QByteArray b;
        for (int i = 0; i < 256; ++i)
            b.append(char(i));
        return b;
    }();
    EXPECT_EQ(HexToString(StringToHex(all)), all);
}

TEST(DockLibPane, DockedPaneWritesItsSiteAndOrientation)
{
    DockFixture f;
    TIniFile ini(iniPath());
    SaveDockState(ini, f.pane, QStringLiteral("ErrorMessages"), f.sites);
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("ErrorMessages"), QStringLiteral("Docked"), false));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("ErrorMessages"), QStringLiteral("Dock Host"), -1), 1);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("ErrorMessages"), QStringLiteral("Orientation"), -1), 1);
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("ErrorMessages"), QStringLiteral("Visible"), false));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("ErrorMessages"), QStringLiteral("Height"), -1),
        f.pane->height());
}

TEST(DockLibPane, FloatingPaneRestoresFloatingAtItsRectangle)
{
    const QRect rect(120, 90, 300, 150);
    {
        DockFixture f;
        f.pane->setFloating(true);
        f.pane->setGeometry(rect);
        QApplication::processEvents();
        TIniFile ini(iniPath());
        SaveDockState(ini, f.pane, QStringLiteral("ErrorMessages"), f.sites);
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("ErrorMessages"), QStringLiteral("Dock Host"), -1),
            0);
        EXPECT_FALSE(ini.ValueExists(QStringLiteral("ErrorMessages"), QStringLiteral("Orientation")));
    }
    DockFixture g;
    const TIniFile ini(iniPath());
    EXPECT_TRUE(LoadDockState(ini, QStringLiteral("ErrorMessages"), g.pane, g.sites));
    EXPECT_TRUE(g.pane->isFloating());
    EXPECT_EQ(g.pane->geometry(), rect);
    EXPECT_TRUE(g.pane->isVisible());
}

TEST(DockLibPane, DockHostIsClampedToTheGivenSites)
{
    struct Case {
        int host;
        Qt::DockWidgetArea expected;
    };
    for (const Case c : { Case { 5, Qt::TopDockWidgetArea }, Case { 2, Qt::TopDockWidgetArea },
             Case { 0, Qt::BottomDockWidgetArea }, Case { -3, Qt::BottomDockWidgetArea } }) {
        DockFixture f;
        // Start away from the expected area so that a move is visible.
        f.window->addDockWidget(c.expected == Qt::TopDockWidgetArea ? Qt::BottomDockWidgetArea
                                                                    : Qt::TopDockWidgetArea,
            f.pane);
        TIniFile ini(iniPath());
        ini.WriteBool(QStringLiteral("P"), QStringLiteral("Docked"), true);
        ini.WriteInteger(QStringLiteral("P"), QStringLiteral("Dock Host"), c.host);
        ini.WriteInteger(QStringLiteral("P"), QStringLiteral("Height"), 90);
        EXPECT_TRUE(LoadDockState(ini, QStringLiteral("P"), f.pane, f.sites)) << c.host;
        EXPECT_EQ(f.window->dockWidgetArea(f.pane), c.expected) << c.host;
        EXPECT_FALSE(f.pane->isFloating());
    }
}

TEST(DockLibPane, MissingSectionLeavesThePaneButAppliesTheVisibleDefault)
{
    DockFixture f;
    f.pane->hide();
    const TIniFile ini(iniPath());
    EXPECT_FALSE(LoadDockState(ini, QStringLiteral("Nothing"), f.pane, f.sites));
    EXPECT_EQ(f.window->dockWidgetArea(f.pane), Qt::BottomDockWidgetArea);
    EXPECT_FALSE(f.pane->isFloating());
    EXPECT_TRUE(f.pane->isVisible());
}

TEST(DockLibSite, SiteStateRoundTripsSizeAndHiddenPane)
{
    {
        DockFixture f;
        f.window->resizeDocks({ f.pane }, { 120 }, Qt::Vertical);
        QApplication::processEvents();
        TIniFile ini(iniPath());
        SaveDockSiteState(ini, f.sites.first(), QStringLiteral("DockSites"), QStringLiteral("Bottom"));
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("DockSites"), QStringLiteral("BottomHeight"), -1),
            f.pane->height());
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("DockSites"), QStringLiteral("BottomWidth"), -1),
            f.window->width());
        const QString data
            = ini.ReadString(QStringLiteral("DockSites"), QStringLiteral("BottomData"), QString());
        EXPECT_FALSE(data.isEmpty());
        EXPECT_EQ(data, data.toUpper());
        f.pane->hide();
        SaveDockSiteState(ini, f.sites.first(), QStringLiteral("Hidden"), QStringLiteral("Bottom"));
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("Hidden"), QStringLiteral("BottomHeight"), -1), 0);
    }
    DockFixture g;
    const TIniFile ini(iniPath());
    LoadDockSiteState(ini, g.sites.first(), QStringLiteral("Hidden"), QStringLiteral("Bottom"));
    QApplication::processEvents();
    EXPECT_TRUE(g.pane->isHidden());
}

TEST(DockLibSite, DamagedLayoutDataChangesNothing)
{
    DockFixture f;
    TIniFile ini(iniPath());
    ini.WriteString(QStringLiteral("DockSites"), QStringLiteral("BottomData"), QStringLiteral("00FF12"));
    LoadDockSiteState(ini, f.sites.first(), QStringLiteral("DockSites"), QStringLiteral("Bottom"));
    EXPECT_EQ(f.window->dockWidgetArea(f.pane), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(f.pane->isVisible());
}
