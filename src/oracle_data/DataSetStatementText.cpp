#include "DataSetStatementText.h"

#include "oracle/OracleSqlText.h"

#include <cmath>

namespace qd {

namespace {

bool isWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')
        || u == u'_' || u == u'$' || u == u'#' || u == u'@' || u == u'.' || u == u'"' || u >= 128;
}

// Upper-cases character by character so that positions stay valid (QString::toUpper may turn
// one character into two).
QString upperSameLength(const QString &text)
{
    QString result = text;
    for (QChar &c : result)
        c = c.toUpper();
    return result;
}

} // namespace

void AddToList(const QString &item, QString &list, bool spaced)
{
    if (item.isEmpty())
        return;
    if (list.isEmpty())
        list = item;
    else
        list += (spaced ? QStringLiteral(", ") : QStringLiteral(",")) + item;
}

QString FirstWord(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == u' ')
            return text.left(i);
    }
    return text;
}

bool SameFloat(double x, double y)
{
    if (y != 0)
        return std::fabs((x - y) / y) < 1e-10;
    return std::fabs(x) < 1e-10;
}

int FindWord(const QString &word, const QString &text)
{
    QString framed = u' ' + upperSameLength(text) + u' ';
    for (QChar &c : framed)
        if (!isWordChar(c))
            c = u' ';
    const qsizetype index = framed.indexOf(u' ' + upperSameLength(word) + u' ');
    // The frame's leading space makes the index of the match the word's 1-based position.
    return index < 0 ? 0 : static_cast<int>(index + 1);
}

void SplitStatement(
    const QString &statement, QString &head, QString &where, QString &tail, QString &keyword)
{
    const QString text = RemoveComments(statement);
    // Same length as the text, with everything inside parentheses and string literals blanked
    // out, so that the positions found in it apply to the text. Parentheses inside a literal do
    // not count: '(' in a condition must not hide the ORDER BY after it.
    QString search = upperSameLength(text);
    int depth = 0;
    bool quoted = false;
    for (QChar &c : search) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && c == u'(') {
            ++depth;
            continue;
        }
        if (!quoted && c == u')') {
            depth = std::max(depth - 1, 0);
            continue;
        }
        if (quoted || depth > 0)
            c = u'_';
    }

    keyword = FindWord(QStringLiteral("GROUP"), search) > 0 ? QStringLiteral("having")
                                                            : QStringLiteral("where");
    int w = FindWord(keyword.toUpper(), search);
    int t = FindWord(QStringLiteral("ORDER"), search);
    if (t == 0)
        t = FindWord(QStringLiteral("FOR"), search);
    if (t == 0)
        t = static_cast<int>(text.size()) + 1;
    // A condition keyword after the tail's start is part of the tail: taking it would hand the
    // text between them to both the head and the tail.
    if (w >= t)
        w = 0;
    tail = text.mid(t - 1);
    if (w == 0) {
        head = text.left(t - 1);
        where.clear();
    } else {
        head = text.left(w - 1);
        const int start = w - 1 + static_cast<int>(keyword.size());
        where = text.mid(start, std::max(t - 1 - start, 0));
    }
    head = head.trimmed();
    where = where.trimmed();
    tail = tail.trimmed();
}

} // namespace qd
