#pragma once

#include "ColumnExpression.h"
#include "DataSetFilterSource.h"

#include <memory>

namespace qd {

// A dataset's Filter text parsed into the filter language, its names resolved to leaves that read
// the dataset's fields. The dataset keeps one and plugs it in with four small overrides:
// - SetFilterText / SetFilterOptions: while open, CheckBrowseMode, then Parse the new text or
//   options (a parse error propagates and changes nothing), then the base setter, which stores
//   the value and filters the held records again when Filtered;
// - at the end of InternalOpen, once the fields exist (an arithmetic operator asks its field
//   operands' kinds while the tree is built), before any record is read:
//   Parse(Filter(), FilterOptions());
// - FilterAccept: Accept().
// The leaves read the record the dataset's fields read, so Accept is asked in the filter state.
class DataSetFilter {
public:
    explicit DataSetFilter(TDataSet &dataSet)
        : m_source(dataSet)
    {
    }
    DataSetFilter(const DataSetFilter &) = delete;
    DataSetFilter &operator=(const DataSetFilter &) = delete;

    // Parses text with the dataset's options (foCaseInsensitive, foNoPartialCompare) and keeps
    // the tree in place of the previous one; an empty or blank text leaves no tree. A text that
    // does not parse raises EExpression with the language's message and keeps the previous tree.
    void Parse(const QString &text, TFilterOptions options);
    void Clear() { m_expression.reset(); }
    bool HasExpression() const { return m_expression != nullptr; }

    // True without a tree, else the tree read as a boolean for the record being filtered. A leaf
    // naming no field raises the dataset's field-not-found error here.
    bool Accept() const { return FilterAccept(m_expression.get()); }

private:
    DataSetFilterSource m_source;
    std::unique_ptr<TExpression> m_expression;
};

} // namespace qd
