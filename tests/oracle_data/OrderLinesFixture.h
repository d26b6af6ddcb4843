#pragma once

// Orders with a nested table of lines each, a master dataset over them and a detail dataset
// linked to it: what the tests of a detail over a collection column start from.

#include "DataSetTestFixture.h"

#include "oracle/ScreenServices.h"

namespace qd::test {

class OrderLinesFixture : public DataSetFixture {
protected:
    void TearDown() override
    {
        ResetScreenServices();
        detail.reset();
        master.reset();
        DataSetFixture::TearDown();
    }

    // The types <prefix>_line (item, qty) and <prefix>_lines, and the table <prefix>_order with
    // order 1 of two lines, 2 with an empty collection, 3 of one line and 4 with a null one,
    // committed; `master` ("Orders") selects the orders with their rowid, `detail` ("Lines")
    // is linked to it but not yet configured.
    void createOrders(const QString &prefix)
    {
        const QString order = prefix + QStringLiteral("_order"),
                      line = prefix + QStringLiteral("_line"),
                      lines = prefix + QStringLiteral("_lines");
        execIgnoringErrors(QStringLiteral("drop table ") + order);
        exec(QStringLiteral("create or replace type %1 as object (item varchar2(20), "
                            "qty number(6))")
                 .arg(line));
        exec(QStringLiteral("create or replace type %1 as table of %2").arg(lines, line));
        exec(QStringLiteral("create table %1 (no number(6) primary key, note varchar2(20), "
                            "lines %2)")
                 .arg(order, lines));
        exec(QStringLiteral("insert into %1 values (1, 'first', %2(%3('nail', 10), "
                            "%3('screw', 4)))")
                 .arg(order, lines, line));
        exec(QStringLiteral("insert into %1 values (2, 'second', %2())").arg(order, lines));
        exec(QStringLiteral("insert into %1 values (3, 'third', %2(%3('bolt', 1)))")
                 .arg(order, lines, line));
        exec(QStringLiteral("insert into %1 values (4, 'fourth', null)").arg(order));
        session->Commit();

        master = std::make_unique<TOracleDataSet>();
        master->SetName(QStringLiteral("Orders"));
        master->SetSession(session.get());
        master->SetSQLText(QStringLiteral("select o.*, o.rowid from %1 o order by no").arg(order));
        detail = std::make_unique<TOracleDataSet>();
        detail->SetName(QStringLiteral("Lines"));
        detail->SetSession(session.get());
        detail->SetSQLText(QStringLiteral("select * from ") + order);
        detail->SetMaster(master.get());
    }

    // The detail's rows as "item x qty", in the order shown.
    QStringList lines()
    {
        QStringList out;
        for (detail->First(); !detail->Eof(); detail->Next())
            out << detail->FieldByName(QStringLiteral("ITEM"))->AsString() + QStringLiteral(" x ")
                    + detail->FieldByName(QStringLiteral("QTY"))->AsString();
        return out;
    }

    std::unique_ptr<TOracleDataSet> master;
    std::unique_ptr<TOracleDataSet> detail;
};

} // namespace qd::test
