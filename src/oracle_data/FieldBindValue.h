#pragma once

// How the dataset binds a field's value in the statements it generates: the bind type of the
// field and its value as bound. Shared by the edit-back and the dictionary checks, so both see
// a field the same way.

#include "classlib/Field.h"
#include "classlib/Variant.h"

namespace qd {

// The bind type a field's value is bound with.
int BindTypeOf(const TField *field);

// A string, fixed-char, wide string or memo field.
bool IsTextField(const TField *field);

// The value of a field as the statements bind it: BLOB kinds as their bytes or text.
Variant EditValueOf(TField *field);

} // namespace qd
