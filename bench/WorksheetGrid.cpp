// From pressing run on "select * from" a 1,000,000-row table to the first 200 rows painted in
// the worksheet's grid, next to the plain query's first fetch in the same process; then the
// memory the grid holds after scrolling to the last row.
#define QD_BENCH_ORACLE_ROWS
#include "BenchSupport.h"

#include "classlib/DataSetModel.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Resident memory of the process in MiB.
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Counts the paints of a widget that happen while rows are there.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget *widget, qd::DataSetModel *model)
        : m_model(model)
    {
        widget->installEventFilter(this);
    }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_model->rowCount() >= 200)
            painted = true;
        return false;
    }

private:
    qd::DataSetModel *m_model;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qd::bench::TempHome home("/tmp/qd-bench-ws-XXXXXX");
    auto session = qd::bench::LogOnWithBenchRows();
    const QString select = QStringLiteral("select * from bench_rows");

    // Baseline: the plain query's execute with its first fetch.
    std::vector<double> fetchMs;
    for (int round = 0; round < 7; ++round) {
        qd::TOracleQuery query;
        query.SetSession(session.get());
        query.SQL().SetText(select);
        QElapsedTimer timer;
        timer.start();
        query.Execute();
        fetchMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    session->LogOff();

    std::vector<double> paintMs;
    double before = 0, after = 0;
    for (int round = 0; round < 7; ++round) {
        qd::TSQLForm *form = qd::TSQLForm::CreateWorksheet(nullptr,
            qd::TLogonValues { QStringLiteral("DEMO"), QStringLiteral("DEMO"),
                QStringLiteral("DEMO"), QString() },
            select, false);
        form->resize(1000, 800);
        form->show();
        QApplication::processEvents();
        PaintWatch watch(form->Grid()->viewport(), form->GridModel());
        QElapsedTimer timer;
        timer.start();
        form->RunSQL(0, 0);
        while (!watch.painted) {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
            if (timer.elapsed() > 60000) {
                std::fprintf(stderr, "no rows painted within a minute\n");
                return 1;
            }
        }
        paintMs.push_back(timer.nsecsElapsed() / 1e6);
        while (form->Running())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (round == 6) {
            before = residentMiB();
            while (form->GridModel()->canFetchMore({})) {
                form->Grid()->scrollToBottom();
                QApplication::processEvents();
            }
            after = residentMiB();
        }
        delete form;
        QApplication::processEvents();
    }
    const double fetch = median(fetchMs);
    const double paint = median(paintMs);
    std::printf("plain query, execute and first fetch: %8.2f ms (median of 7)\n", fetch);
    std::printf("worksheet, run to 200 rows painted:   %8.2f ms (median of 7)\n", paint);
    std::printf("after the first fetch:                %8.2f ms (aim: under 50)\n", paint - fetch);
    std::printf("ratio paint/fetch:                    %8.2f\n", fetch > 0 ? paint / fetch : 0.0);
    std::printf("memory: %.0f MiB before scrolling, %.0f MiB at the last of %d rows\n", before,
        after, qd::bench::benchRowCount);
    return 0;
}
