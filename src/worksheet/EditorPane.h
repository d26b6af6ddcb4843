#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>


namespace qd {

class TCodeEditor;
class TCodeGutter;
class TSQLEditor;

// The worksheet's hold on one of its text controls (the script editor and the text output):
// the only place that knows which editor control sits inside, so that the control can be
// exchanged without touching the window. Lines and columns count from 0.
//
// The script editor is a SQL editor with a gutter of line numbers and bookmarks beside it; the
// text output is a plain file editor.
class EditorPane : public QWidget {
    Q_OBJECT
public:
    enum Kind { TextOutput, SqlScript };
    explicit EditorPane(Kind kind = TextOutput, QWidget *parent = nullptr);
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
    // The editor's find and replace dialogs and its go-to-line question.
    void showFind();
    void showReplace();
    void gotoLine();
    // Puts "--" on, or takes it off, the lines of the selection (a script pane only).
    void commentSelection();
    void uncommentSelection();

    // The control itself, for focus and event filters; the widget that receives drops.
    QWidget *control() const;
    QWidget *dropTarget() const;
    TCodeEditor *memo() const { return m_edit; }
    // The SQL editor of a script pane; none for the text output.
    TSQLEditor *sqlEditor() const { return m_sql; }
    // The gutter of a script pane; none for the text output.
    TCodeGutter *gutter() const { return m_gutter; }
    // Adds keywords to a script pane's highlighting (blue, as words of SQL and PL/SQL).
    void addKeywords(const QStringList &keywords);

signals:
    void textChanged();
    // New caret line and column.
    void caretMoved(int line, int column);
    void undoAvailable(bool available);
    void redoAvailable(bool available);

private:
    void notifyUndoState();

    TCodeEditor *m_edit;
    TSQLEditor *m_sql = nullptr;
    TCodeGutter *m_gutter = nullptr;
    bool m_undoAvailable = false;
    bool m_redoAvailable = false;
};

} // namespace qd
