#include "VariantField.h"

namespace qd {

TVariantField::TVariantField()
    : TField(ftVariant)
{
}

Variant TVariantField::GetValue()
{
    Variant value;
    if (!GetData(&value))
        return Variant::Null();
    return value;
}

} // namespace qd
