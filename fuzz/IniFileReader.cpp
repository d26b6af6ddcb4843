// Any file read as an ini file (settings, lists of the program's own files): every section and
// key reads without a crash, and a write keeps every other value of the file as it was: a fresh
// reader of the rewritten file sees the same sections and values plus the written key; deleting
// the key and erasing a section take away only what they name. Write refusals are the product's
// Exception and only for names that could not be read back.
#include "classlib/Exception.h"
#include "classlib/IniFile.h"
#include "classlib/StringList.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

struct Entry {
    QString section, key, value;
};

QList<Entry> readAll(const QString &path)
{
    const qd::TIniFile ini(path);
    QList<Entry> out;
    qd::TStringList sections;
    ini.ReadSections(sections);
    for (int s = 0; s < sections.Count(); ++s) {
        if (!ini.SectionExists(sections[s]))
            __builtin_trap();
        qd::TStringList keys, values;
        ini.ReadSection(sections[s], keys);
        ini.ReadSectionValues(sections[s], values);
        if (values.Count() != keys.Count())
            __builtin_trap();
        for (int k = 0; k < keys.Count(); ++k) {
            const QString value = ini.ReadString(sections[s], keys[k], QStringLiteral("\n"));
            if (value.contains(u'\n') || !ini.ValueExists(sections[s], keys[k]))
                __builtin_trap();
            ini.ReadInteger(sections[s], keys[k], 0);
            ini.ReadBool(sections[s], keys[k], false);
            ini.ReadFloat(sections[s], keys[k], 0);
            out.append({ sections[s], keys[k], value });
        }
    }
    return out;
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The entries minus those of one section, or of one key of it.
QList<Entry> without(const QList<Entry> &all, const QString &section, const QString *key)
{
    QList<Entry> out;
    for (const Entry &e : all)
        if (!same(e.section, section) || (key && !same(e.key, *key)))
            out.append(e);
    return out;
}

bool equal(const QList<Entry> &a, const QList<Entry> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].section != b[i].section || a[i].key != b[i].key || a[i].value != b[i].value)
            return false;
    return true;
}

bool writable(const QString &section)
{
    return !section.trimmed().isEmpty() && section == section.trimmed()
        && !section.contains(u']') && !section.contains(u'\r') && !section.contains(u'\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 8192)
        return 0;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    QFile::remove(path);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const QList<Entry> before = readAll(path);
    const QString section = before.isEmpty() ? QStringLiteral("Fuzz") : before.first().section;
    const QString key = QStringLiteral("QdFuzzKey");
    const QString value = QStringLiteral("a = b ; [c]");

    qd::TIniFile ini(path);
    try {
        ini.WriteString(section, key, value);
    } catch (const qd::Exception &) {
        if (writable(section))
            __builtin_trap();
        return 0;
    }
    if (ini.ReadString(section, key, QString()) != value)
        __builtin_trap();
    QList<Entry> written = readAll(path);
    QList<Entry> expected = without(before, section, &key);
    if (!equal(without(written, section, &key), expected))
        __builtin_trap();
    if (qd::TIniFile(path).ReadString(section, key, QString()) != value)
        __builtin_trap();

    ini.DeleteKey(section, key);
    if (ini.ValueExists(section, key) || !equal(readAll(path), expected))
        __builtin_trap();

    ini.EraseSection(section);
    if (ini.SectionExists(section) || !equal(readAll(path), without(before, section, nullptr)))
        __builtin_trap();
    return 0;
}
