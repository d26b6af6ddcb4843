#pragma once

#include "classlib/Exception.h"
#include "classlib/Variant.h"
#include "oracle_data/FilterFieldSource.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace qd::test {

// A dataset stand-in for filter tests: named, typed columns over rows of values, with a current
// row that the leaves read. Lookups are case-insensitive like the class library's FieldByName,
// and every name asked for is recorded.
class VectorFieldSource : public FilterFieldSource {
public:
    struct Column {
        QString name;
        TExpressionKind kind;
    };

    explicit VectorFieldSource(std::vector<Column> columns)
        : m_columns(std::move(columns))
    {
    }

    void addRow(std::vector<Variant> row) { m_rows.push_back(std::move(row)); }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    void setCurrent(int row) { m_current = row; }
    // Re-creates the fields in a new order, as a dataset may between two readings.
    void reverseColumns()
    {
        std::reverse(m_columns.begin(), m_columns.end());
        for (std::vector<Variant> &row : m_rows)
            std::reverse(row.begin(), row.end());
    }

    int FieldByName(const QString &name) const override
    {
        m_lookups.append(name);
        for (size_t i = 0; i < m_columns.size(); ++i)
            if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    }
    TExpressionKind FieldKind(int field) const override { return m_columns.at(field).kind; }
    Variant FieldValue(int field) const override { return m_rows.at(m_current).at(field); }

    QStringList &lookups() const { return m_lookups; }

private:
    std::vector<Column> m_columns;
    std::vector<std::vector<Variant>> m_rows;
    int m_current = 0;
    mutable QStringList m_lookups;
};

} // namespace qd::test
