// The formatted state stream: an image of the text with its display lines and attributes, so a
// text formatted once can be shown again without formatting it.
#include "editor/CodeMemoCore.h"

#include "classlib/Exception.h"

#include <QIODevice>
#include <QtEndian>

#include <vector>

namespace qd {

namespace {

constexpr int LineRecordBytes = 36;
constexpr int AttrRecordBytes = 60;

void putInt(QByteArray &out, qint64 v)
{
    char b[4];
    qToLittleEndian<qint32>(qint32(v), b);
    out.append(b, 4);
}

struct Reader {
    const QByteArray &data;
    qsizetype pos = 0;
    void need(qint64 n) const
    {
        if (n < 0 || data.size() - pos < n)
            throw Exception(QStringLiteral("The formatted state is damaged"));
    }
    qint32 take()
    {
        need(4);
        const qint32 v = qFromLittleEndian<qint32>(data.constData() + pos);
        pos += 4;
        return v;
    }
    qint32 count()
    {
        const qint32 v = take();
        if (v < 0)
            throw Exception(QStringLiteral("The formatted state is damaged"));
        return v;
    }
};

struct ParState {
    qint32 FirstLine = 0;
    std::vector<TLineRecord> Lines;
    std::vector<TAttrRecord> Attrs;
    QString Text;
};

} // namespace

void CodeMemoCore::SaveFormattedState(QIODevice &stream)
{
    FormatRange(0, ParagraphCount() - 1);
    const TParagraphsList &pars = Paragraphs();
    QByteArray out;
    putInt(out, TextLength());
    putInt(out, LineCount());
    putInt(out, WidestLine());
    putInt(out, pars.Count());
    for (qint64 i = 0; i < pars.Count(); ++i) {
        const TParagraph *p = pars.At(i);
        putInt(out, p->Length);
        putInt(out, pars.FirstLine(i));
        putInt(out, pars.StartPos(i));
        putInt(out, p->AttrCount);
        putInt(out, p->LineCount);
        for (qint32 l = 0; l < p->LineCount; ++l) {
            const TLineRecord &r = l == 0 ? p->FirstLine : p->FurtherLines[l - 1];
            for (qint64 v : { qint64(r.StartOffset), qint64(r.EndOffset), qint64(r.Width),
                     qint64(r.FullWidth), qint64(r.Spaces), qint64(r.JustifyStart),
                     qint64(r.AttrAtStart), qint64(r.StyleAtStart), qint64(0) })
                putInt(out, v);
        }
        for (qint32 a = 0; a < p->AttrCount; ++a)
            for (qint32 w : p->Attrs[a].Words)
                putInt(out, w);
        // Characters as UTF-16 code units, little-endian.
        for (qint32 k = 0; k < p->Length; ++k) {
            char b[2];
            qToLittleEndian<quint16>(p->Text[k], b);
            out.append(b, 2);
        }
        if (out.size() >= (1 << 16)) {
            if (stream.write(out) != out.size())
                throw Exception(QStringLiteral("Write error: %1").arg(stream.errorString()));
            out.clear();
        }
    }
    if (stream.write(out) != out.size())
        throw Exception(QStringLiteral("Write error: %1").arg(stream.errorString()));
}

void CodeMemoCore::LoadFormattedState(QIODevice &stream, bool)
{
    const QByteArray data = stream.readAll();
    Reader in{ data };
    // Everything is read and checked before the text is replaced: a damaged stream changes
    // nothing.
    const qint32 textLength = in.count();
    in.count(); // display line count: follows from the paragraphs
    const qint32 widest = in.count();
    const qint32 parCount = in.count();
    if (parCount < 1)
        throw Exception(QStringLiteral("The formatted state is damaged"));
    std::vector<ParState> pars;
    qint64 position = 0;
    const qint64 limit = Paragraphs().Limits().MaxParagraphLength;
    for (qint32 i = 0; i < parCount; ++i) {
        in.need(20);
        ParState par;
        const qint32 length = in.count();
        par.FirstLine = in.count();
        const qint32 start = in.count();
        const qint32 attrCount = in.count();
        const qint32 lineCount = in.count();
        if (start != position || length > limit || lineCount < 1)
            throw Exception(QStringLiteral("The formatted state is damaged"));
        in.need(qint64(lineCount) * LineRecordBytes + qint64(attrCount) * AttrRecordBytes
            + qint64(length) * 2);
        par.Lines.resize(size_t(lineCount));
        qint32 expect = 0;
        for (TLineRecord &r : par.Lines) {
            r.StartOffset = in.take();
            r.EndOffset = in.take();
            r.Width = in.take();
            r.FullWidth = in.take();
            r.Spaces = in.take();
            r.JustifyStart = in.take();
            r.AttrAtStart = in.take();
            r.StyleAtStart = quint8(in.take());
            in.take();
            if (r.StartOffset != expect || r.EndOffset < r.StartOffset || r.EndOffset > length)
                throw Exception(QStringLiteral("The formatted state is damaged"));
            expect = r.EndOffset;
        }
        if (expect != length)
            throw Exception(QStringLiteral("The formatted state is damaged"));
        par.Attrs.resize(size_t(attrCount));
        qint32 lastOffset = 0;
        for (TAttrRecord &a : par.Attrs) {
            for (qint32 &w : a.Words)
                w = in.take();
            if (a.Offset() < lastOffset || a.Offset() > length)
                throw Exception(QStringLiteral("The formatted state is damaged"));
            lastOffset = a.Offset();
        }
        par.Text.resize(length);
        for (qint32 k = 0; k < length; ++k)
            par.Text[k] = QChar(qFromLittleEndian<quint16>(data.constData() + in.pos + 2 * k));
        in.pos += 2 * qsizetype(length);
        position += qint64(length) + 2;
        pars.push_back(std::move(par));
    }
    if (position - 2 != textLength)
        throw Exception(QStringLiteral("The formatted state is damaged"));

    BeginUpdate();
    loadText(QString());
    TParagraphsList &list = Paragraphs();
    list.Clear();
    list.Insert(0, parCount);
    for (qint32 i = 0; i < parCount; ++i) {
        ParState &par = pars[size_t(i)];
        list.SetText(i, par.Text);
        list.SetLineCount(i, qint64(par.Lines.size()));
        TLinesList view(&list, i);
        for (size_t l = 0; l < par.Lines.size(); ++l)
            view.Put(qint64(l), par.Lines[l]);
        TParagraph *p = list.At(i);
        for (const TAttrRecord &a : par.Attrs) {
            TParagraphsList::ReserveAttr(p);
            p->Attrs[p->AttrCount++] = a;
        }
        p->Formatted = p->KeywordsApplied = p->StartStopApplied = true;
    }
    for (TCodeNavigator *nav : Navigators()) {
        nav->Invalidate();
        nav->SetPos(0);
    }
    m_formattedUpTo = parCount;
    m_lastParCount = parCount;
    m_widest = widest;
    ClearDirty();
    EndUpdate();
    ScrollRangesChanged();
    InvalidateAll();
}

void CodeMemoCore::FormatForMeasurer(const TextMeasurer *measurer, int width)
{
    // Formatting for another device (a printer): its measurer and the width it offers.
    if (measurer) {
        SetMeasurer(measurer);
        ClearDirty();
        m_formatWidth = qMax(1, width);
        m_widest = WidestUnknown;
        FormatRange(0, ParagraphCount() - 1, true);
        return;
    }
    SetMeasurer(ScreenMeasurer());
    m_formatWidth = 0;
    ClearDirty();
    FontChanged();
}

void CodeMemoCore::ClearAttributes()
{
    CodeDocument::ClearAttributes();
    ClearDirty();
    ReformatAll();
    InvalidateAll();
}

qint64 CodeMemoCore::PositionFromPoint(int x, int y)
{
    const qint64 line = qMax<qint64>(0, TopLine() + YToLine(y));
    FormatUpToLine(line);
    if (line >= LineCount())
        return TextLength();
    m_scratch->SetLine(line);
    const qint64 par = m_scratch->ParIndex();
    if (!Paragraphs().At(par)->Formatted) {
        FormatRange(par, par);
        m_scratch->Invalidate();
        m_scratch->SetLine(line);
    }
    const qint32 lineInPar = m_scratch->LineInPar();
    const qint64 start = m_scratch->Position();
    return start + XToColumn(m_scratch->ParIndex(), x, lineInPar);
}

} // namespace qd
