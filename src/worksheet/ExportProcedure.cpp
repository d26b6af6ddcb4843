// The PL/SQL export procedure generator.
#include "worksheet/ExportProcedure.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "shell/MessageBoxes.h"

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>

#include <iterator>

namespace qd {

namespace {

const QString kProductAddress = QStringLiteral("https://www.quarlodesk.com");
const QString kDateFormat = QStringLiteral("MM-DD-YYYY HH24:MI:SS");
const QString kSeparatorLine
    = QStringLiteral("/*--------------------------------------------------------------*/");
const QString DQ = QStringLiteral("\"");
constexpr int kDateWidth = 21;

enum class ColumnClass { Number, Text, Date, Other };

ColumnClass classOf(int typeCode)
{
    switch (typeCode) {
    case SQLT_INT:
    case SQLT_FLT:
        return ColumnClass::Number;
    case SQLT_STR:
    case SQLT_LNG:
    case SQLT_RID:
    case SQLT_AVC:
        return ColumnClass::Text;
    case SQLT_DAT:
        return ColumnClass::Date;
    default:
        return ColumnClass::Other;
    }
}

// A value pasted between single quotes of the generated code.
QString literal(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return quoted;
}

// A column name as a field of the cursor record: names that are no plain upper-case
// identifier (a quoted alias such as "Total $" or "it's") must be quoted to be found.
QString fieldName(const QString &name)
{
    bool plain = !name.isEmpty() && name.at(0) >= u'A' && name.at(0) <= u'Z';
    for (QChar c : name)
        plain = plain
            && ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'$'
                || c == u'#');
    return plain ? name : QLatin1Char('"') + name + QLatin1Char('"');
}

QString widthOf(const TExportColumn &column)
{
    switch (classOf(column.TypeCode)) {
    case ColumnClass::Number:
        if (column.Scale == 0) {
            const int width = column.Precision + 1;
            return QString::number(width == 1 ? 23 : width);
        } else {
            const int width = column.Precision + 2;
            return QString::number(width == 2 ? 24 : width);
        }
    case ColumnClass::Text:
        return QString::number(column.Size);
    default:
        return QString::number(kDateWidth);
    }
}

QString headingLine(const TExportColumn &column, bool first, quint8 format, const QString &sep)
{
    const QString n = literal(column.Name);
    const ColumnClass kind = classOf(column.TypeCode);
    switch (format) {
    case 0:
        return first ? QStringLiteral("  UTL_FILE.PUT(fhandle, '") + DQ + n + DQ + QStringLiteral("');")
                     : QStringLiteral("  UTL_FILE.PUT(fhandle, ',") + DQ + n + DQ + QStringLiteral("');");
    case 1:
        if (kind == ColumnClass::Number)
            return QStringLiteral("  UTL_FILE.PUT(fhandle, lpad('") + n + QStringLiteral("',")
                + widthOf(column) + QStringLiteral(",' '));");
        return QStringLiteral("  UTL_FILE.PUT(fhandle, rpad('") + n + QStringLiteral("',")
            + widthOf(column) + QStringLiteral(",' '));");
    default:
        return first ? QStringLiteral("  UTL_FILE.PUT(fhandle, '") + n + QStringLiteral("');")
                     : QStringLiteral("  UTL_FILE.PUT(fhandle, ") + sep + QStringLiteral("||'") + n
                + QStringLiteral("');");
    }
}

QString dataLine(const TExportColumn &column, bool first, quint8 format, const QString &sep)
{
    const QString c = fieldName(column.Name);
    const QString f = kDateFormat;
    const ColumnClass kind = classOf(column.TypeCode);
    const QString put = QStringLiteral("    UTL_FILE.PUT(fhandle, ");
    switch (format) {
    case 0: {
        const QString open = first ? QStringLiteral("'") + DQ + QStringLiteral("'||")
                                   : QStringLiteral("',") + DQ + QStringLiteral("'||");
        const QString close = QStringLiteral("||'") + DQ + QStringLiteral("');");
        if (kind == ColumnClass::Number)
            return put + open + QStringLiteral("to_char(rec_exp.") + c + QStringLiteral(")") + close;
        if (kind == ColumnClass::Text)
            return put + open + QStringLiteral("rec_exp.") + c + close;
        return put + open + QStringLiteral("to_char(rec_exp.") + c + QStringLiteral(",'") + f
            + QStringLiteral("')") + close;
    }
    case 1:
        if (kind == ColumnClass::Number)
            return put + QStringLiteral("lpad(nvl(to_char(rec_exp.") + c + QStringLiteral("),' '),")
                + widthOf(column) + QStringLiteral(",' '));");
        if (kind == ColumnClass::Text)
            return put + QStringLiteral("rpad(nvl(rec_exp.") + c + QStringLiteral(",' '),")
                + widthOf(column) + QStringLiteral(",' '));");
        return put + QStringLiteral("rpad(nvl(to_char(rec_exp.") + c + QStringLiteral(",'") + f
            + QStringLiteral("'), ' '),") + widthOf(column) + QStringLiteral(",' '));");
    default: {
        const QString lead = first ? QString() : sep + QStringLiteral("||");
        if (kind == ColumnClass::Number)
            return put + lead + QStringLiteral("to_char(rec_exp.") + c + QStringLiteral("));");
        if (kind == ColumnClass::Text)
            return put + lead + QStringLiteral("rec_exp.") + c + QStringLiteral(");");
        return put + lead + QStringLiteral("to_char(rec_exp.") + c + QStringLiteral(", '") + f
            + QStringLiteral("'));");
    }
    }
}

struct Handler {
    const char *when;
    const char *name;
    int number;
};

const Handler kHandlers[] = {
    { "  WHEN UTL_FILE.INVALID_PATH", "UTL_FILE.INVALID_PATH", -20001 },
    { "  WHEN UTL_FILE.INVALID_MODE", "UTL_FILE.INVALID_MODE", -20002 },
    { "  WHEN UTL_FILE.INVALID_FILEHANDLE", "UTL_FILE.INVALID_FILEHANDLE", -20003 },
    { "  WHEN UTL_FILE.INVALID_OPERATION", "UTL_FILE.INVALID_OPERATION", -20004 },
    { "  WHEN UTL_FILE.READ_ERROR", "UTL_FILE.READ_ERROR", -20005 },
    { "  WHEN UTL_FILE.WRITE_ERROR", "UTL_FILE.WRITE_ERROR", -20006 },
    { "  WHEN VALUE_ERROR", "VALUE_ERROR", -20007 },
    { "  WHEN UTL_FILE.INTERNAL_ERROR", "UTL_FILE.INTERNAL_ERROR", -20008 },
    { "  WHEN OTHERS", "Unknown", -20009 },
};

} // namespace

QStringList ExportProcedureText(const QStringList &query, const QList<TExportColumn> &columns,
    quint8 format, bool withHeader, const QString &fileName, const QString &dirName,
    const QString &procName, const QString &generatedAt)
{
    const QString sep = format == 2 ? QStringLiteral("chr(9)") : QStringLiteral("'|'");
    QList<TExportColumn> exported;
    for (const TExportColumn &column : columns)
        if (classOf(column.TypeCode) != ColumnClass::Other)
            exported.append(column);

    QStringList out;
    out << QStringLiteral("CREATE OR REPLACE PROCEDURE ") + procName + QStringLiteral(" IS")
        << QString();
    out << kSeparatorLine;
    out << QStringLiteral("-- This procedure was generated by Quarlo Desk, ") + kProductAddress;
    out << QStringLiteral("-- Generated on ") + generatedAt;
    static const char *const formatComments[] = {
        "-- File format is comma separated, field values enclosed in quotes",
        "-- File format is fixed width", "-- File format is tab delimited",
    };
    QString formatComment = format < 3 ? QLatin1String(formatComments[format])
                                       : QStringLiteral("-- File format is delimted by ") + DQ + sep + DQ;
    formatComment += withHeader ? QStringLiteral(", with a header line.")
                                : QStringLiteral(", with no header line.");
    out << formatComment;
    out << QStringLiteral("-- File is exported to directory ") + dirName;
    out << QStringLiteral("-- File is named ") + fileName;
    out << QStringLiteral("-- Exceptions raised:");
    static const char *const raised[] = { "--   -20001: UTL_FILE Invalid path",
        "--   -20002: UTL_FILE Invalid mode", "--   -20003: UTL_FILE Invalid filehandle",
        "--   -20004: UTL_FILE Invalid operation", "--   -20005: UTL_FILE Read error",
        "--   -20006: UTL_FILE Write error", "--   -20007: UTL_FILE Value error",
        "--   -20008: UTL_FILE Internal error", "--   -20009: Gerneral error handler (when others)" };
    for (const char *line : raised)
        out << QLatin1String(line);
    out << kSeparatorLine << QString();

    out << QStringLiteral("  CURSOR cur_exp IS");
    for (const QString &line : query)
        out << QStringLiteral("    ") + line;
    out << QStringLiteral("  ;") << QString();

    out << QStringLiteral("  fhandle  UTL_FILE.FILE_TYPE; -- file handle variable for output file")
        << QStringLiteral("  errMsg   varchar2(2000);     -- for storing error messages")
        << QStringLiteral("  procName varchar2(65) := '") + literal(procName)
            + QStringLiteral("'; -- for storing the name of the procedure")
        << QStringLiteral("  dirName  varchar2(200) := '") + literal(dirName)
            + QStringLiteral("'; -- for storing the output directory")
        << QStringLiteral("  fileName varchar2(200) := '") + literal(fileName)
            + QStringLiteral("'; -- for storing the output filename")
        << QString();

    out << QStringLiteral("BEGIN")
        << QStringLiteral("  fhandle := UTL_FILE.FOpen(dirName, fileName, 'w');") << QString();
    if (withHeader) {
        out << QStringLiteral("  /* Create headings */");
        for (int i = 0; i < exported.size(); ++i)
            out << headingLine(exported.at(i), i == 0, format, sep);
        out << QStringLiteral("  UTL_FILE.PUT_LINE(fhandle, '');") << QString();
    }
    out << QStringLiteral("  /* Export the data */") << QStringLiteral("  FOR rec_exp IN cur_exp LOOP");
    for (int i = 0; i < exported.size(); ++i)
        out << dataLine(exported.at(i), i == 0, format, sep);
    out << QStringLiteral("    UTL_FILE.PUT_LINE(fhandle, '');") << QStringLiteral("  END LOOP;")
        << QStringLiteral("  UTL_FILE.FClose(fhandle);") << QString();

    out << QStringLiteral("EXCEPTION");
    for (int i = 0; i < int(std::size(kHandlers)); ++i) {
        const Handler &h = kHandlers[i];
        out << QLatin1String(h.when) << QStringLiteral("    THEN");
        if (i >= 3)
            out << QStringLiteral("      UTL_FILE.FCLOSE(fhandle);") << QString();
        out << QStringLiteral("      IF cur_exp%ISOPEN") << QStringLiteral("         THEN CLOSE cur_exp;")
            << QStringLiteral("      END IF;") << QString();
        out << QStringLiteral("      errmsg := procName||': ") + QLatin1String(h.name)
                + QStringLiteral(" error has occurred. '||SQLERRM(SQLCODE);");
        out << QStringLiteral("      RAISE_APPLICATION_ERROR (") + QString::number(h.number)
                + QStringLiteral(", errmsg);")
            << QString();
    }
    out << QStringLiteral("END;") << QStringLiteral("/");
    return out;
}

bool GenerateExportProcedure(const QStringList &query, quint8 format, bool withHeader,
    const QString &delimiter, const QString &outputFile, const QString &fileName,
    const QString &dirName, const QString &procName, TOracleSession &connection)
{
    Q_UNUSED(delimiter); // the format decides the separator expression
    QList<TExportColumn> columns;
    {
        TOracleQuery q;
        q.SetSession(&connection);
        q.SetStringFieldsOnly(false);
        for (const QString &line : query)
            q.SQL().Add(line);
        // Parsed and described only: the rows are the procedure's business.
        q.Describe();
        for (int i = 0; i < q.FieldCount(); ++i) {
            // RAW is fetched as text but stays binary: it is left out like a LOB.
            const int internal = q.FieldInternalType(i);
            const bool raw = internal == SQLT_BIN || internal == SQLT_LBI;
            columns.append({ q.FieldName(i), raw ? internal : q.FieldType(i), q.FieldSize(i),
                q.FieldPrecision(i), q.FieldScale(i) });
        }
        q.Close();
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    const QStringList text = ExportProcedureText(query, columns, format, withHeader, fileName,
        dirName, procName,
        locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral(" at ")
            + locale.toString(now.time(), QLocale::ShortFormat));
    QSaveFile file(outputFile);
    QByteArray bytes;
    for (const QString &line : text)
        bytes += line.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        ShowErrorMessage(QStringLiteral("Error accessing file ") + outputFile + QLatin1Char('\n')
            + file.errorString());
        return false;
    }
    return true;
}

} // namespace qd
