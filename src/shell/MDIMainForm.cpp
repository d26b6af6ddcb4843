#include "shell/MDIMainForm.h"

#include "classlib/Exception.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/ScreenServices.h"
#include "platform/DirChangeNotify.h"
#include "platform/MILAssociate.h"
#include "platform/ProgramDirectory.h"
#include "shell/FormPlacement.h"
#include "shell/KXLogonForm.h"
#include "shell/LockTimer.h"
#include "shell/MainSettings.h"
#include "shell/MenuMerge.h"
#include "shell/ProgramFiles.h"

#include "history/SQLHistoryOperations.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace qd {

namespace {
const QString MainSection = QStringLiteral("TMDIMainForm");
}

TMDIMainForm::TMDIMainForm(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MDIMainForm"));
    setWindowTitle(QStringLiteral("Quarlo Desk"));
    m_menuMerge = std::make_unique<TMenuMerge>(menuBar());
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MDIArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this,
        [this](QMdiSubWindow *window) { subWindowActivated(window); });
    declareMainSettings(m_settings);
    m_recentFiles = std::make_unique<TMRUList>();
    m_recentLogons = std::make_unique<TMRUList>();
    m_sqlDbf = std::make_unique<TDbfTable>();
    m_sqlDbf->SetName(QStringLiteral("SQLDbf"));
    createMenus();
    createSecurity();
    // The frame comes up maximised unless the saved placement says otherwise.
    setWindowState(windowState() | Qt::WindowMaximized);
    setMainWindow(this);

    // Each file from the command line opens by its type once the window is shown.
    m_filesToOpen = arguments;
    FormCreate();
}

TMDIMainForm::~TMDIMainForm()
{
    // Nothing of this window may be called back once its members start going away.
    disconnect(m_mdiArea, nullptr, this, nullptr);
    delete m_activityFilter;
    m_activityFilter = nullptr;
    StopLockTimer();
    FormDestroy();
    if (mainWindow() == this)
        setMainWindow(nullptr);
}

QString TMDIMainForm::formStateFileName()
{
    return ProgramDirectory::filePath(QStringLiteral("FormState.Ini"));
}

void TMDIMainForm::runStep(const std::function<void()> &step)
{
    try {
        step();
    } catch (...) {
        ShowCurrentException();
    }
}

void TMDIMainForm::FormCreate()
{
    // A second start has already handed its files to the running copy and ended in main(),
    // before any window was made.

    // The aliases of the logon dialog's database box; a configuration that cannot be read
    // leaves the box empty (its problems are listed in the alias reader's warnings).
    try {
        BuildTnsAliasList();
        m_aliasList = GetTnsAliasList();
    } catch (...) {
        m_aliasList.clear();
    }

    runStep([this] { m_programDirectory = ProgramDirectory::path(); });
    runStep([this] {
        m_settings.SetIniFileName(mainSettingsFileName());
        m_settings.LoadSettings();
    });
    runStep([this] { m_accountFileName = TAccountList::defaultFileName(); });

    auto setUpRecentList = [this](TMRUList &list, const QString &fileName, const char *keep) {
        list.SetFileName(fileName);
        list.SetMaxCount(m_settings.FindSetting(QLatin1String(keep))->Value().toInt());
        list.LoadFromFile();
        // Only a list read whole writes its file back: a damaged file stays as it is for the
        // user to look at, rather than being replaced by an empty list.
        list.SetAutoSave(true);
        list.SetSaveOnDestroy(true);
    };
    runStep([&] {
        setUpRecentList(*m_recentFiles, TMRUList::recentFilesFileName(), "MRUListKeep");
    });
    runStep([&] {
        setUpRecentList(*m_recentLogons, TMRUList::recentLogonsFileName(), "LogonMRUListKeep");
    });

    QAction *redo = m_actions.value(QStringLiteral("Redo1"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    m_ownShortcuts.insert(redo, redo->shortcut());

    // Each keyword list on its own: a missing or unreadable one is an empty list and the
    // others and the later steps still load.
    auto loadList = [this](QStringList &list, const QString &name) {
        list.clear();
        runStep([&] { list = ReadListFile(FindProgramFile(name)); });
    };
    loadList(m_sqlKeywords, QStringLiteral("SQLKeywords.txt"));
    loadList(m_plsqlKeywords, QStringLiteral("PLSQLKeywords.txt"));
    loadList(m_hints, QStringLiteral("hints.txt"));

    m_accounts.Clear();

    for (const char *name : { "File1", "Edit1", "Options1", "Wizard1", "Tools1", "Window1" })
        m_menus.value(QLatin1String(name))->setEnabled(true);

    runStep([this] { AskSecurityPassword(); });

    openSQLHistory();
    runStep([this] { setUpDesktop(); });
    runStep([this] { StartLockTimer(); });

    runStep([this] {
        LoadFormPlacement(AllPlacementParts, this, formStateFileName(), MainSection);
    });
}

void TMDIMainForm::openSQLHistory()
{
    m_sqlDbf->SetFilePath(m_programDirectory);
    m_sqlDbf->SetTableName(QStringLiteral("SQLHistory.dbf"));
    if (!m_settings.FindSetting(QStringLiteral("SaveSQLHistory"))->Value().toBool())
        return;
    // A pair that cannot be opened is named with its fault and left as it is; the run goes on
    // without history.
    try {
        m_sqlDbf->Open();
    } catch (const Exception &e) {
        ScreenMessage(mkError, SQLHistoryOpenErrorText + QStringLiteral("\n\n") + e.Message());
        return;
    }
    try {
        PurgeSQLHistory(m_settings.FindSetting(QStringLiteral("SQLHistoryKeep"))->Value().toInt());
        if (m_sqlDbf->Active())
            m_sqlDbf->Last();
    } catch (...) {
        // A purge that fails leaves the history as it was; it is tried again at the next start.
    }
}

void TMDIMainForm::PurgeSQLHistory(int days)
{
    qd::PurgeSQLHistory(*m_sqlDbf, days, QDate::currentDate());
}

void TMDIMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // After the window is on screen, so what the file opens (or a message about it) comes
    // up over it.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TMDIMainForm::FormShow()
{
    if (m_filesToOpen.isEmpty())
        return;
    // Opened by their type, as files handed over by a later start or dropped on the window.
    OpenFilesFromOutside(std::exchange(m_filesToOpen, {}));
}

void TMDIMainForm::closeEvent(QCloseEvent *event)
{
    // The main window always lets itself close, but each child window first gets its own
    // say (a worksheet asks to save its file); one that refuses keeps the program running.
    m_mdiArea->closeAllSubWindows();
    for (QMdiSubWindow *window : m_mdiArea->subWindowList()) {
        // A closed child is hidden until it is deleted; one still shown refused to close.
        if (window->isVisible()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void TMDIMainForm::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    try {
        SaveFormPlacement(AllPlacementParts, this, formStateFileName(), MainSection);
    } catch (...) {
        ShowCurrentException();
    }
    // Child windows still open go first, while what they may reach of this window is whole.
    qDeleteAll(m_mdiArea->subWindowList());
    // The recent lists write their files as they go away.
    m_accounts.Clear();
    try {
        m_sqlDbf->Close();
    } catch (...) {
    }
    m_recentFiles.reset();
    m_recentLogons.reset();
    // The watcher ends at once when asked; its queued reports die with it.
    m_dirWatch.reset();
}

void TMDIMainForm::AddMdiChild(QWidget *window)
{
    if (!window)
        return;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    window->show();
    m_mdiArea->setActiveSubWindow(sub);
}

void TMDIMainForm::CloseActiveChild()
{
    if (QMdiSubWindow *sub = m_mdiArea->activeSubWindow())
        sub->close();
}

void TMDIMainForm::AddSQLHistory(
    const QString &userName, const QString &instance, const QString &sqlText)
{
    qd::AddSQLHistory(*m_sqlDbf, userName, instance, sqlText, QDate::currentDate());
}

void TMDIMainForm::EditHistoryRecord(
    const QString &userName, const QString &instance, const QString &sqlText)
{
    QString password;
    QString mode;
    if (LookupSavedLogon(userName, instance, password, mode)) {
        try {
            createWorksheet(TLogonValues { instance.toUpper(), userName, password,
                                QStringLiteral("NORMAL") },
                sqlText, false);
            return;
        } catch (...) {
            // The logon dialog below lets the user correct what failed.
        }
    }
    if (m_logonForm)
        m_logonForm->Execute(
            QStringLiteral("SQL"), userName, QString(), instance, QString(), sqlText);
}

bool TMDIMainForm::ExecuteLogon(TLogonValues &logon)
{
    if (!m_logonForm)
        return false;
    const int result = m_logonForm->Execute(
        QString(), logon.Username, logon.Password, logon.Database, logon.Mode, QString());
    if (result != QDialog::Accepted)
        return false;
    logon.Database = m_logonForm->Database();
    logon.Username = m_logonForm->UserName();
    logon.Password = m_logonForm->Password();
    logon.Mode = m_logonForm->ConnectMode();
    return true;
}

void TMDIMainForm::subWindowActivated(QMdiSubWindow *window)
{
    // A dialog or another program taking the focus deactivates the child without making
    // another current: its menus stay until another child becomes current or it closes.
    if (!window)
        window = m_mdiArea->currentSubWindow();
    auto *childWindow = window ? qobject_cast<QMainWindow *>(window->widget()) : nullptr;
    m_menuMerge->Merge(childWindow ? qobject_cast<QMenuBar *>(childWindow->menuWidget()) : nullptr);

    QSet<QKeySequence> childShortcuts;
    if (window && window->widget()) {
        for (QAction *action : window->widget()->findChildren<QAction *>()) {
            for (const QKeySequence &key : action->shortcuts())
                childShortcuts.insert(key);
        }
    }
    for (auto it = m_ownShortcuts.cbegin(); it != m_ownShortcuts.cend(); ++it) {
        const bool taken = childShortcuts.contains(it.value());
        it.key()->setShortcut(taken ? QKeySequence() : it.value());
    }
}

} // namespace qd
