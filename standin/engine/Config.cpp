#include "engine/Config.h"

#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qdsi::engine {

namespace {

std::string trim(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t\r");
    const size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// User names fold to upper case unless written in double quotes, as the server folds them.
std::string userName(const std::string &written)
{
    if (written.size() >= 2 && written.front() == '"' && written.back() == '"')
        return written.substr(1, written.size() - 2);
    return sql::upperCase(written);
}

bool yes(const std::string &value)
{
    const std::string v = sql::upperCase(value);
    return v == "YES" || v == "TRUE" || v == "1" || v == "ON";
}

PasswordState stateNamed(const std::string &value, int line)
{
    const std::string v = sql::upperCase(value);
    if (v == "OPEN")
        return PasswordState::Open;
    if (v == "EXPIRING")
        return PasswordState::Expiring;
    if (v == "GRACE")
        return PasswordState::Grace;
    if (v == "EXPIRED")
        return PasswordState::Expired;
    if (v == "LOCKED")
        return PasswordState::Locked;
    throw std::runtime_error(
        "line " + std::to_string(line) + ": unknown password state \"" + value + "\"");
}

} // namespace

std::string programDirectory()
{
    const char *home = std::getenv("QD_HOME");
    if (home && *home)
        return home;
    const char *user = std::getenv("HOME");
    return std::string(user ? user : ".") + "/.config/QuarloDesk";
}

std::shared_ptr<Config> Config::parse(const std::string &text, const std::string &baseDirectory)
{
    auto config = std::make_shared<Config>();
    std::istringstream in(text);
    std::string raw;
    AliasEntry *alias = nullptr;
    UserEntry *user = nullptr;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        const auto fail = [&](const std::string &what) {
            throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + what);
        };
        if (line.front() == '[') {
            if (line.back() != ']')
                fail("section header without ']'");
            const std::string header = trim(line.substr(1, line.size() - 2));
            const size_t space = header.find(' ');
            const std::string kind = sql::upperCase(header.substr(0, space));
            const std::string name
                = space == std::string::npos ? "" : trim(header.substr(space + 1));
            user = nullptr;
            alias = nullptr;
            if (kind == "ALIAS" && !name.empty()) {
                alias = &config->m_aliases[sql::upperCase(name)];
                alias->name = sql::upperCase(name);
            } else if (kind == "USER" && !name.empty()) {
                const size_t at = name.rfind('@');
                if (at == std::string::npos)
                    fail("a user section is written [user NAME@ALIAS]");
                const std::string aliasName = sql::upperCase(trim(name.substr(at + 1)));
                const auto found = config->m_aliases.find(aliasName);
                if (found == config->m_aliases.end())
                    fail("user of unknown alias \"" + aliasName + "\"");
                const std::string uname = userName(trim(name.substr(0, at)));
                user = &found->second.users[uname];
                user->name = uname;
            } else {
                fail("unknown section \"" + header + "\"");
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            fail("expected key = value");
        const std::string key = sql::upperCase(trim(line.substr(0, eq)));
        const std::string value = trim(line.substr(eq + 1));
        if (alias) {
            if (key == "DIRECTORY")
                alias->directory
                    = value.empty() || value[0] == '/' ? value : baseDirectory + "/" + value;
            else if (key == "BANNER")
                alias->banner = value;
            else if (key == "DEMO")
                alias->demo = yes(value);
            else if (key == "DEFAULT")
                config->m_defaultAlias = yes(value) ? alias->name : config->m_defaultAlias;
            else if (key == "LOCK_WAIT_MS")
                alias->lockWaitMs = std::max(0, std::atoi(value.c_str()));
            else if (key == "CASE_SENSITIVE_PASSWORDS")
                alias->caseSensitivePasswords = yes(value);
            else if (key == "BFILE_DIRECTORY")
                alias->bfileDirectory
                    = value.empty() || value[0] == '/' ? value : baseDirectory + "/" + value;
            else
                fail("unknown alias key \"" + key + "\"");
        } else if (user) {
            if (key == "PASSWORD")
                user->password = value;
            else if (key == "STATE")
                user->state = stateNamed(value, lineNumber);
            else
                fail("unknown user key \"" + key + "\"");
        } else {
            fail("key outside a section");
        }
    }
    for (auto &[name, entry] : config->m_aliases) {
        if (entry.directory.empty())
            entry.directory = programDirectory() + "/standin/" + name;
        if (entry.bfileDirectory.empty())
            entry.bfileDirectory = entry.directory + "/bfiles";
    }
    return config;
}

std::shared_ptr<Config> Config::builtIn()
{
    return parse("[alias DEMO]\ndemo = yes\ndefault = yes\n[user DEMO@DEMO]\npassword = DEMO\n"
                 "[user HR@DEMO]\npassword = HR\n",
        programDirectory());
}

std::shared_ptr<Config> Config::current()
{
    static std::mutex mutex;
    static std::shared_ptr<Config> loaded;
    static std::string loadedFrom = "\x01";
    const char *env = std::getenv("QD_STANDIN_CONFIG");
    const std::string path = env ? env : "";
    std::lock_guard lock(mutex);
    if (loaded && path == loadedFrom)
        return loaded;
    if (path.empty()) {
        loaded = builtIn();
    } else {
        std::ifstream in(path);
        if (!in)
            throw std::runtime_error("cannot read the stand-in configuration " + path);
        std::stringstream text;
        text << in.rdbuf();
        const size_t slash = path.rfind('/');
        const std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
        try {
            loaded = parse(text.str(), base);
        } catch (const std::runtime_error &e) {
            throw std::runtime_error(path + ", " + e.what());
        }
    }
    loadedFrom = path;
    return loaded;
}

AliasEntry *Config::findAlias(const std::string &connect)
{
    std::string name = sql::upperCase(trim(connect));
    if (name.empty())
        name = m_defaultAlias;
    const auto it = m_aliases.find(name);
    return it == m_aliases.end() ? nullptr : &it->second;
}

} // namespace qdsi::engine
