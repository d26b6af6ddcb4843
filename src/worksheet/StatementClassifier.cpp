#include "worksheet/StatementClassifier.h"

#include <QHash>

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

QString upperAscii(QStringView word)
{
    QString result = word.toString();
    for (QChar &c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return result;
}

bool isSlashLine(QStringView line)
{
    return line.trimmed() == u"/";
}

bool isEditionWord(const QString &word)
{
    return word == u"EDITIONABLE" || word == u"NONEDITIONABLE" || word == u"EDITIONING";
}

// CREATE statements: the first of the stored-code and view forms found among the words
// decides, the plain forms before the OR REPLACE forms.
TKXStatementKind classifyCreate(const TStringList &words)
{
    struct Form {
        QStringList words;
        TKXStatementKind kind;
    };
    static const QList<Form> forms = [] {
        const std::pair<const char *, TKXStatementKind> kinds[] = {
            { "PROCEDURE", skCreateProcedure },
            { "FUNCTION", skCreateFunction },
            { "TRIGGER", skCreateTrigger },
            { "PACKAGE BODY", skCreatePackageBody },
            { "PACKAGE", skCreatePackage },
            { "TYPE BODY", skCreateTypeBody },
            { "TYPE", skCreateType },
            { "VIEW", skCreateView },
            { "FORCE VIEW", skCreateView },
        };
        QList<Form> list;
        for (const char *prefix : { "CREATE", "CREATE OR REPLACE" }) {
            for (const auto &[text, kind] : kinds) {
                const QString form = QString::fromLatin1(prefix) + QLatin1Char(' ')
                    + QString::fromLatin1(text);
                list.append(Form { form.split(QLatin1Char(' ')), kind });
            }
        }
        return list;
    }();
    const int count = words.Count();
    for (const Form &form : forms) {
        const int length = int(form.words.size());
        for (int start = 0; start + length <= count; ++start) {
            int k = 0;
            while (k < length && words[start + k] == form.words[k])
                ++k;
            if (k == length)
                return form.kind;
        }
    }
    return skOtherSQL;
}

} // namespace

void GetStatementWords(TStringList &lines, int maxWords, int firstLine, int startColumn,
    TStringList &words, int &wordLineOffset, QList<int> *wordLines)
{
    words.Clear();
    words.Reserve(maxWords);
    wordLineOffset = 0;
    if (wordLines)
        wordLines->clear();
    if (firstLine < 0 || firstLine >= lines.Count())
        return;
    if (startColumn > 0) {
        QString line = lines[firstLine];
        const qsizetype blank = qMin<qsizetype>(startColumn, line.size());
        for (qsizetype k = 0; k < blank; ++k)
            line[k] = u' ';
        lines.SetStrings(firstLine, line);
    }
    for (int l = firstLine; l < lines.Count() && words.Count() < maxWords; ++l) {
        const QString &text = lines[l];
        if (words.Count() > 0 && isSlashLine(text))
            return;
        qsizetype begin = 0;
        qsizetype end = text.size();
        while (begin < end && isTrimmable(text[begin]))
            ++begin;
        while (end > begin && isTrimmable(text[end - 1]))
            --end;
        qsizetype p = begin;
        while (p < end && words.Count() < maxWords) {
            while (p < end && isWordBreak(text[p]))
                ++p;
            if (p >= end)
                break;
            const qsizetype start = p;
            while (p < end && !isWordBreak(text[p]))
                ++p;
            QString word = upperAscii(QStringView(text).mid(start, p - start));
            const qsizetype semi = word.indexOf(u';');
            const bool ends = semi >= 0 && semi == word.size() - 1;
            if (ends)
                word.chop(1);
            if (words.Count() > 0 && words[0] == u"CREATE" && isEditionWord(word))
                continue;
            if (words.Count() == 0)
                wordLineOffset = l - firstLine;
            words.Add(word);
            if (wordLines)
                wordLines->append(l);
            if (ends)
                return;
        }
    }
}

TKXStatementKind ClassifyStatement(const TStringList &words)
{
    if (words.Count() == 0)
        return skNone;
    const QString &first = words[0];
    if (first.startsWith(u"@@"))
        return skRunScriptRelative;
    if (first.startsWith(u'@'))
        return skRunScript;
    if (first.startsWith(u"/*"))
        return skBlockComment;
    if (first.startsWith(u"--"))
        return skLineComment;
    if (first == u"CREATE")
        return classifyCreate(words);
    static const QHash<QString, TKXStatementKind> wholeWords = [] {
        QHash<QString, TKXStatementKind> table;
        const std::pair<const char *, TKXStatementKind> entries[] = {
            { "ALTER", skOtherSQL },
            { "ANALYZE", skOtherSQL },
            { "AUDIT", skOtherSQL },
            { "COMMENT", skOtherSQL },
            { "DROP", skOtherSQL },
            { "GRANT", skOtherSQL },
            { "MERGE", skMerge },
            { "NOAUDIT", skOtherSQL },
            { "RENAME", skOtherSQL },
            { "REVOKE", skOtherSQL },
            { "TRUNCATE", skOtherSQL },
            { "DELETE", skDelete },
            { "EXPLAIN", skOtherSQL },
            { "INSERT", skInsert },
            { "LOCK", skOtherSQL },
            { "SELECT", skSelect },
            { "UPDATE", skUpdate },
            { "COMMIT", skOtherSQL },
            { "ROLLBACK", skOtherSQL },
            { "SAVEPOINT", skOtherSQL },
            { "EXEC", skExecute },
            { "EXECU", skExecute },
            { "EXECUT", skExecute },
            { "EXECUTE", skExecute },
            { "DESC", skDescribe },
            { "DESCR", skDescribe },
            { "DESCRI", skDescribe },
            { "DESCRIB", skDescribe },
            { "DESCRIBE", skDescribe },
            { "START", skStartScript },
            { "/", skRunBuffer },
            { "SPOOL", skSpool },
            { "BEGIN", skPLSQLBlock },
            { "DECLARE", skPLSQLBlock },
            { "REM", skRemark },
            { "PROMPT", skPrompt },
            { "VARIABLE", skVariable },
            // A query may open with a subquery factoring clause.
            { "WITH", skSelect },
            { "ACC", skAccept },
            { "ACCE", skAccept },
            { "ACCEP", skAccept },
            { "ACCEPT", skAccept },
            { "DEF", skDefine },
            { "DEFI", skDefine },
            { "DEFIN", skDefine },
            { "DEFINE", skDefine },
            { "CONN", skConnect },
            { "CONNE", skConnect },
            { "CONNEC", skConnect },
            { "CONNECT", skConnect },
        };
        for (const auto &[word, kind] : entries)
            table.insert(QString::fromLatin1(word), kind);
        return table;
    }();
    const auto hit = wholeWords.constFind(first);
    if (hit != wholeWords.constEnd())
        return hit.value();
    // ... or with a parenthesis.
    if (first.startsWith(u'('))
        return skSelect;
    const QString second = words.Count() > 1 ? words[1] : QString();
    if (first == u"SET")
        return second == u"TRANSACTION" || second == u"ROLE" ? skOtherSQL : skCommand;
    if (first == u"SHO" || first == u"SHOW")
        return second == u"ERR" || second == u"ERRO" || second == u"ERROR" || second == u"ERRORS"
            ? skShowErrors
            : skCommand;
    return skCommand;
}

} // namespace qd
