#pragma once

#include <QString>

namespace qd {

class Environment;

// The per-user directory where the program keeps its settings, accounts, recent
// lists and history: $QD_HOME when set, else ~/.config/QuarloDesk.
class ProgramDirectory {
public:
    // The directory's path, created (with its parents) when it does not exist yet.
    // Throws qd::Exception when it cannot be created.
    static QString path();
    static QString path(const Environment &environment);

    // path() joined with a file name.
    static QString filePath(const QString &fileName);

    // The path without creating anything.
    static QString location(const Environment &environment);
};

} // namespace qd
