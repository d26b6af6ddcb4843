#pragma once

#include <QString>

namespace qd {

// What the LOB, REF and timestamp wrappers of an object attribute tell the object that holds
// the attribute: the attribute (by its dotted path) changed, so the enclosing levels are no
// longer null and a persistent object is marked for update.
class OracleAttributeOwner {
public:
    virtual ~OracleAttributeOwner() = default;
    virtual void AttributeChanged(const QString &path) = 0;
};

} // namespace qd
