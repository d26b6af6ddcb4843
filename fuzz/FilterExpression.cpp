#include "classlib/Exception.h"
#include "oracle_data/ColumnExpression.h"
#include "oracle_data/OracleFilter.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

// Arbitrary filter texts: parsing and reading the tree must end in a value or a qd::Exception,
// never a crash, a hang or a runaway recursion. The first byte picks the parse options; names
// resolve to the fields of a two-record source, so field leaves, nulls and missing fields are
// reached as well.

namespace {

class TwoRecords : public qd::FilterFieldSource {
public:
    int FieldByName(const QString &name) const override
    {
        static const char *const names[] = { "A", "B", "S", "D", "F", "N" };
        for (int i = 0; i < 6; ++i)
            if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
                return i;
        throw qd::EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    }
    qd::TExpressionKind FieldKind(int field) const override
    {
        using K = qd::TExpressionKind;
        static const K kinds[]
            = { K::Integer, K::Boolean, K::String, K::Date, K::Float, K::Integer };
        return kinds[field];
    }
    qd::Variant FieldValue(int field) const override
    {
        switch (field) {
        case 0:
            return current == 0 ? 7 : -2147483647 - 1;
        case 1:
            return current == 0;
        case 2:
            return current == 0 ? QStringLiteral("SMITH") : QStringLiteral("01.02.2003");
        case 3:
            return qd::Variant::FromDateTime(current == 0 ? 36526.5 : -1.25);
        case 4:
            return current == 0 ? 1.5 : 1e300;
        default:
            return qd::Variant::Null();
        }
    }
    int current = 0;
};

void readAll(const qd::TExpression &node)
{
    // Every getter, each on its own: one failing must not hide the others.
    try {
        node.Kind();
    } catch (const qd::Exception &) {
    }
    try {
        node.IsNull();
    } catch (const qd::Exception &) {
    }
    try {
        node.AsDate();
    } catch (const qd::Exception &) {
    }
    try {
        node.AsString();
    } catch (const qd::Exception &) {
    }
    try {
        node.AsFloat();
    } catch (const qd::Exception &) {
    }
    try {
        node.AsInteger();
    } catch (const qd::Exception &) {
    }
    try {
        qd::FilterAccept(&node);
    } catch (const qd::Exception &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const int options = data[0] & 3;
    const QString text = QString::fromUtf8(
        reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    TwoRecords source;
    try {
        std::unique_ptr<qd::TExpression> tree = qd::ParseDataSetFilter(text, options, source);
        if (!tree)
            return 0;
        for (source.current = 0; source.current < 2; ++source.current)
            readAll(*tree);
    } catch (const qd::Exception &) {
    }
    return 0;
}
