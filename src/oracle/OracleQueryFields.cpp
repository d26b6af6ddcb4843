// The select list of TOracleQuery: describe, define, array buffers and field access.

#include "oracle/OracleQuery.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleSession.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qd {

namespace {

constexpr int OCI7LongBuffer = 4096;
constexpr int OCI7LongChunk = 64000;

class FieldCallLock {
public:
    explicit FieldCallLock(TOracleSession &session)
        : m_session(session)
    {
        m_session.Enter(true);
    }
    ~FieldCallLock() { m_session.Leave(true); }
    FieldCallLock(const FieldCallLock &) = delete;
    FieldCallLock &operator=(const FieldCallLock &) = delete;

private:
    TOracleSession &m_session;
};

QString longTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

// The short date, and with a time part the long time after a blank.
QString dateTimeText(double value)
{
    const QDateTime dt = DateTimeToQDateTime(value);
    const QLocale locale;
    QString text = locale.toString(dt.date(), QLocale::ShortFormat);
    double whole = 0;
    if (std::modf(value, &whole) != 0.0)
        text += QLatin1Char(' ') + locale.toString(dt.time(), longTimeFormat(locale));
    return text;
}

double textToDateTime(const QString &text)
{
    const QLocale locale;
    const QString trimmed = text.trimmed();
    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    QDateTime dt
        = locale.toDateTime(trimmed, dateFormat + QLatin1Char(' ') + longTimeFormat(locale));
    if (!dt.isValid()) {
        const QDate date = locale.toDate(trimmed, dateFormat);
        if (date.isValid())
            return QDateToDateTime(date);
        dt = QDateTime::fromString(trimmed, Qt::ISODate);
    }
    if (!dt.isValid())
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return QDateTimeToDateTime(dt);
}

int textToInteger(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

double textToFloat(const QString &text)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = trimmed.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

QString bufferText(const ub1 *row, int size, const OracleSessionInterface *session)
{
    const char *chars = reinterpret_cast<const char *>(row);
    const std::size_t n = strnlen(chars, static_cast<std::size_t>(std::max(size, 0)));
    QString text = QString::fromUtf8(chars, static_cast<qsizetype>(n));
    if (std::memchr(chars, '\n', n) || std::memchr(chars, '\r', n))
        text = FromOracleText(text, session);
    return text;
}

} // namespace

TOracleQuery::LongPiece::LongPiece(ub4 size)
    : capacity(size)
    , length(size)
    , buffer(std::make_unique<ub1[]>(size))
{
}

// ---- Describe and define -----------------------------------------------------------------------

void TOracleQuery::clearFields()
{
    m_fields.clear();
    m_fieldExtras.clear();
    m_hasComplexFields = false;
    m_hasLongFields = false;
}

namespace {

enum class ColumnDescribe { Described, End, Failed };

// One select-list column through the older calls; End past the last column.
ColumnDescribe describeOlderColumn(
    const OracleEntryPoints &oci, Cda_Def &cda, int position, TFieldData &field)
{
    sb4 dbsize = 0;
    sb2 dbtype = 0;
    sb1 name[64] = {};
    sb4 nameLength = 30;
    sb4 displaySize = 0;
    sb2 precision = 0;
    sb2 scale = 0;
    sb2 nullOk = 0;
    if (oci.odescr(&cda, position, &dbsize, &dbtype, name, &nameLength, &displaySize, &precision,
            &scale, &nullOk)
        != 0)
        return cda.rc == OraCode::NotInSelectList ? ColumnDescribe::End : ColumnDescribe::Failed;
    field.dataSize = dbsize;
    field.dataType = static_cast<ub2>(dbtype);
    field.name = QString::fromUtf8(
        reinterpret_cast<const char *>(name), std::clamp<sb4>(nameLength, 0, 30));
    field.precision = precision;
    field.scale = scale;
    field.nullable = nullOk;
    return ColumnDescribe::Described;
}

// One select-list column through the handle calls: its parameter descriptor and attributes.
// The status of the last call is left in status.
ColumnDescribe describeHandleColumn(const OracleEntryPoints &oci, OCIStmt *stmt, OCIError *error,
    int position, TFieldData &field, OCIParam *&parameter, sword &status)
{
    void *param = nullptr;
    status = oci.OCIParamGet(stmt, OCI_HTYPE_STMT, error, &param, static_cast<ub4>(position));
    if (status == OCI_ERROR || status == OCI_INVALID_HANDLE)
        return ColumnDescribe::Failed;
    parameter = static_cast<OCIParam *>(param);
    ub2 size = 0;
    ub2 type = 0;
    OraText *name = nullptr;
    ub4 nameLength = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    ub1 nullOk = 0;
    const struct {
        void *value;
        ub4 *length;
        ub4 attribute;
    } attributes[]
        = { { &size, nullptr, OCI_ATTR_DATA_SIZE }, { &type, nullptr, OCI_ATTR_DATA_TYPE },
              { &name, &nameLength, OCI_ATTR_NAME }, { &precision, nullptr, OCI_ATTR_PRECISION },
              { &scale, nullptr, OCI_ATTR_SCALE }, { &nullOk, nullptr, OCI_ATTR_IS_NULL } };
    for (const auto &a : attributes) {
        status = oci.OCIAttrGet(parameter, OCI_DTYPE_PARAM, a.value, a.length, a.attribute, error);
        if (status != OCI_SUCCESS)
            break;
    }
    if (status == OCI_ERROR || status == OCI_INVALID_HANDLE)
        return ColumnDescribe::Failed;
    field.dataSize = size;
    field.dataType = type;
    field.name = name ? QString::fromUtf8(
                     reinterpret_cast<const char *>(name), static_cast<qsizetype>(nameLength))
                            .left(30)
                      : QString();
    field.precision = precision;
    field.scale = scale;
    field.nullable = nullOk;
    return ColumnDescribe::Described;
}

} // namespace

void TOracleQuery::describeFields()
{
    TOracleSession &s = requireSession();
    const OracleEntryPoints &oci = s.entryPoints();
    const bool oci8 = s.OCI8Mode();
    m_rowsPerFetch = m_readBuffer;
    clearFields();
    ub4 columnCount = 0;
    if (oci8)
        oci.OCIAttrGet(
            m_stmt, OCI_HTYPE_STMT, &columnCount, nullptr, OCI_ATTR_PARAM_COUNT, m_error2);

    std::vector<std::unique_ptr<TFieldData>> fields;
    std::vector<std::unique_ptr<FieldExtra>> extras;
    for (int position = 1;; ++position) {
        auto field = std::make_unique<TFieldData>(&oci);
        auto extra = std::make_unique<FieldExtra>();
        OCIParam *parameter = nullptr;
        ColumnDescribe result = ColumnDescribe::End;
        {
            FieldCallLock lock(s);
            if (!oci8)
                result = describeOlderColumn(oci, m_cda, position, *field);
            else if (static_cast<ub4>(position) > columnCount)
                m_status = OraCode::NotInSelectList;
            else
                result = describeHandleColumn(
                    oci, m_stmt, m_error, position, *field, parameter, m_status);
        }
        if (result == ColumnDescribe::End)
            break;
        if (result == ColumnDescribe::Failed) {
            clearFields();
            locateError();
            forgetParse();
            raiseError(oci8 ? "OCIParamGet, OCIAttrGet" : "odescr");
        }
        if (field->scale == -127 && field->precision == 0)
            field->scale = 0;
        chooseFetchBuffer(*field, *extra, parameter);
        fields.push_back(std::move(field));
        extras.push_back(std::move(extra));
    }

    m_fields = std::move(fields);
    m_fieldExtras = std::move(extras);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        TFieldData &field = *m_fields[i];
        FieldExtra &extra = *m_fieldExtras[i];
        extra.field = &field;
        field.AllocateBuffers(m_rowsPerFetch, field.elementSize);
        if (extra.handler) {
            m_hasComplexFields = true;
            extra.handler->setUpBuffers(*this, field);
        }
        if (oci8 && (field.defineType == SQLT_LNG || field.defineType == SQLT_LBI))
            m_hasLongFields = true;
    }
    m_described = true;
}

// The fetch type and element size of a described column, by its internal type; kinds served by
// a column handler get it here.
void TOracleQuery::chooseFetchBuffer(TFieldData &field, FieldExtra &extra, OCIParam *parameter)
{
    TOracleSession &s = requireSession();
    const int internal = field.dataType;
    const bool timestampAsString = s.Preferences().TimestampAsString();
    const QString feature = OracleQueryExtensions::ColumnFeature(internal);
    if (!feature.isEmpty() && !(IsTimestampType(internal) && timestampAsString)) {
        if (IsTimestampType(internal))
            CheckNet9(&s, feature);
        else
            CheckOCI8(&s, feature);
        extra.handler = OracleQueryExtensions::ColumnHandler(internal);
        if (!extra.handler)
            throw Exception(feature + QStringLiteral(" is not supported"));
        extra.handler->describe(*this, field, parameter);
        return;
    }
    int type = SQLT_STR;
    int size = field.dataSize + 1;
    switch (internal) {
    case SQLT_NUM:
        s.ChooseNumberType(field.precision, field.scale, size, type, m_stringFieldsOnly);
        break;
    case SQLT_LNG:
    case SQLT_LBI:
        type = internal;
        size = s.OCI8Mode() ? 0 : OCI7LongBuffer;
        m_rowsPerFetch = 1;
        break;
    case SQLT_RID:
    case SQLT_RDD:
        size = field.dataSize < 19 ? 19 : field.dataSize + 1;
        break;
    case SQLT_DAT:
        if (m_stringFieldsOnly) {
            size = s.DateFormatLength() + 1;
        } else {
            type = SQLT_DAT;
            size = OracleDateSize;
        }
        break;
    case SQLT_BIN:
        size = 2 * field.dataSize + 1;
        break;
    case SQLT_OSL:
        size = 255;
        break;
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        size = s.BytesPerChar() * 50;
        break;
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
        size = s.BytesPerChar() * 20;
        break;
    default:
        break;
    }
    field.defineType = static_cast<ub2>(type);
    field.elementSize = size;
}

void TOracleQuery::defineFields()
{
    TOracleSession &s = requireSession();
    const OracleEntryPoints &oci = s.entryPoints();
    const bool oci8 = s.OCI8Mode();
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        TFieldData &field = *m_fields[i];
        FieldExtra &extra = *m_fieldExtras[i];
        const ub2 type = field.dataType == SQLT_OSL ? SQLT_OSL : field.defineType;
        const ub4 position = static_cast<ub4>(i + 1);
        bool failed = false;
        const char *call = oci8 ? "OCIDefineByPos" : "odefin";
        {
            FieldCallLock lock(s);
            if (oci8) {
                const bool isLong = type == SQLT_LNG || type == SQLT_LBI;
                OCIDefine *define = nullptr;
                m_status = oci.OCIDefineByPos(m_stmt, &define, m_error, position,
                    isLong ? nullptr : field.data.get(),
                    isLong ? sb4(2147483647) : static_cast<sb4>(field.elementSize), type,
                    field.indicatorBuffer.data(), field.lengthBuffer.data(), nullptr,
                    isLong ? OCI_DYNAMIC_FETCH : OCI_DEFAULT);
                if (m_status == OCI_SUCCESS && isLong) {
                    call = "OCIDefineDynamic";
                    m_status = oci.OCIDefineDynamic(define, m_error, &extra, &longPieceCallback);
                }
                failed = m_status == OCI_ERROR || m_status == OCI_INVALID_HANDLE;
                extra.define = define;
            } else {
                failed = oci.odefin(&m_cda, static_cast<sword>(position), field.data.get(),
                             field.elementSize, type, -1, field.indicatorBuffer.data(), nullptr, -1,
                             -1, field.lengthBuffer.data(), nullptr)
                    != 0;
            }
        }
        if (failed) {
            // The next execute describes and defines again.
            forgetParse();
            m_described = false;
            raiseError(call);
        }
        if (oci8 && extra.handler)
            extra.handler->define(*this, field, extra.define);
    }
}

sb4 TOracleQuery::longPieceCallback(void *context, OCIDefine *, ub4, void **buffer, ub4 **length,
    ub1 *, void **indicator, ub2 **returnCode)
{
    auto *extra = static_cast<FieldExtra *>(context);
    // Pieces start at 4 KB and double up to 32 KB.
    ub4 size = 4096;
    if (!extra->pieces.empty()) {
        const ub4 previous = extra->pieces.back().capacity;
        size = previous < 32768 ? previous * 2 : previous;
    }
    LongPiece &piece = extra->pieces.emplace_back(size);
    *buffer = piece.buffer.get();
    *length = &piece.length;
    *indicator = extra->field->indicatorBuffer.data();
    if (returnCode)
        *returnCode = &extra->returnCode;
    return OCI_CONTINUE;
}

void TOracleQuery::resetBeforeFetch()
{
    if (!m_hasLongFields && !m_hasComplexFields)
        return;
    for (std::size_t i = 0; i < m_fieldExtras.size(); ++i) {
        FieldExtra &extra = *m_fieldExtras[i];
        extra.pieces.clear();
        if (extra.handler)
            extra.handler->beforeFetch(*this, *m_fields[i]);
    }
}

void TOracleQuery::prepareRowObjects()
{
    if (!m_hasComplexFields)
        return;
    for (std::size_t i = 0; i < m_fieldExtras.size(); ++i) {
        if (m_fieldExtras[i]->handler)
            m_fieldExtras[i]->handler->prepareRow(*this, *m_fields[i], m_bufferIndex);
    }
}

// ---- Field information
// -----------------------------------------------------------------------------

void TOracleQuery::fieldIndexError(int index)
{
    throw Exception(QStringLiteral("Field %1 does not exist").arg(index));
}

void TOracleQuery::eofError()
{
    throw Exception(QStringLiteral("You cannot access field data beyond Eof"));
}

void TOracleQuery::checkFieldIndex(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        fieldIndexError(index);
}

void TOracleQuery::checkRowData() const
{
    if (m_eof)
        eofError();
}

TFieldData &TOracleQuery::FieldItem(int index) const
{
    checkFieldIndex(index);
    return *m_fields[static_cast<std::size_t>(index)];
}

QString TOracleQuery::FieldName(int index) const
{
    return FieldItem(index).name;
}

int TOracleQuery::FieldIndex(const QString &name) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (QString::compare(m_fields[i]->name, name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int TOracleQuery::fieldIndexOrRaise(const QString &name) const
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw Exception(QStringLiteral("Field ") + name + QStringLiteral(" does not exist"));
    return index;
}

int TOracleQuery::FieldType(int index) const
{
    return FieldItem(index).defineType;
}

int TOracleQuery::FieldInternalType(int index) const
{
    return FieldItem(index).dataType;
}

QString TOracleQuery::FieldTypeName(int index) const
{
    const TFieldData &field = FieldItem(index);
    return field.defineType == SQLT_NTY || field.defineType == SQLT_REF ? field.typeName
                                                                        : QString();
}

int TOracleQuery::FieldPrecision(int index) const
{
    return FieldItem(index).precision;
}

int TOracleQuery::FieldScale(int index) const
{
    return FieldItem(index).scale;
}

bool TOracleQuery::FieldOptional(int index) const
{
    return FieldItem(index).nullable != 0;
}

int TOracleQuery::FieldSize(int index) const
{
    const TFieldData &field = FieldItem(index);
    return field.defineType == SQLT_STR ? field.elementSize - 1 : 0;
}

int TOracleQuery::FieldPrecisionByName(const QString &name) const
{
    return m_fields[static_cast<std::size_t>(fieldIndexOrRaise(name))]->precision;
}

// ---- Row data
// ----------------------------------------------------------------------------------------

TOracleQuery::FieldExtra *TOracleQuery::handlerField(int index)
{
    if (!m_hasComplexFields)
        return nullptr;
    FieldExtra &extra = *m_fieldExtras[static_cast<std::size_t>(index)];
    return extra.handler ? &extra : nullptr;
}

bool TOracleQuery::rowIsNull(int index) const
{
    return m_fields[static_cast<std::size_t>(index)]
               ->indicatorBuffer[static_cast<std::size_t>(m_bufferIndex)]
        == -1;
}

Variant TOracleQuery::nullValue() const
{
    return m_session && m_session->NullValue() == nvNull ? Variant::Null() : Variant();
}

bool TOracleQuery::FieldIsNull(int index)
{
    checkFieldIndex(index);
    checkRowData();
    if (FieldExtra *extra = handlerField(index))
        return extra->handler->isNull(*this, *extra->field, m_bufferIndex);
    return rowIsNull(index);
}

bool TOracleQuery::FieldTruncated(int index)
{
    checkFieldIndex(index);
    checkRowData();
    if (handlerField(index))
        return false;
    // The indicator holds the value's full length when it was cut, -2 when that was too large
    // to tell.
    const sb2 indicator = m_fields[static_cast<std::size_t>(index)]
                              ->indicatorBuffer[static_cast<std::size_t>(m_bufferIndex)];
    return indicator > 0 || indicator == -2;
}

void *TOracleQuery::FieldData(int index) const
{
    checkFieldIndex(index);
    checkRowData();
    return m_fields[static_cast<std::size_t>(index)]->RowAddress(m_bufferIndex);
}

Variant TOracleQuery::Field(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    checkRowData();
    TFieldData &field = *m_fields[static_cast<std::size_t>(index)];
    if (FieldExtra *extra = handlerField(index)) {
        if (extra->handler->isNull(*this, field, m_bufferIndex))
            return nullValue();
        return extra->handler->value(*this, field, m_bufferIndex);
    }
    if (rowIsNull(index))
        return nullValue();
    switch (field.defineType) {
    case SQLT_LNG:
        return longText(index);
    case SQLT_LBI:
        return longBytes(index);
    default:
        return BufferToVariant(field.RowAddress(m_bufferIndex), field.elementSize, field.defineType,
            field.lengthBuffer[static_cast<std::size_t>(m_bufferIndex)], m_session);
    }
}

Variant TOracleQuery::FieldByName(const QString &name)
{
    return Field(fieldIndexOrRaise(name));
}

void TOracleQuery::convertError(int index, const char *target) const
{
    throw Exception(QStringLiteral("Cannot convert field ") + FieldName(index)
        + QStringLiteral(" to ") + QLatin1String(target));
}

QString TOracleQuery::FieldAsString(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        fieldIndexError(index);
    if (m_eof)
        eofError();
    TFieldData &field = *m_fields[static_cast<std::size_t>(index)];
    if (FieldExtra *extra = handlerField(index)) {
        if (extra->handler->isNull(*this, field, m_bufferIndex))
            return QString();
        QString text;
        if (!extra->handler->asString(*this, field, m_bufferIndex, text))
            convertError(index, "a String");
        return text;
    }
    if (field.indicatorBuffer[static_cast<std::size_t>(m_bufferIndex)] == -1)
        return QString();
    const ub1 *row = field.data.get() + static_cast<qint64>(m_bufferIndex) * field.elementSize;
    switch (field.defineType) {
    case SQLT_STR:
        return bufferText(row, field.elementSize, m_session);
    case SQLT_INT: {
        qint32 value;
        std::memcpy(&value, row, sizeof value);
        return QString::number(value);
    }
    case SQLT_FLT: {
        double value;
        std::memcpy(&value, row, sizeof value);
        return QString::number(value, 'g', 15);
    }
    case SQLT_DAT:
        return dateTimeText(DecodeOracleDate(row));
    case SQLT_LNG:
        return longText(index);
    case SQLT_LBI:
        return QString::fromLatin1(longBytes(index));
    default:
        convertError(index, "a String");
    }
}

int TOracleQuery::FieldAsInteger(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        fieldIndexError(index);
    if (m_eof)
        eofError();
    TFieldData &field = *m_fields[static_cast<std::size_t>(index)];
    if (FieldExtra *extra = handlerField(index)) {
        if (extra->handler->isNull(*this, field, m_bufferIndex))
            return 0;
        convertError(index, "an Integer");
    }
    if (field.indicatorBuffer[static_cast<std::size_t>(m_bufferIndex)] == -1)
        return 0;
    const ub1 *row = field.data.get() + static_cast<qint64>(m_bufferIndex) * field.elementSize;
    switch (field.defineType) {
    case SQLT_INT: {
        qint32 value;
        std::memcpy(&value, row, sizeof value);
        return value;
    }
    case SQLT_FLT: {
        double value;
        std::memcpy(&value, row, sizeof value);
        if (!(std::fabs(value) < 2147483648.0))
            throw EConvertError(QStringLiteral("Integer out of range"));
        return static_cast<int>(std::trunc(value));
    }
    case SQLT_STR:
        return textToInteger(bufferText(row, field.elementSize, m_session));
    case SQLT_DAT:
        return static_cast<int>(std::trunc(DecodeOracleDate(row)));
    default:
        convertError(index, "an Integer");
    }
}

double TOracleQuery::FieldAsFloat(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        fieldIndexError(index);
    if (m_eof)
        eofError();
    TFieldData &field = *m_fields[static_cast<std::size_t>(index)];
    if (FieldExtra *extra = handlerField(index)) {
        if (extra->handler->isNull(*this, field, m_bufferIndex))
            return 0;
        convertError(index, "a Float");
    }
    if (field.indicatorBuffer[static_cast<std::size_t>(m_bufferIndex)] == -1)
        return 0;
    const ub1 *row = field.data.get() + static_cast<qint64>(m_bufferIndex) * field.elementSize;
    switch (field.defineType) {
    case SQLT_INT: {
        qint32 value;
        std::memcpy(&value, row, sizeof value);
        return value;
    }
    case SQLT_FLT: {
        double value;
        std::memcpy(&value, row, sizeof value);
        return value;
    }
    case SQLT_STR:
        return textToFloat(bufferText(row, field.elementSize, m_session));
    case SQLT_DAT:
        return DecodeOracleDate(row);
    default:
        convertError(index, "a Float");
    }
}

double TOracleQuery::FieldAsDate(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        fieldIndexError(index);
    if (m_eof)
        eofError();
    TFieldData &field = *m_fields[static_cast<std::size_t>(index)];
    if (FieldExtra *extra = handlerField(index)) {
        if (extra->handler->isNull(*this, field, m_bufferIndex))
            return 0;
        double value = 0;
        if (!extra->handler->asDate(*this, field, m_bufferIndex, value))
            convertError(index, "a Date");
        return value;
    }
    if (field.indicatorBuffer[static_cast<std::size_t>(m_bufferIndex)] == -1)
        return 0;
    const ub1 *row = field.data.get() + static_cast<qint64>(m_bufferIndex) * field.elementSize;
    switch (field.defineType) {
    case SQLT_INT: {
        qint32 value;
        std::memcpy(&value, row, sizeof value);
        return value;
    }
    case SQLT_FLT: {
        double value;
        std::memcpy(&value, row, sizeof value);
        return value;
    }
    case SQLT_STR:
        return textToDateTime(bufferText(row, field.elementSize, m_session));
    case SQLT_DAT:
        return DecodeOracleDate(row);
    default:
        convertError(index, "a Date");
    }
}

// ---- LONG values
// ------------------------------------------------------------------------------------

int TOracleQuery::GetLongField(int index, void *buffer, int offset, int length)
{
    checkFieldIndex(index);
    TFieldData &field = *m_fields[static_cast<std::size_t>(index)];
    if (field.defineType != SQLT_LNG && field.defineType != SQLT_LBI)
        throw Exception(QStringLiteral("Field %1 is not a Long").arg(index));
    checkRowData();
    if (offset < 0 || length <= 0 || !buffer)
        return 0;
    auto *destination = static_cast<ub1 *>(buffer);
    TOracleSession &s = requireSession();
    if (s.OCI8Mode()) {
        qint64 start = 0;
        qint64 copied = 0;
        const qint64 end = static_cast<qint64>(offset) + length;
        for (const LongPiece &piece : m_fieldExtras[static_cast<std::size_t>(index)]->pieces) {
            const qint64 pieceEnd = start + std::min(piece.length, piece.capacity);
            const qint64 from = std::max<qint64>(start, offset);
            const qint64 to = std::min(pieceEnd, end);
            if (to > from) {
                std::memcpy(destination + (from - offset), piece.buffer.get() + (from - start),
                    static_cast<std::size_t>(to - from));
                copied += to - from;
            }
            start = pieceEnd;
            if (start >= end)
                break;
        }
        return static_cast<int>(copied);
    }

    // Older mode: what the define buffer holds, then the rest from the server.
    const OracleEntryPoints &oci = s.entryPoints();
    auto chunk = [&](int chunkOffset, ub1 *target, int wanted) -> int {
        const int rowLength = field.lengthBuffer[static_cast<std::size_t>(m_bufferIndex)];
        int n = std::clamp(rowLength - chunkOffset, 0, wanted);
        if (n > 0)
            std::memcpy(
                target, field.RowAddress(m_bufferIndex) + chunkOffset, static_cast<std::size_t>(n));
        if (n < wanted && rowLength == OCI7LongBuffer) {
            ub4 returned = 0;
            const ub4 rowsProcessed = m_cda.rpc;
            sword r = 0;
            {
                FieldCallLock lock(s);
                r = oci.oflng(&m_cda, index + 1, target + n, wanted - n, field.defineType,
                    &returned, chunkOffset + n);
                m_cda.rpc = rowsProcessed;
            }
            if (r != 0)
                raiseOCI7Error("oflng");
            n += static_cast<int>(returned);
        }
        return n;
    };
    int copied = 0;
    while (copied < length) {
        const int wanted = std::min(length - copied, OCI7LongChunk);
        const int got = chunk(offset + copied, destination + copied, wanted);
        copied += got;
        if (got < wanted)
            break;
    }
    return copied;
}

QByteArray TOracleQuery::longBytes(int index)
{
    if (requireSession().OCI8Mode()) {
        const auto &pieces = m_fieldExtras[static_cast<std::size_t>(index)]->pieces;
        qint64 total = 0;
        for (const LongPiece &piece : pieces)
            total += std::min(piece.length, piece.capacity);
        QByteArray bytes;
        bytes.reserve(static_cast<qsizetype>(total));
        for (const LongPiece &piece : pieces)
            bytes.append(reinterpret_cast<const char *>(piece.buffer.get()),
                static_cast<qsizetype>(std::min(piece.length, piece.capacity)));
        return bytes;
    }
    // Chunks of 4 KB doubling to 32 KB until one comes back short.
    QByteArray bytes;
    int chunkSize = 4096;
    for (;;) {
        const qsizetype at = bytes.size();
        bytes.resize(at + chunkSize);
        const int got = GetLongField(index, bytes.data() + at, static_cast<int>(at), chunkSize);
        bytes.resize(at + got);
        if (got < chunkSize)
            break;
        if (chunkSize < 32768)
            chunkSize *= 2;
    }
    return bytes;
}

QString TOracleQuery::longText(int index)
{
    return FromOracleText(QString::fromUtf8(longBytes(index)), m_session);
}

// ---- Value wrappers
// -------------------------------------------------------------------------------------

OracleValueObject *TOracleQuery::LOBField(int index)
{
    const TFieldData &field = FieldItem(index);
    if (!IsLobType(field.defineType))
        throw Exception(QStringLiteral("Field %1 is not a LOB").arg(index));
    return field.valueObject.get();
}

OracleValueObject *TOracleQuery::FieldAsObject(int index)
{
    const TFieldData &field = FieldItem(index);
    if (field.defineType != SQLT_NTY)
        throw Exception(QStringLiteral("Field %1 is not an Object").arg(index));
    return field.valueObject.get();
}

OracleValueObject *TOracleQuery::RefField(int index)
{
    const TFieldData &field = FieldItem(index);
    if (field.defineType != SQLT_REF)
        throw Exception(QStringLiteral("Field %1 is not a Reference").arg(index));
    return field.valueObject.get();
}

} // namespace qd
