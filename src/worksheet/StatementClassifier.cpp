#include "worksheet/StatementClassifier.h"

#include "worksheet/ScriptLines.h"

#include <QHash>
#include <QStringList>

#include <array>

namespace qd {

namespace {

bool isTrimmable(QChar c)
{
    return c.unicode() <= u' ';
}

bool isWordBreak(QChar c)
{
    return c == u' ' || c == u'\t';
}

char16_t upperAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

// Whether word, upper-cased, is key (upper-case ASCII).
bool isWord(QStringView word, QLatin1StringView key)
{
    if (word.size() != key.size())
        return false;
    for (qsizetype k = 0; k < word.size(); ++k) {
        if (upperAscii(word[k].unicode()) != char16_t(uchar(key[k].toLatin1())))
            return false;
    }
    return true;
}

bool isSlashLine(QStringView line)
{
    return line.trimmed() == u"/";
}

bool isEditionWord(QStringView word)
{
    return isWord(word, QLatin1StringView("EDITIONABLE"))
        || isWord(word, QLatin1StringView("NONEDITIONABLE"))
        || isWord(word, QLatin1StringView("EDITIONING"));
}

// CREATE statements: the first of the stored-code and view forms found among the words
// decides, the plain forms before the OR REPLACE forms.
TKXStatementKind classifyCreate(const QStringView *words, int count)
{
    struct Form {
        std::array<QLatin1StringView, 6> words;
        int length;
        TKXStatementKind kind;
    };
    using L = QLatin1StringView;
    static const Form forms[] = {
        { { L("CREATE"), L("PROCEDURE") }, 2, skCreateProcedure },
        { { L("CREATE"), L("FUNCTION") }, 2, skCreateFunction },
        { { L("CREATE"), L("TRIGGER") }, 2, skCreateTrigger },
        { { L("CREATE"), L("PACKAGE"), L("BODY") }, 3, skCreatePackageBody },
        { { L("CREATE"), L("PACKAGE") }, 2, skCreatePackage },
        { { L("CREATE"), L("TYPE"), L("BODY") }, 3, skCreateTypeBody },
        { { L("CREATE"), L("TYPE") }, 2, skCreateType },
        { { L("CREATE"), L("VIEW") }, 2, skCreateView },
        { { L("CREATE"), L("FORCE"), L("VIEW") }, 3, skCreateView },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("PROCEDURE") }, 4, skCreateProcedure },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("FUNCTION") }, 4, skCreateFunction },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("TRIGGER") }, 4, skCreateTrigger },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("PACKAGE"), L("BODY") }, 5, skCreatePackageBody },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("PACKAGE") }, 4, skCreatePackage },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("TYPE"), L("BODY") }, 5, skCreateTypeBody },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("TYPE") }, 4, skCreateType },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("VIEW") }, 4, skCreateView },
        { { L("CREATE"), L("OR"), L("REPLACE"), L("FORCE"), L("VIEW") }, 5, skCreateView },
    };
    for (const Form &form : forms) {
        for (int start = 0; start + form.length <= count; ++start) {
            int k = 0;
            while (k < form.length && isWord(words[start + k], form.words[k]))
                ++k;
            if (k == form.length)
                return form.kind;
        }
    }
    return skOtherSQL;
}

// Statements known by their first word alone.
TKXStatementKind kindOfFirstWord(QStringView first)
{
    struct Entry {
        QLatin1StringView word;
        TKXStatementKind kind;
    };
    using L = QLatin1StringView;
    static const Entry entries[] = {
        { L("SELECT"), skSelect },
        { L("INSERT"), skInsert },
        { L("UPDATE"), skUpdate },
        { L("DELETE"), skDelete },
        { L("MERGE"), skMerge },
        { L("BEGIN"), skPLSQLBlock },
        { L("DECLARE"), skPLSQLBlock },
        { L("ALTER"), skOtherSQL },
        { L("ANALYZE"), skOtherSQL },
        { L("AUDIT"), skOtherSQL },
        { L("COMMENT"), skOtherSQL },
        { L("DROP"), skOtherSQL },
        { L("GRANT"), skOtherSQL },
        { L("NOAUDIT"), skOtherSQL },
        { L("RENAME"), skOtherSQL },
        { L("REVOKE"), skOtherSQL },
        { L("TRUNCATE"), skOtherSQL },
        { L("EXPLAIN"), skOtherSQL },
        { L("LOCK"), skOtherSQL },
        { L("COMMIT"), skOtherSQL },
        { L("ROLLBACK"), skOtherSQL },
        { L("SAVEPOINT"), skOtherSQL },
        { L("EXEC"), skExecute },
        { L("EXECU"), skExecute },
        { L("EXECUT"), skExecute },
        { L("EXECUTE"), skExecute },
        { L("DESC"), skDescribe },
        { L("DESCR"), skDescribe },
        { L("DESCRI"), skDescribe },
        { L("DESCRIB"), skDescribe },
        { L("DESCRIBE"), skDescribe },
        { L("START"), skStartScript },
        { L("/"), skRunBuffer },
        { L("SPOOL"), skSpool },
        { L("REM"), skRemark },
        { L("PROMPT"), skPrompt },
        { L("VARIABLE"), skVariable },
        // A query may open with a subquery factoring clause.
        { L("WITH"), skSelect },
        { L("ACC"), skAccept },
        { L("ACCE"), skAccept },
        { L("ACCEP"), skAccept },
        { L("ACCEPT"), skAccept },
        { L("DEF"), skDefine },
        { L("DEFI"), skDefine },
        { L("DEFIN"), skDefine },
        { L("DEFINE"), skDefine },
        { L("CONN"), skConnect },
        { L("CONNE"), skConnect },
        { L("CONNEC"), skConnect },
        { L("CONNECT"), skConnect },
    };
    // The entries by their first character, so that a word is held against a few of them.
    struct Bucket {
        QVarLengthArray<const Entry *, 8> entries;
    };
    static const std::array<Bucket, 128> buckets = [] {
        std::array<Bucket, 128> table;
        for (const Entry &entry : entries)
            table[uchar(entry.word.front().toLatin1())].entries.append(&entry);
        return table;
    }();
    if (first.isEmpty())
        return skNone;
    const char16_t lead = upperAscii(first.front().unicode());
    if (lead >= 128)
        return skNone;
    for (const Entry *entry : buckets[lead].entries) {
        if (isWord(first, entry->word))
            return entry->kind;
    }
    return skNone;
}

} // namespace

namespace {

// Words that begin most statements or follow the first word: a statement's words that are one
// of these share one string instead of each having its own (a script holds thousands of them).
constexpr qsizetype LongestCommonWord = 12;

const QString *commonWord(QStringView upper)
{
    static const QStringList words = [] {
        QStringList list;
        for (const char *word : { "SELECT", "INSERT", "UPDATE", "DELETE", "MERGE", "INTO", "FROM",
                 "WHERE", "SET", "VALUES", "AS", "ON", "OR", "REPLACE", "CREATE", "ALTER", "DROP",
                 "TABLE", "VIEW", "INDEX", "UNIQUE", "SEQUENCE", "SYNONYM", "PUBLIC", "PACKAGE",
                 "BODY", "PROCEDURE", "FUNCTION", "TRIGGER", "TYPE", "FORCE", "BEGIN", "DECLARE",
                 "END", "NULL", "IS", "EXEC", "EXECUTE", "COMMIT", "ROLLBACK", "SAVEPOINT", "GRANT",
                 "REVOKE", "TO", "TRUNCATE", "DISTINCT", "ALL", "USING", "WHEN", "MATCHED", "THEN",
                 "NOT", "AND", "IN", "BY", "WITH", "SPOOL", "OFF", "PROMPT", "DEFINE", "DEF",
                 "VARIABLE", "NUMBER", "CHAR", "VARCHAR2", "DATE", "ACCEPT", "ACC", "CONNECT",
                 "CONN", "SHOW", "SHO", "ERRORS", "ERR", "DESC", "DESCRIBE", "REM", "START",
                 "COMMENT", "COLUMN", "LOCK", "ANALYZE", "EXPLAIN", "PLAN", "FOR", "SERVEROUTPUT",
                 "SIZE", "SERVEROUT", "FEEDBACK", "ECHO", "VERIFY", "TIMING", "HEADING", "LINESIZE",
                 "PAGESIZE", "TERMOUT", "TRIMSPOOL", "TRANSACTION", "ROLE", "=", "*", "(", ")", ",",
                 "/", "-", "1", "0", "DUAL", "COUNT(*)" })
            list.append(QString::fromLatin1(word));
        return list;
    }();
    static const QHash<QStringView, const QString *> index = [] {
        QHash<QStringView, const QString *> table;
        for (const QString &word : words)
            table.insert(QStringView(word), &word);
        return table;
    }();
    return index.value(upper, nullptr);
}

} // namespace

QString UpperStatementWord(QStringView word)
{
    const qsizetype n = word.size();
    if (n <= LongestCommonWord) {
        char16_t upper[LongestCommonWord];
        for (qsizetype k = 0; k < n; ++k)
            upper[k] = upperAscii(word[k].unicode());
        if (const QString *shared = commonWord(QStringView(upper, n)))
            return *shared;
        return QString(reinterpret_cast<const QChar *>(upper), n);
    }
    QString result(n, Qt::Uninitialized);
    QChar *out = result.data();
    for (qsizetype k = 0; k < n; ++k)
        out[k] = QChar(upperAscii(word[k].unicode()));
    return result;
}

namespace {

void blankStart(TStringList &lines, int i, int count)
{
    QString line = lines[i];
    const qsizetype blank = qMin<qsizetype>(count, line.size());
    for (qsizetype k = 0; k < blank; ++k)
        line[k] = u' ';
    lines.SetStrings(i, line);
}

// The splitter's lines are not changed: the words are read behind startColumn.
void blankStart(TScriptLines &, int, int) { }

template <typename Lines>
void collectWords(
    Lines &lines, int maxWords, int firstLine, int startColumn, TStatementWordSpans &words)
{
    words.spans.clear();
    words.lineOffset = 0;
    if (firstLine < 0 || firstLine >= lines.Count())
        return;
    if (startColumn > 0)
        blankStart(lines, firstLine, startColumn);
    bool afterCreate = false;
    for (int l = firstLine; l < lines.Count() && words.count() < maxWords; ++l) {
        const QStringView text = lines[l];
        if (words.count() > 0 && isSlashLine(text))
            return;
        const QChar *data = text.data();
        qsizetype end = text.size();
        qsizetype begin = l == firstLine ? qMin<qsizetype>(startColumn, end) : 0;
        while (begin < end && isTrimmable(data[begin]))
            ++begin;
        while (end > begin && isTrimmable(data[end - 1]))
            --end;
        qsizetype p = begin;
        while (p < end && words.count() < maxWords) {
            while (p < end && isWordBreak(data[p]))
                ++p;
            if (p >= end)
                break;
            const qsizetype start = p;
            qsizetype semi = -1;
            while (p < end && !isWordBreak(data[p])) {
                if (semi < 0 && data[p] == u';')
                    semi = p;
                ++p;
            }
            QStringView word = text.mid(start, p - start);
            const bool ends = semi >= 0 && semi == p - 1;
            if (ends)
                word.chop(1);
            if (afterCreate && isEditionWord(word))
                continue;
            if (words.count() == 0) {
                words.lineOffset = l - firstLine;
                afterCreate = isWord(word, QLatin1StringView("CREATE"));
            }
            words.spans.append(TStatementWordSpans::Span { word, l });
            if (ends)
                return;
        }
    }
}

} // namespace

void CollectStatementWords(
    TStringList &lines, int maxWords, int firstLine, int startColumn, TStatementWordSpans &words)
{
    collectWords(lines, maxWords, firstLine, startColumn, words);
}

void CollectStatementWords(
    TScriptLines &lines, int maxWords, int firstLine, int startColumn, TStatementWordSpans &words)
{
    collectWords(lines, maxWords, firstLine, startColumn, words);
}

void GetStatementWords(TStringList &lines, int maxWords, int firstLine, int startColumn,
    TStringList &words, int &wordLineOffset, QList<int> *wordLines)
{
    TStatementWordSpans spans;
    CollectStatementWords(lines, maxWords, firstLine, startColumn, spans);
    words.Clear();
    words.Reserve(spans.count());
    if (wordLines) {
        wordLines->clear();
        wordLines->reserve(spans.count());
    }
    for (int k = 0; k < spans.count(); ++k) {
        words.Add(UpperStatementWord(spans.word(k)));
        if (wordLines)
            wordLines->append(spans.spans[k].lineIndex);
    }
    wordLineOffset = spans.lineOffset;
}

TKXStatementKind ClassifyWords(const QStringView *words, int count)
{
    if (count == 0)
        return skNone;
    const QStringView first = words[0];
    if (first.startsWith(u"@@"))
        return skRunScriptRelative;
    if (first.startsWith(u'@'))
        return skRunScript;
    if (first.startsWith(u"/*"))
        return skBlockComment;
    if (first.startsWith(u"--"))
        return skLineComment;
    if (isWord(first, QLatin1StringView("CREATE")))
        return classifyCreate(words, count);
    const TKXStatementKind known = kindOfFirstWord(first);
    if (known != skNone)
        return known;
    // ... or with a parenthesis.
    if (first.startsWith(u'('))
        return skSelect;
    const QStringView second = count > 1 ? words[1] : QStringView();
    if (isWord(first, QLatin1StringView("SET"))) {
        return isWord(second, QLatin1StringView("TRANSACTION"))
                || isWord(second, QLatin1StringView("ROLE"))
            ? skOtherSQL
            : skCommand;
    }
    if (isWord(first, QLatin1StringView("SHO")) || isWord(first, QLatin1StringView("SHOW"))) {
        return isWord(second, QLatin1StringView("ERR")) || isWord(second, QLatin1StringView("ERRO"))
                || isWord(second, QLatin1StringView("ERROR"))
                || isWord(second, QLatin1StringView("ERRORS"))
            ? skShowErrors
            : skCommand;
    }
    return skCommand;
}

TKXStatementKind ClassifyStatement(const TStringList &words)
{
    QVarLengthArray<QStringView, 8> views;
    views.reserve(words.Count());
    for (int k = 0; k < words.Count(); ++k)
        views.append(words[k]);
    return ClassifyWords(views.constData(), int(views.size()));
}

} // namespace qd
