#pragma once

#include <QString>
#include <QStringList>

namespace qd {

class TOracleSession;

// Writes to outputFile a script holding a CREATE OR REPLACE PROCEDURE procName that exports the
// rows of query on the server: its cursor is the query, and it writes every row with UTL_FILE
// into fileName in the server directory dirName, in one of the grid export formats (0 comma
// separated in double quotes, 1 fixed width, 2 tab delimited, 3 delimited by "|"), with a
// heading line when withHeader. The query is described on connection to learn its columns;
// columns that are no number, text or date are left out.
//
// Names pasted into string literals of the generated code have their quotes doubled. A bad
// query raises before the file is touched; a file that cannot be written is reported in an
// error box and gives false.
bool GenerateExportProcedure(const QStringList &query, quint8 format, bool withHeader,
    const QString &delimiter, const QString &outputFile, const QString &fileName,
    const QString &dirName, const QString &procName, TOracleSession &connection);

// The generated text, one string per line (the body of GenerateExportProcedure); generatedAt is
// the "Generated on" line's date and time.
struct TExportColumn {
    QString Name;
    int TypeCode = 0;
    int Size = 0;
    int Precision = 0;
    int Scale = 0;
};
QStringList ExportProcedureText(const QStringList &query, const QList<TExportColumn> &columns,
    quint8 format, bool withHeader, const QString &fileName, const QString &dirName,
    const QString &procName, const QString &generatedAt);

} // namespace qd
