#pragma once

#include "worksheet/KXStatement.h"

namespace qd {

// The full path of fileName found in the ";"-separated directory list, or an empty string.
QString SearchScriptFile(const QString &dirList, const QString &fileName);

// The file a nested-script statement names. "\" separators are read as "/". A name is tried as
// given and, when its file part has no extension, with ".SQL" and ".sql" added. A name of
// "@@" that is not absolute is read against holdingDir, the directory of the script that holds
// the statement; another name with a directory part is used as it stands; a bare name is
// searched in the working directory, then in scriptPath (directories separated by ";").
// Raises EKXException "Could not find file <name>." when no candidate exists.
QString ResolveScriptFile(TKXStatementKind kind, const QString &name, const QString &holdingDir,
    const QString &scriptPath);

// Largest nested script read, in bytes.
inline constexpr qint64 MaxScriptFileSize = 64 * 1024 * 1024;

// Reads a nested script's text (UTF-8, or Latin-1 where it is not). Raises EKXException for a
// file that cannot be read or that is larger than MaxScriptFileSize; a special file that never
// ends is cut short there too.
QString ReadScriptText(const QString &fileName);

// The directory of a file path with a trailing "/".
QString DirectoryOf(const QString &filePath);

} // namespace qd
