#include "editor/TextCommands.h"

#include "editor/ClipboardText.h"
#include "editor/StyleCodes.h"

namespace qd {

void ToggleStyleCode(CodeDocument &doc, char16_t code)
{
    if (!doc.StaticFormat())
        return;
    const qint64 length = doc.SelLength();
    if (qAbs(length) >= MaxStyledSelection)
        return;
    const QString codeText(1, QChar(code));
    const QString text = codeText + doc.GetSelText() + codeText;
    int flags = CodeDocument::rfNoStyleRestore;
    if (length == 0)
        flags |= CodeDocument::rfNoCodeCleanup; // keep the empty pair to type into
    // The codes may cancel codes beside them and vanish: the new text is found by a navigator
    // that follows the edits rather than by its length.
    TCodeNavigator start(&doc);
    start.SetPos(doc.SelStartNav().Position());
    doc.ReplaceSel(text, flags);
    const qint64 from = start.Position();
    const qint64 to = doc.GetSelStart();
    if (length == 0) {
        doc.SetSelStart(to - 1);
    } else if (length > 0) {
        // The caret was at the lower end.
        doc.SetSelStart(from);
        doc.SetSelLength(to - from);
    } else {
        doc.SetSelLength(from - to);
    }
}

void PasteColumnAt(CodeDocument &doc, qint64 column, const QString &text)
{
    QStringList lines = SplitTextLines(text);
    // A block's last line ends with a break too: that break ends the line, it adds none.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    doc.BeginUpdate();
    try {
        const qint64 firstPar = doc.SelStartNav().ParIndex();
        doc.SetBreakMerge();
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qint64 par = firstPar + i;
            if (par >= doc.ParagraphCount()) {
                doc.SetSelStart(doc.TextLength());
                doc.ReplaceSel(QStringLiteral("\r\n"));
            }
            const QString parText = doc.GetParagraphText(par);
            const qint64 index
                = CharIndexOfColumn(parText, column, doc.TabStops(), doc.StaticFormat());
            const qint64 shortfall
                = ColumnShortfall(parText, column, doc.TabStops(), doc.StaticFormat());
            doc.SetSelStart(doc.ParagraphStart(par) + index);
            doc.SetSelText(QString(qMax<qint64>(0, shortfall), QChar(u' ')) + lines.at(i));
        }
    } catch (...) {
        doc.EndUpdate();
        throw;
    }
    doc.EndUpdate();
}

namespace {

// Steps one character back from position, a paragraph break (CR LF) as one step.
qint64 stepBack(const CodeDocument &doc, qint64 position)
{
    if (position >= 2 && doc.CharAt(position - 1) == u'\n' && doc.CharAt(position - 2) == u'\r')
        return position - 2;
    return position - 1;
}

qint64 stepForward(const CodeDocument &doc, qint64 position)
{
    if (doc.CharAt(position) == u'\r' && position + 1 < doc.TextLength())
        return position + 2;
    return position + 1;
}

bool separates(char16_t c, const TSeparatorTest &isSeparator)
{
    return c == u'\r' || c == u'\n' || isSeparator(c);
}

} // namespace

qint64 PreviousWordStart(
    const CodeDocument &doc, qint64 position, const TSeparatorTest &isSeparator)
{
    qint64 p = qBound<qint64>(0, position, doc.TextLength());
    while (p > 0 && separates(doc.CharAt(p - 1), isSeparator))
        p = stepBack(doc, p);
    while (p > 0 && !separates(doc.CharAt(p - 1), isSeparator))
        --p;
    return qMax<qint64>(0, p);
}

qint64 NextWordStart(const CodeDocument &doc, qint64 position, const TSeparatorTest &isSeparator)
{
    const qint64 length = doc.TextLength();
    qint64 p = qBound<qint64>(0, position, length);
    while (p < length && !separates(doc.CharAt(p), isSeparator))
        ++p;
    while (p < length && separates(doc.CharAt(p), isSeparator))
        p = stepForward(doc, p);
    return qMin(p, length);
}

} // namespace qd
