#include "worksheet/EditorPane.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

namespace qd {

EditorPane::EditorPane(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QPlainTextEdit(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    setFocusProxy(m_edit);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setTabChangesFocus(false);
    m_edit->installEventFilter(this);
    connect(m_edit, &QPlainTextEdit::textChanged, this, &EditorPane::textChanged);
    connect(m_edit, &QPlainTextEdit::cursorPositionChanged, this,
        [this] { emit caretMoved(caretLine(), caretColumn()); });
    connect(m_edit, &QPlainTextEdit::undoAvailable, this, [this](bool on) {
        m_undoAvailable = on;
        emit undoAvailable(on);
    });
    connect(m_edit, &QPlainTextEdit::redoAvailable, this, [this](bool on) {
        m_redoAvailable = on;
        emit redoAvailable(on);
    });
}

EditorPane::~EditorPane() = default;

bool EditorPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit || event->type() != QEvent::KeyPress || !m_autoIndent
        || m_edit->isReadOnly())
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    QTextCursor cursor = m_edit->textCursor();
    const QString lineText = cursor.block().text();
    int indent = 0;
    while (indent < lineText.size() && (lineText.at(indent) == u' ' || lineText.at(indent) == u'\t'))
        ++indent;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        && key->modifiers() == Qt::NoModifier) {
        cursor.insertBlock();
        cursor.insertText(lineText.left(std::min(indent, cursor.block().previous().length())));
        m_edit->setTextCursor(cursor);
        return true;
    }
    if (key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier
        && !cursor.hasSelection() && cursor.positionInBlock() > 0
        && cursor.positionInBlock() <= indent) {
        // Back to the indent of the nearest line above that is indented less.
        const int column = cursor.positionInBlock();
        int target = 0;
        for (QTextBlock b = cursor.block().previous(); b.isValid(); b = b.previous()) {
            const QString t = b.text();
            int i = 0;
            while (i < t.size() && (t.at(i) == u' ' || t.at(i) == u'\t'))
                ++i;
            if (i < t.size() && i < column) {
                target = i;
                break;
            }
        }
        cursor.setPosition(cursor.block().position() + target, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString EditorPane::text() const
{
    return m_edit->toPlainText();
}

void EditorPane::setText(const QString &text)
{
    m_edit->setPlainText(text);
}

QStringList EditorPane::lines() const
{
    return text().split(QLatin1Char('\n'));
}

int EditorPane::lineCount() const
{
    return m_edit->document()->blockCount();
}

QString EditorPane::line(int index) const
{
    return m_edit->document()->findBlockByNumber(index).text();
}

void EditorPane::appendLines(const QStringList &lines, int maxLines)
{
    if (lines.isEmpty())
        return;
    QTextDocument *doc = m_edit->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    const bool empty = doc->isEmpty() && doc->blockCount() == 1;
    cursor.movePosition(QTextCursor::End);
    for (int i = 0; i < lines.size(); ++i) {
        if (!(empty && i == 0))
            cursor.insertBlock();
        cursor.insertText(lines.at(i));
    }
    if (maxLines > 0 && doc->blockCount() > maxLines) {
        QTextCursor head(doc);
        head.movePosition(QTextCursor::Start);
        head.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
            doc->blockCount() - maxLines);
        head.removeSelectedText();
    }
    cursor.endEditBlock();
    // The newest output stays in view.
    m_edit->verticalScrollBar()->setValue(m_edit->verticalScrollBar()->maximum());
}

void EditorPane::clear()
{
    m_edit->clear();
}

int EditorPane::caretLine() const
{
    return m_edit->textCursor().blockNumber();
}

int EditorPane::caretColumn() const
{
    return m_edit->textCursor().positionInBlock();
}

void EditorPane::setCaret(int line, int column)
{
    selectInLine(line, column, 0);
}

void EditorPane::selectInLine(int line, int column, int length)
{
    QTextDocument *doc = m_edit->document();
    const QTextBlock block = doc->findBlockByNumber(std::clamp(line, 0, doc->blockCount() - 1));
    const int start = std::clamp(column, 0, block.length() - 1);
    const int end = std::clamp(start + std::max(length, 0), start, block.length() - 1);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + start);
    cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
    m_edit->setTextCursor(cursor);
    m_edit->ensureCursorVisible();
}

QString EditorPane::selectedText() const
{
    return m_edit->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

void EditorPane::insertText(const QString &text)
{
    m_edit->insertPlainText(text);
}

bool EditorPane::isReadOnly() const
{
    return m_edit->isReadOnly();
}

void EditorPane::setReadOnly(bool readOnly)
{
    m_edit->setReadOnly(readOnly);
}

QColor EditorPane::color() const
{
    return m_edit->palette().color(QPalette::Base);
}

void EditorPane::setColor(const QColor &color)
{
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, color);
    m_edit->setPalette(palette);
}

void EditorPane::setEditorFont(const QFont &font, const QColor &textColor)
{
    m_edit->setFont(font);
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Text, textColor);
    m_edit->setPalette(palette);
}

bool EditorPane::isModified() const
{
    return m_edit->document()->isModified();
}

void EditorPane::setModified(bool modified)
{
    m_edit->document()->setModified(modified);
}

void EditorPane::undo()
{
    m_edit->undo();
}

void EditorPane::redo()
{
    m_edit->redo();
}

void EditorPane::cut()
{
    m_edit->cut();
}

void EditorPane::copy()
{
    m_edit->copy();
}

void EditorPane::paste()
{
    m_edit->paste();
}

void EditorPane::selectAll()
{
    m_edit->selectAll();
}

QWidget *EditorPane::control() const
{
    return m_edit;
}

} // namespace qd

namespace qd {

QWidget *EditorPane::dropTarget() const
{
    return m_edit->viewport();
}

} // namespace qd
