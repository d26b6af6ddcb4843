#include "QDSubVar.h"

#include "classlib/Exception.h"

namespace qd {

bool TQDSubVar::isDelimiter(QChar c)
{
    switch (c.unicode()) {
    case ' ':
    case '\t':
    case '(':
    case ')':
    case ',':
    case '+':
    case '-':
    case '*':
    case '/':
    case '=':
    case '\'':
    case '"':
    case '.':
    case ';':
    case ':':
    case '%':
    case '|':
    // "&" ends a name too, so "&a&b" is two variables and "&a&&b" never gives two
    // occurrences over the same characters.
    case '&':
        return true;
    default:
        return false;
    }
}

void TQDSubVar::Scan(const TStringList &lines)
{
    m_occurrences.clear();
    m_source.Clear();
    m_output.Clear();
    m_source.AddStrings(lines);
    m_output.AddStrings(lines);
    for (int i = 0; i < m_source.Count(); ++i)
        scanLine(i, m_source[i]);
}

void TQDSubVar::scanLine(int line, const QString &text)
{
    const qsizetype length = text.size();
    qsizetype pos = text.indexOf(u'&');
    while (pos >= 0) {
        const bool isDouble = pos + 1 < length && text[pos + 1] == u'&';
        const qsizetype nameStart = pos + (isDouble ? 2 : 1);
        qsizetype nameEnd = nameStart;
        while (nameEnd < length && !isDelimiter(text[nameEnd]))
            ++nameEnd;
        if (nameEnd == nameStart) {
            // Nothing but the marker: search on behind it.
            pos = text.indexOf(u'&', nameStart);
            continue;
        }
        // A "." right behind the name belongs to the occurrence ("&x.y" joins value and "y").
        const bool hasDot = nameEnd < length && text[nameEnd] == u'.';
        const qsizetype end = hasDot ? nameEnd + 1 : nameEnd;
        TQDSubVarRec rec;
        rec.Kind = isDouble ? svkDouble : svkSingle;
        rec.Name = text.mid(nameStart, nameEnd - nameStart).toUpper();
        rec.Line = line;
        rec.Column = static_cast<int>(pos) + 1;
        rec.EndColumn = static_cast<int>(end);
        rec.Text = text.mid(pos, end - pos);
        m_occurrences.append(rec);
        pos = text.indexOf(u'&', end);
    }
}

void TQDSubVar::checkIndex(int index) const
{
    if (index < 1 || index > Count())
        throw Exception(QStringLiteral("Substitution variable index %1 out of range.").arg(index));
}

TQDSubVarRec TQDSubVar::GetOccurrence(int index) const
{
    checkIndex(index);
    return m_occurrences.at(index - 1);
}

void TQDSubVar::Substitute(int index, const QString &value)
{
    checkIndex(index);
    TQDSubVarRec &rec = m_occurrences[index - 1];
    const int delta = static_cast<int>(rec.Text.size() - value.size());
    for (int i = index; i < Count() && m_occurrences.at(i).Line == rec.Line; ++i) {
        m_occurrences[i].Column -= delta;
        m_occurrences[i].EndColumn -= delta;
    }
    QString text = m_output[rec.Line];
    text.replace(rec.Column - 1, rec.EndColumn - rec.Column + 1, value);
    m_output.SetStrings(rec.Line, text);
    rec.Text = value;
    rec.EndColumn -= delta;
}

} // namespace qd
