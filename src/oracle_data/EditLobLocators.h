#pragma once

#include "EditStatement.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <vector>

namespace qd {

class TLOBLocator;
class TOracleQuery;
class TOracleSession;

// The LOB locators of one posted statement. A LOB column's value reaches the server through a
// locator: a temporary LOB that holds the value and is bound like any other value, or the
// locator of the empty LOB the statement's RETURNING hands back, which the value is written to
// after execution. The locators are unbound and freed with this object, whatever happened.
class EditLobLocators {
public:
    // The server form of a column's value: CLOB text after the session's conversion as UTF-8,
    // BLOB bytes as stored (compressed when the dataset compresses them).
    using DataOf = std::function<QByteArray(const EditLobWrite &)>;

    // cacheTemporary: temporary LOBs are read through the server's buffer cache.
    EditLobLocators(TOracleSession *session, bool cacheTemporary);
    ~EditLobLocators();
    EditLobLocators(const EditLobLocators &) = delete;
    EditLobLocators &operator=(const EditLobLocators &) = delete;

    // Before execution: one locator per LOB column bound on query (declared already), a
    // temporary one filled with its value or an empty one for RETURNING to fill.
    void Bind(TOracleQuery &query, const QList<EditLobWrite> &writes, const DataOf &dataOf);
    // After execution: each value that holds at least one byte goes to the locator returned
    // for its column, unless the server returned a null one.
    void WriteReturned(const DataOf &dataOf);

private:
    struct Entry {
        EditLobWrite write;
        std::unique_ptr<TLOBLocator> locator;
    };
    static void writeAll(TLOBLocator &locator, const QByteArray &data);

    TOracleSession *m_session;
    bool m_cacheTemporary;
    TOracleQuery *m_query = nullptr;
    std::vector<Entry> m_entries;
};

} // namespace qd
