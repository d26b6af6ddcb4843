#include "worksheet/SQLForm.h"

#include "classlib/DataSetModel.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "oracle_data/OracleDataSet.h"
#include "platform/ProgramDirectory.h"
#include "shell/FileDrop.h"
#include "shell/MainSettings.h"
#include "shell/MessageBoxes.h"
#include "shell/ProgramFiles.h"
#include "shell/Settings.h"
#include "shell/SettingFont.h"
#include "shell/TextTools.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/GridRowDelegate.h"
#include "worksheet/PrintGrid.h"
#include "worksheet/QueryThread.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/WorksheetSettings.h"
#include "worksheet/WorksheetStatusBar.h"
#include "worksheet/WorksheetText.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QToolButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace qd {

namespace {

// A drag of desktop files onto one of the window's drop targets: shown as refused unless
// accepting, and a drop hands the local file names on. False for every other event, which the
// target then handles itself.
bool takeFileDrop(QEvent *event, bool accepting, const std::function<void(const QStringList &)> &drop)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove
        && event->type() != QEvent::Drop)
        return false;
    auto *dropEvent = static_cast<QDropEvent *>(event);
    if (!dropEvent->mimeData()->hasUrls())
        return false;
    if (event->type() != QEvent::Drop) {
        if (accepting)
            dropEvent->acceptProposedAction();
        else
            dropEvent->ignore();
        return true;
    }
    const QStringList files = TFileDrop::LocalFiles(dropEvent->mimeData()->urls());
    dropEvent->acceptProposedAction();
    if (accepting)
        drop(files);
    return true;
}

constexpr int kConnectedOutputHeight = 250;

// A font setting's colour: a Windows colour value (red in the low byte); negative values are
// system colours, drawn in the palette's text colour.
QColor settingColor(qint32 color, const QWidget *widget)
{
    if (color < 0)
        return widget->palette().color(QPalette::Text);
    return QColor(color & 0xff, (color >> 8) & 0xff, (color >> 16) & 0xff);
}

} // namespace

TSQLForm *TSQLForm::CreateWorksheet(
    QWidget *owner, const TLogonValues &logon, const QString &fileOrText, bool asFile)
{
    std::unique_ptr<TSQLForm> form(new TSQLForm(owner));
    // The logon values are kept whole: a long connect descriptor or password must reach the
    // server as it was typed.
    form->m_database = logon.Database;
    form->m_username = logon.Username;
    form->m_password = logon.Password;
    form->m_connectMode = logon.Mode;
    if (MainWindowInterface *main = mainWindow())
        form->m_settings->Assign(main->Settings());
    form->applyFonts();
    form->m_running = false;
    form->m_gridBusy = false;
    form->FileName.clear();
    form->m_historyPending = true;
    form->m_dragForeground = false;
    form->m_destroying = false;
    if (!form->m_database.isEmpty())
        form->logOnAtCreation();
    else
        form->SetUnconnectedState(true);
    form->m_runState = TScriptRunState();
    if (!fileOrText.isEmpty()) {
        if (asFile)
            form->OpenEditorFile(fileOrText, false);
        else {
            form->m_editor->setText(fileOrText);
            form->m_historyPending = true;
        }
    }
    return form.release();
}

TSQLForm::TSQLForm(QWidget *owner)
    : QMainWindow(nullptr)
    , m_settings(std::make_unique<TSettings>())
    , m_session(std::make_unique<TOracleSession>())
    , m_dataSet(std::make_unique<TOracleDataSet>())
{
    Q_UNUSED(owner); // MDI children have no owner window: the main window parents them
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("SQLForm"));
    m_session->SetThreadSafe(true);
    m_session->SetRollbackOnDisconnect(true);
    m_dataSet->SetSession(m_session.get());
    m_dataSet->SetReadOnly(true);
    m_dataSet->SetQueryAllRecords(false);
    m_dataSet->AfterScroll = [this](TDataSet *dataSet) { dataSetScrolled(*dataSet); };
    m_dataSource.SetDataSet(m_dataSet.get());
    FormCreate();
}

TSQLForm::~TSQLForm()
{
    m_destroying = true;
    // Children hidden and deleted by the base class must not call back into this half-gone
    // window.
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
    // A window deleted without its close sequence still must not leave a runner behind.
    waitForRunner();
    releaseDatabase();
}

void TSQLForm::addEditorKeywords()
{
    // The main window's SQL and PL/SQL lists, in this order; a worksheet on its own reads the
    // lists the program ships (a missing or unreadable one colours nothing).
    if (MainWindowInterface *main = mainWindow()) {
        m_editor->addKeywords(main->SQLKeywords());
        m_editor->addKeywords(main->PLSQLKeywords());
        return;
    }
    for (const char *name : { "SQLKeywords.txt", "PLSQLKeywords.txt" }) {
        try {
            m_editor->addKeywords(ReadListFile(FindProgramFile(QLatin1String(name))));
        } catch (const std::exception &) {
        }
    }
}

void TSQLForm::FormCreate()
{
    buildLayout();
    createActions();
    bindWorkspaceEvents();
    InitDocking();
    addEditorKeywords();
    // Without a main window (tests, a worksheet opened on its own) the settings come from the
    // settings file itself.
    declareMainSettings(*m_settings);
    try {
        if (!mainWindow()) {
            m_settings->SetIniFileName(mainSettingsFileName());
            m_settings->LoadSettings();
        } else {
            m_settings->Assign(mainWindow()->Settings());
        }
    } catch (const std::exception &) {
        // Unreadable settings: the declared defaults serve.
    }
    m_outputPages->setCurrentIndex(0);
    m_runTime = 0;
    m_statusBar->SetPanelText(3, QStringLiteral("1:1"));
    InitOptions();
    InitSQLTreeBrowser(false);
    if (m_browserFrame)
        m_browserFrame->QDWorkspaceTreeView().InitRootNodes();
}

void TSQLForm::buildLayout()
{
    resize(760, 560);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("SplitterEditor"));
    m_splitter->setChildrenCollapsible(true);
    setCentralWidget(m_splitter);

    m_editor = new EditorPane(EditorPane::SqlScript, m_splitter);
    m_editor->setObjectName(QStringLiteral("SQLEditor"));
    m_editor->control()->setObjectName(QStringLiteral("SQLEditorControl"));
    m_editor->control()->installEventFilter(this);
    m_editor->dropTarget()->installEventFilter(this);
    m_editor->control()->setAcceptDrops(true);
    connect(m_editor, &EditorPane::textChanged, this, [this] {
        m_historyPending = true;
        if (QAction *a = Action(QStringLiteral("SaveFile1")))
            a->setEnabled(true);
        if (QToolButton *b = Button(QStringLiteral("btnSaveFile")))
            b->setEnabled(true);
    });
    connect(m_editor, &EditorPane::caretMoved, this, [this](int line, int column) {
        m_statusBar->SetPanelText(
            3, QString::number(line + 1) + QLatin1Char(':') + QString::number(column + 1));
    });

    m_outputPanel = new QWidget(m_splitter);
    m_outputPanel->setObjectName(QStringLiteral("pnlOutput"));
    auto *outputLayout = new QVBoxLayout(m_outputPanel);
    outputLayout->setContentsMargins(0, 0, 0, 0);
    m_outputPages = new QTabWidget(m_outputPanel);
    m_outputPages->setObjectName(QStringLiteral("pc_SQLOutput"));
    m_outputPages->setTabPosition(QTabWidget::South);
    outputLayout->addWidget(m_outputPages);

    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("Grd_Dynam_SQL"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_gridModel = new DataSetModel(this);
    m_gridModel->SetBatchSize(200);
    m_gridModel->SetDataSource(&m_dataSource);
    m_grid->setModel(m_gridModel);
    m_grid->setItemDelegate(new GridRowDelegate(m_gridModel, m_grid));
    // Clicking a row makes its record the dataset's current one (once the run has ended).
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) {
            if (!m_running && current.isValid())
                m_gridModel->SetCurrentRow(current.row());
        });
    connect(m_gridModel, &DataSetModel::currentRowChanged, m_grid->viewport(),
        qOverload<>(&QWidget::update));
    connect(m_gridModel, &DataSetModel::modelReset, this, &TSQLForm::updateRowStatus);
    connect(m_gridModel, &DataSetModel::rowsInserted, this, &TSQLForm::updateRowStatus);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &TSQLForm::updateRowStatus);
    auto *gridPage = new QWidget;
    gridPage->setObjectName(QStringLiteral("tbs_GridOutput"));
    auto *gridLayout = new QVBoxLayout(gridPage);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(m_grid);
    m_outputPages->addTab(gridPage, QStringLiteral("Grid"));

    m_textOutput = new EditorPane(EditorPane::TextOutput);
    m_textOutput->setObjectName(QStringLiteral("peSpool"));
    m_textOutput->setReadOnly(true);
    auto *textPage = new QWidget;
    textPage->setObjectName(QStringLiteral("tbs_MemoOutput"));
    auto *textLayout = new QVBoxLayout(textPage);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->addWidget(m_textOutput);
    m_outputPages->addTab(textPage, QStringLiteral("Text"));

    m_splitter->addWidget(m_editor);
    m_splitter->addWidget(m_outputPanel);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);

    m_errorPane = new ErrorPane(this);
    m_errorPane->setAllowedAreas(Qt::BottomDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, m_errorPane);
    connect(m_errorPane, &ErrorPane::gotoError, this, [this](int line, int column) {
        m_editor->setCaret(line - 1, column - 1);
        activateWindow();
        m_editor->setFocus();
    });

    m_statusBar = new WorksheetStatusBar(this);
    setStatusBar(m_statusBar);
    m_serverVersionLabel = new QLabel(this);
    m_serverVersionLabel->setObjectName(QStringLiteral("pnlServerVersion"));

    m_cancelTimer = new QTimer(this);
    m_cancelTimer->setInterval(100);
    connect(m_cancelTimer, &QTimer::timeout, this, [this] {
        if (m_running && m_thread)
            m_thread->Cancel();
        else
            m_cancelTimer->stop();
    });

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_runTime += m_timer->interval();
        m_statusBar->SetPanelText(1, ElapsedText(m_runTime));
    });

    createBrowserFrame();
}

void TSQLForm::applyFonts()
{
    SettingFont font;
    if (WorksheetFont(*m_settings, QStringLiteral("SQLEditor"), font))
        m_editor->setEditorFont(font.toQFont(), settingColor(font.color, m_editor));
    font = SettingFont();
    if (WorksheetFont(*m_settings, QStringLiteral("SQLTextOutput"), font))
        m_textOutput->setEditorFont(font.toQFont(), settingColor(font.color, m_textOutput));
    font = SettingFont();
    if (WorksheetFont(*m_settings, QStringLiteral("SQLGridOutTitle"), font))
        m_grid->horizontalHeader()->setFont(font.toQFont());
    font = SettingFont();
    if (WorksheetFont(*m_settings, QStringLiteral("SQLGridOutCell"), font)) {
        m_grid->setFont(font.toQFont());
        m_grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(font.toQFont()).height() + 4);
    }
}

void TSQLForm::LogonWorksheetSession(TOracleSession &session, const QString &username,
    const QString &password, const QString &database, const QString &connectMode)
{
    session.SetLogonUsername(username);
    session.SetLogonPassword(password);
    session.SetLogonDatabase(database);
    session.SetConnectAs(StringToConnectAs(connectMode));
}

void TSQLForm::logOnAtCreation()
{
    SetConnectedState(true);
    LogonWorksheetSession(*m_session, m_username, m_password, m_database, m_connectMode);
    m_session->LogOn(); // a failure ends the construction
    afterLogon();
    readNavigatorAtLogon();
}

// What follows every successful logon of the window's session.
void TSQLForm::afterLogon()
{
    if (!m_session->LogonWarning().isEmpty())
        ShowInfoMessage(m_session->LogonWarning());
    try {
        m_session->DBMS_Application_Info().Set_Client_Info(QApplication::applicationName());
        m_session->DBMS_Application_Info().Set_Module(QStringLiteral("Quarlo Desk SQL"), QString());
    } catch (const std::exception &) {
        // The application information is a courtesy to the database administrator.
    }
    try {
        m_serverVersion = m_session->ServerVersion();
    } catch (const std::exception &) {
        m_serverVersion.clear();
    }
    m_serverVersionLabel->setText(QStringLiteral("Server Version: ") + m_serverVersion);
}

void TSQLForm::setOutputHeight(int height)
{
    // Before the window is laid out the splitter has no height to share: apply when shown.
    if (!isVisible()) {
        m_pendingOutputHeight = height;
        return;
    }
    const int total = m_splitter->height() > 0 ? m_splitter->height() : 500;
    const int output = std::clamp(height, 0, std::max(total - 1, 0));
    m_splitter->setSizes({ total - output, output });
}

void TSQLForm::SetConnectedState(bool resizeOutput)
{
    m_connectedState = true;
    if (resizeOutput)
        setOutputHeight(kConnectedOutputHeight);
    for (QObject *c : components({ QStringLiteral("Execute1"), QStringLiteral("ExecuteAtCursor1"),
             QStringLiteral("ExecuteAllAfterCursor1"), QStringLiteral("Commit1"),
             QStringLiteral("Rollback1"), QStringLiteral("ShowPlan1"),
             QStringLiteral("PowerTune1"), QStringLiteral("PopupDescribe1"),
             QStringLiteral("DuplicateSession1"), QStringLiteral("btnCommit"),
             QStringLiteral("btnRollback"), QStringLiteral("btnExec"),
             QStringLiteral("btnExecOne"), QStringLiteral("btnExecRest"),
             QStringLiteral("btnShowPlan"), QStringLiteral("btnPowerTune"),
             QStringLiteral("btnDuplicate") }))
        SetComponentEnabled(c, true);
    SetComponentEnabled(Action(QStringLiteral("Grid1")), false);
    if (QToolButton *b = Button(QStringLiteral("btnConnect")))
        b->setToolTip(QStringLiteral("Change connection"));
    if (QAction *a = Action(QStringLiteral("Connect1")))
        a->setText(QStringLiteral("Change Connection"));
    m_statusBar->SetPanelText(0, m_username.toLower() + QLatin1Char('@') + m_database.toLower());
    m_statusBar->SetPanelText(1, QString());
    m_statusBar->SetPanelText(2, QString());
    m_statusBar->SetPanelText(4, QString());
    updateCaption();
    setNavigatorAutoConnect(true);
}

void TSQLForm::SetUnconnectedState(bool resizeOutput)
{
    m_connectedState = false;
    if (resizeOutput)
        setOutputHeight(0);
    for (QObject *c : components({ QStringLiteral("Execute1"), QStringLiteral("ExecuteAtCursor1"),
             QStringLiteral("ExecuteAllAfterCursor1"), QStringLiteral("Commit1"),
             QStringLiteral("Rollback1"), QStringLiteral("Grid1"), QStringLiteral("ShowPlan1"),
             QStringLiteral("PowerTune1"), QStringLiteral("PopupDescribe1"),
             QStringLiteral("DuplicateSession1"), QStringLiteral("btnCommit"),
             QStringLiteral("btnRollback"), QStringLiteral("btnExec"),
             QStringLiteral("btnExecOne"), QStringLiteral("btnExecRest"),
             QStringLiteral("btnShowPlan"), QStringLiteral("btnPowerTune"),
             QStringLiteral("btnDuplicate") }))
        SetComponentEnabled(c, false);
    if (QToolButton *b = Button(QStringLiteral("btnConnect")))
        b->setToolTip(QStringLiteral("Connect to database"));
    if (QAction *a = Action(QStringLiteral("Connect1")))
        a->setText(QStringLiteral("Connect to Database"));
    m_statusBar->SetPanelText(0, QStringLiteral("Not Connected"));
    m_statusBar->SetPanelText(1, QString());
    m_statusBar->SetPanelText(2, QString());
    updateCaption();
    setNavigatorAutoConnect(false);
}

void TSQLForm::updateCaption()
{
    QString caption = m_connectedState
        ? MakeConnectionCaption(QStringLiteral("SQL"), m_username, m_database)
        : QStringLiteral("SQL Editor");
    if (!FileName.isEmpty())
        caption = MakeCaption(caption, FileName);
    if (m_running)
        caption = SetBusyMark(caption);
    setWindowTitle(caption);
}

void TSQLForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_pendingOutputHeight >= 0) {
        if (layout())
            layout()->activate();
        const int height = m_pendingOutputHeight;
        m_pendingOutputHeight = -1;
        setOutputHeight(height);
    }
}

void TSQLForm::resizeEvent(QResizeEvent *event)
{
    // The output panel never takes the editor's last 100 pixels.
    const int newHeight = event->size().height();
    const int output = m_outputPanel->height();
    if (newHeight >= 101 && output > newHeight - 75)
        setOutputHeight(newHeight - 100);
    QMainWindow::resizeEvent(event);
}

bool TSQLForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor->dropTarget()) {
        // Files dropped from the desktop: a read-only (running) editor refuses them.
        const bool accepting = !m_editor->isReadOnly();
        if (takeFileDrop(event, accepting, [this](const QStringList &files) { dropFiles(files); }))
            return true;
    } else if (m_browserFrame && watched == m_browserFrame->WorkspaceDropTarget()) {
        // Files dropped from the desktop on the workspace tree join the workspace.
        if (takeFileDrop(event, true, [this](const QStringList &files) { dropOnWorkspace(files); }))
            return true;
    } else if (watched == m_editor->control() && event->type() == QEvent::FocusIn) {
        updateEditCommands();
    }
    return QMainWindow::eventFilter(watched, event);
}

QList<QObject *> TSQLForm::components(const QStringList &names) const
{
    QList<QObject *> list;
    for (const QString &name : names) {
        if (QAction *a = m_actions.value(name))
            list.append(a);
        else if (QToolButton *b = m_buttons.value(name))
            list.append(b);
    }
    return list;
}

} // namespace qd
