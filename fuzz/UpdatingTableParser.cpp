#include "oracle_data/OracleConstraintInfo.h"
#include "oracle_data/UpdatingTable.h"

#include "classlib/Exception.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// Arbitrary statement text typed by the user, and arbitrary check conditions from a server's
// dictionary: the updating table, its alias and the rewritten condition come out without a crash
// or a hang. A dataset that opens a cursor variable raises for a missing UpdatingTable; nothing
// else raises.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString name = qd::UpdatingTableNameOf(text, QString(), false);
    const qd::UpdatingTableReference reference = qd::UpdatingTableAliasOf(text, name);
    (void)qd::RowReference(reference, name);
    (void)qd::IsCollectionTable(name);
    try {
        (void)qd::UpdatingTableNameOf(text, QString(), true);
    } catch (const qd::Exception &) {
    }
    // The words of the text serve as the constraint's columns.
    QStringList columns = text.split(u' ', Qt::SkipEmptyParts);
    if (columns.size() > 8)
        columns = columns.mid(0, 8);
    (void)qd::ConditionWithBindVariables(text, columns);
    return 0;
}
