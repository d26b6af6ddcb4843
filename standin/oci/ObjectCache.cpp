// The object cache's instances and values, filled from and read back to stored object values,
// and the type describe parameters. NUMBER attributes keep the number's text in the 22 bytes
// of their OCINumber (a length byte and up to 21 characters), which only the stand-in's own
// number calls read.
#include "oci/ObjectCache.h"

#include "engine/OraErrors.h"
#include "oci/DateTimeDescriptor.h"
#include "oci/LobLocator.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

namespace qdsi::oci {

using engine::ObjectAttribute;
using engine::ObjectType;
using engine::ObjectValue;
using engine::oraFail;

namespace {

struct OciNumber {
    ub1 part[22];
};
struct OciDate {
    sb2 year;
    ub1 month, day, hour, minute, second;
};
static_assert(sizeof(OciDate) == 8);

struct Instance {
    std::shared_ptr<const ObjectType> type;
    std::unique_ptr<std::max_align_t[]> values;
    std::unique_ptr<sb2[]> nulls;
    std::string xml; // SYS.XMLTYPE: the document
};

std::mutex cacheMutex;
std::unordered_map<const void *, std::unique_ptr<Instance>> instances;

Instance *find(const void *instance)
{
    std::lock_guard lock(cacheMutex);
    auto it = instances.find(instance);
    return it == instances.end() ? nullptr : it->second.get();
}

bool isEmbedded(const ObjectAttribute &a)
{
    return a.typeCode == engine::tcObject && a.type && !a.type->isCollection() && !a.type->isXml;
}

bool isXmlAttribute(const ObjectAttribute &a)
{
    return a.typeCode == engine::tcObject && a.type && a.type->isXml;
}

bool isPointerSlot(const ObjectAttribute &a)
{
    return a.typeCode != engine::tcNumber && a.typeCode != engine::tcDate && !isEmbedded(a);
}

Handle *newSlotValue(const ObjectAttribute &a)
{
    switch (a.typeCode) {
    case engine::tcRaw:
        return new RawValue;
    case engine::tcRef: {
        auto *ref = new RefValue;
        ref->type = a.type;
        return ref;
    }
    case engine::tcClob:
    case engine::tcBlob: {
        auto *lob = static_cast<LobLocator *>(newLobLocator(OCI_DTYPE_LOB));
        lob->ref.kind
            = a.typeCode == engine::tcClob ? engine::BufferType::Clob : engine::BufferType::Blob;
        return lob;
    }
    case engine::tcTimestamp:
        return newDateTime(OCI_DTYPE_TIMESTAMP);
    case engine::tcObject: {
        auto *collection = new CollectionValue;
        collection->type = a.type;
        return collection;
    }
    default:
        return new StringValue;
    }
}

void **slotAt(char *base, const ObjectAttribute &a)
{
    return reinterpret_cast<void **>(base + a.valueOffset);
}

void allocateSlots(const ObjectType &type, char *base)
{
    for (const ObjectAttribute &a : type.attributes) {
        if (isEmbedded(a))
            allocateSlots(*a.type, base + a.valueOffset);
        else if (isXmlAttribute(a))
            *slotAt(base, a) = newInstance(a.type);
        else if (isPointerSlot(a))
            *slotAt(base, a) = static_cast<Handle *>(newSlotValue(a));
    }
}

void freeSlots(const ObjectType &type, char *base)
{
    for (const ObjectAttribute &a : type.attributes) {
        if (isEmbedded(a)) {
            freeSlots(*a.type, base + a.valueOffset);
        } else if (isXmlAttribute(a)) {
            freeInstance(*slotAt(base, a));
            *slotAt(base, a) = nullptr;
        } else if (isPointerSlot(a)) {
            delete static_cast<Handle *>(*slotAt(base, a));
            *slotAt(base, a) = nullptr;
        }
    }
}

void writeNumber(void *slot, const std::string &text)
{
    OciNumber n {};
    const size_t length = std::min<size_t>(text.size(), sizeof n.part - 1);
    n.part[0] = static_cast<ub1>(length);
    std::memcpy(n.part + 1, text.data(), length);
    std::memcpy(slot, &n, sizeof n);
}

std::string readNumber(const void *slot)
{
    OciNumber n;
    std::memcpy(&n, slot, sizeof n);
    const size_t length = std::min<size_t>(n.part[0], sizeof n.part - 1);
    return std::string(reinterpret_cast<const char *>(n.part + 1), length);
}

void writeDate(void *slot, const std::string &iso)
{
    OciDate d {};
    int y = 1, mo = 1, da = 1, h = 0, mi = 0, s = 0;
    if (std::sscanf(iso.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &da, &h, &mi, &s) < 3)
        throw oraFail(1861);
    d.year = static_cast<sb2>(y);
    d.month = static_cast<ub1>(mo), d.day = static_cast<ub1>(da);
    d.hour = static_cast<ub1>(h), d.minute = static_cast<ub1>(mi), d.second = static_cast<ub1>(s);
    std::memcpy(slot, &d, sizeof d);
}

std::string readDate(const void *slot)
{
    OciDate d;
    std::memcpy(&d, slot, sizeof d);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
        d.hour, d.minute, d.second);
    return text;
}

std::string fromHex(const std::string &hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string toHex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

void fillLevel(const ObjectType &type, char *base, sb2 *nulls, const ObjectValue &value);

void fillAttribute(const ObjectAttribute &a, char *base, sb2 *nulls, const ObjectValue &v)
{
    sb2 *indicator = nulls + a.nullOffset / 2;
    if (isEmbedded(a)) {
        fillLevel(*a.type, base + a.valueOffset, indicator, v);
        return;
    }
    if (isXmlAttribute(a)) {
        *indicator = v.isNull ? -1 : 0;
        fillInstance(*slotAt(base, a), v);
        return;
    }
    *indicator = v.isNull ? -1 : 0;
    const std::string &text = v.scalar;
    void *slot = base + a.valueOffset;
    switch (a.typeCode) {
    case engine::tcNumber:
        writeNumber(slot, v.isNull ? std::string() : text);
        return;
    case engine::tcDate:
        if (v.isNull)
            std::memset(slot, 0, sizeof(OciDate));
        else
            writeDate(slot, text);
        return;
    default:
        break;
    }
    Handle *h = static_cast<Handle *>(*slotAt(base, a));
    if (auto *s = handleOf<StringValue>(h, kStringValue)) {
        s->text = v.isNull ? std::string() : text;
    } else if (auto *r = handleOf<RawValue>(h, kRawValue)) {
        r->bytes = v.isNull ? std::string() : fromHex(text);
    } else if (auto *ref = handleOf<RefValue>(h, kRefValue)) {
        ref->table.clear(), ref->objectId.clear();
        const size_t slash = text.find('/');
        if (!v.isNull && slash != std::string::npos)
            ref->table = text.substr(0, slash), ref->objectId = text.substr(slash + 1);
    } else if (auto *c = handleOf<CollectionValue>(h, kCollectionValue)) {
        c->elements = v.isNull ? std::vector<ObjectValue>() : v.items;
    } else if (auto *lob = lobLocatorOf(h)) {
        lob->initialized = !v.isNull;
        lob->ref.hasRow = false;
        lob->ref.snapshot = v.isNull ? std::string() : text;
    } else if (auto *t = dateTimeOf(h)) {
        *t = DateTimeDescriptor(t->type);
        if (!v.isNull) {
            if (!fromStoredText(text, *t))
                throw oraFail(1861);
            t->set = true;
        }
    }
}

// One level: an instance's own indicator at nulls[0], its attributes after it.
void fillLevel(const ObjectType &type, char *base, sb2 *nulls, const ObjectValue &value)
{
    nulls[0] = value.isNull ? -1 : 0;
    static const ObjectValue null;
    for (size_t i = 0; i < type.attributes.size(); ++i)
        fillAttribute(type.attributes[i], base, nulls,
            !value.isNull && i < value.items.size() ? value.items[i] : null);
}

ObjectValue levelValue(const ObjectType &type, const char *base, const sb2 *nulls);

ObjectValue attributeValue(const ObjectAttribute &a, const char *base, const sb2 *nulls)
{
    const sb2 *indicator = nulls + a.nullOffset / 2;
    if (isEmbedded(a))
        return levelValue(*a.type, base + a.valueOffset, indicator);
    if (isXmlAttribute(a))
        return *indicator != 0
            ? ObjectValue()
            : instanceValue(*reinterpret_cast<void *const *>(base + a.valueOffset));
    ObjectValue v;
    if (*indicator != 0)
        return v;
    v.isNull = false;
    v.isScalar = true;
    const void *slot = base + a.valueOffset;
    switch (a.typeCode) {
    case engine::tcNumber:
        v.scalar = readNumber(slot);
        v.isNull = v.scalar.empty();
        return v;
    case engine::tcDate:
        v.scalar = readDate(slot);
        return v;
    default:
        break;
    }
    const void *h = *reinterpret_cast<void *const *>(slot);
    if (auto *s = handleOf<StringValue>(h, kStringValue)) {
        v.scalar = s->text;
        v.isNull = s->text.empty();
    } else if (auto *r = handleOf<RawValue>(h, kRawValue)) {
        v.scalar = toHex(r->bytes);
    } else if (auto *ref = handleOf<RefValue>(h, kRefValue)) {
        v.scalar = ref->table + "/" + ref->objectId;
        v.isNull = ref->objectId.empty();
    } else if (auto *c = handleOf<CollectionValue>(h, kCollectionValue)) {
        v.isScalar = false;
        v.items = c->elements;
    } else if (auto *lob = lobLocatorOf(h)) {
        if (!lob->initialized)
            v.isNull = true;
        else if (lob->temporary)
            v.scalar = lob->temporaryValue;
        else if (!lob->ref.hasRow)
            v.scalar = lob->ref.snapshot;
        else
            throw oraFail(3001);
    } else if (auto *t = dateTimeOf(h)) {
        v.isNull = !t->set;
        if (t->set)
            v.scalar = storedText(*t);
    } else {
        throw oraFail(21560, "attribute value");
    }
    return v;
}

ObjectValue levelValue(const ObjectType &type, const char *base, const sb2 *nulls)
{
    ObjectValue value;
    if (nulls[0] != 0)
        return value;
    value.isNull = false;
    for (const ObjectAttribute &a : type.attributes)
        value.items.push_back(attributeValue(a, base, nulls));
    return value;
}

} // namespace

void *newInstance(const std::shared_ptr<const ObjectType> &type)
{
    auto instance = std::make_unique<Instance>();
    instance->type = type;
    const size_t words = type->instanceSize / sizeof(std::max_align_t) + 1;
    instance->values = std::make_unique<std::max_align_t[]>(words);
    std::memset(instance->values.get(), 0, words * sizeof(std::max_align_t));
    instance->nulls = std::make_unique<sb2[]>(type->nullSize / 2);
    for (size_t i = 0; i < type->nullSize / 2; ++i)
        instance->nulls[i] = -1;
    char *base = reinterpret_cast<char *>(instance->values.get());
    allocateSlots(*type, base);
    std::lock_guard lock(cacheMutex);
    instances[base] = std::move(instance);
    return base;
}

const ObjectType *instanceType(const void *instance)
{
    Instance *i = find(instance);
    return i ? i->type.get() : nullptr;
}

void *instanceNulls(const void *instance)
{
    Instance *i = find(instance);
    return i ? i->nulls.get() : nullptr;
}

bool freeInstance(void *instance)
{
    std::unique_ptr<Instance> owned;
    {
        std::lock_guard lock(cacheMutex);
        auto it = instances.find(instance);
        if (it == instances.end())
            return false;
        owned = std::move(it->second);
        instances.erase(it);
    }
    freeSlots(*owned->type, static_cast<char *>(instance));
    return true;
}

void fillInstance(void *instance, const ObjectValue &value)
{
    Instance *i = find(instance);
    if (!i)
        throw oraFail(21560, "instance");
    if (i->type->isXml) {
        i->nulls[0] = value.isNull ? -1 : 0;
        i->xml = !value.isNull && !value.items.empty() ? value.items[0].scalar : std::string();
        return;
    }
    fillLevel(*i->type, static_cast<char *>(instance), i->nulls.get(), value);
}

ObjectValue instanceValue(const void *instance)
{
    Instance *i = find(instance);
    if (!i)
        throw oraFail(21560, "instance");
    if (i->type->isXml) {
        ObjectValue value;
        if (i->nulls[0] != 0)
            return value;
        value.isNull = false;
        ObjectValue text;
        text.isNull = false;
        text.isScalar = true;
        text.scalar = i->xml;
        value.items.push_back(std::move(text));
        return value;
    }
    return levelValue(*i->type, static_cast<const char *>(instance), i->nulls.get());
}

std::string instanceXml(const void *instance)
{
    Instance *i = find(instance);
    return i ? i->xml : std::string();
}

namespace {

// The whole definition of a type as text: a type replaced by another definition gets a TDO of
// its own, while describing the same type again finds the one it had.
void signatureOf(const ObjectAttribute &a, std::string &out);

std::string signatureOf(const ObjectType &type)
{
    std::string out = type.qualifiedName() + "{" + std::to_string(type.typeCode) + ","
        + std::to_string(type.collectionCode) + "," + std::to_string(type.limit);
    for (const ObjectAttribute &a : type.attributes)
        signatureOf(a, out);
    if (type.element)
        signatureOf(*type.element, out);
    return out + "}";
}

void signatureOf(const ObjectAttribute &a, std::string &out)
{
    out += ";" + a.name + ":" + std::to_string(a.typeCode) + "," + std::to_string(a.dataSize) + ","
        + std::to_string(a.precision) + "," + std::to_string(a.scale);
    if (a.type)
        out += a.typeCode == engine::tcRef ? a.type->qualifiedName() : signatureOf(*a.type);
}

} // namespace

TypeDescriptor *typeDescriptorFor(const std::shared_ptr<const ObjectType> &type)
{
    // One TDO per type definition; kept for the process like the server's types.
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<TypeDescriptor>> descriptors;
    std::lock_guard lock(mutex);
    auto &slot = descriptors[signatureOf(*type)];
    if (!slot) {
        slot = std::make_unique<TypeDescriptor>();
        slot->type = type;
    }
    return slot.get();
}

// ---- Describe parameters -----------------------------------------------------------------

namespace {

void describeAttribute(ParamDescriptor &param, const ObjectAttribute &a)
{
    param.level = ParamDescriptor::lvAttribute;
    param.column.name = a.name;
    param.column.dataType = a.typeCode;
    param.column.dataSize = a.dataSize;
    param.column.precision = a.precision;
    param.column.scale = a.scale;
    if (a.type) {
        param.objectType = a.type;
        param.column.typeSchema = a.type->schema;
        param.column.typeName = a.type->name;
    }
}

} // namespace

void describeType(ParamDescriptor &param, const std::shared_ptr<const ObjectType> &type)
{
    param.level = ParamDescriptor::lvType;
    param.objectType = type;
    param.column = {};
    param.column.name = type->name;
    param.column.typeSchema = type->schema;
    param.column.typeName = type->name;
    param.children.clear();
    auto list = std::make_unique<ParamDescriptor>();
    list->level = ParamDescriptor::lvAttributeList;
    list->env = param.env;
    for (const ObjectAttribute &a : type->attributes) {
        auto item = std::make_unique<ParamDescriptor>();
        item->env = param.env;
        describeAttribute(*item, a);
        list->children.push_back(std::move(item));
    }
    param.children.push_back(std::move(list));
    if (type->element) {
        auto element = std::make_unique<ParamDescriptor>();
        element->env = param.env;
        describeAttribute(*element, *type->element);
        param.children.push_back(std::move(element));
    }
}

namespace {

template <class T> sword put(void *attributep, ub4 *sizep, T value)
{
    if (!attributep)
        return OCI_ERROR;
    std::memcpy(attributep, &value, sizeof value);
    if (sizep)
        *sizep = sizeof value;
    return OCI_SUCCESS;
}

sword putPointer(void *attributep, ub4 *sizep, const void *value)
{
    return put<const void *>(attributep, sizep, value);
}

sword putText(void *attributep, ub4 *sizep, const std::string &value)
{
    if (!attributep)
        return OCI_ERROR;
    *static_cast<const char **>(attributep) = value.c_str();
    if (sizep)
        *sizep = static_cast<ub4>(value.size());
    return OCI_SUCCESS;
}

} // namespace

sword objectParamAttribute(
    ParamDescriptor &param, void *attributep, ub4 *sizep, ub4 attr, OCIError *errhp, bool &handled)
{
    handled = true;
    const auto &type = param.objectType;
    switch (attr) {
    case OCI_ATTR_TYPE_NAME:
        return putText(attributep, sizep, param.column.typeName);
    case OCI_ATTR_SCHEMA_NAME:
        return putText(attributep, sizep, param.column.typeSchema);
    case OCI_ATTR_REF_TDO: {
        if (!type)
            return fail(errhp, 24315);
        if (!param.typeRef) {
            auto ref = std::make_unique<RefValue>();
            ref->type = type;
            ref->toType = true;
            ref->objectId = type->qualifiedName();
            param.typeRef = std::move(ref);
        }
        return putPointer(attributep, sizep, param.typeRef.get());
    }
    default:
        break;
    }
    if (param.level != ParamDescriptor::lvType || !type) {
        handled = false;
        return OCI_SUCCESS;
    }
    switch (attr) {
    case OCI_ATTR_TYPECODE:
        return put<ub2>(attributep, sizep, static_cast<ub2>(type->typeCode));
    case OCI_ATTR_TYPECODE_COLLECTION:
        return put<ub2>(attributep, sizep, static_cast<ub2>(type->collectionCode));
    case OCI_ATTR_COLLECTION_ELEMENT:
        if (param.children.size() < 2)
            return fail(errhp, 24315);
        return putPointer(attributep, sizep, static_cast<Handle *>(param.children[1].get()));
    case OCI_ATTR_NUM_TYPE_ATTRS:
        return put<ub2>(attributep, sizep, static_cast<ub2>(type->attributes.size()));
    case OCI_ATTR_LIST_TYPE_ATTRS:
        return putPointer(attributep, sizep, static_cast<Handle *>(param.children[0].get()));
    case OCI_ATTR_IS_FINAL_TYPE:
        return put<ub1>(attributep, sizep, 1);
    default:
        handled = false;
        return OCI_SUCCESS;
    }
}

sword listParamGet(ParamDescriptor &list, OCIError *errhp, void **parmdpp, ub4 pos)
{
    if (list.level != ParamDescriptor::lvAttributeList)
        return OCI_INVALID_HANDLE;
    if (pos < 1 || pos > list.children.size())
        return fail(errhp, 24334);
    *parmdpp = static_cast<Handle *>(list.children[pos - 1].get());
    return OCI_SUCCESS;
}

void attachColumnType(ParamDescriptor &param, SvcCtxHandle *service)
{
    if ((param.column.dataType != engine::tcObject && param.column.dataType != engine::tcRef)
        || param.column.typeName.empty() || !service || !service->session
        || !service->session->session)
        return;
    param.objectType = engine::findObjectType(
        *service->session->session, param.column.typeSchema, param.column.typeName);
}

Handle *newDescribeHandle()
{
    return new DescribeHandle;
}

} // namespace qdsi::oci
