// The select list of TOracleQuery: describe, define, array buffers and field access.

#include "oracle/OracleQuery.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleStatementCalls.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qd {

namespace {

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

void TOracleQuery::describeFields()
{
    TOracleSession &s = requireSession();
    const OracleEntryPoints &oci = s.entryPoints();
    m_rowsPerFetch = m_readBuffer;
    clearFields();
    m_calls->startDescribe();

    std::vector<std::unique_ptr<TFieldData>> fields;
    std::vector<std::unique_ptr<FieldExtra>> extras;
    for (int position = 1;; ++position) {
        auto field = std::make_unique<TFieldData>(&oci);
        auto extra = std::make_unique<FieldExtra>();
        OCIParam *parameter = nullptr;
        bool past = false;
        if (FailedCall call = m_calls->describeColumn(position, *field, parameter, past)) {
            clearFields();
            raiseStatementError(call);
        }
        if (past)
            break;
        if (field->scale == -127 && field->precision == 0)
            field->scale = 0;
        chooseFetchBuffer(*field, *extra, parameter);
        fields.push_back(std::move(field));
        extras.push_back(std::move(extra));
    }

    m_fields = std::move(fields);
    m_fieldExtras = std::move(extras);
    const bool longPieces = m_calls->fetchesLongPieces();
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        TFieldData &field = *m_fields[i];
        FieldExtra &extra = *m_fieldExtras[i];
        extra.field = &field;
        field.AllocateBuffers(m_rowsPerFetch, field.elementSize);
        if (extra.handler) {
            m_hasComplexFields = true;
            extra.handler->setUpBuffers(*this, field);
        }
        if (longPieces && (field.defineType == SQLT_LNG || field.defineType == SQLT_LBI))
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
        size = m_calls->longDefineSize();
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
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const TFieldData &field = *m_fields[i];
        const ub2 type = field.dataType == SQLT_OSL ? SQLT_OSL : field.defineType;
        if (FailedCall call = m_calls->define(static_cast<int>(i), type)) {
            // The next execute describes and defines again.
            forgetParse();
            m_described = false;
            raiseError(call);
        }
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
    requireSession();
    return m_calls->readLong(index, static_cast<ub1 *>(buffer), offset, length);
}

QByteArray TOracleQuery::longBytes(int index)
{
    requireSession();
    return m_calls->longBytes(index);
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
