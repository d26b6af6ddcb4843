#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QWidget;

namespace qd {

// Help is a folder of HTML topics, "HTML/<keyword>.htm", shipped with the program; a topic
// opens in the desktop's browser through the shell-open interface. Windows name their topic
// with a help keyword; F1 shows the topic of the focused control or of its nearest parent
// that has one. A topic that is not there does nothing.

// The folder of topics: the one set with SetHelpDirectory, else "HTML" found among the
// program's files (beside the executable, its data folder or the install's share folder).
// Empty when there is none.
QString HelpDirectory();
// Sets the folder (tests, or a build that keeps help elsewhere); empty goes back to the search.
void SetHelpDirectory(const QString &directory);

// The topic's file, or empty when it is missing or the keyword is no plain topic name
// (letters, digits, "_" and "-").
QString HelpTopicFile(const QString &keyword);
// Opens the topic; false (and nothing happens) when it is missing.
bool ShowHelpTopic(const QString &keyword);
// The table of contents, topic "contents".
bool ShowHelpContents();

// Help keywords of windows and controls.
void SetHelpKeyword(QWidget *widget, const QString &keyword);
QString HelpKeyword(const QWidget *widget);
// The keyword of widget or of its nearest parent that has one.
QString NearestHelpKeyword(const QWidget *widget);

// F1 anywhere in the application shows the topic of the focused control. Installed on the
// application by the main window, and gone with its parent.
class THelpKeyFilter : public QObject {
    Q_OBJECT

public:
    explicit THelpKeyFilter(QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace qd
