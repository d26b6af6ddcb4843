#include "worksheet/StatementClassifier.h"

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

bool oneOf(const QString &word, std::initializer_list<const char16_t *> forms)
{
    for (const char16_t *form : forms) {
        if (word == QStringView(form))
            return true;
    }
    return false;
}

} // namespace

void GetStatementWords(TStringList &lines, int maxWords, int firstLine, int startColumn,
    TStringList &words, int &wordLineOffset, QList<int> *wordLines)
{
    words.Clear();
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
    if (oneOf(first, { u"ALTER", u"ANALYZE", u"AUDIT", u"COMMENT" }))
        return skOtherSQL;
    if (first == u"CREATE") {
        QString joined;
        for (int k = 0; k < words.Count(); ++k)
            joined += words[k] + QLatin1Char(' ');
        struct Form {
            const char16_t *text;
            TKXStatementKind kind;
        };
        static const Form forms[] = {
            { u"PROCEDURE ", skCreateProcedure },
            { u"FUNCTION ", skCreateFunction },
            { u"TRIGGER ", skCreateTrigger },
            { u"PACKAGE BODY ", skCreatePackageBody },
            { u"PACKAGE ", skCreatePackage },
            { u"TYPE BODY ", skCreateTypeBody },
            { u"TYPE ", skCreateType },
            { u"VIEW ", skCreateView },
            { u"FORCE VIEW ", skCreateView },
        };
        for (const char16_t *prefix : { u"CREATE ", u"CREATE OR REPLACE " }) {
            for (const Form &form : forms) {
                if (joined.contains(QString::fromUtf16(prefix) + QString::fromUtf16(form.text)))
                    return form.kind;
            }
        }
        return skOtherSQL;
    }
    struct Whole {
        const char16_t *word;
        TKXStatementKind kind;
    };
    static const Whole wholeWords[] = {
        { u"DROP", skOtherSQL },
        { u"GRANT", skOtherSQL },
        { u"MERGE", skMerge },
        { u"NOAUDIT", skOtherSQL },
        { u"RENAME", skOtherSQL },
        { u"REVOKE", skOtherSQL },
        { u"TRUNCATE", skOtherSQL },
        { u"DELETE", skDelete },
        { u"EXPLAIN", skOtherSQL },
        { u"INSERT", skInsert },
        { u"LOCK", skOtherSQL },
        { u"SELECT", skSelect },
        { u"UPDATE", skUpdate },
        { u"COMMIT", skOtherSQL },
        { u"ROLLBACK", skOtherSQL },
        { u"SAVEPOINT", skOtherSQL },
        { u"EXEC", skExecute },
        { u"EXECU", skExecute },
        { u"EXECUT", skExecute },
        { u"EXECUTE", skExecute },
        { u"DESC", skDescribe },
        { u"DESCR", skDescribe },
        { u"DESCRI", skDescribe },
        { u"DESCRIB", skDescribe },
        { u"DESCRIBE", skDescribe },
        { u"@", skRunScript },
        { u"START", skStartScript },
        { u"@@", skRunScriptRelative },
        { u"/", skRunBuffer },
        { u"SPOOL", skSpool },
        { u"BEGIN", skPLSQLBlock },
        { u"DECLARE", skPLSQLBlock },
        { u"REM", skRemark },
        { u"PROMPT", skPrompt },
        { u"VARIABLE", skVariable },
        // A query may open with a subquery factoring clause or a parenthesis.
        { u"WITH", skSelect },
    };
    for (const Whole &whole : wholeWords) {
        if (first == QStringView(whole.word))
            return whole.kind;
    }
    if (first.startsWith(u'('))
        return skSelect;
    const QString second = words.Count() > 1 ? words[1] : QString();
    if (first == u"SET")
        return second == u"TRANSACTION" || second == u"ROLE" ? skOtherSQL : skCommand;
    if (first == u"SHO" || first == u"SHOW")
        return oneOf(second, { u"ERR", u"ERRO", u"ERROR", u"ERRORS" }) ? skShowErrors : skCommand;
    if (oneOf(first, { u"ACC", u"ACCE", u"ACCEP", u"ACCEPT" }))
        return skAccept;
    if (oneOf(first, { u"DEF", u"DEFI", u"DEFIN", u"DEFINE" }))
        return skDefine;
    if (oneOf(first, { u"CONN", u"CONNE", u"CONNEC", u"CONNECT" }))
        return skConnect;
    return skCommand;
}

} // namespace qd
