// Grid export: a dataset's rows as comma separated, fixed-width or delimited text lines.
#include "worksheet/GridExport.h"

#include "classlib/Exception.h"
#include "classlib/Field.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleVariables.h"
#include "oracle_data/OracleDataSet.h"
#include "shell/FileTools.h"

#include <QFile>

#include <algorithm>
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
// Characters gathered before they are written to the file.
constexpr qsizetype kFlushChars = 1 << 15;

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

// Appends the value of the line's column index in the export's format (headings are written
// like values; fixed width: names of number columns right-aligned, like the numbers).
void appendExportValue(QString &line, int index, const TGridExportColumn &column,
    const QString &value, quint8 format, const QString &delimiter)
{
    switch (format) {
    case gefCommaSeparated:
        if (index > 0)
            line += QLatin1Char(',');
        line += QLatin1Char('"');
        // A quote inside a value is doubled, so that a reader gets the value back whole.
        if (value.contains(QLatin1Char('"'))) {
            for (const QChar c : value) {
                if (c == QLatin1Char('"'))
                    line += c;
                line += c;
            }
        } else {
            line += value;
        }
        line += QLatin1Char('"');
        break;
    case gefFixedWidth: {
        // Padded to the column's width, or cut to it.
        const qsizetype width = std::max(column.Width, 0);
        const qsizetype padding = width - value.size();
        if (padding <= 0) {
            line += QStringView(value).left(width);
        } else if (column.RightAligned) {
            line.resize(line.size() + padding, QLatin1Char(' '));
            line += value;
        } else {
            line += value;
            line.resize(line.size() + padding, QLatin1Char(' '));
        }
        break;
    }
    default:
        if (index > 0)
            line += delimiter;
        line += value;
        break;
    }
}

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
    // Lines gather in one text, which goes to the file as UTF-8 whenever it has grown past
    // kFlushChars (every line ends with CR LF, so no character is split between two writes);
    // for the clipboard the text is the result.
    QString text;
    qsizetype lineStart = 0; // where the line being made starts in text
    auto flush = [&] {
        if (file && !text.isEmpty()) {
            file->Write(text.toUtf8());
            text.resize(0);
        }
    };
    auto endLine = [&] {
        text += kLineEnd;
        if (file && text.size() >= kFlushChars)
            flush();
        lineStart = text.size();
    };

    try {
        if (options.ExportHeadings) {
            for (int i = 0; i < columns.size(); ++i)
                appendExportValue(text, i, columns.at(i), columns.at(i).Name, options.Format, delimiter);
            endLine();
        }
        QList<TField *> fields;
        for (const TGridExportColumn &c : columns)
            fields.append(dataSet.Fields().Fields(c.FieldIndex));
        dataSet.First();
        while (!dataSet.Eof() && !(terminated && terminated())) {
            lineStart = text.size();
            for (int i = 0; i < columns.size(); ++i)
                appendExportValue(
                    text, i, columns.at(i), fields.at(i)->AsString(), options.Format, delimiter);
            endLine();
            dataSet.Next();
        }
        flush();
    } catch (...) {
        // The whole lines made so far stay in the file, as when the export is stopped.
        text.truncate(lineStart);
        try {
            flush();
        } catch (...) {
        }
        throw;
    }
    if (file) {
        file->Close();
        return QString();
    }
    return text;
}

} // namespace qd
