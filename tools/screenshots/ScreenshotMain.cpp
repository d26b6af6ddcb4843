// Renders every registered scene offscreen into PNG files.
//   qdscreens --out DIR [NAME...]    only the named scenes when names are given
//   qdscreens --list

#include "Scene.h"

#include "browsers/FrameSQLBrowser.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

namespace qd::screens {

std::vector<Scene> &registeredScenes()
{
    static std::vector<Scene> scenes;
    return scenes;
}

} // namespace qd::screens

using namespace qd::screens;

namespace {

constexpr int kReadyTimeoutMs = 20000;

bool waitUntilReady(const std::function<bool()> &ready)
{
    QDeadlineTimer deadline(kReadyTimeoutMs);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!ready || ready())
            return true;
        QThread::msleep(10);
    }
    return false;
}

bool render(const Scene &scene, const SceneContext &context, const QDir &out)
{
    SceneWidget made;
    try {
        made = scene.make(context);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(scene.name), e.what());
        return false;
    }
    std::unique_ptr<QWidget> widget(made.widget);
    if (!widget) {
        std::fprintf(stderr, "%s: the scene made no window\n", qPrintable(scene.name));
        return false;
    }
    widget->resize(scene.size);
    widget->show();
    if (!waitUntilReady(made.ready)) {
        std::fprintf(stderr, "%s: not ready after %d ms\n", qPrintable(scene.name), kReadyTimeoutMs);
        return false;
    }
    // Let layouts and pending repaints settle before grabbing.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString file = out.filePath(scene.name + QStringLiteral(".png"));
    if (!widget->grab().save(file)) {
        std::fprintf(stderr, "%s: cannot write %s\n", qPrintable(scene.name), qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Scenes write settings and layouts: never into the user's own program directory.
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot make a temporary program directory\n");
        return 1;
    }
    qputenv("QD_HOME", home.path().toLocal8Bit());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarlo Desk"));
    // Worksheets get their browser pane, as in the program.
    qd::InstallSQLBrowserFrame();

    QString outDir = QStringLiteral("docs/screenshots");
    QStringList only;
    const QStringList args = QApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size()) {
            outDir = args[++i];
        } else if (args[i] == QLatin1String("--list")) {
            for (const Scene &scene : registeredScenes())
                std::printf("%s\n", qPrintable(scene.name));
            return 0;
        } else {
            only << args[i];
        }
    }
    QDir out(outDir);
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(outDir));
        return 1;
    }

    SceneContext context{QStringLiteral(QD_STANDIN_LIBRARY), home.path()};
    int failed = 0;
    int rendered = 0;
    for (const Scene &scene : registeredScenes()) {
        if (!only.isEmpty() && !only.contains(scene.name))
            continue;
        if (render(scene, context, out))
            ++rendered;
        else
            ++failed;
    }
    for (const QString &name : only) {
        const bool known = std::any_of(registeredScenes().begin(), registeredScenes().end(),
                                       [&](const Scene &s) { return s.name == name; });
        if (!known) {
            std::fprintf(stderr, "no scene named %s\n", qPrintable(name));
            ++failed;
        }
    }
    std::printf("%d rendered, %d failed\n", rendered, failed);
    return failed == 0 ? 0 : 1;
}
