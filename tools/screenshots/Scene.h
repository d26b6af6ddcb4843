#pragma once

// A scene is one window of the program, made with sample content, that the
// screenshot renderer shows offscreen and saves as docs/screenshots/<name>.png.
// Each window adds one .cpp file here that registers its scenes:
//
//   QD_SCREENSHOT_SCENE(sqlEditor, "sql-editor", QSize(900, 600))
//   {
//       auto *editor = new qd::TCodeMemo;
//       ...
//       return {editor};                        // ready at once
//       // or: return {window, [=] { return runFinished; }};
//   }

#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace qd::screens {

// What a scene maker gets: the demo database is reachable through the
// stand-in client library, and the program directory is a fresh temporary one.
struct SceneContext {
    QString standinLibrary; // path to pass as OCIDLL=, or to TOracleClientLibrary
    QString programDirectory;
};

struct SceneWidget {
    QWidget *widget = nullptr;             // owned by the renderer afterwards
    std::function<bool()> ready = nullptr; // polled while events run; none = ready at once
};

struct Scene {
    QString name;
    QSize size;
    std::function<SceneWidget(const SceneContext &)> make;
};

std::vector<Scene> &registeredScenes();

struct SceneRegistrar {
    SceneRegistrar(QString name, QSize size, std::function<SceneWidget(const SceneContext &)> make)
    {
        registeredScenes().push_back({std::move(name), size, std::move(make)});
    }
};

} // namespace qd::screens

#define QD_SCREENSHOT_SCENE(id, name, size)                                                    \
    static qd::screens::SceneWidget makeScene_##id(const qd::screens::SceneContext &);         \
    static const qd::screens::SceneRegistrar registrar_##id(QStringLiteral(name), size,        \
                                                            &makeScene_##id);                  \
    static qd::screens::SceneWidget makeScene_##id(                                            \
        [[maybe_unused]] const qd::screens::SceneContext &context)
