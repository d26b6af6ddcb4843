#include "oracle/OracleValueHandlers.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/LOBLocator.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"
#include "oracle/OracleObject.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTimestamp.h"

#include <QLocale>

#include <mutex>

namespace qd {

namespace {

// The value object a complex variable was assigned (null when none or of another class).
template <class Value> Value *assignedValue(TVariableData &variable)
{
    return dynamic_cast<Value *>(static_cast<QObject *>(variable.buffer));
}

// After an execute, a LOB locator or reference takes up the server's null indicator: a null
// clears the value, a non-null clears the value's own null flag.
template <class Value> void takeUpIndicator(TVariableData &variable)
{
    Value *value = assignedValue<Value>(variable);
    if (!value || variable.indicators.empty())
        return;
    if (variable.indicators[0] != 0) {
        if (!value->IsNull())
            value->Clear();
        variable.indicators[0] = 0;
    } else if (sb2 *own = value->NullIndicator()) {
        *own = 0;
    }
}

Variant nullForm(const TOracleQuery &query)
{
    return query.Session() && query.Session()->NullValue() == nvNull ? Variant::Null() : Variant();
}

void allocateRowDescriptors(TOracleQuery &query, TFieldData &field, ub4 kind)
{
    TOracleSession *session = query.Session();
    const OracleEntryPoints &oci = session->entryPoints();
    const OracleCallSite site { oci, QStringLiteral("TOracleQuery"), session->errorHandle(),
        session, &query };
    for (int row = 0; row < field.rowCount; ++row) {
        void *descriptor = nullptr;
        QD_OCI(&site, oci, OCIDescriptorAlloc, session->environmentHandle(), &descriptor, kind, 0,
            nullptr);
        field.SetRowReference(row, descriptor);
    }
}

// ---- LOB columns and variables --------------------------------------------------------------

class LobColumnHandler : public OracleColumnHandler {
public:
    void describe(TOracleQuery &, TFieldData &field, OCIParam *) override
    {
        field.defineType = field.dataType;
        field.elementSize = static_cast<qint32>(sizeof(void *));
    }
    void setUpBuffers(TOracleQuery &query, TFieldData &field) override
    {
        allocateRowDescriptors(query, field, DescriptorKind(field.defineType));
        field.valueObject = std::make_unique<TLOBLocator>(query.Session(), field.defineType);
        prepareRow(query, field, 0);
    }
    void beforeFetch(TOracleQuery &, TFieldData &field) override
    {
        if (TLOBLocator *lob = locator(field))
            lob->Seek(0, 0);
    }
    void prepareRow(TOracleQuery &, TFieldData &field, int row) override { attach(field, row); }
    Variant value(TOracleQuery &query, TFieldData &field, int row) override
    {
        TLOBLocator *lob = current(field, row);
        const qint64 size = lob->Size();
        if (size == 0)
            return nullForm(query);
        if (field.defineType == otCLOB) {
            QString text;
            lob->ReadAsString(size, text);
            return text;
        }
        QByteArray bytes;
        bytes.resize(static_cast<qsizetype>(size));
        lob->Seek(0, 0);
        bytes.truncate(static_cast<qsizetype>(lob->Read(bytes.data(), size)));
        return bytes;
    }
    bool asString(TOracleQuery &, TFieldData &field, int row, QString &text) override
    {
        TLOBLocator *lob = current(field, row);
        lob->AsString(text);
        return true;
    }

private:
    static TLOBLocator *locator(TFieldData &field)
    {
        return dynamic_cast<TLOBLocator *>(field.valueObject.get());
    }
    // The wrapper takes the row's locator and starts over at 0.
    static void attach(TFieldData &field, int row)
    {
        TLOBLocator *lob = locator(field);
        if (!lob || row < 0 || row >= field.rowCount)
            return;
        lob->AttachLocator(static_cast<OCILobLocator *>(field.RowReference(row)),
            &field.indicatorBuffer[static_cast<std::size_t>(row)]);
    }
    static TLOBLocator *current(TFieldData &field, int row)
    {
        attach(field, row);
        TLOBLocator *lob = locator(field);
        if (!lob)
            throw Exception(QStringLiteral("TLOBLocator: Invalid handle"));
        return lob;
    }
};

class LobVariableHandler : public OracleVariableHandler {
public:
    bool accepts(const QObject *value) const override
    {
        return dynamic_cast<const TLOBLocator *>(value) != nullptr;
    }
    void *bindValue(TOracleQuery &, TVariableData &variable, sb4 &size) override
    {
        TLOBLocator *lob = of(variable);
        variable.indicators.assign(1, lob->IsNull() ? sb2(-1) : sb2(0));
        size = static_cast<sb4>(sizeof(OCILobLocator *));
        return lob->LocatorAddress();
    }
    void sync(TOracleQuery &, TVariableData &variable) override
    {
        takeUpIndicator<TLOBLocator>(variable);
    }

private:
    static TLOBLocator *of(TVariableData &variable) { return assignedValue<TLOBLocator>(variable); }
};

// ---- Timestamp columns and variables --------------------------------------------------------

QString timestampText(double value)
{
    // Short date and long time, always both.
    const QDateTime dt = DateTimeToQDateTime(value);
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    return locale.toString(dt.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(dt.time(), time.trimmed());
}

class TimestampColumnHandler : public OracleColumnHandler {
public:
    void describe(TOracleQuery &, TFieldData &field, OCIParam *) override
    {
        field.defineType = field.dataType;
        field.elementSize = static_cast<qint32>(sizeof(void *));
    }
    void setUpBuffers(TOracleQuery &query, TFieldData &field) override
    {
        allocateRowDescriptors(query, field, DescriptorKind(field.defineType));
        field.valueObject = std::make_unique<TOracleTimestamp>(query.Session(), field.defineType);
        prepareRow(query, field, 0);
    }
    void prepareRow(TOracleQuery &, TFieldData &field, int row) override
    {
        auto *timestamp = dynamic_cast<TOracleTimestamp *>(field.valueObject.get());
        if (!timestamp || row < 0 || row >= field.rowCount)
            return;
        timestamp->AttachDescriptor(static_cast<OCIDateTime *>(field.RowReference(row)), false,
            field.indicatorBuffer[static_cast<std::size_t>(row)] == -1, field.defineType);
    }
    Variant value(TOracleQuery &query, TFieldData &field, int row) override
    {
        return Variant::FromDateTime(dateOf(query, field, row));
    }
    bool asString(TOracleQuery &query, TFieldData &field, int row, QString &text) override
    {
        text = timestampText(dateOf(query, field, row));
        return true;
    }
    bool asDate(TOracleQuery &query, TFieldData &field, int row, double &value) override
    {
        value = dateOf(query, field, row);
        return true;
    }

private:
    double dateOf(TOracleQuery &query, TFieldData &field, int row)
    {
        prepareRow(query, field, row);
        auto *timestamp = dynamic_cast<TOracleTimestamp *>(field.valueObject.get());
        if (!timestamp)
            throw Exception(QStringLiteral("TOracleTimestamp: Invalid handle"));
        return timestamp->Value();
    }
};

class TimestampVariableHandler : public OracleVariableHandler {
public:
    bool accepts(const QObject *value) const override
    {
        return dynamic_cast<const TOracleTimestamp *>(value) != nullptr;
    }
    void *bindValue(TOracleQuery &query, TVariableData &variable, sb4 &size) override
    {
        TOracleTimestamp *timestamp = assigned(variable);
        if (!timestamp) {
            // A variable given a plain date-time binds a timestamp of its own.
            const bool isNull = variable.FirstIndicator() == -1;
            variable.temporaryTimestamp.reset();
            auto owned = std::make_unique<TOracleTimestamp>(query.Session(), variable.type);
            if (isNull)
                owned->SetNull();
            else
                owned->SetValue(variable.dateTimeValue);
            timestamp = owned.get();
            variable.temporaryTimestamp = std::move(owned);
        }
        variable.indicators.assign(1, timestamp->IsNull() ? sb2(-1) : sb2(0));
        size = static_cast<sb4>(sizeof(OCIDateTime *));
        return timestamp->DescriptorAddress();
    }
    void sync(TOracleQuery &, TVariableData &variable) override
    {
        TOracleTimestamp *timestamp = assigned(variable);
        const bool owned = !timestamp;
        if (owned)
            timestamp = dynamic_cast<TOracleTimestamp *>(variable.temporaryTimestamp.get());
        if (!timestamp || variable.indicators.empty())
            return;
        if (variable.indicators[0] != 0) {
            if (!timestamp->IsNull())
                timestamp->SetNull();
            if (!owned)
                variable.indicators[0] = 0;
        } else {
            timestamp->SetNullFlag(false);
        }
        if (owned) {
            variable.dateTimeValue = timestamp->IsNull() ? 0.0 : timestamp->Value();
            variable.temporaryTimestamp.reset();
        }
    }

private:
    static TOracleTimestamp *assigned(TVariableData &variable)
    {
        return assignedValue<TOracleTimestamp>(variable);
    }
};

// ---- Object and REF columns and variables ---------------------------------------------------

QString paramText(const OracleEntryPoints &oci, OCIParam *parameter, ub4 attribute, OCIError *error)
{
    OraText *text = nullptr;
    ub4 length = 0;
    if (oci.OCIAttrGet(parameter, OCI_DTYPE_PARAM, &text, &length, attribute, error) != OCI_SUCCESS
        || !text)
        return QString();
    return QString::fromUtf8(
        reinterpret_cast<const char *>(text), static_cast<qsizetype>(std::min<ub4>(length, 30)));
}

class ObjectColumnHandler : public OracleColumnHandler {
public:
    void describe(TOracleQuery &query, TFieldData &field, OCIParam *parameter) override
    {
        TOracleSession *session = query.Session();
        const OracleEntryPoints &oci = session->entryPoints();
        OCIEnv *env = session->environmentHandle();
        OCIError *error = session->errorHandle();
        const OracleCallSite site { oci, QStringLiteral("TOracleQuery"), error, session, &query };
        field.typeName = paramText(oci, parameter, OCI_ATTR_SCHEMA_NAME, error) + QLatin1Char('.')
            + paramText(oci, parameter, OCI_ATTR_TYPE_NAME, error);
        field.defineType = field.dataType;
        field.elementSize = static_cast<qint32>(sizeof(void *));
        if (field.dataType != SQLT_NTY)
            return;
        OCIRef *tdoRef = nullptr;
        QD_OCI(&site, oci, OCIAttrGet, parameter, OCI_DTYPE_PARAM, &tdoRef, nullptr,
            OCI_ATTR_REF_TDO, error);
        void *ref = nullptr;
        QD_OCI(&site, oci, OCIObjectNew, env, error, session->ServiceContext(), OCI_TYPECODE_REF,
            nullptr, nullptr, OCI_DURATION_SESSION, 1, &ref);
        auto *typeRef = static_cast<OCIRef *>(ref);
        // The rows' instances are freed with the field, through the query's own error handle.
        field.SetObjectHandles(nullptr, typeRef, env, query.ErrorHandle());
        QD_OCI(&site, oci, OCIRefAssign, env, error, tdoRef, &field.typeReference);
        void *descriptor = nullptr;
        QD_OCI(&site, oci, OCIObjectPin, env, error, field.typeReference, nullptr, OCI_PIN_ANY,
            OCI_DURATION_SESSION, OCI_LOCK_NONE, &descriptor);
        field.typeDescriptor = static_cast<OCIType *>(descriptor);
    }
    void setUpBuffers(TOracleQuery &query, TFieldData &field) override
    {
        field.nullStructures.assign(static_cast<std::size_t>(field.rowCount), nullptr);
        TOracleSession *session = query.Session();
        if (field.dataType == SQLT_NTY) {
            if (field.typeName.compare(QStringLiteral("SYS.XMLTYPE"), Qt::CaseInsensitive) == 0)
                field.valueObject
                    = TXMLType::CreateWrapper(session, field.typeName, field.typeReference);
            else
                field.valueObject
                    = TOracleObject::CreateWrapper(session, field.typeName, field.typeReference);
        } else {
            field.valueObject = std::make_unique<TOracleReference>(
                session, nullptr, field.typeName.section(QLatin1Char('.'), 1));
        }
    }
    void define(TOracleQuery &query, TFieldData &field, OCIDefine *define) override
    {
        TOracleSession *session = query.Session();
        const OracleEntryPoints &oci = session->entryPoints();
        const bool object = field.dataType == SQLT_NTY;
        const OracleCallSite site { oci, QStringLiteral("TOracleQuery"), query.ErrorHandle(),
            session, &query };
        QD_OCI(&site, oci, OCIDefineObject, define, query.ErrorHandle(),
            object ? field.typeDescriptor : nullptr, reinterpret_cast<void **>(field.data.get()),
            nullptr, object ? field.nullStructures.data() : nullptr, nullptr);
    }
    void prepareRow(TOracleQuery &query, TFieldData &field, int row) override
    {
        if (row < 0 || row >= field.rowCount)
            return;
        TOracleSession *session = query.Session();
        const OracleEntryPoints &oci = session->entryPoints();
        OCIEnv *env = session->environmentHandle();
        OCIError *error = session->errorHandle();
        const OracleCallSite site { oci, QStringLiteral("TOracleQuery"), error, session, &query };
        void *instance = field.RowReference(row);
        const auto r = static_cast<std::size_t>(row);
        if (field.dataType == SQLT_NTY) {
            if (!instance) {
                // The row carried no object: a null one stands in for it.
                QD_OCI(&site, oci, OCIObjectNew, env, error, session->ServiceContext(),
                    session->ObjectTypeCode(field.typeDescriptor), field.typeDescriptor, nullptr,
                    OCI_DURATION_SESSION, 1, &instance);
                field.SetRowReference(row, instance);
                void *nulls = nullptr;
                QD_OCI(&site, oci, OCIObjectGetInd, env, error, instance, &nulls);
                field.nullStructures[r] = nulls;
                if (nulls)
                    *static_cast<sb2 *>(nulls) = OCI_IND_NULL;
            }
            if (auto *object = dynamic_cast<TOracleObject *>(field.valueObject.get()))
                object->SetInstance(instance, field.nullStructures[r], nullptr);
        } else {
            if (!instance) {
                QD_OCI(&site, oci, OCIObjectNew, env, error, session->ServiceContext(),
                    OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION, 1, &instance);
                field.SetRowReference(row, instance);
            }
            if (auto *reference = dynamic_cast<TOracleReference *>(field.valueObject.get())) {
                reference->AttachRef(static_cast<OCIRef *>(instance), nullptr);
                if (field.indicatorBuffer[r] == -1)
                    reference->Clear();
            }
        }
    }
    bool isNull(TOracleQuery &query, TFieldData &field, int row) const override
    {
        if (field.dataType != SQLT_NTY)
            return OracleColumnHandler::isNull(query, field, row);
        if (row < 0 || row >= static_cast<int>(field.nullStructures.size()))
            return true;
        const void *nulls = field.nullStructures[static_cast<std::size_t>(row)];
        return !nulls || *static_cast<const sb2 *>(nulls) != 0;
    }
    Variant value(TOracleQuery &query, TFieldData &field, int row) override
    {
        QString text;
        if (asString(query, field, row, text))
            return text;
        return nullForm(query);
    }
    bool asString(TOracleQuery &query, TFieldData &field, int row, QString &text) override
    {
        prepareRow(query, field, row);
        if (auto *xml = dynamic_cast<TXMLType *>(field.valueObject.get())) {
            xml->XMLText(text);
            return true;
        }
        if (auto *reference = dynamic_cast<TOracleReference *>(field.valueObject.get())) {
            reference->AsHex(text);
            return true;
        }
        return false;
    }
};

class ObjectVariableHandler : public OracleVariableHandler {
public:
    bool accepts(const QObject *value) const override
    {
        return dynamic_cast<const TOracleObject *>(value) != nullptr;
    }
    void *bindValue(TOracleQuery &, TVariableData &variable, sb4 &size) override
    {
        TOracleObject *object = of(variable);
        variable.indicators.assign(1, 0);
        size = 0;
        return object->Instance();
    }
    void afterBind(TOracleQuery &query, TVariableData &variable, OCIBind *bind) override
    {
        TOracleObject *object = of(variable);
        TOracleSession *session = query.Session();
        const OracleEntryPoints &oci = session->entryPoints();
        const OracleCallSite site { oci, QStringLiteral("TOracleQuery"), query.ErrorHandle(),
            session, &query };
        QD_OCI(&site, oci, OCIBindObject, bind, query.ErrorHandle(), object->TypeDescriptor(),
            object->InstanceAddress(), nullptr, object->NullStructAddress(), nullptr);
    }

private:
    static TOracleObject *of(TVariableData &variable)
    {
        return assignedValue<TOracleObject>(variable);
    }
};

class ReferenceVariableHandler : public OracleVariableHandler {
public:
    bool accepts(const QObject *value) const override
    {
        return dynamic_cast<const TOracleReference *>(value) != nullptr;
    }
    void *bindValue(TOracleQuery &, TVariableData &variable, sb4 &size) override
    {
        TOracleReference *reference = of(variable);
        variable.indicators.assign(1, reference->IsNull() ? sb2(-1) : sb2(0));
        size = 0;
        return reference->Ref();
    }
    void afterBind(TOracleQuery &query, TVariableData &variable, OCIBind *bind) override
    {
        TOracleReference *reference = of(variable);
        TOracleSession *session = query.Session();
        const OracleEntryPoints &oci = session->entryPoints();
        const OracleCallSite site { oci, QStringLiteral("TOracleQuery"), query.ErrorHandle(),
            session, &query };
        QD_OCI(&site, oci, OCIBindObject, bind, query.ErrorHandle(), reference->TypeDescriptor(),
            reinterpret_cast<void **>(reference->RefAddress()), nullptr, nullptr, nullptr);
    }
    void sync(TOracleQuery &, TVariableData &variable) override
    {
        takeUpIndicator<TOracleReference>(variable);
    }

private:
    static TOracleReference *of(TVariableData &variable)
    {
        return assignedValue<TOracleReference>(variable);
    }
};

} // namespace

void RegisterOracleValueHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto lobColumns = std::make_shared<LobColumnHandler>();
        auto lobVariables = std::make_shared<LobVariableHandler>();
        for (int type : { SQLT_CLOB, SQLT_BLOB, SQLT_BFILEE }) {
            OracleQueryExtensions::SetColumnHandler(type, lobColumns);
            OracleQueryExtensions::SetVariableHandler(type, lobVariables);
        }
        auto objectColumns = std::make_shared<ObjectColumnHandler>();
        OracleQueryExtensions::SetColumnHandler(SQLT_NTY, objectColumns);
        OracleQueryExtensions::SetColumnHandler(SQLT_REF, objectColumns);
        OracleQueryExtensions::SetVariableHandler(
            SQLT_NTY, std::make_shared<ObjectVariableHandler>());
        OracleQueryExtensions::SetVariableHandler(
            SQLT_REF, std::make_shared<ReferenceVariableHandler>());
        auto timestampColumns = std::make_shared<TimestampColumnHandler>();
        auto timestampVariables = std::make_shared<TimestampVariableHandler>();
        for (int type : { SQLT_TIMESTAMP, SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ }) {
            OracleQueryExtensions::SetColumnHandler(type, timestampColumns);
            OracleQueryExtensions::SetVariableHandler(type, timestampVariables);
        }
    });
}

} // namespace qd
