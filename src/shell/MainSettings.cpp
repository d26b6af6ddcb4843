#include "shell/MainSettings.h"

#include "platform/ProgramDirectory.h"
#include "shell/Settings.h"

namespace qd {

namespace {

struct Declaration {
    const char *name;
    TSettingType type;
    const char *section;
    const char *defaultValue;
    qint32 min, max;
    bool display;
    const char *shortDesc;
    const char *longDesc;
};

// Font defaults are in the font text form: quoted name, size, colour, bold, italic, underline,
// strike-out (-2147483640 is the system window-text colour).
const Declaration declarations[] = {
    { "SQLEditor", stFont, "Fonts", "\"Terminal\",9,-2147483640,0,0,0,0", 0, 0, true,
        "SQL Editor Font", "This is the font for the main editor screen in the SQL window." },
    { "SQLGridOutCell", stFont, "Fonts", "\"MS Sans Serif\",9,-2147483640,0,0,0,0", 0, 0, true,
        "SQL Grid Cell Font",
        "This is the default font used in the grid output cells in the SQL window." },
    { "SQLGridOutTitle", stFont, "Fonts", "\"MS Sans Serif\",9,-2147483640,0,0,0,0", 0, 0, true,
        "SQL Grid Title Font",
        "This is the default font used in the grid output titles in the SQL window." },
    { "SQLTextOutput", stFont, "Fonts", "\"Terminal\",9,-2147483640,0,0,0,0", 0, 0, true,
        "Text Output Font",
        "This is the default font used in the text output tab of the SQL window." },
    { "AskOnNoFile", stBoolean, "SQL", "True", 0, 0, true, "Ask To Save Adhoc SQL",
        "This controls whether you are prompted to save text you have entered in the SQL editor, "
        "but have not yet saved to a file." },
    { "ClearSpoolOut", stBoolean, "SQL", "False", 0, 0, true,
        "Clear text area output before each multiple SQL command run",
        "This option controls whether the text output area is cleared before more output is "
        "created when running multiple commands from the SQL editor." },
    { "ContinueOnError", stBoolean, "SQL", "False", 0, 0, true,
        "Continue executing after Oracle errors",
        "This option controls whether or not the script is continued upon encountering an Oracle "
        "error." },
    { "ContinueOnOSError", stBoolean, "SQL", "False", 0, 0, true,
        "Continue executing after OS errors",
        "This option controls whether or not the script is continued upon encountering an "
        "operating system error." },
    { "DBMSOutputBuffer", stInteger, "SQL", "2000", 0, 100000000, true, "DBMS_Output buffer size",
        "This options controls how many bytes of data Oracle will hold of output via DBMS_Output "
        "package." },
    { "GridEnableOnOp", stBoolean, "SQL", "False", 0, 0, true, "Enable grid movement",
        "This option controls whether the SQL grid will show movement during grid operations." },
    { "ScreenBufferSize", stInteger, "SQL", "500", 1, 99999, true, "Text output buffer size",
        "This option controls the maximum size (in lines) of the text output area." },
    { "ScriptPath", stString, "SQL", "", 0, 0, true, "Script Search Path",
        "This option is a list of paths (delimited by semi-colon) to search in when running a "
        "script from the SQL window." },
    { "ServerOutputOn", stBoolean, "SQL", "True", 0, 0, true, "Server Output",
        "This option controls whether text output via DBMS_Output package is sent to the text "
        "output tab." },
    { "SpoolLineBreak", stInteger, "SQL", "10", 1, 99999, true, "Spooling Line Break",
        "This option determines how often (in lines) the text output area is updated with data "
        "from the thread running a script." },
    { "SaveSQLHistory", stBoolean, "SQL", "True", 0, 0, true, "Save SQL History",
        "When this option is set, Quarlo Desk will save all SQL that is run via the SQL window.  "
        "You can then later view or retrieve the SQL." },
    { "SQLHistoryKeep", stInteger, "SQL", "5", 0, 0, true, "Days of SQL History to Keep",
        "Setting this option will determine how many days of SQL history to keep.  A value of zero "
        "means the history will never be purged.  This setting is ignored if Save SQL History is "
        "not set." },
    { "AutoIndent", stBoolean, "SQL", "True", 0, 0, true, "Auto Indent",
        "Setting this option will enable automatic indenting/unindenting in the SQL editor." },
    { "MaxNestedScript", stInteger, "SQL", "5", 5, 999, true, "Maximum Number of Nested Scripts",
        "This option controls how many levels deep script calling can go.  This setting will "
        "prevent infinite recursive script calling." },
    { "SQLDir", stString, "SQL", "", 0, 0, true, "SQL Directories",
        "Location of SQL files.  Multiple directories should be separated by a semicolon." },
    { "TemplateDir", stString, "SQL", "", 0, 0, true, "Template Directories",
        "Location of template files.  Multiple directories should separated by a semicolon." },
    { "WizardDir", stString, "SQL", "", 0, 0, true, "Wizard Directories",
        "Location of wizard files.  Multiple directories should be separated by a semicolon." },
    { "CopyEditorOnDuplicate", stBoolean, "SQL", "", 0, 0, true,
        "Copy editor contents when duplicating session",
        "This option controls whether the editor contents are copied into the new window created "
        "by pressing the duplicate session button." },
    { "SecurePassword", stEncrypted, "Secure", "", 0, 32, true, "Secure Password",
        "This is the password you can use to secure sensitive information in Quarlo Desk.  The "
        "password is saved using a strong encryption algorithm." },
    { "SaveLogonList", stBoolean, "Secure", "False", 0, 0, true, "Save Logon List",
        "This option will allow you to save to an encrypted file the list of logons in the Logon "
        "window.  When this option is set, you will be promoted for the password upon starting "
        "Quarlo Desk.  This option is ignored if no password is set." },
    { "LockoutTime", stInteger, "Secure", "0", 0, 50000, true, "Security Lockout Time",
        "This option lets you set the time in minutes of inactivity after which Quarlo Desk will "
        "be locked out.  It can only be unlocked by entering the security password.  This option "
        "is ignored if no password is set.  Set the value to zero to never time out." },
    { "SecurityEnabled", stBoolean, "Secure", "False", 0, 0, true, "Enable Security",
        "Setting this option will cause Quarlo Desk to prompt you for a password every time you "
        "start the program.  This password will be used for all security related options." },
    { "CheckAssociation", stBoolean, "General", "True", 0, 0, true, "Check File Associations",
        "On startup, check whether common file extensions are associated with Quarlo Desk, and "
        "give the user the option to associate." },
    { "AppShellRegistered", stBoolean, "General", "False", 0, 0, false, "Not a user parameter",
        "Not a user parameter" },
    { "MRUListKeep", stInteger, "General", "10", 0, 20, true, "Number of Most Recently Used Files",
        "This options sets the number of most recently used files that will be shown in the "
        "File|Reopen menu item." },
    { "LogonMRUListKeep", stInteger, "General", "10", 0, 20, true,
        "Number of Most Recently Used Logons",
        "This options sets the number of most recently used logons that will be shown in the "
        "File|New menu item." },
    { "DragAndDropComma", stDropList, "SQL", "After", 0, 0, true, "Drag And Drop Comma Placement",
        "Controls the placement of the comma when dragging and dropping columns onto an editor." },
    { "DragAndDropPadding", stDropList, "SQL", "After", 0, 0, false, "",
        "Controls whether or not blank space padding will appear when dragging and dropping an "
        "Oracle object onto an editor." },
    { "DragAndDropSpaces", stInteger, "SQL", "1", 0, 0, true, "Drag And Drop Spaces",
        "Number of spaces to pad before or after an object that has been dragged and dropped into "
        "an editor" },
    { "LastFTPLocalDir", stString, "Hidden", "", 0, 0, false, "Last FTP Client Local Directory",
        "Last directory used in the FTP Client" },
};

} // namespace

QString mainSettingsFileName()
{
    return ProgramDirectory::filePath(QStringLiteral("QuarloDesk.Ini"));
}

void declareMainSettings(TSettings &settings)
{
    TSettingCollection &items = settings.Settings();
    items.BeginUpdate();
    for (const Declaration &d : declarations) {
        TSettingItem *item = items.Add();
        item->SetName(QString::fromUtf8(d.name));
        item->SetDataType(d.type);
        item->SetKey(QString::fromUtf8(d.section));
        item->SetDefaultValue(QString::fromUtf8(d.defaultValue));
        item->SetMin(d.min);
        item->SetMax(d.max);
        item->SetDisplay(d.display);
        item->SetShortDesc(QString::fromUtf8(d.shortDesc));
        item->SetLongDesc(QString::fromUtf8(d.longDesc));
        if (d.type == stDropList)
            item->SetValueOptions(QStringLiteral("Before,After,None"));
    }
    items.EndUpdate();
}

} // namespace qd
