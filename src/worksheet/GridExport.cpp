// Grid export: a dataset's rows as comma separated, fixed-width or delimited text lines.
#include "worksheet/GridExport.h"

#include "classlib/Exception.h"
#include "classlib/Field.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleVariables.h"
#include "oracle_data/OracleDataSet.h"
#include "shell/FileTools.h"
#include "shell/TextTools.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace qd {

namespace {

// The date-and-time text of a field ("yyyy-MM-dd" and "HH:mm:ss" with a blank between).
const QString kShortDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kLongTimeFormat = QStringLiteral("HH:mm:ss");

constexpr int kNumberWidthWithoutPrecision = 23;
constexpr int kDecimalWidthWithoutPrecision = 24;

const QString kLineEnd = QStringLiteral("\r\n");

bool isNumberType(int typeCode)
{
    return typeCode == SQLT_INT || typeCode == SQLT_FLT;
}

bool isTextType(int typeCode)
{
    return typeCode == SQLT_STR || typeCode == SQLT_LNG || typeCode == SQLT_RID
        || typeCode == SQLT_AVC;
}

// The file being written, closed on every way out. Plain stdio: the failure's errno is the
// system's own account of it.
class ExportFile {
public:
    explicit ExportFile(const QString &fileName) : m_fileName(fileName) {}
    ~ExportFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    ExportFile(const ExportFile &) = delete;
    ExportFile &operator=(const ExportFile &) = delete;

    void Open()
    {
        errno = 0;
        m_file = std::fopen(QFile::encodeName(m_fileName).constData(), "wb");
        if (!m_file)
            fail();
        std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
    }
    void Write(const QByteArray &bytes)
    {
        errno = 0;
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_file) != size_t(bytes.size()))
            fail();
    }
    void Close()
    {
        std::FILE *file = m_file;
        m_file = nullptr;
        errno = 0;
        if (std::fclose(file) != 0)
            fail();
    }

private:
    [[noreturn]] void fail()
    {
        const int code = errno ? errno : EIO;
        throw Exception(QStringLiteral("Error accessing file ") + m_fileName + QLatin1Char('\n')
            + FileErrorText(code));
    }

    QString m_fileName;
    std::FILE *m_file = nullptr;
};

} // namespace

bool IsExportedColumnType(int typeCode, int internalType)
{
    // RAW columns are fetched as hexadecimal text, but they are binary all the same.
    if (internalType == SQLT_BIN || internalType == SQLT_LBI)
        return false;
    return isNumberType(typeCode) || isTextType(typeCode) || typeCode == SQLT_DAT;
}

int FixedExportWidth(int typeCode, int size, int precision, int scale)
{
    if (isNumberType(typeCode)) {
        if (scale == 0) {
            const int width = precision + 1;
            return width == 1 ? kNumberWidthWithoutPrecision : width;
        }
        const int width = precision + 2;
        return width == 2 ? kDecimalWidthWithoutPrecision : width;
    }
    if (typeCode == SQLT_DAT)
        return int(kShortDateFormat.size() + 1 + kLongTimeFormat.size());
    return size;
}

QString ExportLine(const QList<TGridExportColumn> &columns, const QStringList &values,
    quint8 format, const QString &delimiter)
{
    QString line;
    for (int i = 0; i < columns.size(); ++i) {
        const QString &value = values.at(i);
        switch (format) {
        case gefCommaSeparated: {
            if (i > 0)
                line += QLatin1Char(',');
            // A quote inside a value is doubled, so that a reader gets the value back whole.
            QString quoted = value;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            line += QLatin1Char('"') + quoted + QLatin1Char('"');
            break;
        }
        case gefFixedWidth: {
            const TGridExportColumn &column = columns.at(i);
            line += column.RightAligned ? PadLeft(value, column.Width)
                                        : PadRight(value, column.Width);
            break;
        }
        default:
            if (i > 0)
                line += delimiter;
            line += value;
            break;
        }
    }
    return line;
}

QString ExportGridToFile(TOracleDataSet &dataSet, TOracleSession &session,
    const TGridExportOptions &options, const std::function<bool()> &terminated)
{
    const QString delimiter
        = options.Format == gefTabDelimited ? QStringLiteral("\t") : options.Delimiter;

    // The dataset's own statement, described again: its column types, sizes, precisions and
    // scales decide which columns are written and how wide.
    TOracleQuery query;
    query.SetSession(&session);
    query.SetStringFieldsOnly(false);
    query.SetSQL(dataSet.SQL());
    query.SetVariables(dataSet.Variables());
    query.Describe();

    QList<TGridExportColumn> columns;
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        TField *field = dataSet.Fields().Fields(i);
        const int column = field->FieldNo() - 1;
        if (column < 0 || column >= query.FieldCount())
            continue;
        const int type = query.FieldType(column);
        if (!IsExportedColumnType(type, query.FieldInternalType(column)))
            continue;
        TGridExportColumn c;
        c.FieldIndex = i;
        c.Name = field->FieldName();
        c.TypeCode = type;
        c.Width = FixedExportWidth(
            type, query.FieldSize(column), query.FieldPrecision(column), query.FieldScale(column));
        c.RightAligned = isNumberType(type);
        columns.append(c);
    }
    query.Close();

    std::unique_ptr<ExportFile> file;
    if (!options.ToClipboard) {
        file = std::make_unique<ExportFile>(options.FileName);
        file->Open();
    }
    QString clipboard;
    auto write = [&](const QString &line) {
        if (file)
            file->Write((line + kLineEnd).toUtf8());
        else
            clipboard += line + kLineEnd;
    };

    if (options.ExportHeadings) {
        QStringList names;
        for (const TGridExportColumn &c : columns)
            names.append(c.Name);
        write(ExportLine(columns, names, options.Format, delimiter));
    }
    QStringList values;
    values.reserve(columns.size());
    dataSet.First();
    while (!dataSet.Eof() && !(terminated && terminated())) {
        values.clear();
        for (const TGridExportColumn &c : columns)
            values.append(dataSet.Fields().Fields(c.FieldIndex)->AsString());
        write(ExportLine(columns, values, options.Format, delimiter));
        dataSet.Next();
    }
    if (file)
        file->Close();
    return clipboard;
}

} // namespace qd
