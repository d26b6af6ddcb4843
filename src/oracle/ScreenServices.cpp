#include "oracle/ScreenServices.h"

#include "classlib/Exception.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace qd {

namespace {

std::atomic<TCursor> g_rememberedCursor { crDefault };

ScreenServices defaults()
{
    ScreenServices s;
    s.confirm = [](const QString &message, const QString &) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return int(mrNone);
    };
    s.getCursor = [] { return g_rememberedCursor.load(); };
    s.setCursor = [](TCursor cursor) { g_rememberedCursor = cursor; };
    s.showException = [](std::exception_ptr error) {
        std::fprintf(stderr, "%s\n", ExceptionMessage(error).toLocal8Bit().constData());
    };
    s.message = [](TMessageKind, const QString &message) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    };
    s.componentCount = [] { return 0; };
    s.component = [](int) -> QObject * { return nullptr; };
    return s;
}

std::mutex g_mutex;
ScreenServices &installed()
{
    static ScreenServices services = defaults();
    return services;
}

// A copy taken under the lock, so a hook can run (and even block on the GUI thread)
// while another thread installs new ones.
ScreenServices current()
{
    std::lock_guard lock(g_mutex);
    return installed();
}

} // namespace

void InstallScreenServices(const ScreenServices &services)
{
    const ScreenServices fallback = defaults();
    std::lock_guard lock(g_mutex);
    ScreenServices &target = installed();
    target.confirm = services.confirm ? services.confirm : fallback.confirm;
    target.getCursor = services.getCursor ? services.getCursor : fallback.getCursor;
    target.setCursor = services.setCursor ? services.setCursor : fallback.setCursor;
    target.showException = services.showException ? services.showException : fallback.showException;
    target.message = services.message ? services.message : fallback.message;
    target.componentCount
        = services.componentCount ? services.componentCount : fallback.componentCount;
    target.component = services.component ? services.component : fallback.component;
}

void ResetScreenServices()
{
    InstallScreenServices(ScreenServices());
}

int ScreenConfirm(const QString &message, const QString &buttons)
{
    return current().confirm(message, buttons);
}

void ScreenMessage(TMessageKind kind, const QString &message)
{
    current().message(kind, message);
}

TCursor GetScreenCursor()
{
    return current().getCursor();
}

void SetScreenCursor(TCursor cursor)
{
    current().setCursor(cursor);
}

void ShowCurrentException()
{
    ShowException(std::current_exception());
}

void ShowException(std::exception_ptr error)
{
    if (error)
        current().showException(error);
}

int ApplicationComponentCount()
{
    return current().componentCount();
}

QObject *ApplicationComponent(int index)
{
    return current().component(index);
}

QString ExceptionMessage(std::exception_ptr error)
{
    if (!error)
        return QString();
    try {
        std::rethrow_exception(error);
    } catch (const Exception &e) {
        return e.Message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown exception");
    }
}

ScreenCursorSaver::ScreenCursorSaver(TCursor cursor)
{
    if (cursor == crDefault)
        return;
    m_saved = GetScreenCursor();
    m_active = true;
    SetScreenCursor(cursor);
}

ScreenCursorSaver::~ScreenCursorSaver()
{
    if (!m_active)
        return;
    try {
        SetScreenCursor(m_saved);
    } catch (...) {
    }
}

} // namespace qd
