#include "worksheet/KXScript.h"

#include "worksheet/KXException.h"
#include "worksheet/ScriptFiles.h"
#include "worksheet/ScriptLines.h"
#include "worksheet/StatementClassifier.h"
#include "worksheet/StatementRules.h"

namespace qd {

namespace {

constexpr int SplitWords = 6;

// Statement records are made in blocks of this many, so that a long script does not ask for
// memory once per statement.
constexpr int RecordsPerBlock = 256;

} // namespace

void TKXScript::Clear()
{
    m_records.clear();
    m_recordsUsed = 0;
    m_head = nullptr;
    m_current = nullptr;
    m_statementCount = 0;
    m_commandCount = 0;
    m_queryCount = 0;
    m_eof = true;
    m_currentStatement = TKXStatement();
}

void TKXScript::Parse(const QString &text, int mode, int caretLine, int maxNested)
{
    TScriptLines lines(text);
    parse(lines, mode, caretLine, maxNested);
}

void TKXScript::Parse(const TStringList &lines, int mode, int caretLine, int maxNested)
{
    TScriptLines scriptLines(lines);
    parse(scriptLines, mode, caretLine, maxNested);
}

void TKXScript::parse(TScriptLines &lines, int mode, int caretLine, int maxNested)
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

TKXScript::Chain TKXScript::split(TScriptLines &lines, const SplitContext &context)
{
    Chain chain;
    const int n = lines.Count();
    int i = 0;
    int startColumn = 0;
    // The words are read where they stand, in the script's text.
    TStatementWordSpans spans;
    QStringView words[SplitWords];
    while (i < n) {
        int lineCount = 1;
        CollectStatementWords(lines, SplitWords, i, startColumn, spans);
        const int wordCount = spans.count();
        if (wordCount == 0)
            break; // the rest of the script is blank
        if (spans.lineOffset > 0) {
            // The text behind a closed comment was blank: the statement starts on a later line,
            // at its start.
            i += spans.lineOffset;
            startColumn = 0;
        }
        for (int k = 0; k < wordCount; ++k)
            words[k] = spans.word(k);
        const TKXStatementKind kind = ClassifyWords(words, wordCount);
        // A statement behind a comment closed on its line is read from there on; the command
        // rule keeps the whole line, with the comment's text as blanks.
        if (startColumn > 0 && kind != skBlockComment && kind != skCommand)
            lines.CutStart(i, startColumn);
        const TScriptLines::Mark mark = lines.Position();
        switch (kind) {
        case skSelect:
        case skUpdate:
        case skInsert:
        case skDelete:
        case skMerge:
        case skOtherSQL:
        case skCreateType:
        case skCreateView:
            lineCount = SqlStatementRule(lines, i);
            break;
        case skPLSQLBlock:
        case skCreateProcedure:
        case skCreateFunction:
        case skCreateTrigger:
        case skCreatePackage:
        case skCreatePackageBody:
        case skCreateTypeBody:
            lineCount = PlsqlStatementRule(lines, i);
            break;
        case skExecute:
            lineCount = ExecuteRule(lines, i, words[0]);
            break;
        case skDescribe: {
            const bool named = wordCount > 1 && spans.spans[1].lineIndex == i;
            if (named)
                lines.AddUpper(words[1]);
            else
                lines.Add(QStringView());
            break;
        }
        case skRunScript:
        case skRunScriptRelative:
        case skStartScript:
            if (m_maxNested <= context.level)
                throw EKXException(
                    QStringLiteral("Maximum level of nested scripts (%1) has been exceeded")
                        .arg(m_maxNested));
            lines.Add(ScriptCallName(lines[i], kind));
            break;
        case skSpool:
            lines.Add(SpoolFileName(lines[i], m_currentDir));
            break;
        case skRunBuffer:
            lines.Add(u"/");
            break;
        case skShowErrors:
        case skVariable:
        case skAccept:
        case skDefine:
        case skConnect:
            // Passwords are case-sensitive: a CONNECT keeps what was typed.
            lineCount = TokenRule(lines, i, kind == skConnect);
            break;
        case skPrompt:
            lineCount = PromptRule(lines, i, words[0]);
            break;
        case skCommand:
            if (startColumn > 0) {
                const QStringView line = lines[i];
                const qsizetype blanks = qMin<qsizetype>(startColumn, line.size());
                const qsizetype begin = lines.BeginPrepared();
                for (qsizetype k = 0; k < blanks; ++k)
                    lines.Append(QChar(u' '));
                lines.Append(line.mid(blanks));
                lines.EndPrepared(begin);
            } else {
                lines.Add(lines[i]);
            }
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
        if (isTaken(context, i, lineCount)) {
            const int lineSpans = lines.AddedSince(mark);
            // Only the words on the statement's own lines are its words.
            const int lastLine = i + qMax(lineCount, 1) - 1;
            int kept = 0;
            while (kept < wordCount && spans.spans[kept].lineIndex <= lastLine)
                ++kept;
            for (int k = 0; k < kept; ++k)
                lines.Add(words[k]);
            take(chain, context, kind, lines, mark.spans, lineSpans, kept, i, startColumn);
        } else {
            lines.Rewind(mark);
        }
        startColumn = 0;
        i += lineCount;
    }
    return chain;
}

bool TKXScript::isTaken(const SplitContext &context, int firstLine, int lineCount)
{
    if (context.nested)
        return true;
    const int caret = context.caretLine;
    if (context.mode == kpmAtCaret)
        return firstLine <= caret && caret < firstLine + lineCount;
    if (context.mode == kpmFromCaret)
        return caret < firstLine + lineCount;
    return true;
}

TKXStatement *TKXScript::newRecord()
{
    if (m_records.empty() || m_recordsUsed == RecordsPerBlock) {
        m_records.push_back(std::make_unique<TKXStatement[]>(RecordsPerBlock));
        m_recordsUsed = 0;
    }
    return &m_records.back()[m_recordsUsed++];
}

void TKXScript::take(Chain &chain, const SplitContext &context, TKXStatementKind kind,
    const TScriptLines &lines, size_t firstSpan, int lineSpans, int wordSpans, int firstLine,
    int startColumn)
{
    TKXStatement *record = newRecord();
    record->Kind = kind;
    record->Text = lines.SharedText();
    record->FirstSpan = int(firstSpan);
    record->LineSpanCount = lineSpans;
    record->WordSpanCount = wordSpans;
    record->FirstLine = context.nested ? context.firstLine : firstLine;
    record->StartColumn = context.nested ? context.startColumn : startColumn;
    record->Nested = context.nested;
    record->Level = context.level;
    record->ScriptDir = context.scriptDir;
    if (chain.tail)
        chain.tail->Next = record;
    else
        chain.head = record;
    chain.tail = record;

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
    const QString name = record->LineCount() > 0 ? record->Line(0).trimmed().toString() : QString();
    if (name.isEmpty())
        return;
    const QString file = ResolveScriptFile(record->Kind, name, record->ScriptDir, m_scriptPath);
    m_currentDir = DirectoryOf(file);
    TScriptLines fileLines(ReadScriptText(file));

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
