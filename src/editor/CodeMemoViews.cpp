#include "editor/CodeMemoViews.h"

#include "editor/CodeMemoCore.h"
#include "editor/FormValues.h"

#include <QBuffer>

namespace qd {

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Longest piece of one string value; a longer paragraph continues in the next value, the piece
// ending in the continuation mark.
constexpr qsizetype PieceLength = 255;
constexpr char16_t ContinuationMark = 5;

} // namespace

// --- shared operations

QString TCodeMemoStrings::Text() const
{
    return m_memo->GetTextRange(0, m_memo->TextLength());
}

void TCodeMemoStrings::SetText(const QString &text)
{
    m_memo->SetTextBuf(text);
}

void TCodeMemoStrings::Assign(const QStringList &strings)
{
    // As if the strings were saved to a stream and loaded back: each one a line.
    QString text;
    for (const QString &s : strings) {
        text += s;
        text += CRLF;
    }
    m_memo->SetTextBuf(text);
}

void TCodeMemoStrings::Clear()
{
    m_memo->Clear();
}

void TCodeMemoStrings::LoadFromStream(QIODevice &stream)
{
    m_memo->LoadFromStream(stream);
}

void TCodeMemoStrings::SaveToStream(QIODevice &stream)
{
    m_memo->SaveToStream(stream);
}

void TCodeMemoStrings::BeginUpdate()
{
    m_memo->BeginUpdate();
}

void TCodeMemoStrings::EndUpdate()
{
    m_memo->EndUpdate();
}

bool TCodeMemoStrings::HasStringsData() const
{
    return m_memo->TextLength() >= 1;
}

QByteArray TCodeMemoStrings::WriteStrings() const
{
    QByteArray out;
    TFormValueWriter writer(out);
    writer.WriteListBegin();
    const TParagraphsList &pars = m_memo->Paragraphs();
    for (qint64 i = 0; i < pars.Count(); ++i) {
        QStringView t = pars.Text(i);
        while (t.size() > PieceLength) {
            QString piece = t.left(PieceLength - 1).toString();
            piece += QChar(ContinuationMark);
            writer.WriteString(piece);
            t = t.mid(PieceLength - 1);
        }
        writer.WriteString(t);
    }
    writer.WriteListEnd();
    return out;
}

void TCodeMemoStrings::ReadStrings(const QByteArray &data)
{
    TFormValueReader reader(data);
    reader.ReadListBegin();
    BeginUpdate();
    try {
        m_memo->Clear();
        qint64 index = 0;
        QString paragraph;
        while (!reader.EndOfList()) {
            QString value = reader.ReadString();
            if (!value.isEmpty() && value.back() == QChar(ContinuationMark)) {
                value.chop(1);
                paragraph += value;
                continue;
            }
            paragraph += value;
            m_memo->SetParagraphText(index++, paragraph);
            paragraph.clear();
        }
        reader.ReadListEnd();
        if (!paragraph.isEmpty())
            m_memo->SetParagraphText(index, paragraph);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- one string per paragraph

qint64 TCodeParaStrings::Count()
{
    const qint64 count = m_memo->ParagraphCount();
    return m_memo->Paragraphs().At(count - 1)->Length == 0 ? count - 1 : count;
}

QString TCodeParaStrings::Get(qint64 index)
{
    return m_memo->Paragraphs().Text(index).toString();
}

void TCodeParaStrings::Put(qint64 index, const QString &s)
{
    m_memo->SetParagraphText(index, s);
}

qint64 TCodeParaStrings::Add(const QString &s)
{
    const qint64 count = m_memo->ParagraphCount();
    if (m_memo->Paragraphs().At(count - 1)->Length != 0)
        m_memo->SetParagraphText(count, s);
    else
        m_memo->SetParagraphText(count - 1, s + CRLF);
    return m_memo->ParagraphCount() - 1;
}

void TCodeParaStrings::Delete(qint64 index)
{
    if (index < 0 || index >= m_memo->ParagraphCount())
        return;
    const qint64 length = m_memo->Paragraphs().At(index)->Length;
    const bool last = index == m_memo->ParagraphCount() - 1;
    m_memo->SetSelStart(m_memo->ParagraphStart(index));
    m_memo->SetSelLength(last ? length : length + 2);
    m_memo->ReplaceSel(QString());
}

void TCodeParaStrings::Insert(qint64 index, const QString &s)
{
    if (index >= m_memo->ParagraphCount()) {
        m_memo->SetSelStart(m_memo->TextLength());
        m_memo->ReplaceSel(CRLF + s);
    } else {
        m_memo->SetSelStart(m_memo->ParagraphStart(qMax<qint64>(0, index)));
        m_memo->ReplaceSel(s + CRLF);
    }
}

// --- one string per display line

qint64 TCodeLinesStrings::Count()
{
    m_memo->FormatRange(0, m_memo->ParagraphCount() - 1);
    const qint64 count = m_memo->LineCount();
    const TParagraph *last = m_memo->Paragraphs().At(m_memo->ParagraphCount() - 1);
    const TLineRecord &line
        = last->LineCount > 1 ? last->FurtherLines[last->LineCount - 2] : last->FirstLine;
    return line.StartOffset == line.EndOffset ? count - 1 : count;
}

QString TCodeLinesStrings::Get(qint64 index)
{
    return m_memo->GetLineText(index);
}

void TCodeLinesStrings::Put(qint64 index, const QString &s)
{
    m_memo->FormatUpToLine(index);
    if (index < 0 || index >= m_memo->LineCount())
        return;
    TCodeNavigator nav(m_memo);
    const TLineRecord *line = nav.SetLine(index);
    m_memo->SetSelStart(nav.Position());
    m_memo->SetSelLength(line->EndOffset - line->StartOffset);
    m_memo->ReplaceSel(s);
}

qint64 TCodeLinesStrings::Add(const QString &s)
{
    m_memo->ParaStrings().Add(s);
    m_memo->SetSelStart(m_memo->TextLength());
    m_memo->ScrollInView();
    return m_memo->LineCount() - 1;
}

void TCodeLinesStrings::Delete(qint64 index)
{
    if (index < 0 || index >= Count())
        return;
    TCodeNavigator nav(m_memo);
    const TLineRecord *line = nav.SetLine(index);
    const TParagraph *p = nav.ParRecord();
    qint64 length = line->EndOffset - line->StartOffset;
    if (line->EndOffset >= p->Length && nav.ParIndex() < m_memo->ParagraphCount() - 1)
        length += 2;
    m_memo->SetSelStart(nav.Position());
    m_memo->SetSelLength(length);
    m_memo->ReplaceSel(QString());
}

void TCodeLinesStrings::Insert(qint64 index, const QString &s)
{
    m_memo->FormatUpToLine(index);
    if (index < 0 || index > m_memo->LineCount())
        return;
    if (index >= m_memo->LineCount()) {
        m_memo->SetSelStart(m_memo->TextLength());
        m_memo->ReplaceSel(CRLF + s);
        return;
    }
    TCodeNavigator nav(m_memo);
    nav.SetLine(index);
    m_memo->SetSelStart(nav.Position());
    m_memo->ReplaceSel(s + CRLF);
}

} // namespace qd
