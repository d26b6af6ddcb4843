#include "worksheet/ExplainPlan.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "shell/TextTools.h"
#include "worksheet/KXScript.h"

#include <QDateTime>

#include <exception>

namespace qd {

namespace {

constexpr int kPlanReadBuffer = 25;

// The plan as a tree: two blanks per level below the root, the text cut at 80 characters.
const QStringList kPlanQuery = {
    QStringLiteral("SELECT level-1 \"Order\", "),
    QStringLiteral("  substr(LPAD(' ',2*(LEVEL-1))||"),
    QStringLiteral("  rtrim(operation) ||' '||"),
    QStringLiteral("  rtrim(options) ||' '||"),
    QStringLiteral("  rtrim(object_name) ||' '||"),
    QStringLiteral("  rtrim(object_type), 1, 80) \"Execution Plan\", "),
    QStringLiteral("  position \"Position\""),
    QStringLiteral("FROM plan_table "),
    QStringLiteral("START WITH id = 0 AND upper(rtrim(statement_id)) = upper(:planId) "),
    QStringLiteral("CONNECT BY PRIOR id = parent_id AND "),
    QStringLiteral("  upper(rtrim(statement_id)) = upper(:planId)"),
};

// "<day number>_<milliseconds since midnight>": a fresh id for each call.
QString timeStampId()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 day = QDate(1899, 12, 30).daysTo(now.date());
    const int ms = now.time().msecsSinceStartOfDay();
    return QString::number(day) + QLatin1Char('_') + QString::number(ms);
}

void formatPlan(TOracleQuery &query, QStringList &planLines, QString &cost)
{
    QString header;
    QString rule;
    for (int i = 0; i < query.FieldCount(); ++i) {
        const int size = query.FieldSize(i);
        header += QLatin1Char(' ') + PadRight(query.FieldName(i), size);
        rule += QLatin1Char(' ') + QString(size, u'-');
    }
    planLines.append(header);
    planLines.append(rule);
    bool first = true;
    while (!query.Eof()) {
        QString line;
        for (int i = 0; i < query.FieldCount(); ++i)
            line += QLatin1Char(' ') + PadRight(query.FieldAsString(i), query.FieldSize(i));
        if (first && query.FieldCount() > 2)
            cost = query.FieldAsString(2);
        first = false;
        planLines.append(line);
        query.Next();
    }
    if (cost.isEmpty())
        cost = QStringLiteral("unavailable");
}

} // namespace

void ExplainStatementPlan(TOracleSession &connection, const QStringList &text,
    const QString &scriptPath, const QString &currentDir, bool &found, QStringList &statementLines,
    QStringList &planLines, QString &cost, int maxNested)
{
    found = false;
    TStringList script;
    for (const QString &line : text)
        script.Add(line);
    TKXScript splitter;
    splitter.SetScriptPath(scriptPath);
    splitter.SetCurrentDir(currentDir);
    splitter.Parse(script, kpmAll, 0, maxNested);
    TStringList statement;
    for (splitter.First(); !splitter.Eof(); splitter.Next()) {
        const TKXStatementKind kind = splitter.CurrentStatement().Kind;
        if (kind == skSelect || kind == skUpdate || kind == skDelete) {
            statement = splitter.CurrentStatement().Lines();
            found = true;
            break;
        }
    }
    splitter.Clear();
    if (!found)
        return;
    statementLines.clear();
    for (int i = 0; i < statement.Count(); ++i)
        statementLines.append(statement[i]);

    const QString id = timeStampId();
    const QString planId = QStringLiteral("plan") + id;
    const QString savepoint = QStringLiteral("sp") + id;
    TOracleQuery query;
    query.SetSession(&connection);
    query.SetReadBuffer(kPlanReadBuffer);
    query.SetStringFieldsOnly(true);
    query.SQL().Add(QStringLiteral("EXPLAIN PLAN set statement_id = '") + planId
        + QStringLiteral("' for "));
    query.SQL().AddStrings(statement);

    connection.Savepoint(savepoint);
    std::exception_ptr failure;
    try {
        query.Execute();
        query.Close();
        query.SQL().Clear();
        for (const QString &line : kPlanQuery)
            query.SQL().Add(line);
        query.DeclareVariable(QStringLiteral("planId"), SQLT_STR);
        query.SetVariable(QStringLiteral("planId"), Variant(planId));
        query.Execute();
        formatPlan(query, planLines, cost);
    } catch (...) {
        failure = std::current_exception();
    }
    // The plan rows go again, after success and after every error alike; when the rollback
    // itself fails, the first error is the one the caller hears of.
    try {
        query.Close();
        connection.RollbackToSavepoint(savepoint);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace qd
