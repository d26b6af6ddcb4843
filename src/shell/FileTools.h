#pragma once

#include <QString>

namespace qd {

// A name for a new temporary file: the temporary directory, the current time as a count of
// milliseconds and ".TMP". A name that already exists is passed over for the next count, so two
// calls in the same millisecond do not share a file.
QString MakeTempFileName();

// The full name of fileName found in the directories of path (separated by ";"), looked for in
// order; an absolute fileName is only checked for existence. Empty when not found. Only regular
// files count.
QString FindFileOnPath(const QString &path, const QString &fileName);

// The text for an input/output error code: below 100 the operating system's message for the
// code (an errno value here), 100..107 the file-variable errors, anything else
// "I/O error <code> has occurred.".
QString FileErrorText(int errorCode);

} // namespace qd
