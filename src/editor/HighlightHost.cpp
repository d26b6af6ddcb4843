#include "editor/HighlightHost.h"

#include "classlib/ListErrors.h"
#include "editor/CodeHighlighter.h"

#include <QHash>
#include <QMutex>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qd {

namespace {

QMutex &registryLock()
{
    static QMutex lock;
    return lock;
}

// Bumped (under the lock) whenever a host comes or goes, so a thread may reuse its last answer
// until then.
std::atomic<quint64> registryGeneration { 1 };

QHash<const CodeDocument *, THighlightHost *> &registry()
{
    static QHash<const CodeDocument *, THighlightHost *> hosts;
    return hosts;
}

const QString DefaultSeparators = QStringLiteral("\t $%&,./:;<=>");

} // namespace

// --- laying attributes over text

void THighlightHost::RemoveRecords(TParagraph *p, qint64 from, qint64 to, bool keepKept)
{
    qint32 keep = 0;
    for (qint32 i = 0; i < p->AttrCount; ++i) {
        const TAttrRecord &r = p->Attrs[i];
        const bool inside = r.Offset() >= from && (to < 0 || r.Offset() < to);
        if (inside && !(keepKept && hl::IsKept(r)))
            continue;
        if (keep != i)
            p->Attrs[keep] = r;
        ++keep;
    }
    p->AttrCount = keep;
}

void THighlightHost::InsertRecord(TParagraph *p, qint64 offset, const TAttrRecord &record)
{
    offset = qBound<qint64>(0, offset, qint64(p->Length));
    qint32 index = p->AttrCount;
    while (index > 0 && p->Attrs[index - 1].Offset() > offset)
        --index;
    if (p->AttrCount >= p->AttrCapacity) {
        // A pass inserts a paragraph's records one by one: grow by doubling, not by one record.
        const qint64 capacity = qMax<qint64>(8, qint64(p->AttrCapacity) * 2);
        if (capacity > std::numeric_limits<qint32>::max())
            throw EOutOfMemory();
        void *grown = std::realloc(p->Attrs, size_t(capacity) * sizeof(TAttrRecord));
        if (!grown)
            throw EOutOfMemory();
        p->Attrs = static_cast<TAttrRecord *>(grown);
        p->AttrCapacity = qint32(capacity);
    }
    std::memmove(static_cast<void *>(p->Attrs + index + 1), p->Attrs + index,
        size_t(p->AttrCount - index) * sizeof(TAttrRecord));
    p->Attrs[index] = record;
    p->Attrs[index].SetOffset(qint32(offset));
    ++p->AttrCount;
}

void SetAttributeRange(CodeDocument &doc, TCodeNavigator &startNav, TCodeNavigator &endNav,
    bool markForFormat, bool styleOn, const TAttrRecord &attribute)
{
    TCodeNavigator *a = &startNav;
    TCodeNavigator *b = &endNav;
    if (b->Position() < a->Position())
        std::swap(a, b);
    TParagraphsList &pars = doc.Paragraphs();
    const qint64 fp = a->ParIndex();
    const qint64 so = qMin<qint64>(a->ParOffset(), a->ParRecord()->Length);
    const qint64 lp = b->ParIndex();
    const qint64 eo = qMin<qint64>(b->ParOffset(), b->ParRecord()->Length);
    if (markForFormat)
        doc.MarkDirty(fp, lp);
    TParagraph *last = pars.At(lp);
    const TAttrRecord endAttr = *hl::AttrAt(last, eo);
    const bool endStyled = hl::Flags(endAttr) & hl::SetsStyle;

    TAttrRecord record = attribute;
    if (styleOn)
        hl::SetFlags(record, hl::Flags(record) | hl::SetsStyle);
    else
        hl::SetFlags(record, 0);
    const bool insertStart = styleOn || endStyled;

    TAttrRecord *shared = nullptr;
    for (qint64 k = fp; k <= lp; ++k) {
        TParagraph *p = pars.At(k);
        p->Formatted = false;
        THighlightHost::RemoveRecords(p, k == fp ? so : 0, k == lp ? eo : -1);
        if (k > fp) {
            if (!shared) {
                shared = TParagraphsList::NewStartAttr(&record);
                shared->Words[0] = 0;
            }
            pars.SetStartAttr(k, shared);
        }
    }
    if (insertStart)
        THighlightHost::InsertRecord(pars.At(fp), so, record);
    const qint64 endPos = pars.StartPos(lp) + eo;
    if (endPos < doc.TextLength() && (styleOn || endStyled)) {
        const qint32 at = hl::FirstAttrAtOrAfter(last, eo);
        if (at >= last->AttrCount || last->Attrs[at].Offset() != eo)
            THighlightHost::InsertRecord(last, eo, endAttr);
    }
    doc.InvalidateNavigators(pars.StartPos(fp) - 1, lp);
}

// --- the host

THighlightHost::THighlightHost(CodeDocument &document)
    : m_doc(document)
    , m_separators(DefaultSeparators)
{
    m_nav = new TCodeNavigator(&m_doc);
    m_endNav = new TCodeNavigator(&m_doc);
    m_nav->OnFree = [this](TCodeNavigator *) { m_nav = nullptr; };
    m_endNav->OnFree = [this](TCodeNavigator *) { m_endNav = nullptr; };
    QMutexLocker lock(&registryLock());
    registry().insert(&m_doc, this);
    ++registryGeneration;
}

THighlightHost::~THighlightHost()
{
    SetHighlighter(nullptr);
    {
        QMutexLocker lock(&registryLock());
        if (registry().value(&m_doc) == this)
            registry().remove(&m_doc);
        ++registryGeneration;
    }
    for (TCodeNavigator *nav : { m_nav, m_endNav }) {
        if (nav) {
            nav->OnFree = nullptr;
            delete nav;
        }
    }
}

THighlightHost *THighlightHost::Of(const CodeDocument *document)
{
    thread_local const CodeDocument *lastDocument = nullptr;
    thread_local THighlightHost *lastHost = nullptr;
    thread_local quint64 lastGeneration = 0;
    const quint64 generation = registryGeneration.load(std::memory_order_acquire);
    if (document == lastDocument && generation == lastGeneration)
        return lastHost;
    QMutexLocker lock(&registryLock());
    lastDocument = document;
    lastHost = registry().value(document, nullptr);
    lastGeneration = registryGeneration.load(std::memory_order_acquire);
    return lastHost;
}

void THighlightHost::SetSeparators(const QString &chars)
{
    m_separators.Assign(chars);
    m_startStop.SetSeparatorsPrepared(false);
}

void THighlightHost::SetHighlighter(TCodeHighlighter *highlighter)
{
    if (highlighter == m_highlighter)
        return;
    if (m_highlighter) {
        auto &editors = m_highlighter->m_editors;
        editors.erase(std::remove(editors.begin(), editors.end(), this), editors.end());
    }
    m_highlighter = highlighter;
    if (m_highlighter)
        m_highlighter->m_editors.push_back(this);
}

void THighlightHost::SetAttribute(TCodeNavigator &startNav, TCodeNavigator &endNav,
    bool markForFormat, bool styleOn, const TAttrRecord &attribute)
{
    SetAttributeRange(m_doc, startNav, endNav, markForFormat, styleOn, attribute);
}

TAttrRecord THighlightHost::PlainRecord() const
{
    return hl::PlainRecord(m_doc.Paragraphs());
}

TAttrRecord THighlightHost::OuterRecord(qint64 parIndex, qint64 offset, int level) const
{
    return hl::RecordBefore(m_doc.Paragraphs(), parIndex, offset, level);
}

// --- passes

void THighlightHost::ApplyStartStopPass(TCodeNavigator &from, TCodeNavigator &to)
{
    HighlightParagraphs(from.ParIndex(), to.ParIndex());
    m_justFirst = from.ParIndex();
    m_justLast = m_lastParagraph;
}

void THighlightHost::ApplyKeywordPass(TCodeNavigator &from, qint64 to)
{
    const qint64 first = from.ParIndex();
    const qint64 last = m_doc.Paragraphs().ParagraphOfPos(to);
    // The start/stop pass that an edit runs first has highlighted these paragraphs whole,
    // keywords included; only a paragraph whose flags were cleared since needs it again.
    bool done = first >= m_justFirst && last <= m_justLast;
    for (qint64 k = first; done && k <= last; ++k) {
        const TParagraph *p = m_doc.Paragraphs().At(k);
        done = p->StartStopApplied && p->KeywordsApplied;
    }
    m_justFirst = 0;
    m_justLast = -1;
    if (!done)
        HighlightParagraphs(first, last);
}

void THighlightHost::carryState(qint64 index)
{
    TParagraphsList &pars = m_doc.Paragraphs();
    TParagraph *p = pars.At(index);
    TParagraph *next = pars.At(index + 1);
    if (p->AttrCount == 0) {
        pars.SetStartAttr(index + 1, p->StartAttr);
        return;
    }
    const TAttrRecord &end = p->Attrs[p->AttrCount - 1];
    if (next->StartAttr->SameContents(end))
        return;
    TAttrRecord *fresh = TParagraphsList::NewStartAttr(&end);
    fresh->Words[0] = 0;
    pars.SetStartAttr(index + 1, fresh);
}

void THighlightHost::HighlightParagraphs(qint64 first, qint64 last)
{
    TParagraphsList &pars = m_doc.Paragraphs();
    const qint64 count = pars.Count();
    first = qBound<qint64>(0, first, count - 1);
    last = qBound<qint64>(first, last, count - 1);
    qint64 k = first;
    for (;;) {
        TAttrRecord oldNext;
        if (k + 1 < count)
            oldNext = *pars.At(k + 1)->StartAttr;
        highlightParagraph(k);
        TParagraph *p = pars.At(k);
        m_lastAttr = p->AttrCount > 0 ? p->Attrs[p->AttrCount - 1] : *p->StartAttr;
        m_lastParagraph = k;
        if (k + 1 >= count)
            break;
        if (k < last) {
            carryState(k);
            ++k;
            continue;
        }
        if (hl::SameState(m_lastAttr, oldNext))
            break;
        // The changed state flows into the next paragraph.
        carryState(k);
        TParagraph *next = pars.At(k + 1);
        next->StartStopApplied = next->KeywordsApplied = next->Formatted = false;
        if (m_flowLimit > 0 && k + 1 - last > m_flowLimit) {
            m_pendingHint = qMin(m_pendingHint, k + 1);
            if (OnPending)
                OnPending(this, k + 1);
            else
                m_doc.MarkDirty(k + 1, k + 1);
            break;
        }
        m_doc.MarkDirty(k + 1, k + 1);
        ++k;
    }
    if (OnInvalidate)
        OnInvalidate(this, first, k);
}

bool THighlightHost::HighlightSlice(qint64 maxParagraphs)
{
    TParagraphsList &pars = m_doc.Paragraphs();
    const qint64 count = pars.Count();
    qint64 done = 0;
    qint64 k = qBound<qint64>(0, m_pendingHint, count);
    qint64 scanned = 0;
    while (scanned < count) {
        if (k >= count)
            k = 0;
        TParagraph *p = pars.At(k);
        if (!p->StartStopApplied || !p->KeywordsApplied) {
            if (done >= maxParagraphs) {
                m_pendingHint = k;
                return true;
            }
            HighlightParagraphs(k, k);
            done += m_lastParagraph - k + 1;
            scanned += m_lastParagraph - k + 1;
            k = m_lastParagraph + 1;
            continue;
        }
        ++k;
        ++scanned;
    }
    m_pendingHint = count;
    return false;
}

void THighlightHost::HighlightAll()
{
    while (HighlightSlice(std::numeric_limits<qint64>::max() / 2)) {
    }
}

void THighlightHost::Rehighlight()
{
    m_pendingHint = 0;
    if (!OnPending) {
        m_doc.ClearAttributes();
        return;
    }
    m_doc.Paragraphs().ClearAttributes();
    m_doc.InvalidateNavigators(0, m_doc.ParagraphCount() - 1);
    OnPending(this, 0);
}

void THighlightHost::highlightParagraph(qint64 index)
{
    TParagraphsList &pars = m_doc.Paragraphs();
    TParagraph *p = pars.At(index);
    RemoveRecords(p, 0, -1, true);
    m_doc.InvalidateNavigators(pars.StartPos(index) - 1, index);
    startStopScan(index);
    p->StartStopApplied = true;
    if (!m_nav || !m_endNav)
        return;
    m_nav->SetParagraph(index);
    m_endNav->SetPos(pars.StartPos(index) + p->Length);
    if (m_highlighter)
        m_highlighter->ApplyKeywords(*m_nav, *m_endNav, int(m_keywords.Count()));
    if (m_applyKeywords && !m_keywords.IsEmpty())
        ownKeywordPass(index, 0, p->Length);
    p->KeywordsApplied = true;
    p->Formatted = false;
}

// --- start/stop pass

void THighlightHost::startStopScan(qint64 index)
{
    const bool own = m_applyStartStop && !m_startStop.IsEmpty();
    if ((!own && !m_highlighter) || !m_nav || !m_endNav)
        return;
    TParagraphsList &pars = m_doc.Paragraphs();
    TParagraph *p = pars.At(index);
    const qint64 start = pars.StartPos(index);
    m_nav->SetParagraph(index);
    m_endNav->SetPos(start + p->Length);
    // Every step opens or closes a range and moves on; the bound only guards against a hook
    // that reports success without moving.
    qint64 steps = 4 * (qint64(p->Length) + 8);
    while (steps-- > 0) {
        const qint64 before = m_nav->Position();
        const TAttrRecord cur = *hl::AttrAt(p, before - start);
        bool found = false;
        if (hl::InRange(cur))
            found = stopStep(*m_nav, *m_endNav);
        if (!found)
            found = startStep(*m_nav, *m_endNav);
        if (!found)
            break;
        m_endNav->SetPos(start + p->Length);
    }
}

bool THighlightHost::startStep(TCodeNavigator &nav, TCodeNavigator &endNav)
{
    qsizetype item = -1;
    const qint64 own
        = m_applyStartStop && !m_startStop.IsEmpty() ? ownStartFind(nav, item) : qint64(-1);
    if (m_highlighter) {
        // The first start key of the text opens, the editor's own or the highlighter's: the
        // highlighter looks only before the editor's own key.
        const int base = int(m_startStop.Count());
        if (own < 0)
            return m_highlighter->FindStartKey(nav, endNav, base);
        if (own > 0) {
            endNav.SetPos(nav.Position() - nav.ParOffset() + own - 1);
            if (m_highlighter->FindStartKey(nav, endNav, base))
                return true;
        }
    }
    if (own < 0)
        return false;
    ownStartOpen(nav, own, item);
    return true;
}

bool THighlightHost::stopStep(TCodeNavigator &nav, TCodeNavigator &endNav)
{
    const TAttrRecord cur = *hl::AttrAt(nav.ParRecord(), nav.ParOffset());
    const int level = hl::Level(cur);
    const int pair = quint16(hl::Entry(cur, level)) & 0x7FFF;
    if (m_applyStartStop && pair < m_startStop.Count())
        return ownStopSearch(nav, pair);
    return m_highlighter && m_highlighter->FindStopKey(nav, endNav, int(m_startStop.Count()));
}

void THighlightHost::prepareOwnPairs()
{
    const TSeparatorSet &seps = WordSeparators();
    if (m_startStop.SeparatorsPrepared() && seps == m_pairTestsSeps
        && qsizetype(m_pairTests.size()) == m_startStop.Count())
        return;
    m_pairTests.clear();
    const auto word = [&](QChar c) { return !seps.Contains(c.unicode()); };
    for (qsizetype i = 0; i < m_startStop.Count(); ++i) {
        const TStartStopKey &item = m_startStop.Item(i);
        const QString &a = item.PreparedStart;
        const QString &b = item.PreparedStop;
        m_pairTests.push_back({ !a.isEmpty() && word(a.front()), !a.isEmpty() && word(a.back()),
            !b.isEmpty() && word(b.front()), !b.isEmpty() && word(b.back()) });
    }
    m_pairTestsSeps = seps;
    m_startStop.SetSeparatorsPrepared(true);
}

qint64 THighlightHost::ownStartFind(TCodeNavigator &nav, qsizetype &found)
{
    prepareOwnPairs();
    TParagraph *p = nav.ParRecord();
    const qint64 navOff = qMin<qint64>(nav.ParOffset(), p->Length);
    const QStringView text(reinterpret_cast<const QChar *>(p->Text), p->Length);
    const TSeparatorSet &seps = WordSeparators();
    const qint64 end = p->Length;
    const qint64 ws = qMax<qint64>(0, navOff - (m_startStop.LongestStart() + 1));
    qint32 ai = hl::FirstAttrAtOrAfter(p, ws);
    for (qint64 pos = ws; pos < end; ++pos) {
        while (ai < p->AttrCount && p->Attrs[ai].Offset() <= pos)
            ++ai;
        const TAttrRecord &cur = ai > 0 ? p->Attrs[ai - 1] : *p->StartAttr;
        // Start/stop ranges do not nest, and a full stack takes nothing more.
        if (hl::InRange(cur) || hl::Level(cur) >= hl::MaxLevel)
            continue;
        for (qsizetype i = 0; i < m_startStop.Count(); ++i) {
            const TStartStopKey &item = m_startStop.Item(i);
            const qint64 n = item.PreparedStart.size();
            if (n == 0 || pos + n > end || pos + n <= navOff)
                continue;
            if (!KeyAt(text, pos, item.PreparedStart, item.Options & koMatchCase,
                    m_startStop.CaseMode()))
                continue;
            const PairTests &t = m_pairTests[size_t(i)];
            if (t.StartBeginsWord && pos > 0 && !seps.Contains(text[pos - 1].unicode()))
                continue;
            if (t.StartEndsWord && pos + n < end && !seps.Contains(text[pos + n].unicode()))
                continue;
            found = i;
            return pos;
        }
    }
    return -1;
}

void THighlightHost::ownStartOpen(TCodeNavigator &nav, qint64 pos, qsizetype index)
{
    TParagraph *p = nav.ParRecord();
    const qint64 parStart = nav.Position() - nav.ParOffset();
    const TStartStopKey &item = m_startStop.Item(index);
    const qint64 n = item.PreparedStart.size();
    const TAttrRecord cur = *hl::AttrAt(p, pos);
    TAttrRecord rec = hl::Pushed(cur, qint16(quint16(index) | hl::RangeBit), item.Style,
        item.Background, item.Foreground, item.ContextNum, item.Tag);
    hl::SetOpenLength(rec, int(n));
    RemoveRecords(p, pos, -1, true);
    InsertRecord(p, pos, rec);
    nav.SetPos(parStart + pos + n);
    nav.Invalidate();
}

bool THighlightHost::ownStopSearch(TCodeNavigator &nav, int pair)
{
    prepareOwnPairs();
    const qint64 parIndex = nav.ParIndex();
    TParagraph *p = nav.ParRecord();
    const qint64 parStart = nav.Position() - nav.ParOffset();
    const qint64 navOff = qMin<qint64>(nav.ParOffset(), p->Length);
    const QStringView text(reinterpret_cast<const QChar *>(p->Text), p->Length);
    const TSeparatorSet &seps = WordSeparators();
    const TStartStopKey &item = m_startStop.Item(pair);
    const PairTests &t = m_pairTests[size_t(pair)];
    const qint64 n = item.PreparedStop.size();
    const qint64 end = p->Length;
    // Not inside the start key of a range opened in this paragraph.
    qint64 ws = qMax<qint64>(0, navOff - n - (t.StopBeginsWord ? 1 : 0));
    const qint32 at = hl::FirstAttrAtOrAfter(p, navOff + 1);
    if (at > 0) {
        const TAttrRecord &open = p->Attrs[at - 1];
        ws = qMax<qint64>(ws, open.Offset() + hl::OpenLength(open));
    }
    qint64 found = -1;
    qint64 length = n;
    for (qint64 q = ws; n > 0 && q + n <= end; ++q) {
        if (!KeyAt(text, q, item.PreparedStop, item.Options & koMatchCase, m_startStop.CaseMode()))
            continue;
        if (t.StopBeginsWord && q > 0 && !seps.Contains(text[q - 1].unicode()))
            continue;
        if (t.StopEndsWord && q + n < end && !seps.Contains(text[q + n].unicode()))
            continue;
        found = q;
        break;
    }
    if (found < 0 && item.EndAtParaEnd) {
        found = end;
        length = 0;
    }
    if (found < 0)
        return false;
    const qint64 closeAt = found + length;
    const TAttrRecord cur = *hl::AttrAt(p, navOff);
    const int level = hl::Level(cur);
    TAttrRecord rec;
    qsizetype next = -1;
    for (qsizetype j = pair + 1; j < m_startStop.Count() && next < 0; ++j)
        if (m_startStop.Item(j).SameStartIndex == pair)
            next = j;
    if (next >= 0) {
        const TStartStopKey &cont = m_startStop.Item(next);
        rec = cur;
        hl::SetEntry(rec, level, qint16(quint16(next) | hl::RangeBit));
        hl::SetFlags(rec, quint8(cont.Style | hl::KindBits));
        rec.Words[2] = cont.Background;
        rec.Words[3] = cont.Foreground;
        rec.Words[4] = cont.ContextNum;
        hl::SetTag(rec, cont.Tag);
        hl::SetOpenLength(rec, 0);
    } else {
        rec = OuterRecord(parIndex, navOff, level);
        hl::SetOpenLength(rec, 0);
    }
    hl::SetCloseLength(rec, int(length));
    RemoveRecords(p, found + 1, -1, true);
    InsertRecord(p, closeAt, rec);
    nav.SetPos(parStart + closeAt);
    nav.Invalidate();
    return true;
}

// --- keyword pass

void THighlightHost::ownKeywordPass(qint64 index, qint64 from, qint64 to)
{
    TParagraphsList &pars = m_doc.Paragraphs();
    TParagraph *p = pars.At(index);
    const qint64 longest = m_keywords.Longest();
    const qint64 ws = qMax<qint64>(0, from - longest - 1);
    const qint64 we = qMin<qint64>(p->Length, to + longest);
    if (we <= ws)
        return;
    QString window(reinterpret_cast<const QChar *>(p->Text + ws), we - ws);
    // Comments and strings take no keywords.
    qint32 ai = hl::FirstAttrAtOrAfter(p, ws);
    QChar *w = window.data();
    for (qint64 i = ws; i < we; ++i) {
        while (ai < p->AttrCount && p->Attrs[ai].Offset() <= i)
            ++ai;
        if (hl::InRange(ai > 0 ? p->Attrs[ai - 1] : *p->StartAttr))
            w[i - ws] = QChar(char16_t(5));
    }
    QString upper = m_keywords.HasNoCaseKeys() ? UpperCaseText(window, m_keywords.CaseMode())
                                               : window;
    upper.detach();
    m_matcher.Update(m_keywords, WordSeparators());
    std::vector<TKeywordHit> hits;
    m_matcher.CollectClaiming(window, upper, hits);
    if (hits.empty() || !m_nav || !m_endNav)
        return;
    const qint64 parStart = pars.StartPos(index);
    for (const TKeywordHit &hit : hits) {
        const TAttrRecord at = *hl::AttrAt(p, ws + hit.Offset);
        if (hl::Level(at) >= hl::MaxLevel)
            continue;
        const TKeywordInfo &info = m_keywords.Info(hit.Keyword);
        TAttrRecord rec = hl::Pushed(at, qint16(hit.Keyword), info.Style, info.Background,
            info.Foreground, info.ContextNum, info.Tag);
        hl::SetOpenLength(rec, hit.Length);
        m_nav->SetPos(parStart + ws + hit.Offset);
        m_endNav->SetPos(parStart + ws + hit.Offset + hit.Length);
        SetAttribute(*m_nav, *m_endNav, false, true, rec);
    }
}

} // namespace qd
