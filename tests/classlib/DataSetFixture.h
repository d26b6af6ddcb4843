#pragma once

// A small people table over the vector test dataset, shared by the dataset tests.
#include "VectorDataSet.h"

#include "classlib/BlobField.h"
#include "classlib/DataSource.h"
#include "classlib/NumericFields.h"
#include "classlib/StringField.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace qd::test {

inline std::vector<VariantArray> peopleRows(int count)
{
    std::vector<VariantArray> rows;
    for (int i = 1; i <= count; ++i) {
        VariantArray row;
        row.emplace_back(i);
        row.emplace_back(QStringLiteral("P%1").arg(i));
        row.emplace_back(i * 1.5);
        if (i % 2)
            row.emplace_back(QStringLiteral("note %1").arg(i));
        else
            row.push_back(Variant::Null());
        rows.push_back(std::move(row));
    }
    return rows;
}

// ID integer (required), NAME string(20) required, AMOUNT float, NOTE memo.
inline std::unique_ptr<VectorDataSet> makePeople(int count = 5, bool open = true)
{
    auto ds = std::make_unique<VectorDataSet>();
    ds->FieldDefs().Add(QStringLiteral("ID"), ftInteger, 0, true);
    ds->FieldDefs().Add(QStringLiteral("NAME"), ftString, 20, true);
    ds->FieldDefs().Add(QStringLiteral("AMOUNT"), ftFloat);
    ds->FieldDefs().Add(QStringLiteral("NOTE"), ftMemo);
    ds->SetRows(peopleRows(count));
    if (open)
        ds->Open();
    return ds;
}

// Names of all records from the first, read by moving through the dataset.
inline QStringList namesInOrder(TDataSet &ds)
{
    QStringList names;
    ds.First();
    while (!ds.Eof()) {
        names << ds.FieldByName(QStringLiteral("NAME"))->AsString();
        ds.Next();
    }
    return names;
}

} // namespace qd::test
