// Account file reader: a damaged file is refused with an exception; one that is accepted
// saves and reads back to the same records.
#include "classlib/Exception.h"
#include "shell/AccountList.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString input = dir.filePath("input.dat");
    const QString first = dir.filePath("first.dat");
    const QString second = dir.filePath("second.dat");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    qd::TAccountList list;
    list.SetKey(QStringLiteral("fuzz"));
    try {
        list.LoadAccounts(input);
    } catch (const qd::Exception &) {
        return 0;
    }
    int count = 0;
    for (const QString &group : list.GroupNames()) {
        for (int i = 0; i < list.GetCount(group); ++i, ++count) {
            qd::TAccountRec rec;
            list.GetAccount(group, i, rec);
        }
    }
    if (size_t(count) * qd::TAccountList::RecordSize != size)
        std::abort();
    list.SaveAccounts(first);
    qd::TAccountList again;
    again.SetKey(QStringLiteral("fuzz"));
    again.LoadAccounts(first);
    again.SaveAccounts(second);
    if (readAll(first) != readAll(second))
        std::abort();
    return 0;
}
