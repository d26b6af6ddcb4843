#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>


namespace qd {

class TCodeMemo;

// The worksheet's hold on one of its text controls (the script editor and the text output):
// the only place that knows which editor control sits inside, so that the control can be
// exchanged without touching the window. Lines and columns count from 0.
class EditorPane : public QWidget {
    Q_OBJECT
public:
    explicit EditorPane(QWidget *parent = nullptr);
    ~EditorPane() override;

    QString text() const;
    void setText(const QString &text);
    QStringList lines() const;
    int lineCount() const;
    QString line(int index) const;

    // Output pane: appends a line; drops the first lines beyond maxLines (0: no limit).
    void appendLines(const QStringList &lines, int maxLines);
    void clear();

    int caretLine() const;
    int caretColumn() const;
    // Clamped to the text; scrolls the caret into view.
    void setCaret(int line, int column);
    // Selects length characters of the line from column (caret at the end of the selection).
    void selectInLine(int line, int column, int length);
    QString selectedText() const;
    // Inserts at the caret, replacing a selection.
    void insertText(const QString &text);

    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    QColor color() const;
    void setColor(const QColor &color);
    void setEditorFont(const QFont &font, const QColor &textColor);

    // The editor's auto-indent and back-indent options, both on or both off.
    bool autoIndent() const;
    void setAutoIndent(bool on);

    bool isUndoAvailable() const;
    bool isRedoAvailable() const;
    bool isModified() const;
    void setModified(bool modified);
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void selectAll();

    // The control itself, for focus and event filters; the widget that receives drops.
    QWidget *control() const;
    QWidget *dropTarget() const;
    TCodeMemo *memo() const { return m_edit; }

signals:
    void textChanged();
    // New caret line and column.
    void caretMoved(int line, int column);
    void undoAvailable(bool available);
    void redoAvailable(bool available);

private:
    void notifyUndoState();

    TCodeMemo *m_edit;
    bool m_undoAvailable = false;
    bool m_redoAvailable = false;
};

} // namespace qd
