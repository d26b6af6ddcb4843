#pragma once

#include "shell/TimeTools.h"

#include <QString>

namespace qd {

class TStringList;

// "  " + title + " - [" + user + "@" + database + "]", user and database in lower case (A to Z).
QString MakeConnectionCaption(const QString &title, const QString &user, const QString &database);

// Trims every line at both ends and deletes the lines that are then empty.
void TrimLines(TStringList &lines);

// Elapsed time as "1h 2m 3s 4ms" (a negative count counts as 0), for a count of milliseconds
// and between two time stamps.
QString ElapsedText(qint64 milliseconds);
QString ElapsedTextBetween(const TTimeStamp &start, const TTimeStamp &stop);

// A name dropped into the editor, with a separating comma: placement "Before" gives indent
// blanks + "," + text, "After" text + "," + indent blanks, anything else text + indent blanks.
QString FormatListItem(const QString &text, const QString &placement, int indent);
// The same with blanks only: "Before" indent blanks + text, "After" text + indent blanks,
// anything else the text alone.
QString FormatPaddedItem(const QString &text, const QString &placement, int indent);

} // namespace qd
