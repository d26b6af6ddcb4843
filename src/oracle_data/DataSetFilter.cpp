#include "DataSetFilter.h"

namespace qd {

void DataSetFilter::Parse(const QString &text, TFilterOptions options)
{
    int parseOptions = 0;
    if (options & foCaseInsensitive)
        parseOptions |= FilterParseCaseInsensitive;
    if (options & foNoPartialCompare)
        parseOptions |= FilterParseNoPartialCompare;
    // Parsed aside first, so a failed parse leaves the previous tree in place.
    std::unique_ptr<TExpression> parsed = ParseDataSetFilter(text, parseOptions, m_source);
    m_expression = std::move(parsed);
}

} // namespace qd
