// The dataset as the source of a data provider: parameters mirrored from the variables, keys and
// indexes from the updating table's dictionary entries, the default order from the ORDER BY
// clause, statements run with their "?" parameters bound, and the provider's transaction.
#include "DataSetProvider.h"

#include "OracleDataSet.h"

#include "DataSetStatementText.h"
#include "OracleTableInfo.h"
#include "oracle/LOBLocator.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <QSet>

namespace qd {

namespace {

// The parameter type of a variable of that Oracle bind type.
TFieldType paramTypeOfVariable(int variableType)
{
    switch (variableType) {
    case SQLT_INT:
        return ftInteger;
    case SQLT_FLT:
        return ftFloat;
    case SQLT_STR:
        return ftString;
    case SQLT_LNG:
        return ftMemo;
    case SQLT_DAT:
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        return ftDateTime;
    case SQLT_LBI:
        return ftBlob;
    case SQLT_CLOB:
        return ftOraClob;
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return ftOraBlob;
    case SQLT_RSET:
        return ftCursor;
    default:
        return ftUnknown;
    }
}

// The parameter's type without the top bit some providers set on it.
TFieldType baseType(const TParam &param)
{
    return static_cast<TFieldType>(static_cast<int>(param.DataType()) & 127);
}

// The variable type a parameter of PSSetParams is declared with; 0 when it is not declared.
// A parameter kind that no bind variable carries.
constexpr int NoVariableType = 0;

int variableTypeOfParam(TFieldType type)
{
    switch (type) {
    case ftString:
        return SQLT_STR;
    case ftSmallint:
    case ftInteger:
    case ftWord:
        return SQLT_INT;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return SQLT_FLT;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return SQLT_DAT;
    case ftBlob:
        return SQLT_LBI;
    case ftMemo:
        return SQLT_LNG;
    case ftCursor:
        return SQLT_RSET;
    case ftOraBlob:
        return SQLT_BLOB;
    case ftOraClob:
        return SQLT_CLOB;
    default:
        return NoVariableType;
    }
}

// The variable type a parameter of PSExecuteStatement is bound with: strings longer than the
// session binds as strings go as LONG.
int statementTypeOfParam(const TParam &param, TOracleSession *session)
{
    // The kinds bound as such are those declared as such, but for strings, memos and cursors.
    const TFieldType type = baseType(param);
    if (type != ftString && type != ftMemo && type != ftCursor) {
        if (const int declared = variableTypeOfParam(type))
            return declared;
    }
    const Variant &value = param.Value();
    if (session && !value.IsNullOrEmpty() && value.AsString().size() > session->MaxStringChars())
        return SQLT_LNG;
    return SQLT_STR;
}

bool isLobType(int variableType)
{
    return variableType == SQLT_CLOB || variableType == SQLT_BLOB;
}

// ---- Reading the ORDER BY clause

struct OrderToken {
    enum Kind { Word, Open, Close, Comma, Other } kind;
    QString text;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#' || c == u'.' || c == u'"'
        || c.unicode() >= 128;
}

// Words (identifiers, numbers, qualified and quoted names), parentheses and commas; string
// literals and other characters are single "other" tokens.
QList<OrderToken> tokenize(const QString &text)
{
    QList<OrderToken> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'(') {
            tokens.append({ OrderToken::Open, QStringLiteral("(") });
            ++i;
        } else if (c == u')') {
            tokens.append({ OrderToken::Close, QStringLiteral(")") });
            ++i;
        } else if (c == u',') {
            tokens.append({ OrderToken::Comma, QStringLiteral(",") });
            ++i;
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            bool quoted = false;
            while (i < n && (quoted || isWordChar(text.at(i)))) {
                if (text.at(i) == u'"')
                    quoted = !quoted;
                ++i;
            }
            tokens.append({ OrderToken::Word, text.mid(start, i - start) });
        } else if (c == u'\'') {
            const qsizetype start = i++;
            while (i < n && text.at(i) != u'\'')
                ++i;
            ++i;
            tokens.append({ OrderToken::Other, text.mid(start, i - start) });
        } else {
            tokens.append({ OrderToken::Other, QString(c) });
            ++i;
        }
    }
    return tokens;
}

bool isKeyword(const OrderToken &token, const char *keyword)
{
    return token.kind == OrderToken::Word
        && token.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

// The column an ORDER BY item names: its last "." part without quotes.
QString columnOf(const QString &item)
{
    QString name = item;
    bool quoted = false;
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (name.at(i) == u'"')
            quoted = !quoted;
        else if (name.at(i) == u'.' && !quoted) {
            name = name.mid(i + 1);
            break;
        }
    }
    name.remove(QLatin1Char('"'));
    return name;
}

} // namespace

DataSetProvider::DataSetProvider(TOracleDataSet &dataSet)
    : m_dataSet(dataSet)
{
}

DataSetProvider::~DataSetProvider() = default;

TParams *DataSetProvider::params()
{
    TOracleDataSet &ds = m_dataSet;
    if (!m_params)
        m_params = std::make_unique<TParams>();
    TParams &params = *m_params;
    QSet<QString> names;
    for (int i = 0; i < ds.VariableCount(); ++i)
        names.insert(ds.VariableName(i).mid(1).left(30).toUpper());
    for (int i = params.Count() - 1; i >= 0; --i)
        if (!names.contains(params[i]->Name().toUpper()))
            params.RemoveParam(params[i]);
    for (int i = 0; i < ds.VariableCount(); ++i) {
        const QString variable = ds.VariableName(i);
        const QString name = variable.mid(1).left(30);
        const int type = ds.VariableType(i);
        const TFieldType paramType = paramTypeOfVariable(type);
        TParam *param = params.FindParam(name);
        if (param && param->DataType() != paramType) {
            params.RemoveParam(param);
            param = nullptr;
        }
        if (!param)
            param = params.CreateParam(paramType, name, ptInput);
        // LOB and cursor variables hold objects, not values a parameter can carry.
        if (type != SQLT_CLOB && type != SQLT_BLOB && type != SQLT_BFILEE && type != SQLT_RSET)
            param->SetValue(ds.GetVariable(variable));
    }
    return m_params.get();
}

// A temporary LOB of the session for parameter index, bound as name.
DataSetProvider::Lob DataSetProvider::newLob(int type, int index, const QString &name)
{
    TOracleDataSet &ds = m_dataSet;
    if (!ds.Session())
        throw Exception(QStringLiteral("Session undefined"));
    Lob lob;
    lob.locator.reset(TLOBLocator::CreateTemporary(ds.Session(), type, true));
    lob.index = index;
    lob.name = name;
    return lob;
}

void DataSetProvider::setParams(const TParams &params)
{
    TOracleDataSet &ds = m_dataSet;
    freeLobs(m_lobs, ds.m_mainQuery);
    ds.ClearVariables();
    std::vector<Lob> lobs;
    try {
        for (int i = 0; i < params.Count(); ++i) {
            const TParam &param = *params[i];
            const int type = variableTypeOfParam(baseType(param));
            if (type == NoVariableType)
                continue;
            ds.DeclareVariable(param.Name(), type);
            if (isLobType(type)) {
                lobs.push_back(newLob(type, i, param.Name()));
                ds.SetComplexVariable(param.Name(), lobs.back().locator.get());
            } else if (type != SQLT_RSET) {
                ds.SetVariable(param.Name(), param.Value());
            }
        }
        // The LOB values go in now: a statement reads its LOB parameters when it runs.
        writeLobs(lobs, params);
    } catch (...) {
        freeLobs(lobs, ds.m_mainQuery);
        throw;
    }
    m_lobs = std::move(lobs);
    m_params = std::make_unique<TParams>(params);
}

void DataSetProvider::writeLobs(std::vector<Lob> &lobs, const TParams &params)
{
    TOracleDataSet &ds = m_dataSet;
    for (Lob &lob : lobs) {
        if (lob.index < 0 || lob.index >= params.Count())
            continue;
        const Variant &value = params[lob.index]->Value();
        if (value.IsNullOrEmpty())
            continue;
        const QByteArray bytes = lob.locator->LOBType() == SQLT_CLOB
            ? ToOracleText(value.AsString(), ds.Session()).toUtf8()
            : value.AsBytes();
        if (!bytes.isEmpty())
            lob.locator->Write(bytes.constData(), bytes.size());
    }
}

void DataSetProvider::freeLobs(std::vector<Lob> &lobs, TOracleQuery *query)
{
    // The variables let go of the locators before the locators go.
    for (Lob &lob : lobs) {
        if (!query || query->VariableIndex(lob.name) < 0)
            continue;
        try {
            query->SetComplexVariable(lob.name, nullptr);
        } catch (const std::exception &) {
            // The variable was redeclared as a simple one: nothing points at the locator.
        }
    }
    lobs.clear();
}

int DataSetProvider::executeStatement(
    const QString &sql, const TParams &params, std::unique_ptr<TDataSet> *resultSet)
{
    TOracleDataSet &ds = m_dataSet;
    TOracleQuery *query = ds.DMLQuery(false);
    query->Clear();
    std::vector<Lob> lobs;
    int result = 0;
    try {
        QString text = sql;
        for (int i = 0; i < params.Count(); ++i) {
            const qsizetype mark = text.indexOf(QLatin1Char('?'));
            if (mark < 0)
                throw Exception(QStringLiteral("No variable for parameter ") + QString::number(i));
            text.replace(mark, 1, QStringLiteral(":V") + QString::number(i));
        }
        query->SQL().SetText(text);
        for (int i = 0; i < params.Count(); ++i) {
            const TParam &param = *params[i];
            const QString name = QStringLiteral("V") + QString::number(i);
            const int type = statementTypeOfParam(param, ds.Session());
            query->DeclareVariable(name, type);
            if (isLobType(type)) {
                lobs.push_back(newLob(type, i, name));
                query->SetComplexVariable(name, lobs.back().locator.get());
            } else {
                query->SetVariable(name, param.Value());
            }
        }
        // Before the statement runs, which is when the server reads them.
        writeLobs(lobs, params);
        if (resultSet) {
            auto rows = std::make_unique<TOracleDataSet>();
            rows->SetSession(ds.Session());
            rows->SetSQLText(text);
            for (int i = 0; i < query->VariableCount(); ++i) {
                const QString name = query->VariableName(i);
                const int type = query->VariableType(i);
                rows->DeclareVariable(name, type);
                if (!isLobType(type))
                    rows->SetVariable(name, query->GetVariable(name));
                for (const Lob &lob : lobs)
                    if (lob.name.compare(name.mid(1), Qt::CaseInsensitive) == 0)
                        rows->SetComplexVariable(name, lob.locator.get());
            }
            rows->Open();
            result = rows->RecordCount();
            // The locators end with this call; the rows already read them.
            for (const Lob &lob : lobs)
                rows->SetComplexVariable(lob.name, nullptr);
            *resultSet = std::move(rows);
        } else {
            query->Execute();
            result = query->RowsProcessed();
        }
    } catch (...) {
        freeLobs(lobs, query);
        ds.ReleaseDMLQuery();
        throw;
    }
    freeLobs(lobs, query);
    ds.ReleaseDMLQuery();
    return result;
}

bool DataSetProvider::tableUnresolved()
{
    TOracleDataSet &ds = m_dataSet;
    if (!ds.m_updatingTable.isEmpty())
        return false;
    QString name;
    try {
        ds.UpdatingTableName(name);
    } catch (const Exception &) {
        return true;
    }
    return name.isEmpty();
}

QString DataSetProvider::keyFields()
{
    TOracleDataSet &ds = m_dataSet;
    if (ds.m_providerOptions & opNoKeyFields)
        return QString();
    const QString flagged = IProviderSupport::DefaultKeyFields(ds);
    if (!flagged.isEmpty())
        return flagged;
    if (ds.m_uniqueFields.trimmed().isEmpty() && tableUnresolved())
        return QString();
    return keyFromDictionary();
}

QString DataSetProvider::keyFromDictionary()
{
    TOracleDataSet &ds = m_dataSet;
    const QString unique = ds.m_uniqueFields.trimmed();
    if (!unique.isEmpty())
        return unique;
    QString table;
    ds.UpdatingTableName(table);
    TOracleTableInfo &info = TOracleTableInfoCache::ForSession(ds.Session()).TableInfo(table);
    info.LoadConstraints();
    TOracleConstraintInfo *key = nullptr;
    for (int i = 0; i < info.ConstraintCount(); ++i) {
        TOracleConstraintInfo &constraint = info.Constraint(i);
        constraint.LoadDetails(info.Query());
        if (constraint.ConstraintKind() == TOracleConstraintInfo::ckPrimary) {
            key = &constraint;
            break;
        }
        if (constraint.ConstraintKind() == TOracleConstraintInfo::ckUnique && !key)
            key = &constraint;
    }
    if (!key)
        return QString();
    for (const QString &column : key->Columns())
        if (!ds.FindField(column))
            return QString();
    return key->Columns().join(QLatin1Char(';'));
}

TIndexDefs DataSetProvider::indexDefs(TIndexOptions indexTypes)
{
    TOracleDataSet &ds = m_dataSet;
    TIndexDefs defs;
    if ((ds.m_providerOptions & opNoIndexDefs) || tableUnresolved())
        return defs;
    QString table;
    ds.UpdatingTableName(table);
    TOracleTableInfo &info = TOracleTableInfoCache::ForSession(ds.Session()).TableInfo(table);
    info.LoadConstraints();
    for (int i = 0; i < info.ConstraintCount(); ++i) {
        TOracleConstraintInfo &constraint = info.Constraint(i);
        constraint.LoadDetails(info.Query());
        const int kind = constraint.ConstraintKind();
        const bool taken = (kind == TOracleConstraintInfo::ckUnique && (indexTypes & ixUnique))
            || (kind == TOracleConstraintInfo::ckPrimary && (indexTypes & (ixPrimary | ixUnique)));
        if (!taken)
            continue;
        bool allFields = true;
        for (const QString &column : constraint.Columns())
            allFields = allFields && ds.FindField(column);
        if (!allFields)
            continue;
        TIndexDef def;
        def.Name = constraint.Name();
        def.Fields = constraint.Columns().join(QLatin1Char(';'));
        def.Options = ixUnique;
        if (kind == TOracleConstraintInfo::ckPrimary)
            def.Options |= ixPrimary;
        defs.push_back(def);
    }
    return defs;
}

std::optional<TIndexDef> DataSetProvider::defaultOrder()
{
    TOracleDataSet &ds = m_dataSet;
    if (ds.m_providerOptions & opNoDefaultOrder)
        return std::nullopt;
    QString head, where, tail, keyword;
    SplitStatement(ds.GetSQL(), head, where, tail, keyword);
    const QList<OrderToken> tokens = tokenize(tail);
    qsizetype at = 0;
    while (at < tokens.size() && !isKeyword(tokens[at], "ORDER"))
        ++at;
    if (at + 1 >= tokens.size() || !isKeyword(tokens[at + 1], "BY"))
        return std::nullopt;
    at += 2;

    QStringList fields, descending, caseInsensitive;
    while (at < tokens.size()) {
        // One item: a column, a qualified column, a position, or UPPER(column).
        bool upper = false;
        QString item;
        if (isKeyword(tokens[at], "UPPER") && at + 3 < tokens.size()
            && tokens[at + 1].kind == OrderToken::Open && tokens[at + 2].kind == OrderToken::Word
            && tokens[at + 3].kind == OrderToken::Close) {
            upper = true;
            item = tokens[at + 2].text;
            at += 4;
        } else if (tokens[at].kind == OrderToken::Word) {
            item = tokens[at].text;
            ++at;
        } else {
            return std::nullopt;
        }
        bool desc = false;
        bool end = false;
        while (at < tokens.size() && tokens[at].kind != OrderToken::Comma) {
            if (isKeyword(tokens[at], "ASC")) {
                ++at;
            } else if (isKeyword(tokens[at], "DESC")) {
                desc = true;
                ++at;
            } else if (isKeyword(tokens[at], "NULLS") && at + 1 < tokens.size()
                && (isKeyword(tokens[at + 1], "FIRST") || isKeyword(tokens[at + 1], "LAST"))) {
                at += 2;
            } else if (isKeyword(tokens[at], "FOR")) {
                end = true;
                break;
            } else {
                // An expression, not a column: the order is not one of fields.
                return std::nullopt;
            }
        }
        TField *field = nullptr;
        bool isNumber = false;
        const int position = item.toInt(&isNumber);
        if (isNumber)
            field = position >= 1 && position <= ds.FieldCount() ? ds.Fields()[position - 1]
                                                                 : nullptr;
        else
            field = ds.FindField(columnOf(item));
        if (!field)
            return std::nullopt;
        fields.append(field->FieldName());
        if (desc)
            descending.append(field->FieldName());
        if (upper)
            caseInsensitive.append(field->FieldName());
        if (end || at >= tokens.size())
            break;
        ++at; // the comma
    }
    if (fields.isEmpty())
        return std::nullopt;
    TIndexDef def;
    def.Fields = fields.join(QLatin1Char(';'));
    def.DescFields = descending.join(QLatin1Char(';'));
    def.CaseInsFields = caseInsensitive.join(QLatin1Char(';'));
    return def;
}

void DataSetProvider::startTransaction()
{
    TOracleDataSet &ds = m_dataSet;
    // Changes still reach the server at once; the log lets the end of the cycle cancel them in
    // the records too.
    ds.m_cached->log().Clear();
    ds.m_cached->setLogActive(true);
    ds.SetCommitOnPost(false);
}

void DataSetProvider::endTransaction(bool commit)
{
    TOracleDataSet &ds = m_dataSet;
    if (ds.m_providerOptions & opNoCommit)
        return;
    TOracleSession *session = ds.Session();
    // A transaction the MTS transaction service controls is ended by that service.
    const bool ownTransaction = session && !session->MTSEnlisted();
    if (commit) {
        if (ownTransaction)
            session->Commit();
        ds.CommitUpdates();
    } else {
        if (ownTransaction)
            session->Rollback();
        ds.CancelUpdates();
    }
}

} // namespace qd
