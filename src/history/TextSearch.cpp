#include "TextSearch.h"

namespace qd {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

qsizetype FindText(
    const QString &text, const QString &needle, bool matchCase, bool wholeWord, qsizetype from)
{
    if (needle.isEmpty())
        return -1;
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = text.indexOf(needle, from, cs); at >= 0;
         at = text.indexOf(needle, at + 1, cs)) {
        if (!wholeWord)
            return at;
        const qsizetype end = at + needle.size();
        const bool startOk = at == 0 || !isWordChar(text[at - 1]);
        const bool endOk = end >= text.size() || !isWordChar(text[end]);
        if (startOk && endOk)
            return at;
    }
    return -1;
}

} // namespace qd
