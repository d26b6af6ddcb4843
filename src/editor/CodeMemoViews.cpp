#include "editor/CodeMemoViews.h"

#include "classlib/Exception.h"
#include "editor/CodeMemoCore.h"

#include <QBuffer>
#include <QtEndian>

namespace qd {

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Value kinds of the class library's form stream that a list of strings uses.
enum : quint8 {
    vaNull = 0,
    vaList = 1,
    vaString = 6,
    vaLString = 12,
    vaWString = 18,
    vaUTF8String = 20,
};

// Longest piece of one string value; a longer paragraph continues in the next value, the piece
// ending in the continuation mark.
constexpr qsizetype PieceLength = 255;
constexpr char16_t ContinuationMark = 5;

void writeValue(QByteArray &out, QStringView s)
{
    bool latin1 = true;
    for (QChar c : s)
        latin1 = latin1 && c.unicode() <= 0xFF;
    if (latin1) {
        out += char(vaString);
        out += char(quint8(s.size()));
        out += s.toLatin1();
        return;
    }
    out += char(vaWString);
    char size[4];
    qToLittleEndian<qint32>(qint32(s.size()), size);
    out.append(size, 4);
    for (QChar c : s) {
        char unit[2];
        qToLittleEndian<quint16>(c.unicode(), unit);
        out.append(unit, 2);
    }
}

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
    out += char(vaList);
    const TParagraphsList &pars = m_memo->Paragraphs();
    for (qint64 i = 0; i < pars.Count(); ++i) {
        QStringView t = pars.Text(i);
        while (t.size() > PieceLength) {
            QString piece = t.left(PieceLength - 1).toString();
            piece += QChar(ContinuationMark);
            writeValue(out, piece);
            t = t.mid(PieceLength - 1);
        }
        writeValue(out, t);
    }
    out += char(vaNull);
    return out;
}

void TCodeMemoStrings::ReadStrings(const QByteArray &data)
{
    qsizetype pos = 0;
    const auto fail = [] { throw Exception(QStringLiteral("Invalid stream format")); };
    const auto need = [&](qsizetype n) {
        if (n < 0 || data.size() - pos < n)
            fail();
    };
    const auto readInt = [&] {
        need(4);
        const qint32 v = qFromLittleEndian<qint32>(data.constData() + pos);
        pos += 4;
        return v;
    };
    need(1);
    if (quint8(data[pos++]) != vaList)
        fail();
    BeginUpdate();
    try {
        m_memo->Clear();
        qint64 index = 0;
        QString paragraph;
        while (true) {
            need(1);
            const quint8 kind = quint8(data[pos++]);
            if (kind == vaNull)
                break;
            QString value;
            switch (kind) {
            case vaString: {
                need(1);
                const qsizetype n = quint8(data[pos++]);
                need(n);
                value = QString::fromLatin1(data.constData() + pos, n);
                pos += n;
                break;
            }
            case vaLString:
            case vaUTF8String: {
                const qsizetype n = readInt();
                need(n);
                value = kind == vaLString ? QString::fromLatin1(data.constData() + pos, n)
                                          : QString::fromUtf8(data.constData() + pos, n);
                pos += n;
                break;
            }
            case vaWString: {
                const qsizetype n = readInt();
                need(n < 0 ? -1 : n * 2);
                value.resize(n);
                for (qsizetype k = 0; k < n; ++k)
                    value[k] = QChar(qFromLittleEndian<quint16>(data.constData() + pos + 2 * k));
                pos += 2 * n;
                break;
            }
            default:
                fail();
            }
            if (!value.isEmpty() && value.back() == QChar(ContinuationMark)) {
                value.chop(1);
                paragraph += value;
                continue;
            }
            paragraph += value;
            m_memo->SetParagraphText(index++, paragraph);
            paragraph.clear();
        }
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
