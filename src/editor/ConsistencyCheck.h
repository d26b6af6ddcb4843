#pragma once

#include <QString>

namespace qd {

class TParagraphsList;

// The editor's consistency check (Ctrl+E): walks every paragraph and its display lines and
// throws Exception at the first disagreement, its message the error's text followed by version:
//   "Error 1"     a paragraph's first line is not the running count of display lines;
//   "Error 2 in " its start position is not the running text position (lengths + 2 each);
//   "Error 3 in " a display line does not start where the one before it ended;
//   "Error 4 in " the last display line does not end at the paragraph's length;
//   "Error 5 in " the running text position is not the text length + 2;
//   "Error 6 in " the running count of display lines is not the line count.
// Lines of paragraphs not yet formatted stand for text not yet cut into lines; only their number
// counts, so errors 3 and 4 are looked for in formatted paragraphs.
void CheckConsistency(const TParagraphsList &pars, const QString &version);

} // namespace qd
