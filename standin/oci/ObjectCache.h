#pragma once

// The client's object cache: object instances laid out as engine/ObjectTypes.h describes, with
// their null structures, and the values their pointer slots hold (strings, raws, REFs,
// collections, LOB locators, date-time descriptors), the type descriptors (TDOs) and the
// describe handle of OCIDescribeAny.
//
// An instance pointer points at the attribute values themselves, so the cache finds its
// bookkeeping through a registry keyed by that pointer. Everything else is a Handle with a type
// code of its own, so that a stale or foreign pointer is refused.

#include "engine/ObjectTypes.h"
#include "oci/Handles.h"

#include <memory>
#include <string>

namespace qdsi::oci {

// Type codes of the cache's own handles (outside the public handle and descriptor ranges).
constexpr ub4 kStringValue = 0x5101;
constexpr ub4 kRawValue = 0x5102;
constexpr ub4 kRefValue = 0x5103;
constexpr ub4 kTypeDescriptor = 0x5104;
constexpr ub4 kCollectionValue = 0x5105;

struct StringValue : Handle {
    StringValue()
        : Handle(kStringValue)
    {
    }
    std::string text;
};

struct RawValue : Handle {
    RawValue()
        : Handle(kRawValue)
    {
    }
    std::string bytes;
};

// A REF: to a type descriptor (the REF_TDO of a describe) or to a row of an object table.
struct RefValue : Handle {
    RefValue()
        : Handle(kRefValue)
    {
    }
    std::shared_ptr<const engine::ObjectType> type;
    bool toType = false;
    std::string table; // object table of the row (upper case)
    std::string objectId; // the row's object identifier; empty: a null REF
};

struct TypeDescriptor : Handle {
    TypeDescriptor()
        : Handle(kTypeDescriptor)
    {
    }
    std::shared_ptr<const engine::ObjectType> type;
};

struct CollectionValue : Handle {
    CollectionValue()
        : Handle(kCollectionValue)
    {
    }
    std::shared_ptr<const engine::ObjectType> type;
    std::vector<engine::ObjectValue> elements;
};

struct DescribeHandle : Handle {
    DescribeHandle()
        : Handle(OCI_HTYPE_DESCRIBE)
    {
    }
    std::unique_ptr<ParamDescriptor> root;
};

// A new instance of the type (all null, every pointer slot holding an empty value) in the
// cache; returns the instance pointer. A REF instance (type null, typeCode 110) is a RefValue.
void *newInstance(const std::shared_ptr<const engine::ObjectType> &type);
// The instance's type and null structure; nulls when the pointer is no live instance.
const engine::ObjectType *instanceType(const void *instance);
void *instanceNulls(const void *instance);
// Frees an instance and the values it holds; false when it is none.
bool freeInstance(void *instance);
// Replaces the instance's content with a stored value.
void fillInstance(void *instance, const engine::ObjectValue &value);
// The instance's content as a stored value.
engine::ObjectValue instanceValue(const void *instance);
// The document of a SYS.XMLTYPE instance.
std::string instanceXml(const void *instance);

// The TDO handed out for a type (one per type, alive for the process).
TypeDescriptor *typeDescriptorFor(const std::shared_ptr<const engine::ObjectType> &type);

// Fills a describe parameter for a type (the root of OCIDescribeAny or a column's type).
void describeType(ParamDescriptor &param, const std::shared_ptr<const engine::ObjectType> &type);
// Object-describe attributes of a parameter; handled is false for attributes it does not know.
sword objectParamAttribute(
    ParamDescriptor &param, void *attributep, ub4 *sizep, ub4 attr, OCIError *errhp, bool &handled);
// OCIParamGet on a list parameter.
sword listParamGet(ParamDescriptor &list, OCIError *errhp, void **parmdpp, ub4 pos);
// A column parameter of an object column learns its type from the statement's session.
void attachColumnType(ParamDescriptor &param, SvcCtxHandle *service);

Handle *newDescribeHandle();

} // namespace qdsi::oci
