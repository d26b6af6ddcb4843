// The shell's small dialogs and the link label: association offer, text prompt, about box.
#include "common/TestSupport.h"
#include "platform/MILAssociate.h"
#include "platform/ShellOpen.h"
#include "shell/FileAssociate.h"
#include "shell/KXAboutForm.h"
#include "shell/MainSettings.h"
#include "shell/Settings.h"
#include "shell/TextInput.h"
#include "shell/UrlLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

class RecordingShellOpen : public ShellOpen {
public:
    RecordingShellOpen() { ShellOpen::setCurrent(this); }
    ~RecordingShellOpen() override { ShellOpen::setCurrent(nullptr); }
    bool openUrl(const QUrl &url) override
    {
        urls.append(url.toString());
        return true;
    }
    QStringList urls;
};

// Runs act once a modal dialog is up, and closes it if act left it open.
void whileModal(QDialog &dialog, std::function<void()> act)
{
    QTimer::singleShot(0, &dialog, [&dialog, act = std::move(act)] {
        act();
        if (dialog.isVisible())
            dialog.reject();
    });
}

} // namespace

TEST(UrlLabel, FullAddressByKind)
{
    const struct {
        TUrlType type;
        const char *expected;
    } cases[] = {
        { utCustom, "myapp:host/x" }, { utFile, "file://host/x" }, { utFtp, "ftp://host/x" },
        { utGopher, "gopher://host/x" }, { utHttp, "http://host/x" }, { utHttps, "https://host/x" },
        { utMail, "mailto:host/x" }, { utNews, "news:host/x" }, { utTelnet, "telnet:host/x" },
        { utWais, "wais:host/x" },
    };
    TUrlLabel label;
    label.SetCustomURLType(QStringLiteral("myapp:"));
    label.SetURL(QStringLiteral("host/x"));
    for (const auto &c : cases) {
        label.SetURLType(c.type);
        EXPECT_EQ(label.FullURL(), QLatin1String(c.expected)) << c.type;
        EXPECT_EQ(label.toolTip(), QLatin1String(c.expected)) << c.type;
    }
}

TEST(UrlLabel, MailAddresses)
{
    const struct {
        const char *what;
        const char *subject;
        QStringList body;
        const char *cc;
        const char *bcc;
        const char *expected;
    } cases[] = {
        { "address only", "", {}, "", "", "mailto:dev@example.org" },
        { "subject", "Hello", {}, "", "", "mailto:dev@example.org?Subject=Hello" },
        // The first field takes "?", so a body alone still reaches the mail program.
        { "body only", "", { QStringLiteral("one") }, "", "", "mailto:dev@example.org?Body=one%0D%0A" },
        { "two body lines", "S", { QStringLiteral("one"), QStringLiteral("two") }, "", "",
            "mailto:dev@example.org?Subject=S&Body=one%0D%0Atwo%0D%0A" },
        { "all, in order", "S", { QStringLiteral("b") }, "cc@x.org", "bcc@x.org",
            "mailto:dev@example.org?Subject=S&Body=b%0D%0A&Bcc=bcc%40x.org&Cc=cc%40x.org" },
        { "copies only", "", {}, "cc@x.org", "", "mailto:dev@example.org?Cc=cc%40x.org" },
        // Text that would end a field or the address is escaped.
        { "reserved characters", "Q&A #1?", { QStringLiteral("a=b & c") }, "", "",
            "mailto:dev@example.org?Subject=Q%26A%20%231%3F&Body=a%3Db%20%26%20c%0D%0A" },
    };
    for (const auto &c : cases) {
        TUrlLabel label;
        label.SetURLType(utMail);
        label.SetURL(QStringLiteral("dev@example.org"));
        label.SetMailSubject(QLatin1String(c.subject));
        label.SetMailBody(c.body);
        label.SetCc(QLatin1String(c.cc));
        label.SetBcc(QLatin1String(c.bcc));
        EXPECT_EQ(label.FullURL(), QLatin1String(c.expected)) << c.what;
        EXPECT_EQ(label.toolTip(), QLatin1String(c.expected)) << c.what;
    }
}

TEST(UrlLabel, Hints)
{
    const struct {
        const char *what;
        const char *ownHint; // set after the address; empty: none
        bool showAfter;
        const char *expected;
    } cases[] = {
        { "the address by default", "", true, "http://a.org" },
        { "turned off: the address hint goes", "", false, "" },
        { "turned off: a hint of its own stays", "mine", false, "mine" },
        { "turned on again: the address", "mine", true, "http://a.org" },
    };
    for (const auto &c : cases) {
        TUrlLabel label;
        label.SetURLType(utHttp);
        label.SetURL(QStringLiteral("a.org"));
        if (*c.ownHint)
            label.setToolTip(QLatin1String(c.ownHint));
        label.SetShowUrlHint(c.showAfter);
        EXPECT_EQ(label.toolTip(), QLatin1String(c.expected)) << c.what;
    }
    // With the hint off, a new address leaves the hint alone.
    TUrlLabel label;
    label.SetShowUrlHint(false);
    label.SetURL(QStringLiteral("x"));
    EXPECT_TRUE(label.toolTip().isEmpty());
}

TEST(UrlLabel, MouseOverAndClick)
{
    RecordingShellOpen shell;
    TUrlLabel label;
    label.setText(QStringLiteral("site"));
    label.SetURLType(utHttps);
    label.SetURL(QStringLiteral("quarlodesk.org/"));
    QStringList events;
    label.OnMouseEnter = [&](TUrlLabel *) { events.append(QStringLiteral("enter")); };
    label.OnMouseLeave = [&](TUrlLabel *) { events.append(QStringLiteral("leave")); };
    EXPECT_EQ(label.TextColor(), QColor(0, 0, 128));
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.TextColor(), QColor(0, 0, 255));
    EXPECT_TRUE(label.font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.TextColor(), QColor(0, 0, 128));
    EXPECT_FALSE(label.font().underline());
    EXPECT_EQ(events, (QStringList { QStringLiteral("enter"), QStringLiteral("leave") }));

    // Without mouse detection: underlined for good, and the mouse changes nothing.
    label.SetDetectMouse(false);
    EXPECT_TRUE(label.font().underline());
    QApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.TextColor(), QColor(0, 0, 128));
    QApplication::sendEvent(&label, &leave);
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(events.size(), 2);
    label.SetDetectMouse(true);
    EXPECT_FALSE(label.font().underline());

    label.resize(100, 20);
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&label, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(shell.urls, QStringList { QStringLiteral("https://quarlodesk.org/") });
}

TEST(TextInput, StartsEmptyEachTime)
{
    TTextInput input;
    whileModal(input, [&] {
        EXPECT_TRUE(input.edtValue->text().isEmpty());
        EXPECT_EQ(input.windowTitle(), QStringLiteral("Statement Name"));
        EXPECT_EQ(input.lblPrompt->text(), QStringLiteral("Name:"));
        QTest::keyClicks(input.edtValue, QStringLiteral("top earners"));
        QTest::mouseClick(input.btnOK, Qt::LeftButton);
    });
    EXPECT_EQ(input.Execute(QStringLiteral("Statement Name"), QStringLiteral("Name:")), QDialog::Accepted);
    EXPECT_EQ(input.Value(), QStringLiteral("top earners"));

    whileModal(input, [&] {
        EXPECT_TRUE(input.edtValue->text().isEmpty());
        EXPECT_EQ(input.lblPrompt->text(), QStringLiteral("Other:"));
        QTest::keyClicks(input.edtValue, QStringLiteral("dropped"));
        QTest::mouseClick(input.btnCancel, Qt::LeftButton);
    });
    EXPECT_EQ(input.Execute(QStringLiteral("Again"), QStringLiteral("Other:")), QDialog::Rejected);
    // Cancel keeps the value of the last OK.
    EXPECT_EQ(input.Value(), QStringLiteral("top earners"));
    EXPECT_FALSE(input.isVisible());
}

TEST(AboutBox, ShowsTheProductAndItsLink)
{
    RecordingShellOpen shell;
    TKXAboutForm about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quarlo Desk"));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 2.3.1"));
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("lblMajor"))->text(), QStringLiteral("1-23-2002"));
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("lblPatch"))->text(), QStringLiteral("7-15-2004"));
    TUrlLabel *link = about.UrlLabel();
    EXPECT_EQ(link->URLType(), utCustom);
    EXPECT_EQ(link->FullURL(), TKXAboutForm::WebAddress());
    EXPECT_EQ(link->text(), TKXAboutForm::WebAddress());
    EXPECT_EQ(link->toolTip(), TKXAboutForm::WebAddress());
    whileModal(about, [&] {
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, link->rect().center());
        QTest::mouseClick(about.findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
    });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_EQ(shell.urls, QStringList { TKXAboutForm::WebAddress() });
}

namespace {

class FileAssociateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *name : { "XDG_DATA_HOME", "XDG_CONFIG_HOME" })
            QDir(qEnvironmentVariable(name)).removeRecursively();
        QFile::remove(mainSettingsFileName());
        declareMainSettings(settings);
        settings.SetIniFileName(mainSettingsFileName());
        settings.LoadSettings();
        associate.SetAppName(QStringLiteral("QuarloDesk"));
        associate.SetDisplayName(QStringLiteral("Quarlo Desk"));
        associate.SetPathToApp(QStringLiteral("/opt/qd/quarlodesk"));
        associate.OnRunTool = [](const QString &, const QStringList &) {};
    }
    // The setting as the next start reads it.
    static bool storedCheckAssociation()
    {
        TSettings fresh;
        declareMainSettings(fresh);
        fresh.SetIniFileName(mainSettingsFileName());
        fresh.LoadSettings();
        return fresh.FindSetting(QStringLiteral("CheckAssociation"))->Value().toBool();
    }
    int run(const std::function<void(TFileAssociate &)> &act)
    {
        TFileAssociate dialog(associate, settings);
        whileModal(dialog, [&] { act(dialog); });
        return dialog.Show(TFileAssociate::Extensions(), TFileAssociate::Descriptions());
    }

    TSettings settings;
    TMILAssociate associate;
};

} // namespace

TEST_F(FileAssociateTest, ListsEachTypeUnchecked)
{
    run([](TFileAssociate &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Associate Files"));
        ASSERT_EQ(dialog.clbExt->count(), 5);
        EXPECT_EQ(dialog.clbExt->item(0)->text(), QStringLiteral("*.SQL (SQL file)"));
        EXPECT_EQ(dialog.clbExt->item(4)->text(), QStringLiteral("*.PTP (Quarlo Desk Rizer Edor Project file)"));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(dialog.clbExt->item(i)->checkState(), Qt::Unchecked);
        EXPECT_FALSE(dialog.chkDoNotDisplay->isChecked());
    });
}

TEST_F(FileAssociateTest, DoNotDisplayWithNothingCheckedAssociatesNothingAndTurnsTheOfferOff)
{
    EXPECT_EQ(run([](TFileAssociate &dialog) {
        QTest::mouseClick(dialog.chkDoNotDisplay, Qt::LeftButton);
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    }),
        QDialog::Accepted);
    EXPECT_FALSE(QFileInfo::exists(associate.MimeAppsListPath()));
    EXPECT_FALSE(QFileInfo::exists(associate.DesktopFilePath()));
    for (const QString &extension : TFileAssociate::Extensions())
        EXPECT_FALSE(associate.IsAssociated(extension)) << extension.toStdString();
    EXPECT_FALSE(settings.FindSetting(QStringLiteral("CheckAssociation"))->Value().toBool());
    EXPECT_FALSE(storedCheckAssociation());
}

TEST_F(FileAssociateTest, OkAssociatesTheCheckedTypesOnly)
{
    run([](TFileAssociate &dialog) {
        dialog.clbExt->item(2)->setCheckState(Qt::Checked);
        dialog.clbExt->item(0)->setCheckState(Qt::Checked);
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    EXPECT_TRUE(associate.IsAssociated(QStringLiteral("SQL")));
    EXPECT_TRUE(associate.IsAssociated(QStringLiteral("TEM")));
    EXPECT_FALSE(associate.IsAssociated(QStringLiteral("QDK")));
    EXPECT_TRUE(storedCheckAssociation());
}

TEST_F(FileAssociateTest, CancelStoresNothing)
{
    EXPECT_EQ(run([](TFileAssociate &dialog) {
        dialog.clbExt->item(1)->setCheckState(Qt::Checked);
        dialog.chkDoNotDisplay->setChecked(true);
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    }),
        QDialog::Rejected);
    EXPECT_FALSE(associate.IsAssociated(QStringLiteral("QDK")));
    EXPECT_TRUE(settings.FindSetting(QStringLiteral("CheckAssociation"))->Value().toBool());
    EXPECT_TRUE(storedCheckAssociation());
}
