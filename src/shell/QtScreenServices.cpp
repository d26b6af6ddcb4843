#include "shell/QtScreenServices.h"

#include "classlib/ThreadHandOver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QWidget>

#include <algorithm>

namespace qd {

namespace {

QPointer<QtScreenServices> g_services;

bool onGuiThread()
{
    return QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread();
}

Qt::CursorShape shapeOf(TCursor cursor)
{
    switch (cursor) {
    case crHourGlass:
    case crSQLWait:
        return Qt::WaitCursor;
    case crAppStart:
        return Qt::BusyCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

QtScreenServices::QtScreenServices(QObject *parent)
    : QObject(parent)
{
}

QtScreenServices::~QtScreenServices()
{
    if (m_overrideActive)
        QGuiApplication::restoreOverrideCursor();
}

QtScreenServices *QtScreenServices::install()
{
    Q_ASSERT(onGuiThread());
    if (g_services)
        return g_services;
    g_services = new QtScreenServices(QCoreApplication::instance());

    ScreenServices hooks;
    hooks.confirm = [](const QString &message, const QString &buttons) -> int {
        QPointer<QtScreenServices> services = g_services;
        if (!services)
            return mrNone;
        if (onGuiThread())
            return services->confirm(message, buttons);
        // The worker waits for the user's answer, given on the GUI thread.
        int result = mrNone;
        BlockingCall(services.data(), [&] { result = services->confirm(message, buttons); });
        return result;
    };
    hooks.getCursor = []() -> TCursor { return g_services ? g_services->cursor() : crDefault; };
    hooks.setCursor = [](TCursor cursor) {
        QPointer<QtScreenServices> services = g_services;
        if (!services)
            return;
        services->m_cursor = cursor;
        if (onGuiThread())
            services->applyCursor(cursor);
        else
            PostCall(services.data(), [services] {
                // A later change may have arrived first: show the latest one.
                if (services)
                    services->applyCursor(services->cursor());
            });
    };
    hooks.showException = [](std::exception_ptr error) {
        QPointer<QtScreenServices> services = g_services;
        const QString message = ExceptionMessage(error);
        if (!services)
            return;
        if (onGuiThread())
            services->showMessage(message);
        else
            PostCall(services.data(), [services, message] {
                if (services)
                    services->showMessage(message);
            });
    };
    hooks.message = [](TMessageKind kind, const QString &message) {
        QPointer<QtScreenServices> services = g_services;
        if (!services)
            return;
        if (onGuiThread())
            services->showMessage(kind, message);
        else
            // The caller waits until the user has closed the box, as it would on its own thread.
            BlockingCall(services.data(), [services, kind, message] {
                if (services)
                    services->showMessage(kind, message);
            });
    };
    hooks.componentCount = []() -> int {
        return g_services && onGuiThread() ? int(g_services->components().size()) : 0;
    };
    hooks.component = [](int index) -> QObject * {
        if (!g_services || !onGuiThread())
            return nullptr;
        const QList<QObject *> list = g_services->components();
        return index >= 0 && index < list.size() ? list.at(index) : nullptr;
    };
    InstallScreenServices(hooks);
    return g_services;
}

void QtScreenServices::uninstall()
{
    ResetScreenServices();
    delete g_services.data();
}

int QtScreenServices::confirm(const QString &message, const QString &buttons)
{
    struct Choice {
        QChar letter;
        QMessageBox::StandardButton button;
        int result;
    };
    static const Choice choices[] = {
        { QLatin1Char('Y'), QMessageBox::Yes, mrYes },
        { QLatin1Char('N'), QMessageBox::No, mrNo },
        { QLatin1Char('O'), QMessageBox::Ok, mrOk },
        { QLatin1Char('C'), QMessageBox::Cancel, mrCancel },
        { QLatin1Char('I'), QMessageBox::Ignore, mrIgnore },
    };
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), message,
        QMessageBox::NoButton, QApplication::activeWindow());
    struct Shown {
        QAbstractButton *button;
        int result;
    };
    QList<Shown> results;
    for (const Choice &choice : choices) {
        if (buttons.contains(choice.letter))
            results.append(Shown { box.addButton(choice.button), choice.result });
    }
    if (buttons.contains(QLatin1Char('A')))
        results.append(
            Shown { box.addButton(QStringLiteral("&All"), QMessageBox::AcceptRole), mrAll });
    if (results.isEmpty())
        results.append(Shown { box.addButton(QMessageBox::Ok), mrOk });
    box.exec();
    for (const Shown &shown : std::as_const(results)) {
        if (box.clickedButton() == shown.button)
            return shown.result;
    }
    return mrNone;
}

void QtScreenServices::applyCursor(TCursor cursor)
{
    if (cursor == crDefault) {
        if (m_overrideActive)
            QGuiApplication::restoreOverrideCursor();
        m_overrideActive = false;
        return;
    }
    if (m_overrideActive) {
        QGuiApplication::changeOverrideCursor(QCursor(shapeOf(cursor)));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(shapeOf(cursor)));
        m_overrideActive = true;
    }
}

void QtScreenServices::showMessage(const QString &message)
{
    QMessageBox::critical(
        QApplication::activeWindow(), QCoreApplication::applicationName(), message);
}

void QtScreenServices::showMessage(TMessageKind kind, const QString &message)
{
    const QMessageBox::Icon icon = kind == mkError ? QMessageBox::Critical
        : kind == mkWarning                        ? QMessageBox::Warning
                                                   : QMessageBox::Information;
    QMessageBox box(icon, QCoreApplication::applicationName(), message, QMessageBox::Ok,
        QApplication::activeWindow());
    box.exec();
}

QList<QObject *> QtScreenServices::components() const
{
    // The application's windows; popups and tool tips are not components.
    QList<QObject *> list;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop)
            continue;
        list.append(widget);
    }
    // topLevelWidgets() has no stable order; an index must mean the same window twice.
    std::sort(list.begin(), list.end(), std::less<QObject *>());
    return list;
}

} // namespace qd
