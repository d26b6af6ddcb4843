// Statement kinds, DML, DDL and the transaction and session statements.
#include "sql/Translator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace qdsi::sql {

namespace {

bool isColumnConstraintWord(const Token &t)
{
    return t.is("NOT") || t.is("NULL") || t.is("CONSTRAINT") || t.is("PRIMARY") || t.is("UNIQUE")
        || t.is("REFERENCES") || t.is("CHECK") || t.is("DEFAULT") || t.is("ENABLE")
        || t.is("DISABLE") || t.is("GENERATED");
}

bool isTableConstraintStart(const Token &t)
{
    return t.is("CONSTRAINT") || t.is("PRIMARY") || t.is("UNIQUE") || t.is("FOREIGN")
        || t.is("CHECK");
}

} // namespace

Translation translate(std::string_view oracleSql, const SessionContext &context)
{
    return Translator(oracleSql, context).run();
}

Translation Translator::run()
{
    if (tokens_.size() == 1)
        throw oraError(900, {}, 0);
    // Transaction control may end in a semicolon, as the interpreter and older clients send it.
    if ((tok(0).is("COMMIT") || tok(0).is("ROLLBACK") || tok(0).is("SAVEPOINT")) && end_ > 1
        && tok(end_ - 1).is(";"))
        --end_;
    Translation &t = out_;
    const Token &first = tok(0);
    const bool plsql = first.is("BEGIN") || first.is("DECLARE");
    const bool storedCode = first.is("CREATE") && storedCodeHead();
    numberPlaceholders();
    if (plsql) {
        kind(StatementKind::PlSqlBlock, first.is("BEGIN") ? 8 : 9, 34);
        return std::move(out_);
    }
    if (storedCode) {
        // ":new.sal" in a trigger body is no bind variable of the statement.
        out_.placeholders.clear();
        return std::move(out_);
    }
    for (size_t i = 0; i < end_; ++i)
        if (tok(i).is(";"))
            fail(911, i);
    refuseOutOfReach();

    if (first.is("SELECT") || first.is("WITH") || first.is("(")) {
        kind(StatementKind::Select, 1, 4);
        t.sqlite = query(0, end_, nullptr, true);
    } else if (first.is("INSERT")) {
        kind(StatementKind::Insert, 4, 3);
        t.sqlite = insert();
    } else if (first.is("UPDATE")) {
        kind(StatementKind::Update, 2, 5);
        t.sqlite = update();
    } else if (first.is("DELETE")) {
        kind(StatementKind::Delete, 3, 9);
        t.sqlite = remove();
    } else if (first.is("MERGE")) {
        kind(StatementKind::Merge, 16, 189);
    } else if (first.is("CREATE")) {
        t.sqlite = create();
    } else if (first.is("DROP")) {
        t.sqlite = drop();
    } else if (first.is("ALTER")) {
        t.sqlite = alter();
    } else if (first.is("TRUNCATE")) {
        if (!is(1, "TABLE") || !tok(2).isName())
            fail(903, 2);
        kind(StatementKind::Other, 0, 85);
        size_t k = 2;
        const Target target = readTarget(k, {}, false);
        expectEnd(k, end_);
        t.objectName = target.name;
        t.tables = { target.name };
        t.sqlite = "DELETE FROM " + target.text;
    } else if (first.is("COMMIT") || first.is("ROLLBACK") || first.is("SAVEPOINT")) {
        transactionControl();
    } else if (first.is("CALL")) {
        kind(StatementKind::Call, 10, 170);
    } else if (first.is("EXPLAIN")) {
        kind(StatementKind::Explain, 15, 27);
    } else if (first.is("GRANT") || first.is("REVOKE")) {
        kind(StatementKind::Grant, 0, first.is("GRANT") ? 28 : 29);
    } else if (first.is("COMMENT") && is(1, "ON") && (is(2, "TABLE") || is(2, "COLUMN"))) {
        commentOn();
    } else if (first.is("COMMENT") || first.is("LOCK") || first.is("SET") || first.is("ANALYZE")
        || first.is("RENAME") || first.is("AUDIT") || first.is("NOAUDIT")) {
        kind(StatementKind::Other, 0,
            first.is("COMMENT")      ? 38
                : first.is("LOCK")   ? 35
                : first.is("SET")    ? 33
                : first.is("RENAME") ? 37
                                     : 0);
    } else {
        fail(900, 0);
    }
    return std::move(out_);
}

void Translator::kind(StatementKind k, int type, int code)
{
    out_.kind = k, out_.ociStatementType = type, out_.sqlFunctionCode = code;
}

bool Translator::storedCodeHead()
{
    size_t k = 1;
    if (is(k, "OR") && is(k + 1, "REPLACE"))
        k += 2;
    if (is(k, "EDITIONABLE") || is(k, "NONEDITIONABLE"))
        ++k;
    const bool storedCode = is(k, "PROCEDURE") || is(k, "FUNCTION") || is(k, "PACKAGE")
        || is(k, "TRIGGER") || is(k, "TYPE") || is(k, "LIBRARY") || is(k, "JAVA");
    if (storedCode)
        kind(StatementKind::CreateOther, 5, is(k, "TRIGGER") ? 59 : 24);
    if (storedCode && k + 1 < end_ && tok(k + 1).isName())
        out_.objectName = tok(k + 1).upper;
    return storedCode;
}

void Translator::numberPlaceholders()
{
    // One SQLite index per distinct name, in text order. Those after a DML statement's
    // "returning ... into" are out-binds of the RETURNING clause instead.
    const Token &first = tok(0);
    size_t intoAt = end_;
    if (first.is("INSERT") || first.is("UPDATE") || first.is("DELETE")) {
        size_t ret = findTop(1, end_, "RETURNING");
        ret = std::min(ret, findTop(1, end_, "RETURN"));
        if (ret < end_)
            intoAt = findTop(ret, end_, "INTO");
    }
    for (size_t i = 0; i < intoAt; ++i) {
        if (tok(i).type != TokenType::Placeholder)
            continue;
        auto [it, added] = index_.emplace(tok(i).upper, static_cast<int>(index_.size()) + 1);
        out_.placeholders.push_back({ tok(i).upper, it->second, tok(i).offset });
    }
}

void Translator::transactionControl()
{
    Translation &t = out_;
    size_t k = 1;
    if (tok(0).is("SAVEPOINT")) {
        kind(StatementKind::Savepoint, 0, 56);
        if (!tok(1).isName())
            fail(936, 1);
        t.objectName = tok(1).upper;
        expectEnd(2, end_);
        return;
    }
    if (is(k, "WORK"))
        ++k;
    if (tok(0).is("COMMIT")) {
        kind(StatementKind::Commit, 21, 54);
        if (is(k, "COMMENT") && tok(k + 1).type == TokenType::String)
            k += 2;
    } else if (is(k, "TO")) {
        ++k;
        if (is(k, "SAVEPOINT"))
            ++k;
        if (!tok(k).isName())
            fail(936, k);
        kind(StatementKind::RollbackToSavepoint, 17, 55);
        t.objectName = tok(k++).upper;
    } else {
        kind(StatementKind::Rollback, 17, 55);
    }
    expectEnd(k, end_);
}

void Translator::commentOn()
{
    // COMMENT ON TABLE t IS 'text' | COMMENT ON COLUMN t.c IS 'text'
    Translation &t = out_;
    kind(StatementKind::Other, 0, 38);
    size_t k = 3;
    const bool column = is(2, "COLUMN");
    std::vector<std::string> parts;
    for (;; k += 2) {
        if (!tok(k).isName())
            fail(904, k);
        parts.push_back(tok(k).upper);
        if (!is(k + 1, "."))
            break;
    }
    ++k;
    if (parts.size() > (column ? 3u : 2u) || (column && parts.size() < 2))
        fail(column ? 904 : 903, 3);
    if (!is(k, "IS"))
        fail(905, k);
    if (tok(k + 1).type != TokenType::String)
        fail(1780, k + 1);
    expectEnd(k + 2, end_);
    t.commentColumn = column ? parts.back() : std::string();
    t.commentTable = parts[parts.size() - (column ? 2 : 1)];
    t.commentText = tok(k + 1).upper;
    t.tables = { t.commentTable };
}

std::string Translator::returning(size_t b, size_t e, const Scope &scope)
{
    const size_t intoAt = findTop(b + 1, e, "INTO");
    if (intoAt >= e)
        fail(925, e);
    Scope target = scope;
    target.unqualifiedRowid = true;
    const std::string exprs = list(b + 1, intoAt, target);
    for (auto [pb, pe] : splitTop(intoAt + 1, e, ",")) {
        if (pe != pb + 1 || tok(pb).type != TokenType::Placeholder)
            fail(936, pb);
        out_.returningInto.push_back({ tok(pb).upper, 0, tok(pb).offset });
    }
    return " RETURNING " + exprs;
}

Translator::Target Translator::readTarget(
    size_t &k, std::initializer_list<std::string_view> stops, bool alias, bool dml) const
{
    if (!tok(k).isName())
        fail(903, k);
    Target target;
    target.text = name(k);
    target.name = tok(k).upper;
    ++k;
    if (is(k, ".") && tok(k + 1).isName()) {
        // The session's own schema is the connection's main database.
        const std::string owner = target.name;
        target.text = owner == context_.user ? name(k + 1) : target.text + "." + name(k + 1);
        if (owner != context_.user)
            target.owner = owner;
        target.name = tok(k + 1).upper;
        k += 2;
    }
    bool stop = false;
    for (std::string_view w : stops)
        stop |= is(k, w);
    if (dml && target.text.find('.') == std::string::npos && context_.synonymTarget) {
        // A change through a synonym changes its object, which keeps the synonym's name.
        const auto [owner, object] = context_.synonymTarget(target.name);
        if (!object.empty()) {
            target.text = owner == context_.user || owner.empty()
                ? quoteName(object)
                : quoteName(owner) + "." + quoteName(object);
            target.owner = owner == context_.user ? std::string() : owner;
            if (!(alias && !stop && tok(k).isName()))
                target.alias = target.name;
            target.name = object;
        }
    }
    if (alias && !stop && tok(k).isName()) {
        target.alias = tok(k).upper;
        ++k;
    }
    if (dml && target.owner.empty() && context_.viewTarget) {
        // A change through a simple view changes its table; the view's name stays usable as
        // the alias the statement's columns are qualified with.
        ViewTarget view = context_.viewTarget(target.name);
        if (view.view) {
            if (view.table.empty())
                fail(1732, k);
            target.text = quoteName(view.table);
            if (target.alias.empty())
                target.alias = target.name;
            target.name = view.table;
            target.viewColumns = std::move(view.columns);
        }
    }
    return target;
}

Translator::Target Translator::changeTarget(
    size_t &k, std::initializer_list<std::string_view> stops)
{
    if (!((is(k, "TABLE") || is(k, "THE")) && is(k + 1, "(")))
        return readTarget(k, stops, true, true);
    // TABLE(SELECT [q.]column FROM table [alias] [WHERE ...]): the change runs on the elements
    // of the one collection the subquery selects, which the engine then writes back to its row.
    const size_t c = closing(k + 1);
    size_t qb = k + 2, qe = c;
    if (is(qb, "(") && closing(qb) + 1 == qe)
        ++qb, --qe;
    if (!is(qb, "SELECT"))
        fail(3001, qb);
    size_t p = qb + 1, columnAt = p;
    std::string qualifier;
    if (tok(p).isName() && is(p + 1, ".") && tok(p + 2).isName() && is(p + 3, "FROM")) {
        qualifier = tok(p).upper;
        columnAt = p + 2;
        p += 4;
    } else if (tok(p).isName() && is(p + 1, "FROM")) {
        p += 2;
    } else {
        fail(3001, p); // an attribute of an object column, an expression, several columns
    }
    // The own schema's table only: the change is written back to it by name.
    if (!tok(p).isName() || is(p, "WHERE") || is(p + 1, ".") || is(p + 1, ","))
        fail(3001, p);
    const size_t tableAt = p++;
    std::string tableAlias = tok(tableAt).upper;
    if (p < qe && tok(p).isName() && !is(p, "WHERE"))
        tableAlias = tok(p++).upper;
    if (p < qe && !is(p, "WHERE"))
        fail(3001, p);
    if (!qualifier.empty() && qualifier != tableAlias)
        fail(904, columnAt - 2);
    const std::string rows = query(qb, qe, nullptr, false);
    if (rows.rfind("SELECT ", 0) != 0)
        fail(3001, qb);
    Translation::CollectionTarget &target = out_.collection;
    target.present = true;
    target.parentSql = "SELECT " + quoteName(tableAlias) + ".ROWID, " + rows.substr(7);
    target.table = name(tableAt);
    target.tableName = tok(tableAt).upper;
    target.column = name(columnAt);
    k = c + 1;
    Target elements;
    elements.text = std::string("temp.") + collectionElementsTable;
    elements.name = collectionElementsTable;
    bool stop = false;
    for (std::string_view w : stops)
        stop |= is(k, w);
    if (!stop && tok(k).isName()) {
        elements.alias = tok(k).upper;
        ++k;
    }
    return elements;
}

std::string Translator::insert()
{
    size_t k = 1;
    if (!is(k, "INTO"))
        fail(925, k);
    ++k;
    const Target target = changeTarget(k, { "VALUES", "SELECT", "WITH", "RETURNING" });
    out_.targetOwner = target.owner;
    Scope scope;
    scope.tables.push_back({ .name = target.name,
        .alias = target.alias.empty() ? target.name : target.alias,
        .owner = target.owner });
    out_.tables = { target.name };
    out_.objectName = target.name;
    out_.from = scope.tables;
    std::string out = "INSERT INTO " + target.text
        + (target.alias.empty() ? "" : " AS " + quoteName(target.alias));
    // Identity columns: a GENERATED ALWAYS one takes no value (ORA-32795); an ON NULL one takes
    // its sequence's next number in place of a null (the value at `onNullAt` of the list).
    const auto identities = identityColumns(target);
    auto identityKind = [&](const std::string &column) {
        for (const auto &[c, kind] : identities)
            if (c == column)
                return kind;
        return IdentityKind::None;
    };
    std::string onNullColumn;
    size_t onNullAt = SIZE_MAX;
    if (is(k, "(") && !is(k + 1, "SELECT") && !is(k + 1, "WITH")) {
        const size_t c = closing(k);
        std::string cols;
        size_t position = 0;
        for (auto [cb, ce] : splitTop(k + 1, c, ",")) {
            // t.col → col: SQLite's column list takes bare names
            if (!(ce == cb + 1 && tok(cb).isName())
                && !(ce == cb + 3 && tok(cb).isName() && tok(cb + 1).is(".")
                    && tok(cb + 2).isName()))
                fail(904, cb);
            const IdentityKind kind = identityKind(tok(ce - 1).upper);
            if (kind == IdentityKind::Always)
                fail(32795, ce - 1);
            if (kind == IdentityKind::OnNull)
                onNullColumn = tok(ce - 1).upper, onNullAt = position;
            cols += (cols.empty() ? "" : ", ") + name(ce - 1);
            ++position;
        }
        out += " (" + cols + ")";
        k = c + 1;
    } else if (!identities.empty() && target.viewColumns.empty()) {
        for (size_t position = 0; position < identities.size(); ++position) {
            if (identities[position].second == IdentityKind::Always)
                fail(32795, k);
            if (identities[position].second == IdentityKind::OnNull)
                onNullColumn = identities[position].first, onNullAt = position;
        }
    } else if (!target.viewColumns.empty()) {
        // The values fill the view's columns, not every column of its table.
        std::string cols;
        for (const std::string &column : target.viewColumns)
            cols += (cols.empty() ? "" : ", ") + quoteName(column);
        out += " (" + cols + ")";
    }
    size_t retAt = std::min(findTop(k, end_, "RETURNING"), findTop(k, end_, "RETURN"));
    if (is(k, "VALUES")) {
        if (!is(k + 1, "("))
            fail(906, k + 1);
        const size_t c = closing(k + 1);
        if (onNullAt == SIZE_MAX) {
            out += " VALUES (" + list(k + 2, c, scope) + ")";
        } else {
            std::string values;
            size_t position = 0;
            for (auto [vb, ve] : splitTop(k + 2, c, ",")) {
                std::string value = expr(vb, ve, scope);
                if (position++ == onNullAt)
                    value = "coalesce(" + value + ", QD_IDENTITY(" + quoteLiteral(target.name)
                        + ", " + quoteLiteral(onNullColumn) + "))";
                values += (values.empty() ? "" : ", ") + value;
            }
            out += " VALUES (" + values + ")";
        }
        expectEnd(c + 1, retAt);
    } else if (is(k, "SELECT") || is(k, "WITH") || is(k, "(")) {
        out += " " + query(k, retAt, nullptr, false);
    } else {
        fail(926, k);
    }
    if (retAt < end_)
        out += returning(retAt, end_, scope);
    return out;
}

std::string Translator::update()
{
    size_t k = 1;
    const Target target = changeTarget(k, { "SET" });
    out_.targetOwner = target.owner;
    if (!is(k, "SET"))
        fail(971, k);
    Scope scope;
    scope.tables.push_back({ .name = target.name,
        .alias = target.alias.empty() ? target.name : target.alias,
        .owner = target.owner });
    out_.tables = { target.name };
    out_.objectName = target.name;
    out_.from = scope.tables;
    const size_t whereAt = findTop(k, end_, "WHERE");
    const size_t retAt = std::min(findTop(k, end_, "RETURNING"), findTop(k, end_, "RETURN"));
    const size_t setEnd = std::min(whereAt, retAt);
    const auto identities = identityColumns(target);
    auto checkIdentity = [&](size_t at) {
        for (const auto &[column, kind] : identities)
            if (kind == IdentityKind::Always && column == tok(at).upper)
                fail(32796, at); // cannot update a generated always identity column
    };
    std::string sets;
    for (auto [ab, ae] : splitTop(k + 1, setEnd, ",")) {
        std::string lhs;
        size_t eq = ab;
        if (is(ab, "(")) {
            const size_t c = closing(ab);
            std::string cols;
            for (auto [cb, ce] : splitTop(ab + 1, c, ",")) {
                if (ce > cb)
                    checkIdentity(ce - 1);
                cols += (cols.empty() ? "" : ", ") + (ce > cb ? name(ce - 1) : (fail(904, cb), ""));
            }
            lhs = "(" + cols + ")";
            eq = c + 1;
        } else if (ab < ae && tok(ab).isName()) {
            eq = ab + 1;
            while (is(eq, ".") && eq + 1 < ae && tok(eq + 1).isName())
                eq += 2;
            checkIdentity(eq - 1);
            lhs = name(eq - 1); // SQLite's SET takes bare column names
        } else {
            fail(904, ab);
        }
        if (eq >= ae || !is(eq, "="))
            fail(927, eq);
        sets += (sets.empty() ? "" : ", ") + lhs + " = " + expr(eq + 1, ae, scope);
    }
    std::string out = "UPDATE " + target.text
        + (target.alias.empty() ? "" : " AS " + quoteName(target.alias)) + " SET " + sets;
    if (whereAt < end_) {
        const size_t whereEnd = retAt > whereAt ? retAt : end_;
        out += " WHERE " + expr(whereAt + 1, whereEnd, scope);
    }
    if (retAt < end_)
        out += returning(retAt, end_, scope);
    return out;
}

std::string Translator::remove()
{
    size_t k = 1;
    if (is(k, "FROM"))
        ++k;
    const Target target = changeTarget(k, { "WHERE", "RETURNING", "RETURN" });
    out_.targetOwner = target.owner;
    Scope scope;
    scope.tables.push_back({ .name = target.name,
        .alias = target.alias.empty() ? target.name : target.alias,
        .owner = target.owner });
    out_.tables = { target.name };
    out_.objectName = target.name;
    out_.from = scope.tables;
    const size_t retAt = std::min(findTop(k, end_, "RETURNING"), findTop(k, end_, "RETURN"));
    std::string out = "DELETE FROM " + target.text
        + (target.alias.empty() ? "" : " AS " + quoteName(target.alias));
    if (is(k, "WHERE")) {
        out += " WHERE " + expr(k + 1, retAt, scope);
    } else {
        expectEnd(k, retAt);
    }
    if (retAt < end_)
        out += returning(retAt, end_, scope);
    return out;
}

std::string Translator::originalNote(size_t b, size_t e) const
{
    if (b >= e)
        return {};
    const size_t from = static_cast<size_t>(tok(b).offset);
    const size_t to = static_cast<size_t>(tok(e - 1).end);
    return " " + oracleNote(sql_.substr(from, to - from));
}

std::string Translator::synonym(size_t k, bool isPublic)
{
    // create [or replace] [public] synonym [schema.]name for [schema.]object[@link]: a row of
    // the schema's synonym table, which name resolution and the dictionary read.
    out_.kind = StatementKind::CreateOther, out_.ociStatementType = 5, out_.sqlFunctionCode = 30;
    ++k;
    if (!tok(k).isName())
        fail(903, k);
    std::string name = tok(k).upper;
    if (is(k + 1, ".") && tok(k + 2).isName())
        name = tok(k += 2).upper;
    out_.objectName = name;
    if (!is(++k, "FOR"))
        fail(905, k);
    ++k;
    if (!tok(k).isName())
        fail(903, k);
    std::string owner = context_.user, object = tok(k).upper, link;
    if (is(k + 1, ".") && tok(k + 2).isName()) {
        owner = object;
        object = tok(k += 2).upper;
    }
    ++k;
    if (is(k, "@") && tok(k + 1).isName()) {
        link = tok(k + 1).upper;
        k += 2;
        while (is(k, ".") && tok(k + 1).isName())
            link += "." + tok(k + 1).upper, k += 2;
    }
    expectEnd(k, end_);
    return std::string(out_.orReplace ? "INSERT OR REPLACE" : "INSERT")
        + " INTO QDSI_SYNONYMS (OWNER, SYNONYM_NAME, TABLE_OWNER, TABLE_NAME, DB_LINK) VALUES ("
        + quoteLiteral(isPublic ? "PUBLIC" : context_.user) + ", " + quoteLiteral(name) + ", "
        + quoteLiteral(owner) + ", " + quoteLiteral(object) + ", "
        + (link.empty() ? std::string("NULL") : quoteLiteral(link)) + ")";
}

std::string Translator::create()
{
    size_t k = 1;
    if (is(k, "OR") && is(k + 1, "REPLACE")) {
        out_.orReplace = true;
        k += 2;
    }
    if (is(k, "FORCE"))
        out_.forceView = true, ++k;
    else if (is(k, "NO") && is(k + 1, "FORCE"))
        k += 2;
    bool temporary = false;
    if (is(k, "GLOBAL") && is(k + 1, "TEMPORARY"))
        temporary = true, k += 2;
    auto kind = [&](StatementKind kd, int code) {
        out_.kind = kd, out_.ociStatementType = 5, out_.sqlFunctionCode = code;
    };
    if (is(k, "TABLE")) {
        kind(StatementKind::CreateTable, 1);
        std::string text = createTable(k);
        if (temporary)
            text.replace(0, 6, "CREATE TEMP");
        return text;
    }
    if (is(k, "VIEW")) {
        kind(StatementKind::CreateView, 10);
        ++k;
        const Target target = readTarget(k, {}, false);
        out_.objectName = target.name;
        out_.viewText = target.text;
        std::string out = "CREATE VIEW " + target.text;
        if (is(k, "(")) {
            const size_t c = closing(k);
            std::string cols;
            for (auto [cb, ce] : splitTop(k + 1, c, ","))
                cols += (cols.empty() ? "" : ", ")
                    + (ce == cb + 1 && tok(cb).isName() ? name(cb) : (fail(904, cb), ""));
            out += " (" + cols + ")";
            k = c + 1;
        }
        if (!is(k, "AS"))
            fail(905, k);
        size_t bodyEnd = end_;
        for (size_t w = findTop(k, end_, "WITH"); w < end_; w = findTop(w + 1, end_, "WITH"))
            if (is(w + 1, "READ") || is(w + 1, "CHECK")) {
                bodyEnd = w;
                break;
            }
        // The query as written, for the dictionary's view text.
        return out + " " + originalNote(k + 1, bodyEnd) + " AS "
            + query(k + 1, bodyEnd, nullptr, false);
    }
    bool unique = false;
    if (is(k, "UNIQUE") || is(k, "BITMAP"))
        unique = is(k, "UNIQUE"), ++k;
    if (is(k, "INDEX")) {
        kind(StatementKind::CreateIndex, 20);
        ++k;
        const Target index = readTarget(k, {}, false);
        out_.objectName = index.name;
        if (!is(k, "ON"))
            fail(969, k);
        ++k;
        const Target table = readTarget(k, {}, false);
        if (!is(k, "("))
            fail(906, k);
        out_.tables = { table.name };
        Scope scope;
        scope.tables.push_back({ .name = table.name, .alias = table.name, .owner = table.owner });
        const size_t c = closing(k);
        return std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + index.text + " ON "
            + table.text + " (" + list(k + 1, c, scope) + ")";
    }
    if (is(k, "SEQUENCE")) {
        kind(StatementKind::CreateSequence, 13);
        sequence(k);
        return {};
    }
    const bool isPublic = is(k, "PUBLIC");
    if (isPublic)
        ++k;
    if (is(k, "SYNONYM"))
        return synonym(k, isPublic);
    if (is(k, "SYNONYM") || is(k, "USER") || is(k, "ROLE") || is(k, "TABLESPACE")
        || is(k, "DATABASE") || is(k, "DIRECTORY") || is(k, "PROFILE")) {
        kind(StatementKind::CreateOther, is(k, "SYNONYM") ? 30 : is(k, "USER") ? 19 : 0);
        if (tok(k + 1).isName())
            out_.objectName = tok(k + 1).upper;
        return {};
    }
    fail(901, k);
}

std::string Translator::createTable(size_t i)
{
    size_t k = i + 1;
    const Target target = readTarget(k, {}, false);
    out_.objectName = target.name;
    out_.tables = { target.name };
    currentTable_ = target.name;
    if (is(k, "AS"))
        return "CREATE TABLE " + target.text + " AS " + query(k + 1, end_, nullptr, false);
    if (is(k, "OF"))
        return objectTable(k + 1, target);
    if (!is(k, "("))
        fail(906, k);
    const size_t c = closing(k);
    Scope scope;
    scope.tables.push_back({ .name = target.name, .alias = target.name, .owner = target.owner });
    // Columns of a table-level primary key, for columnDefinition().
    for (auto [eb, ee] : splitTop(k + 1, c, ",")) {
        size_t p = eb;
        while (p + 2 < ee && !(tok(p).is("PRIMARY") && tok(p + 1).is("KEY") && tok(p + 2).is("(")))
            p = tok(p).is("(") ? closing(p) + 1 : p + 1;
        if (isTableConstraintStart(tok(eb)) && p + 2 < ee)
            for (size_t q = p + 3; q < closing(p + 2); ++q)
                if (tok(q).isName())
                    keyColumns_.push_back(tok(q).upper);
    }
    std::string body;
    for (auto [eb, ee] : splitTop(k + 1, c, ",")) {
        if (eb >= ee)
            fail(904, eb);
        body += (body.empty() ? "" : ", ")
            + (isTableConstraintStart(tok(eb)) ? constraintTokens(eb, ee, scope)
                                               : columnDefinition(eb, ee, scope));
    }
    // Storage and physical clauses after the column list mean nothing to SQLite.
    if (findTop(c + 1, end_, "AS") < end_)
        fail(3001, findTop(c + 1, end_, "AS"));
    if (!dateColumns_.empty()) {
        // Text written into a DATE column ('17-DEC-80' in a VALUES list) is converted with the
        // session's date format right after the write, as the server converts it on the way in.
        std::string sets, args, cols;
        for (const std::string &col : dateColumns_) {
            sets += (sets.empty() ? "" : ", ") + col + " = QD_TODATE(" + col + ")";
            args += (args.empty() ? "" : ", ") + ("NEW." + col);
            cols += (cols.empty() ? "" : ", ") + col;
        }
        const std::string base = target.name;
        for (const char *event : { "INSERT", "UPDATE" }) {
            const bool insert = event[0] == 'I';
            out_.followUp.push_back("CREATE TRIGGER " + quoteName("QD_DATES_" + base + "_" + event)
                + " AFTER " + event + (insert ? "" : " OF " + cols) + " ON " + target.text
                + " WHEN NOT QD_ALLDATES(" + args + ") BEGIN UPDATE " + target.text + " SET " + sets
                + " WHERE rowid = NEW.rowid; END");
        }
    }
    if (!refColumns_.empty()) {
        // A REF column takes REFs to rows of its type (and of its scope table) only.
        std::string checks, cols;
        for (const RefColumn &r : refColumns_) {
            checks += "SELECT QD_REFCHECK(NEW." + r.column + ", " + quoteLiteral(r.type) + ", "
                + quoteLiteral(r.scope) + "); ";
            cols += (cols.empty() ? "" : ", ") + r.column;
        }
        for (const char *event : { "INSERT", "UPDATE" }) {
            const bool insert = event[0] == 'I';
            out_.referenceChecks.push_back("CREATE TRIGGER "
                + quoteName("QD_REFS_" + target.name + "_" + event) + " BEFORE " + event
                + (insert ? "" : " OF " + cols) + " ON " + target.text + " BEGIN " + checks
                + "END");
        }
    }
    return "CREATE TABLE " + target.text + " (" + body + ")";
}

// CREATE TABLE t OF type: a table with one column per attribute of the type, each row an
// object that REFs point at. The column list comes from the type and is translated like any
// other; a comment at the head of the list names the type for the engine and the describe.
std::string Translator::objectTable(size_t k, const Target &target)
{
    if (!tok(k).isName())
        fail(902, k);
    if (!context_.objectTableColumns || !context_.objectTypeName)
        return "CREATE TABLE " + target.text + " (" + objectTableMark(tok(k).upper) + ")";
    if (!target.owner.empty())
        fail(1031, k); // object tables live in the session's own schema
    std::string typeName = tok(k).upper;
    ++k;
    if (is(k, ".") && tok(k + 1).isName()) {
        typeName += "." + tok(k + 1).upper;
        k += 2;
    }
    // Column constraints, OID and storage clauses of object tables are not kept.
    if (k < end_)
        fail(3001, k);
    const std::string qualified = context_.objectTypeName(typeName);
    if (qualified.empty()
        || qualified.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$#.")
            != std::string::npos)
        fail(902, k - 1);
    const std::string columns = context_.objectTableColumns(typeName);
    Translation inner
        = translate("CREATE TABLE " + quoteName(target.name) + " (" + columns + ")", context_);
    const std::string head = "CREATE TABLE " + quoteName(target.name) + " (";
    if (inner.sqlite.compare(0, head.size(), head) != 0)
        fail(902, k - 1);
    for (std::string &f : inner.followUp)
        out_.followUp.push_back(std::move(f));
    out_.referenceChecks = std::move(inner.referenceChecks);
    return "CREATE TABLE " + target.text + " (" + objectTableMark(qualified)
        + inner.sqlite.substr(head.size());
}

std::string Translator::columnDefinition(size_t b, size_t e, const Scope &scope)
{
    if (!tok(b).isName())
        fail(904, b);
    std::string out = name(b);
    size_t k = b + 1;
    size_t typeEnd = k;
    if (is(k, "REF")) {
        // REF type [SCOPE IS table]: declared "REF SCHEMA TYPE" (no dots in a SQLite type).
        size_t t = k + 1;
        if (!tok(t).isName())
            fail(902, t);
        std::string typeName = tok(t++).upper;
        if (is(t, ".") && tok(t + 1).isName()) {
            typeName += "." + tok(t + 1).upper;
            t += 2;
        }
        // Without the engine (classifying a statement at prepare) the type stays as written.
        const std::string qualified = context_.objectTypeName
            ? context_.objectTypeName(typeName)
            : (typeName.find('.') == std::string::npos ? "SCHEMA." : "") + typeName;
        const size_t dot = qualified.find('.');
        if (dot == std::string::npos
            || qualified.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.")
                != std::string::npos)
            fail(902, k + 1);
        std::string table;
        if (is(t, "SCOPE") && is(t + 1, "IS")) {
            t += 2;
            if (!tok(t).isName())
                fail(903, t);
            table = tok(t++).upper;
            if (context_.objectTableType) {
                const std::string tableType = context_.objectTableType(table);
                if (tableType.empty())
                    fail(942, t - 1);
                if (tableType != qualified)
                    fail(932, t - 1, "REF " + qualified);
            }
        }
        refColumns_.push_back({ name(b), qualified, table });
        out += " REF " + qualified.substr(0, dot) + " " + qualified.substr(dot + 1);
        return out + (t < e ? " " + constraintTokens(t, e, scope) : std::string());
    }
    if (is(k, "SYS") && is(k + 1, ".") && is(k + 2, "XMLTYPE")) {
        const std::string rest = k + 3 < e ? constraintTokens(k + 3, e, scope) : std::string();
        return out + " XMLTYPE TEXT" + (rest.empty() ? rest : " " + rest);
    }
    while (typeEnd < e && tok(typeEnd).type == TokenType::Identifier
        && !isColumnConstraintWord(tok(typeEnd)))
        ++typeEnd;
    if (typeEnd < e && tok(typeEnd).is("("))
        typeEnd = closing(typeEnd) + 1;
    // TIMESTAMP(n) WITH [LOCAL] TIME ZONE: the zone words follow the precision.
    if (typeEnd > k && tok(k).is("TIMESTAMP"))
        while (typeEnd < e && tok(typeEnd).type == TokenType::Identifier
            && !isColumnConstraintWord(tok(typeEnd)))
            ++typeEnd;
    if (typeEnd == k)
        fail(902, k);
    std::string declared = declaredType(k, typeEnd);
    if (declared == "INTEGER" && isKeyColumn(b, e)) {
        // SQLite makes an INTEGER key the row number, which numbers a NULL silently where the
        // server raises ORA-01400; INT has the same affinity without that.
        declared = "INT";
    }
    if (declared == "DATE TEXT")
        dateColumns_.push_back(name(b));
    out += " " + declared;
    k = typeEnd;
    bool identity = false, hasDefault = false;
    while (k < e) {
        if (is(k, "GENERATED")) {
            IdentityDefinition d;
            d.column = tok(b).upper;
            const size_t at = k;
            k = identityClause(k, e, d);
            if (declared.rfind("NUMBER", 0) != 0 && declared != "INTEGER" && declared != "INT"
                && declared.rfind("FLOAT", 0) != 0)
                fail(30675, at); // identity column must be a numeric type
            if (hasDefault)
                fail(30674, at);
            for (const IdentityDefinition &other : out_.identities)
                if (!other.drop)
                    fail(30669, at);
            identity = true;
            out_.identities.push_back(d);
            out += " DEFAULT (QD_IDENTITY(" + quoteLiteral(currentTable_) + ", "
                + quoteLiteral(d.column) + "))";
        } else if (is(k, "DEFAULT")) {
            if (identity)
                fail(30674, k);
            hasDefault = true;
            size_t d = k + 1;
            while (d < e && !isColumnConstraintWord(tok(d)))
                d = tok(d).is("(") ? closing(d) + 1 : d + 1;
            out += " DEFAULT (" + expr(k + 1, d, scope) + ")" + originalNote(k + 1, d);
            k = d;
        } else {
            // Constraints, up to an identity clause that may follow them.
            size_t d = k;
            while (d < e && !tok(d).is("GENERATED"))
                d = tok(d).is("(") ? closing(d) + 1 : d + 1;
            const std::string rest = constraintTokens(k, d, scope);
            if (!rest.empty())
                out += " " + rest;
            k = d;
        }
    }
    // A key column is NOT NULL on the server; SQLite lets a NULL into a non-integer key.
    bool notNull = false;
    for (size_t i = typeEnd; i + 1 < e; ++i)
        notNull |= tok(i).is("NOT") && tok(i + 1).is("NULL");
    if ((isKeyColumn(b, e) || identity) && !notNull)
        out += " NOT NULL";
    return out;
}

bool Translator::isKeyColumn(size_t b, size_t e) const
{
    if (std::find(keyColumns_.begin(), keyColumns_.end(), tok(b).upper) != keyColumns_.end())
        return true;
    for (size_t i = b + 1; i + 1 < e; ++i)
        if (tok(i).is("PRIMARY") && tok(i + 1).is("KEY"))
            return true;
    return false;
}

std::string Translator::constraintTokens(size_t b, size_t e, const Scope &scope)
{
    std::string out;
    auto add = [&](const std::string &s) { out += (out.empty() ? "" : " ") + s; };
    size_t k = b;
    while (k < e) {
        const Token &t = tok(k);
        if (t.is("ENABLE") || t.is("DISABLE") || t.is("VALIDATE") || t.is("NOVALIDATE")
            || t.is("RELY") || t.is("DEFERRABLE")) {
            ++k;
        } else if (t.is("INITIALLY")) {
            k += 2;
        } else if (t.is("USING") && is(k + 1, "INDEX")) {
            k += 2;
            if (is(k, "("))
                k = closing(k) + 1;
            while (k < e && tok(k).type != TokenType::Operator && !isColumnConstraintWord(tok(k)))
                ++k; // tablespace and storage words
        } else if (t.is("DEFAULT")) {
            size_t d = k + 1;
            while (d < e && !isColumnConstraintWord(tok(d)))
                d = tok(d).is("(") ? closing(d) + 1 : d + 1;
            add("DEFAULT (" + expr(k + 1, d, scope) + ")" + originalNote(k + 1, d));
            k = d;
        } else if (t.is("(")) {
            const size_t c = closing(k);
            add("(" + list(k + 1, c, scope) + ")"
                + (k > b && tok(k - 1).is("CHECK") ? originalNote(k + 1, c) : std::string()));
            k = c + 1;
        } else {
            add(token(k, scope));
            ++k;
        }
    }
    return out;
}

std::string Translator::declaredType(size_t b, size_t e) const
{
    std::string words;
    size_t k = b;
    while (k < e && tok(k).type == TokenType::Identifier)
        words += (words.empty() ? "" : " ") + tok(k++).upper;
    std::vector<std::string> args;
    if (k < e && tok(k).is("(")) {
        const size_t c = closing(k);
        for (size_t a = k + 1; a < c; ++a) {
            if (tok(a).type == TokenType::Number)
                args.push_back(tok(a).text);
            else if (tok(a).is("*"))
                args.push_back("38");
            else if (tok(a).is("-") && tok(a + 1).type == TokenType::Number)
                args.push_back("-" + tok(++a).text);
            else if (!(tok(a).is(",") || tok(a).is("CHAR") || tok(a).is("BYTE")))
                fail(902, a);
        }
        k = c + 1;
    }
    // TIMESTAMP(n) WITH [LOCAL] TIME ZONE: the zone words follow the precision.
    while (words.rfind("TIMESTAMP", 0) == 0 && k < e && tok(k).type == TokenType::Identifier)
        words += " " + tok(k++).upper;
    if (k != e || words.empty())
        fail(902, std::min(k, e));
    auto sized = [&](const std::string &base, bool required, const std::string &affinity = {}) {
        if (args.empty() && required)
            fail(906, e);
        std::string out = base + affinity;
        if (!args.empty()) {
            out += "(" + args[0];
            if (args.size() > 1)
                out += "," + args[1];
            out += ")";
        }
        return out;
    };
    if (words == "VARCHAR2" || words == "VARCHAR" || words == "CHARACTER VARYING"
        || words == "CHAR VARYING")
        return sized("VARCHAR2", true);
    if (words == "NVARCHAR2")
        return sized("NVARCHAR2", true);
    if (words == "CHAR" || words == "CHARACTER" || words == "NCHAR") {
        if (args.empty())
            args.push_back("1");
        return sized(words == "NCHAR" ? "NCHAR" : "CHAR", false);
    }
    if (words == "NUMBER" || words == "NUMERIC" || words == "DECIMAL" || words == "DEC")
        return sized("NUMBER", false);
    if (words == "INTEGER" || words == "INT" || words == "SMALLINT")
        return "INTEGER";
    if (words == "FLOAT")
        return sized("FLOAT", false);
    if (words == "REAL")
        return "FLOAT(63)";
    if (words == "DOUBLE PRECISION")
        return "FLOAT(126)";
    if (words == "DATE")
        return "DATE TEXT";
    // SQLite takes no keyword (WITH) in a type name: the zoned kinds are written TZ and LTZ.
    if (words == "TIMESTAMP")
        return sized("TIMESTAMP", false, " TEXT");
    if (words == "TIMESTAMP WITH TIME ZONE")
        return sized("TIMESTAMP TZ", false, " TEXT");
    if (words == "TIMESTAMP WITH LOCAL TIME ZONE")
        return sized("TIMESTAMP LTZ", false, " TEXT");
    if (words == "RAW")
        return sized("RAW", true, " BLOB");
    if (words == "LONG")
        return "LONG TEXT";
    if (words == "LONG RAW")
        return "LONG RAW BLOB";
    if (words == "CLOB" || words == "NCLOB" || words == "BLOB" || words == "BINARY_FLOAT"
        || words == "BINARY_DOUBLE")
        return words;
    if (words == "BFILE")
        return "BFILE BLOB";
    if (words == "ROWID" || words == "UROWID" || words == "XMLTYPE")
        return words + " TEXT";
    // An object type's name is kept as the column's declared type (see engine/ObjectTypes).
    if (args.empty() && words.find(' ') == std::string::npos && context_.isObjectType
        && context_.isObjectType(words))
        return words;
    fail(902, b);
}

void Translator::sequence(size_t i)
{
    size_t k = i + 1;
    const Target target = readTarget(k, {}, false);
    SequenceDefinition &s = out_.sequence;
    s.name = target.name;
    out_.objectName = target.name;
    IdentityDefinition options;
    sequenceOptions(k, end_, options, false, i);
    s.start = options.sequence.start;
    s.increment = options.sequence.increment;
}

void Translator::sequenceOptions(
    size_t k, size_t e, IdentityDefinition &d, bool identity, size_t errorAt)
{
    SequenceDefinition &s = d.sequence;
    auto number = [&](size_t &at) -> int64_t {
        bool negative = false;
        if (is(at, "-") || is(at, "+"))
            negative = is(at++, "-");
        if (tok(at).type != TokenType::Number)
            fail(1722, at);
        const double v = std::strtod(tok(at++).text.c_str(), nullptr);
        const double clamped = std::max(-9.2e18, std::min(9.2e18, v));
        return static_cast<int64_t>(negative ? -clamped : clamped);
    };
    while (k < e) {
        if (is(k, "INCREMENT") && is(k + 1, "BY")) {
            k += 2;
            s.increment = number(k);
            d.incrementGiven = true;
        } else if (is(k, "START") && is(k + 1, "WITH")) {
            k += 2;
            if (identity && is(k, "LIMIT") && is(k + 1, "VALUE")) {
                d.limitValue = true;
                k += 2;
            } else {
                s.start = number(k);
            }
            d.startGiven = true;
        } else if (is(k, "MAXVALUE") || is(k, "MINVALUE") || is(k, "CACHE")) {
            ++k;
            number(k);
        } else if (is(k, "NOMAXVALUE") || is(k, "NOMINVALUE") || is(k, "CYCLE") || is(k, "NOCYCLE")
            || is(k, "NOCACHE") || is(k, "ORDER") || is(k, "NOORDER") || is(k, "KEEP")
            || is(k, "NOKEEP")) {
            ++k;
        } else {
            fail(933, k);
        }
    }
    if (s.increment == 0)
        fail(4002, errorAt);
    if (!d.startGiven && s.increment < 0)
        s.start = -1;
}

// GENERATED { ALWAYS | BY DEFAULT [ON NULL] } AS IDENTITY [( options )] at k, up to e; returns
// the index past it. The column is NOT NULL and draws its default from its sequence.
size_t Translator::identityClause(size_t k, size_t e, IdentityDefinition &d)
{
    const size_t generated = k;
    ++k;
    if (is(k, "ALWAYS")) {
        d.always = true;
        ++k;
    } else if (is(k, "BY") && is(k + 1, "DEFAULT")) {
        k += 2;
        if (is(k, "ON") && is(k + 1, "NULL")) {
            d.onNull = true;
            k += 2;
        }
    }
    if (!is(k, "AS"))
        fail(905, k);
    ++k;
    if (is(k, "("))
        fail(3001, k - 2, "unimplemented feature: virtual column");
    if (!is(k, "IDENTITY"))
        fail(905, k);
    ++k;
    if (is(k, "(") && closing(k) < e) {
        const size_t c = closing(k);
        sequenceOptions(k + 1, c, d, true, generated);
        k = c + 1;
    }
    return k;
}

std::string Translator::drop()
{
    size_t k = 1;
    auto kind = [&](StatementKind kd, int code) {
        out_.kind = kd, out_.ociStatementType = 6, out_.sqlFunctionCode = code;
    };
    std::string what;
    if (is(k, "TABLE") || is(k, "VIEW") || is(k, "INDEX") || is(k, "SEQUENCE"))
        what = tok(k).upper;
    if (what.empty()) {
        if (is(k, "PUBLIC"))
            ++k;
        if (!(is(k, "SYNONYM") || is(k, "PROCEDURE") || is(k, "FUNCTION") || is(k, "PACKAGE")
                || is(k, "TRIGGER") || is(k, "TYPE") || is(k, "USER") || is(k, "ROLE")))
            fail(950, k);
        kind(StatementKind::Drop, is(k, "SYNONYM") ? 31 : is(k, "TRIGGER") ? 61 : 0);
        if (is(k, "PACKAGE") && is(k + 1, "BODY"))
            ++k;
        if (tok(k + 1).isName())
            out_.objectName = tok(k + 1).upper;
        if (is(k, "SYNONYM") && tok(k + 1).isName()) {
            expectEnd(k + 2, end_);
            return "DELETE FROM QDSI_SYNONYMS WHERE OWNER = "
                + quoteLiteral(is(k - 1, "PUBLIC") ? "PUBLIC" : context_.user)
                + " AND SYNONYM_NAME = " + quoteLiteral(tok(k + 1).upper);
        }
        return {};
    }
    ++k;
    const Target target = readTarget(k, {}, false);
    out_.objectName = target.name;
    if (what == "SEQUENCE") {
        kind(StatementKind::DropSequence, 16);
        expectEnd(k, end_);
        return {};
    }
    if (what == "TABLE") {
        if (is(k, "CASCADE") && is(k + 1, "CONSTRAINTS"))
            k += 2;
        if (is(k, "PURGE"))
            ++k;
        out_.tables = { target.name };
    }
    expectEnd(k, end_);
    kind(StatementKind::Drop, what == "TABLE" ? 8 : what == "VIEW" ? 7 : 21);
    return "DROP " + what + " " + target.text;
}

std::string Translator::alter()
{
    size_t k = 1;
    if (is(k, "SESSION"))
        return alterSession(k);
    out_.kind = StatementKind::Alter, out_.ociStatementType = 7;
    if (is(k, "TRIGGER")) {
        // ALTER TRIGGER [owner.]name ENABLE | DISABLE | COMPILE [DEBUG]
        out_.sqlFunctionCode = 60;
        ++k;
        const Target trigger = readTarget(k, {}, false);
        out_.triggerName = trigger.name;
        if (is(k, "ENABLE") || is(k, "DISABLE"))
            out_.triggerEnable = is(k, "ENABLE") ? 1 : -1;
        else if (!is(k, "COMPILE"))
            fail(922, k);
        return {};
    }
    if (!is(k, "TABLE")) {
        out_.sqlFunctionCode = is(k, "SEQUENCE") ? 14
            : is(k, "INDEX")                     ? 41
            : is(k, "USER")                      ? 53
                                                 : 0;
        if (tok(k + 1).isName())
            out_.objectName = tok(k + 1).upper;
        return {};
    }
    out_.sqlFunctionCode = 26;
    ++k;
    const Target target = readTarget(k, {}, false);
    out_.objectName = target.name;
    out_.tables = { target.name };
    Scope scope;
    scope.tables.push_back({ .name = target.name, .alias = target.name, .owner = target.owner });
    const std::string head = "ALTER TABLE " + target.text;
    currentTable_ = target.name;
    if (is(k, "MODIFY") && !is(k + 1, "CONSTRAINT") && !is(k + 1, "PRIMARY")) {
        if (!target.owner.empty())
            fail(1031, 1);
        return modifyIdentity(k + 1, target);
    }
    if (alterConstraint(k, target, scope))
        return {};
    if (is(k, "ADD")) {
        ++k;
        size_t b = k, e = end_;
        if (is(k, "(")) {
            e = closing(k);
            b = k + 1;
            expectEnd(e + 1, end_);
            if (splitTop(b, e, ",").size() != 1)
                fail(3001, k);
        }
        std::string column = columnDefinition(b, e, scope);
        if (!out_.identities.empty())
            fail(3001, b, "unimplemented feature: identity column added to a table");
        return head + " ADD COLUMN " + column;
    }
    if (is(k, "RENAME")) {
        if (is(k + 1, "TO") && tok(k + 2).isName()) {
            expectEnd(k + 3, end_);
            // The column's default names the table it draws its numbers for.
            if (!identityColumns(target).empty())
                fail(3001, k, "unimplemented feature: renaming a table with an identity column");
            return head + " RENAME TO " + name(k + 2);
        }
        if (is(k + 1, "COLUMN") && tok(k + 2).isName() && is(k + 3, "TO") && tok(k + 4).isName()) {
            expectEnd(k + 5, end_);
            return head + " RENAME COLUMN " + name(k + 2) + " TO " + name(k + 4);
        }
        fail(940, k);
    }
    if (is(k, "DROP")) {
        size_t c = k + 1;
        if (is(c, "COLUMN"))
            ++c;
        else if (is(c, "(") && closing(c) == c + 2)
            ++c;
        if (!tok(c).isName())
            fail(904, c);
        return head + " DROP COLUMN " + name(c);
    }
    fail(3001, k);
}

std::string Translator::alterSession(size_t k)
{
    out_.kind = StatementKind::AlterSession, out_.ociStatementType = 7,
    out_.sqlFunctionCode = 52;
    ++k;
    if (!is(k, "SET")) {
        if (is(k, "ENABLE") || is(k, "DISABLE") || is(k, "FORCE") || is(k, "CLOSE")
            || is(k, "ADVISE"))
            return {};
        fail(922, k);
    }
    ++k;
    while (k < end_) {
        if (!tok(k).isName() || !is(k + 1, "="))
            fail(922, k);
        SessionSetting setting;
        setting.name = tok(k).upper;
        const Token &v = tok(k + 2);
        setting.literal = v.type == TokenType::String;
        if (setting.literal)
            setting.value = v.upper;
        else if (v.type == TokenType::Number || v.isName())
            setting.value = v.type == TokenType::Identifier ? v.upper : v.text;
        else
            fail(922, k + 2);
        out_.settings.push_back(setting);
        k += 3;
    }
    if (out_.settings.empty())
        fail(922, k);
    return {};
}

bool Translator::alterConstraint(size_t k, const Target &target, const Scope &scope)
{
    auto &change = out_.constraintChange;
    const bool constraintWords = (is(k, "ADD") && isTableConstraintStart(tok(k + 1)))
        || (is(k, "ADD") && is(k + 1, "(") && isTableConstraintStart(tok(k + 2)))
        || (is(k, "DROP") && (is(k + 1, "CONSTRAINT") || is(k + 1, "PRIMARY"))) || is(k, "ENABLE")
        || is(k, "DISABLE") || is(k, "MODIFY");
    // Constraints of another schema's tables are not ours to change.
    if (constraintWords && target.text.find('.') != std::string::npos)
        fail(1031, 1);
    if ((is(k, "ADD") && isTableConstraintStart(tok(k + 1)))
        || (is(k, "ADD") && is(k + 1, "(") && isTableConstraintStart(tok(k + 2)))) {
        // The engine rebuilds the table with the constraint in its definition.
        size_t b = k + 1, e = end_;
        if (is(b, "(")) {
            e = closing(b);
            expectEnd(e + 1, end_);
            ++b;
        }
        change.action = Translation::ConstraintChange::Add;
        if (is(b, "CONSTRAINT")) {
            if (!tok(b + 1).isName())
                fail(902, b + 1);
            change.name = tok(b + 1).upper;
        }
        for (size_t d = b; d < e; d = tok(d).is("(") ? closing(d) + 1 : d + 1)
            if (tok(d).is("DISABLE"))
                change.disabled = true;
        change.sqlite = constraintTokens(b, e, scope);
        return true;
    }
    if ((is(k, "DROP") && (is(k + 1, "CONSTRAINT") || is(k + 1, "PRIMARY"))) || is(k, "ENABLE")
        || is(k, "DISABLE")) {
        change.action = is(k, "DROP") ? Translation::ConstraintChange::Drop
            : is(k, "ENABLE")         ? Translation::ConstraintChange::Enable
                                      : Translation::ConstraintChange::Disable;
        size_t at = k + 1;
        if (is(at, "VALIDATE") || is(at, "NOVALIDATE"))
            ++at;
        expectEnd(constraintTarget(at), end_);
        return true;
    }
    if (is(k, "MODIFY") && (is(k + 1, "CONSTRAINT") || is(k + 1, "PRIMARY"))) {
        size_t at = constraintTarget(k + 1);
        if (is(at, "RELY") || is(at, "NORELY"))
            ++at;
        if (!is(at, "ENABLE") && !is(at, "DISABLE"))
            fail(3001, at);
        change.action = is(at, "ENABLE") ? Translation::ConstraintChange::Enable
                                         : Translation::ConstraintChange::Disable;
        ++at;
        if (is(at, "VALIDATE") || is(at, "NOVALIDATE"))
            ++at;
        expectEnd(at, end_);
        return true;
    }
    return false;
}

size_t Translator::constraintTarget(size_t at)
{
    auto &change = out_.constraintChange;
    // CONSTRAINT name | PRIMARY KEY, then [CASCADE] [KEEP|DROP INDEX]
    if (is(at, "PRIMARY") && is(at + 1, "KEY")) {
        change.primaryKey = true;
        at += 2;
    } else if (is(at, "CONSTRAINT") && tok(at + 1).isName()) {
        change.name = tok(at + 1).upper;
        at += 2;
    } else {
        fail(is(at, "CONSTRAINT") ? 904 : 3001, at);
    }
    if (is(at, "CASCADE"))
        change.cascade = true, ++at;
    if ((is(at, "KEEP") || is(at, "DROP")) && is(at + 1, "INDEX"))
        at += 2;
    return at;
}

std::string Translator::modifyIdentity(size_t k, const Target &target)
{
    size_t e = end_;
    if (is(k, "(")) {
        e = closing(k);
        expectEnd(e + 1, end_);
        ++k;
    }
    if (!tok(k).isName())
        fail(904, k);
    IdentityDefinition d;
    d.column = tok(k).upper;
    const size_t columnAt = k;
    ++k;
    if (is(k, "DROP") && is(k + 1, "IDENTITY")) {
        d.drop = true;
        k += 2;
    } else if (is(k, "GENERATED")) {
        k = identityClause(k, e, d);
    } else {
        // Other column changes (type, size, default, NOT NULL) would need the table rebuilt.
        fail(3001, k, "unimplemented feature: ALTER TABLE MODIFY of a column");
    }
    expectEnd(k, e);
    if (context_.identityColumns) {
        bool isIdentity = false;
        for (const auto &[column, kind] : context_.identityColumns(target.name))
            isIdentity |= column == d.column && kind != IdentityKind::None;
        if (!isIdentity) {
            ColumnDescription type;
            if (context_.columnType && !context_.columnType(target.name, d.column, type))
                fail(904, columnAt, "\"" + d.column + "\"");
            fail(30673, columnAt); // column to be modified is not an identity column
        }
    }
    out_.identities.push_back(d);
    return {};
}

std::vector<std::pair<std::string, IdentityKind>> Translator::identityColumns(
    const Target &target) const
{
    if (!target.owner.empty() || !context_.identityColumns || target.name.empty()
        || out_.collection.present)
        return {};
    return context_.identityColumns(target.name);
}

} // namespace qdsi::sql
