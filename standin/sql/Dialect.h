#pragma once

// The Oracle dialect layer of the stand-in server: turns Oracle SQL text into SQLite SQL,
// supplies the Oracle functions SQLite lacks, and says what an Oracle server would report
// about a statement's select list. It knows nothing of handles, sessions or the C API; the
// engine (standin/engine, standin/oci) calls it.
//
// Value conventions shared with the engine:
// - DATE values are stored and passed inside SQLite as text "YYYY-MM-DD HH24:MI:SS".
// - NUMBER values are SQLite INTEGER or REAL, or, for a literal with more digits than those
//   hold, a BLOB of the server's text of the number (exactNumberText); VARCHAR2/CHAR/LONG/CLOB
//   as TEXT; RAW/LONG RAW/BLOB as BLOB. An empty string is NULL.
// - TIMESTAMP values are text "YYYY-MM-DD HH24:MI:SS.FFFFFFFFF".
// - Unquoted identifiers are folded to upper case; quoted ones keep their case.
// - `dual` is translated away into a one-row subquery (SELECT 'X' AS DUMMY): the engine creates
//   no DUAL table. `v$version` likewise becomes a subquery over SessionContext::banner.
// - Oracle functions are registered under their own names (overriding SQLite's substr, length,
//   round, ...); the translation also calls helpers named QD_* (concatenation, arithmetic that
//   understands dates, sequences, rowids, user). A failing function reports the full ORA text
//   as SQLite's error message (see oraErrorFromMessage).
// - Schema-qualified names (SCOTT.EMP) are passed through as SQLite schema.table.
//
// Limits (the statement fails with an ORA error instead of answering wrongly):
// - rownum only as a top-level "rownum <= n" / "< n" / "= n" filter (ANDed) and in select
//   lists; FOR UPDATE SKIP LOCKED raises ORA-03001. CONNECT BY only over one table; the (+)
//   marker only after a qualified column in WHERE (see TranslatorOuterJoin, ...ConnectBy).
// - Dictionary views (ALL_/USER_/DBA_..., with or without SYS.) are read from the engine's
//   tables named by dictionaryTable(); synonyms resolve through SessionContext::synonymTarget.
// - ALTER TABLE: ADD of one column, RENAME, DROP COLUMN; constraint clauses (ADD, DROP,
//   ENABLE, DISABLE, MODIFY CONSTRAINT) come out as Translation::constraintChange for the
//   engine; MODIFY of a column raises 3001.
//   A DATE column added later gets no conversion trigger (see Translation::followUp).
// - No implicit conversion of text to DATE in comparisons (compare with to_date(...)); column
//   sizes and NUMBER scales are described, not enforced on insert.
// - Arithmetic is done in doubles and printed to 15 significant digits.

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qdsi::sql {

// A server error as the client library reports it: ORA number, full text ("ORA-00942: table or
// view does not exist") and, for parse errors, the byte offset into the statement text.
struct OraError : std::runtime_error {
    OraError(int code, std::string text, int offset = 0)
        : std::runtime_error(text), code(code), text(std::move(text)), offset(offset) {}
    int code;
    std::string text;
    int offset;
    // The object or identifier an ORA-00942 or ORA-00904 is about, as the executed text named
    // it ("EMP", "E.ENAMEX"), so that the offset can point at it in the client's own text.
    std::string name;
};

// Builds "ORA-%05d: <message>" with the server's wording for the codes the stand-in raises.
// The detail fills the wording's placeholder (ORA-00001's constraint name, ...); for a code
// without a placeholder a non-empty detail replaces the wording.
OraError oraError(int code, std::string_view detail = {}, int offset = 0);
// The server's message template for a code ("unique constraint (%s) violated"), empty when the
// stand-in has none.
std::string_view oraWording(int code);

enum class StatementKind {
    Select,
    Insert,
    Update,
    Delete,
    Merge,
    CreateTable,
    CreateView,
    CreateIndex,
    CreateSequence,
    CreateOther, // stored code, synonyms, types: handled by later layers
    Drop,
    DropSequence,
    Alter,
    AlterSession,
    Commit,
    Rollback,
    Savepoint,
    RollbackToSavepoint,
    PlSqlBlock, // BEGIN ... END; or DECLARE ...
    Call,
    Explain,
    Grant,
    Other,
};

// One placeholder occurrence (":name" or ":1") in statement order.
struct Placeholder {
    std::string name;   // upper-cased unless quoted; numeric names keep their digits
    int sqliteIndex;    // the ?NNN index the translated text uses for it (one per distinct name)
    int offset;         // byte offset of the ':' in the original text
};

struct ForUpdate {
    bool present = false;
    bool nowait = false;
    int waitSeconds = -1;          // "wait n"; -1 when absent
    std::vector<std::string> ofColumns;
    // Added: the table whose rows the statement locks (the qualifier of the first "of" column,
    // else the first table of the FROM clause) and a SQLite query with the same placeholders
    // that yields the integer rowids of exactly those rows, for the engine's lock registry.
    std::string table;
    std::string rowidSql;
    // The rows the engine locks: those of the first table of the top-level FROM, as the SQLite
    // text names it (lockSchema: the attached schema of another user's table, else empty;
    // lockQualifier: the alias its columns are read under), and where the SQLite text's
    // top-level select list begins, so that a row id column can be put first. lockTable is
    // empty when the first FROM item is no table; lockNothing when it is a collection's
    // elements (TABLE(subquery)), which no other session's change can meet.
    bool lockNothing = false;
    std::string lockTable;
    std::string lockSchema;
    std::string lockQualifier;
    size_t selectListStart = 0;
};

struct SequenceDefinition {
    std::string name;
    int64_t start = 1;
    int64_t increment = 1;
};

// An identity column of CREATE TABLE, or the change ALTER TABLE ... MODIFY makes to one. The
// engine keeps its sequence (ISEQ$$_<table's object number>) and its generation in the side
// table QDSI_IDENTITY_COLS; the column's default draws from it through QD_IDENTITY.
struct IdentityDefinition {
    std::string column;          // upper case
    bool always = false;         // GENERATED ALWAYS; else BY DEFAULT
    bool onNull = false;         // BY DEFAULT ON NULL
    SequenceDefinition sequence; // START WITH / INCREMENT BY (name left to the engine)
    bool startGiven = false;     // ALTER: START WITH n restarts the sequence there
    bool limitValue = false;     // ALTER: START WITH LIMIT VALUE (past the column's highest)
    bool incrementGiven = false; // ALTER: INCREMENT BY n
    bool drop = false;           // ALTER: MODIFY col DROP IDENTITY
};

// How a column takes part in identity generation (SessionContext::identityKind).
enum class IdentityKind { None, Always, ByDefault, OnNull };

// A FROM item or DML target: upper-cased table name (empty for a subquery) and its alias
// (the name itself when none is given).
struct TableRef {
    std::string name;
    std::string alias;
    std::string owner; // the schema the SQLite text reads it from when another user's
    bool collection = false; // TABLE(subquery): the elements of a collection
};

struct SessionSetting {
    std::string name;  // NLS_DATE_FORMAT, ...
    std::string value; // the literal's text without quotes
    bool literal = false; // the value was given as a string literal
};

struct SelectItem; // below ColumnDescription

struct Translation {
    StatementKind kind = StatementKind::Other;
    int ociStatementType = 0; // OCI_ATTR_STMT_TYPE value (SELECT 1, UPDATE 2, ...)
    int sqlFunctionCode = 0;  // OCI_ATTR_SQLFNCODE value (INSERT 3, SELECT 4, ...)
    std::string sqlite;       // text to prepare in SQLite; empty when the engine handles the kind
    std::vector<Placeholder> placeholders;
    ForUpdate forUpdate;
    std::vector<std::string> tables; // upper-cased table names of the top-level FROM / DML target
    std::string objectName;          // DDL target, savepoint name, ...
    SequenceDefinition sequence;     // for CreateSequence
    // CREATE TABLE: its identity columns; ALTER TABLE ... MODIFY: the identity change.
    std::vector<IdentityDefinition> identities;

    // Added declarations (the first cut's fields above are unchanged).
    std::vector<TableRef> from;            // top-level FROM items / DML target with their aliases
    std::vector<SelectItem> selectItems;   // the top-level select list, in order
    std::vector<SessionSetting> settings;  // AlterSession: each "name = value", name upper case
    // "select ... from v$version": the translation already reads the banner from
    // SessionContext::banner (one row per line); the flag only tells the engine.
    bool versionQuery = false;
    bool orReplace = false; // CREATE OR REPLACE VIEW: the engine drops the old view first
    // CREATE VIEW: the view's name as SQLite text. FORCE keeps a view whose query names what
    // does not exist (listed INVALID) where the server would otherwise refuse it.
    std::string viewText;
    bool forceView = false;
    // COMMENT ON TABLE | COLUMN: the table, the column (empty for the table) and the text.
    std::string commentTable, commentColumn, commentText;
    // ALTER TRIGGER: the trigger (upper case) and 1 for ENABLE, -1 for DISABLE, 0 for COMPILE.
    std::string triggerName;
    int triggerEnable = 0;
    // "returning expr, ... into :a, :b": the SQLite text ends in "RETURNING expr, ..."; these
    // out-placeholders (sqliteIndex 0) receive the returned columns in order. They are not in
    // `placeholders`.
    std::vector<Placeholder> returningInto;
    // SQLite statements to run right after `sqlite` succeeded, in the same transaction: a
    // CREATE TABLE with DATE columns adds triggers named QD_DATES_<table>_INSERT/_UPDATE that
    // convert text written into those columns with the session's date format (they need the
    // registered functions on every connection that writes the table).
    std::vector<std::string> followUp;
    // CREATE TABLE with REF columns: the triggers (SQLite text) that refuse what is no REF of
    // the column's type and scope; the engine creates them right after the table.
    std::vector<std::string> referenceChecks;
    // INSERT, UPDATE, DELETE: the owner of the changed table when it is another schema's (named
    // with its owner or through a synonym); empty for the session's own.
    std::string targetOwner;
    // ALTER TABLE ... ADD / DROP / ENABLE / DISABLE of a constraint (also MODIFY CONSTRAINT):
    // SQLite cannot change a table's constraints, so the engine rebuilds the table.
    struct ConstraintChange {
        enum Action { None, Add, Drop, Enable, Disable } action = None;
        std::string name; // upper case; empty for an unnamed ADD and for PRIMARY KEY
        bool primaryKey = false; // DROP / ENABLE / DISABLE PRIMARY KEY
        std::string sqlite; // Add: the table constraint as SQLite text
        bool disabled = false; // Add: added as DISABLE (kept, not enforced)
        bool cascade = false; // Drop ... CASCADE, Disable ... CASCADE
    } constraintChange;
    // INSERT, UPDATE, DELETE through TABLE(subquery) / THE(subquery): `sqlite` changes the
    // temporary table collectionElementsTable, which the engine fills with the elements of the
    // one collection parentSql selects (with the same placeholders) and writes back to its row.
    struct CollectionTarget {
        bool present = false;
        std::string parentSql; // SELECT <row id>, <collection column> FROM ... [WHERE ...]
        std::string table;     // the row's table as SQLite text
        std::string tableName; // the table's name, upper case
        std::string column;    // the collection column as SQLite text
    } collection;
};

// The temporary table a change through TABLE(...) runs on: one row per element.
inline constexpr const char *collectionElementsTable = "QD_COLLECTION_ELEMENTS";

struct ColumnDescription; // below

// What a change through a view changes: for a view over one table that shows its columns
// under their own names, that table and the view's columns in order; for any other view no
// table (the change fails with ORA-01732). `view` is false when the name is no view.
struct ViewTarget {
    bool view = false;
    std::string table;
    std::vector<std::string> columns;
};

// Context the translation and the functions need from the engine.
struct SessionContext {
    std::string user;              // current schema, upper case
    int64_t sessionId = 0;
    std::string dateFormat = "DD-MON-RR"; // NLS_DATE_FORMAT of the session
    std::function<int64_t(const std::string &seq)> nextval; // throws OraError (ORA-02289)
    std::function<int64_t(const std::string &seq)> currval; // throws OraError (ORA-08002)
    // Identity columns of the session's own tables: how the column is generated, and the next
    // number of its sequence (QD_IDENTITY, the column's default).
    // identityColumns: the table's columns in order with how each is generated, empty when the
    // table has no identity column (or is no table of the session's schema).
    std::function<std::vector<std::pair<std::string, IdentityKind>>(const std::string &table)>
        identityColumns;
    std::function<int64_t(const std::string &table, const std::string &column)> identityNext;
    std::function<std::string(const std::string &table, int64_t rowid)> rowidText;
    std::function<int64_t(const std::string &text)> rowidNumber; // -1 when not a valid rowid
    // The object a synonym names, for a FROM item or change target that is not an object of
    // the schema: the session's private synonym, else a public one, followed through chains.
    // Returns {owner, object} (the owner is the SQLite database name the text qualifies the
    // object with unless it is the session's user); empty object when the name is no synonym.
    std::function<std::pair<std::string, std::string>(const std::string &name)> synonymTarget;
    // The table a change through a view of the session's schema changes (see ViewTarget).
    std::function<ViewTarget(const std::string &name)> viewTarget;
    // The declared type of a table's column (false when there is no such column), so that the
    // translation can size expressions over columns as the server describes them.
    std::function<bool(const std::string &table, const std::string &column, ColumnDescription &)>
        columnType;
    // True when the name (upper case) is one of the session's object types, which a column
    // may be declared with. Throws OraError when the lookup itself fails.
    std::function<bool(const std::string &name)> isObjectType;
    // Object tables and REFs. objectTypeName: the qualified name ("SCHEMA.TYPE") of an object
    // type (not a collection), empty when there is none. objectTableType: the type of an object
    // table (name as written in a FROM item, maybe OWNER.TABLE), empty for any other table.
    // objectTableColumns: the column list (Oracle text) that holds a type's attributes in an
    // object table; throws OraError 902 when the name is no object type.
    std::function<std::string(const std::string &type)> objectTypeName;
    std::function<std::string(const std::string &table)> objectTableType;
    std::function<std::string(const std::string &type)> objectTableColumns;
    // TABLE(subquery) in a FROM clause: given the SQLite text of the subquery, the name of the
    // table-valued function that lists the elements of the collection it returns. Throws
    // OraError 22905 when the subquery returns no collection.
    std::function<std::string(const std::string &subquery)> collectionRows;
    // Added: the server banner "select * from v$version" returns, one row per line.
    std::string banner = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
};

// Translates one statement. Throws OraError for what the server would reject at parse time
// (ORA-00900 for an empty or unknown statement, ORA-00933, ORA-00936, ...).
Translation translate(std::string_view oracleSql, const SessionContext &context);

// Registers the Oracle functions (nvl, decode, to_char, to_date, sysdate, ...) on a connection.
// The context must outlive the connection.
void registerFunctions(sqlite3 *db, SessionContext *context);
// The aggregate behind LISTAGG ... WITHIN GROUP (ListAgg.cpp); registerFunctions calls it.
void registerListAgg(sqlite3 *db);
// QD_NUMMIN / QD_NUMMAX, MIN and MAX of a NUMBER column (NumberAggregates.cpp).
void registerNumberAggregates(sqlite3 *db);

// What the server says about one select-list column.
struct ColumnDescription {
    std::string name;
    int dataType = 1;      // SQLT code: 1 VARCHAR2/CHAR(96), 2 NUMBER, 12 DATE, 8 LONG, 23 RAW,
                           // 24 LONG RAW, 11/104 ROWID, 112 CLOB, 113 BLOB
    int dataSize = 0;      // bytes (22 for NUMBER, 7 for DATE, n for VARCHAR2(n))
    int precision = 0;     // NUMBER(p,s); FLOAT: precision 126, scale -127
    int scale = 0;
    bool nullable = true;
    std::string typeSchema, typeName; // object columns (108): the type's owner and name
};

// What translate() inferred for one select-list item. Every item that is not a star is given
// its Oracle column name as an alias in the SQLite text, so sqlite3_column_name() reports
// Oracle's name (the alias as given, else the expression text upper-cased without blanks).
struct SelectItem {
    std::string name;
    bool star = false;        // "*" or "t.*"
    bool typeKnown = false;   // `type` holds the Oracle type of the expression
    ColumnDescription type;
    // When the type is that of a column (nvl(col, ..), max(col), ...): the column and its
    // qualifier (alias or table, may be empty); describe() looks its declared type up.
    std::string sourceQualifier;
    std::string sourceColumn;
    // With typeKnown and a source column: the type when that column turns out to be a DATE
    // (to_char(col, 'fmt'), col + 1, ...); dataType 0 when the column's type does not matter.
    ColumnDescription typeIfSourceIsDate = [] {
        ColumnDescription none;
        none.dataType = 0;
        return none;
    }();
};

// Describes the select list of a prepared statement as an Oracle server would.
std::vector<ColumnDescription> describe(sqlite3_stmt *statement, const Translation &translation);

// Formats a stored value as Oracle text: numbers as Oracle prints them (".5", "-1.25", "100"),
// dates in the given format model, RAW as upper-case hex.
std::string numberToText(double value);
std::string numberToText(int64_t value);
std::string formatDate(std::string_view isoDate, std::string_view formatModel);
// Parses text in a format model to ISO "YYYY-MM-DD HH24:MI:SS"; throws OraError (ORA-01861 ...).
std::string parseDate(std::string_view text, std::string_view formatModel);

// ---- Added declarations ----

// The Oracle description of a SQLite declared type written by translate()'s DDL. Encoding:
// the declared type is Oracle's type name with its size, with one extra word where SQLite's
// affinity rules would otherwise pick the wrong affinity: "LONG TEXT", "LONG RAW BLOB",
// "RAW BLOB(16)", "DATE TEXT". Every other Oracle type already gets the right affinity from
// its own name (VARCHAR2(n)/CHAR(n)/CLOB → TEXT, NUMBER(p,s) → NUMERIC, INTEGER → INTEGER,
// FLOAT → REAL, BLOB → BLOB). Unknown or empty types describe as VARCHAR2(4000).
ColumnDescription describeDeclaredType(std::string_view declaredType);

// The comment that heads the column list of an object table's SQLite definition and names its
// type ("SCHEMA.TYPE"); objectTableMarkType reads it back from the definition (empty when absent).
std::string objectTableMark(const std::string &qualifiedType);
std::string objectTableMarkType(std::string_view createText);

// A constraint named in a CREATE TABLE statement (Oracle or translated text), so that the
// engine can word "ORA-00001: unique constraint (OWNER.NAME) violated".
struct ConstraintInfo {
    std::string name;                 // upper case; empty when the constraint has no name
    std::string kind;                 // PRIMARY KEY, UNIQUE, FOREIGN KEY, CHECK, NOT NULL
    std::vector<std::string> columns; // upper case
    // CHECK: the condition as the user wrote it (from the translation's note, see
    // oracleNote), else the text inside the parentheses. NOT NULL: "COL" IS NOT NULL.
    std::string condition;
    std::string checkText;               // CHECK: the text inside the parentheses as stored
    std::string refTable;                // FOREIGN KEY: the referenced table, upper case
    std::vector<std::string> refColumns; // and its columns (empty: its primary key)
    bool onDeleteCascade = false;
    // Where the constraint stands in the statement text: [textBegin, textEnd) holds its clause
    // (for a table-level constraint with the comma before it), so that it can be cut out.
    bool tableLevel = false;
    size_t textBegin = 0, textEnd = 0;
};
std::vector<ConstraintInfo> tableConstraints(std::string_view createTableSql);

// The translation keeps the Oracle text of column defaults, check conditions and view queries
// in a comment right after the SQLite text, so the dictionary can show what the user wrote:
// "/*QD:<text>*/". These write and read such a note ("*/" inside the text is kept as "* /").
std::string oracleNote(std::string_view oracleText);
// The note starting at or after `from` up to the next token; nullopt-like: empty with ok=false.
bool readOracleNote(std::string_view sql, size_t from, size_t to, std::string &text);

// Functions fail with an SQLite error whose message is the full ORA text; this recovers the
// OraError from such a message (nullopt-like: code 0 when the message is not an ORA text).
OraError oraErrorFromMessage(std::string_view sqliteMessage);

// The server's error for one of SQLite's own messages about a statement it refused (unknown
// names, wrong numbers of values, misplaced aggregates, limits of the engine, ...). Code 0 when
// the message is none of those.
OraError oraErrorFromSqliteMessage(std::string_view message);

// The byte offset in a statement's text of the first mention of a name as an SQLite message
// gives it ("T", "OWNER.T", "E.COL"; quoted or not), outside literals and comments; 0 when the
// text does not name it.
int nameOffset(std::string_view text, std::string_view name);

// The server's error for the last failure on a connection: ORA texts set by the functions pass
// through; SQLite's own messages map to 942 (no such table), 904 (no such column or function),
// 918 (ambiguous column), 1 (unique or primary key, naming OWNER.CONSTRAINT from the table's
// CREATE statement, else SYS_C plus the table), 1400 (NOT NULL: ("OWNER"."TABLE"."COLUMN")),
// 2291 (foreign key), 2290 (check), 955 (name already used) and 933/921 (syntax SQLite
// rejects). Code 0 for anything else.
OraError oraErrorFromSqlite(sqlite3 *db, std::string_view owner);

// The engine's table behind a data-dictionary view name (ALL_TABLES, USER_TAB_COLUMNS,
// DBA_OBJECTS, ..., upper case, without SYS.): "QDSI_DICT_ALL_TABLES"; empty for other names.
// The translation reads them in place of the views, with or without the SYS. prefix.
std::string dictionaryTable(std::string_view name);

// Oracle's number-to-text conversion of an SQLite value (integer, real or numeric text).
std::string numberToText(sqlite3_value *value);

} // namespace qdsi::sql
