#include "oracle/OracleObject.h"

#include "classlib/Exception.h"
#include "oracle/LOBLocator.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTimestamp.h"

#include <cstring>

namespace qd {

namespace {

const QString objectClass = QStringLiteral("TOracleObject");
constexpr qint64 pointerSize = static_cast<qint64>(sizeof(void *));
constexpr int maxNesting = 16;
constexpr uword OCI_NUMBER_SIGNED = 2;

Variant nullForm(TOracleSession *session)
{
    return session && session->NullValue() == nvNull ? Variant::Null() : Variant();
}

QString upperName(const QString &name)
{
    return name.toUpper();
}

QString attributeText(
    const OracleEntryPoints &oci, void *parameter, ub4 attribute, OCIError *error, sword &status)
{
    OraText *text = nullptr;
    ub4 length = 0;
    status = oci.OCIAttrGet(parameter, OCI_DTYPE_PARAM, &text, &length, attribute, error);
    if (status != OCI_SUCCESS || !text)
        return QString();
    // Schema and type names are at most 30 characters.
    return QString::fromUtf8(
        reinterpret_cast<const char *>(text), static_cast<qsizetype>(std::min<ub4>(length, 30)));
}

// A describe handle for one nested describe, freed on leaving the scope.
struct ScopedDescribe {
    const OracleEntryPoints &oci;
    OCIDescribe *handle = nullptr;
    ScopedDescribe(const OracleEntryPoints &entryPoints, OCIEnv *env)
        : oci(entryPoints)
    {
        void *h = nullptr;
        if (oci.OCIHandleAlloc(env, &h, OCI_HTYPE_DESCRIBE, 0, nullptr) == OCI_SUCCESS)
            handle = static_cast<OCIDescribe *>(h);
    }
    ~ScopedDescribe()
    {
        if (handle)
            oci.OCIHandleFree(handle, OCI_HTYPE_DESCRIBE);
    }
};

} // namespace

// ---- TObjectAttribute -----------------------------------------------------------------------

void *TObjectAttribute::ValueAddress() const
{
    if (!m_owner || !m_owner->m_instance)
        return nullptr;
    return static_cast<char *>(m_owner->m_instance) + m_valueOffset;
}

sb2 *TObjectAttribute::IndicatorAddress() const
{
    if (!m_owner || !m_owner->m_nullStruct)
        return nullptr;
    return reinterpret_cast<sb2 *>(static_cast<char *>(m_owner->m_nullStruct) + m_nullOffset);
}

bool TObjectAttribute::IsNull() const
{
    const sb2 *indicator = IndicatorAddress();
    return !indicator || *indicator != 0;
}

Variant TObjectAttribute::Value() const
{
    TOracleSession *session = m_owner ? m_owner->m_session : nullptr;
    if (IsNull() || m_dataType == SQLT_NTY || m_dataType == SQLT_REF || !session)
        return nullForm(session);
    const OracleEntryPoints &oci = *m_owner->m_oci;
    OCIEnv *env = m_owner->m_environment;
    OCIError *error = m_owner->m_errorHandle;
    void *address = ValueAddress();
    auto slot = [&]() { return *static_cast<void **>(address); };
    switch (m_dataType) {
    case SQLT_INT:
    case SQLT_FLT: {
        const auto *number = static_cast<const OCINumber *>(address);
        int size = 0, type = 0;
        const bool floating = m_scale == -127;
        session->ChooseNumberType(
            floating ? 38 : m_precision, floating ? -127 : m_scale, size, type, false);
        if (type == SQLT_INT) {
            qint32 value = 0;
            QD_OCI(m_owner, oci, OCINumberToInt, error, number, sizeof value, OCI_NUMBER_SIGNED,
                &value);
            return value;
        }
        if (type == SQLT_FLT) {
            double value = 0;
            QD_OCI(m_owner, oci, OCINumberToReal, error, number, sizeof value, &value);
            return value;
        }
        const QByteArray format = "FM" + QByteArray(40, '9') + "D" + QByteArray(40, '9');
        OraText buffer[200] = {};
        ub4 length = sizeof buffer;
        QD_OCI(m_owner, oci, OCINumberToText, error, number,
            reinterpret_cast<const OraText *>(format.data()), static_cast<ub4>(format.size()),
            nullptr, 0, &length, buffer);
        QString text = QString::fromUtf8(reinterpret_cast<const char *>(buffer),
            static_cast<qsizetype>(std::min<ub4>(length, sizeof buffer)));
        while (!text.isEmpty() && !text.back().isDigit())
            text.chop(1); // a trailing decimal character
        return text;
    }
    case SQLT_STR: {
        if (m_asText) {
            OraText buffer[0x97] = {};
            ub4 length = sizeof buffer;
            QD_OCI(m_owner, oci, OCIDateTimeToText, env, error, static_cast<OCIDateTime *>(slot()),
                nullptr, 0, static_cast<ub1>(std::max<int>(m_scale, 0)), nullptr, 0, &length,
                buffer);
            return QString::fromUtf8(reinterpret_cast<const char *>(buffer),
                static_cast<qsizetype>(std::min<ub4>(length, sizeof buffer)));
        }
        const OraText *text = oci.OCIStringPtr(env, static_cast<OCIString *>(slot()));
        return FromOracleText(
            text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString(), session);
    }
    case SQLT_DAT: {
        OCIDate date;
        std::memcpy(&date, address, sizeof date);
        return Variant::FromDateTime(OCIDateToDateTime(date));
    }
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ: {
        double value = 0;
        m_owner->checkCall(
            TimestampToDateTime(oci, env, error, static_cast<OCIDateTime *>(slot()), value),
            "OCIDateTimeGetDate, OCIDateTimeGetTime");
        return Variant::FromDateTime(value);
    }
    case SQLT_BIN: {
        auto *raw = static_cast<OCIRaw *>(slot());
        const ub1 *bytes = oci.OCIRawPtr(env, raw);
        const ub4 size = bytes ? oci.OCIRawSize(env, raw) : 0;
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size))
                .toHex()
                .toUpper());
    }
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE: {
        TLOBLocator lob(session, m_dataType);
        lob.AttachLocator(static_cast<OCILobLocator *>(slot()), IndicatorAddress());
        if (lob.IsNull())
            return nullForm(session);
        if (m_dataType == SQLT_CLOB)
            return lob.AsString();
        return lob.ReadAll();
    }
    default:
        throw Exception(QStringLiteral("Attribute type not supported (%1).").arg(m_dataType));
    }
}

// ---- TOracleObject --------------------------------------------------------------------------

void TOracleObject::setUp(TOracleSession *session)
{
    CheckOCI8(session, QStringLiteral("A TOracleObject instance"));
    if (!session->Connected())
        throw Exception(QStringLiteral("Not logged on"));
    m_session = session;
    m_oci = &session->entryPoints();
    m_environment = session->environmentHandle();
    m_session->AddDependent(this);
    void *handle = nullptr;
    QD_OCI(this, *m_oci, OCIHandleAlloc, m_environment, &handle, OCI_HTYPE_ERROR, 0, nullptr);
    m_errorHandle = static_cast<OCIError *>(handle);
    handle = nullptr;
    QD_OCI(this, *m_oci, OCIHandleAlloc, m_environment, &handle, OCI_HTYPE_DESCRIBE, 0, nullptr);
    m_describeHandle = static_cast<OCIDescribe *>(handle);
}

TOracleObject::TOracleObject(
    TOracleSession *session, const QString &objectType, const QString &table)
{
    try {
        create(session, objectType, table);
    } catch (...) {
        release(); // a constructor that fails leaves nothing behind
        throw;
    }
}

void TOracleObject::create(TOracleSession *session, const QString &objectType, const QString &table)
{
    setUp(session);
    m_objectType = objectType;
    m_ownsInstance = true;
    if (objectType.isEmpty())
        throw Exception(QStringLiteral("You must supply an object type"));
    if (!table.isEmpty()) {
        const QString name = table.toUpper();
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        const QByteArray schema = dot < 0 ? QByteArray() : name.left(dot).toUtf8();
        const QByteArray object = (dot < 0 ? name : name.mid(dot + 1)).toUtf8();
        QD_OCI(this, *m_oci, OCIObjectPinTable, m_environment, m_errorHandle, service(),
            reinterpret_cast<const OraText *>(schema.constData()), static_cast<ub4>(schema.size()),
            reinterpret_cast<const OraText *>(object.constData()), static_cast<ub4>(object.size()),
            nullptr, OCI_DURATION_SESSION, &m_tableObject);
    }
    describeByName(objectType.toUpper(), m_typeRef, m_typeDescriptor);
    const OCITypeCode typeCode = m_session->ObjectTypeCode(m_typeDescriptor);
    QD_OCI(this, *m_oci, OCIObjectNew, m_environment, m_errorHandle, service(), typeCode,
        m_typeDescriptor, m_tableObject, OCI_DURATION_SESSION, table.isEmpty() ? 1 : 0,
        &m_instance);
    // A new object starts atomically null.
    if (m_oci->OCIObjectGetInd(m_environment, m_errorHandle, m_instance, &m_nullStruct)
            == OCI_SUCCESS
        && m_nullStruct)
        *static_cast<sb2 *>(m_nullStruct) = OCI_IND_NULL;
    describeAttributes();
}

TOracleObject::TOracleObject(
    TOracleSession *session, const QString &typeName, OCIRef *typeRef, WrapperTag)
{
    try {
        setUp(session);
        m_objectType = typeName;
        m_ownsInstance = false;
        if (typeRef)
            pinType(typeRef);
        else
            describeByName(typeName.toUpper(), m_typeRef, m_typeDescriptor);
    } catch (...) {
        release();
        throw;
    }
}

TOracleObject *TOracleObject::CreateOwned(TOracleSession *session, const QString &objectType,
    const QString &table, int ownerMonitorId, const QString &ownerName)
{
    auto object = std::make_unique<TOracleObject>(session, objectType, table);
    object->m_ownerMonitorId = ownerMonitorId;
    object->m_ownerName = ownerName;
    return object.release();
}

std::unique_ptr<TOracleObject> TOracleObject::CreateWrapper(
    TOracleSession *session, const QString &typeName, OCIRef *typeRef)
{
    return std::unique_ptr<TOracleObject>(
        new TOracleObject(session, typeName, typeRef, WrapperTag {}));
}

std::unique_ptr<TXMLType> TXMLType::CreateWrapper(
    TOracleSession *session, const QString &typeName, OCIRef *typeRef)
{
    return std::unique_ptr<TXMLType>(new TXMLType(session, typeName, typeRef, WrapperTag {}));
}

TOracleObject::~TOracleObject()
{
    release();
}

void TOracleObject::release() noexcept
{
    freeWrappers();
    m_query.reset();
    if (m_oci && m_environment) {
        const OracleEntryPoints &oci = *m_oci;
        if (m_ownsInstance && m_instance) {
            if (!m_pinned && !m_tableObject)
                oci.OCIObjectFree(m_environment, m_errorHandle, m_instance, 0);
            else
                oci.OCIObjectUnpin(m_environment, m_errorHandle, m_instance);
        }
        if (m_tableObject)
            oci.OCIObjectUnpin(m_environment, m_errorHandle, m_tableObject);
        for (auto &attribute : m_attributes)
            if (attribute->m_typeRef)
                oci.OCIObjectFree(m_environment, m_errorHandle, attribute->m_typeRef, 0);
        if (m_typeRef)
            oci.OCIObjectFree(m_environment, m_errorHandle, m_typeRef, 0);
        if (m_typeDescriptor)
            oci.OCIObjectUnpin(m_environment, m_errorHandle, m_typeDescriptor);
        if (m_describeHandle)
            oci.OCIHandleFree(m_describeHandle, OCI_HTYPE_DESCRIBE);
        if (m_errorHandle)
            oci.OCIHandleFree(m_errorHandle, OCI_HTYPE_ERROR);
    }
    m_instance = m_nullStruct = m_tableObject = nullptr;
    m_typeRef = nullptr;
    m_typeDescriptor = nullptr;
    m_describeHandle = nullptr;
    m_errorHandle = nullptr;
    m_attributes.clear();
    if (m_session)
        m_session->RemoveDependent(this);
    m_session = nullptr;
}

void TOracleObject::sessionDestroyed()
{
    m_session = nullptr;
}

sword TOracleObject::checkCall(sword status, const char *callName)
{
    CheckOracleResult(status, objectClass, *m_oci, m_errorHandle, m_session, this, callName);
    return status;
}

OCISvcCtx *TOracleObject::service() const
{
    if (!m_session || !m_session->Connected())
        throw Exception(QStringLiteral("Not logged on"));
    return m_session->ServiceContext();
}

void TOracleObject::pinType(OCIRef *typeRef)
{
    void *ref = nullptr;
    QD_OCI(this, *m_oci, OCIObjectNew, m_environment, m_errorHandle, service(), OCI_TYPECODE_REF,
        nullptr, nullptr, OCI_DURATION_SESSION, 1, &ref);
    m_typeRef = static_cast<OCIRef *>(ref);
    QD_OCI(this, *m_oci, OCIRefAssign, m_environment, m_errorHandle, typeRef, &m_typeRef);
    void *descriptor = nullptr;
    QD_OCI(this, *m_oci, OCIObjectPin, m_environment, m_errorHandle, m_typeRef, nullptr,
        OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &descriptor);
    m_typeDescriptor = static_cast<OCIType *>(descriptor);
}

void TOracleObject::describeByName(const QString &name, OCIRef *&typeRef, OCIType *&descriptor)
{
    const QByteArray text = name.toUtf8();
    QD_OCI(this, *m_oci, OCIDescribeAny, service(), m_errorHandle,
        const_cast<char *>(text.constData()), static_cast<ub4>(text.size()), OCI_OTYPE_NAME, 0,
        OCI_PTYPE_TYPE, m_describeHandle);
    void *parameter = nullptr;
    QD_OCI(this, *m_oci, OCIAttrGet, m_describeHandle, OCI_HTYPE_DESCRIBE, &parameter, nullptr,
        OCI_ATTR_PARAM, m_errorHandle);
    OCIRef *tdoRef = nullptr;
    QD_OCI(this, *m_oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &tdoRef, nullptr, OCI_ATTR_REF_TDO,
        m_errorHandle);
    typeRef = nullptr;
    descriptor = nullptr;
    pinType(tdoRef);
    typeRef = m_typeRef;
    descriptor = m_typeDescriptor;
}

bool TOracleObject::IsNull() const
{
    return !m_nullStruct || *static_cast<const sb2 *>(m_nullStruct) != 0;
}

bool TOracleObject::IsCollection()
{
    describeAttributes();
    return m_typeCodeOfType == OCI_TYPECODE_NAMEDCOLLECTION;
}

int TOracleObject::AttributeCount()
{
    describeAttributes();
    return static_cast<int>(m_attributes.size());
}

TObjectAttribute *TOracleObject::Attributes(int index)
{
    describeAttributes();
    if (index < 0 || index >= static_cast<int>(m_attributes.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_attributes[static_cast<std::size_t>(index)].get();
}

TObjectAttribute *TOracleObject::AttributeByName(const QString &name, bool mustExist)
{
    describeAttributes();
    for (const auto &attribute : m_attributes)
        if (attribute->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return attribute.get();
    if (mustExist)
        throw Exception(QStringLiteral("Unknown attribute: ") + name);
    return nullptr;
}

void TOracleObject::describeAttributes()
{
    if (m_described || !m_typeDescriptor)
        return;
    QD_OCI(this, *m_oci, OCIDescribeAny, service(), m_errorHandle, m_typeDescriptor, 0,
        OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, m_describeHandle);
    void *parameter = nullptr;
    QD_OCI(this, *m_oci, OCIAttrGet, m_describeHandle, OCI_HTYPE_DESCRIBE, &parameter, nullptr,
        OCI_ATTR_PARAM, m_errorHandle);
    QD_OCI(this, *m_oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &m_typeCodeOfType, nullptr,
        OCI_ATTR_TYPECODE, m_errorHandle);
    qint64 valueOffset = 0, nullOffset = 2;
    if (m_typeCodeOfType == OCI_TYPECODE_NAMEDCOLLECTION) {
        QD_OCI(this, *m_oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &m_collectionTypeCode, nullptr,
            OCI_ATTR_TYPECODE_COLLECTION, m_errorHandle);
        // The elements are described by one more attribute without a name.
        void *element = nullptr;
        QD_OCI(this, *m_oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &element, nullptr,
            OCI_ATTR_COLLECTION_ELEMENT, m_errorHandle);
        describeAttribute(element, QString(), valueOffset, nullOffset, 0);
        m_elementAttribute = m_attributes.back().get();
        m_elementTypeCode = static_cast<ub2>(m_elementAttribute->m_rawDataType);
    } else {
        describeLevel(static_cast<OCIParam *>(parameter), QString(), valueOffset, nullOffset, 0);
    }
    m_described = true;
}

void TOracleObject::describeLevel(OCIParam *typeParameter, const QString &prefix,
    qint64 &valueOffset, qint64 &nullOffset, int depth)
{
    if (!typeParameter)
        return;
    if (depth > maxNesting)
        throw Exception(QStringLiteral("Attribute type not supported (%1).").arg(SQLT_NTY));
    const OracleEntryPoints &oci = *m_oci;
    ub2 count = 0;
    QD_OCI(this, oci, OCIAttrGet, typeParameter, OCI_DTYPE_PARAM, &count, nullptr,
        OCI_ATTR_NUM_TYPE_ATTRS, m_errorHandle);
    void *list = nullptr;
    QD_OCI(this, oci, OCIAttrGet, typeParameter, OCI_DTYPE_PARAM, &list, nullptr,
        OCI_ATTR_LIST_TYPE_ATTRS, m_errorHandle);
    for (ub4 position = 1; position <= count; ++position) {
        void *parameter = nullptr;
        QD_OCI(this, oci, OCIParamGet, list, OCI_DTYPE_PARAM, m_errorHandle, &parameter, position);
        describeAttribute(parameter, prefix, valueOffset, nullOffset, depth);
    }
}

void TOracleObject::describeAttribute(
    void *parameter, const QString &prefix, qint64 &valueOffset, qint64 &nullOffset, int depth)
{
    const OracleEntryPoints &oci = *m_oci;
    // An embedded wrapper's values lie inside the parent's instance: alignment counts from there.
    const qint64 base = m_parent && m_parent->m_instance && m_instance
        ? static_cast<char *>(m_instance) - static_cast<char *>(m_parent->m_instance)
        : 0;
    {
        auto attribute = std::make_unique<TObjectAttribute>();
        TObjectAttribute &a = *attribute;
        a.m_owner = this;
        sword status = OCI_SUCCESS;
        a.m_name = prefix + attributeText(oci, parameter, OCI_ATTR_NAME, m_errorHandle, status);
        checkCall(status, "OCIAttrGet");
        QD_OCI(this, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &a.m_rawDataType, nullptr,
            OCI_ATTR_DATA_TYPE, m_errorHandle);
        int type = a.m_rawDataType;
        if (type == SQLT_CHR || type == SQLT_VCS || type == SQLT_AFC)
            type = SQLT_STR;
        else if (type == SQLT_LVB)
            type = SQLT_BIN; // the describe's RAW type code
        a.m_dataType = type;
        const bool timestamp = IsTimestampType(type);
        const bool interval = type == SQLT_INTERVAL_YM || type == SQLT_INTERVAL_DS;
        if (timestamp || interval) {
            QD_OCI(this, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &a.m_scale, nullptr,
                OCI_ATTR_SCALE, m_errorHandle);
            if (interval || m_session->Preferences().TimestampAsString()) {
                a.m_dataType = SQLT_STR;
                a.m_asText = true;
            }
        }
        if (type == SQLT_NTY || type == SQLT_REF) {
            const QString schema
                = attributeText(oci, parameter, OCI_ATTR_SCHEMA_NAME, m_errorHandle, status);
            checkCall(status, "OCIAttrGet");
            const QString name
                = attributeText(oci, parameter, OCI_ATTR_TYPE_NAME, m_errorHandle, status);
            checkCall(status, "OCIAttrGet");
            a.m_typeName = schema + QLatin1Char('.') + name;
            OCIRef *tdoRef = nullptr;
            QD_OCI(this, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &tdoRef, nullptr,
                OCI_ATTR_REF_TDO, m_errorHandle);
            void *ref = nullptr;
            QD_OCI(this, oci, OCIObjectNew, m_environment, m_errorHandle, service(),
                OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION, 1, &ref);
            a.m_typeRef = static_cast<OCIRef *>(ref);
            QD_OCI(this, oci, OCIRefAssign, m_environment, m_errorHandle, tdoRef, &a.m_typeRef);
            if (type == SQLT_NTY) {
                ScopedDescribe describe(oci, m_environment);
                const QByteArray text = a.m_typeName.toUtf8();
                QD_OCI(this, oci, OCIDescribeAny, service(), m_errorHandle,
                    const_cast<char *>(text.constData()), static_cast<ub4>(text.size()),
                    OCI_OTYPE_NAME, 0, OCI_PTYPE_TYPE, describe.handle);
                void *typeParameter = nullptr;
                QD_OCI(this, oci, OCIAttrGet, describe.handle, OCI_HTYPE_DESCRIBE, &typeParameter,
                    nullptr, OCI_ATTR_PARAM, m_errorHandle);
                ub1 final = 1;
                if (oci.OCIAttrGet(typeParameter, OCI_DTYPE_PARAM, &final, nullptr,
                        OCI_ATTR_IS_FINAL_TYPE, m_errorHandle)
                    == OCI_SUCCESS)
                    a.m_notFinal = final == 0;
                QD_OCI(this, oci, OCIAttrGet, typeParameter, OCI_DTYPE_PARAM, &a.m_typeCode,
                    nullptr, OCI_ATTR_TYPECODE, m_errorHandle);
                a.m_isCollection = a.m_typeCode == OCI_TYPECODE_NAMEDCOLLECTION;
            }
        }
        QD_OCI(this, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &a.m_dataSize, nullptr,
            OCI_ATTR_DATA_SIZE, m_errorHandle);
        if (type == SQLT_NUM) {
            sb2 precision = 0;
            QD_OCI(this, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &precision, nullptr,
                OCI_ATTR_PRECISION, m_errorHandle);
            QD_OCI(this, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &a.m_scale, nullptr,
                OCI_ATTR_SCALE, m_errorHandle);
            a.m_precision = static_cast<ub1>(precision);
            if (a.m_scale == -127 && a.m_precision == 0)
                a.m_scale = 0;
            a.m_dataType
                = a.m_scale <= 0 && a.m_precision < 10 && !(a.m_scale == 0 && a.m_precision == 0)
                ? SQLT_INT
                : SQLT_FLT;
        }
        a.m_nullOffset = nullOffset;
        nullOffset += 2;
        // Collections, types that are not final and XMLTYPE are held by pointer.
        const bool embedded = type == SQLT_NTY && !a.m_isCollection && !a.m_notFinal
            && a.m_typeName.compare(QStringLiteral("SYS.XMLTYPE"), Qt::CaseInsensitive) != 0;
        qint64 size = pointerSize; // strings, raws, LOBs, REFs, timestamps, collections
        if (a.m_dataType == SQLT_INT || a.m_dataType == SQLT_FLT)
            size = 22; // an Oracle NUMBER
        else if (type == SQLT_DAT)
            size = 8;
        else if (embedded)
            size = 0;
        if (size == pointerSize || size == 0) {
            const qint64 misplaced = (valueOffset + base) % pointerSize;
            if (misplaced != 0) {
                const qint64 old = valueOffset;
                valueOffset += pointerSize - misplaced;
                // Embedded objects listed just before start where their first value starts.
                for (auto it = m_attributes.rbegin();
                     it != m_attributes.rend() && (*it)->m_valueOffset == old; ++it)
                    (*it)->m_valueOffset = valueOffset;
            }
        }
        a.m_valueOffset = valueOffset;
        valueOffset += size;
        const QString name = a.m_name;
        OCIRef *nestedRef = a.m_typeRef;
        m_attributes.push_back(std::move(attribute));
        if (embedded) {
            // The embedded type's attributes follow inline, under dotted names.
            void *descriptor = nullptr;
            QD_OCI(this, oci, OCIObjectPin, m_environment, m_errorHandle, nestedRef, nullptr,
                OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &descriptor);
            ScopedDescribe describe(oci, m_environment);
            QD_OCI(this, oci, OCIDescribeAny, service(), m_errorHandle, descriptor, 0,
                OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, describe.handle);
            void *nested = nullptr;
            QD_OCI(this, oci, OCIAttrGet, describe.handle, OCI_HTYPE_DESCRIBE, &nested, nullptr,
                OCI_ATTR_PARAM, m_errorHandle);
            describeLevel(static_cast<OCIParam *>(nested), name + QLatin1Char('.'), valueOffset,
                nullOffset, depth + 1);
            oci.OCIObjectUnpin(m_environment, m_errorHandle, descriptor);
        }
    }
}

TOracleObject *TOracleObject::ObjectAttribute(const QString &name)
{
    const QString key = upperName(name);
    auto cached = m_objectWrappers.find(key);
    if (cached != m_objectWrappers.end())
        return cached->second.get();
    TObjectAttribute *attribute = AttributeByName(key, true);
    if (attribute->m_dataType != SQLT_NTY)
        throw Exception(QStringLiteral("Attribute ") + name + QStringLiteral(" is not an object"));
    std::unique_ptr<TOracleObject> wrapper;
    const bool xml
        = attribute->m_typeName.compare(QStringLiteral("SYS.XMLTYPE"), Qt::CaseInsensitive) == 0;
    if (xml)
        wrapper = TXMLType::CreateWrapper(m_session, attribute->m_typeName, attribute->m_typeRef);
    else
        wrapper = CreateWrapper(m_session, attribute->m_typeName, attribute->m_typeRef);
    wrapper->m_parent = m_parent ? m_parent : this;
    wrapper->m_holder = this;
    wrapper->m_holderAttribute = attribute->m_name;
    void *address = attribute->ValueAddress();
    void *instance = address;
    void *nullStruct = attribute->IndicatorAddress();
    if (attribute->m_isCollection || attribute->m_notFinal || xml)
        instance = address ? *static_cast<void **>(address) : nullptr;
    if (attribute->m_notFinal && instance)
        QD_OCI(this, *m_oci, OCIObjectGetInd, m_environment, m_errorHandle, instance, &nullStruct);
    wrapper->SetInstance(instance, nullStruct, nullptr);
    wrapper->m_ownsInstance = false;
    TOracleObject *result = wrapper.get();
    m_objectWrappers.emplace(key, std::move(wrapper));
    return result;
}

TXMLType *TOracleObject::XMLTypeAttribute(const QString &name)
{
    return dynamic_cast<TXMLType *>(ObjectAttribute(name));
}

TObjectAttribute *TOracleObject::attributeOfKind(const QString &name, bool (*accepts)(int))
{
    TObjectAttribute *attribute = AttributeByName(name, true);
    if (!accepts(attribute->m_dataType) || !attribute->ValueAddress())
        throw Exception(
            QStringLiteral("Attribute type not supported (%1).").arg(attribute->m_rawDataType));
    return attribute;
}

TOracleReference *TOracleObject::RefAttribute(const QString &name)
{
    TObjectAttribute *attribute = attributeOfKind(name, [](int type) { return type == SQLT_REF; });
    auto reference = std::make_unique<TOracleReference>(
        m_session, attribute->m_typeRef, attribute->m_typeName);
    reference->AttachRef(
        *static_cast<OCIRef **>(attribute->ValueAddress()), attribute->IndicatorAddress());
    reference->SetOwner(this, attribute->m_name);
    TOracleReference *result = reference.get();
    m_otherWrappers.push_back(std::move(reference));
    return result;
}

TOracleTimestamp *TOracleObject::TimestampAttribute(const QString &name)
{
    TObjectAttribute *attribute
        = attributeOfKind(name, [](int type) { return IsTimestampType(type); });
    auto timestamp = std::make_unique<TOracleTimestamp>(m_session, attribute->m_dataType);
    timestamp->AttachDescriptor(*static_cast<OCIDateTime **>(attribute->ValueAddress()), false,
        attribute->IsNull(), attribute->m_dataType);
    timestamp->LinkAttribute(this, attribute->m_name, attribute->IndicatorAddress());
    TOracleTimestamp *result = timestamp.get();
    m_otherWrappers.push_back(std::move(timestamp));
    return result;
}

void TOracleObject::markUpdated()
{
    for (TOracleObject *object = this; object; object = object->m_parent) {
        if ((object->m_pinned || object->m_tableObject) && object->m_instance)
            QD_OCI(object, *object->m_oci, OCIObjectMarkUpdate, object->m_environment,
                object->m_errorHandle, object->m_instance);
        if (object->m_parent == object)
            break;
    }
}

void TOracleObject::AttributeChanged(const QString &path)
{
    markUpdated();
    for (qsizetype dot = path.lastIndexOf(QLatin1Char('.')); dot > 0;
         dot = path.lastIndexOf(QLatin1Char('.'), dot - 1)) {
        if (TObjectAttribute *enclosing = AttributeByName(path.left(dot), false))
            if (sb2 *indicator = enclosing->IndicatorAddress())
                *indicator = OCI_IND_NOTNULL;
    }
    if (m_nullStruct)
        *static_cast<sb2 *>(m_nullStruct) = OCI_IND_NOTNULL;
    // The wrapper of an embedded attribute makes the levels around it not null too.
    if (m_holder)
        m_holder->AttributeChanged(m_holderAttribute);
}

void TOracleObject::freeWrappers()
{
    m_objectWrappers.clear();
    m_otherWrappers.clear();
}

void TOracleObject::SetInstance(void *instance, void *nullStruct, OCIRef *typeRef)
{
    freeWrappers();
    m_instance = instance;
    m_nullStruct = nullStruct;
    if (typeRef && !m_typeDescriptor)
        pinType(typeRef);
}

TOracleQuery &TOracleObject::internalQuery()
{
    if (!m_query) {
        m_query = std::make_unique<TOracleQuery>();
        m_query->SetSession(m_session);
    }
    return *m_query;
}

// ---- TXMLType -------------------------------------------------------------------------------

void TXMLType::XMLText(QString &text)
{
    text.clear();
    if (IsNull())
        return;
    std::unique_ptr<TLOBLocator> clob(TLOBLocator::CreateTemporary(Session(), otCLOB, true));
    TOracleQuery &query = internalQuery();
    query.DeleteVariables();
    query.SQL().Clear();
    query.DeclareVariable(QStringLiteral("zeb_object"), SQLT_NTY);
    query.DeclareVariable(QStringLiteral("xmldata"), SQLT_CLOB);
    query.SetComplexVariable(QStringLiteral("zeb_object"), this);
    query.SetComplexVariable(QStringLiteral("xmldata"), clob.get());
    query.SQL().SetText(QStringLiteral("declare\n"
                                       "  zeb_object sys.xmltype;\n"
                                       "  xmldata clob;\n"
                                       "begin\n"
                                       "  zeb_object := :zeb_object;\n"
                                       "  xmldata := zeb_object.getclobval();\n"
                                       "  sys.dbms_lob.trim(:xmldata, 0);\n"
                                       "  sys.dbms_lob.append(:xmldata, xmldata);\n"
                                       "end;"));
    query.Execute();
    query.Close();
    clob->AsString(text);
}

QString TXMLType::XMLText()
{
    QString text;
    XMLText(text);
    return text;
}

// ---- TOracleReference -----------------------------------------------------------------------

TOracleReference::TOracleReference(TOracleSession *session, OCIRef *typeRef,
    const QString &typeName, int ownerMonitorId, const QString &ownerName)
    : m_typeName(typeName)
    , m_ownerMonitorId(ownerMonitorId)
    , m_ownerName(ownerName)
{
    CheckOCI8(session, QStringLiteral("A TOracleReference instance"));
    if (!session->Connected())
        throw Exception(QStringLiteral("Not logged on"));
    m_session = session;
    m_oci = &session->entryPoints();
    m_environment = session->environmentHandle();
    m_session->AddDependent(this);
    try {
        create(typeRef, typeName);
    } catch (...) {
        release(); // a constructor that fails leaves nothing behind
        throw;
    }
}

void TOracleReference::create(OCIRef *typeRef, const QString &typeName)
{
    TOracleSession *session = m_session;
    void *handle = nullptr;
    QD_OCI(this, *m_oci, OCIHandleAlloc, m_environment, &handle, OCI_HTYPE_ERROR, 0, nullptr);
    m_errorHandle = static_cast<OCIError *>(handle);
    void *ref = nullptr;
    QD_OCI(this, *m_oci, OCIObjectNew, m_environment, m_errorHandle, session->ServiceContext(),
        OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION, 1, &ref);
    m_ref = static_cast<OCIRef *>(ref);
    OCIRef *tdoRef = typeRef;
    ScopedDescribe describe(*m_oci, m_environment);
    if (!tdoRef && !typeName.isEmpty()) {
        const QByteArray text = typeName.toUpper().toUtf8();
        QD_OCI(this, *m_oci, OCIDescribeAny, session->ServiceContext(), m_errorHandle,
            const_cast<char *>(text.constData()), static_cast<ub4>(text.size()), OCI_OTYPE_NAME, 0,
            OCI_PTYPE_TYPE, describe.handle);
        void *parameter = nullptr;
        QD_OCI(this, *m_oci, OCIAttrGet, describe.handle, OCI_HTYPE_DESCRIBE, &parameter, nullptr,
            OCI_ATTR_PARAM, m_errorHandle);
        QD_OCI(this, *m_oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &tdoRef, nullptr,
            OCI_ATTR_REF_TDO, m_errorHandle);
    }
    if (tdoRef) {
        void *copy = nullptr;
        QD_OCI(this, *m_oci, OCIObjectNew, m_environment, m_errorHandle, session->ServiceContext(),
            OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION, 1, &copy);
        m_typeRef = static_cast<OCIRef *>(copy);
        QD_OCI(this, *m_oci, OCIRefAssign, m_environment, m_errorHandle, tdoRef, &m_typeRef);
        void *descriptor = nullptr;
        QD_OCI(this, *m_oci, OCIObjectPin, m_environment, m_errorHandle, m_typeRef, nullptr,
            OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &descriptor);
        m_typeDescriptor = static_cast<OCIType *>(descriptor);
    }
}

TOracleReference::~TOracleReference()
{
    release();
}

void TOracleReference::release() noexcept
{
    if (m_oci && m_environment) {
        if (m_ref && m_ownsRef)
            m_oci->OCIObjectFree(m_environment, m_errorHandle, m_ref, 0);
        if (m_typeDescriptor)
            m_oci->OCIObjectUnpin(m_environment, m_errorHandle, m_typeDescriptor);
        if (m_typeRef)
            m_oci->OCIObjectFree(m_environment, m_errorHandle, m_typeRef, 0);
        if (m_errorHandle)
            m_oci->OCIHandleFree(m_errorHandle, OCI_HTYPE_ERROR);
    }
    m_ref = m_typeRef = nullptr;
    m_typeDescriptor = nullptr;
    m_errorHandle = nullptr;
    if (m_session)
        m_session->RemoveDependent(this);
    m_session = nullptr;
}

void TOracleReference::sessionDestroyed()
{
    m_session = nullptr;
}

sword TOracleReference::checkCall(sword status, const char *callName)
{
    CheckOracleResult(status, objectClass, *m_oci, m_errorHandle, m_session, this, callName);
    return status;
}

bool TOracleReference::IsNull()
{
    if (m_nullIndicator && *m_nullIndicator != 0)
        return true;
    return !m_ref || m_oci->OCIRefIsNull(m_environment, m_ref) != 0;
}

void TOracleReference::Clear()
{
    if (m_ref)
        m_oci->OCIRefClear(m_environment, m_ref);
    if (m_nullIndicator)
        *m_nullIndicator = !m_ref || m_oci->OCIRefIsNull(m_environment, m_ref) ? -1 : 0;
    if (m_owner)
        m_owner->AttributeChanged(m_ownerAttribute);
}

void TOracleReference::AsHex(QString &text)
{
    text.clear();
    if (!m_ref)
        return;
    ub4 length = m_oci->OCIRefHexSize(m_environment, m_ref);
    QByteArray buffer(static_cast<qsizetype>(length), '\0');
    if (length > 0)
        QD_OCI(this, *m_oci, OCIRefToHex, m_environment, m_errorHandle, m_ref,
            reinterpret_cast<OraText *>(buffer.data()), &length);
    text = QString::fromLatin1(buffer.left(static_cast<qsizetype>(length)));
}

QString TOracleReference::AsHex()
{
    QString text;
    AsHex(text);
    return text;
}

void TOracleReference::AttachRef(OCIRef *ref, sb2 *nullIndicator)
{
    if (m_ref && m_ownsRef)
        m_oci->OCIObjectFree(m_environment, m_errorHandle, m_ref, 0);
    m_ref = ref;
    m_ownsRef = false;
    m_nullIndicator = nullIndicator;
}

void TOracleReference::SetOwner(OracleAttributeOwner *owner, const QString &attribute)
{
    m_owner = owner;
    m_ownerAttribute = attribute;
}

} // namespace qd
