#pragma once

#include "classlib/StringList.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <QStringView>

#include <vector>

namespace qd {

// The kind of a script statement, decided by its first words; the executors dispatch on it.
enum TKXStatementKind : quint8 {
    skNone = 0,
    skCommand = 1,
    skSelect = 2,
    skUpdate = 3,
    skInsert = 4,
    skDelete = 5,
    skMerge = 6,
    skExecute = 7,
    skOtherSQL = 8,
    skReserved9 = 9,
    skPLSQLBlock = 10,
    skDescribe = 11,
    skRunScript = 12,
    skRunScriptRelative = 13,
    skStartScript = 14,
    skSpool = 15,
    skRunBuffer = 16,
    skCreateProcedure = 17,
    skCreateFunction = 18,
    skCreateTrigger = 19,
    skCreatePackage = 20,
    skCreatePackageBody = 21,
    skCreateType = 22,
    skCreateTypeBody = 23,
    skCreateView = 24,
    skLineComment = 25,
    skBlockComment = 26,
    skShowErrors = 27,
    skRemark = 28,
    skPrompt = 29,
    skVariable = 30,
    skAccept = 31,
    skDefine = 32,
    skConnect = 33,
};

inline constexpr int KXStatementKindCount = 34;

// Kinds whose run writes text feedback ("1 row inserted.", "Package created.").
bool IsCommandKind(TKXStatementKind kind);
// Kinds whose run shows rows (a query, a describe).
bool IsQueryKind(TKXStatementKind kind);
// Kinds that count as real statements of a script (not comments or nested-script calls).
bool IsCountedKind(TKXStatementKind kind);
// The nested-script kinds: "@", "@@" and "START".
inline bool IsScriptCallKind(TKXStatementKind kind)
{
    return kind == skRunScript || kind == skRunScriptRelative || kind == skStartScript;
}

// Where a statement's line or word stands in the text of its script. Kept small: a script has
// one for each of its lines and of its statements' lines and words. Offsets fit as the splitter
// refuses a script of more than MaxScriptCharacters.
struct TKXTextSpan {
    quint32 offset = 0;
    quint32 length = 0;

    static TKXTextSpan Of(qsizetype offset, qsizetype length)
    {
        return TKXTextSpan { quint32(offset), quint32(length) };
    }
};

// The longest script the splitter reads, in characters; text that rules prepare from it stays
// below 2^32 characters with it.
inline constexpr qsizetype MaxScriptCharacters = qsizetype(1) << 30;

// The text of one script file, held once for all its statements: the characters as read, the
// text that a statement's rule prepared differently from them (a dropped ";", a continuation
// joined), and the spans of every statement's lines and words. The splitter
// fills it; afterwards it does not change, and statement records share it.
class TKXScriptText : public QSharedData {
public:
    // The script's characters; offsets from 0 up to its size point here.
    QString Script;
    // Prepared text; offsets from the size of Script on point here.
    QString Prepared;
    std::vector<TKXTextSpan> Spans;

    QStringView View(const TKXTextSpan &span) const
    {
        const qsizetype scriptSize = Script.size();
        if (qsizetype(span.offset) < scriptSize)
            return QStringView(Script).mid(span.offset, span.length);
        return QStringView(Prepared).mid(qsizetype(span.offset) - scriptSize, span.length);
    }
};

// One statement of a script, as the splitter prepared it.
struct TKXStatement {
    TKXStatementKind Kind = skNone;

    // The statement text, prepared by the rule of its kind. Line and Word read in place and are
    // valid while this record (or a copy of it) lives; Lines and Words make copies.
    int LineCount() const { return LineSpanCount; }
    QStringView Line(int index) const { return Text->View(Text->Spans[FirstSpan + index]); }
    TStringList Lines() const;
    // Its first words (at most 6), upper case (they are kept as written).
    int WordCount() const { return WordSpanCount; }
    QString Word(int index) const;
    TStringList Words() const;

    // Line (from 0) of the top-level script on which the statement begins; for a statement of a
    // nested script, the line of the top-level "@" statement that led to it.
    int FirstLine = 0;
    // Characters at the start of that line that precede the statement (a comment closed there).
    int StartColumn = 0;
    // The following statement; the script owns every record.
    TKXStatement *Next = nullptr;
    // For the nested-script kinds: the script was read and its statements follow this record.
    bool Loaded = false;
    // The statement was read from a nested script.
    bool Nested = false;
    // Nesting level of the script that holds the statement: 1 for the top-level script.
    int Level = 1;
    // Directory (with a trailing "/", or empty) of the script that holds the statement, against
    // which its "@@" names are read.
    QString ScriptDir;

    // The text of the script that holds the statement: its lines' spans come first at
    // FirstSpan, then its words' spans. A record made without a script has no lines or words.
    QExplicitlySharedDataPointer<const TKXScriptText> Text;
    int FirstSpan = 0;
    int LineSpanCount = 0;
    int WordSpanCount = 0;
};

} // namespace qd
