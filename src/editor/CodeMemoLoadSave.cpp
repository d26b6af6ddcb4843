// Loading and saving the whole text.
#include "editor/CodeMemoCore.h"

#include "classlib/Exception.h"
#include "editor/StyleCodes.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qd {

namespace {

constexpr qint64 ReadPiece = 65500;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Index of the first CR or LF of t at or after from; size when there is none. Eight characters
// are looked at a time, since a loaded text is mostly line content.
qsizetype nextLineBreak(const char16_t *t, qsizetype from, qsizetype size)
{
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
        if (mask != 0)
            return i + qsizetype(__builtin_ctz(unsigned(mask)) / 2);
    }
#endif
    for (; i < size; ++i)
        if (t[i] == u'\r' || t[i] == u'\n')
            return i;
    return size;
}

// text without the adjacent style codes that cancel each other.
QString withoutRedundantCodes(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (!IsStyleCode(text[i].unicode())) {
            out += text[i++];
            continue;
        }
        // A run of codes: a code met again in the run cancels with its earlier twin.
        const qsizetype runStart = i;
        while (i < text.size() && IsStyleCode(text[i].unicode()))
            ++i;
        std::vector<bool> keep(size_t(i - runStart), true);
        qsizetype open[32];
        std::fill(std::begin(open), std::end(open), -1);
        for (qsizetype k = runStart; k < i; ++k) {
            qsizetype &o = open[text[k].unicode() & 31];
            if (o >= 0) {
                keep[size_t(o - runStart)] = keep[size_t(k - runStart)] = false;
                o = -1;
            } else {
                o = k;
            }
        }
        for (qsizetype k = runStart; k < i; ++k)
            if (keep[size_t(k - runStart)])
                out += text[k];
    }
    return out;
}

} // namespace

void CodeMemoCore::loadText(const QString &textIn)
{
    QString text = textIn;
    if (m_nullReplacement != 0)
        text.replace(QChar(u'\0'), QChar(m_nullReplacement));

    // The paragraphs: CR, LF, CR LF and LF CR each end one.
    using Span = TParagraphsList::TextSpan;
    std::vector<Span> spans;
    bool breakSeen = false;
    const QChar *t = text.constData();
    const qsizetype size = text.size();
    qsizetype from = 0;
    qsizetype i = 0;
    while (true) {
        i = nextLineBreak(reinterpret_cast<const char16_t *>(t), i, size);
        if (i >= size)
            break;
        const char16_t c = t[i].unicode();
        spans.push_back({ from, i - from });
        const char16_t pair = c == u'\r' ? u'\n' : u'\r';
        const bool two = i + 1 < size && t[i + 1].unicode() == pair;
        if (!breakSeen && (Options() & cmoAutoLineBreak)) {
            breakSeen = true;
            m_lineBreak = two ? (c == u'\r' ? pbCRLF : pbLFCR) : (c == u'\r' ? pbCR : pbLF);
        }
        if (two)
            ++i;
        from = ++i;
    }
    spans.push_back({ from, size - from });
    const qint64 limit = Paragraphs().Limits().MaxParagraphLength;
    if (Options() & cmoDiscardTrailingSpaces)
        for (Span &s : spans)
            while (s.Length > 0 && isBlank(t[s.From + s.Length - 1]))
                --s.Length;
    // An over-long paragraph is cut and continued as a new one.
    bool overLong = false;
    for (const Span &s : spans)
        overLong = overLong || s.Length > limit;
    if (overLong) {
        std::vector<Span> cut;
        for (const Span &s : spans) {
            qint64 done = 0;
            do {
                const qint64 n = qMin<qint64>(limit, s.Length - done);
                cut.push_back({ s.From + done, n });
                done += n;
            } while (done < s.Length);
        }
        spans.swap(cut);
    }

    BeginUpdate();
    SetModified(true);
    // The old text goes with its undo history; every navigator returns to the start.
    for (TCodeNavigator *nav : Navigators()) {
        nav->Invalidate();
        nav->SetPos(0);
    }
    ClearUndo();
    TParagraphsList &pars = Paragraphs();
    pars.Clear();
    // The paragraphs read their characters from the loaded text itself.
    pars.Insert(0, qint64(spans.size()));
    pars.ShareTexts(0, text, spans.data(), qint64(spans.size()));
    CodeDocument::SetSelStart(0);
    ClearUndo();
    m_formattedUpTo = 0;
    m_lastParCount = pars.Count();
    m_widest = WidestUnknown;
    m_vSub = 0;
    m_hOffset = 0;
    m_topNav->SetPos(0);
    ClearDirty();
    fireProgress(pars.Count(), true);
    InvalidateAll();
    EndUpdate();
    ScrollRangesChanged();
    TextLoaded();
}

void CodeMemoCore::LoadFromStream(QIODevice &stream)
{
    QByteArray bytes;
    // A stream that knows its size is read into one buffer, with no growing on the way.
    if (!stream.isSequential() && stream.size() > stream.pos())
        bytes.reserve(qsizetype(qMin<qint64>(stream.size() - stream.pos(), qint64(1) << 30)));
    QString readError;
    QByteArray piece(ReadPiece, Qt::Uninitialized);
    while (true) {
        const qint64 n = stream.read(piece.data(), ReadPiece);
        if (n < 0)
            readError = stream.errorString();
        if (n <= 0)
            break;
        bytes.append(piece.constData(), n);
        fireProgress(0, false);
    }
    // UTF-8 (a byte order mark stays a character, so it is written back); anything that is not
    // valid UTF-8 is Latin-1, which maps every byte to one character and back.
    QStringDecoder utf8(
        QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        text = QString::fromLatin1(bytes);
        m_latin1 = true;
    } else {
        m_latin1 = false;
    }
    loadText(text);
    if (!readError.isEmpty())
        throw Exception(QStringLiteral("Read error: %1").arg(readError));
}

void CodeMemoCore::SaveToStream(QIODevice &stream)
{
    const QString lineBreak = m_lineBreak == pbLFCR ? QStringLiteral("\n\r")
        : m_lineBreak == pbCR                       ? QStringLiteral("\r")
        : m_lineBreak == pbLF                       ? QStringLiteral("\n")
                                                    : QStringLiteral("\r\n");
    // Latin-1 text goes back as Latin-1 while every character fits; otherwise UTF-8 keeps it all.
    bool latin1 = m_latin1;
    const TParagraphsList &pars = Paragraphs();
    if (latin1) {
        for (qint64 i = 0; i < pars.Count() && latin1; ++i)
            for (QChar c : pars.Text(i))
                if (c.unicode() > 0xFF) {
                    latin1 = false;
                    break;
                }
    }
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray buffer;
    const auto flush = [&](bool force) {
        if (buffer.size() < (1 << 16) && !force)
            return;
        if (!buffer.isEmpty() && stream.write(buffer) != buffer.size())
            throw Exception(QStringLiteral("Write error: %1").arg(stream.errorString()));
        buffer.clear();
    };
    const auto put = [&](QStringView s) {
        if (latin1)
            buffer += s.toLatin1();
        else
            buffer += utf8.encode(s);
    };
    for (qint64 i = 0; i < pars.Count(); ++i) {
        QStringView text = pars.Text(i);
        QString copy;
        if (StaticFormat()) {
            copy = withoutRedundantCodes(text);
            text = copy;
        }
        if (Options() & cmoDiscardTrailingSpaces)
            while (!text.isEmpty() && isBlank(text.back()))
                text.chop(1);
        put(text);
        if (i + 1 < pars.Count())
            put(lineBreak);
        flush(false);
        fireProgress(i, false);
    }
    flush(true);
    fireProgress(pars.Count(), true);
}

void CodeMemoCore::LoadFromFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    LoadFromStream(file);
    SetModified(false);
}

void CodeMemoCore::SaveToFile(const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(
            QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    SaveToStream(file);
    if (!file.commit())
        throw Exception(
            QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}

void CodeMemoCore::SetTextBuf(const QString &text)
{
    if (TextLength() == 0 && text.isEmpty())
        return;
    SetModified(true);
    loadText(text);
}

void CodeMemoCore::SetStaticFormat(bool on)
{
    if (on == StaticFormat())
        return;
    const bool modified = Modified();
    const QString text = GetTextRange(0, TextLength());
    CodeDocument::SetStaticFormat(on);
    loadText(text);
    SetModified(modified);
}

void CodeMemoCore::SetOptions(TCodeMemoOptions options)
{
    const TCodeMemoOptions old = Options();
    CodeDocument::SetOptions(options);
    if ((options & cmoDiscardTrailingSpaces) && !(old & cmoDiscardTrailingSpaces)) {
        // Trailing blanks become virtual columns: the text is read again without them.
        const bool modified = Modified();
        loadText(GetTextRange(0, TextLength()));
        SetModified(modified);
        return;
    }
    if (!m_hasWindow)
        return;
    if ((old ^ options) & cmoAutoScrollBars)
        ScrollRangesChanged();
    else if (((old ^ options) & (cmoWindowsSelColors | cmoFullLineSelect)) && SelLength() != 0)
        invalidateSelection(SelStartNav().Position(), SelEndNav().Position());
}

} // namespace qd
