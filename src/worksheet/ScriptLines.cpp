#include "worksheet/ScriptLines.h"

#include "worksheet/KXException.h"

#include <functional>

namespace qd {

namespace {

char16_t upperAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

bool hasLowerAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c >= u'a' && c <= u'z')
            return true;
    }
    return false;
}

void refuseOversized(qsizetype characters)
{
    if (characters > MaxScriptCharacters)
        throw EKXException(
            QStringLiteral("The script is too large to run (more than %1 characters).")
                .arg(MaxScriptCharacters));
}

// Room for the spans of the statements taken from lineCount lines, made once: a statement has
// a span for each of its lines and up to six for its words.
void reserveSpans(std::vector<TKXTextSpan> &spans, size_t lineCount)
{
    spans.reserve(lineCount * 3 + 16);
}

} // namespace

TScriptLines::TScriptLines(const QString &text)
    : m_text(new TKXScriptText)
{
    refuseOversized(text.size());
    m_text->Script = text;
    const char16_t *const data = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype lineFeeds = 0;
    for (qsizetype k = 0; k < n; ++k)
        lineFeeds += data[k] == u'\n';
    m_lines.reserve(size_t(lineFeeds + 1));
    reserveSpans(m_text->Spans, size_t(lineFeeds + 1));
    qsizetype p = 0;
    if (!QStringView(text).contains(u'\r')) {
        while (p < n) {
            qsizetype end = QStringView(text).indexOf(u'\n', p);
            if (end < 0)
                end = n;
            m_lines.push_back(TKXTextSpan::Of(p, end - p));
            p = end + 1;
        }
        return;
    }
    while (p < n) {
        const qsizetype start = p;
        while (p < n && data[p] != u'\r' && data[p] != u'\n')
            ++p;
        m_lines.push_back(TKXTextSpan::Of(start, p - start));
        if (p < n && data[p] == u'\r')
            ++p;
        if (p < n && data[p] == u'\n')
            ++p;
    }
}

TScriptLines::TScriptLines(const TStringList &lines)
    : m_text(new TKXScriptText)
{
    const int count = lines.Count();
    qsizetype total = 0;
    for (int i = 0; i < count; ++i)
        total += lines[i].size();
    refuseOversized(total);
    QString &script = m_text->Script;
    script.reserve(total);
    m_lines.reserve(size_t(count));
    reserveSpans(m_text->Spans, size_t(count));
    for (int i = 0; i < count; ++i) {
        m_lines.push_back(TKXTextSpan::Of(script.size(), lines[i].size()));
        script.append(lines[i]);
    }
}

void TScriptLines::CutStart(int i, qsizetype count)
{
    TKXTextSpan &span = m_lines[size_t(i)];
    count = qBound<qsizetype>(0, count, span.length);
    span.offset += quint32(count);
    span.length -= quint32(count);
}

void TScriptLines::Rewind(const Mark &mark)
{
    m_text->Spans.resize(mark.spans);
    m_text->Prepared.truncate(mark.prepared);
}

bool TScriptLines::inScript(QStringView text) const
{
    const std::less_equal<const QChar *> notAfter;
    const QChar *begin = m_text->Script.constData();
    const QChar *end = begin + m_text->Script.size();
    return !text.isEmpty() && notAfter(begin, text.data())
        && notAfter(text.data() + text.size(), end);
}

void TScriptLines::Add(QStringView text)
{
    if (text.isEmpty()) {
        m_text->Spans.push_back(TKXTextSpan { 0, 0 });
        return;
    }
    if (inScript(text)) {
        m_text->Spans.push_back(
            TKXTextSpan::Of(text.data() - m_text->Script.constData(), text.size()));
        return;
    }
    const qsizetype begin = BeginPrepared();
    Append(text);
    EndPrepared(begin);
}

void TScriptLines::AddUpper(QStringView text)
{
    if (!hasLowerAscii(text)) {
        Add(text);
        return;
    }
    const qsizetype begin = BeginPrepared();
    QString &prepared = m_text->Prepared;
    prepared.resize(begin + text.size());
    QChar *out = prepared.data() + begin;
    for (qsizetype k = 0; k < text.size(); ++k)
        out[k] = QChar(upperAscii(text[k].unicode()));
    EndPrepared(begin);
}

void TScriptLines::EndPrepared(qsizetype begin)
{
    m_text->Spans.push_back(
        TKXTextSpan::Of(m_text->Script.size() + begin, m_text->Prepared.size() - begin));
}

void TScriptLines::RemoveLast()
{
    const TKXTextSpan span = m_text->Spans.back();
    m_text->Spans.pop_back();
    const qsizetype scriptSize = m_text->Script.size();
    const qsizetype offset = span.offset;
    if (offset >= scriptSize && offset - scriptSize + span.length == m_text->Prepared.size())
        m_text->Prepared.truncate(offset - scriptSize);
}

} // namespace qd
