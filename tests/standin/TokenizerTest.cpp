// The stand-in's one tokenizer under its three rules: SQL as the dialect reads it (with the
// server's errors and their offsets), PL/SQL as the interpreter reads it (with lines, columns
// and compile errors), and leniently as the engine reads translated text (never an error).
#include "plsql/CompileError.h"
#include "plsql/Lexer.h"
#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qdsi {
namespace {

struct Seen {
    sql::TokenType type;
    std::string upper;
    int offset;
    int depth;
    bool operator==(const Seen &) const = default;
};

std::vector<Seen> seen(const std::vector<sql::Token> &tokens)
{
    std::vector<Seen> out;
    for (const sql::Token &t : tokens)
        out.push_back({ t.type, t.upper, t.offset, t.depth });
    return out;
}

void PrintTo(const Seen &s, std::ostream *os)
{
    *os << "{" << static_cast<int>(s.type) << ", \"" << s.upper << "\", " << s.offset << ", "
        << s.depth << "}";
}

using T = sql::TokenType;

TEST(Tokenizer, SqlTokensCarryTheirKindValueOffsetAndDepth)
{
    const std::string text = "select a, (b + :x) from \"T\" -- note\n"
                             "where c = 'it''s' and d <> 1.5e3 and e = q'[a'b]' and f = n'x'";
    const std::vector<Seen> expected = {
        { T::Identifier, "SELECT", 0, 0 },
        { T::Identifier, "A", 7, 0 },
        { T::Operator, ",", 8, 0 },
        { T::Operator, "(", 10, 0 },
        { T::Identifier, "B", 11, 1 },
        { T::Operator, "+", 13, 1 },
        { T::Placeholder, "X", 15, 1 },
        { T::Operator, ")", 17, 0 },
        { T::Identifier, "FROM", 19, 0 },
        { T::Quoted, "T", 24, 0 },
        { T::Identifier, "WHERE", 36, 0 },
        { T::Identifier, "C", 42, 0 },
        { T::Operator, "=", 44, 0 },
        { T::String, "it's", 46, 0 },
        { T::Identifier, "AND", 54, 0 },
        { T::Identifier, "D", 58, 0 },
        { T::Operator, "<>", 60, 0 },
        { T::Number, "1.5e3", 63, 0 },
        { T::Identifier, "AND", 69, 0 },
        { T::Identifier, "E", 73, 0 },
        { T::Operator, "=", 75, 0 },
        { T::String, "a'b", 77, 0 },
        { T::Identifier, "AND", 86, 0 },
        { T::Identifier, "F", 90, 0 },
        { T::Operator, "=", 92, 0 },
        { T::String, "x", 94, 0 },
        { T::End, "", static_cast<int>(text.size()), 0 },
    };
    EXPECT_EQ(seen(sql::tokenize(text)), expected);
}

TEST(Tokenizer, SqlFaultsAreTheServersErrorsAtTheirOffsets)
{
    struct Case {
        const char *text;
        int code;
        int offset;
    } cases[] = {
        { "select 'open from dual", 1756, 7 },
        { "select q'[open from dual", 1756, 7 },
        { "select \"\" from dual", 1740, 7 },
        { "select \"open from dual", 1740, 7 },
        { "select :\"open from dual", 1740, 8 },
        { "select 1 from dual where a = `b`", 911, 29 },
        { "select 1 # 2 from dual", 911, 9 },
    };
    for (const Case &c : cases) {
        try {
            sql::tokenize(c.text);
            ADD_FAILURE() << c.text << " was taken";
        } catch (const sql::OraError &e) {
            EXPECT_EQ(e.code, c.code) << c.text;
            EXPECT_EQ(e.offset, c.offset) << c.text;
        }
    }
    // A comment left open ends the statement, as the server reads it.
    EXPECT_EQ(sql::tokenize("select 1 from dual /* open").size(), 5u);
}

TEST(Tokenizer, PlsqlRulesGiveLinesColumnsAndTheirOwnSymbols)
{
    const std::vector<plsql::Token> tokens
        = plsql::tokenize("<<outer>>\nbegin\n  x := q'[a]' ~= :b; -- end\nend;");
    struct Expect {
        plsql::Token::Kind kind;
        const char *text;
        int line, column;
    } expected[] = {
        { plsql::Token::Kind::Symbol, "<<", 1, 1 },
        { plsql::Token::Kind::Name, "OUTER", 1, 3 },
        { plsql::Token::Kind::Symbol, ">>", 1, 8 },
        { plsql::Token::Kind::Name, "BEGIN", 2, 1 },
        { plsql::Token::Kind::Name, "X", 3, 3 },
        { plsql::Token::Kind::Symbol, ":=", 3, 5 },
        // No alternative quoting in PL/SQL source: a name, then a string.
        { plsql::Token::Kind::Name, "Q", 3, 8 },
        { plsql::Token::Kind::String, "[a]", 3, 9 },
        { plsql::Token::Kind::Symbol, "~=", 3, 15 },
        { plsql::Token::Kind::Bind, "B", 3, 18 },
        { plsql::Token::Kind::Symbol, ";", 3, 20 },
        { plsql::Token::Kind::Name, "END", 4, 1 },
        { plsql::Token::Kind::Symbol, ";", 4, 4 },
        { plsql::Token::Kind::End, "", 4, 5 },
    };
    ASSERT_EQ(tokens.size(), std::size(expected));
    for (size_t i = 0; i < tokens.size(); ++i) {
        EXPECT_EQ(tokens[i].kind, expected[i].kind) << i;
        EXPECT_EQ(tokens[i].text, expected[i].text) << i;
        EXPECT_EQ(tokens[i].line, expected[i].line) << i;
        EXPECT_EQ(tokens[i].column, expected[i].column) << i;
    }
    // The same symbols in SQL are two operators each.
    EXPECT_EQ(sql::tokenize("a << b")[1].upper, "<");
    EXPECT_EQ(sql::tokenize("a ~= b")[1].upper, "~");
    EXPECT_EQ(sql::tokenize("a ~= b").size(), 5u);
}

TEST(Tokenizer, PlsqlFaultsAreCompileErrorsWhereTheyStart)
{
    struct Case {
        const char *text;
        int line, column;
        const char *start; // of the message
    } cases[] = {
        { "begin\n  null; /* open", 2, 9, "PLS-00111: end-of-file in comment" },
        { "begin\n  x := 'open;\nend;", 2, 8, "PLS-00103: Encountered the symbol \"end-of-file\"" },
        { "begin\n  x := \"\";", 2, 8, "PLS-00103: Encountered the symbol \"\"\"" },
        { "begin\n  x := :\"b;", 2, 8, "PLS-00049: bad bind variable" },
        { "begin\n  x := 1 ! 2;", 2, 10, "PLS-00103: Encountered the symbol \"!\"" },
    };
    for (const Case &c : cases) {
        try {
            plsql::tokenize(c.text);
            ADD_FAILURE() << c.text << " was taken";
        } catch (const plsql::CompileError &e) {
            EXPECT_EQ(e.line, c.line) << c.text;
            EXPECT_EQ(e.column, c.column) << c.text;
            EXPECT_EQ(e.text.rfind(c.start, 0), 0u) << c.text << "\n" << e.text;
        }
    }
    // Reading only a statement's head stops before what follows is looked at.
    const std::vector<plsql::Token> head = plsql::tokenize("create or /* open", 2);
    ASSERT_EQ(head.size(), 3u);
    EXPECT_EQ(head[1].text, "OR");
    EXPECT_EQ(head[2].kind, plsql::Token::Kind::End);
}

TEST(Tokenizer, LenientReadingTakesAnyTextAndKeepsTheDepth)
{
    // Translated text may hold what no Oracle statement does; a fault runs to the end.
    const std::vector<Seen> tokens = seen(sql::tokenizeLeniently("x = ?1 ` (y)) 'open"));
    const std::vector<Seen> expected = {
        { T::Identifier, "X", 0, 0 },
        { T::Operator, "=", 2, 0 },
        { T::Operator, "?", 4, 0 },
        { T::Number, "1", 5, 0 },
        { T::Operator, "`", 7, 0 },
        { T::Operator, "(", 9, 0 },
        { T::Identifier, "Y", 10, 1 },
        { T::Operator, ")", 11, 0 },
        { T::Operator, ")", 12, 0 }, // one too many: the depth stays at 0
        { T::String, "open", 14, 0 },
        { T::End, "", 19, 0 },
    };
    EXPECT_EQ(tokens, expected);
    EXPECT_EQ(seen(sql::tokenizeLeniently("\"open")).front().upper, "open");
    EXPECT_EQ(seen(sql::tokenizeLeniently(":\"open")).front().upper, "open");
}

} // namespace
} // namespace qdsi
