#include "FileSizeLimit.h"

#include "classlib/Exception.h"
#include "classlib/IniFile.h"
#include "shell/Encrypt.h"
#include "shell/MainSettings.h"
#include "shell/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("QuarloDesk.Ini");
    }

    void writeRaw(const QByteArray &bytes)
    {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray readRaw() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // A store with the main window's settings on the test's file.
    void openMain(TSettings &settings)
    {
        declareMainSettings(settings);
        settings.SetIniFileName(m_path);
    }

    TSettingItem *add(TSettings &settings, const QString &name, TSettingType type,
        const QString &section, const QString &defaultValue = QString())
    {
        TSettingItem *item = settings.Settings().Add();
        item->SetName(name);
        item->SetDataType(type);
        item->SetKey(section);
        item->SetDefaultValue(defaultValue);
        return item;
    }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST_F(SettingsTest, MainSettingsAreDeclaredInOrder)
{
    TSettings settings;
    declareMainSettings(settings);
    const QStringList expected = { "SQLEditor", "SQLGridOutCell", "SQLGridOutTitle",
        "SQLTextOutput", "AskOnNoFile", "ClearSpoolOut", "ContinueOnError", "ContinueOnOSError",
        "DBMSOutputBuffer", "GridEnableOnOp", "ScreenBufferSize", "ScriptPath", "ServerOutputOn",
        "SpoolLineBreak", "SaveSQLHistory", "SQLHistoryKeep", "AutoIndent", "MaxNestedScript",
        "SQLDir", "TemplateDir", "WizardDir", "CopyEditorOnDuplicate", "SecurePassword",
        "SaveLogonList", "LockoutTime", "SecurityEnabled", "CheckAssociation", "AppShellRegistered",
        "MRUListKeep", "LogonMRUListKeep", "DragAndDropComma", "DragAndDropPadding",
        "DragAndDropSpaces", "LastFTPLocalDir" };
    QStringList names;
    for (int i = 0; i < settings.Settings().Count(); ++i)
        names << settings.Settings().Items(i)->Name();
    EXPECT_EQ(names, expected);

    const TSettingItem *password = settings.FindSetting("SecurePassword");
    EXPECT_EQ(password->DataType(), stEncrypted);
    EXPECT_EQ(password->Key(), "Secure");
    EXPECT_EQ(password->Max(), 32);
    const TSettingItem *buffer = settings.FindSetting("DBMSOutputBuffer");
    EXPECT_EQ(buffer->Min(), 0);
    EXPECT_EQ(buffer->Max(), 100000000);
    const TSettingItem *padding = settings.FindSetting("DragAndDropPadding");
    EXPECT_EQ(padding->DataType(), stDropList);
    EXPECT_EQ(padding->ValueOptions(), "Before,After,None");
    EXPECT_FALSE(padding->Display());
    EXPECT_TRUE(padding->ShortDesc().isEmpty());
    EXPECT_FALSE(settings.FindSetting("AppShellRegistered")->Display());
    EXPECT_EQ(settings.FindSetting("LastFTPLocalDir")->Key(), "Hidden");
    EXPECT_EQ(settings.FindSetting("SQLEditor")->LongDesc(),
        "This is the font for the main editor screen in the SQL window.");
}

TEST_F(SettingsTest, FindSettingIgnoresCaseAndNamesTheMissingOne)
{
    TSettings settings;
    declareMainSettings(settings);
    EXPECT_EQ(settings.FindSetting("mrulistkeep"), settings.Settings().Items(28));
    try {
        settings.FindSetting("NoSuchThing");
        ADD_FAILURE() << "found a setting that does not exist";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "Setting value NoSuchThing not found.");
    }
}

TEST_F(SettingsTest, MissingFileReadsDefaults)
{
    TSettings settings;
    openMain(settings);
    settings.LoadSettings();
    EXPECT_EQ(readRaw(), QByteArray("<missing>")); // reading writes nothing
    EXPECT_EQ(settings.FindSetting("AskOnNoFile")->Value(), Variant(true));
    EXPECT_EQ(settings.FindSetting("ContinueOnError")->Value(), Variant(false));
    EXPECT_EQ(settings.FindSetting("CopyEditorOnDuplicate")->Value(), Variant(false));
    EXPECT_EQ(settings.FindSetting("ScreenBufferSize")->Value(), Variant(500));
    EXPECT_EQ(settings.FindSetting("MRUListKeep")->Value(), Variant(10));
    EXPECT_EQ(settings.FindSetting("ScriptPath")->Value(), Variant(QString()));
    EXPECT_EQ(settings.FindSetting("DragAndDropComma")->Value(), Variant("After"));
    const SettingFont editor = settings.FindSetting("SQLEditor")->GetFont();
    EXPECT_EQ(editor.name, "Terminal");
    EXPECT_EQ(editor.size, 9);
    EXPECT_EQ(editor.color, -2147483640);
    EXPECT_FALSE(editor.bold);
    EXPECT_EQ(settings.FindSetting("SecurePassword")->GetDecryptedValue(), "");
}

TEST_F(SettingsTest, DefaultsAsTheReadersUseThem)
{
    TSettings settings;
    TSettingItem *item = add(settings, "X", stInteger, "S");
    const struct {
        const char *text;
        bool asBool;
        int asInt;
    } cases[] = { { "True", true, 0 }, { "tRUE", true, 0 }, { "yes", false, 0 }, { "", false, 0 },
        { "42", false, 42 }, { "-7", false, -7 }, { "4x", false, 0 }, { "0x10", false, 0 } };
    for (const auto &c : cases) {
        item->SetDefaultValue(c.text);
        EXPECT_EQ(item->GetBoolDefault(), c.asBool) << c.text;
        EXPECT_EQ(item->GetIntDefault(), c.asInt) << c.text;
        EXPECT_EQ(item->GetStringDefault(), QString(c.text));
    }
}

TEST_F(SettingsTest, EverySettingTypeRoundTrips)
{
    {
        TSettings settings;
        openMain(settings);
        settings.LoadSettings();
        settings.FindSetting("ServerOutputOn")->SetValue(false);
        settings.FindSetting("ClearSpoolOut")->SetValue(true);
        settings.FindSetting("LockoutTime")->SetValue(-15);
        settings.FindSetting("DBMSOutputBuffer")->SetValue(100000000);
        settings.FindSetting("SQLDir")->SetValue("/home/me/sql;/srv/shared sql");
        settings.FindSetting("LastFTPLocalDir")->SetValue(QString::fromUtf8("/tmp/Grüße"));
        settings.FindSetting("DragAndDropComma")->SetValue("Before");
        TSettingItem *password = settings.FindSetting("SecurePassword");
        password->SetPassword("Open Sesame");
        password->SetValue("Open Sesame");
        SettingFont font;
        font.name = "Courier New";
        font.size = 10;
        font.color = 255;
        font.bold = true;
        font.strikeOut = true;
        settings.FindSetting("SQLTextOutput")->SetFont(font);
        settings.SaveSettings();
    }
    const QByteArray raw = readRaw();
    EXPECT_TRUE(raw.contains("ServerOutputOn=0\r\n"));
    EXPECT_TRUE(raw.contains("ClearSpoolOut=1\r\n"));
    EXPECT_TRUE(raw.contains("LockoutTime=-15\r\n"));
    EXPECT_TRUE(raw.contains("SQLTextOutput=\"Courier New\",10,255,1,0,0,1\r\n"));
    EXPECT_TRUE(raw.contains("SQLEditor=\"Terminal\",9,-2147483640,0,0,0,0\r\n"));
    const QByteArray cipher = EncryptString("Open Sesame", "Open Sesame", true, false);
    EXPECT_TRUE(raw.contains("SecurePassword=" + EncodeDecimalCodes(cipher).toLatin1() + "\r\n"));
    EXPECT_FALSE(raw.contains("Open Sesame"));

    TSettings settings;
    openMain(settings);
    settings.LoadSettings();
    EXPECT_EQ(settings.FindSetting("ServerOutputOn")->Value(), Variant(false));
    EXPECT_EQ(settings.FindSetting("ClearSpoolOut")->Value(), Variant(true));
    EXPECT_EQ(settings.FindSetting("LockoutTime")->Value(), Variant(-15));
    EXPECT_EQ(settings.FindSetting("DBMSOutputBuffer")->Value(), Variant(100000000));
    EXPECT_EQ(settings.FindSetting("SQLDir")->Value(), Variant("/home/me/sql;/srv/shared sql"));
    EXPECT_EQ(
        settings.FindSetting("LastFTPLocalDir")->Value(), Variant(QString::fromUtf8("/tmp/Grüße")));
    EXPECT_EQ(settings.FindSetting("DragAndDropComma")->Value(), Variant("Before"));
    const SettingFont font = settings.FindSetting("SQLTextOutput")->GetFont();
    EXPECT_EQ(font.name, "Courier New");
    EXPECT_EQ(font.size, 10);
    EXPECT_EQ(font.color, 255);
    EXPECT_TRUE(font.bold && font.strikeOut && !font.italic && !font.underline);

    // The enciphered value stays cipher text until someone gives the password.
    TSettingItem *password = settings.FindSetting("SecurePassword");
    EXPECT_EQ(password->Value(), Variant(cipher));
    EXPECT_NE(password->GetDecryptedValue(), "Open Sesame");
    password->SetPassword("Open Sesame");
    EXPECT_EQ(password->GetDecryptedValue(), "Open Sesame");
    password->SetPassword("open sesame");
    EXPECT_NE(password->GetDecryptedValue(), "Open Sesame");
}

TEST_F(SettingsTest, FontTextForm)
{
    SettingFont font;
    font.name = "Courier New";
    font.size = 10;
    font.color = 255;
    font.bold = true;
    EXPECT_EQ(FontToSettingString(font), "\"Courier New\",10,255,1,0,0,0");
    font = SettingFont();
    font.name = "Odd, \"quoted\" %1 name";
    font.italic = font.underline = true;
    font.color = -2147483640;
    const QString text = FontToSettingString(font);
    EXPECT_EQ(text, "\"Odd, \"\"quoted\"\" %1 name\",8,-2147483640,0,1,1,0");
    SettingFont back;
    SettingStringToFont(text, back);
    EXPECT_EQ(back, font);

    const struct {
        const char *text;
        const char *name;
        int size;
        int color;
        bool bold, italic, underline, strikeOut;
    } reads[] = {
        { "Arial,12,0,1,1,1,1", "Arial", 12, 0, true, true, true, true },
        { "\"Arial\",12,0,true,2,01,1 ", "Arial", 12, 0, false, false, false, true },
        { "\"Lucida Console\",7,-5", "Lucida Console", 7, -5, false, false, false, false },
    };
    for (const auto &r : reads) {
        SettingFont f;
        SettingStringToFont(r.text, f);
        EXPECT_EQ(f.name, QString(r.name)) << r.text;
        EXPECT_EQ(f.size, r.size) << r.text;
        EXPECT_EQ(f.color, r.color) << r.text;
        EXPECT_EQ(f.bold, r.bold) << r.text;
        EXPECT_EQ(f.italic, r.italic) << r.text;
        EXPECT_EQ(f.underline, r.underline) << r.text;
        EXPECT_EQ(f.strikeOut, r.strikeOut) << r.text;
    }

    // A size or colour that is not a number raises, and the font stays as it was.
    for (const char *bad : { "\"Arial\",big,0,0,0,0,0", "\"Arial\",10,red,0,0,0,0", "\"Arial\"", "",
             "\"Arial\",99999999999,0,0,0,0,0" }) {
        SettingFont f;
        f.name = "Before";
        EXPECT_THROW(SettingStringToFont(bad, f), EConvertError) << bad;
        EXPECT_EQ(f.name, "Before");
    }

    // GetFont: the value's font for a font item, else MS Sans Serif 8 in colour 0.
    TSettings settings;
    TSettingItem *item = add(settings, "F", stFont, "Fonts");
    EXPECT_EQ(item->GetFont(), SettingFont());
    EXPECT_EQ(item->GetFont().name, "MS Sans Serif");
    item->SetValue("\"Courier New\",10,255,1,0,0,0");
    EXPECT_EQ(item->GetFont().name, "Courier New");
    item->SetDataType(stString);
    EXPECT_EQ(item->GetFont(), SettingFont());

    SettingFont plain;
    plain.name = "DejaVu Sans";
    plain.size = 11;
    plain.color = 0x00FF00;
    plain.italic = plain.underline = true;
    const QFont qfont = plain.toQFont();
    EXPECT_EQ(qfont.family(), plain.name);
    EXPECT_EQ(qfont.pointSize(), 11);
    EXPECT_TRUE(qfont.italic() && qfont.underline() && !qfont.bold());
    EXPECT_EQ(SettingFont::fromQFont(qfont, plain.color), plain);
}

TEST_F(SettingsTest, ChangeNotificationsAndAutoSave)
{
    TSettings settings;
    TSettingItem *item = add(settings, "Count", stInteger, "S", "1");
    TSettingItem *text = add(settings, "Text", stString, "S");
    settings.SetIniFileName(m_path);
    int changes = 0;
    settings.OnChange = [&](TSettings *sender) {
        EXPECT_EQ(sender, &settings);
        ++changes;
    };
    settings.SetAutoSave(true);

    item->SetValue(5);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(readRaw(), QByteArray("[S]\r\nCount=5\r\nText=\r\n"));

    // The same value again changes nothing, so nothing is written either.
    QFile::remove(m_path);
    item->SetValue(5);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(readRaw(), QByteArray("<missing>"));

    // An empty (never assigned) value always counts as a change.
    text->SetValue("a");
    text->SetValue("a");
    EXPECT_EQ(changes, 2);
    item->SetShortDesc("Desc");
    item->SetShortDesc("Desc");
    EXPECT_EQ(changes, 3);

    // An enciphered item given the text it already holds changes nothing.
    TSettingItem *secret = add(settings, "Secret", stEncrypted, "S");
    secret->SetPassword("pw");
    changes = 0;
    secret->SetValue("hidden");
    secret->SetValue("hidden");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(secret->GetDecryptedValue(), "hidden");

    // A whole read is one notification, and none when nothing changed.
    settings.SetAutoSave(false);
    writeRaw("[S]\r\nCount=9\r\nText=b\r\n");
    changes = 0;
    settings.LoadSettings();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(item->Value(), Variant(9));
    EXPECT_EQ(text->Value(), Variant("b"));
    settings.LoadSettings();
    EXPECT_EQ(changes, 1);
}

TEST_F(SettingsTest, EncryptedValueReadFromFileIsNotEncipheredAgain)
{
    const QByteArray cipher = EncryptString("s3cret", "s3cret", true, false);
    writeRaw("[Secure]\r\nSecurePassword=" + EncodeDecimalCodes(cipher).toLatin1() + "\r\n");
    TSettings settings;
    openMain(settings);
    int changes = 0;
    settings.OnChange = [&](TSettings *) { ++changes; };
    settings.ReadItem(*settings.FindSetting("SecurePassword"));
    EXPECT_EQ(changes, 0);
    TSettingItem *item = settings.FindSetting("SecurePassword");
    EXPECT_EQ(item->Value(), Variant(cipher));
    item->SetPassword("s3cret");
    EXPECT_EQ(item->GetDecryptedValue(), "s3cret");
    settings.SaveSettings();
    EXPECT_TRUE(readRaw().contains("SecurePassword=" + EncodeDecimalCodes(cipher).toLatin1()));
}

TEST_F(SettingsTest, HandEditedFileKeepsUnknownKeysAndSections)
{
    writeRaw("; my notes\r\n"
             "[SQL]\r\n"
             "autoindent=0\r\n"
             "MyOwnKey=keep me\r\n"
             "ScreenBufferSize=not a number\r\n"
             "\r\n"
             "[Plugins]\r\n"
             "Enabled=yes\r\n");
    TSettings settings;
    openMain(settings);
    settings.LoadSettings();
    EXPECT_EQ(settings.FindSetting("AutoIndent")->Value(), Variant(false));
    // Text that is no integer reads as the default.
    EXPECT_EQ(settings.FindSetting("ScreenBufferSize")->Value(), Variant(500));
    settings.SaveSettings();

    const QByteArray raw = readRaw();
    EXPECT_TRUE(raw.startsWith("; my notes\r\n[SQL]\r\nautoindent=0\r\nMyOwnKey=keep me\r\n"))
        << raw.constData();
    EXPECT_TRUE(raw.contains("ScreenBufferSize=500\r\n"));
    EXPECT_TRUE(raw.contains("[Plugins]\r\nEnabled=yes\r\n"));
    EXPECT_EQ(raw.count("[SQL]"), 1);
    TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("Secure", "LockoutTime", "?"), "0");
    EXPECT_EQ(ini.ReadString("General", "MRUListKeep", "?"), "10");
}

TEST_F(SettingsTest, FailedSaveLeavesTheFileWhole)
{
    const QByteArray original("[SQL]\r\nAutoIndent=1\r\n");
    writeRaw(original);
    TSettings settings;
    openMain(settings);
    settings.LoadSettings();
    settings.FindSetting("AutoIndent")->SetValue(false);
    {
        test::FileSizeLimit limit;
        ASSERT_TRUE(limit.active());
        EXPECT_THROW(settings.SaveSettings(), Exception);
    }
    EXPECT_EQ(readRaw(), original);

    // A value the file cannot hold stops the save before anything is written.
    settings.FindSetting("ScriptPath")->SetValue("two\nlines");
    EXPECT_THROW(settings.SaveSettings(), Exception);
    EXPECT_EQ(readRaw(), original);
    settings.FindSetting("ScriptPath")->SetValue("one line");
    settings.SaveSettings();
    EXPECT_TRUE(readRaw().contains("AutoIndent=0"));
}

TEST_F(SettingsTest, ActiveAndFileNameReadAndWrite)
{
    writeRaw("[General]\r\nMRUListKeep=4\r\n");
    TSettings settings;
    declareMainSettings(settings);
    EXPECT_THROW(settings.LoadSettings(), Exception); // no file named yet
    EXPECT_THROW(settings.SaveSettings(), Exception);

    settings.SetActive(true);
    EXPECT_TRUE(settings.FindSetting("MRUListKeep")->Value().IsUnassigned());
    settings.SetIniFileName(m_path); // active: reads at once
    EXPECT_EQ(settings.FindSetting("MRUListKeep")->Value(), Variant(4));

    settings.FindSetting("MRUListKeep")->SetValue(7);
    settings.SetActive(false); // writes
    EXPECT_TRUE(readRaw().contains("MRUListKeep=7"));

    // Items of another storage kind, and items without a name, are neither read nor written.
    TSettingItem *other = settings.Settings().Add();
    other->SetName("Elsewhere");
    other->SetKey("General");
    other->SetStorage(TSettingStorage(1));
    other->SetValue(true);
    TSettingItem *nameless = settings.Settings().Add();
    nameless->SetKey("General");
    nameless->SetValue(true);
    EXPECT_EQ(nameless->DisplayName(), "TSettingItem");
    settings.SaveSettings();
    EXPECT_FALSE(readRaw().contains("Elsewhere"));
    EXPECT_FALSE(readRaw().contains("\r\n=1"));
}

TEST_F(SettingsTest, AssignCopiesEveryItem)
{
    TSettings source;
    openMain(source);
    source.LoadSettings();
    source.FindSetting("SpoolLineBreak")->SetValue(33);
    TSettingItem *password = source.FindSetting("SecurePassword");
    password->SetPassword("pw");
    password->SetValue("pw");

    TSettings copy;
    add(copy, "Leftover", stString, "S");
    int changes = 0;
    copy.OnChange = [&](TSettings *) { ++changes; };
    copy.Assign(source);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(copy.Settings().Count(), 34);
    EXPECT_THROW(copy.FindSetting("Leftover"), Exception);
    EXPECT_EQ(copy.FindSetting("SpoolLineBreak")->Value(), Variant(33));
    EXPECT_EQ(copy.FindSetting("SpoolLineBreak")->Min(), 1);
    EXPECT_EQ(copy.FindSetting("SecurePassword")->Value(), password->Value());
    EXPECT_EQ(copy.FindSetting("SecurePassword")->GetDecryptedValue(), "pw");
    EXPECT_EQ(copy.FindSetting("DragAndDropComma")->ValueOptions(), "Before,After,None");
}
