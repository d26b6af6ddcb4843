// The editor's text model against QScintilla's editor, in one process: a 500,000-line SQL text
// (generated from a seed), 2,000 single-character inserts at the top, the middle and the end,
// then undo of all of them. Prints the time ratio (ours / QScintilla) per position, and the
// memory each holds per line of text next to the text's own bytes per line.
//
// QScintilla is a baseline only: linked by this benchmark, used through its public API.
#include "editor/CodeDocument.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QString>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

using namespace qd;

namespace {

const int lineCount = qEnvironmentVariableIntValue("QD_BENCH_LINES") > 0
    ? qEnvironmentVariableIntValue("QD_BENCH_LINES")
    : 500000;
const int editCount = qEnvironmentVariableIntValue("QD_BENCH_EDITS") > 0
    ? qEnvironmentVariableIntValue("QD_BENCH_EDITS")
    : 2000;
constexpr int rounds = 9; // the best round: the machine may preempt any one

QString makeSqlText(unsigned seed)
{
    static const char *const words[]
        = { "select", "from", "where", "and", "or", "order by", "group by", "insert into", "values",
              "update", "set", "delete", "join", "on", "nvl(", "decode(", "to_char(", "sysdate",
              "count(*)", "sum(", "'text'", "null", "is not", "=", "<>", "+", "||" };
    std::mt19937 rng(seed);
    QString text;
    text.reserve(qsizetype(lineCount) * 44);
    for (int line = 0; line < lineCount; ++line) {
        if (line > 0)
            text += QStringLiteral("\r\n");
        const int indent = int(rng() % 4) * 2;
        text += QString(indent, QChar(u' '));
        const int n = 2 + int(rng() % 9);
        for (int w = 0; w < n; ++w) {
            if (w > 0)
                text += QChar(u' ');
            if (rng() % 3 == 0)
                text += QStringLiteral("col_%1").arg(rng() % 500);
            else
                text += QLatin1String(words[rng() % (sizeof(words) / sizeof(words[0]))]);
        }
        if (rng() % 5 == 0)
            text += QChar(u';');
    }
    return text;
}

qint64 heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timing {
    double inserts = 1e9;
    double undo = 1e9;
    int undoSteps = 0;
    bool restored = true;
};

enum class Where { Top, Middle, End };

const char *name(Where where)
{
    return where == Where::Top ? "top" : where == Where::Middle ? "middle" : "end";
}

Timing runOurs(CodeDocument &doc, Where where)
{
    Timing best;
    const qint64 length = doc.TextLength();
    for (int round = 0; round < rounds; ++round) {
        const qint64 middle = length / 2;
        const double inserts = seconds([&] {
            for (int i = 0; i < editCount; ++i) {
                const qint64 at = where == Where::Top ? 0
                    : where == Where::Middle          ? middle
                                                      : doc.TextLength();
                // As a user types: the caret is placed only when it is elsewhere.
                if (doc.GetSelStart() != at || doc.SelLength() != 0)
                    doc.SetSelStart(at);
                doc.ReplaceSel(QStringLiteral("x"));
            }
        });
        int steps = 0;
        const double undo = seconds([&] {
            while (doc.CanUndo()) {
                doc.Undo();
                ++steps;
            }
        });
        best.inserts = std::min(best.inserts, inserts);
        best.undo = std::min(best.undo, undo);
        best.undoSteps = steps;
        best.restored = best.restored && doc.TextLength() == length;
    }
    return best;
}

Timing runScintilla(QsciScintilla &editor, Where where)
{
    Timing best;
    const long length = editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    for (int round = 0; round < rounds; ++round) {
        const long middle = length / 2;
        const double inserts = seconds([&] {
            for (int i = 0; i < editCount; ++i) {
                const long at = where == Where::Top ? 0
                    : where == Where::Middle
                    ? middle
                    : editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
                editor.SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, at, "x");
            }
        });
        int steps = 0;
        const double undo = seconds([&] {
            while (editor.SendScintilla(QsciScintillaBase::SCI_CANUNDO)) {
                editor.SendScintilla(QsciScintillaBase::SCI_UNDO);
                ++steps;
            }
        });
        best.inserts = std::min(best.inserts, inserts);
        best.undo = std::min(best.undo, undo);
        best.undoSteps = steps;
        best.restored
            = best.restored && editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH) == length;
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString text = makeSqlText(20251211);
    const QByteArray utf8 = text.toUtf8();
    std::printf("text: %d lines, %lld bytes (%.1f bytes per line)\n", lineCount,
        qint64(utf8.size()), double(utf8.size()) / lineCount);

    const qint64 beforeOurs = heapBytes();
    auto doc = std::make_unique<CodeDocument>();
    // A copy made inside the measurement: the text model reads its paragraphs from the text it
    // was given, so that text is part of what it holds.
    doc->ReplaceSel(QString(text.constData(), text.size()));
    doc->ClearUndo();
    const qint64 oursBytes = heapBytes() - beforeOurs;
    if (doc->ParagraphCount() != lineCount) {
        std::fprintf(stderr, "the text model holds %lld paragraphs\n", doc->ParagraphCount());
        return 1;
    }

    const qint64 beforeScintilla = heapBytes();
    auto editor = std::make_unique<QsciScintilla>();
    editor->SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, QsciScintillaBase::SC_CP_UTF8);
    // Only the text and its undo history are measured: no notifications to the Qt layer.
    editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0ul);
    editor->SendScintilla(QsciScintillaBase::SCI_SETTEXT, utf8.constData());
    editor->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    const qint64 scintillaBytes = heapBytes() - beforeScintilla;
    if (editor->lines() != lineCount) {
        std::fprintf(stderr, "QScintilla holds %d lines\n", editor->lines());
        return 1;
    }

    std::printf("memory per line: ours %.1f bytes, QScintilla %.1f bytes, text %.1f bytes "
                "(ours %.2fx the text, QScintilla %.2fx)\n",
        double(oursBytes) / lineCount, double(scintillaBytes) / lineCount,
        double(utf8.size()) / lineCount, double(oursBytes) / utf8.size(),
        double(scintillaBytes) / utf8.size());

    std::printf("\n%d single-character inserts, then undo of all (best of %d rounds):\n", editCount,
        rounds);
    std::printf("%-7s %12s %12s %12s %12s %8s %8s %8s\n", "where", "ours ins ms", "ours undo ms",
        "qsci ins ms", "qsci undo ms", "ins", "undo", "ratio");
    bool ok = true;
    for (Where where : { Where::Top, Where::Middle, Where::End }) {
        const Timing ours = runOurs(*doc, where);
        const Timing qsci = runScintilla(*editor, where);
        ok = ok && ours.restored && qsci.restored;
        std::printf("%-7s %12.2f %12.2f %12.2f %12.2f %8.2f %8.2f %8.2f   (undo steps: ours %d, "
                    "QScintilla %d)\n",
            name(where), ours.inserts * 1e3, ours.undo * 1e3, qsci.inserts * 1e3, qsci.undo * 1e3,
            ours.inserts / qsci.inserts, ours.undo / qsci.undo,
            (ours.inserts + ours.undo) / (qsci.inserts + qsci.undo), ours.undoSteps,
            qsci.undoSteps);
    }
    if (!ok) {
        std::fprintf(stderr, "undo did not restore a text's length\n");
        return 1;
    }
    return 0;
}
