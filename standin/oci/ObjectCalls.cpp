// The object calls: type describe (OCIDescribeAny), the object cache (new, pin, free, null
// structures), REFs, the string, raw and number helpers that read attribute values, and object
// binds and defines (OCIBindObject, OCIDefineObject) with the statement hooks that move object
// values between the caller's instances and their stored text.
#include "Export.h"
#include "engine/ObjectTypes.h"
#include "engine/OraErrors.h"
#include "oci/BufferValues.h"
#include "oci/LobLocator.h"
#include "oci/ObjectCache.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace qdsi;
using namespace qdsi::oci;
using engine::oraFail;

namespace {

engine::Session &sessionOf(SvcCtxHandle *service)
{
    if (!service || !service->session || !service->session->session)
        throw oraFail(1012);
    return *service->session->session;
}

std::string numberText(const OCINumber *number)
{
    ub1 part[22];
    std::memcpy(part, number, sizeof part);
    const size_t length = std::min<size_t>(part[0], 21);
    return std::string(reinterpret_cast<const char *>(part + 1), length);
}

// The number of an attribute slot; an empty slot (a null attribute) is not a number.
long double numberValue(const OCINumber *number)
{
    const std::string text = numberText(number);
    if (text.empty())
        throw oraFail(1722);
    char *end = nullptr;
    errno = 0;
    const long double value = std::strtold(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE)
        throw oraFail(1722);
    return value;
}

// The object cache's arrays of an object bind or define; none when the instance pointers are
// in the buffer itself.
const engine::ClientExtras &extrasOf(const engine::ClientBuffer &b)
{
    static const engine::ClientExtras none;
    return b.extras ? *b.extras : none;
}

void **objectSlot(const engine::ClientBuffer &b, size_t row)
{
    if (void **slots = extrasOf(b).objectSlots)
        return slots + row;
    return static_cast<void **>(b.element(row));
}

} // namespace

// ---- Statement hooks --------------------------------------------------------------------------

namespace qdsi::oci {

int storeObject(sqlite3_value *value, const engine::ClientBuffer &b, size_t row)
{
    const bool isNull = sqlite3_value_type(value) == SQLITE_NULL;
    void **slot = objectSlot(b, row);
    const engine::ClientExtras &extras = extrasOf(b);
    if (b.type == engine::BufferType::Ref) {
        auto *ref = handleOf<RefValue>(*slot, kRefValue);
        if (!ref) {
            ref = new RefValue;
            *slot = static_cast<Handle *>(ref);
        }
        ref->table.clear(), ref->objectId.clear();
        if (!isNull) {
            const std::string text = reinterpret_cast<const char *>(sqlite3_value_text(value));
            const size_t slash = text.find('/');
            if (slash != std::string::npos)
                ref->table = text.substr(0, slash), ref->objectId = text.substr(slash + 1);
        }
    } else {
        auto *tdo = handleOf<TypeDescriptor>(extras.objectType, kTypeDescriptor);
        if (!tdo)
            throw oraFail(21560, "type descriptor");
        const engine::ObjectType *current = instanceType(*slot);
        if (!current || current->qualifiedName() != tdo->type->qualifiedName()) {
            *slot = newInstance(tdo->type); // the caller's slot held no instance of the type
        }
        engine::ObjectValue stored;
        if (!isNull) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
            stored = engine::decodeObjectValue(text ? std::string_view(text) : std::string_view());
        }
        fillInstance(*slot, stored);
        if (extras.objectNulls)
            extras.objectNulls[row] = instanceNulls(*slot);
    }
    if (int16_t *indicator = b.indicatorAt(row))
        *indicator = isNull ? -1 : 0;
    if (uint16_t *length = b.lengthAt(row))
        *length = sizeof(void *);
    return 0;
}

} // namespace qdsi::oci

namespace qdsi::engine {

bool xmlBindValue(const ClientBuffer &b, size_t row, std::string &document)
{
    const int16_t *indicator = b.indicatorAt(row);
    void **slots = extrasOf(b).objectSlots;
    void *instance = slots ? slots[row] : b.data;
    if ((indicator && *indicator == -1) || !instance)
        return false;
    const ObjectType *type = instanceType(instance);
    if (!type)
        throw oraFail(21560, "instance");
    if (!type->isXml)
        throw oraFail(3001); // blocks hold no objects but XMLTYPE documents
    const auto *nulls = static_cast<const sb2 *>(instanceNulls(instance));
    if (!nulls || nulls[0] != 0)
        return false;
    document = instanceXml(instance);
    return true;
}

} // namespace qdsi::engine

namespace qdsi::oci {

void bindObject(sqlite3_stmt *statement, int index, const engine::ClientBuffer &b, size_t row)
{
    const int16_t *indicator = b.indicatorAt(row);
    void **slots = extrasOf(b).objectSlots;
    void *instance = slots ? slots[row] : b.data;
    if ((indicator && *indicator == -1) || !instance) {
        sqlite3_bind_null(statement, index);
        return;
    }
    std::string text;
    if (b.type == engine::BufferType::Ref) {
        auto *ref = handleOf<RefValue>(instance, kRefValue);
        if (!ref)
            throw oraFail(21560, "REF");
        if (ref->objectId.empty()) {
            sqlite3_bind_null(statement, index);
            return;
        }
        text = ref->table + "/" + ref->objectId;
    } else {
        const engine::ObjectValue value = instanceValue(instance);
        if (value.isNull) {
            sqlite3_bind_null(statement, index);
            return;
        }
        text = engine::encodeObjectValue(value);
    }
    sqlite3_bind_text(
        statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace qdsi::oci

// ---- Binds and defines ------------------------------------------------------------------------

QDSI_EXPORT sword OCIDefineObject(OCIDefine *defnp, OCIError *errhp, const OCIType *type,
    void **pgvpp, ub4 *, void **indpp, ub4 *)
{
    auto *define = handleOf<DefineHandle>(defnp, OCI_HTYPE_DEFINE);
    if (!define)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    if (define->buffer.type == engine::BufferType::Object
        && !handleOf<TypeDescriptor>(type, kTypeDescriptor))
        return fail(errhp, oraFail(21560, "type descriptor"));
    define->extras.objectType = type;
    define->extras.objectSlots = pgvpp;
    define->extras.objectNulls = indpp;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIBindObject(
    OCIBind *bindp, OCIError *errhp, const OCIType *type, void **pgvpp, ub4 *, void **indpp, ub4 *)
{
    auto *bind = handleOf<BindHandle>(bindp, OCI_HTYPE_BIND);
    if (!bind)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    if (bind->value.buffer.type == engine::BufferType::Object
        && !handleOf<TypeDescriptor>(type, kTypeDescriptor))
        return fail(errhp, oraFail(21560, "type descriptor"));
    bind->extras.objectType = type;
    bind->extras.objectSlots = pgvpp;
    bind->extras.objectNulls = indpp;
    return OCI_SUCCESS;
}

// ---- Describe ---------------------------------------------------------------------------------

QDSI_EXPORT sword OCIDescribeAny(OCISvcCtx *svchp, OCIError *errhp, void *objptr, ub4 objnm_len,
    ub1 objptr_typ, ub1, ub1 objtyp, OCIDescribe *dschp)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    auto *describe = handleOf<DescribeHandle>(dschp, OCI_HTYPE_DESCRIBE);
    if (!service || !describe || !objptr)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    return guarded(errhp, [&] {
        std::shared_ptr<const engine::ObjectType> type;
        if (objptr_typ == OCI_OTYPE_PTR) {
            auto *tdo = handleOf<TypeDescriptor>(objptr, kTypeDescriptor);
            if (!tdo)
                throw oraFail(21560, "type descriptor");
            type = tdo->type;
        } else if (objptr_typ == OCI_OTYPE_NAME) {
            if (objtyp != OCI_PTYPE_TYPE && objtyp != 0)
                throw oraFail(3001); // only types are described
            engine::Session &session = sessionOf(service);
            engine::Session::Call call(session, true);
            const std::string name
                = textOf(static_cast<const text *>(objptr), static_cast<sb4>(objnm_len));
            type = engine::findObjectType(session, name);
            if (!type)
                throw oraFail(4043, "object " + name + " does not exist");
        } else {
            throw oraFail(3001);
        }
        describe->root = std::make_unique<ParamDescriptor>();
        describe->root->env = describe->env;
        describeType(*describe->root, type);
        return OCI_SUCCESS;
    });
}

// ---- The object cache -------------------------------------------------------------------------

QDSI_EXPORT sword OCIObjectNew(OCIEnv *, OCIError *err, const OCISvcCtx *, OCITypeCode typecode,
    OCIType *tdo, void *table, OCIDuration, boolean, void **instance)
{
    if (!instance)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (table)
            throw oraFail(3001); // persistent objects: object tables are not kept
        if (typecode == SQLT_REF) {
            auto *ref = new RefValue;
            if (auto *t = handleOf<TypeDescriptor>(tdo, kTypeDescriptor))
                ref->type = t->type;
            *instance = static_cast<Handle *>(ref);
            return OCI_SUCCESS;
        }
        if (typecode == SQLT_CLOB || typecode == SQLT_BLOB) {
            auto *lob = static_cast<LobLocator *>(newLobLocator(OCI_DTYPE_LOB));
            lob->ref.kind
                = typecode == SQLT_CLOB ? engine::BufferType::Clob : engine::BufferType::Blob;
            *instance = static_cast<Handle *>(lob);
            return OCI_SUCCESS;
        }
        auto *t = handleOf<TypeDescriptor>(tdo, kTypeDescriptor);
        if (!t || (typecode != engine::tcObject && typecode != engine::tcNamedCollection))
            throw oraFail(21560, "type code");
        *instance = newInstance(t->type);
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIObjectGetInd(OCIEnv *, OCIError *err, void *instance, void **null_struct)
{
    if (!null_struct)
        return OCI_INVALID_HANDLE;
    clearError(err);
    void *nulls = instanceNulls(instance);
    if (!nulls)
        return fail(err, oraFail(21560, "instance"));
    *null_struct = nulls;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIObjectFree(OCIEnv *, OCIError *err, void *instance, ub2)
{
    clearError(err);
    if (freeInstance(instance))
        return OCI_SUCCESS;
    if (auto *ref = handleOf<RefValue>(instance, kRefValue)) {
        delete ref;
        return OCI_SUCCESS;
    }
    if (auto *lob = lobLocatorOf(instance)) {
        delete lob;
        return OCI_SUCCESS;
    }
    return fail(err, oraFail(21560, "instance"));
}

QDSI_EXPORT sword OCIObjectPin(OCIEnv *, OCIError *err, OCIRef *object_ref, OCIComplexObject *,
    OCIPinOpt, OCIDuration, OCILockOpt, void **object)
{
    auto *ref = handleOf<RefValue>(object_ref, kRefValue);
    if (!ref || !object)
        return OCI_INVALID_HANDLE;
    clearError(err);
    if (!ref->toType || !ref->type)
        return fail(err, 21700); // rows of object tables are not kept in the cache
    *object = static_cast<Handle *>(typeDescriptorFor(ref->type));
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIObjectUnpin(OCIEnv *, OCIError *err, void *object)
{
    clearError(err);
    if (handleOf<TypeDescriptor>(object, kTypeDescriptor) || instanceType(object))
        return OCI_SUCCESS;
    return fail(err, oraFail(21560, "object"));
}

// ---- REFs -------------------------------------------------------------------------------------

QDSI_EXPORT sword OCIRefAssign(OCIEnv *, OCIError *err, const OCIRef *source, OCIRef **target)
{
    auto *from = handleOf<RefValue>(source, kRefValue);
    if (!from || !target)
        return OCI_INVALID_HANDLE;
    clearError(err);
    auto *to = handleOf<RefValue>(*target, kRefValue);
    if (!to) {
        to = new RefValue;
        *target = reinterpret_cast<OCIRef *>(static_cast<Handle *>(to));
    }
    to->type = from->type;
    to->toType = from->toType;
    to->table = from->table;
    to->objectId = from->objectId;
    return OCI_SUCCESS;
}

QDSI_EXPORT void OCIRefClear(OCIEnv *, OCIRef *ref)
{
    if (auto *r = handleOf<RefValue>(ref, kRefValue)) {
        r->table.clear();
        r->objectId.clear();
        r->toType = false;
    }
}

QDSI_EXPORT boolean OCIRefIsNull(OCIEnv *, const OCIRef *ref)
{
    auto *r = handleOf<RefValue>(ref, kRefValue);
    return !r || r->objectId.empty() ? 1 : 0;
}

namespace {

std::string refText(const RefValue &ref)
{
    return ref.objectId.empty() ? std::string() : ref.table + "/" + ref.objectId;
}

} // namespace

QDSI_EXPORT ub4 OCIRefHexSize(OCIEnv *, const OCIRef *ref)
{
    auto *r = handleOf<RefValue>(ref, kRefValue);
    return r ? static_cast<ub4>(2 * refText(*r).size()) : 0;
}

QDSI_EXPORT sword OCIRefToHex(
    OCIEnv *, OCIError *err, const OCIRef *ref, oratext *hex, ub4 *hex_length)
{
    auto *r = handleOf<RefValue>(ref, kRefValue);
    if (!r || !hex || !hex_length)
        return OCI_INVALID_HANDLE;
    clearError(err);
    static const char digits[] = "0123456789ABCDEF";
    const std::string text = refText(*r);
    if (*hex_length < 2 * text.size())
        return fail(err, 1877);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        hex[2 * i] = static_cast<oratext>(digits[c >> 4]);
        hex[2 * i + 1] = static_cast<oratext>(digits[c & 15]);
    }
    *hex_length = static_cast<ub4>(2 * text.size());
    return OCI_SUCCESS;
}

// ---- Strings, raws, numbers, collections ------------------------------------------------------

QDSI_EXPORT oratext *OCIStringPtr(OCIEnv *, const OCIString *vs)
{
    auto *s = handleOf<StringValue>(vs, kStringValue);
    return s ? reinterpret_cast<oratext *>(s->text.data()) : nullptr;
}

QDSI_EXPORT ub1 *OCIRawPtr(OCIEnv *, const OCIRaw *raw)
{
    auto *r = handleOf<RawValue>(raw, kRawValue);
    return r ? reinterpret_cast<ub1 *>(r->bytes.data()) : nullptr;
}

QDSI_EXPORT ub4 OCIRawSize(OCIEnv *, const OCIRaw *raw)
{
    auto *r = handleOf<RawValue>(raw, kRawValue);
    return r ? static_cast<ub4>(r->bytes.size()) : 0;
}

QDSI_EXPORT sword OCINumberToInt(
    OCIError *err, const OCINumber *number, uword rsl_length, uword rsl_flag, void *rsl)
{
    if (!number || !rsl)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        const long double value = std::trunc(numberValue(number));
        const bool isSigned = rsl_flag == 2;
        const long double bits = static_cast<long double>(rsl_length) * 8;
        const long double limit = std::pow(2.0L, isSigned ? bits - 1 : bits);
        if (rsl_length != 1 && rsl_length != 2 && rsl_length != 4 && rsl_length != 8)
            throw oraFail(21560, "length");
        if (value >= limit || value < (isSigned ? -limit : 0.0L))
            throw oraFail(1455);
        const auto whole = static_cast<long long>(value);
        switch (rsl_length) {
        case 1: {
            const auto v = static_cast<int8_t>(whole);
            std::memcpy(rsl, &v, 1);
            break;
        }
        case 2: {
            const auto v = static_cast<int16_t>(whole);
            std::memcpy(rsl, &v, 2);
            break;
        }
        case 4: {
            const auto v = static_cast<int32_t>(whole);
            std::memcpy(rsl, &v, 4);
            break;
        }
        default:
            std::memcpy(rsl, &whole, 8);
        }
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCINumberToReal(
    OCIError *err, const OCINumber *number, uword rsl_length, void *rsl)
{
    if (!number || !rsl)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        const long double value = numberValue(number);
        if (rsl_length == sizeof(double)) {
            const auto v = static_cast<double>(value);
            std::memcpy(rsl, &v, sizeof v);
        } else if (rsl_length == sizeof(float)) {
            const auto v = static_cast<float>(value);
            std::memcpy(rsl, &v, sizeof v);
        } else {
            throw oraFail(21560, "length");
        }
        return OCI_SUCCESS;
    });
}

// The format is not applied: the text is the number's plain decimal text, which is what the
// client asks for with its "FM999…D999…" models.
QDSI_EXPORT sword OCINumberToText(OCIError *err, const OCINumber *number, const oratext *, ub4,
    const oratext *, ub4, ub4 *buf_size, oratext *buf)
{
    if (!number || !buf_size || !buf)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        numberValue(number); // an empty slot is no number
        const std::string text = numberText(number);
        if (*buf_size < text.size())
            throw oraFail(1877);
        std::memcpy(buf, text.data(), text.size());
        *buf_size = static_cast<ub4>(text.size());
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCICollSize(OCIEnv *, OCIError *err, const OCIColl *coll, sb4 *size)
{
    auto *c = handleOf<CollectionValue>(coll, kCollectionValue);
    if (!c || !size)
        return OCI_INVALID_HANDLE;
    clearError(err);
    *size = static_cast<sb4>(c->elements.size());
    return OCI_SUCCESS;
}
