#pragma once

#include "classlib/VectorDataSet.h"
#include "oracle_data/DataSetFilter.h"

namespace qd::test {

// The framework's test dataset with its Filter text bound to the filter language, plugged in the
// way a dataset of the product does it.
class FilteredVectorDataSet : public VectorDataSet {
public:
    ~FilteredVectorDataSet() override
    {
        try {
            Close();
        } catch (...) {
        }
    }

    void SetFilterText(const QString &text) override
    {
        if (Active()) {
            CheckBrowseMode();
            m_filter.Parse(text, FilterOptions());
        }
        VectorDataSet::SetFilterText(text);
    }
    void SetFilterOptions(TFilterOptions options) override
    {
        if (Active()) {
            CheckBrowseMode();
            m_filter.Parse(Filter(), options);
        }
        VectorDataSet::SetFilterOptions(options);
    }
    bool HasFilterExpression() const { return m_filter.HasExpression(); }

protected:
    void InternalOpen() override
    {
        VectorDataSet::InternalOpen();
        m_filter.Parse(Filter(), FilterOptions());
    }
    bool FilterAccept() override { return m_filter.Accept(); }

private:
    DataSetFilter m_filter { *this };
};

} // namespace qd::test
