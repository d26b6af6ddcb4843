#include "Params.h"

#include <algorithm>

namespace qd {

TParam *TParams::CreateParam(TFieldType dataType, const QString &name, TParamType paramType)
{
    m_items.push_back(std::make_unique<TParam>(name, dataType, paramType));
    return m_items.back().get();
}

TParam *TParams::FindParam(const QString &name) const
{
    for (const auto &param : m_items)
        if (param->Name().compare(name, Qt::CaseInsensitive) == 0)
            return param.get();
    return nullptr;
}

TParam *TParams::ParamByName(const QString &name) const
{
    TParam *param = FindParam(name);
    if (!param)
        DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
    return param;
}

void TParams::RemoveParam(TParam *param)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(),
        [param](const std::unique_ptr<TParam> &item) { return item.get() == param; });
    if (it != m_items.end())
        m_items.erase(it);
}

void TParams::Assign(const TParams &other)
{
    std::vector<std::unique_ptr<TParam>> copies;
    copies.reserve(other.m_items.size());
    for (const auto &param : other.m_items)
        copies.push_back(std::make_unique<TParam>(*param));
    m_items = std::move(copies);
}

} // namespace qd
