#pragma once

// Editing commands of the editor that need only its text model: the style-code pair around the
// selection, pasting a column block, and the word steps of Ctrl+Left and Ctrl+Right.

#include "editor/CodeDocument.h"

#include <QString>

#include <functional>

namespace qd {

// Selections this long or longer are left alone by the style commands.
inline constexpr qint64 MaxStyledSelection = 2147483545;

// Puts code before and after the selection (only with static formatting on). The selection is
// selected again with its codes, in the same direction; with nothing selected the caret stands
// between the two codes, so that typing goes on in the new style.
void ToggleStyleCode(CodeDocument &doc, char16_t code);

// Pastes the lines of text (broken by CR LF, CR or LF) as a column block: line i goes into the
// i-th paragraph from the selection's lower end at the given display column, short paragraphs
// are padded with blanks and missing ones appended. One update bracket around it all.
void PasteColumnAt(CodeDocument &doc, qint64 column, const QString &text);

using TSeparatorTest = std::function<bool(char16_t)>;
// Ctrl+Left: back over separators, then over word characters. A paragraph break (CR LF) is one
// separator step, so the caret never lands inside it.
qint64 PreviousWordStart(
    const CodeDocument &doc, qint64 position, const TSeparatorTest &isSeparator);
// Ctrl+Right: over the word characters, then over separators to the next word's start.
qint64 NextWordStart(const CodeDocument &doc, qint64 position, const TSeparatorTest &isSeparator);

} // namespace qd
