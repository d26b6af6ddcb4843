#pragma once

#include "editor/CodeDocument.h"

#include <QString>

namespace qd::test {

// Replaces the whole text of doc by text (CR LF or CR between paragraphs) and forgets the undo
// history of doing so; the caret ends at position 0.
inline void setText(CodeDocument &doc, const QString &text)
{
    doc.SelectAll();
    doc.ReplaceSel(text);
    doc.ClearUndo();
    doc.SetSelStart(0);
}

// Caret to position, then types text as one keystroke at a time would (without moving between).
inline void typeAt(CodeDocument &doc, qint64 position, const QString &text)
{
    doc.SetSelStart(position);
    for (QChar c : text)
        doc.ReplaceSel(QString(c));
}

// Selects from .. to (caret at from) and replaces the selection by text.
inline void replace(CodeDocument &doc, qint64 from, qint64 to, const QString &text)
{
    doc.SetSelStart(from);
    doc.SetSelLength(to - from);
    doc.ReplaceSel(text);
}

} // namespace qd::test
