#pragma once

#include "FilterFieldSource.h"

namespace qd {

class TDataSet;

// The filter language's view of a dataset's fields: field handles are field indexes, values
// are read from the record the dataset is filtering (field access follows its filter state).
class OracleDataSetFilterSource : public FilterFieldSource {
public:
    explicit OracleDataSetFilterSource(TDataSet *dataSet)
        : m_dataSet(dataSet)
    {
    }

    int FieldByName(const QString &name) const override;
    TExpressionKind FieldKind(int field) const override;
    Variant FieldValue(int field) const override;

private:
    TDataSet *m_dataSet;
};

} // namespace qd
