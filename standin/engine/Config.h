#pragma once

// The stand-in's configuration: network aliases (database directory, server banner) and the
// users of each alias with their passwords and password states. Read from the file named by
// QD_STANDIN_CONFIG, else a built-in default serving the DEMO alias. The format is described in
// standin/README.md.

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qdsi::engine {

enum class PasswordState { Open, Expiring, Grace, Expired, Locked };

struct UserEntry {
    std::string name; // upper case unless it was quoted
    std::string password;
    PasswordState state = PasswordState::Open;
};

struct AliasEntry {
    std::string name;
    std::string directory;
    std::string banner = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
    bool demo = false; // create the sample schema on first use
    int lockWaitMs = 3000; // bound on waiting for another session's uncommitted change
    // Passwords compare exactly, as on servers with case-sensitive logons; else without regard
    // to case.
    bool caseSensitivePasswords = false;
    // BFILENAME('DIR', 'name') reads <bfileDirectory>/DIR/name; default <directory>/bfiles.
    std::string bfileDirectory;
    std::map<std::string, UserEntry> users; // by name
};

class Config {
public:
    // The configuration in effect: loaded on first use and again when QD_STANDIN_CONFIG names
    // another file. Throws std::runtime_error with a readable message for a bad file.
    static std::shared_ptr<Config> current();

    static std::shared_ptr<Config> parse(const std::string &text, const std::string &baseDirectory);
    static std::shared_ptr<Config> builtIn();

    // The alias of a connect string (case-insensitive); the empty string names the default.
    AliasEntry *findAlias(const std::string &connect);

    // Guards password changes and reads of user entries.
    std::mutex mutex;

private:
    std::map<std::string, AliasEntry> m_aliases; // by upper-case name
    std::string m_defaultAlias;
};

// The program's data directory: $QD_HOME, else ~/.config/QuarloDesk.
std::string programDirectory();

} // namespace qdsi::engine
