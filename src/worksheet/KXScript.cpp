#include "worksheet/KXScript.h"

#include "worksheet/KXException.h"
#include "worksheet/ScriptFiles.h"
#include "worksheet/StatementClassifier.h"
#include "worksheet/StatementRules.h"

namespace qd {

namespace {

constexpr int SplitWords = 6;

// Drops the words that lie on lines behind the statement's last line.
void keepWordsWithin(TStringList &words, const QList<int> &wordLines, int lastLine)
{
    for (int k = words.Count() - 1; k >= 0; --k) {
        if (wordLines[k] > lastLine)
            words.Delete(k);
    }
}

} // namespace

void TKXScript::Clear()
{
    m_records.clear();
    m_head = nullptr;
    m_current = nullptr;
    m_statementCount = 0;
    m_commandCount = 0;
    m_queryCount = 0;
    m_eof = true;
    m_currentStatement = TKXStatement();
}

void TKXScript::Parse(TStringList &lines, int mode, int caretLine, int maxNested)
{
    Clear();
    m_maxNested = maxNested;
    SplitContext context;
    context.mode = mode;
    context.caretLine = caretLine;
    context.scriptDir = m_currentDir;
    m_head = split(lines, context).head;
    if (countsSettled())
        return;
    // Reading ahead (nested scripts included) tells the runner whether the run shows a grid.
    First();
    while (!m_eof && !countsSettled())
        Next();
}

void TKXScript::First()
{
    if (m_head)
        loadNested(m_head);
    setCurrent(m_head);
}

void TKXScript::Next()
{
    if (!m_current) {
        setCurrent(nullptr);
        return;
    }
    loadNested(m_current);
    setCurrent(m_current->Next);
}

void TKXScript::setCurrent(TKXStatement *record)
{
    m_current = record;
    m_eof = record == nullptr;
    m_currentStatement = record ? *record : TKXStatement();
}

TKXScript::Chain TKXScript::split(TStringList &lines, const SplitContext &context)
{
    Chain chain;
    const int n = lines.Count();
    int i = 0;
    int startColumn = 0;
    TStringList words;
    QList<int> wordLines;
    while (i < n) {
        int lineCount = 1;
        int offset = 0;
        GetStatementWords(lines, SplitWords, i, startColumn, words, offset, &wordLines);
        if (words.Count() == 0)
            break; // the rest of the script is blank
        if (offset > 0) {
            // The text behind a closed comment was blank: the statement starts on a later line,
            // at its start.
            i += offset;
            startColumn = 0;
        }
        const TKXStatementKind kind = ClassifyStatement(words);
        TStringList text;
        switch (kind) {
        case skSelect:
        case skUpdate:
        case skInsert:
        case skDelete:
        case skMerge:
        case skOtherSQL:
        case skCreateType:
        case skCreateView:
            lineCount = SqlStatementRule(lines, i, startColumn, text);
            break;
        case skPLSQLBlock:
        case skCreateProcedure:
        case skCreateFunction:
        case skCreateTrigger:
        case skCreatePackage:
        case skCreatePackageBody:
        case skCreateTypeBody:
            lineCount = PlsqlStatementRule(lines, i, startColumn, text);
            break;
        case skExecute:
            lineCount = ExecuteRule(lines, i, words[0], text);
            break;
        case skDescribe: {
            const bool named = words.Count() > 1 && wordLines[1] == i;
            text.Add(named ? words[1] : QString());
            break;
        }
        case skRunScript:
        case skRunScriptRelative:
        case skStartScript:
            if (m_maxNested <= context.level)
                throw EKXException(
                    QStringLiteral("Maximum level of nested scripts (%1) has been exceeded")
                        .arg(m_maxNested));
            text.Add(ScriptCallName(lines[i], kind));
            break;
        case skSpool:
            text.Add(SpoolFileName(lines[i], m_currentDir));
            break;
        case skRunBuffer:
            text.Add(QStringLiteral("/"));
            break;
        case skShowErrors:
        case skVariable:
        case skAccept:
        case skDefine:
        case skConnect:
            // Passwords are case-sensitive: a CONNECT keeps what was typed.
            lineCount = TokenRule(lines, i, kind == skConnect, text);
            break;
        case skPrompt:
            lineCount = PromptRule(lines, i, words[0], text);
            break;
        case skCommand:
            text.Add(lines[i]);
            break;
        case skBlockComment:
            BlockCommentRule(lines, i, lineCount, startColumn);
            i += lineCount;
            continue;
        case skNone:
        case skReserved9:
        case skLineComment:
        case skRemark:
            startColumn = 0;
            i += lineCount;
            continue;
        }
        keepWordsWithin(words, wordLines, i + qMax(lineCount, 1) - 1);
        take(chain, context, kind, std::move(words), std::move(text), i, startColumn, lineCount);
        words = TStringList();
        startColumn = 0;
        i += lineCount;
    }
    return chain;
}

void TKXScript::take(Chain &chain, const SplitContext &context, TKXStatementKind kind,
    TStringList &&words, TStringList &&text, int firstLine, int startColumn, int lineCount)
{
    if (!context.nested) {
        const int caret = context.caretLine;
        if (context.mode == kpmAtCaret && !(firstLine <= caret && caret < firstLine + lineCount))
            return;
        if (context.mode == kpmFromCaret && !(caret < firstLine + lineCount))
            return;
    }
    auto record = std::make_unique<TKXStatement>();
    record->Kind = kind;
    record->Words = std::move(words);
    record->Lines = std::move(text);
    record->FirstLine = context.nested ? context.firstLine : firstLine;
    record->StartColumn = context.nested ? context.startColumn : startColumn;
    record->Nested = context.nested;
    record->Level = context.level;
    record->ScriptDir = context.scriptDir;
    TKXStatement *taken = record.get();
    m_records.push_back(std::move(record));
    if (chain.tail)
        chain.tail->Next = taken;
    else
        chain.head = taken;
    chain.tail = taken;

    if (IsCountedKind(kind))
        ++m_statementCount;
    if (IsCommandKind(kind))
        ++m_commandCount;
    if (IsQueryKind(kind))
        ++m_queryCount;
}

void TKXScript::loadNested(TKXStatement *record)
{
    if (!IsScriptCallKind(record->Kind) || record->Loaded)
        return;
    const QString name = record->Lines.Count() > 0 ? record->Lines[0].trimmed() : QString();
    if (name.isEmpty())
        return;
    const QString file = ResolveScriptFile(record->Kind, name, record->ScriptDir, m_scriptPath);
    m_currentDir = DirectoryOf(file);
    TStringList fileLines;
    ReadScriptFile(file, fileLines);

    SplitContext context;
    context.level = record->Level + 1;
    context.nested = true;
    context.firstLine = record->FirstLine;
    context.startColumn = record->StartColumn;
    context.scriptDir = m_currentDir;
    const Chain chain = split(fileLines, context);
    if (!chain.head)
        return;
    record->Loaded = true;
    chain.tail->Next = record->Next;
    record->Next = chain.head;
}

} // namespace qd
