#pragma once

// Sessions on a database of the stand-in made for the description tests: alias QDDESC with the
// sample schema in DEMO, the second sample schema in HR, and a user "Dev" whose name is quoted
// mixed case. The fixture objects are made once per process:
//   DEMO.ORDER_LINES  composite key (LINE_NO, ORDER_ID) declared against the column order, a
//                     plain NUMBER, a DATE, a CHAR, a column name longer than 32 characters,
//                     an enabled and a disabled check and a two-column index;
//   DEMO.SHIPMENTS    a two-column foreign key to ORDER_LINES;
//   DEMO.BARE         no keys, checks or indexes;
//   HR.STAFF          a private synonym for HR.JOBS, beside the public STAFF for DEMO.EMP;
//   "Dev"."Orders"    a quoted mixed-case table of the quoted mixed-case user, with a quoted
//                     mixed-case index;
//   QDSI_OBJECTS rows of DEMO: a package whose body row comes first, and a lone body.
// Statement texts are compared with the files in golden/. After a deliberate change of a
// statement or a listing, regenerate them with
//   QD_UPDATE_GOLDEN=1 build/tests/test_browsers --gtest_filter='Describe*'
// and review the difference before committing it.

#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <memory>

namespace qd::test {

// The stand-in's statement trace of a session.
class DescribeTrace {
public:
    DescribeTrace()
        : m_library(standinLibraryPath())
    {
        m_library.load();
        m_count = reinterpret_cast<int (*)(void *)>(m_library.resolve("qdsi_trace_count"));
        m_get = reinterpret_cast<int (*)(void *, int, char *, int)>(
            m_library.resolve("qdsi_trace_get"));
        m_clear = reinterpret_cast<void (*)(void *)>(m_library.resolve("qdsi_trace_clear"));
    }
    bool complete() const { return m_count && m_get && m_clear; }
    // The statements since the last take, each followed by a line "/"; clears the trace.
    QStringList take(TOracleSession &session) const
    {
        QStringList texts;
        void *svc = session.ServiceContext();
        const int n = m_count(svc);
        for (int i = 0; i < n; ++i) {
            QByteArray buffer(65536, '\0');
            m_get(svc, i, buffer.data(), static_cast<int>(buffer.size()));
            QString text = QString::fromUtf8(buffer.constData()).remove(u'\r');
            if (text.endsWith(u'\n'))
                text.chop(1);
            texts << text.split(u'\n') << QStringLiteral("/");
        }
        m_clear(svc);
        return texts;
    }

private:
    QLibrary m_library;
    int (*m_count)(void *) = nullptr;
    int (*m_get)(void *, int, char *, int) = nullptr;
    void (*m_clear)(void *) = nullptr;
};

class DescribeFixture : public ::testing::Test {
protected:
    static constexpr const char *Alias = "QDDESC";

    void SetUp() override
    {
        ASSERT_TRUE(useDescribeDatabase());
        ASSERT_TRUE(trace.complete());
        session = logOn(QStringLiteral("DEMO"), QStringLiteral("DEMO"));
        ASSERT_TRUE(session && session->Connected());
        static bool built = false;
        if (!built) {
            buildFixture();
            built = true;
        }
        trace.take(*session);
    }

    void TearDown() override
    {
        for (auto *s : { &other, &session })
            if (*s) {
                try {
                    (*s)->LogOff();
                } catch (...) {
                }
                s->reset();
            }
        // The describe database's configuration knows only its own alias: later tests in this
        // process log on to the usual ones.
        qunsetenv("QD_STANDIN_CONFIG");
    }

    static std::unique_ptr<TOracleSession> logOn(const QString &user, const QString &password)
    {
        auto s = std::make_unique<TOracleSession>();
        s->SetLogonUsername(user);
        s->SetLogonPassword(password);
        s->SetLogonDatabase(QLatin1String(Alias));
        s->LogOn();
        return s;
    }

    static void run(TOracleSession &on, const QString &sql)
    {
        TOracleQuery q;
        q.SetSession(&on);
        q.SQL().SetText(sql);
        q.Execute();
    }

    // Compares text (one entry per line; each line ends in "|" so padding shows) with
    // golden/<name>.
    static void expectGolden(const QString &name, const QStringList &lines)
    {
        QString actual;
        for (const QString &line : lines)
            actual += line + QStringLiteral("|\n");
        const QString path
            = QDir(qd::test::testsSourceDirectory() + QStringLiteral("/browsers/golden")).filePath(name);
        if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN")) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QSaveFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(actual.toUtf8());
            ASSERT_TRUE(out.commit());
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(actual, QString::fromUtf8(file.readAll())) << name.toStdString();
    }

    std::unique_ptr<TOracleSession> session; // DEMO
    std::unique_ptr<TOracleSession> other; // another user, when a test needs one
    DescribeTrace trace;

private:
    static bool useDescribeDatabase()
    {
        static const QString path = writeDescribeConfiguration();
        if (path.isEmpty())
            return false;
        qputenv("QD_STANDIN_CONFIG", QFile::encodeName(path));
        SetOCIDLL(standinLibraryPath());
        return true;
    }

    // The stand-in configuration naming the describe database and its users; empty on failure.
    static QString writeDescribeConfiguration()
    {
        const QString path = QDir(programDirectory()).filePath(QStringLiteral("describe-standin.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write("[alias QDDESC]\ndirectory = describe-db\ndemo = yes\n"
                   "[user DEMO@QDDESC]\npassword = DEMO\n"
                   "[user HR@QDDESC]\npassword = HR\n"
                   "[user \"Dev\"@QDDESC]\npassword = dev\n");
        file.close();
        return path;
    }

    void buildFixture()
    {
        TOracleSession &demo = *session;
        run(demo,
            QStringLiteral("create table order_lines (order_id number(9) not null, "
                           "line_no number(4) not null, amount number, shipped date, "
                           "a_column_name_longer_than_thirty_two_chars varchar2(20), "
                           "status char(1), "
                           "constraint pk_order_lines primary key (line_no, order_id), "
                           "constraint ck_order_lines_amount check (amount >= 0))"));
        run(demo,
            QStringLiteral("alter table order_lines add constraint ck_order_lines_status "
                           "check (status in ('O', 'S')) disable"));
        run(demo,
            QStringLiteral("create index order_lines_shipped_ix on order_lines (shipped, status)"));
        run(demo,
            QStringLiteral("create table shipments (shipment_id number(9) primary key, "
                           "line_no number(4), order_id number(9), "
                           "constraint fk_shipments_line foreign key (line_no, order_id) "
                           "references order_lines (line_no, order_id))"));
        run(demo, QStringLiteral("create table bare (x number)"));
        run(demo,
            QStringLiteral("create table qdsi_objects (object_name varchar2(128), "
                           "object_type varchar2(23))"));
        run(demo, QStringLiteral("insert into qdsi_objects values ('BODY_FIRST', 'PACKAGE BODY')"));
        run(demo, QStringLiteral("insert into qdsi_objects values ('BODY_FIRST', 'PACKAGE')"));
        run(demo, QStringLiteral("insert into qdsi_objects values ('ONLY_BODY', 'PACKAGE BODY')"));
        demo.Commit();

        const auto hr = logOn(QStringLiteral("HR"), QStringLiteral("HR"));
        run(*hr, QStringLiteral("create synonym staff for jobs"));
        hr->Commit();
        hr->LogOff();

        const auto dev = logOn(QStringLiteral("\"Dev\""), QStringLiteral("dev"));
        run(*dev,
            QStringLiteral(
                "create table \"Orders\" (\"Id\" number(6) constraint \"Orders_Pk\" primary key, "
                "\"Placed\" date, note varchar2(40))"));
        run(*dev,
            QStringLiteral("create index \"Orders_Placed\" on \"Orders\" (\"Placed\", note)"));
        dev->Commit();
        dev->LogOff();
    }
};

} // namespace qd::test
