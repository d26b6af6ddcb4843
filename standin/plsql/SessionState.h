#pragma once

// What a session keeps between PL/SQL calls: instantiated packages (their variables and open
// cursors), the server output buffer and the application info the session reported.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

namespace qdsi::plsql {

struct PackageInstance; // the interpreter's own
struct ParsedUnit;

struct ServerOutput {
    bool enabled = false;
    int64_t limit = 20000; // bytes; 0 = unlimited
    int64_t used = 0;
    std::deque<std::string> lines;
    std::string partial; // text put without a line end yet
    bool reading = false; // a get_line came; the next put discards what was not read
};

struct ApplicationInfo {
    std::string module;
    std::string action;
    std::string clientInfo;
};

struct SessionState {
    std::map<std::string, std::shared_ptr<PackageInstance>> packages; // "OWNER.NAME"
    // Parsed stored units by "TYPE OWNER.NAME" with the version they were parsed from.
    std::map<std::string, std::pair<int64_t, std::shared_ptr<const ParsedUnit>>> parsed;
    ServerOutput output;
    ApplicationInfo application;
};

} // namespace qdsi::plsql
