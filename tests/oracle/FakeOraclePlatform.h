#pragma once

#include "QStringPrinter.h"
#include "platform/DynamicLibrary.h"
#include "platform/OraclePlatform.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include "common/MapEnvironment.h"
#include "platform/Environment.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace qd::test {

// A machine made of tables: registry values, environment, parameters and text files.
// Windows naming unless a layout is given. The library resolver is the real one, wrapped
// to count loads.
class FakeOraclePlatform : public OraclePlatform {
public:
    class CountingResolver : public LibraryResolver {
    public:
        Handle open(const QString &path, QString *error) override
        {
            ++opens;
            // Widens the window in which a second thread could start a load of its own.
            std::this_thread::sleep_for(openDelay);
            return LibraryResolver::system().open(path, error);
        }
        void *symbol(Handle handle, const char *name) override
        {
            return LibraryResolver::system().symbol(handle, name);
        }
        void close(Handle handle) override
        {
            ++closes;
            LibraryResolver::system().close(handle);
        }
        std::chrono::milliseconds openDelay { 0 };
        std::atomic<int> opens { 0 };
        std::atomic<int> closes { 0 };
    };

    explicit FakeOraclePlatform(ClientLibraryLayout layout = ClientLibraryLayout())
        : m_layout(std::move(layout))
    {
    }

    // ---- setting up the machine ----
    void setValue(const QString &key, const QString &name, const QString &value)
    {
        m_values[(key + QLatin1Char('|') + name).toUpper()] = value;
        addKey(key);
    }
    void addKey(const QString &key)
    {
        const qsizetype cut = key.lastIndexOf(QLatin1Char('\\'));
        if (cut < 0)
            return;
        const QString parent = key.left(cut).toUpper();
        const QString child = key.mid(cut + 1);
        QStringList &children = m_subKeys[parent];
        if (!children.contains(child, Qt::CaseInsensitive))
            children.append(child);
        addKey(key.left(cut));
    }
    void addFile(const QString &path, const QStringList &lines = {}) { m_files[path] = lines; }

    QHash<QString, QString> environment;
    QStringList parameters;
    CountingResolver resolver;

    // ---- OraclePlatform ----
    ClientLibraryLayout layout() const override { return m_layout; }
    QString readRegistryString(
        RegistryRoot root, const QString &key, const QString &valueName) const override
    {
        if (root != RegistryRoot::LocalMachine)
            return QString();
        return m_values.value((key + QLatin1Char('|') + valueName).toUpper());
    }
    QStringList listRegistrySubKeys(RegistryRoot root, const QString &key) const override
    {
        return root == RegistryRoot::LocalMachine ? m_subKeys.value(key.toUpper()) : QStringList();
    }
    QString environmentValue(const QString &name) const override { return environment.value(name); }
    QStringList commandLineParameters() const override { return parameters; }
    bool fileExists(const QString &path) const override { return m_files.contains(path); }
    QStringList listFiles(const QString &directory, const QString &wildcard) const override
    {
        const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(wildcard),
            QRegularExpression::CaseInsensitiveOption);
        QStringList names;
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
            if (!it.key().startsWith(directory))
                continue;
            const QString name = it.key().mid(directory.size());
            if (!name.contains(m_layout.separator) && pattern.match(name).hasMatch())
                names.append(name);
        }
        return names;
    }
    QStringList readTextLines(const QString &path) const override
    {
        ++reads[path];
        return m_files.value(path);
    }
    LibraryResolver &libraryResolver() override { return resolver; }

    mutable QHash<QString, int> reads;

private:
    ClientLibraryLayout m_layout;
    QHash<QString, QString> m_values;
    QHash<QString, QStringList> m_subKeys;
    QMap<QString, QStringList> m_files; // sorted: a stable "directory order"
};


} // namespace qd::test
