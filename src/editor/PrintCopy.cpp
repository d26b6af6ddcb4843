#include "editor/PrintCopy.h"

#include "editor/CodeMemo.h"
#include "editor/StyleCodes.h"

namespace qd {

PrintCopy::PrintCopy(TCodeMemo &source, bool selectionOnly, bool plainText, bool wordWrap)
    : m_font(source.font())
    , m_altFont(source.AltFont())
    , m_palette(source.palette())
    , m_plain(plainText)
    , m_highlightColor(source.HighlightColor())
    , m_highlightBackgnd(source.HighlightBackgnd())
{
    // Nothing formats behind our back, nothing re-highlights what was copied.
    SetUpdateMode(umOnNeed);
    SetApplyKeyWords(false);
    SetApplyStartStopKeys(false);
    SetAlignment(source.Alignment());
    SetJustified(source.Justified());
    SetSeparators(source.Separators());
    SetTabStops(source.TabStops());
    SetLeftMargin(0);
    SetRightMargin(0);
    SetWordWrap(wordWrap);
    SetStaticFormat(source.StaticFormat());
    if (!plainText) {
        const QFont &f = source.font();
        m_fontStyle
            = quint8((f.weight() >= QFont::Bold ? StyleBold : 0) | (f.italic() ? StyleItalic : 0)
                | (f.underline() ? StyleUnderline : 0) | (f.strikeOut() ? StyleStrikeOut : 0));
    }

    // Highlighting of the source is brought up to date over what is copied.
    qint64 first = 0;
    qint64 last = source.ParagraphCount() - 1;
    qint64 firstCut = 0; // offset in the first paragraph where the copy starts
    qint64 lastCut = source.Paragraphs().At(last)->Length; // and in the last where it ends
    if (selectionOnly) {
        TCodeNavigator &lower = source.SelStartNav();
        TCodeNavigator &upper = source.SelEndNav();
        first = lower.ParIndex();
        firstCut = lower.ParOffset();
        last = upper.ParIndex();
        lastCut = qMin<qint64>(upper.ParOffset(), source.Paragraphs().At(last)->Length);
    }
    source.FormatRange(first, last);

    QString text;
    QString prefix;
    for (qint64 i = first; i <= last; ++i) {
        QStringView par = source.Paragraphs().Text(i);
        if (i == last)
            par = par.left(lastCut);
        if (i == first) {
            // The styles that codes before the cut switched on still hold for the copied text.
            if (StaticFormat() && !plainText && firstCut > 0)
                prefix = StyleCodesFor(StyleToggles(par.left(firstCut)));
            par = par.mid(qMin<qint64>(firstCut, par.size()));
        }
        if (i > first)
            text += QStringLiteral("\r\n");
        if (plainText && StaticFormat())
            text += StripStyleCodes(par);
        else if (i == first)
            text += prefix + par.toString();
        else
            text += par;
    }
    SelectAll();
    ReplaceSel(text, rfNoStyleRestore | rfNoCodeCleanup);
    ClearUndo();
    SetSelStart(0);
    if (!plainText)
        copyLooks(source, first, last, firstCut, lastCut, int(prefix.size()));
    SetModified(false);
}

void PrintCopy::copyLooks(TCodeMemo &source, qint64 firstPar, qint64 lastPar, qint64 firstCut,
    qint64 lastCut, int prefixLength)
{
    TParagraphsList &mine = Paragraphs();
    const TParagraphsList &theirs = source.Paragraphs();
    const qint64 count = qMin(mine.Count(), lastPar - firstPar + 1);
    for (qint64 i = 0; i < count; ++i) {
        const TParagraph *from = theirs.At(firstPar + i);
        TParagraph *to = mine.At(i);
        to->TextColor = from->TextColor;
        to->BackColor = from->BackColor;
        const qint64 cut = i == 0 ? firstCut : 0;
        const qint64 end = i == lastPar - firstPar ? lastCut : from->Length;
        const qint32 shift = i == 0 ? prefixLength : 0;
        // The record in force at the cut starts the copied paragraph.
        const TAttrRecord *start = from->StartAttr;
        qint32 a = 0;
        while (a < from->AttrCount && from->Attrs[a].Offset() <= cut)
            start = &from->Attrs[a++];
        TAttrRecord *shared = TParagraphsList::NewStartAttr(start);
        mine.SetStartAttr(i, shared);
        TParagraphsList::ReleaseStartAttr(shared);
        to->AttrCount = 0;
        for (; a < from->AttrCount && from->Attrs[a].Offset() <= end; ++a) {
            TParagraphsList::ReserveAttr(to);
            TAttrRecord record = from->Attrs[a];
            record.SetOffset(qint32(record.Offset() - cut + shift));
            to->Attrs[to->AttrCount++] = record;
        }
        to->KeywordsApplied = to->StartStopApplied = true;
        to->Formatted = false;
    }
    InvalidateNavigators(0, mine.Count() - 1);
}

void PrintCopy::LayOut(int dpi, int screenDpi, int width)
{
    m_measurer.SetFonts(m_font, m_altFont, dpi, screenDpi);
    FormatForMeasurer(&m_measurer, width);
}

QColor PrintCopy::PaperColor(TColor color) const
{
    if (color == -1)
        return QColor();
    if (IsSystemColor(color)) {
        switch (color & 0xFF) {
        case 5: // window
            return Qt::white;
        case 8: // window text
            return Qt::black;
        case 13:
            return m_palette.color(QPalette::Highlight);
        case 14:
            return m_palette.color(QPalette::HighlightedText);
        default:
            return m_palette.color(QPalette::Text);
        }
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

} // namespace qd
