#pragma once

// What the editor puts on the system clipboard and takes from it. Other programs get plain text
// with Linux line breaks; a column block carries, beside it, a private marker type holding the
// single byte 2. Text from other programs may break its lines with LF, CR LF or CR: each becomes
// a paragraph break of the editor (CR LF).

#include <QString>
#include <QStringList>

class QMimeData;

namespace qd {

// The marker type of a column block on the clipboard.
inline constexpr char MemoBlockMimeType[] = "application/x-quarlodesk-memoblocktype";
inline constexpr char MemoBlockMarker = 2;

// Editor text (CR LF between paragraphs) as other programs expect it: every CR LF or lone CR
// becomes LF.
QString ClipboardTextFromEditor(const QString &text);
// Text of another program as editor text: LF, CR LF and lone CR each become CR LF.
QString EditorTextFromClipboard(const QString &text);
// The lines of a text broken by CR LF, CR or LF.
QStringList SplitTextLines(const QString &text);

// New clipboard data for editor text; columnBlock adds the block marker.
QMimeData *MakeClipboardData(const QString &editorText, bool columnBlock);

struct TClipboardContent {
    bool HasText = false;
    QString Text; // editor text (CR LF between paragraphs)
    bool Block = false; // the marker says the text is a column block
};
// Reads clipboard data (none: nothing there).
TClipboardContent ReadClipboardData(const QMimeData *data);

} // namespace qd
