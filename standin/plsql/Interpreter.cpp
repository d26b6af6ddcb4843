#include "plsql/Interpreter.h"

#include "plsql/CompileError.h"
#include "plsql/Executor.h"
#include "plsql/Parser.h"
#include "sql/Dialect.h"

#include <cctype>

namespace qdsi::plsql {

const char *unitTypeName(UnitType type)
{
    switch (type) {
    case UnitType::Procedure:
        return "PROCEDURE";
    case UnitType::Function:
        return "FUNCTION";
    case UnitType::Package:
        return "PACKAGE";
    case UnitType::PackageBody:
        return "PACKAGE BODY";
    case UnitType::Trigger:
        return "TRIGGER";
    case UnitType::Type:
        return "TYPE";
    case UnitType::TypeBody:
        return "TYPE BODY";
    }
    return "";
}

namespace {

sql::OraError toOraError(const PlsqlError &e, std::string_view block = {})
{
    std::string text = e.userException.empty() ? e.message : plsqlError(6510).message;
    for (const auto &line : e.backtrace)
        text += "\n" + line;
    // The client shows where in its own block a compile-time error is.
    const int offset
        = e.compileTime && e.unit.empty() && !block.empty() ? offsetOf(block, e.line, e.column) : 0;
    return sql::OraError(e.userException.empty() ? e.code : 6510, text, offset);
}

std::string trimmedSource(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    // A trailing "/" line left by a script belongs to the script, not to the unit.
    if (end > 0 && text[end - 1] == '/') {
        size_t k = end - 1;
        while (k > 0 && (text[k - 1] == ' ' || text[k - 1] == '\t'))
            --k;
        if (k == 0 || text[k - 1] == '\n') {
            end = k;
            while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1])))
                --end;
        }
    }
    return std::string(text.substr(0, end));
}

std::vector<std::string> splitLines(const std::string &source)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < source.size()) {
        size_t nl = source.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(source.substr(start));
            break;
        }
        lines.push_back(source.substr(start, nl - start + 1));
        start = nl + 1;
    }
    if (lines.empty())
        lines.push_back(std::string());
    return lines;
}

// Checks a package body against its header: every subprogram the header declares must
// have a body.
void checkPackageBody(
    const ParsedUnit &spec, const ParsedUnit &body, std::vector<UnitError> &errors)
{
    for (const Decl &d : spec.decls) {
        if (d.kind != Decl::Kind::Subprogram)
            continue;
        bool found = false;
        for (const Decl &b : body.decls)
            if (b.kind == Decl::Kind::Subprogram && b.name == d.name
                && b.subprogram->params.size() == d.subprogram->params.size() && b.subprogram->body)
                found = true;
        if (!found)
            errors.push_back({ d.line, d.column,
                "PLS-00323: subprogram or cursor '" + d.name
                    + "' is declared in a package header and must be "
                      "defined in the package body" });
    }
}

} // namespace

// ---------------------------------------------------------------- public entry points

Interpreter::Interpreter(PlsqlHost &host)
    : host_(host)
{
}

void Interpreter::executeBlock(std::string_view text, std::vector<Bind> &binds)
{
    for (Bind &b : binds)
        b.assigned = false;
    ParsedUnit unit;
    try {
        unit = parseAnonymousBlock(text);
    } catch (const CompileError &e) {
        throw sql::OraError(6550,
            oraText(6550,
                "line " + std::to_string(e.line) + ", column " + std::to_string(e.column) + ":\n"
                    + e.text),
            offsetOf(text, e.line, e.column));
    } catch (const PlsqlError &e) {
        throw toOraError(e);
    }
    Executor ex(host_, budget_, &binds);
    try {
        ex.runAnonymous(unit);
    } catch (const PlsqlError &e) {
        throw toOraError(e, text);
    } catch (const CompileError &e) {
        // A stored unit that no longer parses (its source changed behind the dictionary).
        throw sql::OraError(6550,
            oraText(6550,
                "line " + std::to_string(e.line) + ", column " + std::to_string(e.column) + ":\n"
                    + e.text));
    }
}

CreateResult Interpreter::createUnit(std::string_view text)
{
    CreateHeader header;
    try {
        header = parseCreateHeader(text);
    } catch (const CompileError &) {
        throw sql::oraError(900, "invalid SQL statement");
    }
    CreateResult result;
    result.type = header.type;
    result.owner = header.owner.empty() ? host_.currentUser() : header.owner;
    result.name = header.name;
    const bool orReplace = [&] {
        auto toks = tokenize(text, 3);
        return toks.size() > 1 && toks[1].is("OR");
    }();
    if (!orReplace && host_.loadUnit(result.owner, result.name, header.type))
        throw sql::oraError(955, "name is already used by an existing object");

    StoredUnit unit;
    unit.owner = result.owner;
    unit.name = result.name;
    unit.type = header.type;
    const std::string source = trimmedSource(text.substr(header.sourceOffset));
    unit.lines = splitLines(source);
    try {
        ParsedUnit parsed = parseStoredUnit(source);
        if (header.type == UnitType::PackageBody) {
            auto spec = host_.loadUnit(unit.owner, unit.name, UnitType::Package);
            if (!spec) {
                unit.errors.push_back(
                    { 1, 14, "PLS-00201: identifier '" + unit.name + "' must be declared" });
                unit.errors.push_back({ 1, 14,
                    "PLS-00304: cannot compile body of '" + unit.name + "' without its header" });
            } else if (spec->valid) {
                std::string specSource;
                for (const auto &l : spec->lines)
                    specSource += l;
                checkPackageBody(parseStoredUnit(specSource), parsed, unit.errors);
            }
        }
    } catch (const CompileError &e) {
        unit.errors.push_back({ e.line, e.column, e.text });
    } catch (const PlsqlError &e) {
        throw toOraError(e);
    }
    unit.valid = unit.errors.empty();
    result.compiledWithErrors = !unit.valid;
    host_.storeUnit(unit);
    return result;
}

void Interpreter::dropUnit(std::string_view text)
{
    std::vector<Token> t;
    try {
        t = tokenize(text, 8);
    } catch (const CompileError &) {
        throw sql::oraError(900, "invalid SQL statement");
    }
    size_t i = 0;
    auto word = [&](const char *w) {
        if (i < t.size() && t[i].is(w)) {
            ++i;
            return true;
        }
        return false;
    };
    if (!word("DROP"))
        throw sql::oraError(900, "invalid SQL statement");
    UnitType type;
    if (word("PROCEDURE"))
        type = UnitType::Procedure;
    else if (word("FUNCTION"))
        type = UnitType::Function;
    else if (word("TRIGGER"))
        type = UnitType::Trigger;
    else if (word("PACKAGE"))
        type = word("BODY") ? UnitType::PackageBody : UnitType::Package;
    else if (word("TYPE"))
        type = word("BODY") ? UnitType::TypeBody : UnitType::Type;
    else
        throw sql::oraError(950, "invalid DROP option");
    auto isName = [&](size_t k) {
        return k < t.size()
            && (t[k].kind == Token::Kind::Name || t[k].kind == Token::Kind::QuotedName);
    };
    if (!isName(i))
        throw sql::oraError(903, "invalid table name");
    std::string owner, name = t[i++].text;
    if (i < t.size() && t[i].is(".") && isName(i + 1)) {
        owner = name;
        name = t[i + 1].text;
        i += 2;
    }
    if (owner.empty())
        owner = host_.currentUser();
    if (!host_.dropUnit(owner, name, type)) {
        if (type == UnitType::Trigger)
            throw sql::oraError(4080, "trigger '" + name + "' does not exist");
        throw sql::oraError(4043, "object " + name + " does not exist");
    }
    // A package goes with its body, a type with its type body.
    if (type == UnitType::Package)
        host_.dropUnit(owner, name, UnitType::PackageBody);
    if (type == UnitType::Type)
        host_.dropUnit(owner, name, UnitType::TypeBody);
    host_.sessionState().packages.erase(owner + "." + name);
}

std::string Interpreter::compilationWarningText()
{
    return "ORA-24344: success with compilation error";
}

StatementClass classifyStatement(std::string_view text)
{
    StatementClass c;
    std::vector<Token> t;
    try {
        t = tokenize(text, 6);
    } catch (const CompileError &) {
        return c;
    }
    auto at = [&](size_t i, const char *w) { return i < t.size() && t[i].is(w); };
    if (at(0, "BEGIN") || at(0, "DECLARE")) {
        c.kind = StatementClass::Kind::Block;
        c.statementType = at(0, "BEGIN") ? 8 : 9;
        c.functionCode = 34;
        return c;
    }
    if (at(0, "CREATE") && isCreateOfStoredCode(text)) {
        const CreateHeader h = parseCreateHeader(text);
        c.kind = StatementClass::Kind::CreateUnit;
        c.statementType = 5;
        switch (h.type) {
        case UnitType::Procedure:
            c.functionCode = 24;
            break;
        case UnitType::Function:
            c.functionCode = 91;
            break;
        case UnitType::Package:
            c.functionCode = 94;
            break;
        case UnitType::PackageBody:
            c.functionCode = 97;
            break;
        case UnitType::Trigger:
            c.functionCode = 59;
            break;
        case UnitType::Type:
            c.functionCode = 77;
            break;
        case UnitType::TypeBody:
            c.functionCode = 81;
            break;
        }
        return c;
    }
    if (at(0, "DROP")) {
        static const std::map<std::string, int> codes = { { "PROCEDURE", 68 }, { "FUNCTION", 93 },
            { "PACKAGE", 95 }, { "TRIGGER", 61 }, { "TYPE", 78 } };
        if (t.size() > 1) {
            auto it = codes.find(t[1].text);
            if (it != codes.end() && t[1].kind == Token::Kind::Name) {
                c.kind = StatementClass::Kind::DropUnit;
                c.statementType = 6;
                c.functionCode = it->second;
                if (at(2, "BODY"))
                    c.functionCode = t[1].text == "PACKAGE" ? 98 : 83;
            }
        }
    }
    return c;
}

} // namespace qdsi::plsql
