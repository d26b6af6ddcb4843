#pragma once

#include <QString>

namespace qd {

class TStringList;

// Small string routines shared by the shell, the worksheet and the script engine. Positions
// are 1-based, as in the rest of the program's string handling; 0 means "not found".

// The file name of path without its folder and without its extension ("/a/b.sql" gives "b").
// Both "/" and "\" separate folders.
QString ExtractFileBaseName(const QString &path);

// The first word of text: tabs count as blanks; characters up to the first blank that is not
// inside double quotes. The double quotes themselves are dropped, so "my file.sql" is one word.
QString GetFirstWord(const QString &text);

// From start (1-based) skips tabs and blanks; when quoteChar follows, the text up to the
// closing quoteChar with a doubled quoteChar standing for one (an unclosed quote runs to the
// end); otherwise the rest of the text, trimmed.
QString ExtractQuotedText(const QString &text, int start, QChar quoteChar);
// The same, also giving the 0-based index just behind what was taken (behind the closing
// quote, or the end of the text).
QString ExtractQuotedText(const QString &text, int start, QChar quoteChar, int &end);

// Every occurrence of oldPart, searched left to right in the part not yet processed and
// case-sensitively, replaced by newPart (replaced text is not searched again). Empty text or
// an empty oldPart gives text unchanged.
QString ReplaceAll(const QString &text, const QString &oldPart, const QString &newPart);

// text cut to width characters, or filled with padChar up to width (on the right, on the left).
QString PadRight(const QString &text, int width, QChar padChar = QLatin1Char(' '));
QString PadLeft(const QString &text, int width, QChar padChar = QLatin1Char(' '));

// Position of subText in text, searching from start (1-based; below 1 counts as 1); 0 when
// not found or when subText is empty.
int PosFrom(const QString &subText, const QString &text, int start);

// The first position from 1 to Length - 2 whose character is one of delimiters; 0 when none.
// The last two characters are never reported.
int FirstDelimiterPos(const QString &delimiters, const QString &text);

// The lines of a list joined with one blank between them.
QString JoinLines(const TStringList &lines);

// Window captions: name + " - [" + detail + "]", and the reverse. StripCaptionDetail leaves the
// caption unchanged when detail is empty or the part is not found.
QString MakeCaption(const QString &name, const QString &detail);
QString StripCaptionDetail(const QString &caption, const QString &detail);

// The busy mark of a caption or status text: its first character replaced by "*", or by a
// blank again. Empty text stays empty.
QString SetBusyMark(const QString &text);
QString ClearBusyMark(const QString &text);

} // namespace qd
