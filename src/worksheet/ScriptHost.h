#pragma once

// What the script runner (TQueryThread) needs of the window that started it. The worksheet
// window implements it; tests implement it with a plain recording host. The runner calls every
// method on the GUI thread while its worker waits (never from the worker), and calls none after
// the window has told the runner it is going away (TQueryThread::DetachHost).

#include "worksheet/KXVars.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qd {

// State that outlives a run: copied into the runner when it starts and back when it ends
// (normally or with an error), so that variables, the script directory and the last created
// object stay with the window from run to run.
struct TScriptRunState {
    // Directory of the script being run; "@@" and relative names are read against it.
    QString ScriptDir;
    // VARIABLE declarations (kinds kvkBindChar, kvkBindNumber).
    TKXVars BindVariables;
    // DEFINE, ACCEPT and "&&" values (kind kvkSubstitution).
    TKXVars SubstitutionVariables;
    // The stored object a CREATE made last (at most 31 characters) and its statement kind;
    // SHOW ERRORS lists its errors.
    QString LastObjectName;
    quint8 LastObjectKind = 0;
};

// One entry of the error list: Text is "L:C - message"; Line and Column are the 1-based editor
// position (the window encodes it as Line * 65536 + Column). A position below 1 means none.
struct TScriptError {
    QString Text;
    int Line = 0;
    int Column = 0;
};
using TScriptErrorList = QList<TScriptError>;

// A value the runner asks the user for (ACCEPT, "&name").
struct TScriptPrompt {
    QString Caption = QStringLiteral("Substitution Variable");
    QString Text; // "Enter a value for NAME" unless ACCEPT gave its own
    QString Default;
    QString Format;
    quint8 MaskKind = 1; // 0 number, 1 none, 2 date
    bool Hide = false; // echo "*"
};

// A logon the runner asks the window to make (CONNECT). ConnectAs is "", "SYSDBA" or "SYSOPER".
struct TScriptLogon {
    QString Username;
    QString Password;
    QString Database;
    QString ConnectAs;
};

// Which result page the window shows.
enum TScriptResultPage { srpGrid, srpText };

class TScriptHost {
public:
    virtual ~TScriptHost() = default;

    // ---- Run state ------------------------------------------------------------------------------
    // At the start: the window's copies. At the end (also after an error): the runner's copies.
    virtual TScriptRunState LoadRunState() = 0;
    virtual void SaveRunState(const TScriptRunState &state) = 0;

    // ---- Run bracket ----------------------------------------------------------------------------
    // Start of a run: the editor turns yellow and read-only, the run controls change state, the
    // caption gets the busy mark, the grid's data source is detached from the dataset, and both
    // result control groups (grid and text) are disabled.
    virtual void BeginRunUI() = 0;
    // End of a run: editor restored, error pane filled with errors (and shown when it has
    // lines), run controls restored, busy mark cleared.
    virtual void EndRunUI(const TScriptErrorList &errors) = 0;
    // End of a run: enables the result controls of page (and disables the other group's) and
    // shows the page.
    virtual void FinishResult(TScriptResultPage page) = 0;
    // Start of a run: which page the results go to.
    virtual void ShowResultPage(TScriptResultPage page) = 0;
    // The run has ended with an error (after EndRunUI): show message in the application's error
    // box with the editor disabled while it is open.
    virtual void ShowRunError(const QString &message) = 0;
    // An error ended the run with caret placement on: put the caret on the 1-based editor
    // position (clamped to the text) and select the word there (see ErrorWordLength).
    virtual void ShowErrorPosition(int line, int column) = 0;

    // ---- Status bar -----------------------------------------------------------------------------
    // The run-state panel ("Executing editor contents...", "Spooling Data...", "Errors occurred",
    // "Error", "").
    virtual void ShowRunStatus(const QString &text) = 0;
    // The elapsed time of the run has been measured: panel 1 gets text and the run clock stops.
    virtual void ShowElapsedTime(const QString &text) = 0;

    // ---- Text output ----------------------------------------------------------------------------
    virtual void ClearTextOutput() = 0;
    // Appends lines to the text output, then deletes its first lines while it holds more than
    // maxLines (the screen buffer).
    virtual void AppendTextOutput(const QStringList &lines, int maxLines) = 0;

    // ---- Grid -----------------------------------------------------------------------------------
    // The grid's data source gets the dataset again (it has been opened on a query or a
    // description); columns wider than the grid are narrowed to its client width - 40.
    virtual void AttachGridDataSet() = 0;

    // ---- Questions ------------------------------------------------------------------------------
    // Asks for a value; false when the user cancelled.
    virtual bool PromptForValue(const TScriptPrompt &prompt, QString &value) = 0;

    // ---- Logon ----------------------------------------------------------------------------------
    // CONNECT: with askFirst (a part was not given) the logon dialog is shown filled with logon
    // and its values are used; false when the user cancelled it. Then the window's session logs
    // off (when connected) and on with the values, the window takes the new logon (fields,
    // connected state, module "Quarlo Desk SQL", server version in the status) and shows the
    // session's logon message when there is one. A failed logon raises (Exception/EOracleError).
    virtual bool ConnectSession(const TScriptLogon &logon, bool askFirst) = 0;
    // End of a run: when the session's logon differs from the navigator's, the navigator logs on
    // again with the worksheet's logon.
    virtual void SyncNavigatorLogon() = 0;

    // ---- End ------------------------------------------------------------------------------------
    // The runner's thread has ended (after every other call): the window clears its running
    // flag, stops its run clock, and goes to its unconnected state when the session is no longer
    // connected. The runner deletes itself later; the window must drop its pointer to it.
    virtual void QueryThreadFinished() = 0;
};

// Length of the word the error selection covers on lineText from the 0-based column: up to the
// first blank, tab, ( ) , + - * / = ' " ; % or |, else to the end of the line.
int ErrorWordLength(const QString &lineText, int column);

} // namespace qd
