#include "oci/Logon.h"

#include "engine/OraErrors.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qdsi::oci {

using engine::oraFail;
using engine::PasswordState;

namespace {

std::atomic<int> injectedLogonError { 0 };

// Held logons wait here until released; the wait is bounded so a forgotten hold cannot hang.
std::mutex holdMutex;
std::condition_variable holdChanged;
bool logonsHeld = false;
std::string heldAlias; // upper case; empty: every alias
int logonsWaiting = 0;
constexpr auto MaxHold = std::chrono::seconds(60);

bool holds(const std::string &alias)
{
    return logonsHeld && (heldAlias.empty() || heldAlias == alias);
}

void waitWhileHeld(const std::string &alias)
{
    std::unique_lock lock(holdMutex);
    if (!holds(alias))
        return;
    ++logonsWaiting;
    holdChanged.wait_for(lock, MaxHold, [&] { return !holds(alias); });
    --logonsWaiting;
}

bool samePassword(const std::string &a, const std::string &b, bool caseSensitive)
{
    if (caseSensitive)
        return a == b;
    // Without regard to case, as with case-insensitive logons on the server.
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
            [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

} // namespace

void failNextLogon(int code)
{
    injectedLogonError = code;
}

void holdLogons(const char *alias)
{
    {
        std::lock_guard lock(holdMutex);
        logonsHeld = alias != nullptr;
        heldAlias = alias ? std::string(alias) : std::string();
        std::transform(heldAlias.begin(), heldAlias.end(), heldAlias.begin(),
            [](unsigned char c) { return std::toupper(c); });
    }
    holdChanged.notify_all();
}

int heldLogonCount()
{
    std::lock_guard lock(holdMutex);
    return logonsWaiting;
}

std::string foldUserName(const std::string &written)
{
    if (written.size() >= 2 && written.front() == '"' && written.back() == '"')
        return written.substr(1, written.size() - 2);
    std::string name = written;
    std::transform(
        name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    return name;
}

int beginSession(
    SvcCtxHandle &service, SessionHandle &user, const std::string &password, bool allowExpired)
{
    ServerHandle *server = service.server;
    if (server && server->alias)
        waitWhileHeld(server->alias->name);
    if (const int injected = injectedLogonError.exchange(0))
        throw oraFail(injected);
    if (!server || !server->alias)
        throw oraFail(3114);
    const std::string name = foldUserName(user.userName);
    PasswordState state;
    {
        std::lock_guard lock(server->config->mutex);
        const auto &users = server->alias->users;
        const auto it = users.find(name);
        if (name.empty() || it == users.end()
            || !samePassword(
                it->second.password, password, server->alias->caseSensitivePasswords))
            throw oraFail(1017);
        state = it->second.state;
    }
    if (state == PasswordState::Locked)
        throw oraFail(28000);
    if (state == PasswordState::Expired && !allowExpired)
        throw oraFail(28001);
    user.session = std::make_unique<engine::Session>(server->config, *server->alias, name);
    service.session = &user;
    if (state == PasswordState::Expiring)
        return 28002;
    if (state == PasswordState::Grace)
        return 28011;
    return 0;
}

} // namespace qdsi::oci
