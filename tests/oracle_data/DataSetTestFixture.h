#pragma once

// A session on the stand-in's DEMO database and datasets on it; every test makes its own
// tables. TearDown checks that no record block outlives its dataset and that no internal
// consistency check failed.

#include "common/StandinSession.h"
#include "oracle_data/OracleDataSet.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qd::test {

// The position of a column in the dataset's field-info list: it names the value variable.
inline int fieldInfoIndex(TOracleDataSet &ds, const char *column)
{
    for (int i = 0; i < ds.FieldInfo().Count(); ++i)
        if (ds.FieldInfo().Items(i)->Name == QLatin1String(column))
            return i;
    return -1;
}

class DataSetFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_failuresBefore = TOracleDataSet::ConsistencyFailures();
        session = LogOnDemo();
    }

    void TearDown() override
    {
        dataSet.reset();
        EXPECT_EQ(TRecordDataList::LiveBlocks(), 0);
        EXPECT_EQ(TOracleDataSet::ConsistencyFailures() - m_failuresBefore, m_expectedFailures);
        LogOffQuietly(session);
    }

    void exec(const QString &sql) { RunSql(*session, sql); }
    void execIgnoringErrors(const QString &sql) { RunSqlIgnoringErrors(*session, sql); }
    void createTable(const QString &name, const QString &columns)
    {
        CreateFreshTable(*session, name, columns);
    }

    // Rows 1..count of (id number(9), name varchar2(30), qty number(5)): name "name <id>",
    // qty id mod 10.
    void createNumbered(const QString &name, int count)
    {
        createTable(name, QStringLiteral("id number(9), name varchar2(30), qty number(5)"));
        TOracleQuery insert;
        insert.SetSession(session.get());
        insert.SQL().SetText(
            QStringLiteral("insert into ") + name + QStringLiteral(" values (:id, :name, :qty)"));
        insert.DeclareVariable(QStringLiteral("id"), SQLT_INT);
        insert.DeclareVariable(QStringLiteral("name"), SQLT_STR);
        insert.DeclareVariable(QStringLiteral("qty"), SQLT_INT);
        for (int i = 1; i <= count; ++i) {
            insert.SetVariable(QStringLiteral("id"), i);
            insert.SetVariable(QStringLiteral("name"), QStringLiteral("name %1").arg(i));
            insert.SetVariable(QStringLiteral("qty"), i % 10);
            insert.Execute();
        }
        session->Commit();
    }

    TOracleDataSet &newDataSet(const QString &sql)
    {
        dataSet = std::make_unique<TOracleDataSet>();
        dataSet->SetName(QStringLiteral("OracleDataSet1"));
        dataSet->SetSession(session.get());
        dataSet->SetSQLText(sql);
        return *dataSet;
    }

    // The first column of a query's first row as text, on the test's session or `on`.
    QString scalar(const QString &sql, TOracleSession *on = nullptr)
    {
        return ScalarText(on ? *on : *session, sql);
    }

    // The ID field of every record, from the first.
    static QStringList ids(TDataSet &ds)
    {
        QStringList result;
        ds.First();
        while (!ds.Eof()) {
            result.append(ds.FieldByName(QStringLiteral("ID"))->AsString());
            ds.Next();
        }
        return result;
    }

    static QString messageOf(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const std::exception &e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    }

    std::unique_ptr<TOracleSession> session;
    std::unique_ptr<TOracleDataSet> dataSet;
    // A test that provokes an inconsistency on purpose says how many.
    int m_expectedFailures = 0;

private:
    int m_failuresBefore = 0;
};

} // namespace qd::test
