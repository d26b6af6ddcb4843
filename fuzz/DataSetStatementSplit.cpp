// The dataset reads the user's SELECT statement into the part before its condition, the
// condition and the ORDER BY / FOR UPDATE tail, then builds statements from the pieces: each
// piece must be a piece of the statement (comments removed), no text may land in two pieces,
// and the keyword is "where" or "having". The word finder's position must point at the word.
#include "oracle/OracleSqlText.h"
#include "oracle_data/DataSetStatementText.h"

#include <cstddef>
#include <cstdint>

namespace {

// The word finder compares characters upper-cased one by one.
bool sameUpper(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a.at(i).toUpper() != b.at(i).toUpper())
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString statement
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString head, where, tail, keyword;
    qd::SplitStatement(statement, head, where, tail, keyword);
    const QString text = qd::RemoveComments(statement);
    if (keyword != QLatin1String("where") && keyword != QLatin1String("having"))
        __builtin_trap();
    if (!text.contains(head) || !text.contains(where) || !text.contains(tail))
        __builtin_trap();
    if (head.size() + where.size() + tail.size() > text.size())
        __builtin_trap(); // some text was given to two pieces
    if (!tail.isEmpty() && !tail.startsWith(QLatin1String("order"), Qt::CaseInsensitive)
        && !tail.startsWith(QLatin1String("for"), Qt::CaseInsensitive))
        __builtin_trap();

    const int at = qd::FindWord(QStringLiteral("FROM"), text);
    if (at < 0 || at > text.size()
        || (at > 0 && !sameUpper(text.mid(at - 1, 4), QStringLiteral("FROM"))))
        __builtin_trap();
    if (qd::FirstWord(text).size() > text.size())
        __builtin_trap();
    return 0;
}
