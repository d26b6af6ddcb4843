#pragma once

#include "OracleFilter.h"
#include "classlib/Variant.h"

#include <QString>

namespace qd {

// What the filter's field leaves need from a dataset: its fields by name, their kinds and their
// values in the record being filtered. The dataset implements it with a thin adapter:
// - FieldByName: the dataset's FieldByName (case-insensitive), answered with a handle the other
//   two calls accept; a name that matches no field raises the dataset's field-not-found
//   EDatabaseError. Called anew on every reading, so handles may change between readings.
// - FieldKind: the kind of the field's data type: ftSmallint, ftInteger, ftWord, ftLargeint are
//   Integer; ftBoolean Boolean; ftFloat, ftCurrency, ftBCD Float; ftDate, ftTime, ftDateTime
//   Date; every other type String.
// - FieldValue: the field's value in the record the dataset is filtering (its filter state's
//   record), Variant::Null() when the field is null; a date-time value as a day count.
class FilterFieldSource {
public:
    virtual ~FilterFieldSource() = default;
    virtual int FieldByName(const QString &name) const = 0;
    virtual TExpressionKind FieldKind(int field) const = 0;
    virtual Variant FieldValue(int field) const = 0;
};

} // namespace qd
