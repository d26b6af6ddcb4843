#pragma once

// Small in-memory tables shared by the TMemoryData tests.
#include "tools/MemoryData.h"

#include "classlib/BlobField.h"
#include "classlib/DataSource.h"
#include "classlib/NumericFields.h"
#include "classlib/StringField.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace qd::test {

// NAME string(20), QTY integer, NOTE memo; opened and empty.
inline std::unique_ptr<TMemoryData> makeItems(bool open = true)
{
    auto ds = std::make_unique<TMemoryData>();
    ds->FieldDefs().Add(QStringLiteral("NAME"), ftString, 20);
    ds->FieldDefs().Add(QStringLiteral("QTY"), ftInteger);
    ds->FieldDefs().Add(QStringLiteral("NOTE"), ftMemo);
    if (open)
        ds->Open();
    return ds;
}

inline void appendItem(TDataSet &ds, const Variant &name, const Variant &qty)
{
    ds.Append();
    ds.FieldByName(QStringLiteral("NAME"))->SetAsVariant(name);
    ds.FieldByName(QStringLiteral("QTY"))->SetAsVariant(qty);
    ds.Post();
}

// Values of one field from the first record on, read by moving through the dataset.
inline QStringList column(TDataSet &ds, const QString &field)
{
    QStringList result;
    ds.First();
    while (!ds.Eof()) {
        TField *f = ds.FieldByName(field);
        result << (f->IsNull() ? QStringLiteral("<null>") : f->AsString());
        ds.Next();
    }
    return result;
}

inline qint32 currentId(TDataSet &ds)
{
    const TBookmark bookmark = ds.GetBookmark();
    qint32 id = 0;
    if (bookmark.size() == 4)
        std::memcpy(&id, bookmark.constData(), 4);
    return id;
}

} // namespace qd::test
