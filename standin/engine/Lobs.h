#pragma once

// Large objects on the server side: where a LOB value lives (a column of one row, a read-only
// copy, or a file under a BFILE directory) and reading and writing it within a session. The
// client layer keeps a LobRef in each LOB locator; the statement fills locators through the
// two hooks below, which the client layer defines (it owns the locator descriptors).

#include "engine/ClientBuffer.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace qdsi::engine {

class Session;

struct LobRef {
    BufferType kind = BufferType::Clob; // Clob, Blob or Bfile
    // A row's column: read and written through the session of the schema file.
    bool hasRow = false;
    bool writable = false; // the row was locked (FOR UPDATE) or returned by the change itself
    std::string database; // schema file of the row
    std::string table, column;
    int64_t rowid = 0;
    // Without a row: the value as it was fetched.
    std::string snapshot;
    // BFILE: directory object and file name, and the folder they resolve under.
    std::string directory, fileName, bfileRoot;
};

// BFILENAME(dir, name) on a connection; the value is stored as "DIR/name".
void registerLobFunctions(sqlite3 *db, const std::string &bfileRoot);
// Splits a stored BFILE value into the reference's directory and file name.
void setBfileValue(LobRef &ref, const std::string &stored, const std::string &bfileRoot);
// The path of a BFILE; throws ORA-22285 for names that leave the directory.
std::string bfilePath(const LobRef &ref);

// The current value of a row's LOB column (a NULL reads as empty). Throws OraError.
std::string readLobRow(Session &session, const LobRef &ref);
// Replaces the value of a row's LOB column inside the session's transaction; throws ORA-22920
// when the locator was not taken from a locked or changed row.
void writeLobRow(Session &session, const LobRef &ref, const std::string &value);
// The whole contents of a BFILE; throws ORA-22288 when it cannot be read.
std::string readBfile(const LobRef &ref);

// Defined by the client layer: puts a LOB into the locator of element `row` of a define or
// out-bind buffer (a NULL sets the indicator and leaves the locator uninitialised), and reads
// the value of a locator bound as input (false for a null or uninitialised one).
int storeLobOutput(const LobRef &ref, bool isNull, const ClientBuffer &buffer, size_t row);
bool lobInputValue(const ClientBuffer &buffer, size_t row, std::string &value);
// Defined by the client layer, for LOB binds of PL/SQL blocks: the value behind a bound locator
// (a row's locator reads the row), false for a null or uninitialised one; and the block's value
// written back through the locator (a temporary LOB takes it, a locked row's locator writes the
// row, any other locator fails with ORA-22920).
bool lobBlockValue(Session &session, const ClientBuffer &buffer, size_t row, std::string &value);
void storeLobBlockValue(
    Session &session, const ClientBuffer &buffer, size_t row, const std::string &value);

} // namespace qdsi::engine
