#pragma once

// The Oracle dialect layer of the stand-in server: turns Oracle SQL text into SQLite SQL,
// supplies the Oracle functions SQLite lacks, and says what an Oracle server would report
// about a statement's select list. It knows nothing of handles, sessions or the C API; the
// engine (standin/engine, standin/oci) calls it.
//
// Value conventions shared with the engine:
// - DATE values are stored and passed inside SQLite as text "YYYY-MM-DD HH24:MI:SS".
// - NUMBER values are SQLite INTEGER or REAL; VARCHAR2/CHAR/LONG/CLOB as TEXT; RAW/LONG RAW/BLOB
//   as BLOB. An empty string is NULL.
// - Unquoted identifiers are folded to upper case; quoted ones keep their case.

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
};

// Builds "ORA-%05d: <message>" with the server's wording for the codes the stand-in raises.
OraError oraError(int code, std::string_view detail = {}, int offset = 0);

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
};

struct SequenceDefinition {
    std::string name;
    int64_t start = 1;
    int64_t increment = 1;
};

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
};

// Context the translation and the functions need from the engine.
struct SessionContext {
    std::string user;              // current schema, upper case
    int64_t sessionId = 0;
    std::string dateFormat = "DD-MON-RR"; // NLS_DATE_FORMAT of the session
    std::function<int64_t(const std::string &seq)> nextval; // throws OraError (ORA-02289)
    std::function<int64_t(const std::string &seq)> currval; // throws OraError (ORA-08002)
    std::function<std::string(const std::string &table, int64_t rowid)> rowidText;
    std::function<int64_t(const std::string &text)> rowidNumber; // -1 when not a valid rowid
};

// Translates one statement. Throws OraError for what the server would reject at parse time
// (ORA-00900 for an empty or unknown statement, ORA-00933, ORA-00936, ...).
Translation translate(std::string_view oracleSql, const SessionContext &context);

// Registers the Oracle functions (nvl, decode, to_char, to_date, sysdate, ...) on a connection.
// The context must outlive the connection.
void registerFunctions(sqlite3 *db, SessionContext *context);

// What the server says about one select-list column.
struct ColumnDescription {
    std::string name;
    int dataType = 1;      // SQLT code: 1 VARCHAR2/CHAR(96), 2 NUMBER, 12 DATE, 8 LONG, 23 RAW,
                           // 24 LONG RAW, 11/104 ROWID, 112 CLOB, 113 BLOB
    int dataSize = 0;      // bytes (22 for NUMBER, 7 for DATE, n for VARCHAR2(n))
    int precision = 0;     // NUMBER(p,s); FLOAT: precision 126, scale -127
    int scale = 0;
    bool nullable = true;
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

} // namespace qdsi::sql
