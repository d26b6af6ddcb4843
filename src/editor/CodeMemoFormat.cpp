// Word wrap of paragraphs into display lines and the lazy formatting driver.
#include "editor/CodeMemoCore.h"

#include "editor/CodeMemoViews.h"
#include "editor/HighlightHost.h"
#include "editor/StyleCodes.h"

#include <vector>

namespace qd {

namespace {

qint32 clamp32(qint64 v)
{
    return qint32(boundI64(0, v, qint64(std::numeric_limits<qint32>::max())));
}

// Widest full line width of a formatted paragraph.
qint64 paragraphWidth(const TParagraph *p)
{
    qint64 w = p->FirstLine.FullWidth;
    for (qint32 i = 1; i < p->LineCount; ++i)
        w = qMax<qint64>(w, p->FurtherLines[i - 1].FullWidth);
    return w;
}

} // namespace

CodeMemoCore::CodeMemoCore(const TTextLimits &limits)
    : CodeDocument(limits)
    , m_paraStrings(std::make_unique<TCodeParaStrings>(this))
    , m_linesStrings(std::make_unique<TCodeLinesStrings>(this))
    , m_highlight(std::make_unique<THighlightHost>(*this))
{
    m_topNav = new TCodeNavigator(this);
    m_scratch = new TCodeNavigator(this);
    // An edit re-colours about a screenful past itself at once; a changed state that flows
    // further (an opened comment) goes on in background slices.
    m_highlight->SetFlowLimit(FlowParagraphs);
    m_highlight->OnPending = [this](THighlightHost *, qint64 index) {
        m_formattedUpTo = qMin(m_formattedUpTo, index);
        PostBackgroundStep();
    };
    m_highlight->OnInvalidate = [this](THighlightHost *, qint64 first, qint64 last) {
        InvalidateLines(Paragraphs().FirstLine(first), Paragraphs().FirstLine(last + 1) - 1);
    };
    SetSeparators(QStringLiteral("\t $%&,./:;<=>"));
    m_backgroundTimer.setSingleShot(true);
    m_backgroundTimer.setInterval(0);
    QObject::connect(&m_backgroundTimer, &QTimer::timeout, [this] {
        m_backgroundPosted = false;
        BackgroundStep();
    });
    m_progressClock.start();
    // The text starts as one empty paragraph, formatted as one empty line.
    FormatParagraph(0);
    m_formattedUpTo = 1;
    ClearDirty();
}

CodeMemoCore::~CodeMemoCore() = default;

int CodeMemoCore::MeasureText(QStringView text, quint8 style) const
{
    // Pieces keep each measurement within what a text call handles at once.
    constexpr qsizetype Chunk = 4096;
    if (text.size() <= Chunk)
        return Measurer().TextWidth(text, style);
    qint64 w = 0;
    for (qsizetype i = 0; i < text.size(); i += Chunk)
        w += Measurer().TextWidth(text.mid(i, qMin(Chunk, text.size() - i)), style);
    return int(qMin<qint64>(w, std::numeric_limits<int>::max()));
}

quint8 CodeMemoCore::EffectiveStyle(quint8 s, quint8 d, quint8 fontStyle)
{
    if (!(d & StyleSets))
        return s ^ (fontStyle & (StyleBold | StyleItalic | StyleUnderline | StyleStrikeOut));
    if ((d & StyleStrikeOut) && (d & StyleHighlight))
        return d & ~(StyleStrikeOut | StyleHighlight | 64);
    return d & ~(64 | StyleSets);
}

int CodeMemoCore::LineHeightPx() const
{
    return m_fixedLineHeight >= 1 ? m_fixedLineHeight : qMax(1, Measurer().LineHeight());
}

void CodeMemoCore::SetLineHeight(int height)
{
    m_fixedLineHeight = qMax(0, height);
    ScrollRangesChanged();
    UpdateCaret(true);
    InvalidateAll();
}

int CodeMemoCore::VisibleLines() const
{
    const int lh = LineHeightPx();
    return lh < 1 ? 1 : m_clientHeight / lh + 1;
}

void CodeMemoCore::SetClientSize(int width, int height)
{
    const bool widthChanged = !m_hasWindow || width != m_clientWidth;
    m_hasWindow = true;
    m_clientWidth = qMax(0, width);
    m_clientHeight = qMax(0, height);
    if (widthChanged && (m_wordWrap || m_alignment != taLeftJustify))
        ReformatAll();
    else
        formatVisible();
    ScrollRangesChanged();
    // A text that fits needs no scrolling.
    const ScrollRange v = VScrollRange();
    if (v.Page > v.Max && VerticalOffset() != 0)
        SetScrollOffsets(0, m_hOffset);
    UpdateCaret();
}

void CodeMemoCore::FontChanged()
{
    m_widest = WidestUnknown;
    m_vSub = 0;
    m_hOffset = 0;
    m_topNav->SetPos(0);
    ReformatAll();
    ScrollRangesChanged();
    UpdateCaret(true);
    if (OnVScroll)
        OnVScroll(this);
    InvalidateAll();
}

// --- formatting properties

void CodeMemoCore::SetWordWrap(bool on)
{
    if (on == m_wordWrap)
        return;
    m_wordWrap = on;
    m_hOffset = 0;
    m_widest = WidestUnknown;
    ReformatAll();
    ScrollRangesChanged();
    ScrollInView();
    InvalidateAll();
}

void CodeMemoCore::SetColumnWrap(int columns)
{
    m_columnWrap = columns;
    m_widest = WidestUnknown;
    ReformatAll();
    ScrollRangesChanged();
    InvalidateAll();
}

void CodeMemoCore::SetLeftMargin(int pixels)
{
    m_leftMargin = pixels;
    ReformatAll();
    ScrollRangesChanged();
    InvalidateAll();
}

void CodeMemoCore::SetRightMargin(int pixels)
{
    m_rightMargin = pixels;
    ReformatAll();
    ScrollRangesChanged();
    InvalidateAll();
}

void CodeMemoCore::SetTabStops(int tabStops)
{
    CodeDocument::SetTabStops(tabStops);
    m_widest = WidestUnknown;
    ReformatAll();
    ScrollRangesChanged();
    InvalidateAll();
}

void CodeMemoCore::SetAlignment(TAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    const bool wrapChanges = !m_wordWrap
        && ((alignment == taLeftJustify) != (m_alignment == taLeftJustify));
    m_alignment = alignment;
    m_hOffset = 0;
    if (wrapChanges)
        ReformatAll();
    ScrollRangesChanged();
    UpdateCaret();
    InvalidateAll();
}

void CodeMemoCore::SetJustified(bool on)
{
    m_justified = on;
    m_hOffset = 0;
    UpdateCaret();
    InvalidateAll();
}

void CodeMemoCore::SetUpdateMode(TUpdateMode mode)
{
    m_updateMode = mode;
    if (mode == umImmediate)
        FormatRange(0, ParagraphCount() - 1);
    else if (mode == umBackground && m_hasWindow && !AllFormatted())
        BackgroundStep();
}

// --- highlighting

bool CodeMemoCore::ApplyKeyWords() const
{
    return m_highlight->ApplyKeyWords();
}

void CodeMemoCore::SetApplyKeyWords(bool on)
{
    m_highlight->SetApplyKeyWords(on);
}

bool CodeMemoCore::ApplyStartStopKeys() const
{
    return m_highlight->ApplyStartStopKeys();
}

void CodeMemoCore::SetApplyStartStopKeys(bool on)
{
    m_highlight->SetApplyStartStopKeys(on);
}

TCodeHighlighter *CodeMemoCore::Highlighter() const
{
    return m_highlight->Highlighter();
}

void CodeMemoCore::SetHighlighter(TCodeHighlighter *highlighter)
{
    m_highlight->SetHighlighter(highlighter);
}

TKeywordList *CodeMemoCore::Keywords() const
{
    return &m_highlight->Keywords();
}

TStartStopKeyList *CodeMemoCore::StartStopKeys() const
{
    return &m_highlight->StartStopKeys();
}

void CodeMemoCore::SetUpperCaseType(TcmUpperCase type)
{
    m_upperCaseType = type;
    m_highlight->Keywords().SetCaseMode(type);
    m_highlight->StartStopKeys().SetCaseMode(type);
}

void CodeMemoCore::ApplyStartStopPass(TCodeNavigator &from, TCodeNavigator &to)
{
    m_highlight->ApplyStartStopPass(from, to);
}

void CodeMemoCore::ApplyKeywordPass(TCodeNavigator &from, qint64 to)
{
    m_highlight->ApplyKeywordPass(from, to);
}

QString CodeMemoCore::Separators() const
{
    QString out;
    for (int c = 0; c < 256; ++c)
        if (m_separators[c])
            out += QChar(c);
    return out;
}

void CodeMemoCore::SetSeparators(const QString &chars)
{
    std::fill(std::begin(m_separators), std::end(m_separators), false);
    for (QChar c : chars)
        if (c.unicode() < 256)
            m_separators[c.unicode()] = true;
    m_highlight->SetSeparators(chars);
}

// --- word wrap

int CodeMemoCore::wrapWidth() const
{
    if (!m_wordWrap && m_alignment == taLeftJustify)
        return std::numeric_limits<qint32>::max() - m_rightMargin;
    qint64 w;
    const qint64 available = m_formatWidth > 0 ? m_formatWidth
        : m_hasWindow                        ? m_clientWidth
                                             : WindowlessWidth;
    if (m_columnWrap <= 0)
        w = available - m_leftMargin - m_rightMargin;
    else
        w = qint64(m_columnWrap) * CharWidth();
    return int(boundI64(1, w, qint64(std::numeric_limits<qint32>::max())));
}

void CodeMemoCore::FormatParagraph(qint64 index)
{
    TParagraphsList &pars = Paragraphs();
    TParagraph *p = pars.Record(index);
    if (!p->KeywordsApplied && (ApplyKeyWords() || Highlighter())) {
        m_scratch->SetParagraph(index);
        ApplyKeywordPass(*m_scratch, m_scratch->Position() + p->Length);
    }
    p->KeywordsApplied = true;
    const qint64 oldWidth = p->Formatted ? paragraphWidth(p) : -1;

    const qint64 wrap = wrapWidth();
    const qint64 tabWidth = TabStops() > 0 ? qint64(TabStops()) * CharWidth() : 0;
    const bool codes = StaticFormat();
    const quint8 fontStyle = FontStyle();
    const char16_t *t = p->Text;
    const qint32 len = p->Length;

    // What is in force at a point of the walk.
    struct State {
        quint8 staticStyle = 0;
        qint32 attrIndex = 0; // records not after the point
        const TAttrRecord *attr = nullptr;
        quint8 style = 0; // measuring style
        int spaceWidth = 0;
    };
    const auto restyle = [&](State &st) {
        const quint8 s = EffectiveStyle(st.staticStyle, st.attr->Style(), fontStyle)
            & (StyleBold | StyleItalic | StyleUnderline | StyleStrikeOut | StyleAltFont);
        if (s != st.style || st.spaceWidth == 0) {
            st.style = s;
            st.spaceWidth = Measurer().TextWidth(u" ", s);
        }
    };
    const auto advance = [&](State &st, qint32 pos) {
        bool changed = false;
        while (st.attrIndex < p->AttrCount && p->Attrs[st.attrIndex].Offset() <= pos) {
            st.attr = &p->Attrs[st.attrIndex++];
            changed = true;
        }
        if (changed)
            restyle(st);
    };

    static thread_local std::vector<TLineRecord> lines;
    lines.clear();
    State st;
    st.attr = p->StartAttr;
    restyle(st);
    advance(st, 0);

    TLineRecord line;
    qint64 x = 0; // width so far, blanks included
    qint64 ink = 0; // width up to the last word's end
    qint32 pendingSpaces = 0;
    bool wordOnLine = false;
    const auto startLine = [&](qint32 at, const State &s) {
        line = TLineRecord();
        line.StartOffset = at;
        line.JustifyStart = at;
        line.StyleAtStart = s.staticStyle;
        line.AttrAtStart = s.attrIndex;
        x = ink = 0;
        pendingSpaces = 0;
        wordOnLine = false;
    };
    const auto endLine = [&](qint32 at) {
        line.EndOffset = at;
        line.Width = clamp32(ink);
        line.FullWidth = clamp32(x);
        lines.push_back(line);
    };
    startLine(0, st);

    qint32 i = 0;
    while (i < len) {
        advance(st, i);
        const char16_t c = t[i];
        if (codes && IsStyleCode(c)) {
            ToggleStyle(st.staticStyle, c);
            restyle(st);
            ++i;
            continue;
        }
        if (c == u' ') {
            x += st.spaceWidth;
            ++pendingSpaces;
            ++i;
            continue;
        }
        if (c == scTab) {
            if (tabWidth > 0)
                x = (x / tabWidth + 1) * tabWidth;
            line.Spaces = 0;
            pendingSpaces = 0;
            wordOnLine = false;
            line.JustifyStart = i + 1;
            ++i;
            continue;
        }
        // A word: up to the next blank or tab; codes inside have no width.
        qint32 j = i + 1;
        while (j < len && t[j] != u' ' && t[j] != scTab)
            ++j;
        State after = st;
        qint64 w = 0;
        for (qint32 k = i; k < j;) {
            advance(after, k);
            if (codes && IsStyleCode(t[k])) {
                ToggleStyle(after.staticStyle, t[k]);
                restyle(after);
                ++k;
                continue;
            }
            const qint32 nextAttr = after.attrIndex < p->AttrCount
                ? p->Attrs[after.attrIndex].Offset()
                : std::numeric_limits<qint32>::max();
            qint32 e = k + 1;
            while (e < j && e < nextAttr && !(codes && IsStyleCode(t[e])))
                ++e;
            w += MeasureText(QStringView(t + k, e - k), after.style);
            k = e;
        }
        if (x > 0 && x + w > wrap) {
            // The word goes to the next line; the blanks before it stay at this line's end.
            endLine(i);
            startLine(i, st);
        }
        if (x == 0 && w > wrap) {
            // A word wider than a line is cut where a character no longer fits; every line
            // keeps at least one character.
            qint32 k = i;
            bool charOnLine = false;
            while (k < j) {
                advance(st, k);
                if (codes && IsStyleCode(t[k])) {
                    ToggleStyle(st.staticStyle, t[k]);
                    restyle(st);
                    ++k;
                    continue;
                }
                const int cw = Measurer().TextWidth(QStringView(t + k, 1), st.style);
                if (charOnLine && x + cw > wrap) {
                    ink = x;
                    endLine(k);
                    startLine(k, st);
                    charOnLine = false;
                }
                x += cw;
                charOnLine = true;
                ++k;
            }
            ink = x;
            wordOnLine = true;
            i = j;
            continue;
        }
        if (wordOnLine)
            line.Spaces += pendingSpaces;
        pendingSpaces = 0;
        wordOnLine = true;
        x += w;
        ink = x;
        st = after;
        i = j;
    }
    endLine(len);

    pars.SetLineCount(index, qint64(lines.size()));
    TLinesList view(&pars, index);
    for (size_t k = 0; k < lines.size(); ++k)
        view.Put(qint64(k), lines[k]);
    p->Formatted = true;

    // The widest line: a wider one takes over; the widest one getting narrower is lost.
    const qint64 newWidth = paragraphWidth(p);
    if (m_widest != WidestUnknown) {
        if (newWidth > m_widest)
            m_widest = newWidth;
        else if (oldWidth == m_widest && newWidth < oldWidth)
            m_widest = WidestUnknown;
    }
}

qint64 CodeMemoCore::WidestLine()
{
    if (m_widest == WidestUnknown) {
        qint64 w = 0;
        const TParagraphsList &pars = Paragraphs();
        for (qint64 i = 0; i < pars.Count(); ++i) {
            const TParagraph *p = pars.At(i);
            if (p->Formatted)
                w = qMax(w, paragraphWidth(p));
        }
        m_widest = w;
    }
    return m_widest;
}

// --- the driver

void CodeMemoCore::ReformatAll()
{
    TParagraphsList &pars = Paragraphs();
    for (qint64 i = 0; i < pars.Count(); ++i)
        pars.At(i)->Formatted = false;
    m_formattedUpTo = 0;
    m_widest = WidestUnknown;
    if (UpdateCount() > 0)
        return;
    if (!m_hasWindow) {
        // Without a window only what is needed is formatted: the views and navigators ask.
        return;
    }
    const qint64 linesBefore = LineCount();
    const qint64 topBefore = TopLine();
    formatVisible();
    switch (m_updateMode) {
    case umImmediate:
        FormatRange(0, ParagraphCount() - 1);
        break;
    case umBackground:
        PostBackgroundStep();
        break;
    case umOnNeed:
        break;
    }
    afterFormatting(0, -1, linesBefore, topBefore, m_widest);
}

void CodeMemoCore::formatVisible()
{
    if (ParagraphCount() == 0)
        return;
    qint64 par = m_topNav->ParIndex();
    qint64 lines = -qint64(m_topNav->LineInPar());
    const qint64 need = VisibleLines();
    const qint64 count = ParagraphCount();
    while (par < count && lines < need) {
        TParagraph *p = Paragraphs().At(par);
        if (!p->Formatted) {
            EnsureStartStopPass(par);
            FormatParagraph(par);
            ForgetLineIndexes(par, par);
        }
        lines += p->LineCount;
        ++par;
    }
}

void CodeMemoCore::Reformat()
{
    if (UpdateCount() > 0)
        return;
    const qint64 count = ParagraphCount();
    const bool allBefore = m_formattedUpTo >= m_lastParCount;
    if (count < m_lastParCount)
        m_widest = WidestUnknown; // the widest line may have gone with a paragraph
    m_lastParCount = count;
    const qint64 first = qMax<qint64>(0, DirtyFirst());
    const qint64 last = qMin(DirtyLast(), count - 1);
    // Line count and top line as they were before the edit changed any paragraph's lines.
    const qint64 linesBefore = LineCount();
    const qint64 topBefore = m_topNav->Position() == 0 ? 0 : TopLine();
    const qint64 widestBefore = m_widest;
    if (last >= first) {
        for (qint64 i = first; i <= last; ++i)
            FormatParagraph(i);
        ForgetLineIndexes(first, last);
    }
    m_formattedUpTo = allBefore ? count : qMin(m_formattedUpTo, qMin(first, count));
    if (last >= first && m_formattedUpTo == first) {
        while (m_formattedUpTo < count && Paragraphs().At(m_formattedUpTo)->Formatted
            && m_formattedUpTo <= last)
            ++m_formattedUpTo;
    }
    formatVisible();
    afterFormatting(first, last, linesBefore, topBefore, widestBefore);
    ClearDirty();
    if (m_hasWindow && !AllFormatted()) {
        if (m_updateMode == umImmediate)
            FormatRange(m_formattedUpTo, count - 1);
        else if (m_updateMode == umBackground)
            PostBackgroundStep();
    }
    UpdateCaret();
    Change();
}

void CodeMemoCore::afterFormatting(
    qint64 first, qint64 last, qint64 linesBefore, qint64 topBefore, qint64 widestBefore)
{
    // The view stays on the same text: the top line follows the lines formatted above it.
    const qint64 top = TopLine();
    if (m_topNav->Position() != Paragraphs().StartPos(m_topNav->ParIndex())
        + m_topNav->LinesView().Line(m_topNav->LineInPar())->StartOffset)
        m_topNav->SetLine(top);
    if (!m_hasWindow)
        return;
    const qint64 delta = LineCount() - linesBefore;
    if (last >= first) {
        const qint64 l1 = Paragraphs().FirstLine(first);
        const qint64 l2 = delta != 0 ? LineCount() + VisibleLines()
                                     : Paragraphs().FirstLine(last + 1) - 1;
        InvalidateLines(l1, l2);
    }
    if (delta != 0 || top != topBefore || m_widest != widestBefore)
        ScrollRangesChanged();
}

void CodeMemoCore::FormatRange(qint64 first, qint64 last, bool force)
{
    first = qMax<qint64>(0, first);
    last = qMin(last, ParagraphCount() - 1);
    if (last < first)
        return;
    const qint64 linesBefore = LineCount();
    const qint64 topBefore = TopLine();
    const qint64 widestBefore = m_widest;
    TParagraphsList &pars = Paragraphs();
    for (qint64 i = first; i <= last; ++i) {
        if (force || !pars.At(i)->Formatted) {
            EnsureStartStopPass(i);
            FormatParagraph(i);
        }
        fireProgress(i, false);
    }
    ForgetLineIndexes(first, last);
    if (m_formattedUpTo >= first)
        while (m_formattedUpTo < pars.Count() && pars.At(m_formattedUpTo)->Formatted)
            ++m_formattedUpTo;
    afterFormatting(first, last, linesBefore, topBefore, widestBefore);
    if (AllFormatted())
        fireProgress(pars.Count(), true);
}

void CodeMemoCore::FormatUpToLine(qint64 line)
{
    TParagraphsList &pars = Paragraphs();
    while (m_formattedUpTo < pars.Count()) {
        const qint64 par = m_formattedUpTo;
        if (pars.FirstLine(par) > line)
            break;
        if (!pars.At(par)->Formatted)
            FormatRange(par, par);
        else
            ++m_formattedUpTo;
    }
}

void CodeMemoCore::EnsureFormattedAt(qint64 position)
{
    const qint64 par = Paragraphs().ParagraphOfPos(position);
    if (!Paragraphs().At(par)->Formatted)
        FormatRange(par, par);
}

void CodeMemoCore::EnsureStartStopPass(qint64 index)
{
    TParagraph *p = Paragraphs().At(index);
    if (p->StartStopApplied || !(ApplyStartStopKeys() || Highlighter()))
        return;
    TCodeNavigator from(this);
    from.SetParagraph(index);
    TCodeNavigator to(this);
    to.SetPos(from.Position() + p->Length);
    ApplyStartStopPass(from, to);
}

void CodeMemoCore::PostBackgroundStep()
{
    if (m_backgroundPosted || AllFormatted())
        return;
    m_backgroundPosted = true;
    m_backgroundTimer.start();
}

bool CodeMemoCore::BackgroundStep()
{
    if (UpdateCount() > 0)
        return !AllFormatted();
    TParagraphsList &pars = Paragraphs();
    const qint64 count = pars.Count();
    if (m_formattedUpTo >= count)
        return false;
    QElapsedTimer clock;
    clock.start();
    const qint64 first = m_formattedUpTo;
    const qint64 linesBefore = LineCount();
    const qint64 topBefore = TopLine();
    const qint64 widestBefore = m_widest;
    const qint64 topPar = m_topNav->ParIndex();
    qint64 i = first;
    qint64 firstChanged = -1;
    qint64 lastChanged = -1;
    while (i < count) {
        TParagraph *p = pars.At(i);
        if (!p->Formatted) {
            EnsureStartStopPass(i);
            FormatParagraph(i);
            if (i >= topPar) {
                if (firstChanged < 0)
                    firstChanged = i;
                lastChanged = i;
            }
        }
        ++i;
        fireProgress(i, false);
        if (clock.elapsed() >= BackgroundSliceMs)
            break;
    }
    m_formattedUpTo = i;
    ForgetLineIndexes(first, i - 1);
    if (firstChanged >= 0)
        afterFormatting(firstChanged, lastChanged, linesBefore, topBefore, widestBefore);
    else
        afterFormatting(0, -1, linesBefore, topBefore, widestBefore);
    if (AllFormatted()) {
        fireProgress(count, true);
        UpdateCaret();
        return false;
    }
    if (m_updateMode == umBackground)
        PostBackgroundStep();
    return true;
}

void CodeMemoCore::fireProgress(qint64 index, bool force)
{
    if (!OnProgress)
        return;
    if (force) {
        m_progress = 100;
        OnProgress(this);
        m_progressClock.restart();
        return;
    }
    if (m_progressClock.elapsed() < ProgressIntervalMs)
        return;
    const qint64 count = qMax<qint64>(1, ParagraphCount());
    m_progress = int(qMin<qint64>(99, index * 100 / count));
    m_progressClock.restart();
    OnProgress(this);
}

} // namespace qd
