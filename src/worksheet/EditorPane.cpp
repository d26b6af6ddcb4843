#include "worksheet/EditorPane.h"

#include "editor/CodeGutter.h"
#include "editor/SQLEditor.h"
#include "oracle/ScreenServices.h"

#include <QHBoxLayout>

#include <algorithm>

namespace qd {

namespace {

// The editor keeps paragraphs joined by CR LF; the worksheet speaks in lines joined by LF.
QString toEditor(const QString &text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\n', QStringLiteral("\r\n"));
    return result;
}

QString fromEditor(const QString &text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

TColor toTColor(const QColor &color)
{
    return TColor(color.red() | (color.green() << 8) | (color.blue() << 16));
}

} // namespace

EditorPane::EditorPane(Kind kind, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (kind == SqlScript) {
        m_sql = new TSQLEditor(this);
        m_edit = m_sql;
        m_gutter = new TCodeGutter(this);
        m_gutter->setObjectName(QStringLiteral("CodeGutter1"));
        m_gutter->SetCodeMemo(m_sql);
        // Room for four digits beside the icons.
        m_gutter->setFixedWidth(qMax(30, m_gutter->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 4));
        layout->addWidget(m_gutter);
    } else {
        m_edit = new TCodeEditor(this);
    }
    // The editor's questions and messages are the worksheet's message boxes.
    m_edit->Dialogs.Confirm = [](QWidget *, const QString &message, const QString &buttons) {
        return ScreenConfirm(message, buttons);
    };
    m_edit->Dialogs.Message = [](QWidget *, const QString &message, bool error) {
        ScreenMessage(error ? mkError : mkInformation, message);
    };
    // Until the worksheet has an editor menu of its own, the editor's built-in one serves.
    m_edit->SetOptions(m_edit->Options() & ~TCodeMemoOptions(cmoNoDefaultPopup));
    layout->addWidget(m_edit);
    setFocusProxy(m_edit);
    m_edit->SetScrollBars(ssBoth);
    connect(m_edit, &TCodeMemo::changed, this, [this] {
        emit textChanged();
        notifyUndoState();
    });
    connect(m_edit, &TCodeMemo::caretMoved, this,
        [this] { emit caretMoved(caretLine(), caretColumn()); });
}

EditorPane::~EditorPane() = default;

void EditorPane::addKeywords(const QStringList &keywords)
{
    if (m_sql && !keywords.isEmpty())
        m_sql->AddKeywords(keywords, clSQLKeyword);
}

void EditorPane::notifyUndoState()
{
    const bool undo = isUndoAvailable();
    const bool redo = isRedoAvailable();
    if (undo != m_undoAvailable)
        emit undoAvailable(m_undoAvailable = undo);
    if (redo != m_redoAvailable)
        emit redoAvailable(m_redoAvailable = redo);
}

QString EditorPane::text() const
{
    return fromEditor(m_edit->Text());
}

void EditorPane::setText(const QString &text)
{
    m_edit->SetTextBuf(text);
    m_edit->ClearUndo();
    m_edit->SetModified(false);
    m_edit->SetSelStart(0);
    m_edit->update();
    notifyUndoState();
}

QStringList EditorPane::lines() const
{
    QStringList result;
    const qint64 count = m_edit->ParagraphCount();
    result.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        result.append(m_edit->GetParagraphText(i));
    return result;
}

int EditorPane::lineCount() const
{
    return int(m_edit->ParagraphCount());
}

QString EditorPane::line(int index) const
{
    if (index < 0 || index >= m_edit->ParagraphCount())
        return QString();
    return m_edit->GetParagraphText(index);
}

void EditorPane::appendLines(const QStringList &lines, int maxLines)
{
    if (lines.isEmpty())
        return;
    const bool readOnly = m_edit->ReadOnly();
    m_edit->BeginUpdate();
    const bool empty = m_edit->TextLength() == 0 && m_edit->ParagraphCount() <= 1;
    m_edit->SetSelStart(m_edit->TextLength());
    m_edit->ReplaceSel((empty ? QString() : QStringLiteral("\r\n")) + toEditor(lines.join(u'\n')));
    if (maxLines > 0 && m_edit->ParagraphCount() > maxLines) {
        m_edit->SetSelStart(0);
        m_edit->SetSelLength(m_edit->ParagraphStart(m_edit->ParagraphCount() - maxLines));
        m_edit->ReplaceSel(QString());
    }
    m_edit->EndUpdate();
    // Output is not undone: keeping undo records for it would only grow.
    m_edit->ClearUndo();
    m_edit->SetReadOnly(readOnly);
    // The newest output stays in view.
    m_edit->SetSelStart(m_edit->TextLength());
    m_edit->ScrollInView();
    m_edit->update();
}

void EditorPane::clear()
{
    m_edit->Clear();
    m_edit->ClearUndo();
    m_edit->update();
}

int EditorPane::caretLine() const
{
    return int(m_edit->GetCaretParagraph());
}

int EditorPane::caretColumn() const
{
    const qint64 par = m_edit->GetCaretParagraph();
    return int(m_edit->GetSelStart() - m_edit->ParagraphStart(par));
}

void EditorPane::setCaret(int line, int column)
{
    selectInLine(line, column, 0);
}

void EditorPane::selectInLine(int line, int column, int length)
{
    const qint64 par = std::clamp<qint64>(line, 0, std::max<qint64>(m_edit->ParagraphCount() - 1, 0));
    const qint64 parLength = m_edit->GetParagraphText(par).size();
    const qint64 start = std::clamp<qint64>(column, 0, parLength);
    const qint64 end = std::clamp<qint64>(start + std::max(length, 0), start, parLength);
    m_edit->SetSelStart(m_edit->ParagraphStart(par) + start);
    if (end > start)
        m_edit->SetSelLength(end - start);
    m_edit->ScrollInView();
    m_edit->update();
}

QString EditorPane::selectedText() const
{
    return fromEditor(m_edit->GetSelText());
}

void EditorPane::insertText(const QString &text)
{
    m_edit->SetSelText(toEditor(text));
    m_edit->update();
}

bool EditorPane::isReadOnly() const
{
    return m_edit->ReadOnly();
}

void EditorPane::setReadOnly(bool readOnly)
{
    m_edit->SetReadOnly(readOnly);
}

QColor EditorPane::color() const
{
    return m_edit->ToQColor(m_edit->Color());
}

void EditorPane::setColor(const QColor &color)
{
    m_edit->SetColor(toTColor(color));
}

void EditorPane::setEditorFont(const QFont &font, const QColor &textColor)
{
    m_edit->setFont(font);
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Text, textColor);
    m_edit->setPalette(palette);
    if (m_gutter) {
        // The numbers a little smaller than the text, so they fit the editor's lines.
        QFont numbers = font;
        if (numbers.pointSizeF() > 0)
            numbers.setPointSizeF(qMax(6.0, numbers.pointSizeF() - 1));
        m_gutter->setFont(numbers);
        m_gutter->setFixedWidth(qMax(30, QFontMetrics(numbers).horizontalAdvance(QStringLiteral("00000")) + 4));
        m_gutter->update();
    }
}

bool EditorPane::autoIndent() const
{
    return m_edit->Options().testFlag(cmoAutoIndent);
}

void EditorPane::setAutoIndent(bool on)
{
    TCodeMemoOptions options = m_edit->Options();
    options.setFlag(cmoAutoIndent, on);
    options.setFlag(cmoBackIndent, on);
    m_edit->SetOptions(options);
}

bool EditorPane::isUndoAvailable() const
{
    return m_edit->CanUndo();
}

bool EditorPane::isRedoAvailable() const
{
    return m_edit->CanRedo();
}

bool EditorPane::isModified() const
{
    return m_edit->Modified();
}

void EditorPane::setModified(bool modified)
{
    m_edit->SetModified(modified);
}

void EditorPane::undo()
{
    m_edit->Undo();
    m_edit->update();
    notifyUndoState();
}

void EditorPane::redo()
{
    m_edit->Redo();
    m_edit->update();
    notifyUndoState();
}

void EditorPane::cut()
{
    m_edit->CutToClipboard();
}

void EditorPane::copy()
{
    m_edit->CopyToClipboard();
}

void EditorPane::paste()
{
    m_edit->PasteFromClipboard();
}

void EditorPane::selectAll()
{
    m_edit->SelectAll();
    m_edit->update();
}

void EditorPane::showFind()
{
    m_edit->ShowFind();
}

void EditorPane::showReplace()
{
    if (!m_edit->ReadOnly())
        m_edit->ShowReplace();
}

void EditorPane::gotoLine()
{
    m_edit->GotoLine();
}

void EditorPane::commentSelection()
{
    if (m_sql)
        m_sql->CommentSelection();
}

void EditorPane::uncommentSelection()
{
    if (m_sql)
        m_sql->UncommentSelection();
}

QWidget *EditorPane::control() const
{
    return m_edit;
}

QWidget *EditorPane::dropTarget() const
{
    return m_edit->viewport();
}

} // namespace qd
