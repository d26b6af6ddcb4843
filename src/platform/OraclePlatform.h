#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace qd {

class LibraryResolver;

// Where a client installation keeps its library and how its files are named. The
// discovery rules are the same everywhere; only these names differ.
struct ClientLibraryLayout {
    enum class Naming {
        Windows, // oci.dll and ora<digits>.dll, names compared without case
        Linux,   // libclntsh.so and libclntsh.so.<major>.<minor>, names compared exactly
    };
    Naming naming = Naming::Windows;
    QChar separator = QLatin1Char('\\');
    QString libraryDirectory = QStringLiteral("bin");    // below the home directory
    QString primaryLibrary = QStringLiteral("oci.dll");  // preferred over any versioned file
    QString candidateWildcard = QStringLiteral("ora*.dll");
    // Loaded through the loader's own search when the machine has no home (empty: none).
    QString fallbackLibrary;
    // Transaction-enlistment library beside the client library (empty: none exists).
    QString transactionLibrary = QStringLiteral("oramts.dll");
    // Network configuration below the home directory, for a Net8 client and for others.
    QString net80AdminDirectory = QStringLiteral("Net80\\Admin");
    QString networkAdminDirectory = QStringLiteral("Network\\Admin");
};

// The replaceable provider of what client-library discovery reads from the machine:
// the registry (or what stands for it), environment variables, the command line and
// files. Tests drive discovery with a fake; the product uses LinuxOraclePlatform.
class OraclePlatform {
public:
    enum class RegistryRoot { LocalMachine, CurrentUser };

    virtual ~OraclePlatform() = default;

    virtual ClientLibraryLayout layout() const = 0;

    // A missing key or value gives an empty string.
    virtual QString readRegistryString(RegistryRoot root, const QString &key,
                                       const QString &valueName) const = 0;
    // Subkey names in enumeration order; a key that cannot be opened gives none.
    virtual QStringList listRegistrySubKeys(RegistryRoot root, const QString &key) const = 0;

    virtual QString environmentValue(const QString &name) const = 0;
    // The program's parameters, without the program name.
    virtual QStringList commandLineParameters() const = 0;

    virtual bool fileExists(const QString &path) const = 0;
    // Names (not paths) of the entries of directory that match wildcard, in directory order.
    virtual QStringList listFiles(const QString &directory, const QString &wildcard) const = 0;
    // The lines of a text file; a missing file gives none. Throws qd::Exception for a
    // file that exists but cannot be read or is unreasonably large.
    virtual QStringList readTextLines(const QString &path) const = 0;

    // Makes dir the place where a loaded client library finds its companion libraries
    // (the process Path on Windows). Does nothing where the loader cannot be steered.
    virtual void prependToLibraryPath(const QString &dir) { (void)dir; }
    // Whether a failed load is retried with the library's directory made current.
    virtual bool retriesLoadInLibraryDirectory() const { return false; }
    virtual QString currentDirectory() const;
    virtual bool setCurrentDirectory(const QString &dir);

    virtual LibraryResolver &libraryResolver();
};

} // namespace qd
