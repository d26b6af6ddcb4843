#include "shell/HtmlHelp.h"

#include "platform/ShellOpen.h"
#include "shell/ProgramFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QVariant>
#include <QWidget>

namespace qd {

namespace {

const char KeywordProperty[] = "HelpKeyword";
const QString ContentsTopic = QStringLiteral("contents");

QString &helpDirectoryOverride()
{
    static QString directory;
    return directory;
}

} // namespace

QString HelpDirectory()
{
    if (!helpDirectoryOverride().isEmpty())
        return helpDirectoryOverride();
    const QString found = FindProgramFile(QStringLiteral("HTML"));
    return QFileInfo(found).isDir() ? found : QString();
}

void SetHelpDirectory(const QString &directory)
{
    helpDirectoryOverride() = directory;
}

QString HelpTopicFile(const QString &keyword)
{
    // A keyword comes from our own windows, but it becomes part of a path: nothing that could
    // climb out of the help folder.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_-]{1,100}$"));
    if (!plainName.match(keyword).hasMatch())
        return QString();
    const QString directory = HelpDirectory();
    if (directory.isEmpty())
        return QString();
    const QFileInfo topic(QDir(directory).filePath(keyword + QStringLiteral(".htm")));
    return topic.isFile() ? topic.absoluteFilePath() : QString();
}

bool ShowHelpTopic(const QString &keyword)
{
    const QString file = HelpTopicFile(keyword);
    if (file.isEmpty())
        return false;
    return ShellOpen::current().openUrl(QUrl::fromLocalFile(file));
}

bool ShowHelpContents()
{
    return ShowHelpTopic(ContentsTopic);
}

void SetHelpKeyword(QWidget *widget, const QString &keyword)
{
    widget->setProperty(KeywordProperty, keyword);
}

QString HelpKeyword(const QWidget *widget)
{
    return widget ? widget->property(KeywordProperty).toString() : QString();
}

QString NearestHelpKeyword(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const QString keyword = HelpKeyword(widget);
        if (!keyword.isEmpty())
            return keyword;
    }
    return QString();
}

THelpKeyFilter::THelpKeyFilter(QObject *parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
}

bool THelpKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    // The key reaches the focused widget (the window system's window sees it first: wait).
    auto *target = qobject_cast<QWidget *>(watched);
    if (!target)
        return QObject::eventFilter(watched, event);
    const QString keyword = NearestHelpKeyword(target);
    if (keyword.isEmpty())
        return QObject::eventFilter(watched, event);
    ShowHelpTopic(keyword);
    // Taken, whether or not the topic was there: the key would otherwise travel up to every
    // parent and ask again.
    return true;
}

} // namespace qd
