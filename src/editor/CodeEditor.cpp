// The file editor: creation, events, go to line, line prefixes and column-block typing.
#include "editor/CodeEditor.h"

#include "editor/CodeMemoViews.h"
#include "editor/TextCommands.h"

#include <QKeyEvent>

namespace qd {

TCodeEditor::TCodeEditor(QWidget *parent)
    : TCodeMemo(parent)
{
    // Owners supply their own context menu. Files keep the line breaks they were read with;
    // a new document gets the platform's.
    SetOptions(Options() | cmoNoDefaultPopup | cmoAutoLineBreak);
    SetLineBreak(pbLF);
}

TCodeEditor::~TCodeEditor()
{
    delete m_find.data();
    delete m_replace.data();
}

void TCodeEditor::DoAfterOpen(bool success)
{
    if (AfterOpen)
        AfterOpen(this, success);
}

void TCodeEditor::DoAfterSave(bool success)
{
    if (AfterSave)
        AfterSave(this, success);
}

void TCodeEditor::DoAfterSaveAs(bool success)
{
    if (AfterSaveAs)
        AfterSaveAs(this, success);
}

void TCodeEditor::DoAfterClose(bool success)
{
    if (AfterClose)
        AfterClose(this, success);
}

// --- go to line

void TCodeEditor::GotoLine()
{
    QString answer;
    if (!EditorInputQuery(Dialogs, this, QStringLiteral("Goto Line"),
            QStringLiteral("Enter Line, Line:Col, TOP, or BOTTOM"), answer))
        return;
    GotoPosition(answer);
}

namespace {

// A whole decimal number of at least one digit.
bool wholeNumber(const QString &text, qint64 &value)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

} // namespace

bool TCodeEditor::GotoPosition(const QString &answerIn)
{
    // Blanks and control characters off both ends; a-z upper-cased.
    qsizetype from = 0;
    qsizetype to = answerIn.size();
    while (from < to && answerIn.at(from).unicode() < 33)
        ++from;
    while (to > from && answerIn.at(to - 1).unicode() < 33)
        --to;
    QString answer = answerIn.mid(from, to - from);
    for (QChar &c : answer)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);

    qint64 line = 0;
    qint64 column = 0;
    bool valid = true;
    if (answer == QLatin1String("TOP")) {
        line = 0;
    } else if (answer == QLatin1String("BOTTOM") || answer == QLatin1String("BOT")) {
        FormatRange(0, ParagraphCount() - 1);
        line = LineCount() - 1;
    } else if (const qsizetype colon = answer.indexOf(u':'); colon >= 0) {
        valid = wholeNumber(answer.left(colon), line)
            && wholeNumber(answer.mid(colon + 1), column);
        --line;
        --column;
    } else {
        valid = wholeNumber(answer, line);
        --line;
    }
    if (!valid) {
        EditorMessage(Dialogs, this,
            answer
                + QStringLiteral(
                    " is not a valid position.  You must enter numbers, TOP, or BOTTOM."),
            true);
        return false;
    }
    line = qMax<qint64>(0, line);
    FormatUpToLine(line);
    SetCaretLine(qMin(line, LineCount() - 1));
    SetCaretColumn(qMax<qint64>(0, column));
    ScrollInView();
    viewport()->update();
    return true;
}

// --- line prefixes

QString TCodeEditor::selectWholeLines()
{
    const qint64 lower = SelStartNav().Position();
    const qint64 upper = SelEndNav().Position();
    const qint64 firstPar = SelStartNav().ParIndex();
    qint64 lastPar = SelEndNav().ParIndex();
    // A selection that ends at the very start of a line does not take that line.
    if (upper > lower && lastPar > firstPar && SelEndNav().ParOffset() == 0)
        --lastPar;
    const qint64 start = ParagraphStart(firstPar);
    const qint64 end = ParagraphStart(lastPar) + Paragraphs().At(lastPar)->Length;
    SetSelStart(start);
    SetSelLength(end - start);
    return GetTextRange(start, end);
}

void TCodeEditor::replaceLines(const QString &text)
{
    const qint64 start = SelStartNav().Position();
    ReplaceSel(text);
    SetSelStart(start);
    SetSelLength(qint64(text.size()));
    ScrollInView();
    viewport()->update();
}

void TCodeEditor::AddLinePrefix(const QString &prefix)
{
    if (ReadOnly() || prefix.isEmpty())
        return;
    QString text = selectWholeLines();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r\n") + prefix);
    replaceLines(prefix + text);
}

void TCodeEditor::RemoveLinePrefix(const QString &prefix)
{
    if (ReadOnly() || prefix.isEmpty())
        return;
    QStringList lines = selectWholeLines().split(QStringLiteral("\r\n"));
    for (QString &line : lines)
        if (line.startsWith(prefix))
            line.remove(0, prefix.size());
    replaceLines(lines.join(QStringLiteral("\r\n")));
}

void TCodeEditor::MoveCaretToPoint(int x, int y)
{
    const int lineHeight = LineHeight() > 0 ? LineHeight() : LineHeightPx();
    const qint64 line = qMin(TopLine() + qMax(0, y) / qMax(1, lineHeight), LineCount() - 1);
    FormatUpToLine(line);
    TCodeNavigator nav(this);
    nav.SetLine(line);
    const qint64 par = nav.ParIndex();
    const qint64 lineInPar = nav.LineInPar();
    const TLineRecord *record = nav.LinesView().Line(qint32(lineInPar));
    qint64 length = record->EndOffset - record->StartOffset;
    if (lineInPar < nav.ParRecord()->LineCount - 1 && length > 0)
        --length;
    const qint64 column = qBound<qint64>(0, XToColumn(par, x, lineInPar), length);
    SetSelStart(ParagraphStart(par) + record->StartOffset + column);
    viewport()->update();
}

// --- column blocks

bool TCodeEditor::typeIntoColumnBlock(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.size() != 1 || text.at(0).unicode() < 32 || text.at(0).unicode() == 127
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const ColumnRect block = GetColumnSelRect();
    const qint64 top = SelStartNav().ParIndex();
    const qint64 bottom = SelEndNav().ParIndex();
    // Overwrite replaces the block's content; insert mode types in front of it.
    if (Overwrite())
        ClearSelection();
    QStringList column;
    for (qint64 par = top; par <= bottom; ++par)
        column.append(text);
    SetSelStart(ParagraphStart(top));
    PasteColumnAt(*this, block.Left, column.join(QStringLiteral("\r\n")));
    const qint64 right = Overwrite() ? block.Left : block.Right;
    SetColumnSelection(block.Left + 1, top, right + 1, bottom);
    ScrollInView();
    viewport()->update();
    return true;
}

bool TCodeEditor::backspaceInColumnBlock()
{
    const ColumnRect block = GetColumnSelRect();
    const qint64 top = SelStartNav().ParIndex();
    const qint64 bottom = SelEndNav().ParIndex();
    // The block's own width in front of it goes, one column for an empty block.
    const qint64 step = qMax<qint64>(1, block.Right - block.Left);
    if (block.Left - step < 0) {
        SetSelStart(ParagraphStart(SelEndNav().ParIndex()));
        viewport()->update();
        return true;
    }
    SetColumnSelection(block.Left - step, top, block.Left, bottom);
    ClearSelection();
    SetColumnSelection(block.Left - step, top, block.Right - step, bottom);
    ScrollInView();
    viewport()->update();
    return true;
}

void TCodeEditor::keyPressEvent(QKeyEvent *event)
{
    if (ColumnSelection() && !ReadOnly() && !DisplayOnly() && UpdateCount() == 0) {
        const bool done = event->key() == Qt::Key_Backspace
            ? event->modifiers() == Qt::NoModifier && backspaceInColumnBlock()
            : typeIntoColumnBlock(event);
        if (done) {
            event->accept();
            return;
        }
    }
    TCodeMemo::keyPressEvent(event);
}

} // namespace qd
