#pragma once

// A session on the stand-in through its client calls, for the targets that drive it as the
// product does. Every run starts on the sample schemas as they were made: a run's uncommitted
// work is rolled back, and a run that wrote to the schema files (a commit, DDL, a sequence) is
// followed by a fresh copy of them (a new alias directory named by a new configuration file) and
// a new session. A watchdog breaks a statement that runs longer than the time limit.

#include "oci/OciCalls.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern "C" {
sword OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep,
    ub4 attrtype, OCIError *errhp);
sword OCIBindByPos(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp, ub4 position, void *valuep,
    sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep,
    ub4 mode);
sword OCIErrorGet(void *hndlp, ub4 recordno, text *sqlstate, sb4 *errcodep, text *bufp, ub4 bufsiz,
    ub4 type);
}

namespace fuzzclient {

namespace fs = std::filesystem;
using namespace qdsi::oci;

class StandinClient {
public:
    // Longest time one call may run before the watchdog breaks it.
    static constexpr std::chrono::milliseconds TimeLimit { 300 };

    StandinClient()
    {
        char dir[] = "/tmp/qdsi-fuzz-XXXXXX";
        if (!mkdtemp(dir))
            std::abort();
        m_home = dir;
        setenv("QD_HOME", dir, 1);
        // The first session makes the sample schemas; they are kept as the template of every run.
        writeConfig(m_home / "template");
        OCIEnvCreate(&m_env, 1, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        alloc(reinterpret_cast<void **>(&m_err), OCI_HTYPE_ERROR);
        alloc(reinterpret_cast<void **>(&m_srv), OCI_HTYPE_SERVER);
        alloc(reinterpret_cast<void **>(&m_svc), OCI_HTYPE_SVCCTX);
        alloc(reinterpret_cast<void **>(&m_usr), OCI_HTYPE_SESSION);
        alloc(reinterpret_cast<void **>(&m_breakErr), OCI_HTYPE_ERROR);
        OCIAttrSet(m_usr, OCI_HTYPE_SESSION, const_cast<char *>("DEMO"), 4, 22, m_err);
        OCIAttrSet(m_usr, OCI_HTYPE_SESSION, const_cast<char *>("DEMO"), 4, 23, m_err);
        begin();
        end();
        m_watchdog = std::thread([this] { watch(); });
    }

    ~StandinClient()
    {
        m_stop.store(true);
        m_watchdog.join();
        std::error_code ignored;
        fs::remove_all(m_home, ignored);
    }

    // Starts a session on a fresh copy of the template schemas. The alias is resolved when the
    // server is attached, so every run attaches anew.
    void begin()
    {
        if (m_run > 0) {
            const fs::path dir = m_home / ("run" + std::to_string(m_run));
            fs::remove_all(m_home / ("run" + std::to_string(m_run - 1)));
            fs::copy(m_home / "template", dir, fs::copy_options::recursive);
            writeConfig(dir);
        }
        ++m_run;
        if (OCIServerAttach(m_srv, m_err, reinterpret_cast<const text *>("FUZZ"), 4, 0) != 0) {
            std::fprintf(stderr, "fuzz attach: %s\n", errorText().c_str());
            std::abort();
        }
        OCIAttrSet(m_svc, OCI_HTYPE_SVCCTX, m_srv, 0, 6, m_err);
        OCIAttrSet(m_svc, OCI_HTYPE_SVCCTX, m_usr, 0, 7, m_err);
        if (OCISessionBegin(m_svc, m_err, m_usr, 1, 0) != 0) {
            std::fprintf(stderr, "fuzz session: %s\n", errorText().c_str());
            std::abort();
        }
        m_fingerprint = fingerprint();
    }

    // Ends a run: rolls back, and starts over on fresh schemas when the run wrote to them.
    void finishRun()
    {
        OCITransRollback(m_svc, m_err, 0);
        if (fingerprint() != m_fingerprint) {
            end();
            begin();
        }
    }

    void end()
    {
        OCISessionEnd(m_svc, m_err, m_usr, 0);
        OCIServerDetach(m_srv, m_err, 0);
    }

    // Runs a call under the time limit.
    template <class Call> sword timed(Call &&call)
    {
        m_deadline.store(now() + TimeLimit.count());
        const sword status = call();
        m_deadline.store(0);
        return status;
    }

    std::string errorText(sb4 *code = nullptr)
    {
        text message[1024] = {};
        sb4 c = 0;
        OCIErrorGet(m_err, 1, nullptr, &c, message, sizeof message, OCI_HTYPE_ERROR);
        if (code)
            *code = c;
        return reinterpret_cast<char *>(message);
    }

    // A failure must be an ORA error on the error handle; anything else stops the run.
    void checkOraError(sword status)
    {
        if (status == 0 || status == 1 || status == 100)
            return;
        sb4 code = 0;
        const std::string message = errorText(&code);
        if (status != -1 || code <= 0 || message.compare(0, 4, "ORA-") != 0) {
            std::fprintf(stderr, "not an ORA error: status %d, %d %s\n", status, code,
                message.c_str());
            std::abort();
        }
    }

    OCIEnv *env() const { return m_env; }
    OCIError *err() const { return m_err; }
    OCISvcCtx *svc() const { return m_svc; }

private:
    static int64_t now()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void alloc(void **handle, ub4 type)
    {
        if (OCIHandleAlloc(m_env, handle, type, 0, nullptr) != 0)
            std::abort();
    }

    // The configuration naming dir as the FUZZ alias: the sample schemas of DEMO and HR.
    // Sizes and times of the run's schema files and their write-ahead logs (not of the shared
    // memory index, which readers touch too).
    std::string fingerprint() const
    {
        std::string out;
        const fs::path dir = m_home / (m_run > 1 ? "run" + std::to_string(m_run - 1) : "template");
        std::error_code error;
        for (const fs::directory_entry &e : fs::directory_iterator(dir, error)) {
            const std::string name = e.path().filename().string();
            if (name.size() >= 4 && name.compare(name.size() - 4, 4, "-shm") == 0)
                continue;
            out += name + ':' + std::to_string(e.file_size(error)) + ':'
                + std::to_string(e.last_write_time(error).time_since_epoch().count()) + ';';
        }
        return out;
    }

    void writeConfig(const fs::path &dir)
    {
        const fs::path file = m_home / ("standin" + std::to_string(m_run) + ".conf");
        std::ofstream(file) << "[alias FUZZ]\ndirectory = " << dir.string()
                            << "\ndemo = yes\ndefault = yes\nlock_wait_ms = 50\n"
                               "[user DEMO@FUZZ]\npassword = DEMO\n[user HR@FUZZ]\npassword = HR\n";
        if (m_run > 0)
            fs::remove(m_home / ("standin" + std::to_string(m_run - 1) + ".conf"));
        setenv("QD_STANDIN_CONFIG", file.c_str(), 1);
    }

    void watch()
    {
        while (!m_stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const int64_t deadline = m_deadline.load();
            if (deadline != 0 && now() > deadline)
                OCIBreak(m_svc, m_breakErr);
        }
    }

    fs::path m_home;
    int m_run = 0;
    std::string m_fingerprint;
    OCIEnv *m_env = nullptr;
    OCIError *m_err = nullptr;
    OCIServer *m_srv = nullptr;
    OCISvcCtx *m_svc = nullptr;
    OCISession *m_usr = nullptr;
    OCIError *m_breakErr = nullptr;
    std::atomic<int64_t> m_deadline { 0 };
    std::atomic<bool> m_stop { false };
    std::thread m_watchdog;
};

} // namespace fuzzclient
