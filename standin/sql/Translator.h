#pragma once

// The Oracle-to-SQLite rewriter behind translate(). It works on the token list: no full
// grammar, only the structure the rewrites need (clauses, select items, FROM items, operands
// of ||, + and -, function calls). Anything it does not rewrite passes through token by token.

#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qdsi::sql {

// A numeric literal as SQLite text: itself, or for a number that neither a 64-bit integer nor
// a double holds exactly, a BLOB literal of the server's text of it (see exactNumberText).
std::string numberLiteral(const std::string &literal, bool negative);

// COUNT, SUM, ... LISTAGG, GROUPING: names of the aggregate functions.
bool isAggregateName(const Token &t);

class Translator {
public:
    Translator(std::string_view sql, const SessionContext &context);
    Translation run();

    // Oracle's type name (with size) → the declared type written into SQLite DDL; tokens
    // [b, e) hold the type as written. Throws ORA-00902 for an unknown type.
    std::string declaredType(size_t b, size_t e) const;

private:
    struct Scope {
        std::vector<TableRef> tables;
        const Scope *parent = nullptr;
        bool selectList = false;
        bool unqualifiedRowid = false; // RETURNING may not qualify the target's rowid
    };
    struct Unit {
        enum Kind { Primary, Op, Other, Text } kind;
        size_t b, e; // token range
        std::string text; // Text units: already emitted
    };
    struct Inferred {
        bool known = false;
        ColumnDescription type;
        std::string qualifier, column;
        ColumnDescription ifDate = SelectItem().typeIfSourceIsDate; // none unless set
    };
    struct Target {
        std::string text; // SQLite text of the name
        std::string name; // upper-cased object name
        std::string alias; // empty when none
        std::string owner; // another schema's owner; empty for the session's own
        // A change through a view: the view's columns, which an INSERT without a column
        // list fills.
        std::vector<std::string> viewColumns;
    };
    // The grouping expressions of a block with ROLLUP, CUBE or GROUPING SETS. Its rows are
    // made once per grouping set: the block is joined with QD_GS (I, M), one row per set with
    // M the mask of the expressions the set groups by, and grouped by I and by each expression
    // as "CASE WHEN M & bit THEN expr END". Outside aggregate arguments each grouping
    // expression reads that way, so it is null in the rows of the sets without it.
    struct Grouping {
        std::vector<std::pair<size_t, size_t>> exprs; // token ranges
        std::vector<uint64_t> sets;
    };
    struct Block {
        std::string sql;
        std::string fromText;
        std::string whereText; // " WHERE ..." or empty
        std::string limitText;
        size_t selectListAt = 0; // in `sql`: just past its SELECT keyword
        std::string orderTail; // ", <key>": CONNECT BY's depth-first order after the user's
        Scope scope;
        std::shared_ptr<Grouping> grouping; // ROLLUP, CUBE, GROUPING SETS: see below
    };

    // tokens and structure
    const Token &tok(size_t i) const { return tokens_[std::min(i, tokens_.size() - 1)]; }
    bool is(size_t i, std::string_view word) const
    {
        return i < tokens_.size() && tokens_[i].is(word);
    }
    size_t closing(size_t open) const; // matching ')' of '(' at open
    size_t findTop(size_t b, size_t e, std::string_view word, std::string_view next = {}) const;
    std::vector<std::pair<size_t, size_t>> splitTop(size_t b, size_t e, std::string_view sep) const;
    [[noreturn]] void fail(int code, size_t tokenIndex, std::string_view detail = {}) const;
    void expectEnd(size_t i, size_t e) const;

    // emission
    std::string name(size_t i) const;
    std::string token(size_t i, const Scope &scope) const;
    std::string expr(size_t b, size_t e, const Scope &scope);
    std::string list(size_t b, size_t e, const Scope &scope);
    std::string primary(size_t b, size_t e, const Scope &scope);
    std::string call(size_t b, size_t nameEnd, size_t e, const Scope &scope);
    std::vector<Unit> units(size_t b, size_t e) const;
    size_t primaryEnd(size_t i, size_t e) const;
    bool startsPrimary(size_t i) const;
    bool isRowidRef(const Unit &u) const;
    std::pair<std::string, std::string> rowidTable(size_t b, size_t e, const Scope &scope) const;
    // A comparison operator unit: = <> != ^= < > <= >=.
    bool isComparisonOperator(const Unit &u) const;
    void implicitDates(std::vector<Unit> &us, const Scope &scope);
    // TranslatorChecks.cpp: a NUMBER column compared with text that is no number fails
    // (ORA-01722); a character column compared with a number is converted to one.
    void implicitNumbers(std::vector<Unit> &us, const Scope &scope);
    // The declared type of the column tokens [b, e) name (name or qualifier.name) in the scope;
    // false when they name no column the engine knows.
    bool columnOf(size_t b, size_t e, const Scope &scope, ColumnDescription &type,
        std::string *column = nullptr) const;
    // Past an aggregate call at k: its arguments and WITHIN GROUP / KEEP clauses.
    size_t aggregateCallEnd(size_t k) const;
    // Fails with ORA-03001 naming the feature for what the stand-in does not take (JSON
    // functions, ROLLUP, CUBE, GROUPING SETS, hierarchical operators beyond LEVEL and PRIOR, ...)
    // rather than letting SQLite misread it.
    void refuseOutOfReach() const;
    // LISTAGG(expr [, separator]) WITHIN GROUP (ORDER BY ...) at the call whose "(" is at open.
    std::string listagg(size_t open, size_t close, size_t e, const Scope &scope);
    // A select list with aggregates names only grouped columns outside them: ORA-00937
    // without a GROUP BY, ORA-00979 with one ([groupAt, groupEnd) holds "GROUP BY ...").
    void checkGrouping(
        size_t listBegin, size_t listEnd, size_t groupAt, size_t groupEnd, const Scope &scope);
    std::string arithmetic(const std::vector<Unit> &us, size_t from, size_t to, const Scope &scope);
    // TranslatorGrouping.cpp. groupingSets: the grouping of [groupAt + 2, groupEnd) when it
    // uses ROLLUP, CUBE or GROUPING SETS (null otherwise). groupingText: " GROUP BY ..." and
    // the FROM item QD_GS for it. groupingRewrite: the text of tokens [b, e) when they are a
    // grouping expression read outside an aggregate (empty otherwise). groupingCall:
    // GROUPING(expr) / GROUPING_ID(expr, ...) at the call whose "(" is at open.
    std::shared_ptr<Grouping> groupingSets(size_t groupAt, size_t groupEnd, const Scope &scope);
    std::string groupingText(const Grouping &g, std::string &fromText, const Scope &scope);
    std::string groupingRewrite(size_t b, size_t e, const Scope &scope);
    std::string groupingCall(const std::string &fn, size_t open, size_t close, const Scope &scope);
    int groupingIndex(const Grouping &g, size_t b, size_t e, const Scope &scope) const;
    std::string placeholder(size_t i) const;
    // oracleNote() of the statement text of tokens [b, e).
    std::string originalNote(size_t b, size_t e) const;

    // statements
    std::string query(size_t b, size_t e, const Scope *parent, bool top);
    // The steps of query(): the WITH clause from i (left after it), and the ORDER BY of the
    // query's blocks (orderAt at ORDER, up to forAt) with the first block and its tokens.
    std::string withClause(size_t &i, const Scope *parent);
    std::string orderBy(size_t orderAt, size_t forAt, const Block &first,
        const std::pair<size_t, size_t> &firstMember, bool compound);
    Block selectBlock(size_t b, size_t e, const Scope *parent, bool record, bool canLimit);
    bool dictionaryView(const std::string &name, bool sysPrefix) const;
    std::string fromClause(size_t b, size_t e, Scope &scope, const Scope *parent);
    // A FROM item that names a table, view or synonym ([owner.]name at k, before `end`): its
    // SQLite text into spec and what it reads into ref (derived: the text needs the alias).
    // Returns the position after the name.
    size_t namedTable(size_t k, size_t end, TableRef &ref, std::string &spec, bool &derived);
    // The old outer-join marker "col(+)" in WHERE: the FROM list with each marked table as a
    // LEFT JOIN whose ON clause holds the conditions that mark it; those leave `conjuncts`.
    // START WITH ... CONNECT BY ...: a recursive common table expression QD_TREE of the
    // block's rows (rowid, level, path); returns "WITH RECURSIVE ... " to put before the block
    // and joins the tree into its FROM.
    // [scanB, scanE) is the block (SYS_CONNECT_BY_PATH and CONNECT_BY_ROOT there and in
    // orderRange_ get a column of the tree each); siblings_ holds ORDER SIBLINGS BY's keys.
    std::string connectBy(Block &blk, size_t startAt, size_t startEnd, size_t connectAt,
        size_t connectEnd, size_t scanB, size_t scanE);
    bool hasOuterJoinMarker(size_t b, size_t e) const;
    std::string outerJoinFrom(size_t b, size_t e, std::vector<std::pair<size_t, size_t>> &conjuncts,
        Scope &scope, const Scope *parent);
    std::string rownumLimit(size_t b, size_t e, std::vector<std::pair<size_t, size_t>> &rest);
    std::string selectItem(size_t b, size_t e, const Scope &scope, bool record);
    void forUpdate(size_t b, size_t e, const Block &top);
    std::string returning(size_t b, size_t e, const Scope &scope);
    // [schema.]name at k, and an alias unless the next word is one of the stop words. The
    // target of a change (`dml`) may be a synonym, the text then names its object, or a view
    // over one table, the text then names the table (ORA-01732 for other views).
    Target readTarget(size_t &k, std::initializer_list<std::string_view> stops, bool alias = true,
        bool dml = false) const;
    // The target of a change at k: readTarget's, or for TABLE(subquery) / THE(subquery) the
    // temporary table of the collection's elements, the parent row's query going to
    // Translation::collection.
    Target changeTarget(size_t &k, std::initializer_list<std::string_view> stops);
    std::string insert();
    std::string update();
    std::string remove();
    std::string create();
    std::string synonym(size_t synonymAt, bool isPublic);
    std::string createTable(size_t i);
    std::string objectTable(size_t k, const Target &target);
    // ref(alias) and value(alias) of an object table's row: the table, the SQLite text of the
    // REF and the table's type ("SCHEMA.TYPE").
    struct RowRef {
        std::string table, text, type;
    };
    RowRef rowRef(size_t open, size_t close, const Scope &scope) const;
    std::string columnDefinition(size_t b, size_t e, const Scope &scope);
    std::string constraintTokens(size_t b, size_t e, const Scope &scope);
    // Whether the column definition of tokens [b, e) (name first) is part of the primary key.
    bool isKeyColumn(size_t b, size_t e) const;
    // The steps of run(): the statement's kind, type and command code; CREATE of stored code
    // (true when it is); the placeholders' SQLite indexes; COMMIT, ROLLBACK [TO] and SAVEPOINT;
    // COMMENT ON TABLE | COLUMN.
    void kind(StatementKind k, int type, int code);
    bool storedCodeHead();
    void numberPlaceholders();
    void transactionControl();
    void commentOn();
    std::string drop();
    std::string alter();
    // ALTER SESSION (k at SESSION); ALTER TABLE's constraint clauses (true when
    // the clause at k is one) and the constraint they name (CONSTRAINT n | PRIMARY KEY, with
    // CASCADE and KEEP | DROP INDEX), returning the position after it.
    std::string alterSession(size_t k);
    bool alterConstraint(size_t k, const Target &target, const Scope &scope);
    size_t constraintTarget(size_t at);
    void sequence(size_t i);
    // Sequence options in tokens [k, e) (START WITH, INCREMENT BY, ...); an identity's options
    // also take START WITH LIMIT VALUE. ORA-04002 (zero increment) points at errorAt.
    void sequenceOptions(size_t k, size_t e, IdentityDefinition &d, bool identity, size_t errorAt);
    size_t identityClause(size_t k, size_t e, IdentityDefinition &d);
    // ALTER TABLE t MODIFY [(] col identity-clause | DROP IDENTITY [)].
    std::string modifyIdentity(size_t k, const Target &target);
    // An INSERT's or UPDATE's columns against the target's identity columns (ORA-32795 /
    // ORA-32796 for GENERATED ALWAYS); an ON NULL column's value falls back to its sequence.
    std::vector<std::pair<std::string, IdentityKind>> identityColumns(const Target &target) const;

    Inferred infer(size_t b, size_t e) const;
    Inferred inferUnits(const std::vector<Unit> &us) const;
    // The steps of inferUnits: an operation over several units (||, + and - with dates,
    // arithmetic), one primary (literal, bind, parentheses, CASE, ...), a name chain (j: just
    // past it), a call (j: at its parenthesis) and TO_CHAR of an argument.
    static Inferred known(ColumnDescription d);
    Inferred inferOperation(const std::vector<Unit> &us) const;
    Inferred inferPrimary(const Unit &u) const;
    Inferred inferName(const Unit &u, size_t j) const;
    Inferred inferCall(const Unit &u, size_t j) const;
    Inferred inferToChar(
        const Inferred &a, const std::vector<std::pair<size_t, size_t>> &args) const;

    std::string_view sql_;
    const SessionContext &context_;
    std::vector<Token> tokens_;
    std::vector<size_t> match_;
    std::map<std::string, int> index_;
    size_t end_ = 0; // index of the End token
    std::vector<std::string> dateColumns_; // of the CREATE TABLE being translated
    struct RefColumn {
        std::string column, type, scope; // SQLite name, "SCHEMA.TYPE", scope table (or empty)
    };
    std::vector<RefColumn> refColumns_; // of the CREATE TABLE being translated
    std::vector<std::string> keyColumns_; // its table-level primary key
    std::string currentTable_; // the table a CREATE TABLE / ALTER TABLE defines columns of
    bool hierarchical_ = false; // LEVEL names the tree's depth (a CONNECT BY block)
    bool priorNext_ = false;    // PRIOR came: the next column is the parent row's
    std::string priorTable_;    // the table the parent rows come from
    std::map<size_t, std::string> treeColumns_; // SYS_CONNECT_BY_PATH / CONNECT_BY_ROOT token → column
    std::pair<size_t, size_t> siblings_ { 0, 0 };   // ORDER SIBLINGS BY keys of the top block
    std::pair<size_t, size_t> orderRange_ { 0, 0 }; // the query's ORDER BY, read by its first block
    const Scope *inferScope_ = nullptr; // the tables whose columns infer() may look up
    std::vector<std::string> cteNames_; // WITH names: never synonyms
    bool outerMarkers_ = false; // "(+)" after a column is dropped (inside an ON clause)
    const Grouping *grouping_ = nullptr; // of the block being translated (see Grouping)
    int inAggregate_ = 0; // inside an aggregate's arguments: grouping expressions read as they are
    int depth_ = 0; // nesting of expressions and subqueries, bounded against stack exhaustion
    struct Nest {
        Translator &t;
        Nest(Translator &owner, size_t at);
        ~Nest() { --t.depth_; }
    };
    Translation out_;
};

} // namespace qdsi::sql
