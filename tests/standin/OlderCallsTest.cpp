// The older cursor calls through the public C interface: logon data area and cursor data areas
// in the product's own declaration of their layout, select, insert with binds, commit and
// rollback, describe, LONG reads in parts, message texts without a session, and the switch of
// one connection between the two interfaces.
#include "StandinClient.h"

#include "common/TestSupport.h"
#include "oracle/OracleCI.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

using namespace qd::test::standin;
using Area = qd::cda_def;

namespace {

template <class F> F exported(const char *name)
{
    auto *p = reinterpret_cast<F>(symbol(name));
    EXPECT_NE(p, nullptr) << "missing export " << name;
    return p;
}

// The older calls with their published signatures.
struct Oci7 {
    using uchar = unsigned char;
    sword (*olog)(Area *, uchar *, text *, sword, text *, sword, text *, sword, ub4)
        = exported<decltype(olog)>("olog");
    sword (*orlon)(Area *, uchar *, text *, sword, text *, sword, sword)
        = exported<decltype(orlon)>("orlon");
    sword (*ologof)(Area *) = exported<decltype(ologof)>("ologof");
    sword (*ocom)(Area *) = exported<decltype(ocom)>("ocom");
    sword (*orol)(Area *) = exported<decltype(orol)>("orol");
    sword (*ocon)(Area *) = exported<decltype(ocon)>("ocon");
    sword (*ocof)(Area *) = exported<decltype(ocof)>("ocof");
    sword (*obreak)(Area *) = exported<decltype(obreak)>("obreak");
    sword (*oerhms)(Area *, sb2, text *, sword) = exported<decltype(oerhms)>("oerhms");
    sword (*oopen)(Area *, Area *, text *, sword, sword, text *, sword)
        = exported<decltype(oopen)>("oopen");
    sword (*oparse)(Area *, text *, sb4, sword, ub4) = exported<decltype(oparse)>("oparse");
    sword (*obndra)(Area *, text *, sword, uchar *, sword, sword, sword, sb2 *, ub2 *, ub2 *, ub4,
        ub4 *, text *, sword, sword)
        = exported<decltype(obndra)>("obndra");
    sword (*oexn)(Area *, sword, sword) = exported<decltype(oexn)>("oexn");
    sword (*oexec)(Area *) = exported<decltype(oexec)>("oexec");
    sword (*oexfet)(Area *, ub4, sword, sword) = exported<decltype(oexfet)>("oexfet");
    sword (*ofen)(Area *, sword) = exported<decltype(ofen)>("ofen");
    sword (*odescr)(Area *, sword, sb4 *, sb2 *, signed char *, sb4 *, sb4 *, sb2 *, sb2 *, sb2 *)
        = exported<decltype(odescr)>("odescr");
    sword (*odefin)(
        Area *, sword, uchar *, sword, sword, sword, sb2 *, text *, sword, sword, ub2 *, ub2 *)
        = exported<decltype(odefin)>("odefin");
    sword (*oflng)(Area *, sword, uchar *, sb4, sword, ub4 *, sb4)
        = exported<decltype(oflng)>("oflng");
    sword (*oclose)(Area *) = exported<decltype(oclose)>("oclose");
    sword (*opinit)(ub4) = exported<decltype(opinit)>("opinit");
    sword (*SvcCtxToLda)(void *, void *, Area *)
        = exported<decltype(SvcCtxToLda)>("OCISvcCtxToLda");
    sword (*LdaToSvcCtx)(void **, void *, Area *)
        = exported<decltype(LdaToSvcCtx)>("OCILdaToSvcCtx");
};

const Oci7 &oci7()
{
    static const Oci7 calls;
    return calls;
}

text *t(const char *s)
{
    return reinterpret_cast<text *>(const_cast<char *>(s));
}

// One older-interface logon with its host data area.
struct OldLogon {
    Area lda {};
    unsigned char hda[qd::HDA_SIZE] {};
    sword logon(const char *connect)
    {
        return oci7().olog(&lda, hda, t(connect), -1, nullptr, -1, nullptr, -1, 0);
    }
    ~OldLogon() { oci7().ologof(&lda); }
};

// One cursor data area opened on a logon.
struct OldCursor {
    explicit OldCursor(Area &lda)
    {
        EXPECT_EQ(oci7().oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0) << cda.rc;
    }
    ~OldCursor() { oci7().oclose(&cda); }
    sword parse(const char *sql, bool deferred = true)
    {
        return oci7().oparse(&cda, t(sql), -1, deferred ? 1 : 0, 2);
    }
    sword bind(const char *name, void *value, sword size, sword type, sb2 *ind = nullptr)
    {
        return oci7().obndra(&cda, t(name), -1, static_cast<unsigned char *>(value), size, type, -1,
            ind, nullptr, nullptr, 0, nullptr, nullptr, -1, -1);
    }
    sword define(int pos, void *buf, sword size, sword type, sb2 *ind = nullptr,
        ub2 *rlen = nullptr, ub2 *rcode = nullptr)
    {
        return oci7().odefin(&cda, pos, static_cast<unsigned char *>(buf), size, type, -1, ind,
            nullptr, -1, -1, rlen, rcode);
    }
    Area cda {};
};

class OlderCalls : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO/DEMO@DEMO"), 0) << db.lda.rc; }
    OldLogon db;
};

int countRows(const char *sql)
{
    Connection other;
    EXPECT_EQ(other.logon("DEMO", "DEMO"), SUCCESS);
    Cursor c(other, sql);
    int32_t n = -1;
    void *def = nullptr;
    api().DefineByPos(c.stmt, &def, c.err, 1, &n, 4, SQLT_INT, nullptr, nullptr, nullptr, DEFAULT);
    EXPECT_EQ(c.execute(1), SUCCESS) << c.errorText();
    return n;
}

} // namespace

TEST(OlderCallsLayout, AreasHaveThePublicSixtyFourBitLayout)
{
    // The product reads these fields at these places; the stand-in must write them there.
    EXPECT_EQ(sizeof(Area), 64u);
    EXPECT_EQ(offsetof(Area, v2_rc), 0u);
    EXPECT_EQ(offsetof(Area, ft), 2u);
    EXPECT_EQ(offsetof(Area, rpc), 4u);
    EXPECT_EQ(offsetof(Area, peo), 8u);
    EXPECT_EQ(offsetof(Area, fc), 10u);
    EXPECT_EQ(offsetof(Area, rc), 12u);
    EXPECT_EQ(offsetof(Area, wrn), 14u);
    EXPECT_EQ(offsetof(Area, rcsp), 48u);
}

TEST_F(OlderCalls, SelectDescribesDefinesAndFetchesInArrays)
{
    OldCursor c(db.lda);
    ASSERT_EQ(c.parse("select empno, ename from emp order by empno"), 0) << c.cda.rc;
    EXPECT_EQ(c.cda.ft, 4); // SELECT

    // Describe until the call reports the position past the last column.
    std::vector<std::string> names;
    std::vector<sb2> types;
    for (int pos = 1;; ++pos) {
        sb4 size = 0, nameLength = 30, displaySize = 0;
        sb2 type = 0, precision = 0, scale = 0, nullOk = 0;
        signed char name[31] = {};
        if (oci7().odescr(&c.cda, pos, &size, &type, name, &nameLength, &displaySize, &precision,
                &scale, &nullOk)
            != 0) {
            EXPECT_EQ(c.cda.rc, 1007);
            break;
        }
        names.emplace_back(reinterpret_cast<char *>(name), static_cast<size_t>(nameLength));
        types.push_back(type);
    }
    EXPECT_EQ(names, (std::vector<std::string> { "EMPNO", "ENAME" }));
    EXPECT_EQ(types, (std::vector<sb2> { 2, 1 }));

    int32_t empno[3] = {};
    char ename[3][11] = {};
    ASSERT_EQ(c.define(1, empno, 4, SQLT_INT), 0) << c.cda.rc;
    ASSERT_EQ(c.define(2, ename, 11, SQLT_STR), 0) << c.cda.rc;
    ASSERT_EQ(oci7().oexfet(&c.cda, 3, 0, 0), 0) << c.cda.rc;
    EXPECT_EQ(c.cda.rpc, 3u);
    EXPECT_EQ(empno[0], 101);
    EXPECT_STREQ(ename[2], "MORETTI");
    ASSERT_EQ(oci7().ofen(&c.cda, 3), 0) << c.cda.rc;
    EXPECT_EQ(c.cda.rpc, 6u); // rows processed count every row fetched so far
    EXPECT_EQ(empno[0], 104);
    EXPECT_NE(oci7().ofen(&c.cda, 3), 0);
    EXPECT_EQ(c.cda.rc, 1403);
    EXPECT_EQ(c.cda.rpc, 8u);
    EXPECT_STREQ(ename[1], "ANDERSEN");
}

TEST_F(OlderCalls, InsertWithBindsCommitsAndRollsBack)
{
    OldCursor c(db.lda);
    // Data definition runs at an immediate parse.
    ASSERT_EQ(c.parse("create table old_notes (id number(4), note varchar2(20))", false), 0)
        << c.cda.rc;
    ASSERT_EQ(c.parse("insert into old_notes (id, note) values (:id, :note)"), 0) << c.cda.rc;
    EXPECT_EQ(c.cda.ft, 3); // INSERT
    int32_t ids[2] = { 1, 2 };
    char notes[2][8] = { "first", "second" };
    ASSERT_EQ(c.bind(":id", ids, 4, SQLT_INT), 0) << c.cda.rc;
    ASSERT_EQ(c.bind(":note", notes, 8, SQLT_STR), 0) << c.cda.rc;
    ASSERT_EQ(oci7().oexn(&c.cda, 2, 0), 0) << c.cda.rc;
    EXPECT_EQ(c.cda.rpc, 2u);
    ASSERT_EQ(oci7().ocom(&db.lda), 0) << db.lda.rc;
    EXPECT_EQ(countRows("select count(*) from old_notes"), 2);

    ids[0] = 3;
    ASSERT_EQ(oci7().oexn(&c.cda, 1, 0), 0) << c.cda.rc;
    ASSERT_EQ(oci7().orol(&db.lda), 0) << db.lda.rc;
    EXPECT_EQ(countRows("select count(*) from old_notes"), 2);

    // With auto-commit on, each execute commits by itself.
    ASSERT_EQ(oci7().ocon(&db.lda), 0);
    ASSERT_EQ(oci7().oexn(&c.cda, 1, 0), 0) << c.cda.rc;
    EXPECT_EQ(countRows("select count(*) from old_notes"), 3);
    ASSERT_EQ(oci7().ocof(&db.lda), 0);
}

TEST_F(OlderCalls, ErrorsLandInTheAreas)
{
    OldCursor c(db.lda);
    // An immediate parse reports the error and where the text went wrong.
    EXPECT_NE(c.parse("select ename frm emp", false), 0);
    EXPECT_NE(c.cda.rc, 0);
    EXPECT_EQ(c.cda.v2_rc, -static_cast<int>(c.cda.rc));
    EXPECT_GT(c.cda.peo, 0);
    // A missing bind, a fetch before execute and an unknown variable.
    ASSERT_EQ(c.parse("select ename from emp where empno = :e"), 0);
    EXPECT_NE(oci7().oexec(&c.cda), 0);
    EXPECT_EQ(c.cda.rc, 1008);
    int32_t e = 101;
    EXPECT_NE(c.bind(":nothere", &e, 4, SQLT_INT), 0);
    EXPECT_EQ(c.cda.rc, 1036);
    EXPECT_NE(oci7().ofen(&c.cda, 1), 0);
    EXPECT_EQ(c.cda.rc, 1002);
    // A cursor area that was never opened, a logon area that is not logged on.
    Area stray {};
    EXPECT_NE(oci7().ofen(&stray, 1), 0);
    EXPECT_EQ(stray.rc, 1001);
    Area loggedOff {};
    EXPECT_NE(oci7().ocom(&loggedOff), 0);
    EXPECT_EQ(loggedOff.rc, 1012);
}

TEST_F(OlderCalls, TruncatedValueSetsTheWarningByteAndReturnCode)
{
    OldCursor c(db.lda);
    ASSERT_EQ(c.parse("select ename from emp where empno = 101"), 0);
    char name[4] = {};
    sb2 ind = 0;
    ub2 rcode = 0;
    ASSERT_EQ(c.define(1, name, 4, SQLT_STR, &ind, nullptr, &rcode), 0);
    EXPECT_EQ(oci7().oexfet(&c.cda, 1, 0, 0), 0);
    EXPECT_EQ(c.cda.rc, 1406);
    EXPECT_EQ(c.cda.wrn & 0x03, 0x03); // a warning, and it is a truncation
    EXPECT_EQ(c.cda.wrn & 0x20, 0);
    EXPECT_EQ(rcode, 1406);
    EXPECT_STREQ(name, "HAL");
}

TEST_F(OlderCalls, LongColumnIsReadInPartsWithOflng)
{
    OldCursor c(db.lda);
    ASSERT_EQ(c.parse("create table old_longs (id number, body long)", false), 0) << c.cda.rc;
    std::string body(10000, ' ');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 26);
    ASSERT_EQ(c.parse("insert into old_longs values (1, :b)"), 0);
    ASSERT_EQ(c.bind(":b", body.data(), static_cast<sword>(body.size()), 8), 0) << c.cda.rc;
    ASSERT_EQ(oci7().oexec(&c.cda), 0) << c.cda.rc;

    ASSERT_EQ(c.parse("select body from old_longs"), 0);
    std::string first(4096, '\0');
    ub2 length = 0;
    sb2 ind = 0;
    ASSERT_EQ(c.define(1, first.data(), 4096, 8, &ind, &length), 0);
    oci7().oexfet(&c.cda, 1, 0, 0);
    ASSERT_TRUE(c.cda.rc == 0 || c.cda.rc == 1406) << c.cda.rc;
    ASSERT_EQ(length, 4096); // the buffer was filled: the rest comes through oflng
    const ub4 rows = c.cda.rpc;
    std::string rest(8000, '\0');
    ub4 got = 0;
    ASSERT_EQ(oci7().oflng(
                  &c.cda, 1, reinterpret_cast<unsigned char *>(rest.data()), 8000, 8, &got, 4096),
        0)
        << c.cda.rc;
    EXPECT_EQ(got, 10000u - 4096u);
    EXPECT_EQ(first + rest.substr(0, got), body);
    EXPECT_EQ(c.cda.rpc, rows);
    // Past the end nothing more arrives.
    EXPECT_EQ(oci7().oflng(
                  &c.cda, 1, reinterpret_cast<unsigned char *>(rest.data()), 8000, 8, &got, 20000),
        0);
    EXPECT_EQ(got, 0u);
}

TEST(OlderCallsLogon, ConnectStringForms)
{
    struct Case {
        const char *connect;
        int rc;
    } cases[] = {
        { "DEMO/DEMO@DEMO", 0 },
        { "demo/demo", 0 }, // the default database
        { "DEMO/DEMO@DEMO as sysdba", 0 },
        { "DEMO/wrong@DEMO", 1017 },
        { "DEMO/DEMO@NOWHERE", 12154 },
    };
    for (const Case &c : cases) {
        OldLogon l;
        EXPECT_EQ(l.logon(c.connect), c.rc == 0 ? 0 : -1) << c.connect;
        EXPECT_EQ(l.lda.rc, c.rc) << c.connect;
    }
    // orlon with user and password apart.
    OldLogon l;
    unsigned char hda[qd::HDA_SIZE] = {};
    EXPECT_EQ(oci7().orlon(&l.lda, hda, t("DEMO@DEMO"), -1, t("DEMO"), -1, 0), -1);
    EXPECT_EQ(oci7().orlon(&l.lda, hda, t("DEMO"), -1, t("DEMO"), -1, 0), 0) << l.lda.rc;
    EXPECT_EQ(oci7().opinit(0), 0);
    EXPECT_EQ(oci7().ologof(&l.lda), 0);
    EXPECT_NE(oci7().ologof(&l.lda), 0);
    EXPECT_EQ(l.lda.rc, 1012);
}

TEST(OlderCallsMessages, TextsWithoutASession)
{
    struct Case {
        int code;
        const char *text;
    } cases[] = {
        { 1, "ORA-00001: unique constraint (.) violated" },
        { 2290, "ORA-02290: check constraint (.) violated" },
        { 2291, "ORA-02291: integrity constraint (.) violated - parent key not found" },
        { 2292, "ORA-02292: integrity constraint (.) violated - child record found" },
        { 1403, "ORA-01403: no data found" },
        { 1007, "ORA-01007: variable not in select list" },
        { 22920, "ORA-22920: row containing the LOB value is not locked" },
    };
    for (const Case &c : cases) {
        char buffer[2001] = {};
        Area scratch {};
        EXPECT_GT(oci7().oerhms(&scratch, static_cast<sb2>(c.code), t(buffer), 2001), 0);
        EXPECT_STREQ(buffer, c.text);
        std::memset(buffer, 0, sizeof buffer);
        oci7().oerhms(nullptr, static_cast<sb2>(c.code), t(buffer), 2001);
        EXPECT_STREQ(buffer, c.text);
    }
    // A short buffer gets a cut, terminated text.
    char small[10];
    oci7().oerhms(nullptr, 1403, t(small), sizeof small);
    EXPECT_STREQ(small, "ORA-01403");
}

namespace {

class OlderCallsOverService : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string dir = qd::test::programDirectory().toStdString();
        m_path = dir + "/old7.ini";
        std::ofstream out(m_path);
        out << "[alias OLD7]\n"
               "directory = old7-db\n"
               "banner = Oracle7 Server Release 7.3.4.0.0 - Production\n"
               "demo = yes\n"
               "[user SCOTT@OLD7]\npassword = tiger\n";
        out.close();
        setenv("QD_STANDIN_CONFIG", m_path.c_str(), 1);
    }
    void TearDown() override { unsetenv("QD_STANDIN_CONFIG"); }
    std::string m_path;
};

} // namespace

TEST_F(OlderCallsOverService, ModeChangeThereAndBackOnOneConnection)
{
    Connection c;
    ASSERT_EQ(c.logon("SCOTT", "tiger", "OLD7"), SUCCESS) << c.errorText();
    char banner[501] = {};
    ASSERT_EQ(api().ServerVersion(c.srv, c.err, t(banner), sizeof banner, HTYPE_SERVER), SUCCESS);
    EXPECT_NE(std::string(banner).find("Oracle7 Server Release 7.3.4.0.0"), std::string::npos);

    // The older calls take over the connection: they see its uncommitted change.
    ASSERT_EQ(c.run("create table moves (n number)"), SUCCESS) << c.errorText();
    ASSERT_EQ(c.run("insert into moves values (1)"), SUCCESS) << c.errorText();
    Area lda {};
    ASSERT_EQ(oci7().SvcCtxToLda(c.svc, c.err, &lda), SUCCESS);
    {
        OldCursor cursor(lda);
        ASSERT_EQ(cursor.parse("select count(*) from moves"), 0);
        int32_t n = 0;
        cursor.define(1, &n, 4, SQLT_INT);
        ASSERT_EQ(oci7().oexfet(&cursor.cda, 1, 0, 0), 0) << cursor.cda.rc;
        EXPECT_EQ(n, 1);
        // The banner the server reports in this mode.
        ASSERT_EQ(cursor.parse("select * from v$version"), 0);
        char text[100] = {};
        cursor.define(1, text, sizeof text, SQLT_STR);
        ASSERT_EQ(oci7().oexfet(&cursor.cda, 1, 0, 0), 0) << cursor.cda.rc;
        EXPECT_EQ(std::string(text).rfind("Oracle7 Server Release 7.3.4.0.0", 0), 0u) << text;
        ASSERT_EQ(cursor.parse("insert into moves values (2)"), 0);
        ASSERT_EQ(oci7().oexec(&cursor.cda), 0) << cursor.cda.rc;
    }
    // And back: the same service context, the transaction still open.
    void *back = nullptr;
    ASSERT_EQ(oci7().LdaToSvcCtx(&back, c.err, &lda), SUCCESS);
    EXPECT_EQ(back, c.svc);
    EXPECT_NE(oci7().ocom(&lda), 0); // the area no longer stands for the connection
    EXPECT_EQ(lda.rc, 1012);
    ASSERT_EQ(c.rollback(), SUCCESS);
    Cursor count(c, "select count(*) from moves");
    int32_t n = -1;
    void *def = nullptr;
    api().DefineByPos(
        count.stmt, &def, count.err, 1, &n, 4, SQLT_INT, nullptr, nullptr, nullptr, DEFAULT);
    ASSERT_EQ(count.execute(1), SUCCESS) << count.errorText();
    EXPECT_EQ(n, 0);
}
