#pragma once

#include "worksheet/KXStatement.h"

#include <memory>
#include <vector>

namespace qd {

class TScriptLines;

// Which statements of a script Parse keeps.
enum TKXParseMode : quint8 {
    kpmAll = 0, // every statement
    kpmAtCaret = 1, // only the statement whose lines hold the caret line
    kpmFromCaret = 2, // the statement at the caret and every one after it
};

// Splits the text of a worksheet script into a chain of classified statements, the way a
// command-line SQL client reads a script: statements end at ";" or at a line holding only "/",
// PL/SQL blocks and stored code only at "/", "-" continues a script command, "--", "REM" and
// "/* */" are comments, and "@", "@@" and "START" run nested script files, read when the walk
// reaches them. Statements begin at the start of a line (or behind a comment closed on it)
// and end at the end of a line.
//
// Parse, then First and Next until Eof, reading CurrentStatement. Errors raise EKXException.
class TKXScript {
public:
    TKXScript() = default;
    TKXScript(const TKXScript &) = delete;
    TKXScript &operator=(const TKXScript &) = delete;

    TKXStatement *Head() const { return m_head; }
    TKXStatement *Current() const { return m_current; }
    // Real statements (not comments, not nested-script calls) taken so far.
    int StatementCount() const { return m_statementCount; }
    // Statements of the kinds that give text feedback, and of the kinds that show rows.
    int CommandCount() const { return m_commandCount; }
    int QueryCount() const { return m_queryCount; }
    bool Eof() const { return m_eof; }

    // Directories searched for nested scripts, separated by ";".
    const QString &ScriptPath() const { return m_scriptPath; }
    void SetScriptPath(const QString &value) { m_scriptPath = value; }
    // Directory of the script being read; reading a nested script moves it to that script's
    // directory (it is not moved back).
    const QString &CurrentDir() const { return m_currentDir; }
    void SetCurrentDir(const QString &value) { m_currentDir = value; }

    // A copy of the current record.
    const TKXStatement &CurrentStatement() const { return m_currentStatement; }
    int MaxNested() const { return m_maxNested; }

    // Splits the script and keeps the statements that mode asks for. Then reads ahead, nested
    // scripts included, until the counts show that the run gives text output (one command and
    // two queries) or the chain ends. maxNested bounds the nesting of scripts: the top-level
    // script is level 1, and an "@" in a script of level maxNested or deeper fails. The text is
    // held once (shared with the caller's string where it can be); the statements' lines and
    // words point into it.
    void Parse(const QString &text, int mode, int caretLine, int maxNested);
    // The same for a script given as lines.
    void Parse(const TStringList &lines, int mode, int caretLine, int maxNested);
    void First();
    void Next();
    void Clear();

private:
    struct Chain {
        TKXStatement *head = nullptr;
        TKXStatement *tail = nullptr;
    };
    struct SplitContext {
        int mode = kpmAll;
        int caretLine = 0;
        int level = 1;
        bool nested = false;
        // For a nested script: where the statement that led to it stands in the top-level script.
        int firstLine = 0;
        int startColumn = 0;
        QString scriptDir;
    };

    void parse(TScriptLines &lines, int mode, int caretLine, int maxNested);
    Chain split(TScriptLines &lines, const SplitContext &context);
    // Whether the mode keeps the statement on lines firstLine .. firstLine + lineCount - 1.
    static bool isTaken(const SplitContext &context, int firstLine, int lineCount);
    TKXStatement *newRecord();
    void take(Chain &chain, const SplitContext &context, TKXStatementKind kind,
        const TScriptLines &lines, size_t firstSpan, int lineSpans, int wordSpans, int firstLine,
        int startColumn);
    void loadNested(TKXStatement *record);
    void setCurrent(TKXStatement *record);
    bool countsSettled() const { return m_commandCount >= 1 && m_queryCount >= 2; }

    // Blocks of records; the chain points into them.
    std::vector<std::unique_ptr<TKXStatement[]>> m_records;
    int m_recordsUsed = 0;
    TKXStatement *m_head = nullptr;
    TKXStatement *m_current = nullptr;
    int m_statementCount = 0;
    int m_commandCount = 0;
    int m_queryCount = 0;
    bool m_eof = true;
    QString m_scriptPath;
    QString m_currentDir;
    TKXStatement m_currentStatement;
    int m_maxNested = 0;
};

} // namespace qd
