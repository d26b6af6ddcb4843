// The dataset as a data provider's source, driven the way a provider drives it: parameters in
// and out, keys, indexes and default order, statements with "?" parameters, an update cycle in
// the provider's transaction, and the errors it reports.
#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include "classlib/ProviderSupport.h"

#include <algorithm>

namespace qd::test {
namespace {

class OracleDataSetProvider : public DataSetFixture {
protected:
    // The provider's view of the dataset.
    IProviderSupport &provider() { return *dataSet; }

    int count(const QString &where)
    {
        return scalar(QStringLiteral("select count(*) from prov_emp where ") + where).toInt();
    }

    QString nameOf(int id)
    {
        return scalar(QStringLiteral("select name from prov_emp where id = %1").arg(id));
    }

    // (id, code, a, b, note) with a primary key on id and unique keys on code and on (a, b).
    void createKeyed()
    {
        createTable(QStringLiteral("prov_keys"),
            QStringLiteral("id number(9) constraint PK_PROV_KEYS primary key, "
                           "code varchar2(10) constraint UK_PROV_KEYS_CODE unique, "
                           "a number(5), b number(5), note varchar2(20), "
                           "constraint UK_PROV_KEYS_AB unique (a, b)"));
    }
};

TEST_F(OracleDataSetProvider, ParametersMirrorTheVariables)
{
    createNumbered(QStringLiteral("prov_emp"), 6);
    TOracleDataSet &ds = newDataSet(
        QStringLiteral("select * from prov_emp where id >= :low and name like :pattern"));
    ds.DeclareVariable(QStringLiteral("low"), SQLT_INT);
    ds.DeclareVariable(QStringLiteral("pattern"), SQLT_STR);
    ds.DeclareVariable(QStringLiteral("ratio"), SQLT_FLT);
    ds.DeclareVariable(QStringLiteral("since"), SQLT_DAT);
    ds.DeclareVariable(QStringLiteral("body"), SQLT_CLOB);
    ds.DeclareVariable(QStringLiteral("rows"), SQLT_RSET);
    ds.DeclareVariable(QStringLiteral("a_name_that_is_longer_than_thirty_chars"), SQLT_STR);
    ds.SetVariable(QStringLiteral("low"), 3);
    ds.SetVariable(QStringLiteral("pattern"), QStringLiteral("name%"));
    ds.SetVariable(QStringLiteral("ratio"), 1.5);

    TParams *params = provider().PSGetParams();
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->Count(), 7);
    struct Expected {
        const char *name;
        TFieldType type;
    };
    const Expected expected[] = {
        { "LOW", ftInteger },
        { "PATTERN", ftString },
        { "RATIO", ftFloat },
        { "SINCE", ftDateTime },
        { "BODY", ftOraClob },
        { "ROWS", ftCursor },
        { "A_NAME_THAT_IS_LONGER_THAN_THI", ftString },
    };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ((*params)[i]->Name(), QString::fromLatin1(expected[i].name));
        EXPECT_EQ((*params)[i]->DataType(), expected[i].type);
        EXPECT_EQ((*params)[i]->ParamType(), ptInput);
    }
    EXPECT_EQ(params->ParamByName(QStringLiteral("LOW"))->Value().AsInteger(), 3);
    EXPECT_EQ(params->ParamByName(QStringLiteral("PATTERN"))->Value().AsString(), "name%");
    EXPECT_DOUBLE_EQ(params->ParamByName(QStringLiteral("RATIO"))->Value().AsFloat(), 1.5);
    EXPECT_TRUE(params->ParamByName(QStringLiteral("BODY"))->IsNull());

    // The list is kept: a variable gone loses its parameter, one of another type is replaced,
    // and values follow the variables.
    ds.MainQuery()->DeleteVariable(QStringLiteral("pattern"));
    ds.MainQuery()->DeclareVariable(QStringLiteral("ratio"), SQLT_STR);
    ds.SetVariable(QStringLiteral("ratio"), QStringLiteral("half"));
    ds.SetVariable(QStringLiteral("low"), 5);
    EXPECT_EQ(provider().PSGetParams(), params);
    EXPECT_EQ(params->Count(), 6);
    EXPECT_EQ(params->FindParam(QStringLiteral("PATTERN")), nullptr);
    EXPECT_EQ(params->ParamByName(QStringLiteral("RATIO"))->DataType(), ftString);
    EXPECT_EQ(params->ParamByName(QStringLiteral("RATIO"))->Value().AsString(), "half");
    EXPECT_EQ(params->ParamByName(QStringLiteral("LOW"))->Value().AsInteger(), 5);
}

TEST_F(OracleDataSetProvider, ParametersSetByTheProviderBecomeVariablesAndRunOnExecute)
{
    createNumbered(QStringLiteral("prov_emp"), 6);
    TOracleDataSet &ds
        = newDataSet(QStringLiteral("select * from prov_emp where id >= :low order by id"));
    ds.DeclareVariable(QStringLiteral("low"), SQLT_INT);
    ds.SetVariable(QStringLiteral("low"), 1);
    ds.Open();
    ASSERT_EQ(ids(ds).size(), 6);

    TParams given;
    // The top bit of a parameter's type is not part of the type.
    given.CreateParam(static_cast<TFieldType>(ftInteger | 128), QStringLiteral("LOW"), ptInput)
        ->SetValue(4);
    given.CreateParam(ftBoolean, QStringLiteral("FLAG"), ptInput)->SetValue(true);
    given.CreateParam(ftCurrency, QStringLiteral("PRICE"), ptInput)->SetValue(2.25);
    given.CreateParam(ftTime, QStringLiteral("AT"), ptInput);
    given.CreateParam(ftMemo, QStringLiteral("NOTE"), ptInput)->SetValue(QStringLiteral("n"));
    given.CreateParam(ftBlob, QStringLiteral("RAW"), ptInput);
    given.CreateParam(ftSmallint, QStringLiteral("SMALL"), ptInput)->SetValue(7);
    provider().PSSetParams(given);

    struct Expected {
        const char *name;
        int type;
    };
    const Expected expected[] = {
        { ":LOW", SQLT_INT },
        { ":PRICE", SQLT_FLT },
        { ":AT", SQLT_DAT },
        { ":NOTE", SQLT_LNG },
        { ":RAW", SQLT_LBI },
        { ":SMALL", SQLT_INT },
    };
    ASSERT_EQ(ds.VariableCount(), 6) << "a Boolean parameter declares no variable";
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(ds.VariableName(i), QString::fromLatin1(expected[i].name));
        EXPECT_EQ(ds.VariableType(i), expected[i].type);
    }
    EXPECT_EQ(ds.GetVariable(QStringLiteral("LOW")).AsInteger(), 4);
    EXPECT_DOUBLE_EQ(ds.GetVariable(QStringLiteral("PRICE")).AsFloat(), 2.25);

    // The parameter list is now a copy of the given one.
    TParams *params = provider().PSGetParams();
    EXPECT_NE(params, &given);
    EXPECT_EQ(params->ParamByName(QStringLiteral("LOW"))->Value().AsInteger(), 4);

    // The provider's parameters for this statement run it; variables the parameters do not
    // name keep their declaration and lose their value.
    TOracleDataSet &run
        = newDataSet(QStringLiteral("select * from prov_emp where id >= :low order by id"));
    run.DeclareVariable(QStringLiteral("low"), SQLT_INT);
    run.Open();
    run.DeclareVariable(QStringLiteral("unused"), SQLT_STR);
    run.SetVariable(QStringLiteral("unused"), QStringLiteral("x"));
    TParams low;
    low.CreateParam(ftInteger, QStringLiteral("LOW"), ptInput)->SetValue(4);
    provider().PSSetParams(low);
    EXPECT_EQ(run.VariableCount(), 2);
    EXPECT_TRUE(run.GetVariable(QStringLiteral("unused")).IsNullOrEmpty());
    run.MainQuery()->DeleteVariable(QStringLiteral("unused"));
    provider().PSExecute();
    EXPECT_TRUE(run.Active());
    EXPECT_EQ(ids(run), (QStringList { "4", "5", "6" }));
}

TEST_F(OracleDataSetProvider, StatementParametersReplaceTheQuestionMarksInOrder)
{
    createNumbered(QStringLiteral("prov_emp"), 5);
    newDataSet(QStringLiteral("select * from prov_emp"));
    TParams params;
    params.CreateParam(ftString, QStringLiteral("NAME"), ptInput)->SetValue(QStringLiteral("Ann"));
    params.CreateParam(ftInteger, QStringLiteral("ID"), ptInput)->SetValue(2);

    StandinHooks::get().traceClear(session->ServiceContext());
    EXPECT_EQ(provider().PSExecuteStatement(
                  QStringLiteral("update prov_emp set name = ? where id = ?"), params),
        1);
    const QStringList trace = StandinHooks::get().trace(session->ServiceContext());
    EXPECT_TRUE(std::any_of(trace.begin(), trace.end(), [](const QString &text) {
        return text.trimmed() == QStringLiteral("update prov_emp set name = :V0 where id = :V1");
    })) << trace.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(nameOf(2), "Ann");
    EXPECT_EQ(
        provider().PSExecuteStatement(QStringLiteral("update prov_emp set qty = 0 where id > ?"),
            [] {
                TParams p;
                p.CreateParam(ftInteger, QStringLiteral("X"), ptInput)->SetValue(3);
                return p;
            }()),
        2);

    // Three parameters, two marks: refused before anything runs.
    params.CreateParam(ftInteger, QStringLiteral("EXTRA"), ptInput)->SetValue(9);
    params[0]->SetValue(QStringLiteral("Bob"));
    EXPECT_EQ(messageOf([&] {
        provider().PSExecuteStatement(
            QStringLiteral("update prov_emp set name = ? where id = ?"), params);
    }),
        QStringLiteral("No variable for parameter 2"));
    EXPECT_EQ(nameOf(2), "Ann");

    // With a result set the rows come back in a new dataset the caller owns.
    std::unique_ptr<TDataSet> rows;
    TParams query;
    query.CreateParam(ftInteger, QStringLiteral("QTY"), ptInput)->SetValue(0);
    EXPECT_EQ(
        provider().PSExecuteStatement(
            QStringLiteral("select id from prov_emp where qty = ? order by id"), query, &rows),
        2);
    ASSERT_TRUE(rows);
    EXPECT_TRUE(rows->Active());
    EXPECT_EQ(ids(*rows), (QStringList { "4", "5" }));
}

TEST_F(OracleDataSetProvider, StatementParametersAreBoundWithTheirMappedTypes)
{
    createNumbered(QStringLiteral("prov_emp"), 1);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from prov_emp"));
    const QString longText(session->MaxStringChars() + 1, QLatin1Char('x'));
    struct Case {
        TFieldType type;
        Variant value;
        int bindType;
    };
    const Case cases[] = {
        { ftSmallint, 1, SQLT_INT },
        { ftWord, 1, SQLT_INT },
        { ftCurrency, 1.5, SQLT_FLT },
        { ftBCD, 1.5, SQLT_FLT },
        { ftDate, Variant::FromDateTime(45000), SQLT_DAT },
        { ftBoolean, QStringLiteral("1"), SQLT_STR },
        { ftString, QStringLiteral("short"), SQLT_STR },
        { ftString, longText, SQLT_LNG },
        { ftMemo, QStringLiteral("memo"), SQLT_STR },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(FieldTypeName(c.type).toStdString());
        TParams params;
        params.CreateParam(c.type, QStringLiteral("P"), ptInput)->SetValue(c.value);
        // A statement that binds its one parameter and changes nothing.
        provider().PSExecuteStatement(
            QStringLiteral("begin if ? is null then null; end if; end;"), params);
        TOracleQuery *query = ds.DMLQuery(true);
        ASSERT_EQ(query->VariableCount(), 1);
        EXPECT_EQ(query->VariableName(0), ":V0");
        EXPECT_EQ(query->VariableType(0), c.bindType);
        ds.ReleaseDMLQuery();
    }
}

TEST_F(OracleDataSetProvider, LobParametersReachTheStatement)
{
    createTable(QStringLiteral("prov_docs"), QStringLiteral("id number(9), body clob, data blob"));
    newDataSet(QStringLiteral("select * from prov_docs"));
    TParams params;
    params.CreateParam(ftInteger, QStringLiteral("ID"), ptInput)->SetValue(1);
    params.CreateParam(ftOraClob, QStringLiteral("BODY"), ptInput)
        ->SetValue(QStringLiteral("a text for the CLOB"));
    params.CreateParam(ftOraBlob, QStringLiteral("DATA"), ptInput)
        ->SetValue(QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(
        provider().PSExecuteStatement(
            QStringLiteral("insert into prov_docs (id, body, data) values (?, ?, ?)"), params),
        1);
    params[0]->SetValue(2);
    params[1]->SetValue(Variant::Null());
    params[2]->SetValue(Variant::Null());
    provider().PSExecuteStatement(
        QStringLiteral("insert into prov_docs (id, body, data) values (?, ?, ?)"), params);

    // The values went in with the statement, not after it.
    TOracleDataSet &docs = newDataSet(QStringLiteral("select * from prov_docs order by id"));
    docs.Open();
    EXPECT_EQ(docs.FieldByName(QStringLiteral("BODY"))->AsString(), "a text for the CLOB");
    EXPECT_EQ(docs.FieldByName(QStringLiteral("DATA"))->AsBytes(), QByteArray("\x01\x02\x03", 3));
    docs.Next();
    EXPECT_TRUE(docs.FieldByName(QStringLiteral("BODY"))->AsString().isEmpty());
    EXPECT_TRUE(docs.FieldByName(QStringLiteral("DATA"))->AsBytes().isEmpty());

    // The same through the dataset's own parameters.
    TOracleDataSet &filtered
        = newDataSet(QStringLiteral("select id from prov_docs where length(body) = length(:b)"));
    TParams own;
    own.CreateParam(ftOraClob, QStringLiteral("B"), ptInput)
        ->SetValue(QStringLiteral("nineteen characters"));
    static_cast<IProviderSupport &>(filtered).PSSetParams(own);
    static_cast<IProviderSupport &>(filtered).PSExecute();
    EXPECT_EQ(ids(filtered), QStringList { QStringLiteral("1") });
    // A refresh runs with the same value.
    filtered.Refresh();
    EXPECT_EQ(ids(filtered), QStringList { QStringLiteral("1") });
}

TEST_F(OracleDataSetProvider, KeyFieldsComeFromFlagsUniqueFieldsOrTheTablesKey)
{
    createKeyed();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from prov_keys"));
    ds.Open();
    EXPECT_EQ(provider().PSGetKeyFields(), "ID");
    ds.SetUniqueFields(QStringLiteral(" CODE "));
    EXPECT_EQ(provider().PSGetKeyFields(), "CODE");
    // Fields the application flagged as the key come first.
    ds.FieldByName(QStringLiteral("A"))->SetProviderFlags(pfInKey | pfInWhere);
    ds.FieldByName(QStringLiteral("B"))->SetProviderFlags(pfInKey);
    EXPECT_EQ(provider().PSGetKeyFields(), "A;B");
    ds.SetProviderOptions(opNoKeyFields);
    EXPECT_EQ(provider().PSGetKeyFields(), "");

    // The primary key is not among the fields: no key.
    TOracleDataSet &partial = newDataSet(QStringLiteral("select code, a from prov_keys"));
    partial.Open();
    EXPECT_EQ(static_cast<IProviderSupport &>(partial).PSGetKeyFields(), "");

    // A table with only a unique key, and one with none.
    createTable(QStringLiteral("prov_unique"),
        QStringLiteral("x number(5), y varchar2(5) constraint UK_PROV_UNIQUE_Y unique"));
    TOracleDataSet &unique = newDataSet(QStringLiteral("select * from prov_unique"));
    unique.Open();
    EXPECT_EQ(static_cast<IProviderSupport &>(unique).PSGetKeyFields(), "Y");
    createTable(QStringLiteral("prov_plain"), QStringLiteral("x number(5)"));
    TOracleDataSet &plain = newDataSet(QStringLiteral("select * from prov_plain"));
    plain.Open();
    EXPECT_EQ(static_cast<IProviderSupport &>(plain).PSGetKeyFields(), "");

    // No statement to name a table: nothing; a table but no session: refused.
    TOracleDataSet none;
    EXPECT_EQ(static_cast<IProviderSupport &>(none).PSGetKeyFields(), "");
    TOracleDataSet detached;
    detached.SetSQLText(QStringLiteral("select * from prov_keys"));
    EXPECT_EQ(messageOf([&] { static_cast<IProviderSupport &>(detached).PSGetKeyFields(); }),
        QStringLiteral("Session undefined"));
}

TEST_F(OracleDataSetProvider, IndexDefinitionsAreTheTablesKeysThatAreFields)
{
    createKeyed();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from prov_keys"));
    ds.Open();
    auto describe = [](const TIndexDefs &defs) {
        QStringList out;
        for (const TIndexDef &def : defs)
            out.append(def.Name + QLatin1Char(' ') + def.Fields + QLatin1Char(' ')
                + QString::number(def.Options));
        out.sort();
        return out;
    };
    const QString primary = QStringLiteral("PK_PROV_KEYS ID %1").arg(ixPrimary | ixUnique);
    EXPECT_EQ(describe(provider().PSGetIndexDefs(ixPrimary)), QStringList { primary });
    EXPECT_EQ(describe(provider().PSGetIndexDefs(ixUnique)),
        (QStringList { primary, QStringLiteral("UK_PROV_KEYS_AB A;B 2"),
            QStringLiteral("UK_PROV_KEYS_CODE CODE 2") }));
    EXPECT_TRUE(provider().PSGetIndexDefs(ixDescending).empty());
    ds.SetProviderOptions(opNoIndexDefs);
    EXPECT_TRUE(provider().PSGetIndexDefs(ixPrimary | ixUnique).empty());

    // A key with a column that is not a field is left out.
    TOracleDataSet &partial = newDataSet(QStringLiteral("select id, code, a from prov_keys"));
    partial.Open();
    EXPECT_EQ(describe(static_cast<IProviderSupport &>(partial).PSGetIndexDefs(ixUnique)),
        (QStringList { primary, QStringLiteral("UK_PROV_KEYS_CODE CODE 2") }));

    TOracleDataSet none;
    EXPECT_TRUE(static_cast<IProviderSupport &>(none).PSGetIndexDefs(ixUnique).empty());
}

TEST_F(OracleDataSetProvider, DefaultOrderIsReadFromTheOrderByClause)
{
    createNumbered(QStringLiteral("prov_emp"), 3);
    struct Case {
        const char *sql;
        bool found;
        const char *fields;
        const char *desc;
        const char *caseIns;
    };
    const Case cases[] = {
        { "select id, name, qty from prov_emp order by 2 desc, upper(name)", true, "NAME;NAME",
            "NAME", "NAME" },
        { "select id, name, qty from prov_emp e order by 3 desc, UPPER( name ) asc, e.id", true,
            "QTY;NAME;ID", "QTY", "NAME" },
        { "select e.* from prov_emp e where id > 0 order by e.id nulls last", true, "ID", "", "" },
        { "select * from prov_emp order by id for update", true, "ID", "", "" },
        // QTY orders the rows but is not a field.
        { "select id, name from prov_emp order by id, qty", false, "", "", "" },
        { "select * from prov_emp order by qty + 1", false, "", "", "" },
        { "select * from prov_emp", false, "", "", "" },
        // An ORDER BY inside a subquery is not the statement's order.
        { "select * from (select * from prov_emp order by name) x", false, "", "", "" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        TOracleDataSet &ds = newDataSet(QString::fromUtf8(c.sql));
        ds.Open();
        const std::optional<TIndexDef> order = provider().PSGetDefaultOrder();
        ASSERT_EQ(order.has_value(), c.found);
        if (!order)
            continue;
        EXPECT_EQ(order->Fields, QString::fromUtf8(c.fields));
        EXPECT_EQ(order->DescFields, QString::fromUtf8(c.desc));
        EXPECT_EQ(order->CaseInsFields, QString::fromUtf8(c.caseIns));
        ds.SetProviderOptions(opNoDefaultOrder);
        EXPECT_FALSE(provider().PSGetDefaultOrder().has_value());
        ds.SetProviderOptions(0);
        ds.Close();
        // A closed dataset has no fields to name, not even by position.
        EXPECT_FALSE(provider().PSGetDefaultOrder().has_value());
    }
}

TEST_F(OracleDataSetProvider, AnUpdateCycleRunsInTheProvidersTransaction)
{
    createNumbered(QStringLiteral("prov_emp"), 3);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from prov_emp e order by id"));
    ds.Open();
    EXPECT_EQ(provider().PSGetTableName(), "PROV_EMP");
    EXPECT_EQ(provider().PSGetQuoteChar(), "\"");
    EXPECT_TRUE(provider().PSIsSQLBased());
    EXPECT_TRUE(provider().PSIsSQLSupported());

    // What a resolver does for one modified record when the dataset leaves it the writing.
    auto updateName = [&](int id, const QString &name) {
        ASSERT_FALSE(provider().PSUpdateRecord(ukModify, &ds));
        const QString quote = provider().PSGetQuoteChar();
        const QString key = provider().PSGetKeyFields();
        TParams params;
        params.CreateParam(ftString, QStringLiteral("NAME"), ptInput)->SetValue(name);
        params.CreateParam(ftInteger, key, ptInput)->SetValue(id);
        const QString sql = QStringLiteral("update %1 set %2NAME%2 = ? where %2%3%2 = ?")
                                .arg(provider().PSGetTableName(), quote, key);
        EXPECT_EQ(provider().PSExecuteStatement(sql, params), 1);
    };
    ds.SetUniqueFields(QStringLiteral("ID"));

    EXPECT_FALSE(provider().PSInTransaction());
    provider().PSStartTransaction();
    EXPECT_TRUE(provider().PSInTransaction());
    EXPECT_FALSE(ds.CommitOnPost());
    updateName(1, QStringLiteral("first"));
    EXPECT_EQ(nameOf(1), "first");
    provider().PSEndTransaction(false);
    EXPECT_FALSE(provider().PSInTransaction());
    EXPECT_EQ(nameOf(1), "name 1") << "rolled back";

    provider().PSStartTransaction();
    updateName(2, QStringLiteral("second"));
    provider().PSEndTransaction(true);
    session->Rollback();
    EXPECT_EQ(nameOf(2), "second") << "committed";

    // With opNoCommit the session's transaction is the application's.
    ds.SetProviderOptions(opNoCommit);
    provider().PSStartTransaction();
    updateName(3, QStringLiteral("third"));
    provider().PSEndTransaction(true);
    session->Rollback();
    EXPECT_EQ(nameOf(3), "name 3");
    provider().PSStartTransaction();
    updateName(3, QStringLiteral("third"));
    provider().PSEndTransaction(false);
    EXPECT_EQ(nameOf(3), "third");
    session->Commit();
}

TEST_F(OracleDataSetProvider, CommandTextAndResetCloseTheDataSet)
{
    createNumbered(QStringLiteral("prov_emp"), 3);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from prov_emp"));
    ds.Open();
    provider().PSReset();
    EXPECT_FALSE(ds.Active());
    ds.Open();
    provider().PSSetCommandText(QStringLiteral("select * from prov_emp where id = 2"));
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.SQL().Text().trimmed(), "select * from prov_emp where id = 2");
    ds.Open();
    EXPECT_EQ(ids(ds), QStringList { QStringLiteral("2") });
}

TEST_F(OracleDataSetProvider, ErrorsPassOnAndAreWrappedForTheProvider)
{
    createNumbered(QStringLiteral("prov_emp"), 2);
    newDataSet(QStringLiteral("select * from prov_emp"));
    TParams params;
    params.CreateParam(ftInteger, QStringLiteral("ID"), ptInput)->SetValue(1);
    std::exception_ptr error;
    int code = 0;
    try {
        provider().PSExecuteStatement(
            QStringLiteral("update prov_emp set nosuch = 1 where id = ?"), params);
        ADD_FAILURE() << "no error";
    } catch (const EOracleError &e) {
        code = e.ErrorCode();
        error = std::current_exception();
    }
    EXPECT_EQ(code, 904);
    // The DML query is usable again.
    EXPECT_EQ(provider().PSExecuteStatement(
                  QStringLiteral("update prov_emp set qty = 7 where id = ?"), params),
        1);

    const EUpdateError first = provider().PSGetUpdateException(error, nullptr);
    EXPECT_TRUE(first.Message().startsWith(QStringLiteral("ORA-00904"))) << first.what();
    EXPECT_EQ(first.PreviousError(), 0);
    const EUpdateError withPrevious(
        QStringLiteral("earlier"), QString(), 17, 0, std::exception_ptr());
    const EUpdateError second = provider().PSGetUpdateException(error, &withPrevious);
    EXPECT_EQ(second.PreviousError(), 17);
    EXPECT_EQ(second.Message(), first.Message());
    // The original error is kept as it was raised.
    try {
        std::rethrow_exception(second.OriginalException());
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 904);
    }
}

} // namespace
} // namespace qd::test
