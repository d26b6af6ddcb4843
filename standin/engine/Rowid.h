#pragma once

// ROWID text as the server shows it: 18 characters of base-64 digits (object number 6, file 3,
// block 6, row 3). The stand-in puts the table's identity in the object part and the SQLite
// rowid in the file, block and row parts.

#include <cstdint>
#include <string>

namespace qdsi::engine {

std::string rowidText(int64_t objectNumber, int64_t rowid);

// The SQLite rowid of a ROWID text, or -1 when the text is not a valid ROWID.
int64_t rowidNumber(const std::string &text);
int64_t rowidObject(const std::string &text);

} // namespace qdsi::engine
