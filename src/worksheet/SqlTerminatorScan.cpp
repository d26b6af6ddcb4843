#include "worksheet/SqlTerminatorScan.h"

namespace qd {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

QChar closingDelimiter(QChar open)
{
    switch (open.unicode()) {
    case u'[':
        return u']';
    case u'{':
        return u'}';
    case u'(':
        return u')';
    case u'<':
        return u'>';
    default:
        return open;
    }
}

// Whether the q at index p opens a q'x...x' literal: a q (or nq) that is not the end of a longer
// name, a quote and a delimiter that is not a blank.
bool opensAltQuote(QStringView line, qsizetype p)
{
    if (p + 2 >= line.size() || line[p + 1] != u'\'')
        return false;
    const QChar delimiter = line[p + 2];
    if (delimiter.unicode() <= u' ' || delimiter == u'\'')
        return false;
    qsizetype before = p - 1;
    if (before >= 0 && (line[before] == u'n' || line[before] == u'N'))
        --before;
    return before < 0 || !isNameChar(line[before]);
}

// Characters that may change the state of code: most characters of a statement do not.
bool mattersInCode(char16_t c)
{
    switch (c) {
    case u';':
    case u'\'':
    case u'"':
    case u'-':
    case u'/':
    case u'q':
    case u'Q':
        return true;
    default:
        return false;
    }
}

} // namespace

qsizetype SqlTerminatorScan::findTerminator(QStringView line)
{
    const qsizetype n = line.size();
    const QChar *data = line.data();
    qsizetype p = 0;
    while (p < n) {
        if (m_mode == Code) {
            while (p < n && !mattersInCode(data[p].unicode()))
                ++p;
            if (p >= n)
                break;
        }
        const QChar c = data[p];
        switch (m_mode) {
        case Code:
            if (c == u';')
                return p;
            if (c == u'\'') {
                m_mode = SingleQuote;
            } else if (c == u'"') {
                m_mode = DoubleQuote;
            } else if (c == u'-' && p + 1 < n && line[p + 1] == u'-') {
                return -1; // the rest of the line is a comment
            } else if (c == u'/' && p + 1 < n && line[p + 1] == u'*') {
                m_mode = BlockComment;
                ++p;
            } else if ((c == u'q' || c == u'Q') && opensAltQuote(line, p)) {
                m_mode = AltQuote;
                m_altClose = closingDelimiter(line[p + 2]);
                p += 2;
            }
            break;
        case SingleQuote:
            // A doubled quote inside a literal closes and reopens it: the same state either way.
            if (c == u'\'')
                m_mode = Code;
            break;
        case DoubleQuote:
            if (c == u'"')
                m_mode = Code;
            break;
        case BlockComment:
            if (c == u'*' && p + 1 < n && line[p + 1] == u'/') {
                m_mode = Code;
                ++p;
            }
            break;
        case AltQuote:
            if (c == m_altClose && p + 1 < n && line[p + 1] == u'\'') {
                m_mode = Code;
                ++p;
            }
            break;
        }
        ++p;
    }
    return -1;
}

} // namespace qd
