#pragma once

// The client-side filter language of the dataset's Filter property: the parser, over the nodes
// of FilterNodes.h and the functions of FilterFunctions.h.

#include "FilterFunctions.h"

#include <functional>
#include <memory>

namespace qd {

// Resolves a name the language does not know. Called with the bracketed field name as written
// and no parameters, and with every unknown bare word upper-cased and its parameter list (null
// without a parenthesis). The callback may take the list over; what it leaves is freed by the
// parser. Returning null makes the name unknown.
using TResolveIdentifierEvent = std::function<std::unique_ptr<TExpression>(
    const QString &name, std::unique_ptr<TParameterList> &params)>;

// Option bits of ParseFilterExpression.
inline constexpr int FilterParseCaseInsensitive = 1;
inline constexpr int FilterParseNoPartialCompare = 2;

// How deep parentheses, prefix operators and function calls may nest, and how deep the tree may
// grow along operator chains; deeper text fails with a clear message instead of exhausting the
// stack. IFs nest less deeply inside IF conditions, because reading an IF reads its condition
// twice and the cost doubles with every such level.
inline constexpr int MaxFilterNesting = 200;
inline constexpr int MaxFilterTreeDepth = 1000;
inline constexpr int MaxFilterIfNesting = 16;

// Parses a filter text (which ends at its first NUL character). Returns null for an empty or
// blank text. Raises EExpression with the position-free messages of the language; a failed parse
// frees everything it built.
std::unique_ptr<TExpression> ParseFilterExpression(
    const QString &text, int options, const TResolveIdentifierEvent &onIdentifier = {});

} // namespace qd
