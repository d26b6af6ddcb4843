#include "EditLobLocators.h"

#include "classlib/Exception.h"
#include "oracle/LOBLocator.h"
#include "oracle/OracleQuery.h"

namespace qd {

EditLobLocators::EditLobLocators(TOracleSession *session, bool cacheTemporary)
    : m_session(session)
    , m_cacheTemporary(cacheTemporary)
{
}

EditLobLocators::~EditLobLocators()
{
    // The query outlives the locators: it must not keep their addresses.
    if (m_query) {
        for (const Entry &entry : m_entries) {
            try {
                m_query->SetComplexVariable(entry.write.variable, nullptr);
            } catch (...) {
            }
        }
    }
}

void EditLobLocators::Bind(
    TOracleQuery &query, const QList<EditLobWrite> &writes, const DataOf &dataOf)
{
    m_query = &query;
    for (const EditLobWrite &write : writes) {
        Entry entry { write, nullptr };
        if (write.temporary) {
            entry.locator.reset(
                TLOBLocator::CreateTemporary(m_session, write.type, m_cacheTemporary));
            writeAll(*entry.locator, dataOf(write));
        } else {
            entry.locator = std::make_unique<TLOBLocator>(m_session, write.type);
        }
        m_entries.push_back(std::move(entry));
        query.SetComplexVariable(write.variable, m_entries.back().locator.get());
    }
}

void EditLobLocators::WriteReturned(const DataOf &dataOf)
{
    for (Entry &entry : m_entries) {
        if (entry.write.temporary || entry.locator->IsNull())
            continue;
        const QByteArray data = dataOf(entry.write);
        if (!data.isEmpty())
            writeAll(*entry.locator, data);
    }
}

void EditLobLocators::writeAll(TLOBLocator &locator, const QByteArray &data)
{
    if (data.isEmpty())
        return;
    locator.Seek(0, 0);
    // One write of the whole value. The server counts the amount in its own units (characters
    // for a CLOB), so only a write that took nothing is known to have failed.
    if (locator.Write(data.constData(), data.size()) <= 0)
        throw Exception(QStringLiteral("The LOB value could not be written"));
}

} // namespace qd
