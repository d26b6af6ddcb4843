#include "worksheet/ScriptHost.h"

namespace qd {

int ErrorWordLength(const QString &lineText, int column)
{
    static const QString stops = QStringLiteral(" \t(),+-*/='\";%|");
    if (column < 0)
        column = 0;
    for (int i = column; i < lineText.size(); ++i)
        if (stops.contains(lineText.at(i)))
            return i - column;
    return qMax(0, int(lineText.size()) - column);
}

} // namespace qd
