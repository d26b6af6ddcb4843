#include "editor/CodeDocument.h"

#include "classlib/ListErrors.h"
#include "editor/StyleCodes.h"

#include <algorithm>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qd {

namespace {

const TextMeasurer &defaultMeasurer()
{
    static const FixedWidthMeasurer measurer;
    return measurer;
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// A piece of the new text between two line breaks.
struct Piece {
    qint64 from;
    qint64 length;
};

// The attribute record in force at offset of p: the last record not after it, else the start
// record.
const TAttrRecord *attrAt(const TParagraph *p, qint64 offset)
{
    for (qint32 i = p->AttrCount; i > 0; --i)
        if (p->Attrs[i - 1].Offset() <= offset)
            return &p->Attrs[i - 1];
    return p->StartAttr;
}

void appendAttr(TParagraph *p, const TAttrRecord &record, qint64 offset)
{
    TParagraphsList::ReserveAttr(p);
    p->Attrs[p->AttrCount] = record;
    p->Attrs[p->AttrCount].SetOffset(qint32(offset));
    ++p->AttrCount;
}

// Columns of a paragraph when every character has one width: full counts every column, tabs to
// their stops, ink only up to the last character that is neither blank nor tab. Style codes take
// no column when codes is set. Runs of plain characters (above the blank) are counted eight at a
// time, so typing into a long line stays cheap.
void countColumns(const char16_t *t, qint64 length, qint64 tabStops, bool codes, qint64 &full,
    qint64 &ink)
{
    full = 0;
    ink = 0;
    qint64 i = 0;
    while (i < length) {
#if defined(__SSE2__)
        const __m128i blank = _mm_set1_epi16(0x20);
        const __m128i zero = _mm_setzero_si128();
        while (i + 8 <= length) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i));
            // Lanes at or below the blank are left 0 by the unsigned saturating subtraction.
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(v, blank), zero)) != 0)
                break;
            i += 8;
            full += 8;
            ink = full;
        }
        if (i >= length)
            break;
#endif
        const char16_t c = t[i++];
        if (c > u' ') {
            ink = ++full;
        } else if (c == u' ') {
            ++full;
        } else if (c == scTab) {
            full = (full / tabStops + 1) * tabStops;
        } else if (!(codes && IsStyleCode(c))) {
            ink = ++full;
        }
    }
}

} // namespace

CodeDocument::CodeDocument(const TTextLimits &limits)
    : m_pars(limits)
    , m_measurer(&defaultMeasurer())
{
    m_pars.Insert(0, 1);
    TParagraph *first = m_pars.At(0);
    first->StartStopApplied = first->KeywordsApplied = true;
    m_selStart = new TCodeNavigator(this);
    m_selEnd = new TCodeNavigator(this);
    m_caret = m_selStart;
    m_dirtyFirst = 1;
}

CodeDocument::~CodeDocument()
{
    // Every navigator still registered goes with the text it walks, whoever made it; holders
    // learn of it through OnFree.
    while (!m_navigators.empty()) {
        TCodeNavigator *nav = m_navigators.back();
        m_navigators.pop_back();
        nav->detach();
        delete nav;
    }
}

void CodeDocument::unregisterNavigator(TCodeNavigator *nav)
{
    auto it = std::find(m_navigators.rbegin(), m_navigators.rend(), nav);
    if (it != m_navigators.rend())
        m_navigators.erase(std::next(it).base());
}

void CodeDocument::SetMeasurer(const TextMeasurer *measurer)
{
    m_measurer = measurer ? measurer : &defaultMeasurer();
    MarkDirty(0, ParagraphCount() - 1);
}

// --- text

qint64 CodeDocument::ParagraphStart(qint64 index) const
{
    m_pars.Record(index);
    return m_pars.StartPos(index);
}

QString CodeDocument::GetTextRange(qint64 from, qint64 to) const
{
    from = qMax<qint64>(0, from);
    to = qMin(to, TextLength());
    QString out;
    if (from >= to)
        return out;
    out.reserve(to - from);
    qint64 par = m_pars.ParagraphOfPos(from);
    qint64 offset = from - m_pars.StartPos(par);
    qint64 remaining = to - from;
    while (remaining > 0) {
        const TParagraph *p = m_pars.At(par);
        if (offset < p->Length) {
            const qint64 n = qMin<qint64>(p->Length - offset, remaining);
            out.append(reinterpret_cast<const QChar *>(p->Text + offset), n);
            offset += n;
            remaining -= n;
        } else if (offset == p->Length) {
            out += QChar(u'\r');
            ++offset;
            --remaining;
        } else {
            out += QChar(u'\n');
            ++par;
            offset = 0;
            --remaining;
        }
    }
    return out;
}

char16_t CodeDocument::CharAt(qint64 position) const
{
    const qint64 par = m_pars.ParagraphOfPos(position);
    const TParagraph *p = m_pars.At(par);
    const qint64 offset = position - m_pars.StartPos(par);
    if (offset >= 0 && offset < p->Length)
        return p->Text[offset];
    return offset <= p->Length ? u'\r' : u'\n';
}

// --- selection

void CodeDocument::setSelectionRaw(qint64 lower, qint64 upper, bool caretAtUpper)
{
    const qint64 length = TextLength();
    lower = qBound<qint64>(0, lower, length);
    upper = qBound<qint64>(lower, upper, length);
    m_selStart->SetPos(lower);
    m_selEnd->SetPos(upper);
    m_caret = caretAtUpper ? m_selEnd : m_selStart;
    m_selLength = caretAtUpper ? lower - upper : upper - lower;
}

void CodeDocument::SetSelStart(qint64 position)
{
    const qint64 oldLower = m_selStart->Position();
    const qint64 oldUpper = m_selEnd->Position();
    setSelectionRaw(position, position, false);
    m_columnSelection = false;
    m_virtualColumn = 0;
    m_breakMerge = true;
    SelectionChanged(oldLower, oldUpper);
}

void CodeDocument::SetSelLength(qint64 n)
{
    m_columnSelection = false;
    if (n == m_selLength)
        return;
    const qint64 oldLower = m_selStart->Position();
    const qint64 oldUpper = m_selEnd->Position();
    const qint64 caret = m_caret->Position();
    n = qBound(-caret, n, TextLength() - caret);
    if (n < 1)
        setSelectionRaw(caret + n, caret, true);
    else
        setSelectionRaw(caret, caret + n, false);
    m_breakMerge = true;
    SelectionChanged(oldLower, oldUpper);
}

void CodeDocument::SelectAll()
{
    SetSelStart(TextLength());
    SetSelLength(-TextLength());
}

QString CodeDocument::GetSelText() const
{
    if (m_selLength == 0)
        return QString();
    return GetTextRange(m_selStart->Position(), m_selEnd->Position());
}

void CodeDocument::SetSelText(const QString &text)
{
    if ((m_options & cmoPutExtraSpaces) && m_virtualColumn > 0
        && !(m_columnSelection && m_selLength != 0))
        ReplaceSel(QString(m_virtualColumn, QChar(u' ')) + text);
    else
        ReplaceSel(text);
}

void CodeDocument::SetColumnBlock(bool on, qint64 column1, qint64 column2)
{
    m_columnSelection = on;
    m_blockColumn1 = column1;
    m_blockColumn2 = column2;
}

// --- replacement

void CodeDocument::ReplaceSel(const QString &textIn, int flags)
{
    QString text = textIn;
    if (OnBeforeChange)
        OnBeforeChange(this, text);
    if (m_selLength == 0 && text.isEmpty())
        return;
    ++m_updateCount;
    if (!m_replaying)
        m_recordsInCall = 0;
    try {
        bool insert = true;
        if (m_columnSelection) {
            cutColumnBlock();
            insert = !text.isEmpty();
        }
        if (insert)
            replaceRange(m_selStart->Position(), m_selEnd->Position(), text, flags);
    } catch (...) {
        --m_updateCount;
        throw;
    }
    EndUpdate();
}

void CodeDocument::cutColumnBlock()
{
    m_columnSelection = false;
    const qint64 first = m_selStart->ParIndex();
    const qint64 last = m_selEnd->ParIndex();
    const qint64 left = qMin(m_blockColumn1, m_blockColumn2);
    const qint64 right = qMax(m_blockColumn1, m_blockColumn2);
    for (qint64 par = first; par <= last; ++par) {
        const QStringView text = m_pars.Text(par);
        const qint64 from = CharIndexOfColumn(text, left, m_tabStops, m_staticFormat);
        const qint64 to = CharIndexOfColumn(text, right, m_tabStops, m_staticFormat);
        const qint64 start = m_pars.StartPos(par);
        setSelectionRaw(start + from, start + to, false);
        if (to > from)
            replaceRange(start + from, start + to, QString(), 0);
    }
}

void CodeDocument::replaceRange(qint64 a, qint64 b, QString text, int flags)
{
    const bool replaying = m_replaying;
    const bool restyle = m_staticFormat && !replaying && !m_cleaning;

    // Both ends as paragraph and offset; a position inside a line break stands for the end of
    // its paragraph, and a range ending inside one takes the whole break.
    qint64 fp = m_pars.ParagraphOfPos(a);
    qint64 fo = qMin<qint64>(qMax<qint64>(0, a - m_pars.StartPos(fp)), m_pars.At(fp)->Length);
    qint64 lp = fp;
    qint64 lo = fo;
    if (b > a) {
        lp = m_pars.ParagraphOfPos(b);
        lo = b - m_pars.StartPos(lp);
        if (lo > m_pars.At(lp)->Length) {
            if (lp == fp && fo == m_pars.At(lp)->Length) {
                lo = fo;
            } else if (lp + 1 < m_pars.Count()) {
                ++lp;
                lo = 0;
            } else {
                lo = m_pars.At(lp)->Length;
            }
        }
    }

    // The new text's paragraphs: split at CR (an LF right after it belongs to the break); a lone
    // LF stays a character.
    std::vector<Piece> pieces;
    {
        qint64 from = 0;
        const qint64 size = text.size();
        const QChar *t = text.constData();
        for (qint64 i = 0; i < size; ++i) {
            if (t[i] == u'\r') {
                pieces.push_back({ from, i - from });
                if (i + 1 < size && t[i + 1] == u'\n')
                    ++i;
                from = i + 1;
            }
        }
        pieces.push_back({ from, size - from });
    }
    const qint64 m = qint64(pieces.size());
    const qint64 lpLength = m_pars.At(lp)->Length;

    // Trailing blanks become a virtual column instead of text (never while replaying undo).
    if ((m_options & cmoDiscardTrailingSpaces) && !replaying) {
        if (m > 1 || lo == lpLength) {
            bool blank = true;
            for (qint64 i = 0; i < pieces[0].length && blank; ++i)
                blank = isBlank(text[pieces[0].from + i].unicode());
            if (blank) {
                const char16_t *t = m_pars.At(fp)->Text;
                while (fo > 0 && isBlank(t[fo - 1]))
                    --fo;
            }
        }
        for (qint64 k = 0; k < m; ++k) {
            if (k == m - 1 && lo < lpLength)
                continue;
            Piece &piece = pieces[size_t(k)];
            while (piece.length > 0 && isBlank(text[piece.from + piece.length - 1].unicode()))
                --piece.length;
        }
    }
    a = m_pars.StartPos(fp) + fo;
    b = m_pars.StartPos(lp) + lo;

    const QString removed = GetTextRange(a, b);
    // Codes that toggle back what the new text and the removed text changed, so that the text
    // after the edit keeps its style.
    QString codes;
    if (restyle && !(flags & rfNoStyleRestore))
        codes = StyleCodesFor(StyleToggles(text) ^ StyleToggles(removed));

    qint64 n = codes.size() + 2 * (m - 1);
    for (const Piece &piece : pieces)
        n += piece.length;
    if (n == 0 && a == b)
        return;

    // Refuse an over-long paragraph before anything changes (the undo list included).
    const qint64 tail = lpLength - lo;
    const qint64 limit = m_pars.Limits().MaxParagraphLength;
    const auto tooLong = [&](qint64 length) {
        if (length > limit)
            throw Exception(QStringLiteral("Text too long"));
    };
    if (m == 1) {
        tooLong(fo + pieces[0].length + codes.size() + tail);
    } else {
        tooLong(fo + pieces[0].length);
        for (qint64 k = 1; k < m - 1; ++k)
            tooLong(pieces[size_t(k)].length);
        tooLong(pieces[size_t(m - 1)].length + codes.size() + tail);
    }

    m_virtualColumn = 0;
    MarkDirty(fp, lp);
    m_modified = true;

    // Undo: typing at the caret extends the previous record; anything else writes a new one.
    m_recordWritten = false;
    if (!replaying)
        m_undo.DeleteRedo();
    bool fresh = b != a || m_undo.Index() == 0 || replaying || m_breakMerge;
    if (!fresh) {
        TUndoRecord &previous = m_undo.Record(m_undo.Index() - 1);
        if (previous.End == a && previous.Start != a)
            previous.End = a + n;
        else
            fresh = true;
    }
    m_breakMerge = false;
    if (fresh) {
        if (removed.size() + 13 > m_pars.Limits().MaxUndoRecordSize) {
            // A record could not hold the removed text: undo past this point is impossible.
            m_undo.Clear();
        } else {
            TUndoRecord record;
            record.Start = a;
            record.End = a + n;
            record.Grouped
                = !replaying && (m_recordsInCall > 0 || m_cleaning || (flags & rfGroupUndo));
            record.Text = removed;
            m_undo.Write(std::move(record), replaying);
            ++m_recordsInCall;
            m_recordWritten = true;
            m_undo.TrimToSpace();
        }
    }

    // The new paragraphs.
    TParagraph *first = m_pars.At(fp);
    const qint64 parsAdded = (m - 1) - (lp - fp);
    qint64 junction; // where the text after the range starts in the last new paragraph
    if (m == 1 && fp == lp) {
        QString insert = text.mid(pieces[0].from, pieces[0].length);
        insert += codes;
        // Attribute records inside the range go; those after it move with the text.
        const qint64 delta = insert.size() - (lo - fo);
        qint32 keep = 0;
        const TAttrRecord *lastDropped = nullptr;
        TAttrRecord dropped;
        bool carriedAtEnd = false;
        for (qint32 i = 0; i < first->AttrCount; ++i) {
            TAttrRecord &r = first->Attrs[i];
            if (r.Offset() >= fo && r.Offset() < lo) {
                dropped = r;
                lastDropped = &dropped;
                continue;
            }
            if (r.Offset() >= lo) {
                carriedAtEnd = carriedAtEnd || r.Offset() == lo;
                r.SetOffset(qint32(r.Offset() + delta));
            }
            first->Attrs[keep++] = r;
        }
        first->AttrCount = keep;
        m_pars.ReplaceText(fp, fo, lo - fo, insert);
        junction = fo + insert.size();
        if (lastDropped && !carriedAtEnd && tail > 0) {
            TCodeNavigator at(this);
            at.SetPos(m_pars.StartPos(fp) + junction);
            at.InsertAttr(dropped);
        }
    } else {
        const TParagraph *lastOld = m_pars.At(lp);
        const QString tailText = QString(reinterpret_cast<const QChar *>(lastOld->Text + lo), tail);
        const TAttrRecord endAttr = *attrAt(lastOld, lo);
        std::vector<TAttrRecord> tailAttrs;
        for (qint32 i = 0; i < lastOld->AttrCount; ++i)
            if (lastOld->Attrs[i].Offset() >= lo)
                tailAttrs.push_back(lastOld->Attrs[i]);
        for (TAttrRecord &r : tailAttrs)
            r.SetOffset(qint32(r.Offset() - lo));

        // The first paragraph keeps its records before the range start.
        qint32 keep = 0;
        while (keep < first->AttrCount && first->Attrs[keep].Offset() < fo)
            ++keep;
        first->AttrCount = keep;
        m_pars.Remove(fp + 1, lp - fp);
        QString head = text.mid(pieces[0].from, pieces[0].length);
        if (m == 1) {
            head += codes;
            junction = fo + head.size();
            head += tailText;
            m_pars.ReplaceText(fp, fo, first->Length - fo, head);
        } else {
            m_pars.ReplaceText(fp, fo, first->Length - fo, head);
            // Further paragraphs start with the attribute in force where the new text begins.
            TAttrRecord *shared = keep > 0 ? TParagraphsList::NewStartAttr(&first->Attrs[keep - 1])
                                           : first->StartAttr;
            if (keep > 0)
                shared->Words[0] = 0;
            m_pars.Insert(fp + 1, m - 1, shared);
            // The paragraphs between read their characters from the new text itself.
            std::vector<TParagraphsList::TextSpan> middle;
            middle.reserve(size_t(qMax<qint64>(0, m - 2)));
            for (qint64 k = 1; k < m - 1; ++k)
                middle.push_back({ pieces[size_t(k)].from, pieces[size_t(k)].length });
            m_pars.ShareTexts(fp + 1, text, middle.data(), qint64(middle.size()));
            QString last = text.mid(pieces[size_t(m - 1)].from, pieces[size_t(m - 1)].length);
            last += codes;
            junction = last.size();
            last += tailText;
            m_pars.SetText(fp + m - 1, last);
        }
        TParagraph *lastNew = m_pars.At(fp + m - 1);
        if (tail > 0 && !attrAt(lastNew, junction)->SameContents(endAttr))
            appendAttr(lastNew, endAttr, junction);
        for (const TAttrRecord &r : tailAttrs)
            appendAttr(lastNew, r, r.Offset() + junction);
    }
    first->Formatted = false;
    if (m_dirtyLast >= lp)
        m_dirtyLast += parsAdded;
    MarkDirty(fp, fp + m - 1);

    moveNavigators(a, b, n, fp, fo, lp, parsAdded);

    if (OnParse)
        OnParse(this, a, a + n);
    runPasses(a, n, fp);

    // Adjacent style codes that cancel go again, each deletion a replacement of its own that is
    // undone together with this one.
    qint64 caretTarget = a + n;
    if (restyle && !(flags & rfNoCodeCleanup)) {
        const QList<qint64> redundant = redundantCodes(a, a + n);
        if (!redundant.isEmpty()) {
            m_cleaning = true;
            try {
                for (qsizetype i = redundant.size() - 1; i >= 0; --i)
                    replaceRange(redundant[i], redundant[i] + 1, QString(), 0);
            } catch (...) {
                m_cleaning = false;
                throw;
            }
            m_cleaning = false;
            qint64 before = 0;
            for (qint64 pos : redundant)
                if (pos < a + n)
                    ++before;
            caretTarget -= before;
        }
    }

    m_columnSelection = false;
    setSelectionRaw(caretTarget, caretTarget, false);
}

void CodeDocument::moveNavigators(
    qint64 a, qint64 b, qint64 n, qint64 fp, qint64 fo, qint64 lp, qint64 parsAdded)
{
    const qint64 d = n - (b - a);
    TParagraph *firstRecord = m_pars.At(fp);
    for (TCodeNavigator *nav : m_navigators) {
        if (nav->m_pos < a) {
            if (nav->m_par && nav->m_parIndex == fp)
                nav->m_lineIndex = TCodeNavigator::Unset;
            continue;
        }
        if (nav->m_pos <= b) {
            if (nav->FollowInsertion) {
                nav->Invalidate();
                nav->m_pos = a + n;
            } else {
                nav->m_pos = a;
                nav->m_par = firstRecord;
                nav->m_parIndex = fp;
                nav->m_offset = fo;
                nav->m_attrIndex = nav->m_lineIndex = TCodeNavigator::Unset;
                nav->bindLines();
            }
            continue;
        }
        nav->m_pos += d;
        if (!nav->m_par)
            continue;
        const bool inLast = nav->m_parIndex == lp;
        if (inLast)
            nav->m_attrIndex = nav->m_lineIndex = TCodeNavigator::Unset;
        nav->m_parIndex += parsAdded;
        nav->m_par = m_pars.At(nav->m_parIndex);
        nav->m_offset = nav->m_pos - m_pars.StartPos(nav->m_parIndex);
        if (inLast || parsAdded != 0)
            nav->bindLines();
    }
}

void CodeDocument::runPasses(qint64 a, qint64 n, qint64 fp)
{
    TParagraph *p = m_pars.At(fp);
    if (m_updateCount >= 2) {
        p->Formatted = p->StartStopApplied = p->KeywordsApplied = false;
        return;
    }
    if (!p->StartStopApplied && !p->KeywordsApplied)
        return;
    TCodeNavigator from(this);
    from.SetPos(a);
    TCodeNavigator to(this);
    to.SetPos(a + n);
    if (to.ParIndex() != from.ParIndex())
        to.SetPos(m_pars.StartPos(to.ParIndex()) + to.ParRecord()->Length);
    if (p->StartStopApplied)
        ApplyStartStopPass(from, to);
    if (p->KeywordsApplied) {
        ApplyKeywordPass(from, to.Position());
        p->KeywordsApplied = true;
    }
}

QList<qint64> CodeDocument::redundantCodes(qint64 from, qint64 to) const
{
    // Only the runs of codes that the new text touches can hold new pairs; the scan covers the
    // new text and the codes adjacent to it, so an edit in a long line costs no more than its
    // own text.
    QList<qint64> out;
    const qint64 firstPar = m_pars.ParagraphOfPos(from);
    const qint64 lastPar = m_pars.ParagraphOfPos(to);
    for (qint64 par = firstPar; par <= lastPar; ++par) {
        const TParagraph *p = m_pars.At(par);
        const qint64 start = m_pars.StartPos(par);
        qint64 i = qBound<qint64>(0, from - start, qint64(p->Length));
        qint64 end = qBound<qint64>(0, to - start, qint64(p->Length));
        while (i > 0 && IsStyleCode(p->Text[i - 1]))
            --i;
        while (end < p->Length && IsStyleCode(p->Text[end]))
            ++end;
        while (i < end) {
            if (!IsStyleCode(p->Text[i])) {
                ++i;
                continue;
            }
            // A run of adjacent codes: a code met again later in the run cancels with it.
            qint64 pending[32];
            std::fill(std::begin(pending), std::end(pending), -1);
            QList<qint64> runDeletes;
            for (; i < p->Length && IsStyleCode(p->Text[i]); ++i) {
                qint64 &open = pending[p->Text[i] & 31];
                if (open >= 0) {
                    runDeletes << open << i;
                    open = -1;
                } else {
                    open = i;
                }
            }
            std::sort(runDeletes.begin(), runDeletes.end());
            for (qint64 offset : runDeletes)
                out << start + offset;
        }
    }
    return out;
}

// --- undo and redo

void CodeDocument::Undo()
{
    while (m_undo.Index() > 0) {
        const qint64 index = m_undo.Index();
        const TUndoRecord record = m_undo.Record(index - 1);
        m_columnSelection = false; // a record replays a stream range
        setSelectionRaw(record.Start, record.End, false);
        m_replaying = m_undoing = true;
        m_undo.SetIndex(index - 1);
        m_recordWritten = false;
        try {
            ReplaceSel(record.Text);
        } catch (...) {
            m_replaying = m_undoing = false;
            if (!m_recordWritten && m_undo.Count() >= index)
                m_undo.SetIndex(index);
            throw;
        }
        // The inverse now waits at the index for Redo.
        if (m_recordWritten && m_undo.Index() > 0)
            m_undo.SetIndex(m_undo.Index() - 1);
        m_replaying = m_undoing = false;
        if (!record.Grouped)
            break;
    }
}

void CodeDocument::Redo()
{
    while (m_undo.Index() < m_undo.Count()) {
        const qint64 index = m_undo.Index();
        const TUndoRecord record = m_undo.Record(index);
        const bool nextGrouped = index + 1 < m_undo.Count() && m_undo.Record(index + 1).Grouped;
        m_columnSelection = false;
        setSelectionRaw(record.Start, record.End, false);
        m_replaying = true;
        m_recordWritten = false;
        try {
            ReplaceSel(record.Text);
        } catch (...) {
            m_replaying = false;
            throw;
        }
        m_replaying = false;
        if (!m_recordWritten && m_undo.Index() == index && index < m_undo.Count())
            m_undo.SetIndex(index + 1);
        if (!nextGrouped)
            break;
    }
}

// --- update bracket and formatting

void CodeDocument::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        Reformat();
}

void CodeDocument::MarkDirty(qint64 first, qint64 last)
{
    if (m_dirtyLast < m_dirtyFirst) {
        m_dirtyFirst = first;
        m_dirtyLast = last;
    } else {
        m_dirtyFirst = qMin(m_dirtyFirst, first);
        m_dirtyLast = qMax(m_dirtyLast, last);
    }
}

void CodeDocument::Reformat()
{
    if (m_dirtyLast >= m_dirtyFirst) {
        const qint64 first = qMax<qint64>(0, m_dirtyFirst);
        const qint64 last = qMin(m_dirtyLast, ParagraphCount() - 1);
        for (qint64 i = first; i <= last; ++i)
            FormatParagraph(i);
        ForgetLineIndexes(first, last);
    }
    ClearDirty();
    Change();
}

void CodeDocument::ForgetLineIndexes(qint64 first, qint64 last)
{
    for (TCodeNavigator *nav : m_navigators)
        if (nav->m_par && nav->m_parIndex >= first && nav->m_parIndex <= last)
            nav->m_lineIndex = TCodeNavigator::Unset;
}

void CodeDocument::FormatParagraph(qint64 index)
{
    TParagraph *p = m_pars.Record(index);
    m_pars.SetLineCount(index, 1);
    const int tabWidth = qMax(1, m_tabStops) * m_measurer->CharWidth();
    qint64 full = 0;
    qint64 width = 0;
    quint8 style = 0;
    qint32 i = 0;
    if (const int pitch = m_measurer->FixedPitch(); pitch > 0 && pitch == m_measurer->CharWidth()) {
        countColumns(p->Text, p->Length, qMax(1, m_tabStops), m_staticFormat, full, width);
        full *= pitch;
        width *= pitch;
        i = p->Length;
    }
    while (i < p->Length) {
        const char16_t c = p->Text[i];
        if (m_staticFormat && ToggleStyle(style, c)) {
            ++i;
            continue;
        }
        if (c == scTab) {
            full = (full / tabWidth + 1) * tabWidth;
            ++i;
            continue;
        }
        // A run of characters in one style: blanks, or a word, measured at once.
        const bool blank = isBlank(c);
        qint32 j = i + 1;
        while (j < p->Length && p->Text[j] != scTab && isBlank(p->Text[j]) == blank
            && !(m_staticFormat && IsStyleCode(p->Text[j])))
            ++j;
        full += m_measurer->TextWidth(QStringView(p->Text + i, j - i), style);
        if (!blank)
            width = full;
        i = j;
    }
    TLineRecord &line = p->FirstLine;
    line = TLineRecord();
    line.EndOffset = p->Length;
    line.Width = qint32(qMin<qint64>(width, std::numeric_limits<qint32>::max()));
    line.FullWidth = qint32(qMin<qint64>(full, std::numeric_limits<qint32>::max()));
    p->Formatted = true;
}

void CodeDocument::SelectionChanged(qint64, qint64) { }

void CodeDocument::Change()
{
    if (OnChange)
        OnChange(this);
}

// --- highlighting

void CodeDocument::ApplyStartStopPass(TCodeNavigator &, TCodeNavigator &) { }

void CodeDocument::ApplyKeywordPass(TCodeNavigator &, qint64) { }

void CodeDocument::InvalidateNavigators(qint64 from, qint64 toParagraph)
{
    for (TCodeNavigator *nav : m_navigators)
        if (nav->m_par && nav->m_pos > from && nav->m_parIndex <= toParagraph)
            nav->m_attrIndex = nav->m_lineIndex = TCodeNavigator::Unset;
}

void CodeDocument::ClearAttributes()
{
    m_pars.ClearAttributes();
    InvalidateNavigators(0, ParagraphCount() - 1);
    MarkDirty(0, ParagraphCount() - 1);
}

// --- invariants

void CodeDocument::Check() const
{
    m_pars.Check();
    m_undo.Check();
    if (m_pars.Count() < 1)
        throw std::logic_error("the text has no paragraph");
    const qint64 length = TextLength();
    for (const TCodeNavigator *nav : m_navigators) {
        if (nav->m_memo != this)
            throw std::logic_error("a registered navigator belongs to another document");
        if (!nav->m_par)
            continue;
        if (nav->m_parIndex < 0 || nav->m_parIndex >= m_pars.Count()
            || m_pars.At(nav->m_parIndex) != nav->m_par
            || nav->m_offset != nav->m_pos - m_pars.StartPos(nav->m_parIndex) || nav->m_offset < 0
            || nav->m_offset > nav->m_par->Length + 1)
            throw std::logic_error("a navigator's cached paragraph is stale");
    }
    const qint64 lower = m_selStart->Position();
    const qint64 upper = m_selEnd->Position();
    if (lower < 0 || lower > upper || upper > length)
        throw std::logic_error("the selection lies outside the text");
    if (m_caret != m_selStart && m_caret != m_selEnd)
        throw std::logic_error("the caret is not an end of the selection");
    if (m_selLength != (m_caret == m_selStart ? upper - lower : lower - upper)
        && !(m_selLength == 0 && lower == upper))
        throw std::logic_error("the selection length disagrees with its ends");
    for (qint64 i = 0; i < m_pars.Count(); ++i) {
        const TParagraph *p = m_pars.At(i);
        if (!p->Formatted)
            continue;
        qint64 expect = 0;
        for (qint32 l = 0; l < p->LineCount; ++l) {
            const TLineRecord &line = l == 0 ? p->FirstLine : p->FurtherLines[l - 1];
            if (line.StartOffset != expect || line.EndOffset < line.StartOffset)
                throw std::logic_error("a formatted paragraph's lines do not tile it");
            expect = line.EndOffset;
        }
        if (expect != p->Length)
            throw std::logic_error("a formatted paragraph's lines do not reach its end");
    }
}

} // namespace qd
