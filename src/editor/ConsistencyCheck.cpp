#include "editor/ConsistencyCheck.h"

#include "classlib/Exception.h"
#include "editor/ParagraphsList.h"

namespace qd {

namespace {

[[noreturn]] void fail(const char *text, const QString &version)
{
    throw Exception(QString::fromLatin1(text) + version);
}

} // namespace

void CheckConsistency(const TParagraphsList &pars, const QString &version)
{
    qint64 lines = 0;
    qint64 position = 0;
    for (qint64 k = 0; k < pars.Count(); ++k) {
        const TParagraph *p = pars.At(k);
        if (pars.FirstLine(k) != lines)
            fail("Error 1", version);
        if (pars.StartPos(k) != position)
            fail("Error 2 in ", version);
        if (p->Formatted) {
            qint64 end = 0;
            for (qint32 l = 0; l < p->LineCount; ++l) {
                const TLineRecord &line = l == 0 ? p->FirstLine : p->FurtherLines[l - 1];
                if (line.StartOffset != end)
                    fail("Error 3 in ", version);
                end = line.EndOffset;
            }
            if (end != p->Length)
                fail("Error 4 in ", version);
        }
        lines += p->LineCount;
        position += qint64(p->Length) + 2;
    }
    if (position != pars.TextLength() + 2)
        fail("Error 5 in ", version);
    if (lines != pars.LineCount())
        fail("Error 6 in ", version);
}

} // namespace qd
