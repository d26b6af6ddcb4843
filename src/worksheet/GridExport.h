#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace qd {

class TOracleDataSet;
class TOracleSession;

// Text formats of a grid export.
enum TGridExportFormat : quint8 {
    gefCommaSeparated = 0, // "a","b","c"
    gefFixedWidth = 1,     // columns side by side, padded or cut to their widths
    gefTabDelimited = 2,   // a<TAB>b<TAB>c
    gefDelimited = 3,      // a<Delimiter>b<Delimiter>c
};

struct TGridExportOptions {
    QString FileName;
    quint8 Format = gefCommaSeparated;
    QString Delimiter;
    bool ExportHeadings = true;
    bool ToClipboard = false;
};

// One exported column: its field and how it is written.
struct TGridExportColumn {
    int FieldIndex = 0; // in the dataset's fields
    QString Name;
    int TypeCode = 0;   // the query's external type code
    int Width = 0;      // fixed width only
    bool RightAligned = false;
};

// Which of the query's columns an export writes: numbers, texts and dates (external type codes
// 3, 4, 5, 8, 10, 12 and 97); LOBs, RAW, objects, references and cursors are left out.
bool IsExportedColumnType(int typeCode, int internalType);

// The fixed width of a column: numbers precision + 1 (scale 0; 23 without a precision) or
// precision + 2 (with a scale; 24 without a precision), texts their size, dates the length of
// the date-and-time text.
int FixedExportWidth(int typeCode, int size, int precision, int scale);

// Writes the rows of dataSet (which must be open) to options.FileName, or gathers them for the
// clipboard, in options.Format; every line ends with CR LF. The column types come from
// dataSet's SQL described again on session. Rows are read from the dataset's first record
// until its end or until terminated() answers true; lines written so far stay in the file.
// Returns the clipboard text when options.ToClipboard, else an empty string.
// A file that cannot be written raises "Error accessing file <name>" and the system's text on
// the next line.
QString ExportGridToFile(TOracleDataSet &dataSet, TOracleSession &session,
    const TGridExportOptions &options, const std::function<bool()> &terminated = {});

} // namespace qd
