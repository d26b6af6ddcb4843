#include "plsql/Dictionary.h"

#include "plsql/CompileError.h"
#include "plsql/Lexer.h"
#include "plsql/Parser.h"
#include "plsql/PlsqlError.h"

#include <map>

namespace qdsi::plsql {

namespace {

std::string sourceOf(const StoredUnit &unit)
{
    std::string s;
    for (const auto &l : unit.lines)
        s += l;
    return s;
}

// The dictionary's name for a declared type.
std::string dictionaryType(const TypeSpec &t)
{
    if (t.anchored || t.rowtype || t.name.size() != 1)
        return t.rowtype ? "PL/SQL RECORD" : t.name.empty() ? "" : "VARCHAR2";
    static const std::map<std::string, std::string> names = {
        { "INTEGER", "NUMBER" },
        { "INT", "NUMBER" },
        { "SMALLINT", "NUMBER" },
        { "NUMERIC", "NUMBER" },
        { "DECIMAL", "NUMBER" },
        { "DEC", "NUMBER" },
        { "REAL", "FLOAT" },
        { "DOUBLE PRECISION", "FLOAT" },
        { "PLS_INTEGER", "PL/SQL PLS INTEGER" },
        { "BINARY_INTEGER", "BINARY_INTEGER" },
        { "NATURAL", "BINARY_INTEGER" },
        { "POSITIVE", "BINARY_INTEGER" },
        { "BOOLEAN", "PL/SQL BOOLEAN" },
        { "VARCHAR", "VARCHAR2" },
        { "STRING", "VARCHAR2" },
        { "CHARACTER", "CHAR" },
        { "TIMESTAMP", "TIMESTAMP" },
    };
    auto it = names.find(t.name[0]);
    return it == names.end() ? t.name[0] : it->second;
}

void addSubprogram(const Subprogram &sub, const std::string &package, std::optional<int> overload,
    std::vector<ArgumentRow> &rows)
{
    ArgumentRow base;
    base.packageName = package;
    base.objectName = sub.name;
    base.overload = overload;
    int sequence = 1;
    if (sub.isFunction) {
        ArgumentRow r = base;
        r.position = 0;
        r.sequence = sequence++;
        r.dataType = dictionaryType(sub.returnType);
        r.inOut = "OUT";
        rows.push_back(r);
    }
    if (sub.params.empty() && !sub.isFunction) {
        // The one row the server keeps for a procedure without arguments.
        ArgumentRow r = base;
        r.position = 1;
        r.sequence = sequence;
        r.inOut = "IN";
        rows.push_back(r);
        return;
    }
    int position = 1;
    for (const Param &p : sub.params) {
        ArgumentRow r = base;
        r.position = position++;
        r.sequence = sequence++;
        r.argumentName = p.name;
        r.dataType = dictionaryType(p.type);
        r.inOut = p.mode == Param::Mode::In ? "IN" : p.mode == Param::Mode::Out ? "OUT" : "IN/OUT";
        r.defaulted = p.defaultValue != nullptr;
        rows.push_back(r);
    }
}

} // namespace

std::vector<ArgumentRow> describeArguments(const StoredUnit &unit)
{
    std::vector<ArgumentRow> rows;
    if (!unit.valid)
        return rows;
    ParsedUnit parsed;
    try {
        parsed = parseStoredUnit(sourceOf(unit));
    } catch (const CompileError &) {
        return rows;
    } catch (const PlsqlError &) {
        return rows;
    }
    if (parsed.subprogram) {
        addSubprogram(*parsed.subprogram, {}, std::nullopt, rows);
        return rows;
    }
    if (parsed.kind != ParsedUnit::Kind::PackageSpec)
        return rows;
    std::map<std::string, int> count, seen;
    for (const Decl &d : parsed.decls)
        if (d.kind == Decl::Kind::Subprogram)
            ++count[d.name];
    for (const Decl &d : parsed.decls)
        if (d.kind == Decl::Kind::Subprogram) {
            std::optional<int> overload;
            if (count[d.name] > 1)
                overload = ++seen[d.name];
            addSubprogram(*d.subprogram, unit.name, overload, rows);
        }
    return rows;
}

std::optional<TriggerDescription> describeTrigger(const StoredUnit &unit)
{
    if (unit.type != UnitType::Trigger)
        return std::nullopt;
    const std::string source = sourceOf(unit);
    std::vector<Token> tokens;
    try {
        tokens = tokenize(source);
    } catch (const CompileError &) {
        return std::nullopt;
    }
    if (tokens.size() < 3 || !tokens[0].is("TRIGGER"))
        return std::nullopt;
    TriggerDescription t;
    size_t i = 2;
    if (tokens.size() > 3 && tokens[2].is("."))
        i = 4;
    std::string timing;
    bool eachRow = false;
    int depth = 0;
    size_t whenStart = 0, whenEnd = 0;
    for (; i < tokens.size() && tokens[i].kind != Token::Kind::End; ++i) {
        const Token &k = tokens[i];
        if (depth == 0 && (k.is("DECLARE") || k.is("BEGIN")))
            break;
        if (k.is("(")) {
            if (depth++ == 0 && i > 0 && tokens[i - 1].is("WHEN"))
                whenStart = k.endOffset;
        } else if (k.is(")")) {
            if (--depth == 0 && whenStart && !whenEnd)
                whenEnd = k.offset;
        } else if (depth == 0 && (k.is("BEFORE") || k.is("AFTER"))) {
            timing = k.text;
        } else if (depth == 0 && k.is("INSTEAD")) {
            timing = "INSTEAD OF";
        } else if (depth == 0 && (k.is("INSERT") || k.is("UPDATE") || k.is("DELETE"))) {
            t.triggeringEvent += (t.triggeringEvent.empty() ? "" : " OR ") + k.text;
        } else if (depth == 0 && k.is("ON") && i + 1 < tokens.size() && t.tableName.empty()) {
            t.tableName = tokens[i + 1].text;
            if (i + 3 < tokens.size() && tokens[i + 2].is("."))
                t.tableName = tokens[i + 3].text;
        } else if (depth == 0 && k.is("EACH") && i + 1 < tokens.size() && tokens[i + 1].is("ROW")) {
            eachRow = true;
        }
    }
    if (i >= tokens.size() || tokens[i].kind == Token::Kind::End)
        return std::nullopt;
    const size_t bodyStart = tokens[i].offset;
    std::string head = source.substr(tokens[1].offset, bodyStart - tokens[1].offset);
    while (!head.empty() && std::isspace(static_cast<unsigned char>(head.back())))
        head.pop_back();
    t.description = head + "\n";
    t.body = source.substr(bodyStart);
    t.triggerType
        = timing == "INSTEAD OF" ? timing : timing + (eachRow ? " EACH ROW" : " STATEMENT");
    if (whenStart && whenEnd > whenStart)
        t.whenClause = source.substr(whenStart, whenEnd - whenStart);
    return t;
}

} // namespace qdsi::plsql
