#include "oracle/OracleBuffers.h"

#include "classlib/Exception.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"
#include "oracle/OracleSessionInterface.h"

#include <cstring>
#include <limits>

namespace qd {

// ---- Type codes ---------------------------------------------------------------------------------

int DeclaredBufferSize(int type)
{
    switch (type) {
    case SQLT_CHR:
    case SQLT_LNG:
    case SQLT_LBI:
        return 0; // sized when a value is assigned
    case SQLT_INT:
        return 4;
    case SQLT_FLT:
        return 8;
    case SQLT_STR:
    case SQLT_AVC:
        return MaxStringBytes + 1;
    case otLongPLSQLString:
        return 32513;
    case SQLT_DAT:
        return OracleDateSize;
    default:
        return IsComplexType(type) ? 0 : -1;
    }
}

bool IsStringType(int type)
{
    return type == SQLT_CHR || type == SQLT_STR || type == otLongPLSQLString || type == SQLT_AVC;
}

bool IsComplexType(int type)
{
    switch (type) {
    case SQLT_NTY:
    case SQLT_REF:
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
    case SQLT_RSET:
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        return true;
    default:
        return false;
    }
}

bool IsLobType(int type)
{
    return type == SQLT_CLOB || type == SQLT_BLOB || type == SQLT_BFILEE;
}

bool IsTimestampType(int type)
{
    return type == SQLT_TIMESTAMP || type == SQLT_TIMESTAMP_TZ || type == SQLT_TIMESTAMP_LTZ;
}

ub4 DescriptorKind(int type)
{
    if (type == SQLT_BFILEE)
        return OCI_DTYPE_FILE;
    if (type == SQLT_CLOB || type == SQLT_BLOB)
        return OCI_DTYPE_LOB;
    if (IsTimestampType(type))
        return TimestampDescriptorKind(type);
    return 0;
}

// ---- Conversions --------------------------------------------------------------------------------

QString ToOracleText(const QString &text, const OracleSessionInterface *session)
{
    if (session && !session->ConvertCRLF())
        return text;
    QString result = text;
    result.remove(u'\r');
    return result;
}

QString FromOracleText(const QString &text, const OracleSessionInterface *session)
{
    if (session && !session->ConvertCRLF())
        return text;
    QString result;
    result.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            result += QStringLiteral("\r\n");
        } else if (c == u'\n') {
            result += QStringLiteral("\r\n");
        } else {
            result += c;
        }
    }
    return result;
}

namespace {

QString textOf(const void *buffer, qint64 bufferSize)
{
    if (!buffer || bufferSize <= 0)
        return QString();
    const char *chars = static_cast<const char *>(buffer);
    const void *zero = std::memchr(chars, 0, static_cast<std::size_t>(bufferSize));
    const qint64 length = zero ? static_cast<const char *>(zero) - chars : bufferSize;
    return QString::fromUtf8(chars, static_cast<qsizetype>(length));
}

template <typename T> Variant scalarOf(const void *buffer, qint64 bufferSize)
{
    if (!buffer || bufferSize < static_cast<qint64>(sizeof(T)))
        return Variant();
    T value;
    std::memcpy(&value, buffer, sizeof(T));
    return Variant(value);
}

// Longest prefix of at most max bytes that does not end inside a UTF-8 sequence.
qsizetype utf8Cut(const QByteArray &bytes, qsizetype max)
{
    if (bytes.size() <= max)
        return bytes.size();
    qsizetype cut = max;
    while (cut > 0 && (static_cast<unsigned char>(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    return cut;
}

} // namespace

Variant BufferToVariant(
    const void *buffer, qint64 bufferSize, int type, qint64 length, OracleSessionInterface *session)
{
    if (IsStringType(type))
        return FromOracleText(textOf(buffer, bufferSize), session);
    switch (type) {
    case SQLT_INT:
        return scalarOf<qint32>(buffer, bufferSize);
    case SQLT_FLT:
        return scalarOf<double>(buffer, bufferSize);
    case SQLT_LNG:
        if (!buffer)
            return QString();
        return QString::fromUtf8(static_cast<const char *>(buffer),
            static_cast<qsizetype>(qBound<qint64>(0, length, bufferSize)));
    case SQLT_DAT:
        if (!buffer || bufferSize < OracleDateSize)
            return Variant();
        return Variant::FromDateTime(DecodeOracleDate(static_cast<const ub1 *>(buffer)));
    case SQLT_LBI:
        if (!buffer)
            return QByteArray();
        return QByteArray(static_cast<const char *>(buffer),
            static_cast<qsizetype>(qBound<qint64>(0, length, bufferSize)));
    case SQLT_NTY:
    case SQLT_REF:
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
    case SQLT_RSET:
        return Variant(static_cast<qint64>(reinterpret_cast<qintptr>(buffer)));
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ: {
        if (!session || !buffer)
            return Variant();
        double value = 0;
        const sword status = TimestampToDateTime(session->entryPoints(),
            session->environmentHandle(), session->errorHandle(),
            static_cast<OCIDateTime *>(const_cast<void *>(buffer)), value);
        CheckOracleResult(status, QStringLiteral("TOracleTimestamp"), session->entryPoints(),
            session->errorHandle(), session, nullptr, "OCIDateTimeGetDate, OCIDateTimeGetTime");
        if (status != OCI_SUCCESS)
            return Variant();
        return Variant::FromDateTime(value);
    }
    default:
        return Variant();
    }
}

// ---- TVariableData ----------------------------------------------------------------------------

TVariableData::TVariableData(const QString &variableName, int variableType)
    : name(variableName)
{
    const int size = DeclaredBufferSize(variableType);
    if (size < 0)
        throw Exception(QStringLiteral("Unsupported variable type"));
    type = static_cast<ub2>(variableType);
    isComplex = IsComplexType(variableType);
    indicators.assign(1, -1);
    if (size > 0)
        AllocateBuffer(size);
}

TVariableData::~TVariableData()
{
    ClearBuffer();
}

void TVariableData::ClearBuffer()
{
    m_ownedBuffer.reset();
    m_allocated = 0;
    bufferOwned = false;
    buffer = nullptr;
    bufferSize = 0;
}

void TVariableData::AllocateBuffer(qint64 size)
{
    if (size < 0 || size > std::numeric_limits<qint32>::max())
        throw Exception(QStringLiteral("Value too large for variable ") + name);
    const qint64 bytes = std::max<qint64>(size, 1);
    m_ownedBuffer = std::make_unique<ub1[]>(static_cast<std::size_t>(bytes)); // zero-filled
    m_allocated = bytes;
    buffer = m_ownedBuffer.get();
    bufferOwned = true;
    bufferSize = static_cast<qint32>(size);
}

ub1 *TVariableData::ElementAddress(int index) const
{
    if (!bufferOwned || index < 0 || bufferSize <= 0)
        return nullptr;
    const qint64 end = (static_cast<qint64>(index) + 1) * bufferSize;
    if (end > m_allocated)
        return nullptr;
    return m_ownedBuffer.get() + static_cast<qint64>(index) * bufferSize;
}

void TVariableData::SetArrayLength(int count, int stringSize, OracleSessionInterface *session)
{
    if (count == elementCount && (stringSize < 1 || bufferSize == stringSize + 1))
        return;
    if (count < 0)
        throw Exception(QStringLiteral("Invalid array length for variable ") + name);
    qint32 newSize = bufferSize;
    if (buffer && bufferOwned) {
        const int maxString = session ? session->maxBindStringSize() : 2000;
        if ((type == SQLT_STR || type == SQLT_AVC) && newSize > maxString + 1)
            newSize = maxString + 1;
        if (stringSize > 0)
            newSize = stringSize + 1;
        // Checked before anything changes, so a refused size leaves the variable as it was.
        if (static_cast<qint64>(newSize) * count > std::numeric_limits<qint32>::max()
            || stringSize == std::numeric_limits<int>::max())
            throw Exception(QStringLiteral("Array too large for variable ") + name);
    }
    indicators.assign(static_cast<std::size_t>(count), -1);
    if (buffer && bufferOwned)
        AllocateBuffer(static_cast<qint64>(newSize) * count);
    bufferSize = newSize;
    elementCount = count;
}

bool TVariableData::IsNull(int index) const
{
    return index < 0 || index >= static_cast<int>(indicators.size()) || indicators[index] < 0;
}

Variant TVariableData::GetValue(int index, OracleSessionInterface *session) const
{
    if (IsTimestampType(type)) {
        // The slot holds a timestamp instance, not a descriptor; without one the variable
        // stands for its plain date-time value.
        if (!buffer)
            return Variant::FromDateTime(dateTimeValue);
        return Variant(static_cast<qint64>(reinterpret_cast<qintptr>(buffer)));
    }
    if (isComplex)
        return BufferToVariant(buffer, 0, type, 0, session);
    const ub1 *element = ElementAddress(index);
    if (!element)
        return BufferToVariant(nullptr, 0, type, 0, session);
    return BufferToVariant(element, bufferSize, type, length, session);
}

void TVariableData::SetValue(int index, const Variant &value, OracleSessionInterface *session)
{
    if (index < 0 || index >= elementCount || index >= static_cast<int>(indicators.size()))
        throw Exception(QStringLiteral("Element %1 out of range for variable ").arg(index) + name);
    try {
        setValue(index, value, session);
    } catch (const EConvertError &) {
        throw Exception(QStringLiteral("Variant conversion error for variable ") + name);
    }
}

void TVariableData::storeText(const QByteArray &text)
{
    ClearBuffer();
    AllocateBuffer(static_cast<qint64>(text.size()) + 1);
    std::memcpy(buffer, text.constData(), static_cast<std::size_t>(text.size()));
    length = bufferSize - 1;
}

void TVariableData::storeBytes(const QByteArray &bytes)
{
    ClearBuffer();
    AllocateBuffer(bytes.size());
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    length = bufferSize;
}

void TVariableData::setValue(int index, const Variant &value, OracleSessionInterface *session)
{
    if (value.IsNullOrEmpty()) {
        indicators[index] = -1;
        if (isComplex)
            buffer = nullptr;
        return;
    }
    const bool zeroIsNull = !session || session->ZeroDateIsNull();
    switch (type) {
    case SQLT_STR:
    case otLongPLSQLString:
    case SQLT_AVC: {
        ub1 *element = ElementAddress(index);
        if (!element)
            throw Exception(QStringLiteral("No buffer for variable ") + name);
        const QByteArray text = ToOracleText(value.AsString(), session).toUtf8();
        const qsizetype n = utf8Cut(text, bufferSize - 1);
        std::memcpy(element, text.constData(), static_cast<std::size_t>(n));
        element[n] = 0;
        indicators[index] = 0;
        return;
    }
    case SQLT_CHR:
    case SQLT_LNG:
        storeText(ToOracleText(value.AsString(), session).toUtf8());
        indicators.front() = 0;
        return;
    case SQLT_INT: {
        const qint64 number = value.AsInteger();
        if (number < std::numeric_limits<qint32>::min()
            || number > std::numeric_limits<qint32>::max())
            throw EConvertError(QStringLiteral("Integer out of range"));
        const qint32 narrow = static_cast<qint32>(number);
        ub1 *element = ElementAddress(index);
        if (!element)
            throw Exception(QStringLiteral("No buffer for variable ") + name);
        std::memcpy(element, &narrow, sizeof narrow);
        indicators[index] = 0;
        return;
    }
    case SQLT_FLT: {
        const double number = value.AsFloat();
        ub1 *element = ElementAddress(index);
        if (!element)
            throw Exception(QStringLiteral("No buffer for variable ") + name);
        std::memcpy(element, &number, sizeof number);
        indicators[index] = 0;
        return;
    }
    case SQLT_DAT: {
        const double date = value.AsDateTime();
        if (date == 0.0 && zeroIsNull) {
            indicators[index] = -1;
            return;
        }
        ub1 *element = ElementAddress(index);
        if (!element || bufferSize < OracleDateSize)
            throw Exception(QStringLiteral("No buffer for variable ") + name);
        EncodeOracleDate(date, element);
        indicators[index] = 0;
        return;
    }
    case SQLT_LBI:
        if (const QByteArray *bytes = value.BytesPtr())
            storeBytes(*bytes);
        else if (const QString *text = value.StringPtr())
            storeBytes(text->toUtf8());
        else
            throw Exception(
                QStringLiteral("Only one-dimensional array of bytes allowed for ") + name);
        indicators.front() = 0;
        return;
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        buffer = nullptr;
        dateTimeValue = 0;
        if (value.Kind() == VariantKind::Integer) {
            buffer = reinterpret_cast<void *>(static_cast<qintptr>(value.AsInteger()));
            indicators[index] = buffer ? 0 : -1;
            return;
        }
        dateTimeValue = value.AsDateTime();
        indicators[index] = dateTimeValue == 0.0 && zeroIsNull ? -1 : 0;
        return;
    default:
        if (!isComplex)
            throw Exception(QStringLiteral("Unsupported variable type for ") + name);
        if (value.Kind() != VariantKind::Integer)
            throw Exception(QStringLiteral("Pass LongInt(Object) to complex variable ") + name);
        buffer = reinterpret_cast<void *>(static_cast<qintptr>(value.AsInteger()));
        indicators.front() = buffer ? 0 : -1;
        return;
    }
}

QString TVariableData::DisplayText(const Variant &currentValue) const
{
    if (isPLSQLTable)
        return QStringLiteral("(PL/SQL Table)");
    if (elementCount > 1)
        return QStringLiteral("(Array)");
    switch (type) {
    case SQLT_LNG:
        return QStringLiteral("(Long)");
    case SQLT_LBI:
        return QStringLiteral("(Long Raw)");
    case SQLT_NTY:
        return QStringLiteral("(Object)");
    case SQLT_REF:
        return QStringLiteral("(Reference)");
    case SQLT_CLOB:
        return QStringLiteral("(CLOB)");
    case SQLT_BLOB:
        return QStringLiteral("(BLOB)");
    case SQLT_BFILEE:
        return QStringLiteral("(BFile)");
    case SQLT_RSET:
        return QStringLiteral("(Cursor)");
    default:
        break;
    }
    if (currentValue.IsNullOrEmpty())
        return QStringLiteral("Null");
    return currentValue.AsString();
}

QByteArray TVariableData::StoredData() const
{
    if (FirstIndicator() < 0 || isComplex)
        return QByteArray();
    const ub1 *element = ElementAddress(0);
    if (!element)
        return QByteArray();
    const char *chars = reinterpret_cast<const char *>(element);
    if (IsStringType(type)) {
        const void *zero = std::memchr(chars, 0, static_cast<std::size_t>(bufferSize));
        const qint64 textLength = zero ? static_cast<const char *>(zero) - chars : bufferSize;
        // The text with its terminating zero, even when the buffer was full.
        QByteArray data(chars, static_cast<qsizetype>(textLength));
        data.append('\0');
        return data;
    }
    return QByteArray(chars, bufferSize);
}

// ---- Field buffers
// ---------------------------------------------------------------------------------

TLongPiece::TLongPiece(qint32 pieceCapacity)
    : capacity(std::max<qint32>(pieceCapacity, 0))
    , buffer(capacity > 0 ? std::make_unique<ub1[]>(static_cast<std::size_t>(capacity)) : nullptr)
{
}

TFieldData::TFieldData(const OracleEntryPoints *oci)
    : m_oci(oci)
{
}

bool TFieldData::holdsReferences() const
{
    return IsComplexType(defineType);
}

void TFieldData::AllocateBuffers(int rows, int size)
{
    if (rows < 0 || size < 0)
        throw Exception(QStringLiteral("Invalid buffer size for field ") + name);
    if (holdsReferences())
        size = static_cast<int>(sizeof(void *));
    const qint64 bytes = static_cast<qint64>(rows) * size;
    if (bytes > std::numeric_limits<qint32>::max())
        throw Exception(QStringLiteral("Buffer too large for field ") + name);
    data = std::make_unique<ub1[]>(static_cast<std::size_t>(std::max<qint64>(bytes, 1)));
    indicatorBuffer.assign(static_cast<std::size_t>(rows), 0);
    lengthBuffer.assign(static_cast<std::size_t>(rows), 0);
    nullStructures.assign(
        defineType == SQLT_NTY || defineType == SQLT_REF ? static_cast<std::size_t>(rows) : 0,
        nullptr);
    rowCount = rows;
    elementSize = size;
}

ub1 *TFieldData::RowAddress(int row) const
{
    if (!data || row < 0 || row >= rowCount)
        return nullptr;
    return data.get() + static_cast<qint64>(row) * elementSize;
}

void *TFieldData::RowReference(int row) const
{
    const ub1 *address = holdsReferences() ? RowAddress(row) : nullptr;
    if (!address)
        return nullptr;
    void *reference = nullptr;
    std::memcpy(&reference, address, sizeof reference);
    return reference;
}

void TFieldData::SetRowReference(int row, void *reference)
{
    ub1 *address = holdsReferences() ? RowAddress(row) : nullptr;
    if (!address)
        throw Exception(QStringLiteral("Row %1 out of range for field ").arg(row) + name);
    std::memcpy(address, &reference, sizeof reference);
}

qint64 TFieldData::TotalLongLength() const
{
    qint64 total = 0;
    for (const TLongPiece &piece : pieces)
        total += piece.usedLength;
    return total;
}

void TFieldData::SetObjectHandles(
    OCIType *descriptor, OCIRef *reference, OCIEnv *env, OCIError *error)
{
    typeDescriptor = descriptor;
    typeReference = reference;
    environment = env;
    errorHandle = error;
}

void TFieldData::ReleaseObjects()
{
    if (defineType != SQLT_NTY && defineType != SQLT_REF)
        return;
    for (int row = 0; row < rowCount; ++row) {
        void *instance = RowReference(row);
        if (instance && m_oci && m_oci->OCIObjectFree)
            m_oci->OCIObjectFree(environment, errorHandle, instance, 0);
    }
    if (data)
        std::memset(data.get(), 0, static_cast<std::size_t>(rowCount) * elementSize);
    std::fill(nullStructures.begin(), nullStructures.end(), nullptr);
}

TFieldData::~TFieldData()
{
    valueObject.reset();
    if (m_oci) {
        const ub4 kind = DescriptorKind(defineType);
        for (int row = 0; row < rowCount; ++row) {
            void *reference = RowReference(row);
            if (!reference)
                continue;
            if (kind != 0 && m_oci->OCIDescriptorFree)
                m_oci->OCIDescriptorFree(reference, kind);
            else if (defineType == SQLT_RSET && m_oci->OCIHandleFree)
                m_oci->OCIHandleFree(reference, OCI_HTYPE_STMT);
        }
        if (typeDescriptor && m_oci->OCIObjectUnpin)
            m_oci->OCIObjectUnpin(environment, errorHandle, typeDescriptor);
        if (typeReference && m_oci->OCIObjectFree)
            m_oci->OCIObjectFree(environment, errorHandle, typeReference, 0);
    }
    ReleaseObjects();
}

} // namespace qd
