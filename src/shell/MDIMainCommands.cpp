// The main window's menus, tool bar and commands.
#include "shell/MDIMainForm.h"

#include "oracle/ScreenServices.h"
#include "shell/EditCommands.h"
#include "shell/HtmlHelp.h"
#include "shell/KXLogonForm.h"
#include "shell/QDChangePassword.h"
#include "shell/SettingsForm.h"

#include <QApplication>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace qd {

QMenu *TMDIMainForm::addMenu(QMenu *parent, const QString &name, const QString &caption)
{
    QMenu *menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_menus.insert(name, menu);
    return menu;
}

QAction *TMDIMainForm::addAction(
    QMenu *menu, const QString &name, const QString &caption, std::function<void()> handler)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    if (handler) {
        connect(action, &QAction::triggered, this, [handler = std::move(handler)] {
            // No exception leaves a command: it is shown, and the window goes on.
            try {
                handler();
            } catch (...) {
                ShowCurrentException();
            }
        });
    }
    m_actions.insert(name, action);
    return action;
}

void TMDIMainForm::createMenus()
{
    auto shortcut = [this](QAction *action, const QKeySequence &key) {
        action->setShortcut(key);
        m_ownShortcuts.insert(action, key);
    };

    QMenu *file = addMenu(nullptr, QStringLiteral("File1"), QStringLiteral("&File"));
    connect(file, &QMenu::aboutToShow, this, [this] { File1Click(); });
    QMenu *newMenu = addMenu(file, QStringLiteral("New1"), QStringLiteral("&New"));
    shortcut(newMenu->menuAction(), QKeySequence(Qt::CTRL | Qt::Key_N));
    addAction(newMenu, QStringLiteral("SQL1"), QStringLiteral("&SQL"), [this] { SQL1Click(); })
        ->setStatusTip(QStringLiteral("Create a new SQL session"));
    addAction(newMenu, QStringLiteral("SQLEditor1"), QStringLiteral("SQL &Editor"),
        [this] { SQLEditor1Click(); })
        ->setStatusTip(QStringLiteral("Open the SQL Editor"));
    addAction(newMenu, QStringLiteral("DBNavigator1"), QStringLiteral("DB &Navigator"),
        [this] { DBNavigator1Click(); })
        ->setStatusTip(QStringLiteral("Open DB Navigator"));
    addAction(newMenu, QStringLiteral("JobQueueTeluvo1"), QStringLiteral("&Job Queue"),
        [this] { JobQueueTeluvo1Click(); })
        ->setVisible(false);
    addAction(newMenu, QStringLiteral("PowerTune1"), QStringLiteral("&Rizer Edor"),
        [this] { PowerTune1Click(); });
    addAction(newMenu, QStringLiteral("PLSQLDebugger1"), QStringLiteral("PL/SQL &Debugger"),
        [this] { PLSQLDebugger1Click(); })
        ->setVisible(false);
    QAction *separator = newMenu->addSeparator();
    separator->setObjectName(QStringLiteral("NewSeparator1"));
    m_actions.insert(QStringLiteral("NewSeparator1"), separator);

    addAction(file, QStringLiteral("Open2"), QStringLiteral("&Open"), [this] { Open2Click(); });
    addMenu(file, QStringLiteral("Reopen1"), QStringLiteral("Reopen"));
    file->addSeparator();
    addAction(file, QStringLiteral("ChangePassword1"), QStringLiteral("C&hange Password"),
        [this] { ChangePassword1Click(); });
    addAction(file, QStringLiteral("ViewSQLHistory1"), QStringLiteral("View SQL &History"),
        [this] { ViewSQLHistory1Click(); });
    file->addSeparator();
    addAction(file, QStringLiteral("EnterSecureMode1"), QStringLiteral("Enter Security Password"),
        [this] { AskSecurityPassword(); });
    addAction(file, QStringLiteral("ShutOffSecuredFeatures1"),
        QStringLiteral("Shut Off Secured Features"), [this] { ShutOffSecuredFeatures(); });
    addAction(file, QStringLiteral("LockQuarloDesk1"), QStringLiteral("&Lock Quarlo Desk"),
        [this] { LockApplication(); });
    file->addSeparator();
    addAction(file, QStringLiteral("Exit1"), QStringLiteral("E&xit Quarlo Desk"),
        [this] { Exit1Click(); })
        ->setStatusTip(QStringLiteral("Exit Oracle Teluvo"));

    QMenu *edit = addMenu(nullptr, QStringLiteral("Edit1"), QStringLiteral("&Edit"));
    connect(edit, &QMenu::aboutToShow, this, [this] { Edit1Click(); });
    shortcut(addAction(edit, QStringLiteral("Undo1"), QStringLiteral("&Undo"),
                 [this] { Undo1Click(); }),
        QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction *redo
        = addAction(edit, QStringLiteral("Redo1"), QStringLiteral("&Redo"), [this] { Redo1Click(); });
    // Shown: a hidden action could neither be enabled nor take its Ctrl+Shift+Z.
    redo->setEnabled(false);
    edit->addSeparator();
    shortcut(addAction(edit, QStringLiteral("Cut1"), QStringLiteral("Cu&t"), [this] { Cut1Click(); }),
        QKeySequence(Qt::CTRL | Qt::Key_X));
    shortcut(addAction(edit, QStringLiteral("Copy1"), QStringLiteral("&Copy"),
                 [this] { Copy1Click(); }),
        QKeySequence(Qt::CTRL | Qt::Key_C));
    shortcut(addAction(edit, QStringLiteral("Paste1"), QStringLiteral("&Paste"),
                 [this] { Paste1Click(); }),
        QKeySequence(Qt::CTRL | Qt::Key_V));
    QAction *selectAll = addAction(edit, QStringLiteral("SelectAll1"),
        QStringLiteral("Select &All"), [this] { SelectAll1Click(); });
    shortcut(selectAll, QKeySequence(Qt::CTRL | Qt::Key_A));
    selectAll->setEnabled(false);
    for (const auto &[name, caption] : { std::pair { "Find1", "&Find..." },
             std::pair { "Replace1", "R&eplace..." } }) {
        QAction *action = addAction(edit, QLatin1String(name), QLatin1String(caption), nullptr);
        action->setVisible(false);
        action->setEnabled(false);
    }

    QMenu *options = addMenu(nullptr, QStringLiteral("Options1"), QStringLiteral("&Options"));
    addAction(options, QStringLiteral("Defaults1"), QStringLiteral("&Defaults..."),
        [this] { Defaults1Click(); });
    addAction(options, QStringLiteral("ResetPassword1"), QStringLiteral("&Reset Password"),
        [this] { ResetSecurityPassword(); });

    QMenu *wizard = addMenu(nullptr, QStringLiteral("Wizard1"), QStringLiteral("Wi&zard"));
    addAction(wizard, QStringLiteral("New2"), QStringLiteral("&New"), [this] { New2Click(); });

    QMenu *tools = addMenu(nullptr, QStringLiteral("Tools1"), QStringLiteral("&Tools"));
    addAction(tools, QStringLiteral("FTP1"), QStringLiteral("&FTP Client"), [this] { FTP1Click(); });

    QMenu *window = addMenu(nullptr, QStringLiteral("Window1"), QStringLiteral("&Window"));
    connect(window, &QMenu::aboutToShow, this, [this] { Window1Click(); });
    addAction(window, QStringLiteral("TileVertically1"), QStringLiteral("Tile &Vertically"),
        [this] { TileVertically1Click(); });
    addAction(window, QStringLiteral("TileHorizontally1"), QStringLiteral("Tile &Horizontally"),
        [this] { TileHorizontally1Click(); });
    addAction(window, QStringLiteral("Cascade1"), QStringLiteral("&Cascade"),
        [this] { Cascade1Click(); });
    addAction(window, QStringLiteral("ArrangeIcons1"), QStringLiteral("&Arrange Icons"),
        [this] { ArrangeIcons1Click(); });
    QAction *windowSeparator = window->addSeparator();
    windowSeparator->setObjectName(QStringLiteral("WindowSeparator1"));
    m_actions.insert(QStringLiteral("WindowSeparator1"), windowSeparator);

    QMenu *help = addMenu(nullptr, QStringLiteral("Help1"), QStringLiteral("&Help"));
    addAction(help, QStringLiteral("Contents1"), QStringLiteral("&Contents"),
        [] { ShowHelpContents(); });
    addAction(help, QStringLiteral("GettingStarted1"), QStringLiteral("&Getting Started"),
        [] { ShowHelpTopic(QStringLiteral("gettingstarted")); });
    addAction(help, QStringLiteral("About1"), QStringLiteral("&About"), [this] { About1Click(); });

    // Disabled in the design; the start-up enables them once the window's state is loaded.
    for (const char *name : { "File1", "Edit1", "Options1", "Wizard1", "Tools1", "Window1" })
        m_menus.value(QLatin1String(name))->setEnabled(false);

    // The commands used most, one click away.
    m_toolBar = addToolBar(QStringLiteral("Main"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QStyle *style = this->style();
    auto toolButton = [&](const char *name, QStyle::StandardPixmap icon, const char *text) {
        QAction *action = m_actions.value(QLatin1String(name));
        action->setIcon(style->standardIcon(icon));
        action->setIconText(QLatin1String(text));
        m_toolBar->addAction(action);
    };
    toolButton("SQL1", QStyle::SP_ComputerIcon, "SQL");
    toolButton("SQLEditor1", QStyle::SP_FileIcon, "SQL Editor");
    toolButton("Open2", QStyle::SP_DialogOpenButton, "Open");
    toolButton("DBNavigator1", QStyle::SP_DirIcon, "DB Navigator");

    m_openDialog = new QFileDialog(this, QStringLiteral("Open"));
    m_openDialog->setObjectName(QStringLiteral("OpenDialog1"));
    m_openDialog->setFileMode(QFileDialog::ExistingFile);
    m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_openDialog->setDefaultSuffix(QStringLiteral("SQL"));
    // Both letter cases, as files come from Windows machines too.
    m_openDialog->setNameFilters({
        QStringLiteral("SQL Files (*.sql *.SQL)"),
        QStringLiteral("Quarlo Desk Workspace (*.qdk *.QDK)"),
        QStringLiteral("Quarlo Desk Template (*.tem *.TEM)"),
        QStringLiteral("Quarlo Desk Wizard (*.qdz *.QDZ)"),
        QStringLiteral("Quarlo Desk Rizer Edor Project (*.ptp *.PTP)"),
        QStringLiteral("All Files (*)"),
    });
}

// ---- File ----

void TMDIMainForm::showLogon(const QString &target)
{
    const WindowFactories &factories = windowFactories();
    struct Known {
        const char *target;
        bool registered;
        const char *name;
    };
    const Known known[] = {
        { "SQL", bool(factories.Worksheet), "SQL worksheet" },
        { "DBNav", bool(factories.DBNavigator), "DB Navigator" },
        { "JOB", bool(factories.JobQueue), "Job Queue" },
        { "PTune", bool(factories.Tuning), "Rizer Edor" },
        { "Debugger", bool(factories.Debugger), "PL/SQL Debugger" },
    };
    for (const Known &k : known) {
        // No point asking for a logon to a window that cannot be opened.
        if (target == QLatin1String(k.target) && !k.registered) {
            ShowWindowNotAvailable(QLatin1String(k.name));
            return;
        }
    }
    if (m_logonForm)
        m_logonForm->Execute(target, QString(), QString(), QString(), QString(), QString());
}

void TMDIMainForm::SQL1Click()
{
    showLogon(QStringLiteral("SQL"));
}

void TMDIMainForm::DBNavigator1Click()
{
    showLogon(QStringLiteral("DBNav"));
}

void TMDIMainForm::JobQueueTeluvo1Click()
{
    showLogon(QStringLiteral("JOB"));
}

void TMDIMainForm::PowerTune1Click()
{
    showLogon(QStringLiteral("PTune"));
}

void TMDIMainForm::PLSQLDebugger1Click()
{
    showLogon(QStringLiteral("Debugger"));
}

QWidget *TMDIMainForm::createWorksheet(
    const TLogonValues &logon, const QString &fileOrText, bool asFile)
{
    const WindowFactories &factories = windowFactories();
    if (!factories.Worksheet)
        RaiseWindowNotAvailable(QStringLiteral("SQL worksheet"));
    QWidget *window = factories.Worksheet(this, logon, fileOrText, asFile);
    AddMdiChild(window);
    return window;
}

void TMDIMainForm::SQLEditor1Click()
{
    if (!windowFactories().Worksheet) {
        ShowWindowNotAvailable(QStringLiteral("SQL worksheet"));
        return;
    }
    createWorksheet(TLogonValues(), QString(), false);
}

void TMDIMainForm::Open2Click()
{
    m_openDialog->selectFile(QString());
    if (m_openDialog->exec() != QDialog::Accepted)
        return;
    const QStringList files = m_openDialog->selectedFiles();
    if (files.isEmpty())
        return;
    OpenOrActivateFile(files.first(), QString(), QString(), QString());
}

void TMDIMainForm::ChangePassword1Click()
{
    AddMdiChild(new TQDChangePassword(this));
}

void TMDIMainForm::ViewSQLHistory1Click()
{
    const WindowFactories &factories = windowFactories();
    if (!factories.SQLHistory) {
        ShowWindowNotAvailable(QStringLiteral("SQL History"));
        return;
    }
    AddMdiChild(factories.SQLHistory(this));
}

void TMDIMainForm::Exit1Click()
{
    close();
}

void TMDIMainForm::File1Click()
{
    m_recentFiles->BuildMenu(m_menus.value(QStringLiteral("Reopen1")), nullptr,
        [this](TMRUMenuItem *sender) {
            const TMRUItem item = sender->Item();
            try {
                OpenOrActivateFile(item.Path, item.Text3, item.LongText, item.Code);
            } catch (...) {
                ShowCurrentException();
            }
        });
    m_recentLogons->BuildMenu(m_menus.value(QStringLiteral("New1")),
        m_actions.value(QStringLiteral("NewSeparator1")), [this](TMRUMenuItem *sender) {
            const TMRUItem item = sender->Item();
            try {
                OpenRecentLogon(item);
            } catch (...) {
                ShowCurrentException();
            }
        });
}

// ---- Edit ----

void TMDIMainForm::Edit1Click()
{
    UpdateEditActions(QApplication::focusWidget(), m_actions.value(QStringLiteral("Undo1")),
        m_actions.value(QStringLiteral("Redo1")), m_actions.value(QStringLiteral("SelectAll1")));
}

void TMDIMainForm::Undo1Click()
{
    RunEditCommand(EditCommand::Undo, QApplication::focusWidget());
}

void TMDIMainForm::Redo1Click()
{
    RunEditCommand(EditCommand::Redo, QApplication::focusWidget());
}

void TMDIMainForm::Cut1Click()
{
    RunEditCommand(EditCommand::Cut, QApplication::focusWidget());
}

void TMDIMainForm::Copy1Click()
{
    RunEditCommand(EditCommand::Copy, QApplication::focusWidget());
}

void TMDIMainForm::Paste1Click()
{
    RunEditCommand(EditCommand::Paste, QApplication::focusWidget());
}

void TMDIMainForm::SelectAll1Click()
{
    RunEditCommand(EditCommand::SelectAll, QApplication::focusWidget());
}

// ---- Options, Wizard, Tools ----

void TMDIMainForm::Defaults1Click()
{
    if (!m_settingsForm) {
        ShowWindowNotAvailable(QStringLiteral("Settings"));
        return;
    }
    EditSettings(m_settings, QStringLiteral("*"), true);
}

int TMDIMainForm::EditSettings(TSettings &store, const QString &section, bool save)
{
    if (!m_settingsForm)
        return 0;
    int result = 0;
    try {
        result = m_settingsForm->Execute(store, section, save);
    } catch (...) {
        ShowCurrentException();
    }
    // Whatever the result: the lock time may have changed.
    StartLockTimer();
    // The directories may have changed: the new watcher starts before the old one stops.
    StartDirectoryWatch();
    return result;
}

void TMDIMainForm::New2Click()
{
    const WindowFactories &factories = windowFactories();
    if (!factories.WizardEditor) {
        ShowWindowNotAvailable(QStringLiteral("Wizard editor"));
        return;
    }
    AddMdiChild(factories.WizardEditor(this, QString()));
}

void TMDIMainForm::FTP1Click()
{
    const WindowFactories &factories = windowFactories();
    if (!factories.FTPClient) {
        ShowWindowNotAvailable(QStringLiteral("FTP Client"));
        return;
    }
    TSettingItem *lastDir = m_settings.FindSetting(QStringLiteral("LastFTPLocalDir"));
    AddMdiChild(factories.FTPClient(this, lastDir->Value().toString(), &m_accounts,
        m_accountFileName, [this](const QString &newDir) {
            try {
                m_settings.FindSetting(QStringLiteral("LastFTPLocalDir"))->SetValue(newDir);
                m_settings.SaveSettings();
            } catch (...) {
                ShowCurrentException();
            }
        }));
}

// ---- Window ----

void TMDIMainForm::Window1Click()
{
    QMenu *menu = m_menus.value(QStringLiteral("Window1"));
    QAction *anchor = m_actions.value(QStringLiteral("WindowSeparator1"));
    const QList<QAction *> actions = menu->actions();
    for (qsizetype i = actions.indexOf(anchor) + 1; i < actions.size(); ++i) {
        menu->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    anchor->setVisible(!windows.isEmpty());
    int number = 1;
    for (QMdiSubWindow *window : windows) {
        QString caption = window->windowTitle();
        caption.replace(u'&', QStringLiteral("&&"));
        QAction *action = menu->addAction(number <= 9
                ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                : QStringLiteral("%1 %2").arg(number).arg(caption));
        action->setCheckable(true);
        action->setChecked(window == m_mdiArea->activeSubWindow());
        QPointer<QMdiSubWindow> target(window);
        connect(action, &QAction::triggered, this, [this, target] {
            if (target) {
                if (target->isMinimized())
                    target->showNormal();
                m_mdiArea->setActiveSubWindow(target);
            }
        });
        ++number;
    }
}

void TMDIMainForm::tileChildren(bool vertically)
{
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *window : m_mdiArea->subWindowList()) {
        if (window->isVisible() && !window->isMinimized())
            windows.append(window);
    }
    if (windows.isEmpty())
        return;
    const QRect area = m_mdiArea->viewport()->rect();
    const int count = int(windows.size());
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow *window = windows[i];
        if (window->isMaximized())
            window->showNormal();
        QRect cell;
        if (vertically) {
            // Side by side, each as tall as the area.
            const int left = area.width() * i / count;
            const int right = area.width() * (i + 1) / count;
            cell = QRect(left, 0, right - left, area.height());
        } else {
            // One above the other, each as wide as the area.
            const int top = area.height() * i / count;
            const int bottom = area.height() * (i + 1) / count;
            cell = QRect(0, top, area.width(), bottom - top);
        }
        window->setGeometry(cell);
    }
}

void TMDIMainForm::TileVertically1Click()
{
    tileChildren(true);
}

void TMDIMainForm::TileHorizontally1Click()
{
    tileChildren(false);
}

void TMDIMainForm::Cascade1Click()
{
    m_mdiArea->cascadeSubWindows();
}

void TMDIMainForm::ArrangeIcons1Click()
{
    // Minimised children in a row along the bottom of the area, left to right.
    const QRect area = m_mdiArea->viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow *window : m_mdiArea->subWindowList()) {
        if (!window->isMinimized())
            continue;
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        window->move(x, y - size.height() + 1);
        x += size.width();
    }
}

} // namespace qd
