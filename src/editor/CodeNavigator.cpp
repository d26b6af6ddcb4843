#include "editor/CodeNavigator.h"

#include "classlib/ListErrors.h"
#include "editor/CodeDocument.h"
#include "editor/StyleCodes.h"

#include <cstring>

namespace qd {

TCodeNavigator::TCodeNavigator(CodeDocument *memo)
    : m_memo(memo)
    , m_source(memo)
{
    if (m_memo)
        m_memo->registerNavigator(this);
}

TCodeNavigator::~TCodeNavigator()
{
    if (m_memo)
        m_memo->unregisterNavigator(this);
    if (OnFree)
        OnFree(this);
}

TParagraphsList *TCodeNavigator::list() const
{
    return m_source ? &m_source->Paragraphs() : nullptr;
}

// Finds the paragraph holding the position (the last whose start is not above it, so a position
// inside a paragraph's line break stays with that paragraph).
void TCodeNavigator::resolve()
{
    TParagraphsList *pars = list();
    if (!pars || pars->Count() == 0)
        throw Exception(QStringLiteral("Internal CodeMemo error"));
    m_attrIndex = Unset;
    m_lineIndex = Unset;
    m_parIndex = pars->ParagraphOfPos(m_pos);
    m_par = pars->At(m_parIndex);
    m_offset = m_pos - pars->StartPos(m_parIndex);
    bindLines();
}

void TCodeNavigator::bindLines()
{
    if (m_lines)
        m_lines->Bind(list(), m_parIndex);
}

qint64 TCodeNavigator::ParIndex()
{
    if (!m_par)
        resolve();
    return m_parIndex;
}

TParagraph *TCodeNavigator::ParRecord()
{
    if (!m_par)
        resolve();
    return m_par;
}

qint64 TCodeNavigator::ParOffset()
{
    if (!m_par)
        resolve();
    return m_offset;
}

TLinesList &TCodeNavigator::LinesView()
{
    if (!m_par)
        resolve();
    if (!m_lines)
        m_lines = std::make_unique<TLinesList>(list(), m_parIndex);
    return *m_lines;
}

qint32 TCodeNavigator::AttrIndex()
{
    if (!m_par)
        resolve();
    if (m_attrIndex == Unset) {
        qint32 i = 0;
        while (i < m_par->AttrCount && m_par->Attrs[i].Offset() < m_offset)
            ++i;
        m_attrIndex = i;
    }
    return m_attrIndex;
}

qint32 TCodeNavigator::LineInPar()
{
    if (!m_par)
        resolve();
    if (m_lineIndex == Unset) {
        TLinesList &lines = LinesView();
        qint32 i = 0;
        while (i < m_par->LineCount - 1 && lines.Line(i)->EndOffset <= m_offset)
            ++i;
        m_lineIndex = i;
    }
    return m_lineIndex;
}

qint64 TCodeNavigator::LineIndex()
{
    const qint32 inPar = LineInPar();
    return list()->FirstLine(m_parIndex) + inPar;
}

qint64 TCodeNavigator::Column()
{
    const qint32 line = LineInPar();
    return m_offset - LinesView().Line(line)->StartOffset;
}

void TCodeNavigator::SetColumn(qint64 column)
{
    const TLineRecord *line = LinesView().Line(LineInPar());
    const qint64 length = line->EndOffset - line->StartOffset;
    column = qBound<qint64>(0, column, length);
    m_offset = line->StartOffset + column;
    m_pos = list()->StartPos(m_parIndex) + m_offset;
    m_attrIndex = Unset;
}

void TCodeNavigator::SetPos(qint64 position)
{
    if (!m_par) {
        m_pos = position;
        return;
    }
    const qint64 start = list()->StartPos(m_parIndex);
    const qint64 breakEnd = start + m_par->Length + 1;
    if (position >= m_pos && position <= breakEnd) {
        // Forward within the paragraph: step the caches on instead of dropping them.
        m_pos = position;
        m_offset = position - start;
        if (m_attrIndex != Unset)
            while (m_attrIndex < m_par->AttrCount && m_par->Attrs[m_attrIndex].Offset() < m_offset)
                ++m_attrIndex;
        if (m_lineIndex != Unset) {
            TLinesList &lines = LinesView();
            while (m_lineIndex < m_par->LineCount - 1
                && lines.Line(m_lineIndex)->EndOffset <= m_offset)
                ++m_lineIndex;
        }
        return;
    }
    m_pos = position;
    m_attrIndex = Unset;
    m_lineIndex = Unset;
    if (position < start || position > breakEnd) {
        m_par = nullptr;
        m_parIndex = -1;
    } else {
        m_offset = position - start;
    }
}

void TCodeNavigator::SetParagraph(qint64 index)
{
    TParagraphsList *pars = list();
    m_par = pars->Record(index);
    m_pos = pars->StartPos(index);
    m_parIndex = index;
    m_offset = 0;
    m_attrIndex = Unset;
    m_lineIndex = Unset;
    bindLines();
}

TLineRecord *TCodeNavigator::SetLine(qint64 line)
{
    TParagraphsList *pars = list();
    const qint64 count = pars->LineCount();
    if (line >= count)
        line = count - 1;
    if (line < 0)
        line = 0;
    m_parIndex = pars->ParagraphOfLine(line);
    m_par = pars->At(m_parIndex);
    m_lineIndex = qint32(line - pars->FirstLine(m_parIndex));
    bindLines();
    TLineRecord *record = LinesView().Line(m_lineIndex);
    m_offset = record->StartOffset;
    m_pos = pars->StartPos(m_parIndex) + m_offset;
    m_attrIndex = Unset;
    return record;
}

char16_t TCodeNavigator::CharAt()
{
    const qint64 offset = ParOffset();
    if (offset < m_par->Length)
        return m_par->Text[offset];
    return offset == m_par->Length ? u'\r' : u'\n';
}

quint8 TCodeNavigator::StyleAt()
{
    if (!m_source || !m_source->StaticFormat())
        return 0;
    const TLineRecord *line = LinesView().Line(LineInPar());
    quint8 style = line->StyleAtStart;
    const qint64 end = qMin<qint64>(m_offset, m_par->Length);
    for (qint64 i = line->StartOffset; i < end; ++i)
        ToggleStyle(style, m_par->Text[i]);
    return style;
}

TAttrRecord *TCodeNavigator::CurrentAttr()
{
    const qint32 index = AttrIndex();
    return index > 0 ? &m_par->Attrs[index - 1] : m_par->StartAttr;
}

void TCodeNavigator::InsertAttr(const TAttrRecord &record)
{
    const qint32 index = AttrIndex();
    TParagraphsList::ReserveAttr(m_par);
    std::memmove(static_cast<void *>(m_par->Attrs + index + 1), m_par->Attrs + index,
        size_t(m_par->AttrCount - index) * sizeof(TAttrRecord));
    m_par->Attrs[index] = record;
    // Inside the line break the record takes effect at the paragraph's end.
    m_par->Attrs[index].SetOffset(qint32(qMin<qint64>(m_offset, m_par->Length)));
    ++m_par->AttrCount;
    m_attrIndex = index + 1;
}

void TCodeNavigator::RemoveAttr()
{
    const qint32 index = AttrIndex();
    if (index >= m_par->AttrCount || m_par->Attrs[index].Offset() != m_offset)
        throw Exception(QStringLiteral("Internal CodeMemo error"));
    std::memmove(static_cast<void *>(m_par->Attrs + index), m_par->Attrs + index + 1,
        size_t(m_par->AttrCount - index - 1) * sizeof(TAttrRecord));
    --m_par->AttrCount;
    m_lineIndex = Unset;
}

void TCodeNavigator::SkipAttrsHere()
{
    qint32 index = AttrIndex();
    while (index < m_par->AttrCount && m_par->Attrs[index].Offset() == m_offset)
        ++index;
    m_attrIndex = index;
}

bool TCodeNavigator::PrevAttr(qint64 limit)
{
    TParagraphsList *pars = list();
    qint64 parIndex = ParIndex();
    qint32 index = AttrIndex();
    while (index == 0) {
        if (parIndex == 0 || pars->StartPos(parIndex) <= limit)
            return false;
        --parIndex;
        index = pars->At(parIndex)->AttrCount;
    }
    TParagraph *par = pars->At(parIndex);
    const qint64 start = pars->StartPos(parIndex);
    const qint32 candidate = index - 1;
    if (start + par->Attrs[candidate].Offset() < limit)
        return false;
    m_parIndex = parIndex;
    m_par = par;
    m_offset = par->Attrs[candidate].Offset();
    m_pos = start + m_offset;
    m_attrIndex = candidate;
    m_lineIndex = Unset;
    bindLines();
    return true;
}

bool TCodeNavigator::NextAttr(qint64 limit)
{
    TParagraphsList *pars = list();
    qint64 parIndex = ParIndex();
    qint32 index = AttrIndex();
    while (index >= pars->At(parIndex)->AttrCount) {
        if (parIndex == pars->Count() - 1
            || pars->StartPos(parIndex) + pars->At(parIndex)->Length >= limit)
            return false;
        ++parIndex;
        index = 0;
    }
    TParagraph *par = pars->At(parIndex);
    const qint64 start = pars->StartPos(parIndex);
    if (start + par->Attrs[index].Offset() > limit)
        return false;
    m_parIndex = parIndex;
    m_par = par;
    m_offset = par->Attrs[index].Offset();
    m_pos = start + m_offset;
    m_attrIndex = index;
    m_lineIndex = Unset;
    bindLines();
    return true;
}

void TCodeNavigator::Assign(TCodeNavigator &other)
{
    if (!m_memo)
        m_source = other.m_source;
    m_pos = other.m_pos;
    m_par = other.m_par;
    m_parIndex = other.m_parIndex;
    m_lineIndex = other.m_lineIndex;
    m_offset = other.m_offset;
    m_attrIndex = other.m_attrIndex;
    if (m_par)
        bindLines();
}

QString TCodeNavigator::ReadText(qint64 count)
{
    QString out;
    if (count <= 0)
        return out;
    TParagraphsList *pars = list();
    qint64 parIndex = ParIndex();
    qint64 offset = m_offset;
    const qint64 available = pars->TextLength() - m_pos;
    count = qMin(count, qMax<qint64>(0, available));
    out.reserve(count);
    while (out.size() < count) {
        const TParagraph *par = pars->At(parIndex);
        if (offset < par->Length) {
            const qint64 n = qMin<qint64>(par->Length - offset, count - out.size());
            out.append(reinterpret_cast<const QChar *>(par->Text + offset), n);
            offset += n;
            continue;
        }
        if (offset == par->Length) {
            out += QChar(u'\r');
            ++offset;
            continue;
        }
        if (parIndex + 1 >= pars->Count())
            break;
        out += QChar(u'\n');
        ++parIndex;
        offset = 0;
    }
    return out;
}

void TCodeNavigator::Invalidate()
{
    m_par = nullptr;
    m_parIndex = -1;
    m_attrIndex = Unset;
    m_lineIndex = Unset;
}

} // namespace qd
