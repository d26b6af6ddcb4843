#include "editor/ExtHighlighter.h"

#include "editor/CodeDocument.h"
#include "editor/HighlightHost.h"

#include <algorithm>

namespace qd {

namespace {

const QString DefaultSeparators = QStringLiteral("\t ,.;");

QStringView paragraphText(const TParagraph *p)
{
    return QStringView(reinterpret_cast<const QChar *>(p->Text), p->Length);
}

} // namespace

TCustomExtHighlighter::TCustomExtHighlighter()
    : m_separators(DefaultSeparators)
{
    m_a = new TCodeNavigator();
    m_b = new TCodeNavigator();
    m_c = new TCodeNavigator();
}

TCustomExtHighlighter::~TCustomExtHighlighter()
{
    delete m_a;
    delete m_b;
    delete m_c;
}

void TCustomExtHighlighter::SetSeparators(const QString &chars)
{
    const TSeparatorSet set(chars);
    if (set == m_separators)
        return;
    m_separators = set;
    m_startStop.SetSeparatorsPrepared(false);
}

void TCustomExtHighlighter::SetSubHighlighter(TCodeHighlighter *sub)
{
    if (sub == m_sub)
        return;
    if (sub == this)
        return; // a highlighter cannot run after itself
    if (m_sub)
        m_sub->unwatch(this);
    m_sub = sub;
    if (m_sub)
        m_sub->watch(this);
}

void TCustomExtHighlighter::referenceGone(TCodeHighlighter *gone)
{
    if (gone == m_sub)
        m_sub = nullptr;
}

void TCustomExtHighlighter::mark(THighlightHost *host, CodeDocument &doc,
    TCodeNavigator &startNav, TCodeNavigator &endNav, const TAttrRecord &attribute)
{
    if (host)
        host->SetAttribute(startNav, endNav, false, true, attribute);
    else
        SetAttributeRange(doc, startNav, endNav, false, true, attribute);
}

void TCustomExtHighlighter::invalidate(TCodeNavigator &nav, qint64 first, qint64 last)
{
    if (THighlightHost *host = THighlightHost::Of(nav.Memo()))
        if (host->OnInvalidate)
            host->OnInvalidate(host, first, last);
}

bool TCustomExtHighlighter::Applies(
    int scope, int priority, const TAttrRecord &attribute, int baseIndex) const
{
    if (priority == 32767)
        return true;
    const int level = hl::Level(attribute);
    const int context = (hl::Flags(attribute) & hl::SetsStyle) ? hl::Context(attribute) : 0;
    int enclosing = 0;
    if (level >= 0 && level < hl::MaxEntries) {
        const qint16 entry = hl::Entry(attribute, level);
        if (!hl::IsRangeEntry(entry)) {
            enclosing = 32767;
        } else {
            const int index = (quint16(entry) & 0x7FFF) - baseIndex;
            enclosing = index >= 0 && index < m_startStop.Count()
                ? m_startStop.Item(index).Priority
                : 0;
        }
    }
    return (scope == 0 && priority > enclosing) || context == scope;
}

// --- keywords

void TCustomExtHighlighter::ApplyKeywords(
    TCodeNavigator &startNav, TCodeNavigator &endNav, int baseIndex)
{
    m_decisions.clear();
    if (m_active && !m_keywords.IsEmpty() && startNav.Memo()) {
        TCodeNavigator *s = &startNav;
        TCodeNavigator *e = &endNav;
        if (e->Position() < s->Position())
            std::swap(s, e);
        const qint64 fp = s->ParIndex();
        const qint64 so = s->ParOffset();
        const qint64 lp = e->ParIndex();
        const qint64 eo = e->ParOffset();
        TParagraphsList &pars = s->Memo()->Paragraphs();
        const int longest = m_keywords.Longest();
        m_matcher.Update(m_keywords, m_separators);
        std::vector<TKeywordHit> &hits = m_hits;
        THighlightHost *host = THighlightHost::Of(s->Memo());
        bool marked = false;
        for (qint64 k = fp; k <= lp; ++k) {
            const TParagraph *p = pars.At(k);
            const qint64 length = p->Length;
            const qint64 sb = k == fp ? qBound<qint64>(0, so - (longest + 1), length) : 0;
            const qint64 se = k == lp ? qBound<qint64>(0, eo + longest, length) : length;
            if (se <= sb)
                continue;
            const qint64 from = k == fp ? so : sb;
            const qint64 to = k == lp ? eo : se;
            const QStringView text = paragraphText(p);
            QStringView upper = text;
            if (m_matcher.AllFast()) {
                upper = QStringView(); // tokens are upper-cased as they are looked up
            } else if (m_keywords.HasNoCaseKeys()) {
                // One buffer serves every paragraph; only the stretch is upper-cased.
                m_upper.resize(length);
                QChar *u = m_upper.data();
                std::copy(text.begin() + sb, text.begin() + se, u + sb);
                UpperCaseInPlace(u + sb, se - sb, m_keywords.CaseMode());
                upper = QStringView(u, length);
            }
            m_matcher.CollectIndependent(text, upper, qint32(sb), qint32(se), from, to, hits);
            for (const TKeywordHit &hit : hits)
                marked = markKeyword(host, *s, k, hit, baseIndex) || marked;
        }
        if (marked)
            invalidate(*s, fp, lp);
    }
    if (m_sub)
        m_sub->ApplyKeywords(startNav, endNav, baseIndex);
}

bool TCustomExtHighlighter::markKeyword(THighlightHost *host, TCodeNavigator &startNav,
    qint64 parIndex, const TKeywordHit &hit, int baseIndex)
{
    CodeDocument *doc = startNav.Memo();
    TParagraph *p = doc->Paragraphs().At(parIndex);
    const TAttrRecord at = *hl::AttrAt(p, hit.Offset);
    const int level = hl::Level(at);
    if (level >= hl::MaxLevel)
        return false;
    const TKeywordInfo &info = m_keywords.Info(hit.Keyword);
    if (!Applies(info.Scope, info.Priority, at, baseIndex))
        return false;
    // Keyword marks inside the hit may be covered whole; anything else inside keeps the hit out.
    const qint64 start = hit.Offset;
    const qint64 end = qint64(hit.Offset) + hit.Length;
    bool tolerated = false;
    for (qint32 i = hl::FirstAttrAtOrAfter(p, start + 1); i < p->AttrCount; ++i) {
        const TAttrRecord &r = p->Attrs[i];
        if (r.Offset() > end)
            break;
        if (!hl::IsLevelled(r)) {
            tolerated = false;
            continue;
        }
        if (r.Offset() == end)
            continue; // begins after the hit
        const int rl = hl::Level(r);
        if (rl >= level && rl < hl::MaxEntries && !hl::IsRangeEntry(hl::Entry(r, rl)))
            tolerated = true;
        else
            return false;
    }
    if (tolerated)
        return false;
    const qint64 parStart = doc->Paragraphs().StartPos(parIndex);
    m_a->Assign(startNav);
    m_a->SetPos(parStart + start);
    m_b->Assign(startNav);
    m_b->SetPos(parStart + end);
    if (OnKeyword) {
        bool accept = true;
        OnKeyword(this, *m_a, m_b, hit.Keyword, accept);
        if (!accept)
            return false;
    }
    TAttrRecord rec = hl::Pushed(at, qint16(baseIndex + hit.Keyword), info.Style, info.Background,
        info.Foreground, info.ContextNum, info.Tag);
    hl::SetOpenLength(rec, hit.Length);
    mark(host, *doc, *m_a, *m_b, rec);
    return true;
}

// --- start/stop keys

void TCustomExtHighlighter::prepareSeparatorTests()
{
    if (m_startStop.SeparatorsPrepared() && m_testsFor == m_separators)
        return;
    m_firstChars = {};
    m_anyWideFirst = false;
    const auto word = [&](QChar c) { return !m_separators.Contains(c.unicode()); };
    for (qsizetype i = 0; i < m_startStop.Count(); ++i) {
        TStartStopKey &item = m_startStop.Item(i);
        const bool whole = item.Options & koWholeWords;
        const QString &a = item.PreparedStart;
        const QString &b = item.PreparedStop;
        item.BeforeStartNeedsSep = whole && !a.isEmpty() && word(a.front());
        item.AfterStartNeedsSep = whole && !a.isEmpty() && word(a.back());
        item.BeforeStopNeedsSep = whole && !b.isEmpty() && word(b.front());
        item.AfterStopNeedsSep = whole && !b.isEmpty() && word(b.back());
        if (!a.isEmpty()) {
            // Every character of the text that can stand for the key's first one.
            const QChar c = a.front();
            const bool matchCase = item.Options & koMatchCase;
            const TcmUpperCase mode = m_startStop.CaseMode();
            for (char16_t t = 0; t < 256; ++t)
                if (QChar(t) == c || (!matchCase && UpperChar(QChar(t), mode) == c))
                    m_firstChars[t >> 6] |= quint64(1) << (t & 63);
            if (c.unicode() >= 256 || (!matchCase && mode != cmuAscii))
                m_anyWideFirst = true;
        }
    }
    m_testsFor = m_separators;
    m_startStop.SetSeparatorsPrepared(true);
}

bool TCustomExtHighlighter::searchStart(
    TCodeNavigator &nav, qint64 endOff, int baseIndex, StartMatch &match)
{
    prepareSeparatorTests();
    TParagraph *p = nav.ParRecord();
    const qint64 length = p->Length;
    const qint64 navOff = qMin<qint64>(nav.ParOffset(), length);
    const qint64 parStart = nav.Position() - nav.ParOffset();
    const QStringView text = paragraphText(p);
    const TcmUpperCase mode = m_startStop.CaseMode();
    const int longest = m_startStop.LongestStart();
    if (hl::Level(*hl::AttrAt(p, navOff)) >= hl::MaxLevel)
        return false;
    const qint64 ws = qMax<qint64>(0, navOff - (longest + 1));
    const qint64 we = qMin<qint64>(length, endOff + longest + 1);
    const auto maybe = [&](char16_t ch) {
        return ch >= 256 ? m_anyWideFirst : bool((m_firstChars[ch >> 6] >> (ch & 63)) & 1);
    };
    qint32 ai = hl::FirstAttrAtOrAfter(p, ws);
    for (qint64 pos = ws; pos <= endOff && pos < we; ++pos) {
        const QChar c = text[pos];
        if (!maybe(c.unicode()))
            continue;
        while (ai < p->AttrCount && p->Attrs[ai].Offset() <= pos)
            ++ai;
        const TAttrRecord cur = ai > 0 ? p->Attrs[ai - 1] : *p->StartAttr;
        const int level = hl::Level(cur);
        if (level >= hl::MaxLevel)
            continue;
        bool skipPosition = false;
        for (qsizetype i = 0; i < m_startStop.Count() && !skipPosition; ++i) {
            const TStartStopKey &item = m_startStop.Item(i);
            const qint64 n = item.PreparedStart.size();
            if (n == 0 || pos + n > we)
                continue;
            if (pos + n + (item.AfterStartNeedsSep ? 1 : 0) <= navOff)
                continue;
            if (!Applies(item.Scope, item.Priority, cur, baseIndex))
                continue;
            if (!KeyAt(text, pos, item.PreparedStart, item.Options & koMatchCase, mode))
                continue;
            if (item.BeforeStartNeedsSep && pos > 0
                && !m_separators.Contains(text[pos - 1].unicode()))
                continue;
            if (item.AfterStartNeedsSep && pos + n < we
                && !m_separators.Contains(text[pos + n].unicode()))
                continue;
            // The closing quote of a string opens no new string.
            if (item.PreparedStart == item.PreparedStop && hl::InRange(cur)
                && (quint16(hl::Entry(cur, level)) & 0x7FFF) == quint16(i + baseIndex)) {
                skipPosition = true;
                continue;
            }
            if (OnStart) {
                bool accept = true;
                const auto known = std::find_if(m_decisions.begin(), m_decisions.end(),
                    [&](const StartDecision &d) {
                        return d.Par == p && d.Pos == pos && d.Item == i && d.BaseIndex == baseIndex;
                    });
                if (known != m_decisions.end()) {
                    accept = known->Accept;
                } else {
                    m_a->Assign(nav);
                    m_a->SetPos(parStart + pos);
                    OnStart(this, *m_a, nullptr, int(i), accept);
                    m_decisions.push_back({ p, pos, i, baseIndex, accept });
                }
                if (!accept)
                    continue;
            }
            match = { pos, i, n, cur };
            return true;
        }
    }
    return false;
}

bool TCustomExtHighlighter::FindStartKey(TCodeNavigator &nav, TCodeNavigator &endNav, int baseIndex)
{
    CodeDocument *doc = nav.Memo();
    if (m_active && !m_startStop.IsEmpty() && doc) {
        TParagraph *p = nav.ParRecord();
        const qint64 parStart = nav.Position() - nav.ParOffset();
        const qint64 endOff = endNav.ParIndex() == nav.ParIndex()
            ? qMin<qint64>(endNav.ParOffset(), p->Length)
            : p->Length;
        StartMatch m;
        const bool opened = searchStart(nav, endOff, baseIndex, m);
        // Answers of OnStart are kept only from a stop search to the start search after it.
        m_decisions.clear();
        if (opened) {
            const TStartStopKey &item = m_startStop.Item(m.Item);
            TAttrRecord rec = hl::Pushed(m.Cur, qint16(quint16(m.Item + baseIndex) | hl::RangeBit),
                item.Style, item.Background, item.Foreground, item.ContextNum, item.Tag);
            hl::SetOpenLength(rec, int(m.Length));
            THighlightHost::RemoveRecords(p, m.Pos, -1, true);
            THighlightHost::InsertRecord(p, m.Pos, rec);
            doc->InvalidateNavigators(parStart + m.Pos - 1, nav.ParIndex());
            nav.SetPos(parStart + m.Pos + m.Length);
            nav.Invalidate();
            return true;
        }
    }
    if (m_sub)
        return m_sub->FindStartKey(nav, endNav, baseIndex + int(m_startStop.Count()));
    return false;
}

bool TCustomExtHighlighter::FindStopKey(TCodeNavigator &nav, TCodeNavigator &endNav, int baseIndex)
{
    CodeDocument *doc = nav.Memo();
    if (!doc)
        return false;
    TParagraph *p = nav.ParRecord();
    const qint64 length = p->Length;
    const qint64 navOff = qMin<qint64>(nav.ParOffset(), length);
    const TAttrRecord cur = *hl::AttrAt(p, navOff);
    const int level = hl::Level(cur);
    if (level < 0 || level >= hl::MaxEntries)
        return false;
    const qint16 entry = hl::Entry(cur, level);
    const int index = (quint16(entry) & 0x7FFF) - baseIndex;
    if (!(m_active && (hl::IsRangeEntry(entry) || entry == 0) && index >= 0
            && index < m_startStop.Count())) {
        if (m_sub)
            return m_sub->FindStopKey(nav, endNav, baseIndex + int(m_startStop.Count()));
        return false;
    }
    prepareSeparatorTests();
    m_decisions.clear();
    const TStartStopKey &item = m_startStop.Item(index);
    const qint64 parIndex = nav.ParIndex();
    const qint64 parStart = nav.Position() - nav.ParOffset();
    const qint64 endOff
        = endNav.ParIndex() == parIndex ? qMin<qint64>(endNav.ParOffset(), length) : length;
    const QStringView text = paragraphText(p);
    const TcmUpperCase mode = m_startStop.CaseMode();
    const qint64 n = item.PreparedStop.size();
    bool before = item.BeforeStopNeedsSep;
    bool after = item.AfterStopNeedsSep;
    qint64 ws = navOff - n - (before ? 1 : 0);
    qint64 floor = 0;
    const qint32 at = hl::FirstAttrAtOrAfter(p, navOff + 1);
    if (at > 0) {
        const TAttrRecord &open = p->Attrs[at - 1];
        if (hl::Level(open) == level)
            floor = open.Offset() + hl::OpenLength(open);
    }
    if (ws < floor) {
        ws = floor;
        before = false;
    }
    qint64 we = endOff + n + (after ? 1 : 0);
    if (we > length) {
        we = length;
        after = false;
    }
    qint64 found = -1;
    qint64 stopLength = n;
    if (item.Scope == 32767) {
        // Ends at the first separator.
        for (qint64 q = qMax(ws, navOff); q < we && found < 0; ++q)
            if (m_separators.Contains(text[q].unicode()))
                found = q;
        stopLength = 0;
    } else if (n > 0) {
        for (qint64 q = ws; q + n <= we; ++q) {
            if (!KeyAt(text, q, item.PreparedStop, item.Options & koMatchCase, mode))
                continue;
            if (before && q > 0 && !m_separators.Contains(text[q - 1].unicode()))
                continue;
            if (after && q + n < length && !m_separators.Contains(text[q + n].unicode()))
                continue;
            found = q;
            break;
        }
    }
    if (found < 0 && item.EndAtParaEnd && endOff == length) {
        found = length;
        stopLength = 0;
    }
    if (found < 0)
        return false;
    // A range that may hold ranges of its own closes only when no start key comes first.
    if (level < hl::MaxLevel) {
        bool nestable = false;
        for (qsizetype i = 0; i < m_startStop.Count() && !nestable; ++i)
            nestable = Applies(m_startStop.Item(i).Scope, m_startStop.Item(i).Priority, cur, baseIndex);
        StartMatch m;
        if (nestable && searchStart(nav, found, baseIndex, m) && m.Pos < found)
            return false;
    }
    const qint64 closeAt = found + stopLength;
    if (OnStop) {
        m_a->Assign(nav);
        m_b->Assign(nav);
        m_b->SetPos(parStart + found);
        bool accept = true;
        OnStop(this, *m_a, m_b, index, accept);
        if (!accept)
            return false;
    }
    TAttrRecord rec;
    qsizetype next = -1;
    for (qsizetype j = index + 1; j < m_startStop.Count() && next < 0; ++j) {
        const TStartStopKey &later = m_startStop.Item(j);
        if (later.SameStartIndex == index && later.Scope == item.Scope
            && later.Priority == item.Priority)
            next = j;
    }
    if (next >= 0) {
        const TStartStopKey &cont = m_startStop.Item(next);
        rec = cur;
        hl::SetEntry(rec, level, qint16(quint16(next + baseIndex) | hl::RangeBit));
        hl::SetFlags(rec, quint8(cont.Style | hl::KindBits));
        rec.Words[2] = cont.Background;
        rec.Words[3] = cont.Foreground;
        rec.Words[4] = cont.ContextNum;
        hl::SetTag(rec, cont.Tag);
    } else {
        // Back to the enclosing level: the record in force before the range's start key.
        rec = hl::RecordBefore(doc->Paragraphs(), parIndex, navOff, level);
    }
    hl::SetOpenLength(rec, 0);
    hl::SetCloseLength(rec, int(stopLength + (before ? 1 : 0)));
    THighlightHost::RemoveRecords(p, found + 1, -1, true);
    THighlightHost::InsertRecord(p, closeAt, rec);
    doc->InvalidateNavigators(parStart + found, parIndex);
    nav.SetPos(parStart + closeAt);
    nav.Invalidate();
    return true;
}

} // namespace qd
