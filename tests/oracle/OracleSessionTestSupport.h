#pragma once

// Shared by the session tests: one stand-in configuration for the whole test executable
// (the stand-in reads it at the first server attach), the process's client library pointed
// at the stand-in, and the stand-in's test hooks.

#include "common/StandinSession.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace qd::test {

// Aliases of the configuration and their banners.
inline const char *const Banner19
    = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
inline const char *const Banner21 = "Oracle Database 21c Express Edition Release 21.0.0.0.0 - "
                                    "Production";
inline const char *const Banner23
    = "Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free";
inline const char *const Banner7 = "Oracle7 Server Release 7.3.4.0.0 - Production";
inline const char *const BannerHyphen = "Oracle9i Enterprise-Edition Release 9.2.0.1.0 -Production";

// Writes the configuration once, points QD_STANDIN_CONFIG at it and loads the stand-in as
// the process's client library.
inline void UseSessionStandin()
{
    static const bool ready = [] {
        const QString path
            = QDir(programDirectory()).filePath(QStringLiteral("session-standin.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        QByteArray text;
        // The built-in alias stays available to every other test of the executable.
        text += "[alias DEMO]\ndemo = yes\ndefault = yes\n[user DEMO@DEMO]\npassword = DEMO\n";
        const struct {
            const char *alias;
            const char *banner;
        } aliases[] = { { "QDS", Banner19 }, { "QDS21", Banner21 }, { "QDS23", Banner23 },
            { "QDS7", Banner7 }, { "QDSHYPHEN", BannerHyphen } };
        for (const auto &a : aliases) {
            text += QByteArray("[alias ") + a.alias + "]\nbanner = " + a.banner
                + "\ndemo = yes\nlock_wait_ms = 500\n";
            text += QByteArray("[user SCOTT@") + a.alias + "]\npassword = tiger\n";
        }
        const struct {
            const char *user;
            const char *state;
        } users[] = { { "EXPIRING", "expiring" }, { "GRACE", "grace" }, { "EXPIRED", "expired" },
            { "LOCKED", "locked" }, { "BREAKER", "open" }, { "LOCKER", "open" },
            { "EVENTS", "open" }, { "SAVER", "open" } };
        for (const auto &u : users) {
            text += QByteArray("[user ") + u.user + "@QDS]\npassword = secret\nstate = " + u.state
                + "\n";
        }
        // Users of the older-call tests, on the server with the old banner.
        text += "[user CHANGER@QDS7]\npassword = secret\n";
        text += "[user OLDBREAK@QDS7]\npassword = secret\n";
        file.write(text);
        file.close();
        qputenv("QD_STANDIN_CONFIG", QFile::encodeName(path));

        OracleClientLibrary &library = OracleClientLibrary::instance();
        if (library.ClientLibraryLoaded() && library.OCIDLL() != standinLibraryPath())
            library.UnloadClientLibrary();
        library.SetOCIDLL(standinLibraryPath());
        library.InitClientLibrary();
        return true;
    }();
    ASSERT_TRUE(ready) << "could not write the stand-in configuration";
}

// Cancels the call a worker thread runs on the session until the worker reports that it has
// finished. The call in progress may still be the execute when a break arrives (the break
// then ends that, or is spent before the blocked fetch begins), so one break is not enough
// to be sure. False when the worker did not finish within the time limit.
inline bool BreakUntilFinished(
    TOracleSession &session, const StandinHooks &hooks, const std::atomic<bool> &finished)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(60);
    while (!finished && steady_clock::now() < deadline) {
        if (hooks.callInProgress(session.ServiceContext()) == 1)
            session.BreakExecution();
        std::this_thread::sleep_for(milliseconds(20));
    }
    return finished;
}

// A session with its logon values set.
inline void SetLogon(TOracleSession &session, const QString &user, const QString &password,
    const QString &database = QStringLiteral("QDS"))
{
    session.SetLogonUsername(user);
    session.SetLogonPassword(password);
    session.SetLogonDatabase(database);
}

} // namespace qd::test
