#pragma once

#include "oracle/OracleBuffers.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace qd {

class OracleSessionInterface;

// The declared bind variables of a query or dataset, in declaration order, and their stored
// form: the binary property "Data" of the owning component.
class TVariables {
public:
    // The version WriteData writes; ReadData accepts 1 (names and types), 2 (and values) and 3
    // (and PL/SQL table sizes).
    static constexpr qint32 DataVersion = 3;
    // Largest PL/SQL table a stored stream may ask for, in bytes of buffer.
    static constexpr qint64 MaxStoredTableBytes = 64 * 1024 * 1024;

    // owner: the declaring query (not owned; may be null).
    explicit TVariables(void *owner = nullptr);
    ~TVariables();
    TVariables(const TVariables &) = delete;
    TVariables &operator=(const TVariables &) = delete;

    void *Owner() const { return m_owner; }
    int Count() const { return static_cast<int>(m_items.size()); }
    // Raises "Variable <index> does not exist" outside 0..Count-1.
    TVariableData &Items(int index) const;

    // ":" and the upper-cased name; a name that begins with ":" is only upper-cased.
    static QString NormalizeName(const QString &name);
    // Index of the variable (the name normalised first), -1 when absent.
    int VariableIndex(const QString &name) const;
    // Declares a null variable of the type; an existing one of that name is replaced in its
    // place. Raises "You cannot declare a variable with an empty name" and "Unsupported
    // variable type".
    TVariableData &DeclareVariable(const QString &name, int type);
    // Raises "Variable <name> not declared" when absent.
    void DeleteVariable(const QString &name);
    void Clear();
    // Makes the variable an empty PL/SQL table of tableSize elements of stringSize
    // characters (strings) with the checks of a query's DimPLSQLTable.
    void DimPLSQLTable(const QString &name, int tableSize, int stringSize,
        OracleSessionInterface *session = nullptr);

    // The stored form (always the current version).
    QByteArray WriteData() const;
    // Replaces the variables with those of a stored form. A stream of a later version, a
    // truncated or corrupt stream, or a value that does not fit its variable raises and
    // leaves the variables as they were.
    void ReadData(const QByteArray &data, OracleSessionInterface *session = nullptr);
    // Whether two collections store differently (count, names, types, nullness, tables,
    // values).
    bool Differs(const TVariables &other) const;
    // Whether "Data" is written: when it differs from the ancestor's, or without an ancestor
    // when there are variables.
    bool ShouldWriteData(const TVariables *ancestor) const;

private:
    void *m_owner;
    std::vector<std::unique_ptr<TVariableData>> m_items;
};

} // namespace qd
