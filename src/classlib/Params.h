#pragma once

#include "DataSetTypes.h"
#include "Variant.h"

#include <QString>

#include <memory>
#include <vector>

namespace qd {

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// One named parameter of a statement a data provider runs: its data type, its direction and
// its value (Null when it has none).
class TParam {
public:
    TParam(const QString &name, TFieldType dataType, TParamType paramType)
        : m_name(name)
        , m_dataType(dataType)
        , m_paramType(paramType)
    {
    }

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType type) { m_dataType = type; }
    TParamType ParamType() const { return m_paramType; }
    void SetParamType(TParamType type) { m_paramType = type; }
    const Variant &Value() const { return m_value; }
    void SetValue(const Variant &value) { m_value = value; }
    bool IsNull() const { return m_value.IsNullOrEmpty(); }
    void Clear() { m_value = Variant::Null(); }

private:
    QString m_name;
    TFieldType m_dataType;
    TParamType m_paramType;
    Variant m_value = Variant::Null();
};

// The parameters of a provider's statement, in order; the list owns them. Names are matched
// ignoring case, as the class library's parameter lists do.
class TParams {
public:
    TParams() = default;
    TParams(const TParams &other) { Assign(other); }
    TParams &operator=(const TParams &other)
    {
        if (this != &other)
            Assign(other);
        return *this;
    }

    int Count() const { return static_cast<int>(m_items.size()); }
    TParam *Items(int index) const { return m_items.at(static_cast<size_t>(index)).get(); }
    TParam *operator[](int index) const { return Items(index); }

    TParam *CreateParam(TFieldType dataType, const QString &name, TParamType paramType);
    // Null when no parameter has the name.
    TParam *FindParam(const QString &name) const;
    // Raises EDatabaseError "Parameter '%s' not found" when no parameter has the name.
    TParam *ParamByName(const QString &name) const;
    // Frees the parameter; nothing happens for one that is not in the list.
    void RemoveParam(TParam *param);
    void Clear() { m_items.clear(); }
    // Replaces the list by copies of other's parameters.
    void Assign(const TParams &other);

private:
    std::vector<std::unique_ptr<TParam>> m_items;
};

} // namespace qd
