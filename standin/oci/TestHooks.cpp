// Hooks for tests, exported with the qdsi_ prefix: what a session received, how many round
// trips it made, whether a call is running, and faults to inject.
#include "Export.h"
#include "oci/Handles.h"
#include "oci/Logon.h"

#include <cstring>

using namespace qdsi;
using namespace qdsi::oci;

namespace {

engine::Session *sessionOf(void *svchp)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    if (!service || !service->session)
        return nullptr;
    return service->session->session.get();
}

} // namespace

// Number of statement texts the session has executed since logon or the last clear.
QDSI_EXPORT int qdsi_trace_count(void *svchp)
{
    engine::Session *s = sessionOf(svchp);
    return s ? static_cast<int>(s->trace().size()) : -1;
}

// Copies statement `index` (0 = first) into buf (NUL-terminated, cut to size); returns its full
// length, or -1 when there is no such statement.
QDSI_EXPORT int qdsi_trace_get(void *svchp, int index, char *buf, int size)
{
    engine::Session *s = sessionOf(svchp);
    if (!s || index < 0)
        return -1;
    const std::vector<std::string> trace = s->trace();
    if (static_cast<size_t>(index) >= trace.size())
        return -1;
    const std::string &text = trace[static_cast<size_t>(index)];
    if (buf && size > 0) {
        const size_t n = std::min<size_t>(static_cast<size_t>(size) - 1, text.size());
        std::memcpy(buf, text.data(), n);
        buf[n] = '\0';
    }
    return static_cast<int>(text.size());
}

QDSI_EXPORT void qdsi_trace_clear(void *svchp)
{
    if (engine::Session *s = sessionOf(svchp))
        s->clearTrace();
}

// Calls that went to the server (execute, fetch, commit, rollback) since logon or the last reset.
QDSI_EXPORT int qdsi_round_trips(void *svchp)
{
    engine::Session *s = sessionOf(svchp);
    return s ? static_cast<int>(s->roundTrips()) : -1;
}

QDSI_EXPORT void qdsi_reset_round_trips(void *svchp)
{
    if (engine::Session *s = sessionOf(svchp))
        s->resetRoundTrips();
}

// 1 while a call runs on the service context's session, 0 when idle, -1 without a session.
QDSI_EXPORT int qdsi_call_in_progress(void *svchp)
{
    engine::Session *s = sessionOf(svchp);
    return s ? (s->callInProgress() ? 1 : 0) : -1;
}

// The next session begin in the process fails with this ORA code (0 cancels).
QDSI_EXPORT void qdsi_fail_next_logon(int oraCode)
{
    failNextLogon(oraCode);
}

// Session begins on the alias (empty: on every alias) wait until called with null, at most a
// minute.
QDSI_EXPORT void qdsi_hold_logons(const char *alias)
{
    holdLogons(alias);
}

// Number of session begins waiting for the hold.
QDSI_EXPORT int qdsi_held_logons()
{
    return heldLogonCount();
}

// The session's connection is lost: its next call fails with ORA-03113, later ones with
// ORA-03114. Returns 0, or -1 without a session.
QDSI_EXPORT int qdsi_lose_connection(void *svchp)
{
    engine::Session *s = sessionOf(svchp);
    if (!s)
        return -1;
    s->loseConnection();
    return 0;
}

// The session's next fetch waits until OCIBreak ends it with ORA-01013.
QDSI_EXPORT int qdsi_block_next_fetch(void *svchp)
{
    engine::Session *s = sessionOf(svchp);
    if (!s)
        return -1;
    s->blockNextFetch = true;
    return 0;
}

// Every row the session fetches takes this long (breakable); 0 switches the delay off.
QDSI_EXPORT int qdsi_set_row_delay(void *svchp, int milliseconds)
{
    engine::Session *s = sessionOf(svchp);
    if (!s)
        return -1;
    s->rowDelayMs = milliseconds < 0 ? 0 : milliseconds;
    return 0;
}

// Version of the stand-in library, so that a loader can tell it apart from a real client.
QDSI_EXPORT const char *qdsi_version()
{
    return "qdstandin 1";
}
