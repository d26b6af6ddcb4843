// The executor's frame and budget bookkeeping, and the packages a block reaches: parsing stored
// units, instantiating package headers and bodies for the session.
#include "plsql/Executor.h"

#include "plsql/Parser.h"

#include <algorithm>
#include <cstdio>

namespace qdsi::plsql {

const std::map<std::string, int> &predefinedExceptions()
{
    static const std::map<std::string, int> names = {
        { "NO_DATA_FOUND", 1403 },
        { "TOO_MANY_ROWS", 1422 },
        { "ZERO_DIVIDE", 1476 },
        { "VALUE_ERROR", 6502 },
        { "INVALID_NUMBER", 1722 },
        { "DUP_VAL_ON_INDEX", 1 },
        { "INVALID_CURSOR", 1001 },
        { "CURSOR_ALREADY_OPEN", 6511 },
        { "CASE_NOT_FOUND", 6592 },
        { "LOGIN_DENIED", 1017 },
        { "NOT_LOGGED_ON", 1012 },
        { "PROGRAM_ERROR", 6501 },
        { "STORAGE_ERROR", 6500 },
        { "TIMEOUT_ON_RESOURCE", 51 },
        { "ROWTYPE_MISMATCH", 6504 },
    };
    return names;
}

std::string oraText(int code, const std::string &text)
{
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return head + text;
}

// A compile-time kind of error found while running: the server would have refused the block.
PlsqlError semanticError(int line, int column, const std::string &pls)
{
    const std::string at
        = "line " + std::to_string(line) + ", column " + std::to_string(column) + ":\n";
    PlsqlError e(
        6550, oraText(6550, at + pls) + "\n" + oraText(6550, at + "PL/SQL: Statement ignored"));
    e.fatal = true;
    e.compileTime = true;
    e.line = line;
    e.column = column;
    return e;
}

// Byte offset of a 1-based line and column in a text.
int offsetOf(std::string_view text, int line, int column)
{
    size_t pos = 0;
    for (int l = 1; l < line && pos < text.size(); ++l) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            return int(text.size());
        pos = nl + 1;
    }
    return int(std::min(text.size(), pos + size_t(std::max(column, 1) - 1)));
}

std::string joinPath(const Path &p)
{
    std::string s;
    for (const auto &part : p)
        s += (s.empty() ? "" : ".") + part;
    return s;
}

Executor::Executor(PlsqlHost &host, int64_t budget, std::vector<Bind> *binds)
    : host_(host)
    , session_(host.sessionState())
    , budget_(budget)
    , binds_(binds)
{
}

void Executor::runAnonymous(const ParsedUnit &unit)
{
    Frame frame;
    frames_.push_back(&frame);
    try {
        runBlock(*unit.block, nullptr);
    } catch (PlsqlError &e) {
        if (!(e.fatal && e.code == 1013))
            noteFrame(e, frame);
        frames_.pop_back();
        throw;
    }
    frames_.pop_back();
}

void Executor::tick()
{
    if (host_.breakRequested()) {
        PlsqlError e = plsqlError(1013);
        e.fatal = true;
        throw e;
    }
    if (budget_ > 0 && ++steps_ > budget_) {
        PlsqlError e = plsqlError(6500, "instruction budget exhausted");
        e.fatal = true;
        throw e;
    }
}

void Executor::noteFrame(PlsqlError &e, const Frame &f)
{
    if (e.compileTime) {
        if (!e.unitKnown) {
            e.unit = f.unit;
            e.unitKnown = true;
        }
        return;
    }
    e.backtrace.push_back(f.unit.empty()
            ? "ORA-06512: at line " + std::to_string(f.line)
            : "ORA-06512: at \"" + f.unit + "\", line " + std::to_string(f.line));
}

std::shared_ptr<const ParsedUnit> Executor::parsedUnit(const StoredUnit &u)
{
    const std::string key = std::string(unitTypeName(u.type)) + " " + u.owner + "." + u.name;
    auto it = session_.parsed.find(key);
    if (it != session_.parsed.end() && it->second.first == u.version)
        return it->second.second;
    std::string source;
    for (const auto &l : u.lines)
        source += l;
    auto parsed = std::make_shared<const ParsedUnit>(parseStoredUnit(source));
    session_.parsed[key] = { u.version, parsed };
    return parsed;
}

void Executor::requireValid(const StoredUnit &u)
{
    if (!u.valid)
        throw semanticError(
            frame().line, 1, "PLS-00905: object " + u.owner + "." + u.name + " is invalid");
}

PackageInstance *Executor::findPackage(
    const std::string &name, bool mustExist, const std::string &ownerIn)
{
    const std::string owner = ownerIn.empty() ? currentUser() : ownerIn;
    const std::string key = owner + "." + name;
    auto spec = host_.loadUnit(owner, name, UnitType::Package);
    if (!spec) {
        if (mustExist)
            throw semanticError(
                frame().line, 1, "PLS-00201: identifier '" + name + "' must be declared");
        return nullptr;
    }
    auto body = host_.loadUnit(owner, name, UnitType::PackageBody);
    auto it = session_.packages.find(key);
    if (it != session_.packages.end() && it->second->specVersion == spec->version
        && it->second->bodyVersion == (body ? body->version : -1))
        return it->second.get();
    requireValid(*spec);
    if (body)
        requireValid(*body);
    auto pkg = std::make_shared<PackageInstance>();
    pkg->owner = owner;
    pkg->name = name;
    pkg->specVersion = spec->version;
    pkg->bodyVersion = body ? body->version : -1;
    pkg->specUnit = parsedUnit(*spec);
    if (body)
        pkg->bodyUnit = parsedUnit(*body);
    pkg->spec = std::make_shared<Scope>();
    pkg->spec->package = pkg.get();
    pkg->body = std::make_shared<Scope>();
    pkg->body->parent = pkg->spec;
    pkg->body->package = pkg.get();
    session_.packages[key] = pkg;
    // Elaborate the header, then the body and its initialisation part, as the package's own
    // frame so that errors name it.
    Frame f;
    f.unit = key;
    frames_.push_back(&f);
    try {
        declare(pkg->specUnit->decls, pkg->spec);
        if (pkg->bodyUnit) {
            declare(pkg->bodyUnit->decls, pkg->body);
            if (pkg->bodyUnit->block)
                runStatements(pkg->bodyUnit->block->body, pkg->body);
        }
    } catch (PlsqlError &e) {
        session_.packages.erase(key);
        noteFrame(e, f);
        frames_.pop_back();
        throw;
    }
    frames_.pop_back();
    return pkg.get();
}

std::string Executor::currentUser()
{
    if (user_.empty())
        user_ = host_.currentUser();
    return user_;
}

} // namespace qdsi::plsql
