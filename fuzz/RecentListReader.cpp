// Recent-list file reader: a damaged file is refused with an exception; an accepted one keeps
// at most MaxCount entries and saves and reads back to the same list.
#include "classlib/Exception.h"
#include "shell/MRUList.h"

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
    const QString input = dir.filePath("MRU.dat");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    qd::TMRUList list;
    list.SetMaxCount(size > 0 ? data[0] % 21 : 10);
    list.SetFileName(input);
    try {
        list.LoadFromFile();
    } catch (const qd::Exception &) {
        return 0;
    }
    if (list.Count() > list.MaxCount())
        std::abort();
    list.SetFileName(dir.filePath("first.dat"));
    list.SaveToFile();
    qd::TMRUList again;
    again.SetMaxCount(list.MaxCount());
    again.SetFileName(list.FileName());
    again.LoadFromFile();
    if (again.Count() != list.Count())
        std::abort();
    for (int i = 0; i < list.Count(); ++i)
        if (!(again.Items(i) == list.Items(i)))
            std::abort();
    again.SetFileName(dir.filePath("second.dat"));
    again.SaveToFile();
    if (readAll(list.FileName()) != readAll(again.FileName()))
        std::abort();
    return 0;
}
