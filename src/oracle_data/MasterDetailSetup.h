#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace qd {

class TOracleDataSet;
class TOracleQuery;
class TOracleSession;

// The automatic set-up of a master/detail link: the dictionary facts it starts from, the
// fields and SQL it gives the detail dataset, and the reading of those facts on a session.

// A column that becomes a bind variable, with the variable type its describe gave.
struct KeyColumn {
    QString name;
    int variableType = 0;
};

// The foreign key of the detail table that references a key of the master table.
struct ForeignKeyFacts {
    QString foreignKeyName;
    QString primaryKeyName;
    QStringList detailColumns; // the foreign key's columns in position order
    QStringList masterColumns; // the referenced key's columns in position order
};

// A column of the master table whose type is an object or collection type.
struct CollectionColumnFacts {
    struct Attribute {
        QString name;
        QString typeOwner;
        QString typeName;
    };
    QString dataTypeOwner;
    QString dataType;
    QString columnName;
    QString typeCode; // "COLLECTION" or "OBJECT"
    // For an object column: its attributes that are collections.
    std::vector<Attribute> collectionAttributes;
};

// A collection the detail can be made from: its path in the master row and its picker entry.
struct CollectionChoice {
    QString path;
    QString entry;
};

// What the set-up gives the detail dataset. When sqlChanged, the detail's variables are all
// deleted and replaced by variables.
struct MasterDetailLink {
    QString masterFields;
    QString detailFields;
    bool sqlChanged = false;
    QString sql;
    std::vector<KeyColumn> variables;
};

// The picker the program supplies (the collection column dialog): true with the chosen index and
// the read-only choice when the user confirmed.
using TSelectCollectionColumnEvent
    = std::function<bool(const QStringList &entries, int &index, bool &readOnly)>;

// The link over a foreign key: DetailFields are the foreign key's columns, MasterFields the
// referenced key's, both ";"-separated. With columns (the foreign key's columns as described on
// the detail table) the detail's SQL is rewritten: its condition becomes one equality per column
// against a bind variable of the lower-cased column name.
MasterDetailLink ForeignKeyLink(const ForeignKeyFacts &facts);
MasterDetailLink ForeignKeyLink(
    const ForeignKeyFacts &facts, const QString &detailSql, const std::vector<KeyColumn> &columns);

// detailSql with its outermost condition (from WHERE up to ORDER BY, FOR UPDATE or the end)
// replaced by "where c1 = :c1 and c2 = :c2" and a line break; without a condition the clause is
// put on a line of its own before ORDER BY / FOR UPDATE, or appended.
QString ReplaceDetailCondition(const QString &detailSql, const QStringList &columns);

// The collections of the master table's object and collection columns, in column order.
std::vector<CollectionChoice> CollectionChoices(const std::vector<CollectionColumnFacts> &columns);

// The link over a collection of the master row: a detail reading table(select m.<path> ...)
// for the master row found by its key columns (described on the master table). The variables
// are the lower-cased key names; MasterFields lists the key columns and DetailFields stays blank,
// so the variables take the master fields of the same names. A read-only detail leaves out the
// rowid.
MasterDetailLink CollectionLink(const QString &masterTable, const QString &path, bool readOnly,
    const std::vector<KeyColumn> &keyColumns);

// ---- Reading the facts through the dictionary on a session.

// FindKeyColumns (UpdatingTable.h) gives a table's key columns.

// The foreign key from the detail table to the master table. Raises Exception with the set-up's
// message when there is none or more than one.
ForeignKeyFacts ReadForeignKey(TOracleSession &session, const QString &detailOwner,
    const QString &detailTable, const QString &masterOwner, const QString &masterTable);

// The object and collection columns of the table, in column order, with the collection
// attributes of each object column.
std::vector<CollectionColumnFacts> ReadCollectionColumns(
    TOracleSession &session, const QString &owner, const QString &table);

// The columns as "select <columns> from <table>" describes them: name and variable type.
std::vector<KeyColumn> DescribeColumns(
    TOracleSession &session, const QStringList &columns, const QString &table);

// ---- Applying the set-up to a detail dataset.

// How the set-up reaches the user: its refusals are shown as information, a collection of the
// master row is chosen with the picker. The question whether the detail's SQL may be rewritten
// goes through the screen services (ScreenConfirm).
struct MasterDetailSetupUi {
    std::function<void(const QString &message)> information;
    // Without a picker the master's collections are not offered.
    TSelectCollectionColumnEvent selectCollectionColumn;
};

enum class MasterDetailSetupOutcome {
    NotPossible, // refused with one of the messages below; the properties stay as they were then
    Cancelled, // the picker was cancelled: nothing changed
    ForeignKey, // linked over the foreign key from the detail table to the master table
    Collection, // the detail reads a collection of the master row
};

struct MasterDetailSetupResult {
    MasterDetailSetupOutcome outcome = MasterDetailSetupOutcome::NotPossible;
    QString message;
};

// Links detail to its Master from the dictionary: a collection of the master table first (when
// the master table has a key and object or collection columns, and a picker is given), else the
// one foreign key between the detail table and the master table. Sets MasterFields and
// DetailFields and, as the user allows, the detail's SQL and variables. Raises Exception when
// detail has no master; dictionary errors pass unchanged.
MasterDetailSetupResult ConfigureMasterDetail(
    TOracleDataSet &detail, const MasterDetailSetupUi &ui);

// The hooks the Master setter uses when both datasets are in design state. Thread-safe.
void InstallMasterDetailSetupUi(const MasterDetailSetupUi &ui);
MasterDetailSetupUi InstalledMasterDetailSetupUi();

// The messages of the set-up, shown as information by the program.
extern const QString NoForeignKeyMessage;
extern const QString SeveralForeignKeysMessage;
extern const QString SetupSessionMessage;
extern const QString SetupMasterSqlMessage;
extern const QString SetupDetailSqlMessage;
extern const QString SetupConfirmMessage;

} // namespace qd
