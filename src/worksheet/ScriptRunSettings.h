#pragma once

#include <QString>

namespace qd {

class TSettings;

// The settings a script run reads, taken from the settings store when the run starts.
struct TScriptRunSettings {
    // Server output is enabled (with the buffer size) at the start of a run and fetched after
    // every statement.
    bool ServerOutputOn = true;
    int DBMSOutputBuffer = 2000;
    // True: a server error ends the run. False: the run goes on with the next statement.
    bool ContinueOnError = false;
    // True: a failed write to the spool file is ignored. False: it ends the run.
    bool ContinueOnOSError = false;
    // Lines kept in the text output; the spool file gets every line.
    int ScreenBufferSize = 500;
    // The text output is brought up to date every this many lines.
    int SpoolLineBreak = 10;
    // A run that gives text output empties the text output first.
    bool ClearSpoolOut = false;
    // Directories searched for nested scripts, separated by ";".
    QString ScriptPath;
    int MaxNestedScript = 5;
};

// The values of the main settings store (declared by declareMainSettings).
TScriptRunSettings ReadScriptRunSettings(const TSettings &settings);

} // namespace qd
