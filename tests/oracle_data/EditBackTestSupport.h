#pragma once

// Sessions on the stand-in's DEMO database (user DEMO/DEMO, alias DEMO), loaded through the
// product's own loader, with the stand-in's statement trace.

#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/QStringPrinter.h"

#include <QLibrary>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace qd::test {

class EditBackTrace {
public:
    static EditBackTrace &get()
    {
        static EditBackTrace trace;
        return trace;
    }
    bool complete() const { return m_count && m_get && m_clear; }
    QStringList texts(void *svc) const
    {
        QStringList result;
        const int n = m_count(svc);
        for (int i = 0; i < n; ++i) {
            QByteArray buffer(65536, '\0');
            m_get(svc, i, buffer.data(), static_cast<int>(buffer.size()));
            result.append(QString::fromUtf8(buffer.constData()));
        }
        return result;
    }
    void clear(void *svc) const { m_clear(svc); }
    // The statements sent since the last call, line breaks as "\n", trimmed; clears the trace.
    QStringList take(void *svc) const
    {
        QStringList result;
        for (const QString &text : texts(svc))
            result.append(QString(text).remove(u'\r').trimmed());
        clear(svc);
        return result;
    }

private:
    EditBackTrace()
        : m_library(standinLibraryPath())
    {
        m_library.load();
        m_count = reinterpret_cast<int (*)(void *)>(m_library.resolve("qdsi_trace_count"));
        m_get = reinterpret_cast<int (*)(void *, int, char *, int)>(
            m_library.resolve("qdsi_trace_get"));
        m_clear = reinterpret_cast<void (*)(void *)>(m_library.resolve("qdsi_trace_clear"));
    }
    QLibrary m_library;
    int (*m_count)(void *) = nullptr;
    int (*m_get)(void *, int, char *, int) = nullptr;
    void (*m_clear)(void *) = nullptr;
};

class StandinSessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOCIDLL(standinLibraryPath());
        session = newSession();
    }
    void TearDown() override
    {
        for (auto *s : { &other, &session }) {
            if (*s) {
                try {
                    (*s)->LogOff();
                } catch (...) {
                }
                s->reset();
            }
        }
    }

    static std::unique_ptr<TOracleSession> newSession()
    {
        auto s = std::make_unique<TOracleSession>();
        s->SetLogonUsername(QStringLiteral("DEMO"));
        s->SetLogonPassword(QStringLiteral("DEMO"));
        s->SetLogonDatabase(QStringLiteral("DEMO"));
        s->LogOn();
        return s;
    }

    void run(const QString &sql, TOracleSession *on = nullptr)
    {
        TOracleQuery q;
        q.SetSession(on ? on : session.get());
        q.SQL().SetText(sql);
        q.Execute();
    }
    void runIgnoringErrors(const QString &sql)
    {
        try {
            run(sql);
        } catch (const EOracleError &) {
        }
    }
    QString scalar(const QString &sql, TOracleSession *on = nullptr)
    {
        TOracleQuery q;
        q.SetSession(on ? on : session.get());
        q.SQL().SetText(sql);
        q.Execute();
        return q.Eof() ? QStringLiteral("<no row>") : q.FieldAsString(0);
    }

    QStringList trace() const { return EditBackTrace::get().texts(session->ServiceContext()); }
    void clearTrace() const { EditBackTrace::get().clear(session->ServiceContext()); }

    std::unique_ptr<TOracleSession> session;
    std::unique_ptr<TOracleSession> other;
};

} // namespace qd::test
