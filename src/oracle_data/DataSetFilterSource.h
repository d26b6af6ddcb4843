#pragma once

#include "FilterFieldSource.h"

#include "classlib/DataSetTypes.h"

namespace qd {

class TDataSet;

// The filter leaves' view of a class-library dataset: fields by name (the handle is the field's
// position in the dataset's field list), the kind of each field's data type, and the value the
// field reads in the dataset's current state, which is the record being filtered while the
// dataset is in its filter state. Works over any TDataSet; holds no field between readings.
class DataSetFilterSource : public FilterFieldSource {
public:
    explicit DataSetFilterSource(TDataSet &dataSet)
        : m_dataSet(dataSet)
    {
    }

    TDataSet &DataSet() const { return m_dataSet; }

    // Raises the dataset's "Field '%s' not found" EDatabaseError for a name no field has.
    int FieldByName(const QString &name) const override;
    TExpressionKind FieldKind(int field) const override;
    Variant FieldValue(int field) const override;

    // The filter kind of a field data type.
    static TExpressionKind KindOfFieldType(TFieldType type);

private:
    TDataSet &m_dataSet;
};

} // namespace qd
