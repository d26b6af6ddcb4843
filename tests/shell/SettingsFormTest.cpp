// The settings editor driven through its list, panels and buttons: what it lists, what OK and
// Cancel keep, the security password that guards encrypted settings, and a new security
// password re-enciphering the saved accounts.
#include "MainWindowFixture.h"
#include "ModalDriver.h"

#include "classlib/IniFile.h"
#include "shell/AccountList.h"
#include "shell/MainSettings.h"
#include "shell/Settings.h"
#include "shell/SettingsForm.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>

using namespace qd;
using namespace qd::test;

namespace {

const QString Password = QStringLiteral("Secret");
const QString Ora = QStringLiteral("ORA");

class SettingsEditor : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        windowFactories().MaskedPrompt = &AskMaskedPromptValue;
    }

    static void writeSecurity(const QString &password)
    {
        TSettings settings;
        declareMainSettings(settings);
        settings.SetIniFileName(mainSettingsFileName());
        settings.FindSetting(QStringLiteral("SecurityEnabled"))->SetValue(Variant(true));
        TSettingItem *secure = settings.FindSetting(QStringLiteral("SecurePassword"));
        secure->SetPassword(password);
        secure->SetValue(Variant(password));
        settings.SaveSettings();
    }

    static void writeAccounts(const QString &key)
    {
        TAccountList accounts;
        accounts.SetKey(key);
        accounts.AddAccount(Ora, QStringLiteral("SCOTT"), QStringLiteral("tiger"),
            QStringLiteral("DEMO"), QStringLiteral("N"));
        accounts.SaveAccounts(TAccountList::defaultFileName());
    }

    // The user names of a fresh account list loaded from the file with key.
    static QStringList savedUserNames(const QString &key)
    {
        TAccountList accounts;
        accounts.SetKey(key);
        accounts.LoadAccounts(TAccountList::defaultFileName());
        QStringList names;
        for (int i = 0; i < accounts.GetCount(Ora); ++i) {
            TAccountRec rec;
            accounts.GetAccount(Ora, i, rec);
            names.append(rec.Username);
        }
        return names;
    }

    static std::unique_ptr<TSettings> savedSettings()
    {
        auto saved = std::make_unique<TSettings>();
        declareMainSettings(*saved);
        saved->SetIniFileName(mainSettingsFileName());
        saved->LoadSettings();
        return saved;
    }

    static QStringList lines(TfrmSettings *form)
    {
        QStringList texts;
        for (int i = 0; i < form->lbSettings()->count(); ++i)
            texts.append(form->lbSettings()->item(i)->text());
        return texts;
    }

    // Clicks the line with that text.
    static void select(TfrmSettings *form, const QString &text)
    {
        QListWidget *list = form->lbSettings();
        const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list->scrollToItem(found.first());
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        ASSERT_EQ(list->currentItem(), found.first());
    }

    static void typeInto(QLineEdit *edit, const QString &text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    // Opens Options > Defaults; act runs on the editor while it is up.
    void editSettings(ModalDriver &driver, std::function<void(TfrmSettings *)> act)
    {
        driver.add([act](QDialog *dialog) {
            auto *form = qobject_cast<TfrmSettings *>(dialog);
            ASSERT_NE(form, nullptr) << dialog->objectName().toStdString();
            act(form);
            if (form->isVisible())
                form->reject();
        });
        main().MainAction(QStringLiteral("Defaults1"))->trigger();
    }

    static QWidget *visiblePanel(TfrmSettings *form)
    {
        for (QWidget *panel : { form->pnlBooleanSetting(), form->pnlIntegerSetting(),
                 form->pnlStringSetting(), form->pnlEncryptSetting(), form->pnlFontSetting(),
                 form->pnlDropListSetting() }) {
            if (panel->isVisibleTo(form))
                return panel;
        }
        return nullptr;
    }
};

TEST_F(SettingsEditor, ListsTheShownSettingsOnly)
{
    start();
    ModalDriver driver;
    editSettings(driver, [&](TfrmSettings *form) {
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Options"));
        const QStringList shown = lines(form);
        EXPECT_EQ(shown.size(), 31);
        EXPECT_EQ(shown.first(), QStringLiteral("SQL Editor Font"));
        EXPECT_FALSE(shown.contains(QStringLiteral("Not a user parameter")));
        EXPECT_FALSE(shown.contains(QStringLiteral("Last FTP Client Local Directory")));
        EXPECT_FALSE(shown.contains(QString()));
        EXPECT_EQ(visiblePanel(form), nullptr);
        EXPECT_TRUE(form->lblShortDesc()->text().isEmpty());

        // Each type opens its own panel with the value and the description.
        select(form, QStringLiteral("Server Output"));
        EXPECT_EQ(visiblePanel(form), form->pnlBooleanSetting());
        EXPECT_EQ(form->cbxBooleanValue()->currentText(), QStringLiteral("True"));
        EXPECT_EQ(form->lblShortDesc()->text(), QStringLiteral("Server Output\n"));
        EXPECT_TRUE(form->memDescription()->toPlainText().startsWith(
            QStringLiteral("This option controls whether text output via DBMS_Output")));
        select(form, QStringLiteral("Maximum Number of Nested Scripts"));
        EXPECT_EQ(visiblePanel(form), form->pnlIntegerSetting());
        EXPECT_EQ(form->seIntValue()->value(), 5);
        EXPECT_EQ(form->seIntValue()->minimum(), 5);
        EXPECT_EQ(form->seIntValue()->maximum(), 999);
        select(form, QStringLiteral("Drag And Drop Comma Placement"));
        EXPECT_EQ(visiblePanel(form), form->pnlDropListSetting());
        EXPECT_EQ(form->cbDropList()->count(), 3);
        EXPECT_EQ(form->cbDropList()->currentText(), QStringLiteral("After"));
        select(form, QStringLiteral("Script Search Path"));
        EXPECT_EQ(visiblePanel(form), form->pnlStringSetting());
        select(form, QStringLiteral("SQL Editor Font"));
        EXPECT_EQ(visiblePanel(form), form->pnlFontSetting());
        EXPECT_EQ(form->lblFontValue()->font().family(), QStringLiteral("Terminal"));
    });

    // One section alone, in declaration order.
    TfrmSettings *form = program->SettingsForm();
    driver.add([&](QDialog *) {
        EXPECT_EQ(lines(form),
            (QStringList { "Secure Password", "Save Logon List", "Security Lockout Time",
                "Enable Security" }));
        form->reject();
    });
    EXPECT_EQ(form->Execute(main().Settings(), QStringLiteral("Secure"), false), QDialog::Rejected);
}

// Set writes into the copy; OK writes the copy back and saves it, and takes the recent-file
// length at once; Cancel keeps everything.
TEST_F(SettingsEditor, OkAppliesAndCancelKeeps)
{
    start();
    ModalDriver driver;
    auto setInteger = [&](TfrmSettings *form, const QString &line, int value) {
        select(form, line);
        form->seIntValue()->setValue(value);
        QTest::mouseClick(TfrmSettings::setButtonOf(form->pnlIntegerSetting()), Qt::LeftButton);
    };
    editSettings(driver, [&](TfrmSettings *form) {
        setInteger(form, QStringLiteral("Number of Most Recently Used Files"), 3);
        // Typed but not Set: not kept.
        select(form, QStringLiteral("Script Search Path"));
        typeInto(form->edtStringValue(), QStringLiteral("/scripts"));
        select(form, QStringLiteral("Server Output"));
        form->cbxBooleanValue()->setCurrentIndex(1);
        QTest::mouseClick(TfrmSettings::setButtonOf(form->pnlBooleanSetting()), Qt::LeftButton);
        EXPECT_EQ(main().Settings().FindSetting(QStringLiteral("MRUListKeep"))->Value().AsInteger(), 10);
        QTest::mouseClick(form->btnOK(), Qt::LeftButton);
    });
    EXPECT_EQ(main().RecentFiles().MaxCount(), 3);
    EXPECT_EQ(main().Settings().FindSetting(QStringLiteral("MRUListKeep"))->Value().AsInteger(), 3);
    EXPECT_FALSE(main().Settings().FindSetting(QStringLiteral("ServerOutputOn"))->Value().AsBoolean());
    EXPECT_TRUE(main().Settings().FindSetting(QStringLiteral("ScriptPath"))->Value().AsString().isEmpty());
    std::unique_ptr<TSettings> saved = savedSettings();
    EXPECT_EQ(saved->FindSetting(QStringLiteral("MRUListKeep"))->Value().AsInteger(), 3);
    // The defaults stay declared.
    EXPECT_EQ(main().Settings().FindSetting(QStringLiteral("MRUListKeep"))->DefaultValue(),
        QStringLiteral("10"));

    editSettings(driver, [&](TfrmSettings *form) {
        setInteger(form, QStringLiteral("Number of Most Recently Used Files"), 7);
        QTest::mouseClick(form->btnCancel(), Qt::LeftButton);
    });
    EXPECT_EQ(main().RecentFiles().MaxCount(), 3);
    EXPECT_EQ(main().Settings().FindSetting(QStringLiteral("MRUListKeep"))->Value().AsInteger(), 3);
    EXPECT_EQ(savedSettings()->FindSetting(QStringLiteral("MRUListKeep"))->Value().AsInteger(), 3);
}

// A wrong security password blocks the encrypted settings for the rest of the showing; the
// others stay editable.
TEST_F(SettingsEditor, WrongPasswordBlocksOnlyEncryptedSettings)
{
    writeSecurity(Password);
    ModalDriver driver;
    driver.prompt(QStringLiteral("x"));
    answer = mrNo; // no retry at start-up
    start();
    messages.clear();
    questions.clear();
    answer = mrOk;
    editSettings(driver, [&](TfrmSettings *form) {
        driver.prompt(QStringLiteral("secret"));
        select(form, QStringLiteral("Secure Password"));
        EXPECT_EQ(questions,
            QStringList { QStringLiteral(
                "You must enter a password to view or change encrypted settings.") });
        EXPECT_EQ(messages, QStringList { QStringLiteral("Password incorrect") });
        EXPECT_EQ(visiblePanel(form), nullptr);

        select(form, QStringLiteral("Security Lockout Time"));
        EXPECT_EQ(visiblePanel(form), form->pnlIntegerSetting());
        form->seIntValue()->setValue(7);
        QTest::mouseClick(TfrmSettings::setButtonOf(form->pnlIntegerSetting()), Qt::LeftButton);

        // The wrong password stays the entered one: no second question.
        select(form, QStringLiteral("Enable Security"));
        select(form, QStringLiteral("Secure Password"));
        EXPECT_EQ(questions.size(), 1);
        EXPECT_EQ(messages.size(), 2);
        EXPECT_EQ(visiblePanel(form), nullptr);
        QTest::mouseClick(form->btnOK(), Qt::LeftButton);
    });
    std::unique_ptr<TSettings> saved = savedSettings();
    EXPECT_EQ(saved->FindSetting(QStringLiteral("LockoutTime"))->Value().AsInteger(), 7);
    TSettingItem *secure = saved->FindSetting(QStringLiteral("SecurePassword"));
    secure->SetPassword(Password);
    EXPECT_EQ(secure->GetDecryptedValue(), Password);

    // Cancelling the question opens nothing and asks for no password.
    answer = mrCancel;
    editSettings(driver, [&](TfrmSettings *form) {
        select(form, QStringLiteral("Secure Password"));
        EXPECT_EQ(visiblePanel(form), nullptr);
        EXPECT_TRUE(form->EnteredPassword().isEmpty());
    });
}

// A new security password re-enciphers the saved accounts at OK; Cancel leaves them, and the
// stored password, as they were.
TEST_F(SettingsEditor, NewSecurityPasswordRekeysTheAccounts)
{
    const QString fresh = QStringLiteral("N3w-Pass");
    for (const bool ok : { false, true }) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        writeSecurity(Password);
        writeAccounts(Password);
        ModalDriver driver;
        driver.prompt(Password);
        start();
        ASSERT_TRUE(main().SecurityActive());
        answer = mrOk;
        messages.clear();
        editSettings(driver, [&](TfrmSettings *form) {
            driver.prompt(Password);
            select(form, QStringLiteral("Secure Password"));
            ASSERT_EQ(visiblePanel(form), form->pnlEncryptSetting());
            EXPECT_EQ(form->edtEncryptValue()->text(), Password);
            EXPECT_EQ(form->edtEncryptValue()->echoMode(), QLineEdit::Password);
            EXPECT_EQ(form->edtEncryptValue()->maxLength(), 32);
            QPushButton *set = TfrmSettings::setButtonOf(form->pnlEncryptSetting());
            typeInto(form->edtEncryptValue(), fresh);
            typeInto(form->edtEncryptValue2(), QStringLiteral("N3w-pass"));
            QTest::mouseClick(set, Qt::LeftButton);
            EXPECT_EQ(messages, QStringList { QStringLiteral("Values entered do not match. Cannot set.") });
            EXPECT_FALSE(form->PasswordChanged());
            typeInto(form->edtEncryptValue2(), fresh);
            QTest::mouseClick(set, Qt::LeftButton);
            EXPECT_TRUE(form->PasswordChanged());
            QTest::mouseClick(ok ? form->btnOK() : form->btnCancel(), Qt::LeftButton);
        });
        const QString now = ok ? fresh : Password;
        const QString before = ok ? Password : fresh;
        EXPECT_EQ(savedUserNames(now), QStringList { QStringLiteral("SCOTT") });
        EXPECT_NE(savedUserNames(before), QStringList { QStringLiteral("SCOTT") });
        EXPECT_EQ(main().SecurityPassword(), now);
        EXPECT_EQ(main().AccountList().Key(), now);
        const std::unique_ptr<TSettings> stored = savedSettings();
        TSettingItem *secure = stored->FindSetting(QStringLiteral("SecurePassword"));
        secure->SetPassword(now);
        EXPECT_EQ(secure->GetDecryptedValue(), now);
        // The logon dialog's list still reads the same accounts.
        TAccountRec rec;
        ASSERT_EQ(main().AccountList().GetCount(Ora), 1);
        main().AccountList().GetAccount(Ora, 0, rec);
        EXPECT_EQ(rec.Password, QStringLiteral("tiger"));
        program.reset();
    }
}

// When the account file cannot be re-enciphered nothing is saved and the message says why.
TEST_F(SettingsEditor, UnreadableAccountFileStopsOk)
{
    writeSecurity(Password);
    writeFile(QStringLiteral("QuarloDeskAccounts.dat"), QByteArray(10, 'x'));
    ModalDriver driver;
    driver.prompt(Password);
    answer = mrNo;
    start();
    const QByteArray iniBefore = [] {
        QFile file(mainSettingsFileName());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    answer = mrOk;
    messages.clear();
    editSettings(driver, [&](TfrmSettings *form) {
        driver.prompt(Password);
        select(form, QStringLiteral("Secure Password"));
        typeInto(form->edtEncryptValue(), QStringLiteral("other"));
        typeInto(form->edtEncryptValue2(), QStringLiteral("other"));
        QTest::mouseClick(TfrmSettings::setButtonOf(form->pnlEncryptSetting()), Qt::LeftButton);
        QTest::mouseClick(form->btnOK(), Qt::LeftButton);
        EXPECT_TRUE(form->isVisible());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.first().startsWith(QStringLiteral(
            "The saved accounts could not be enciphered under the new security password")));
        EXPECT_TRUE(messages.first().contains(QStringLiteral("QuarloDeskAccounts.dat")));
    });
    QFile file(mainSettingsFileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), iniBefore);
    EXPECT_EQ(QFileInfo(TAccountList::defaultFileName()).size(), 10);
}

// A first security password needs no old one, and leaves the account file alone.
TEST_F(SettingsEditor, FirstSecurityPassword)
{
    writeAccounts(QString());
    const qint64 size = QFileInfo(TAccountList::defaultFileName()).size();
    start();
    answer = mrOk;
    ModalDriver driver;
    editSettings(driver, [&](TfrmSettings *form) {
        driver.prompt(QStringLiteral("whatever"));
        select(form, QStringLiteral("Secure Password"));
        ASSERT_EQ(visiblePanel(form), form->pnlEncryptSetting());
        EXPECT_TRUE(form->edtEncryptValue()->text().isEmpty());
        typeInto(form->edtEncryptValue(), Password);
        typeInto(form->edtEncryptValue2(), Password);
        QTest::mouseClick(TfrmSettings::setButtonOf(form->pnlEncryptSetting()), Qt::LeftButton);
        QTest::mouseClick(form->btnOK(), Qt::LeftButton);
    });
    EXPECT_EQ(QFileInfo(TAccountList::defaultFileName()).size(), size);
    EXPECT_EQ(savedUserNames(QString()), QStringList { QStringLiteral("SCOTT") });
    const std::unique_ptr<TSettings> stored = savedSettings();
    TSettingItem *secure = stored->FindSetting(QStringLiteral("SecurePassword"));
    secure->SetPassword(Password);
    EXPECT_EQ(secure->GetDecryptedValue(), Password);
    // Security was not active: it becomes so only when the password is asked.
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_TRUE(main().SecurityPassword().isEmpty());
}

} // namespace
