#include "OracleTableInfo.h"

#include "UpdatingTable.h"
#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"

#include <QMutex>
#include <QMutexLocker>

namespace qd {

namespace {

const char *const cacheObjectName = "TableInfoCache";

// Clears the query for a new dictionary read; dictionary reads are never shown as debug output.
void prepareDictionaryRead(TOracleQuery &query)
{
    query.Close();
    query.Clear();
    query.DeleteVariables();
    query.SetDebug(false);
}

void declareString(TOracleQuery &query, const QString &name, const QString &value)
{
    query.DeclareVariable(name, SQLT_STR);
    query.SetVariable(name, value);
}

} // namespace

TOracleTableInfo::TOracleTableInfo(
    TOracleSession *session, QString name, QString owner, QString tableName)
    : m_session(session)
    , m_name(std::move(name))
    , m_owner(std::move(owner))
    , m_tableName(std::move(tableName))
    , m_query(std::make_unique<TOracleQuery>())
{
    m_query->setObjectName(QStringLiteral("TableInfoQuery"));
    m_query->SetSession(session);
}

TOracleTableInfo::~TOracleTableInfo() = default;

void TOracleTableInfo::LoadConstraints()
{
    if (m_constraints)
        return;
    // Allocated before the read, so that a failed read is not repeated.
    m_constraints.emplace();
    TOracleQuery &query = *m_query;
    prepareDictionaryRead(query);
    query.SQL().Add(
        QStringLiteral("select constraint_name, column_name from sys.all_cons_columns"));
    query.SQL().Add(QStringLiteral("where owner = :owner and table_name = :table_name"));
    // A bridged data source names its constraints in its own way.
    if (!m_session || !m_session->ODBCBridge())
        query.SQL().Add(QStringLiteral("and constraint_name not like 'SYS_C%'"));
    query.SQL().Add(QStringLiteral("order by constraint_name, position"));
    declareString(query, QStringLiteral("owner"), m_owner);
    declareString(query, QStringLiteral("table_name"), m_tableName);
    try {
        query.Execute();
        TOracleConstraintInfo *current = nullptr;
        while (!query.Eof()) {
            const QString name = query.FieldAsString(0);
            if (!current || current->Name() != name) {
                m_constraints->push_back(std::make_unique<TOracleConstraintInfo>(this, name));
                current = m_constraints->back().get();
            }
            current->AddColumn(query.FieldAsString(1));
            query.Next();
        }
        query.Close();
    } catch (...) {
        m_constraints->clear();
        throw;
    }
}

int TOracleTableInfo::ConstraintCount() const
{
    return m_constraints ? static_cast<int>(m_constraints->size()) : 0;
}

TOracleConstraintInfo &TOracleTableInfo::Constraint(int index) const
{
    if (index < 0 || index >= ConstraintCount())
        throw Exception(QStringLiteral("Constraint index out of range (%1)").arg(index));
    return *m_constraints->at(static_cast<size_t>(index));
}

void TOracleTableInfo::LoadColumns()
{
    if (m_columns)
        return;
    m_columns.emplace();
    TOracleQuery &query = *m_query;
    try {
        prepareDictionaryRead(query);
        query.SQL().Add(QStringLiteral("select * from ") + m_name);
        query.Execute();
        for (int i = 0; i < query.FieldCount(); ++i) {
            TOracleColumnInfo column;
            column.name = query.FieldName(i);
            column.dataType = query.FieldType(i);
            column.precision = query.FieldPrecision(i);
            column.scale = query.FieldScale(i);
            m_columns->push_back(column);
        }
        query.Close();
    } catch (...) {
        m_columns->clear();
        // Without column information the checks that need it are skipped and no default is
        // applied; the user still learns why.
        ShowCurrentException();
    }
}

int TOracleTableInfo::ColumnCount() const
{
    return m_columns ? static_cast<int>(m_columns->size()) : 0;
}

const TOracleColumnInfo &TOracleTableInfo::Column(int index) const
{
    if (index < 0 || index >= ColumnCount())
        throw Exception(QStringLiteral("Column index out of range (%1)").arg(index));
    return m_columns->at(static_cast<size_t>(index));
}

TOracleColumnInfo *TOracleTableInfo::FindColumn(const QString &name)
{
    LoadColumns();
    for (TOracleColumnInfo &column : *m_columns)
        if (column.name == name)
            return &column;
    return nullptr;
}

void TOracleTableInfo::LoadColumnDefaults()
{
    if (m_defaultsLoaded)
        return;
    m_defaultsLoaded = true;
    LoadColumns();
    TOracleQuery &query = *m_query;
    prepareDictionaryRead(query);
    query.SQL().Add(QStringLiteral("select column_name, data_default from sys.all_tab_columns"));
    query.SQL().Add(QStringLiteral("where owner = :owner and table_name = :table_name"));
    query.SQL().Add(QStringLiteral("and data_default is not null"));
    declareString(query, QStringLiteral("owner"), m_owner);
    declareString(query, QStringLiteral("table_name"), m_tableName);
    m_noDefaults = true;
    query.Execute();
    while (!query.Eof()) {
        m_noDefaults = false;
        if (TOracleColumnInfo *column = FindColumn(query.FieldAsString(0)))
            column->defaultExpression = query.FieldAsString(1);
        query.Next();
    }
    query.Close();
}

QList<QPair<QString, Variant>> TOracleTableInfo::ApplyDefaults(
    const QStringList &fieldNames, bool dynamicDefaults, bool debug)
{
    QList<QPair<QString, Variant>> values;
    LoadColumnDefaults();
    if (m_noDefaults)
        return values;
    if (dynamicDefaults || !m_defaultsEvaluated) {
        m_defaultsEvaluated = true;
        TOracleQuery &query = *m_query;
        prepareDictionaryRead(query);
        query.SetDebug(debug);
        query.SQL().Add(QStringLiteral("begin"));
        bool any = false;
        for (const TOracleColumnInfo &column : *m_columns) {
            if (column.defaultExpression.isEmpty())
                continue;
            // A dictionary default may end with blanks or a line break.
            query.SQL().Add(QStringLiteral("  :") + column.name + QStringLiteral(" := ")
                + column.defaultExpression.trimmed() + u';');
            query.DeclareVariable(column.name, column.dataType);
            any = true;
        }
        query.SQL().Add(QStringLiteral("end;"));
        if (any) {
            query.Execute();
            for (TOracleColumnInfo &column : *m_columns)
                if (!column.defaultExpression.isEmpty())
                    column.defaultValue = query.GetVariable(column.name);
        }
    }
    for (const TOracleColumnInfo &column : *m_columns) {
        if (column.defaultExpression.isEmpty())
            continue;
        for (const QString &field : fieldNames) {
            if (field.compare(column.name, Qt::CaseInsensitive) == 0) {
                values.append({ field, column.defaultValue });
                break;
            }
        }
    }
    return values;
}

TOracleTableInfoCache::TOracleTableInfoCache(TOracleSession *session)
    : m_session(session)
{
    setObjectName(QString::fromLatin1(cacheObjectName));
}

TOracleTableInfoCache &TOracleTableInfoCache::ForSession(TOracleSession *session)
{
    if (!session)
        throw Exception(QStringLiteral("Session undefined"));
    // A dataset driven by a worker may be the first to ask.
    static QMutex creation;
    QMutexLocker lock(&creation);
    TOracleTableInfoCache *cache = nullptr;
    for (QObject *child : session->children()) {
        cache = dynamic_cast<TOracleTableInfoCache *>(child);
        if (cache)
            break;
    }
    if (!cache) {
        // Owned by the session as its child. Qt parents only objects of the parent's thread,
        // so a cache made on a worker first moves to the session's thread; else it would be
        // neither found again nor freed.
        cache = new TOracleTableInfoCache(session);
        if (cache->thread() != session->thread())
            cache->moveToThread(session->thread());
        cache->setParent(session);
    }
    return *cache;
}

TOracleTableInfo &TOracleTableInfoCache::TableInfo(const QString &updatingTableName)
{
    for (const auto &item : m_items)
        if (item->Name().compare(updatingTableName, Qt::CaseInsensitive) == 0)
            return *item;
    QString owner;
    QString table;
    SplitTableName(*m_session, updatingTableName, owner, table);
    m_items.push_back(
        std::make_unique<TOracleTableInfo>(m_session, updatingTableName, owner, table));
    return *m_items.back();
}

} // namespace qd
