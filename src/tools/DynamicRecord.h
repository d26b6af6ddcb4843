#pragma once

#include "MemoryData.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace qd {

// A small store of named in-memory tables whose records are found again by an ID of their own:
// every record gets an "ID" (the table's first field, unsigned 16-bit) that is unique across all
// tables of the store, so a record can be read or changed knowing its ID alone. A tool declares
// its tables and fields once, right after creating the store, then adds records by field names
// and values.
class TDynamicRecord {
public:
    TDynamicRecord();
    ~TDynamicRecord();
    TDynamicRecord(const TDynamicRecord &) = delete;
    TDynamicRecord &operator=(const TDynamicRecord &) = delete;

    // Adds a table with its "ID" field. A name already present (ignoring case) keeps its table.
    void AddTable(const QString &tableName);
    // Adds a field to a table that has no records yet; an unknown table name does nothing.
    void AddField(const QString &tableName, const QString &fieldName, TFieldType dataType,
        quint16 size, bool required);
    // The next record ID (from 1), counted once for the whole store.
    int NextID();
    // Appends a record with the next ID and the named field values; returns the ID, or -1 for
    // an unknown table. An error (a missing field, a value the field refuses, a required field
    // left empty, IDs beyond 65535) cancels the record and passes on.
    int AddRecord(
        const QString &tableName, const QStringList &fieldNames, const VariantArray &values);
    // Finds the record with the ID in any table (tables in name order): gives the table's name
    // and all field values in field order (the ID first). False, leaving both as they were,
    // when no table holds the ID.
    bool FindRecord(int id, QString &tableName, VariantArray &values);
    // Sets the named fields of the record with the ID; false when no table holds it. An error
    // cancels the change and passes on.
    bool UpdateRecord(int id, const QStringList &fieldNames, const VariantArray &values);

private:
    struct Table {
        QString name;
        std::unique_ptr<TMemoryData> data;
    };
    TMemoryData *table(const QString &name) const;
    // The table holding the record with the ID, positioned on it; nullptr when none does.
    Table *locate(int id);
    static void checkValues(const QStringList &fieldNames, const VariantArray &values);

    std::vector<Table> m_tables; // ascending by name, ignoring case
    int m_nextId = 1;
};

} // namespace qd
