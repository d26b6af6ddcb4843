#pragma once

#include "OracleConstraintInfo.h"
#include "classlib/Variant.h"

#include <QObject>
#include <QPair>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qd {

class TOracleQuery;
class TOracleSession;

// A column of an updating table as the dictionary describes it.
struct TOracleColumnInfo {
    QString name;
    int dataType = 0; // the external type a query reports (FieldType), to declare variables
    int precision = 0;
    int scale = 0;
    QString defaultExpression; // data_default; empty when none
    Variant defaultValue = Variant::Null(); // the expression's value once evaluated
};

// What the dictionary says about one updating table: its constraints, columns and column
// defaults, each read once on first use.
class TOracleTableInfo {
public:
    TOracleTableInfo(TOracleSession *session, QString name, QString owner, QString tableName);
    ~TOracleTableInfo();
    TOracleTableInfo(const TOracleTableInfo &) = delete;
    TOracleTableInfo &operator=(const TOracleTableInfo &) = delete;

    const QString &Name() const { return m_name; }
    const QString &Owner() const { return m_owner; }
    const QString &TableName() const { return m_tableName; }
    TOracleQuery &Query() { return *m_query; }

    // The named constraints of the table (unnamed SYS_C ones are not checked), with their
    // columns in position order. A failed read raises and is not tried again.
    void LoadConstraints();
    int ConstraintCount() const;
    TOracleConstraintInfo &Constraint(int index) const;

    // Describes the table once; a failure is shown to the user through the screen services and
    // leaves no column information.
    void LoadColumns();
    int ColumnCount() const;
    const TOracleColumnInfo &Column(int index) const;
    // The column of that exact name (case-sensitive), null when none.
    TOracleColumnInfo *FindColumn(const QString &name);

    // Reads the columns' default expressions once.
    void LoadColumnDefaults();
    bool NoDefaults() const { return m_noDefaults; }
    bool DefaultsEvaluated() const { return m_defaultsEvaluated; }

    // The default values a new record gets, for the fields of fieldNames whose column has a
    // default: evaluated on the server once per session and table, or for every call with
    // dynamicDefaults. debug is the dataset's Debug.
    QList<QPair<QString, Variant>> ApplyDefaults(
        const QStringList &fieldNames, bool dynamicDefaults, bool debug);

private:
    TOracleSession *m_session;
    QString m_name;
    QString m_owner;
    QString m_tableName;
    std::optional<std::vector<std::unique_ptr<TOracleConstraintInfo>>> m_constraints;
    std::optional<std::vector<TOracleColumnInfo>> m_columns;
    bool m_defaultsLoaded = false;
    bool m_defaultsEvaluated = false;
    bool m_noDefaults = false;
    std::unique_ptr<TOracleQuery> m_query;
};

// The table information of one session, shared by all its datasets. It lives as a child of the
// session (created on first use), so it ends with the session.
class TOracleTableInfoCache : public QObject {
public:
    // The session's cache; raises "Session undefined" without a session.
    static TOracleTableInfoCache &ForSession(TOracleSession *session);

    // The item of an updating table (compared ignoring ASCII case); a new item resolves the
    // table's owner and name through the dictionary.
    TOracleTableInfo &TableInfo(const QString &updatingTableName);
    int Count() const { return static_cast<int>(m_items.size()); }

private:
    explicit TOracleTableInfoCache(TOracleSession *session);

    TOracleSession *m_session;
    std::vector<std::unique_ptr<TOracleTableInfo>> m_items;
};

} // namespace qd
