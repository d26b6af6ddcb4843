#pragma once

#include "classlib/Variant.h"
#include "oracle/OracleAttributeOwner.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleSessionDependent.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <vector>

namespace qd {

class TOracleObject;
class TOracleQuery;
class TOracleReference;
class TOracleSession;
class TOracleTimestamp;
class TXMLType;

// One attribute of an object type as the object cache lays it out. Nested attributes of an
// embedded object appear in the same flat list under dotted names (ADDRESS.CITY).
class TObjectAttribute {
public:
    bool IsNull() const;
    // Null or Unassigned (by the session's NullValue) for a null attribute; objects and REFs
    // have no variant value.
    Variant Value() const;

    QString Name() const { return m_name; }
    int DataType() const { return m_dataType; }
    int RawDataType() const { return m_rawDataType; }
    QString TypeName() const { return m_typeName; }
    int DataSize() const { return m_dataSize; }
    int Scale() const { return m_scale; }
    int Precision() const { return m_precision; }
    bool IsCollection() const { return m_isCollection; }
    bool AsText() const { return m_asText; }
    bool NotFinal() const { return m_notFinal; }
    TOracleObject *Owner() const { return m_owner; }
    // Byte offsets in the instance and the null structure. Offsets are kept pointer-sized:
    // an instance may be large, and pointer slots are pointer-sized on every platform.
    qint64 ValueOffset() const { return m_valueOffset; }
    qint64 NullOffset() const { return m_nullOffset; }

    // Where the value and its 16-bit indicator live in the owner's instance.
    void *ValueAddress() const;
    sb2 *IndicatorAddress() const;

private:
    friend class TOracleObject;

    QString m_name;
    int m_dataType = 0;
    QString m_typeName;
    OCIRef *m_typeRef = nullptr; // owned
    ub2 m_typeCode = 0;
    ub2 m_dataSize = 0;
    sb1 m_scale = 0;
    ub1 m_precision = 0;
    bool m_isCollection = false;
    ub2 m_rawDataType = 0;
    TOracleObject *m_owner = nullptr;
    qint64 m_valueOffset = 0;
    qint64 m_nullOffset = 0;
    bool m_asText = false;
    bool m_notFinal = false;
};

// One object instance in the client library's object cache, with its attributes by name. A
// new object (Create) is transient and atomically null until an attribute changes; wrappers
// of fetched values and embedded attributes look at an instance someone else holds.
class TOracleObject : public QObject,
                      public OracleValueObject,
                      public OracleSessionDependent,
                      public OracleAttributeOwner {
public:
    // A new instance of the named type; transient when table is empty, else a new persistent
    // object of that object table.
    TOracleObject(TOracleSession *session, const QString &objectType, const QString &table);
    // The same, remembering the monitor id and name of the object that made it.
    static TOracleObject *CreateOwned(TOracleSession *session, const QString &objectType,
        const QString &table, int ownerMonitorId, const QString &ownerName);
    ~TOracleObject() override;
    TOracleObject(const TOracleObject &) = delete;
    TOracleObject &operator=(const TOracleObject &) = delete;

    bool IsNull() const;
    bool IsCollection();
    // A collection's elements: their type code and the attribute that describes them.
    int CollectionTypeCode() { return IsCollection() ? m_collectionTypeCode : 0; }
    TObjectAttribute *ElementAttribute()
    {
        describeAttributes();
        return m_elementAttribute;
    }
    int AttributeCount();
    TObjectAttribute *Attributes(int index);
    TObjectAttribute *AttributeByName(const QString &name, bool mustExist);
    TObjectAttribute *FindAttribute(const QString &name) { return AttributeByName(name, false); }
    // The wrapper of an embedded object attribute (the same one on every call).
    TOracleObject *ObjectAttribute(const QString &name);
    TXMLType *XMLTypeAttribute(const QString &name);
    // Wrappers of REF and timestamp attributes; changing them changes the object.
    TOracleReference *RefAttribute(const QString &name);
    TOracleTimestamp *TimestampAttribute(const QString &name);
    void AttributeChanged(const QString &path) override;
    // Adopts an instance someone else holds (a fetched value, an embedded attribute); frees
    // the cached attribute wrappers.
    void SetInstance(void *instance, void *nullStruct, OCIRef *typeRef);

    TOracleSession *Session() const { return m_session; }
    QString ObjectType() const { return m_objectType; }
    void *Instance() const { return m_instance; }
    void **InstanceAddress() { return &m_instance; }
    void *NullStruct() const { return m_nullStruct; }
    void **NullStructAddress() { return &m_nullStruct; }
    OCIType *TypeDescriptor() const { return m_typeDescriptor; }
    TOracleObject *Parent() const { return m_parent; }
    bool OwnsInstance() const { return m_ownsInstance; }

    // ---- For the query ------------------------------------------------------------------------
    // A wrapper without an instance of its own, for a column or variable of the type given by
    // its type REF (typeName is schema.name).
    static std::unique_ptr<TOracleObject> CreateWrapper(
        TOracleSession *session, const QString &typeName, OCIRef *typeRef);

    // ---- OracleSessionDependent ---------------------------------------------------------------
    Kind dependentKind() const override { return dkObject; }
    void sessionDestroyed() override;

protected:
    friend class TObjectAttribute;
    struct WrapperTag { };
    TOracleObject(TOracleSession *session, const QString &typeName, OCIRef *typeRef, WrapperTag);

    sword checkCall(sword status, const char *callName);
    OCISvcCtx *service() const;
    TOracleQuery &internalQuery();

private:
    void create(TOracleSession *session, const QString &objectType, const QString &table);
    void release() noexcept;
    void setUp(TOracleSession *session);
    void pinType(OCIRef *typeRef);
    void describeByName(const QString &name, OCIRef *&typeRef, OCIType *&descriptor);
    void describeAttributes();
    void describeLevel(OCIParam *typeParameter, const QString &prefix, qint64 &valueOffset,
        qint64 &nullOffset, int depth);
    void describeAttribute(
        void *parameter, const QString &prefix, qint64 &valueOffset, qint64 &nullOffset, int depth);
    void freeWrappers();
    void markUpdated();
    TObjectAttribute *attributeOfKind(const QString &name, bool (*accepts)(int));

    TOracleSession *m_session = nullptr;
    const OracleEntryPoints *m_oci = nullptr;
    OCIEnv *m_environment = nullptr;
    OCIError *m_errorHandle = nullptr;
    OCIDescribe *m_describeHandle = nullptr;
    void *m_instance = nullptr;
    void *m_nullStruct = nullptr;
    OCIRef *m_typeRef = nullptr;
    OCIType *m_typeDescriptor = nullptr;
    QString m_objectType;
    bool m_ownsInstance = false;
    bool m_pinned = false;
    void *m_tableObject = nullptr;
    std::map<QString, std::unique_ptr<TOracleObject>> m_objectWrappers;
    std::vector<std::unique_ptr<QObject>> m_otherWrappers;
    TOracleObject *m_parent = nullptr;
    // The object that made this wrapper of an embedded attribute, and that attribute's name.
    TOracleObject *m_holder = nullptr;
    QString m_holderAttribute;
    std::vector<std::unique_ptr<TObjectAttribute>> m_attributes;
    bool m_described = false;
    ub2 m_typeCodeOfType = 0;
    ub2 m_collectionTypeCode = 0;
    ub2 m_elementTypeCode = 0;
    TObjectAttribute *m_elementAttribute = nullptr; // a collection's elements
    std::unique_ptr<TOracleQuery> m_query;
    int m_ownerMonitorId = 0;
    QString m_ownerName;
};

// SYS.XMLTYPE: the document as text.
class TXMLType : public TOracleObject {
public:
    using TOracleObject::TOracleObject;
    // Empty for a null document (without a server call).
    void XMLText(QString &text);
    QString XMLText();

    static std::unique_ptr<TXMLType> CreateWrapper(
        TOracleSession *session, const QString &typeName, OCIRef *typeRef);
};

// A REF to an object of a type.
class TOracleReference : public QObject, public OracleValueObject, public OracleSessionDependent {
public:
    // typeRef, when given, is the REF of the referenced type's descriptor; otherwise the type
    // is described by typeName.
    TOracleReference(TOracleSession *session, OCIRef *typeRef, const QString &typeName,
        int ownerMonitorId = 0, const QString &ownerName = QString());
    ~TOracleReference() override;
    TOracleReference(const TOracleReference &) = delete;
    TOracleReference &operator=(const TOracleReference &) = delete;

    bool IsNull();
    void Clear();
    void AsHex(QString &text);
    QString AsHex();

    OCIRef *Ref() const { return m_ref; }
    OCIRef **RefAddress() { return &m_ref; }
    OCIType *TypeDescriptor() const { return m_typeDescriptor; }
    QString TypeName() const { return m_typeName; }
    // A REF someone else holds (a fetched row, an attribute) with its indicator.
    void AttachRef(OCIRef *ref, sb2 *nullIndicator);
    sb2 *NullIndicator() const { return m_nullIndicator; }
    void SetOwner(OracleAttributeOwner *owner, const QString &attribute);

    Kind dependentKind() const override { return dkReference; }
    void sessionDestroyed() override;

private:
    void create(OCIRef *typeRef, const QString &typeName);
    void release() noexcept;
    sword checkCall(sword status, const char *callName);

    OCIRef *m_ref = nullptr;
    bool m_ownsRef = true;
    OCIType *m_typeDescriptor = nullptr;
    OCIRef *m_typeRef = nullptr;
    QString m_typeName;
    OCIError *m_errorHandle = nullptr;
    TOracleSession *m_session = nullptr;
    const OracleEntryPoints *m_oci = nullptr;
    OCIEnv *m_environment = nullptr;
    OracleAttributeOwner *m_owner = nullptr;
    QString m_ownerAttribute;
    sb2 *m_nullIndicator = nullptr;
    int m_ownerMonitorId = 0;
    QString m_ownerName;
};

} // namespace qd
