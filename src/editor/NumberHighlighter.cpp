#include "editor/NumberHighlighter.h"

#include "editor/CodeDocument.h"
#include "editor/HighlightHost.h"

#include <limits>

namespace qd {

namespace {

// The key entry of number marks: any value without bit 15 serves.
constexpr qint16 NumberEntry = 0x7FFF;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(QChar c)
{
    return isDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

} // namespace

bool TNumberHighlighter::IsNumber(QStringView token)
{
    if (token.isEmpty())
        return false;
    if (token.front() == u'$') {
        for (qsizetype i = 1; i < token.size(); ++i)
            if (!isHexDigit(token[i]))
                return false;
        return true;
    }
    for (QChar c : token)
        if (!isDigit(c))
            return false;
    return true;
}

bool TNumberHighlighter::allowed(const TAttrRecord &attribute)
{
    const quint8 flags = hl::Flags(attribute);
    int context = 0;
    if (flags & hl::SetsStyle)
        context = (flags & 0x40) ? hl::Context(attribute) : 32768;
    bool ok = quint16(context) == quint16(Scope);
    if (OnQueryHilit)
        OnQueryHilit(this, context, ok);
    return ok;
}

void TNumberHighlighter::ApplyKeywords(TCodeNavigator &startNav, TCodeNavigator &endNav, int)
{
    CodeDocument *doc = startNav.Memo();
    if (!Active() || !doc)
        return;
    const qint64 parIndex = startNav.ParIndex();
    TParagraph *p = startNav.ParRecord();
    const qint64 length = p->Length;
    const QStringView text(reinterpret_cast<const QChar *>(p->Text), length);
    const TSeparatorSet &seps = SeparatorSet();
    const auto sep = [&](qint64 i) { return seps.Contains(text[i].unicode()); };

    // From the start of the token before the start, to one character after the end.
    qint64 pos = qMin<qint64>(startNav.ParOffset(), length);
    if (pos > 0)
        --pos;
    while (pos > 0 && !sep(pos - 1))
        --pos;
    qint64 end = endNav.ParIndex() == parIndex ? qMin<qint64>(endNav.ParOffset(), length) : length;
    if (end < length)
        ++end;

    constexpr qint64 NoLimit = std::numeric_limits<qint64>::max();
    qint32 next = hl::FirstAttrAtOrAfter(p, pos + 1); // the next attribute to start
    const auto nextStart = [&] { return next < p->AttrCount ? qint64(p->Attrs[next].Offset()) : NoLimit; };
    bool ok = allowed(*hl::AttrAt(p, pos));
    std::vector<std::pair<qint64, qint64>> numbers;
    while (pos < end) {
        while (pos < end && sep(pos))
            ++pos;
        if (pos >= end)
            break;
        while (nextStart() <= pos) {
            ok = allowed(p->Attrs[next]);
            ++next;
        }
        if (!ok) {
            // Jump from region to region up to an allowed one, then past the token there.
            while (!ok) {
                if (nextStart() == NoLimit || nextStart() >= end) {
                    pos = end;
                    break;
                }
                pos = nextStart();
                ok = allowed(p->Attrs[next]);
                ++next;
            }
            while (pos < length && !sep(pos))
                ++pos;
            continue;
        }
        qint64 te = pos;
        while (te < length && !sep(te))
            ++te;
        if (te <= nextStart() && IsNumber(text.mid(pos, te - pos)))
            numbers.emplace_back(pos, te);
        pos = te;
    }
    if (numbers.empty())
        return;
    const qint64 parStart = doc->Paragraphs().StartPos(parIndex);
    TCodeNavigator a;
    TCodeNavigator b;
    THighlightHost *host = THighlightHost::Of(doc);
    for (const auto &[from, to] : numbers) {
        const TAttrRecord at = *hl::AttrAt(p, from);
        if (hl::Level(at) >= hl::MaxLevel)
            continue;
        TAttrRecord rec = hl::Pushed(at, NumberEntry, quint8(Style | (AltFont ? hl::AltFontBit : 0)),
            Background, Foreground, ContextNum, 0);
        hl::SetOpenLength(rec, int(to - from));
        a.Assign(startNav);
        a.SetPos(parStart + from);
        b.Assign(startNav);
        b.SetPos(parStart + to);
        mark(host, *doc, a, b, rec);
    }
    invalidate(startNav, parIndex, parIndex);
}

} // namespace qd
