#pragma once

#include <QString>

namespace qd {

// The seam between the program and the system's dynamic loader. The product uses
// the POSIX resolver; tests substitute their own to count or refuse loads.
class LibraryResolver {
public:
    using Handle = void *;

    virtual ~LibraryResolver() = default;

    // Loads the library (a path, or a bare name searched the loader's usual way).
    // Returns nullptr on failure and puts the reason in *error when given.
    virtual Handle open(const QString &path, QString *error) = 0;
    // The address of an exported symbol, or nullptr when the library has none.
    virtual void *symbol(Handle handle, const char *name) = 0;
    virtual void close(Handle handle) = 0;

    // The resolver of this process (POSIX).
    static LibraryResolver &system();
};

// dlopen/dlsym/dlclose. Symbols are bound at load (RTLD_NOW) so that a library with
// unresolved dependencies fails at once rather than at its first call.
class PosixLibraryResolver : public LibraryResolver {
public:
    Handle open(const QString &path, QString *error) override;
    void *symbol(Handle handle, const char *name) override;
    void close(Handle handle) override;
};

// One loaded library, unloaded when the object goes away. Move-only.
class DynamicLibrary {
public:
    explicit DynamicLibrary(LibraryResolver &resolver = LibraryResolver::system());
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    // Unloads what was loaded before, then loads path. False on failure (see errorString()).
    bool load(const QString &path);
    void unload();
    bool isLoaded() const { return m_handle != nullptr; }

    void *resolve(const char *name) const;
    template <typename Function>
    Function resolve(const char *name) const
    {
        return reinterpret_cast<Function>(resolve(name));
    }

    const QString &path() const { return m_path; }
    const QString &errorString() const { return m_error; }
    LibraryResolver::Handle handle() const { return m_handle; }

private:
    LibraryResolver *m_resolver;
    LibraryResolver::Handle m_handle = nullptr;
    QString m_path;
    QString m_error;
};

} // namespace qd
