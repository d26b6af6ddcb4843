// TMemoryData against a std::vector of structs doing the same work in the same process:
// 1,000,000 records of five fields appended, sorted on two fields (QTY, then NAME in the
// locale's order, creation order last), then located by a partial NAME key. Prints the time of
// each step, the ratios, and the heap bytes per record against the bytes of the values.
//
// Build with -DQD_BUILD_BENCH=ON; run build/bench/bench_MemoryDataBench [records].
#include "tools/MemoryData.h"

#include "classlib/DateTimeFields.h"
#include "classlib/NumericFields.h"
#include "classlib/StringField.h"

#include <QCollator>
#include <QCoreApplication>
#include <QLocale>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Values {
    std::vector<QString> names;
    std::vector<double> amounts;
    std::vector<double> created;
    std::vector<int> qty;
    std::vector<QString> keys; // partial NAME keys to locate
};

// The same pseudo-random values for both sides, made before timing.
Values makeValues(int count)
{
    Values v;
    quint32 seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int i = 0; i < count; ++i) {
        v.names.push_back(QStringLiteral("name%1").arg(next() % 1000000, 7, 10, QLatin1Char('0')));
        v.amounts.push_back((next() % 100000) / 100.0);
        v.created.push_back(45000 + (next() % 3650) + (next() % 86400) / 86400.0);
        v.qty.push_back(static_cast<int>(next() % 100));
    }
    // Keys of records spread over the list, and one that matches nothing.
    for (int i = 1; i <= 9; ++i)
        v.keys.push_back(v.names[static_cast<size_t>(count) * i / 10].left(9));
    v.keys.push_back(QStringLiteral("nomatch"));
    return v;
}

// Bytes in use on the heap, counting the large blocks malloc maps separately (a big vector).
size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

struct Result {
    double append = 0;
    double sort = 0;
    double locate = 0;
    double bytesPerRecord = 0;
    int found = 0;
};

// ---- The baseline: a vector of structs.

struct Row {
    qint32 id;
    QString name;
    double amount;
    double created;
    qint32 qty;
};

Result runVector(const Values &v)
{
    Result r;
    const size_t before = heapInUse();
    auto start = Clock::now();
    std::vector<Row> rows;
    for (size_t i = 0; i < v.names.size(); ++i)
        // Each side keeps its own copy of the text, as the dataset does.
        rows.push_back(
            Row { static_cast<qint32>(i), QString(v.names[i].unicode(), v.names[i].size()),
                v.amounts[i], v.created[i], v.qty[i] });
    r.append = seconds(start);
    r.bytesPerRecord = double(heapInUse() - before) / double(rows.size());

    start = Clock::now();
    QCollator collator { QLocale() };
    std::sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
        if (a.qty != b.qty)
            return a.qty < b.qty;
        const int c = collator.compare(a.name, b.name);
        if (c != 0)
            return c < 0;
        return a.id < b.id;
    });
    r.sort = seconds(start);

    start = Clock::now();
    for (const QString &key : v.keys) {
        for (const Row &row : rows) {
            if (row.name.startsWith(key)) {
                ++r.found;
                break;
            }
        }
    }
    r.locate = seconds(start);
    return r;
}

// ---- TMemoryData through the dataset interface.

Result runMemoryData(const Values &v)
{
    using namespace qd;
    Result r;
    const size_t before = heapInUse();
    TMemoryData ds;
    ds.FieldDefs().Add(QStringLiteral("ID"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("NAME"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("AMOUNT"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("CREATED"), ftDateTime);
    ds.FieldDefs().Add(QStringLiteral("QTY"), ftInteger);
    ds.Open();
    TField *id = ds.FieldByName(QStringLiteral("ID"));
    TField *name = ds.FieldByName(QStringLiteral("NAME"));
    TField *amount = ds.FieldByName(QStringLiteral("AMOUNT"));
    TField *created = ds.FieldByName(QStringLiteral("CREATED"));
    TField *qty = ds.FieldByName(QStringLiteral("QTY"));

    auto start = Clock::now();
    for (size_t i = 0; i < v.names.size(); ++i) {
        ds.Append();
        id->SetAsInteger(static_cast<int>(i));
        name->SetAsString(v.names[i]);
        amount->SetAsFloat(v.amounts[i]);
        created->SetAsDateTime(v.created[i]);
        qty->SetAsInteger(v.qty[i]);
        ds.Post();
    }
    r.append = seconds(start);
    r.bytesPerRecord = double(heapInUse() - before) / double(ds.RecordCount());

    start = Clock::now();
    ds.SortByFields(QStringLiteral("QTY;NAME"));
    r.sort = seconds(start);

    start = Clock::now();
    for (const QString &key : v.keys)
        if (ds.Locate(QStringLiteral("NAME"), key, loPartialKey))
            ++r.found;
    r.locate = seconds(start);
    ds.Close();
    return r;
}

Result best(const std::function<Result()> &run, int times)
{
    Result b = run();
    for (int i = 1; i < times; ++i) {
        const Result r = run();
        b.append = std::min(b.append, r.append);
        b.sort = std::min(b.sort, r.sort);
        b.locate = std::min(b.locate, r.locate);
    }
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 1000000;
    const Values values = makeValues(count);
    const Result base = best([&] { return runVector(values); }, 3);
    const Result mine = best([&] { return runMemoryData(values); }, 3);
    if (base.found != mine.found)
        std::printf("MISMATCH: vector found %d keys, TMemoryData %d\n", base.found, mine.found);

    // Bytes of the values: two 32-bit integers, two doubles and the name's UTF-8 text.
    const double valueBytes = 4 + 8 + 8 + 4 + double(values.names[0].toUtf8().size());
    std::printf("%d records of five fields (best of 3)\n", count);
    std::printf("%-28s %12s %12s %8s\n", "step", "vector s", "MemoryData s", "ratio");
    auto line = [](const char *step, double a, double b) {
        std::printf("%-28s %12.4f %12.4f %8.2f\n", step, a, b, b / a);
    };
    line("append", base.append, mine.append);
    line("sort on QTY;NAME", base.sort, mine.sort);
    line("locate 10 partial keys", base.locate, mine.locate);
    std::printf("heap bytes per record: vector %.1f, TMemoryData %.1f; value bytes %.0f "
                "(TMemoryData %.2fx the values)\n",
        base.bytesPerRecord, mine.bytesPerRecord, valueBytes, mine.bytesPerRecord / valueBytes);
    return 0;
}
