// Throughput of the script splitter on generated scripts of 10,000, 25,000 and 50,000
// statements (SQL with quotes and comments, PL/SQL blocks ending in "/", SET, DEFINE and "@"
// lines, substitution and bind variables), next to a plain scan of the same bytes for line
// breaks in the same process. The time covers what a run does: the editor text split into
// classified statements, and the same from a list of the lines (the text made into lines in the
// timed part). Growth should be linear: the MB/s stay level.
#include "worksheet/KXScript.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

namespace {

QString generateScript(int statements)
{
    static const char *const pieces[] = {
        "select e.ename, 'a;b' as x, d.dname -- who works where; really\n"
        "  from emp e join dept d on d.deptno = e.deptno\n"
        " where e.sal > &min_sal and e.job <> 'it''s' /* not ; this */;\n",
        "/* bulk raise */ update emp set sal = sal * 1.1 where deptno = :dept;\n",
        "begin\n"
        "  dbms_output.put_line('started; ' || to_char(sysdate, 'HH24:MI'));\n"
        "  for r in (select empno from emp) loop\n"
        "    null; -- nothing yet\n"
        "  end loop;\n"
        "end;\n"
        "/\n",
        "set serveroutput on size 100000\n",
        "define min_sal = '1500'\n",
        "insert into audit_log (id, text) values (audit_seq.nextval, q'[it's done; ok]');\n",
        "create or replace procedure p_&&name (a number) is\n"
        "begin\n"
        "  delete from t where id = a;\n"
        "end;\n"
        "/\n",
        "@sub\n",
        "-- a line of its own\n"
        "exec dbms_lock.sleep(0.01);\n",
        "merge into t using s on (t.id = s.id)\n"
        "  when matched then update set t.v = s.v\n"
        "  when not matched then insert (id, v) values (s.id, s.v);\n",
    };
    constexpr int kinds = int(sizeof(pieces) / sizeof(pieces[0]));
    QString text;
    for (int i = 0; i < statements; ++i)
        text += QString::fromUtf8(pieces[(i * 7) % kinds]);
    return text;
}

// The best of repeats runs, in seconds of wall time and of the thread's processor time: on a
// busy machine the processor time shows what the work costs when the thread is not waiting.
struct Times {
    double wall = 1e300;
    double cpu = 1e300;
};

double threadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <typename F> Times bestSeconds(F &&run, int repeats)
{
    Times best;
    for (int r = 0; r < repeats; ++r) {
        const double cpuStart = threadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto stop = std::chrono::steady_clock::now();
        best.cpu = std::min(best.cpu, threadCpuSeconds() - cpuStart);
        best.wall = std::min(best.wall, std::chrono::duration<double>(stop - start).count());
    }
    return best;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QFile sub(dir.filePath(QStringLiteral("sub.sql")));
    if (!sub.open(QIODevice::WriteOnly))
        return 1;
    sub.write("select 1 from dual;\n");
    sub.close();
    QDir::setCurrent(dir.path());

    // Every statement's lines and first word are read once, as the runner reads them.
    auto count = [](const qd::TKXScript &script) {
        int statements = 0;
        qsizetype characters = 0;
        for (const qd::TKXStatement *s = script.Head(); s; s = s->Next) {
            ++statements;
            for (int k = 0; k < s->LineCount(); ++k)
                characters += s->Line(k).size();
            if (s->WordCount() > 0)
                characters += s->Word(0).size();
        }
        return std::make_pair(statements, characters);
    };
    std::pair<int, qsizetype> found;
    auto splitText = [&](const QString &text) {
        qd::TKXScript script;
        script.SetCurrentDir(dir.path() + QLatin1Char('/'));
        script.Parse(text, qd::kpmAll, 0, 5);
        found = count(script);
        script.Clear();
    };

    // A fresh process gives freed memory back to the system and faults it in again on every
    // run until the allocator's thresholds have grown: the first runs are shown apart, then the
    // largest script is split once, so that every size is measured in the same state.
    {
        const QString text = generateScript(10000);
        const double megabytes = double(text.toUtf8().size()) / (1024.0 * 1024.0);
        const Times cold = bestSeconds([&] { splitText(text); }, 10);
        std::printf("fresh process, 10000 statements: split %.1f MB/s (cpu %.1f MB/s)\n",
            megabytes / cold.wall, megabytes / cold.cpu);
        splitText(generateScript(50000));
    }

    std::printf("%-11s %7s %11s %11s %11s %11s %11s %11s %10s %12s\n", "statements", "MB",
        "split MB/s", "(cpu MB/s)", "lines MB/s", "(cpu MB/s)", "scan MB/s", "(cpu MB/s)",
        "split/scan", "us/statement");
    for (const int statements : { 10000, 25000, 50000 }) {
        const QString text = generateScript(statements);
        const QByteArray bytes = text.toUtf8();
        const double megabytes = double(bytes.size()) / (1024.0 * 1024.0);

        const Times split = bestSeconds([&] { splitText(text); }, 10);
        const std::pair<int, qsizetype> foundWhole = found;
        std::pair<int, qsizetype> foundFromLines;
        const Times fromLines = bestSeconds(
            [&] {
                qd::TStringList lines;
                lines.SetText(text);
                qd::TKXScript script;
                script.SetCurrentDir(dir.path() + QLatin1Char('/'));
                script.Parse(lines, qd::kpmAll, 0, 5);
                foundFromLines = count(script);
                script.Clear();
            },
            10);
        volatile qsizetype breaks = 0;
        const Times scan
            = bestSeconds([&] { breaks = std::count(bytes.cbegin(), bytes.cend(), '\n'); }, 20);
        if (foundWhole.first < statements || foundWhole != foundFromLines) {
            std::fprintf(stderr, "only %d of %d statements split (%d from lines)\n",
                foundWhole.first, statements, foundFromLines.first);
            return 1;
        }
        std::printf("%-11d %7.2f %11.1f %11.1f %11.1f %11.1f %11.1f %11.1f %10.1f %12.3f\n",
            statements, megabytes, megabytes / split.wall, megabytes / split.cpu,
            megabytes / fromLines.wall, megabytes / fromLines.cpu, megabytes / scan.wall,
            megabytes / scan.cpu, split.wall / scan.wall, split.wall * 1e6 / statements);
    }
    return 0;
}
