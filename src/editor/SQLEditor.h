#pragma once

#include "editor/CodeEditor.h"
#include "editor/SQLHighlighting.h"

#include <QStringList>

namespace qd {

// The file editor set up for SQL and PL/SQL: comments and string literals in colour, numbers in
// colour, and the program's keyword lists coloured as whole words (see TSQLHighlighting for the
// rules). The keyword lists are read once by the main window and handed to each editor through
// AddKeywords. Commenting and uncommenting are the line-prefix commands with "--".
class TSQLEditor : public TCodeEditor {
    Q_OBJECT
public:
    explicit TSQLEditor(QWidget *parent = nullptr);
    ~TSQLEditor() override;

    // Adds every string of the list as a whole-word keyword, compared upper-cased, in color
    // (a Windows colour value; the program passes blue for both of its lists).
    void AddKeywords(const QStringList &keywords, TColor color = clSQLKeyword);

    TExtHighlighter &SQLHighlighter() { return m_highlighting->Highlighter(); }
    TNumberHighlighter &NumberHighlighter() { return m_highlighting->Numbers(); }

    void CommentSelection() { AddLinePrefix(QStringLiteral("--")); }
    void UncommentSelection() { RemoveLinePrefix(QStringLiteral("--")); }

private:
    // Freed before the editor, so the highlighters leave it while it is whole.
    std::unique_ptr<TSQLHighlighting> m_highlighting;
};

} // namespace qd
