// The translator's golden corpus: each file of tests/standin/translations holds one Oracle
// statement and the SQLite text it translates to, for a fixed session (user SCOTT, tables EMP
// and DEPT, the default date format). Every case must translate to exactly its recorded text,
// and recorded queries and changes must be accepted by SQLite over those tables.
//
// To record the texts again after a deliberate change of the translation (or to fill in a new
// case written with an empty "-- SQLite" part), run
//     QD_REGENERATE_TRANSLATIONS=1 build/tests/test_standin --gtest_filter='TranslationCorpus.*'
// and review the difference in version control.
#include "DialectTestSupport.h"

#include "common/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qdsi::sql::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view oracleHeader = "-- Oracle\n";
constexpr std::string_view sqliteHeader = "-- SQLite\n";

struct CorpusCase {
    fs::path file;
    std::string oracle;
    std::string sqlite;
    bool wellFormed = false;
};

std::string trimmedEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

CorpusCase readCase(const fs::path &file)
{
    CorpusCase c;
    c.file = file;
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    const size_t split = text.find(std::string("\n") + std::string(sqliteHeader));
    if (text.rfind(oracleHeader, 0) != 0 || split == std::string::npos)
        return c;
    c.oracle = trimmedEnd(text.substr(oracleHeader.size(), split + 1 - oracleHeader.size()));
    c.sqlite = trimmedEnd(text.substr(split + 1 + sqliteHeader.size()));
    c.wellFormed = !c.oracle.empty();
    return c;
}

void writeCase(const CorpusCase &c, const std::string &sqlite)
{
    std::ofstream out(c.file, std::ios::binary | std::ios::trunc);
    out << oracleHeader << c.oracle << "\n" << sqliteHeader << sqlite << "\n";
}

std::vector<fs::path> corpusFiles()
{
    std::vector<fs::path> files;
    const fs::path dir
        = fs::path(qd::test::testsSourceDirectory().toStdString()) / "standin" / "translations";
    for (const auto &entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().extension() == ".sql")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class TranslationCorpus : public DialectDb {
protected:
    void SetUp() override
    {
        DialectDb::SetUp();
        // The declared types of the tables, read back as the engine's own lookup does.
        context.columnType
            = [this](const std::string &table, const std::string &column, ColumnDescription &d) {
                  sqlite3_stmt *s = nullptr;
                  sqlite3_prepare_v2(db,
                      "SELECT name, type FROM pragma_table_info(?1) WHERE ?2 = '' OR upper(name) = ?2",
                      -1, &s, nullptr);
                  sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
                  sqlite3_bind_text(s, 2, column.c_str(), -1, SQLITE_TRANSIENT);
                  const bool found = sqlite3_step(s) == SQLITE_ROW;
                  if (found && !column.empty()) {
                      const auto *type = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
                      d = describeDeclaredType(type ? type : "");
                      d.name = column;
                  }
                  sqlite3_finalize(s);
                  return found;
              };
        run("create table dept (deptno number(2) constraint pk_dept primary key, "
            "dname varchar2(14), loc varchar2(13))");
        run("create table emp (empno number(4) constraint pk_emp primary key, "
            "ename varchar2(10), job varchar2(9), mgr number(4), hiredate date, "
            "sal number(7,2), comm number(7,2), deptno number(2) references dept)");
        increments["EMP_SEQ"] = 1;
        // The engine's table behind USER_TABLES, with the one column the corpus reads.
        ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE QDSI_DICT_USER_TABLES (TABLE_NAME TEXT)",
                      nullptr, nullptr, nullptr),
            SQLITE_OK);
    }
};

TEST_F(TranslationCorpus, EveryCaseTranslatesToItsRecordedText)
{
    const bool regenerate = std::getenv("QD_REGENERATE_TRANSLATIONS") != nullptr;
    const std::vector<fs::path> files = corpusFiles();
    ASSERT_GE(files.size(), 20u) << "the corpus lost its cases";
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.filename().string());
        const CorpusCase c = readCase(file);
        ASSERT_TRUE(c.wellFormed) << "a case starts with \"-- Oracle\" and has a \"-- SQLite\" part";
        Translation t;
        try {
            t = translate(c.oracle, context);
        } catch (const OraError &e) {
            ADD_FAILURE() << c.oracle << "\n" << e.text;
            continue;
        }
        const std::string sqlite = trimmedEnd(t.sqlite);
        if (regenerate) {
            if (sqlite != c.sqlite)
                writeCase(c, sqlite);
            continue;
        }
        EXPECT_EQ(sqlite, c.sqlite) << c.oracle;
        const bool changesRows = t.kind == StatementKind::Select || t.kind == StatementKind::Insert
            || t.kind == StatementKind::Update || t.kind == StatementKind::Delete;
        if (!changesRows || t.sqlite.empty())
            continue;
        sqlite3_stmt *s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, t.sqlite.c_str(), -1, &s, nullptr), SQLITE_OK)
            << t.sqlite << "\n" << sqlite3_errmsg(db);
        sqlite3_finalize(s);
    }
}

TEST_F(TranslationCorpus, ACaseFileReadsBackAsWritten)
{
    // The regeneration writes what the comparison reads: a statement over several lines comes
    // back as written, trailing blanks and line ends are not part of a text, and a file
    // without its two parts is refused.
    const fs::path file = fs::temp_directory_path() / "qd-translation-corpus-case.sql";
    CorpusCase c;
    c.file = file;
    c.oracle = "select ename\n  from emp";
    writeCase(c, "SELECT \"ENAME\" FROM EMP  ");
    const CorpusCase back = readCase(file);
    EXPECT_TRUE(back.wellFormed);
    EXPECT_EQ(back.oracle, c.oracle);
    EXPECT_EQ(back.sqlite, "SELECT \"ENAME\" FROM EMP");
    {
        std::ofstream broken(file, std::ios::binary | std::ios::trunc);
        broken << "select 1 from dual\n";
    }
    EXPECT_FALSE(readCase(file).wellFormed);
    fs::remove(file);
}

} // namespace
} // namespace qdsi::sql::test
