#pragma once

// A DEMO session through the product's TOracleQuery, with helpers that give a query's rows as
// text ("a|b" per row) and the error a statement raises ("ORA-nnnnn: ...", "" when it ran).

#include "common/StandinSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qd::test {

// Every row with each column fetched as the server's text, joined with "|".
inline std::vector<std::string> TextRows(TOracleSession &session, const std::string &sql)
{
    TOracleQuery q;
    q.SetSession(&session);
    q.SetStringFieldsOnly(true);
    q.SQL().SetText(QString::fromStdString(sql));
    q.Execute();
    std::vector<std::string> out;
    for (; !q.Eof(); q.Next()) {
        std::string row;
        for (int i = 0; i < q.FieldCount(); ++i)
            row += (i ? "|" : "") + q.FieldAsString(i).toStdString();
        out.push_back(row);
    }
    return out;
}

class StandinQueryTest : public ::testing::Test {
protected:
    void SetUp() override { session = LogOnDemo(); }
    void TearDown() override { LogOffQuietly(session); }

    void run(const std::string &sql) { RunSql(*session, QString::fromStdString(sql)); }
    void runQuietly(const std::string &sql)
    {
        RunSqlIgnoringErrors(*session, QString::fromStdString(sql));
    }
    // Every row, its columns joined with "|" (null as "(null)").
    std::vector<std::string> rows(const std::string &sql)
    {
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(QString::fromStdString(sql));
        q.Execute();
        std::vector<std::string> out;
        while (!q.Eof()) {
            std::string row;
            for (int i = 0; i < q.FieldCount(); ++i) {
                const Variant v = q.Field(i);
                row += (i ? "|" : "")
                    + (v.IsNullOrEmpty() ? std::string("(null)") : q.FieldAsString(i).toStdString());
            }
            out.push_back(row);
            q.Next();
        }
        return out;
    }
    std::string scalar(const std::string &sql)
    {
        const auto r = rows(sql);
        return r.empty() ? "<no row>" : r.front();
    }
    // The error the statement raises, "" when it runs.
    std::string error(const std::string &sql)
    {
        try {
            run(sql);
        } catch (const EOracleError &e) {
            return e.Message().toStdString();
        }
        return {};
    }

    std::unique_ptr<TOracleSession> session;
};

} // namespace qd::test
