#include "platform/DynamicLibrary.h"

#include <QFile>

#include <dlfcn.h>

#include <mutex>
#include <utility>

namespace qd {

LibraryResolver &LibraryResolver::system()
{
    static PosixLibraryResolver resolver;
    return resolver;
}

namespace {
// dlerror() keeps one message per thread, but a message read late could belong to
// another call of the same thread; taking it right after the call under a lock keeps
// the text with the failure it describes.
std::mutex &loaderMutex()
{
    static std::mutex mutex;
    return mutex;
}
} // namespace

LibraryResolver::Handle PosixLibraryResolver::open(const QString &path, QString *error)
{
    std::lock_guard lock(loaderMutex());
    dlerror();
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && error) {
        const char *text = dlerror();
        *error = text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
    }
    return handle;
}

void *PosixLibraryResolver::symbol(Handle handle, const char *name)
{
    if (!handle || !name)
        return nullptr;
    return dlsym(handle, name);
}

void PosixLibraryResolver::close(Handle handle)
{
    if (handle)
        dlclose(handle);
}

DynamicLibrary::DynamicLibrary(LibraryResolver &resolver) : m_resolver(&resolver) {}

DynamicLibrary::~DynamicLibrary() { unload(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept
    : m_resolver(other.m_resolver), m_handle(std::exchange(other.m_handle, nullptr)),
      m_path(std::move(other.m_path)), m_error(std::move(other.m_error))
{
}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept
{
    if (this != &other) {
        unload();
        m_resolver = other.m_resolver;
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool DynamicLibrary::load(const QString &path)
{
    unload();
    m_path = path;
    m_error.clear();
    m_handle = m_resolver->open(path, &m_error);
    return m_handle != nullptr;
}

void DynamicLibrary::unload()
{
    if (m_handle)
        m_resolver->close(std::exchange(m_handle, nullptr));
}

void *DynamicLibrary::resolve(const char *name) const
{
    return m_handle ? m_resolver->symbol(m_handle, name) : nullptr;
}

} // namespace qd
