#pragma once

// A prepared statement of a session's connection that finalizes itself and reports SQLite's
// failures as the server's errors.

#include "engine/Session.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace qdsi::engine {

class SessionQuery {
public:
    SessionQuery(Session &session, const std::string &sql)
        : m_session(session)
    {
        const int rc = sqlite3_prepare_v2(session.db(), sql.c_str(), -1, &m_stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            throw session.sqliteError(rc);
        }
    }
    ~SessionQuery() { sqlite3_finalize(m_stmt); }
    SessionQuery(const SessionQuery &) = delete;
    SessionQuery &operator=(const SessionQuery &) = delete;

    SessionQuery &text(int i, const std::string &v)
    {
        sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    SessionQuery &integer(int i, int64_t v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    // True while there is a row.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw m_session.sqliteError(rc);
        return false;
    }
    void run()
    {
        while (step()) { }
    }
    int64_t integerAt(int c) const { return sqlite3_column_int64(m_stmt, c); }
    bool isNull(int c) const { return sqlite3_column_type(m_stmt, c) == SQLITE_NULL; }
    std::string textAt(int c) const
    {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c));
        return t ? std::string(t, static_cast<size_t>(sqlite3_column_bytes(m_stmt, c))) : "";
    }
    sqlite3_stmt *handle() const { return m_stmt; }

private:
    Session &m_session;
    sqlite3_stmt *m_stmt = nullptr;
};

} // namespace qdsi::engine
