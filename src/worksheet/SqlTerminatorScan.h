#pragma once

#include <QString>

namespace qd {

// Finds the ";" that ends a SQL statement, reading the statement's lines in order as the server
// reads SQL text: '...' literals (a doubled quote inside), "..." names, q'[...]' literals with
// any delimiter (nq'...' too), "--" comments to the end of the line and "/* ... */" comments,
// which do not nest. A ";" inside any of these does not end the statement. The state carries
// over from one line to the next and starts afresh with each statement.
class SqlTerminatorScan {
public:
    // The index of the first ";" of line that ends the statement, or -1; the state moves on to
    // the end of the line when there is none.
    qsizetype findTerminator(QStringView line);

private:
    enum Mode { Code, SingleQuote, DoubleQuote, BlockComment, AltQuote };
    Mode m_mode = Code;
    QChar m_altClose;
};

} // namespace qd
