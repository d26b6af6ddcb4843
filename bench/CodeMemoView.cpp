// The editor widget against a QScintilla widget in one process, offscreen:
// - loading a 20 MB SQL text (generated from a seed) with word wrap on: time until the first
//   screen is formatted and painted, and until the end of the text can be shown (everything above
//   it wrapped), as ratios ours / QScintilla;
// - keystroke latency on a 1,000,000-line text: insert one character and repaint, 1,000 keys at
//   the start, the middle and the end, p50 and p99 for each editor (QScintilla types fewer where
//   its keys are slow, see keystrokeBenchmark).
//
// QScintilla is a baseline only: linked by this benchmark, used through its public API.
#include "editor/CodeMemo.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QBuffer>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include <time.h>

using namespace qd;

namespace {

QString makeSqlText(qint64 targetBytes, int maxLines, unsigned seed)
{
    static const char *const words[]
        = { "select", "from", "where", "and", "or", "order by", "group by", "insert into", "values",
              "update", "set", "delete", "join", "on", "nvl(", "decode(", "to_char(", "sysdate",
              "count(*)", "sum(", "'text'", "null", "is not", "=", "<>", "+", "||" };
    std::mt19937 rng(seed);
    QString text;
    int lines = 0;
    while (text.size() < targetBytes && lines < maxLines) {
        if (lines++ > 0)
            text += QStringLiteral("\r\n");
        text += QString(int(rng() % 4) * 2, QChar(u' '));
        const int n = 2 + int(rng() % 9);
        for (int w = 0; w < n; ++w) {
            if (w > 0)
                text += QChar(u' ');
            if (rng() % 3 == 0)
                text += QStringLiteral("col_%1").arg(rng() % 500);
            else
                text += QLatin1String(words[rng() % (sizeof(words) / sizeof(words[0]))]);
        }
    }
    return text;
}

double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Wall-clock and GUI-thread CPU milliseconds of one piece of work.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

Cost measure(const std::function<void()> &work)
{
    const double cpu = threadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    work();
    return { std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count(),
        threadCpuMs() - cpu };
}

QFont editorFont()
{
    return QFont(QStringLiteral("DejaVu Sans Mono"), 10);
}

struct Latency {
    double p50 = 0;
    double p99 = 0;
};

Latency percentiles(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return { v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)] };
}

void loadBenchmark(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    Cost oursFirst;
    Cost oursEnd;
    Cost oursLoad;
    {
        TCodeMemo memo;
        memo.setFont(editorFont());
        memo.resize(900, 600);
        memo.SetUpdateMode(umOnNeed); // the background timer does not run here
        memo.show();
        // Warm the font caches on a small piece first, as for the baseline.
        memo.SetTextBuf(text.left(100000));
        memo.viewport()->repaint();
        QApplication::processEvents();
        oursFirst = measure([&] {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            oursLoad = measure([&] { memo.LoadFromStream(buffer); });
            memo.viewport()->repaint();
        });
        oursEnd = measure([&] {
            memo.SetSelStart(memo.TextLength());
            memo.ScrollInView();
            memo.viewport()->repaint();
        });
    }
    Cost sciFirst;
    Cost sciEnd;
    {
        QsciScintilla sci;
        sci.setFont(editorFont());
        sci.setWrapMode(QsciScintilla::WrapWord);
        sci.resize(900, 600);
        sci.show();
        sci.setText(text.left(100000));
        sci.viewport()->repaint();
        QApplication::processEvents();
        sciFirst = measure([&] {
            // The bytes decoded as the editor decodes them, then handed over.
            sci.setText(QString::fromUtf8(bytes));
            sci.viewport()->repaint();
        });
        sciEnd = measure([&] {
            sci.SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
            sci.viewport()->repaint();
        });
    }
    std::printf("load %.1f MB, word wrap on, 900x600 (wall ms / GUI-thread CPU ms)\n",
        double(bytes.size()) / 1e6);
    std::printf("  (ours: %.1f / %.1f ms of it reading the text in)\n", oursLoad.wall, oursLoad.cpu);
    std::printf("  first screen: ours %8.1f / %8.1f  QScintilla %8.1f / %8.1f  ratio %.2f / %.2f\n",
        oursFirst.wall, oursFirst.cpu, sciFirst.wall, sciFirst.cpu, oursFirst.wall / sciFirst.wall,
        oursFirst.cpu / sciFirst.cpu);
    std::printf("  whole text:   ours %8.1f / %8.1f  QScintilla %8.1f / %8.1f  ratio %.2f / %.2f\n",
        oursFirst.wall + oursEnd.wall, oursFirst.cpu + oursEnd.cpu, sciFirst.wall + sciEnd.wall,
        sciFirst.cpu + sciEnd.cpu, (oursFirst.wall + oursEnd.wall) / (sciFirst.wall + sciEnd.wall),
        (oursFirst.cpu + oursEnd.cpu) / (sciFirst.cpu + sciEnd.cpu));
}

void keystrokeBenchmark(const QString &text, int keys)
{
    const char *const places[] = { "start", "middle", "end" };
    TCodeMemo memo;
    memo.setFont(editorFont());
    memo.resize(900, 600);
    memo.SetWordWrap(false);
    memo.SetUpdateMode(umOnNeed);
    memo.show();
    memo.SetTextBuf(text);
    QsciScintilla sci;
    sci.setFont(editorFont());
    sci.resize(900, 600);
    sci.show();
    sci.setText(text);
    QApplication::processEvents();
    std::printf("keystrokes: %lld lines, %d keys each, insert and repaint\n",
        memo.ParagraphCount(), keys);
    for (int place = 0; place < 3; ++place) {
        const qint64 par = place == 0 ? 0
            : place == 1              ? memo.ParagraphCount() / 2
                                      : memo.ParagraphCount() - 1;
        memo.SetSelStart(memo.ParagraphStart(par) + (place == 2 ? 0 : 4));
        memo.ScrollInView();
        std::vector<double> oursWall;
        std::vector<double> oursCpu;
        for (int k = 0; k < keys; ++k) {
            const Cost c = measure([&] {
                memo.ReplaceSel(QStringLiteral("x"));
                memo.viewport()->repaint();
            });
            oursWall.push_back(c.wall);
            oursCpu.push_back(c.cpu);
        }
        const int line = int(par);
        sci.setCursorPosition(line, place == 2 ? 0 : 4);
        sci.ensureCursorVisible();
        std::vector<double> theirsWall;
        std::vector<double> theirsCpu;
        // QScintilla's keystroke here costs time that grows with the caret's line (hundreds of
        // milliseconds deep in a million lines), so it types fewer keys when they would take
        // longer than the budget: at least 100, the count is printed.
        const auto budgetStart = std::chrono::steady_clock::now();
        const auto overBudget = [&] {
            return std::chrono::steady_clock::now() - budgetStart > std::chrono::seconds(30);
        };
        for (int k = 0; k < keys && (k < 100 || !overBudget()); ++k) {
            const Cost c = measure([&] {
                sci.SendScintilla(QsciScintilla::SCI_ADDTEXT, 1, "x");
                sci.viewport()->repaint();
            });
            theirsWall.push_back(c.wall);
            theirsCpu.push_back(c.cpu);
        }
        const Latency aw = percentiles(oursWall);
        const Latency ac = percentiles(oursCpu);
        const Latency bw = percentiles(theirsWall);
        const Latency bc = percentiles(theirsCpu);
        std::printf("  %-6s wall: ours p50 %6.3f p99 %6.3f ms   QScintilla p50 %7.3f p99 %7.3f ms   "
                    "p99 ratio %.2f\n",
            places[place], aw.p50, aw.p99, bw.p50, bw.p99, aw.p99 / bw.p99);
        std::printf("  %-6s CPU:  ours p50 %6.3f p99 %6.3f ms   QScintilla p50 %7.3f p99 %7.3f ms   "
                    "p99 ratio %.2f   (QScintilla typed %zu keys)\n",
            "", ac.p50, ac.p99, bc.p50, bc.p99, ac.p99 / bc.p99, theirsCpu.size());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 loadBytes = qEnvironmentVariableIntValue("QD_BENCH_MB") > 0
        ? qint64(qEnvironmentVariableIntValue("QD_BENCH_MB")) * 1000000
        : 20000000;
    const int lines = qEnvironmentVariableIntValue("QD_BENCH_LINES") > 0
        ? qEnvironmentVariableIntValue("QD_BENCH_LINES")
        : 1000000;
    loadBenchmark(makeSqlText(loadBytes, 1 << 30, 7));
    keystrokeBenchmark(makeSqlText(qint64(1) << 40, lines, 11), 1000);
    return 0;
}
