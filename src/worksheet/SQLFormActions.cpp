// The worksheet's menus, tool buttons and their shortcuts.
#include "worksheet/SQLForm.h"

#include "shell/MRUList.h"
#include "editor/CodeEditor.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/WorksheetSettings.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QMenu>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

namespace qd {

QAction *TSQLForm::addAction(QMenu *menu, const QString &name, const QString &caption,
    const QKeySequence &shortcut, void (TSQLForm::*handler)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // Every worksheet has the same shortcuts: each answers only inside its own window.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        QWidget::addAction(action);
    }
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    if (menu)
        menu->addAction(action);
    m_actions.insert(name, action);
    return action;
}

QToolButton *TSQLForm::addButton(const QString &name, const QString &hint, const QString &action)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    QAction *target = m_actions.value(action);
    button->setText(target ? target->text().remove(QLatin1Char('&')) : hint);
    // The button has its own enabled state (the run control groups switch buttons and menu
    // items apart) but does the command of its menu item.
    connect(button, &QToolButton::clicked, this, [target] {
        if (target)
            target->trigger();
    });
    m_buttons.insert(name, button);
    return button;
}

void TSQLForm::notAvailableYet(const QString &what)
{
    m_statusBar->SetPanelText(4, what + QStringLiteral(" is not available yet."));
}

void TSQLForm::forwardToMain(const QString &name)
{
    if (MainWindowInterface *main = mainWindow())
        if (QAction *action = main->MainAction(name)) {
            action->trigger();
            return;
        }
    notAvailableYet(m_actions.value(name) ? m_actions.value(name)->text().remove(u'&') : name);
}

void TSQLForm::createActions()
{
    QMenuBar *bar = menuBar();
    bar->setNativeMenuBar(false);
    using K = QKeySequence;
    auto later = [this](const QString &what) { return [this, what] { notAvailableYet(what); }; };
    auto main = [this](const QString &name) { return [this, name] { forwardToMain(name); }; };
    auto hook = [this](QAction *action, auto &&slot) {
        connect(action, &QAction::triggered, this, slot);
    };

    // ---- File ---------------------------------------------------------------------------------
    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    QMenu *fileNew = file->addMenu(QStringLiteral("&New"));
    fileNew->menuAction()->setObjectName(QStringLiteral("New1"));
    for (const auto &[name, caption] : { std::pair { "SQL1", "SQL" },
             std::pair { "SQLEditor1", "SQL Editor" }, std::pair { "DBNavigator1", "DB Navigator" },
             std::pair { "PowerTune2", "Rizer Edor" } })
        hook(addAction(fileNew, QLatin1String(name), QLatin1String(caption), {}, nullptr),
            main(QLatin1String(name == std::string_view("PowerTune2") ? "PowerTune1" : name)));
    QMenu *reopen = file->addMenu(QStringLiteral("&Reopen"));
    reopen->menuAction()->setObjectName(QStringLiteral("Reopen1"));
    m_actions.insert(QStringLiteral("Reopen1"), reopen->menuAction());
    connect(reopen, &QMenu::aboutToShow, this, [this, reopen] {
        reopen->clear();
        if (MainWindowInterface *main = mainWindow())
            main->RecentFiles().BuildMenu(reopen, nullptr, [this](TMRUMenuItem *item) {
                OpenEditorFile(item->Item().Path, true);
            });
        if (reopen->isEmpty())
            reopen->addAction(QStringLiteral("(none)"))->setEnabled(false);
    });
    connect(file, &QMenu::aboutToShow, this, [this] {
        // The security commands follow the main window's; printing follows the output page.
        if (MainWindowInterface *main = mainWindow())
            for (const auto &[mine, theirs] : { std::pair { "EnterSecurityPassword1", "EnterSecureMode1" },
                     std::pair { "ShutOffSecuredFeatures1", "ShutOffSecuredFeatures1" },
                     std::pair { "LockQuarloDesk1", "LockQuarloDesk1" } })
                if (QAction *their = main->MainAction(QLatin1String(theirs)))
                    m_actions.value(QLatin1String(mine))->setEnabled(their->isEnabled());
        const bool textPage = m_outputPages->currentIndex() == 1;
        m_actions.value(QStringLiteral("PrintTextOutput1"))->setEnabled(textPage);
        m_actions.value(QStringLiteral("PrintGrid1"))->setEnabled(!textPage);
    });
    addAction(file, QStringLiteral("OpenFile1"), QStringLiteral("&Open File..."), K(QStringLiteral("Ctrl+O")),
        &TSQLForm::openFileCommand);
    addAction(file, QStringLiteral("SaveFile1"), QStringLiteral("&Save File"), K(QStringLiteral("Ctrl+S")),
        &TSQLForm::saveFileCommand);
    addAction(file, QStringLiteral("SaveAs1"), QStringLiteral("Save File &As..."), {}, &TSQLForm::saveAsCommand);
    addAction(file, QStringLiteral("CloseFile1"), QStringLiteral("&Close File"), {}, &TSQLForm::closeFileCommand);
    hook(addAction(file, QStringLiteral("OpenFromFTP1"), QStringLiteral("Open From FTP..."), {}, nullptr),
        later(QStringLiteral("FTP")));
    hook(addAction(file, QStringLiteral("SaveFileAsFTP1"), QStringLiteral("Save File As FTP..."), {}, nullptr),
        later(QStringLiteral("FTP")));
    file->addSeparator();
    // The workspace commands are the browser pane's (its buttons, the tree's save as and close).
    hook(addAction(file, QStringLiteral("OpenWorkspace1"), QStringLiteral("Open Workspace..."), {},
             nullptr),
        [this] { workspaceCommand([this] { m_browserFrame->btnOpenFileClick(); }); });
    hook(addAction(file, QStringLiteral("SaveWorkspace1"), QStringLiteral("Save Workspace"), {},
             nullptr),
        [this] { workspaceCommand([this] { m_browserFrame->btnSaveFileClick(); }); });
    hook(addAction(file, QStringLiteral("SaveWorkspaceAs1"), QStringLiteral("Save Workspace As..."),
             {}, nullptr),
        [this] { workspaceCommand([this] { m_browserFrame->QDWorkspaceTreeView().SaveAs(); }); });
    hook(addAction(file, QStringLiteral("CloseWorkspace1"), QStringLiteral("Close Workspace"), {},
             nullptr),
        [this] {
            workspaceCommand([this] {
                m_browserFrame->QDWorkspaceTreeView().Close(
                    WorksheetBool(*m_settings, QStringLiteral("AskOnNoFile"), true));
            });
        });
    file->addSeparator();
    hook(addAction(file, QStringLiteral("Close1"), QStringLiteral("Close SQL &Window"), {}, nullptr),
        [this] {
            // Inside the main window the sub-window closes, and with it this window.
            if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
                sub->close();
            else
                close();
        });
    file->addSeparator();
    addAction(file, QStringLiteral("PrinterSetup1"), QStringLiteral("Printer Setup..."), {},
        &TSQLForm::printerSetupCommand);
    hook(addAction(file, QStringLiteral("PrintEditor1"), QStringLiteral("Print Editor..."), {}, nullptr),
        [this] { printMemo(m_editor->memo()); });
    addAction(file, QStringLiteral("PrintGrid1"), QStringLiteral("Print Grid..."), {},
        &TSQLForm::PrintGrid);
    hook(addAction(file, QStringLiteral("PrintTextOutput1"), QStringLiteral("Print Text Output..."), {},
             nullptr),
        [this] {
            if (m_outputPages->currentIndex() == 1)
                printMemo(m_textOutput->memo());
        });
    file->addSeparator();
    for (const auto &[name, caption, target] :
        { std::tuple { "ChangePassword1", "Change Password...", "ChangePassword1" },
            std::tuple { "ViewSQLHistory1", "View SQL History", "ViewSQLHistory1" },
            std::tuple { "EnterSecurityPassword1", "Enter Security Password...", "EnterSecureMode1" },
            std::tuple { "ShutOffSecuredFeatures1", "Shut Off Secured Features",
                "ShutOffSecuredFeatures1" },
            std::tuple { "LockQuarloDesk1", "Lock Quarlo Desk", "LockQuarloDesk1" },
            std::tuple { "Exit1", "E&xit Quarlo Desk", "Exit1" } })
        hook(addAction(file, QLatin1String(name), QLatin1String(caption), {}, nullptr),
            main(QLatin1String(target)));

    // ---- Edit ---------------------------------------------------------------------------------
    m_editMenu = bar->addMenu(QStringLiteral("&Edit"));
    QMenu *edit = m_editMenu;
    auto editorOp = [this](void (EditorPane::*op)()) {
        return [this, op] {
            // The focused text control, else the script editor.
            EditorPane *target = m_textOutput->isAncestorOf(QApplication::focusWidget())
                ? m_textOutput
                : m_editor;
            (target->*op)();
            updateEditCommands();
        };
    };
    hook(addAction(edit, QStringLiteral("Undo1"), QStringLiteral("&Undo"), K(QStringLiteral("Ctrl+Z")), nullptr),
        editorOp(&EditorPane::undo));
    hook(addAction(edit, QStringLiteral("Redo1"), QStringLiteral("&Redo"), K(QStringLiteral("Ctrl+Shift+Z")), nullptr),
        editorOp(&EditorPane::redo));
    edit->addSeparator();
    hook(addAction(edit, QStringLiteral("Cut1"), QStringLiteral("Cu&t"), K(QStringLiteral("Ctrl+X")), nullptr),
        [this] {
            if (!m_running)
                m_editor->cut();
        });
    hook(addAction(edit, QStringLiteral("Copy1"), QStringLiteral("&Copy"), K(QStringLiteral("Ctrl+C")), nullptr),
        editorOp(&EditorPane::copy));
    hook(addAction(edit, QStringLiteral("Paste1"), QStringLiteral("&Paste"), K(QStringLiteral("Ctrl+V")), nullptr),
        [this] {
            if (!m_running)
                m_editor->paste();
        });
    hook(addAction(edit, QStringLiteral("SelectAll1"), QStringLiteral("Select &All"), K(QStringLiteral("Ctrl+A")), nullptr),
        editorOp(&EditorPane::selectAll));
    edit->addSeparator();
    hook(addAction(edit, QStringLiteral("Find1"), QStringLiteral("&Find..."), K(QStringLiteral("Ctrl+F")), nullptr),
        editorOp(&EditorPane::showFind));
    hook(addAction(edit, QStringLiteral("Replace1"), QStringLiteral("R&eplace..."), K(QStringLiteral("Ctrl+R")), nullptr),
        editorOp(&EditorPane::showReplace));
    hook(addAction(edit, QStringLiteral("GotoLine1"), QStringLiteral("&Goto Line..."), K(QStringLiteral("Ctrl+G")), nullptr),
        editorOp(&EditorPane::gotoLine));
    edit->addSeparator();
    for (const auto &[name, caption, key] :
        { std::tuple { "IndentSelection1", "&Indent Selection", "Ctrl+I" },
            std::tuple { "UnindentSelection1", "U&nindent Selection", "Ctrl+U" } })
        hook(addAction(edit, QLatin1String(name), QLatin1String(caption), K(QLatin1String(key)), nullptr),
            later(QStringLiteral("Indenting a selection")));
    hook(addAction(edit, QStringLiteral("CommentSelection1"), QStringLiteral("Co&mment Selection"),
             K(QStringLiteral("Ctrl+Del")), nullptr),
        [this] {
            if (!m_running)
                m_editor->commentSelection();
        });
    hook(addAction(edit, QStringLiteral("UncommentSelection1"), QStringLiteral("Uncomment Selection"),
             K(QStringLiteral("Ctrl+Ins")), nullptr),
        [this] {
            if (!m_running)
                m_editor->uncommentSelection();
        });
    QMenu *text = edit->addMenu(QStringLiteral("Te&xt"));
    text->menuAction()->setObjectName(QStringLiteral("Text1"));
    m_actions.insert(QStringLiteral("Text1"), text->menuAction());
    hook(addAction(text, QStringLiteral("UppercaseSelection1"), QStringLiteral("&Uppercase Selection"), {}, nullptr),
        [this] {
            if (!m_editor->isReadOnly() && !m_editor->selectedText().isEmpty())
                m_editor->insertText(m_editor->selectedText().toUpper());
        });
    hook(addAction(text, QStringLiteral("LowercaseSelection1"), QStringLiteral("&Lowercase Selection"), {}, nullptr),
        [this] {
            if (!m_editor->isReadOnly() && !m_editor->selectedText().isEmpty())
                m_editor->insertText(m_editor->selectedText().toLower());
        });
    connect(edit, &QMenu::aboutToShow, this, &TSQLForm::updateEditCommands);

    // ---- View ---------------------------------------------------------------------------------
    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    QAction *errors = addAction(view, QStringLiteral("ErrorMessages1"), QStringLiteral("&Error Messages"), {},
        &TSQLForm::ToggleErrorMessages);
    errors->setCheckable(true);

    // ---- SQL ----------------------------------------------------------------------------------
    QMenu *sql = bar->addMenu(QStringLiteral("&SQL"));
    addAction(sql, QStringLiteral("Execute1"), QStringLiteral("&Execute"), K(QStringLiteral("Ctrl+E")), &TSQLForm::executeAll);
    addAction(sql, QStringLiteral("ExecuteAtCursor1"), QStringLiteral("Execute At &Cursor"), K(Qt::Key_F5),
        &TSQLForm::executeAtCursor);
    addAction(sql, QStringLiteral("ExecuteAllAfterCursor1"), QStringLiteral("Execute All &After Cursor"),
        K(Qt::Key_F6), &TSQLForm::executeAfterCursor);
    addAction(sql, QStringLiteral("Cancel1"), QStringLiteral("Ca&ncel"), K(Qt::Key_Escape), &TSQLForm::CancelRun);
    sql->addSeparator();
    addAction(sql, QStringLiteral("Commit1"), QStringLiteral("Co&mmit"), {}, &TSQLForm::CommitWork);
    addAction(sql, QStringLiteral("Rollback1"), QStringLiteral("&Rollback"), {}, &TSQLForm::RollbackWork);
    sql->addSeparator();
    addAction(sql, QStringLiteral("ShowPlan1"), QStringLiteral("Show &Plan"), {}, &TSQLForm::ShowPlan);
    hook(addAction(sql, QStringLiteral("PowerTune1"), QStringLiteral("Rizer &Edor"), {}, nullptr),
        later(QStringLiteral("The statement tuning window")));
    hook(addAction(sql, QStringLiteral("PopupDescribe1"), QStringLiteral("Popup &Describe"), K(QStringLiteral("Ctrl+D")), nullptr),
        later(QStringLiteral("The describe popup")));
    sql->addSeparator();
    addAction(sql, QStringLiteral("Connect1"), QStringLiteral("Connect to Database"), {}, &TSQLForm::ConnectCommand);
    addAction(sql, QStringLiteral("DuplicateSession1"), QStringLiteral("D&uplicate Session"), {},
        &TSQLForm::DuplicateSession);

    // ---- Grid ---------------------------------------------------------------------------------
    QMenu *grid = bar->addMenu(QStringLiteral("&Grid"));
    grid->menuAction()->setObjectName(QStringLiteral("Grid1"));
    m_actions.insert(QStringLiteral("Grid1"), grid->menuAction());
    addAction(grid, QStringLiteral("Export1"), QStringLiteral("&Export Grid Contents..."), {},
        &TSQLForm::ExportGridContents);
    addAction(grid, QStringLiteral("ExportasPLSQL1"), QStringLiteral("Export as &PL/SQL..."), {},
        &TSQLForm::ExportAsPLSQL);
    addAction(grid, QStringLiteral("GetAllRows1"), QStringLiteral("&Get All Rows"), {},
        &TSQLForm::GetAllRows);

    // ---- Format -------------------------------------------------------------------------------
    QMenu *format = bar->addMenu(QStringLiteral("F&ormat"));
    // The settings editor on one page of this window's own settings (a copy of the program's,
    // kept for this window only); on OK the window takes the new values.
    auto editSettings = [this](const QString &page, void (TSQLForm::*apply)()) {
        return [this, page, apply] {
            MainWindowInterface *main = mainWindow();
            if (!main) {
                notAvailableYet(QStringLiteral("The settings editor"));
                return;
            }
            if (main->EditSettings(*m_settings, page, false) == 1)
                (this->*apply)();
        };
    };
    hook(addAction(format, QStringLiteral("Fonts1"), QStringLiteral("&Fonts..."), {}, nullptr),
        editSettings(QStringLiteral("Fonts"), &TSQLForm::applyFonts));
    hook(addAction(format, QStringLiteral("Preferences1"), QStringLiteral("&Environment..."), {}, nullptr),
        editSettings(QStringLiteral("SQL"), &TSQLForm::InitOptions));

    // ---- Tool buttons -------------------------------------------------------------------------
    QToolBar *tools = addToolBar(QStringLiteral("SQL"));
    tools->setObjectName(QStringLiteral("ToolBarSQL"));
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto put = [tools](QToolButton *b) { tools->addWidget(b); };
    put(addButton(QStringLiteral("btnOpenFile"), QStringLiteral("Open file"), QStringLiteral("OpenFile1")));
    put(addButton(QStringLiteral("btnSaveFile"), QStringLiteral("Save file"), QStringLiteral("SaveFile1")));
    put(addButton(QStringLiteral("btnPrint"), QStringLiteral("Print"), QString()));
    connect(m_buttons.value(QStringLiteral("btnPrint")), &QToolButton::clicked, this,
        &TSQLForm::printFocused);
    tools->addSeparator();
    put(addButton(QStringLiteral("btnCut"), QStringLiteral("Cut"), QStringLiteral("Cut1")));
    put(addButton(QStringLiteral("btnCopy"), QStringLiteral("Copy"), QStringLiteral("Copy1")));
    put(addButton(QStringLiteral("btnPaste"), QStringLiteral("Paste"), QStringLiteral("Paste1")));
    put(addButton(QStringLiteral("btnUndo"), QStringLiteral("Undo"), QStringLiteral("Undo1")));
    put(addButton(QStringLiteral("btnRedo"), QStringLiteral("Redo"), QStringLiteral("Redo1")));
    put(addButton(QStringLiteral("btnFind"), QStringLiteral("Find"), QStringLiteral("Find1")));
    tools->addSeparator();
    put(addButton(QStringLiteral("btnExec"), QStringLiteral("Execute (Ctrl+E)"), QStringLiteral("Execute1")));
    m_buttons.value(QStringLiteral("btnExec"))->setText(QStringLiteral("Execute"));
    put(addButton(QStringLiteral("btnExecOne"), QStringLiteral("Execute statement at cursor (F5)"),
        QStringLiteral("ExecuteAtCursor1")));
    m_buttons.value(QStringLiteral("btnExecOne"))->setText(QStringLiteral("At Cursor"));
    put(addButton(QStringLiteral("btnExecRest"), QStringLiteral("Execute all after cursor (F6)"),
        QStringLiteral("ExecuteAllAfterCursor1")));
    m_buttons.value(QStringLiteral("btnExecRest"))->setText(QStringLiteral("After Cursor"));
    put(addButton(QStringLiteral("btnCancel"), QStringLiteral("Cancel (Esc)"), QStringLiteral("Cancel1")));
    tools->addSeparator();
    put(addButton(QStringLiteral("btnCommit"), QStringLiteral("Commit"), QStringLiteral("Commit1")));
    put(addButton(QStringLiteral("btnRollback"), QStringLiteral("Rollback"), QStringLiteral("Rollback1")));
    tools->addSeparator();
    put(addButton(QStringLiteral("btnShowPlan"), QStringLiteral("Show plan"), QStringLiteral("ShowPlan1")));
    put(addButton(QStringLiteral("btnPowerTune"), QStringLiteral("Rizer Edor"), QStringLiteral("PowerTune1")));
    put(addButton(QStringLiteral("btnExport"), QStringLiteral("Export grid contents"), QStringLiteral("Export1")));
    m_buttons.value(QStringLiteral("btnExport"))->setText(QStringLiteral("Export"));
    tools->addSeparator();
    put(addButton(QStringLiteral("btnConnect"), QStringLiteral("Connect to database"), QStringLiteral("Connect1")));
    m_buttons.value(QStringLiteral("btnConnect"))->setText(QStringLiteral("Connect"));
    put(addButton(QStringLiteral("btnDuplicate"), QStringLiteral("Duplicate session"),
        QStringLiteral("DuplicateSession1")));
    m_buttons.value(QStringLiteral("btnDuplicate"))->setText(QStringLiteral("Duplicate"));
    put(addButton(QStringLiteral("btnClearText"), QStringLiteral("Clear text output"), QString()));
    m_buttons.value(QStringLiteral("btnClearText"))->setText(QStringLiteral("Clear Text"));
    connect(m_buttons.value(QStringLiteral("btnClearText")), &QToolButton::clicked, this,
        &TSQLForm::clearTextOutput);
    tools->addSeparator();
    tools->addWidget(m_serverVersionLabel);

    // Nothing to cancel, save or export until a run or an edit.
    for (const char *name : { "Cancel1", "SaveFile1", "CloseFile1", "SaveAs1" })
        m_actions.value(QLatin1String(name))->setEnabled(false);
    for (const char *name : { "btnCancel", "btnSaveFile", "btnExport", "btnUndo", "btnRedo" })
        m_buttons.value(QLatin1String(name))->setEnabled(false);
    m_actions.value(QStringLiteral("Grid1"))->setEnabled(false);
}

void TSQLForm::updateEditCommands()
{
    QWidget *focus = QApplication::focusWidget();
    EditorPane *target = m_textOutput->isAncestorOf(focus) ? m_textOutput
        : m_editor->isAncestorOf(focus)                    ? m_editor
                                                           : nullptr;
    const bool memo = target != nullptr;
    const bool readOnly = memo && target->isReadOnly();
    auto set = [this](const char *name, bool on) {
        if (QAction *a = m_actions.value(QLatin1String(name)))
            a->setEnabled(on);
    };
    set("SelectAll1", memo);
    set("Find1", memo);
    for (const char *name : { "Replace1", "IndentSelection1", "UnindentSelection1",
             "CommentSelection1", "UncommentSelection1", "Text1", "Cut1", "Paste1" })
        set(name, memo && !readOnly && !m_running);
    set("Undo1", memo && !readOnly && target->isUndoAvailable());
    set("Redo1", memo && !readOnly && target->isRedoAvailable());
    if (QToolButton *b = m_buttons.value(QStringLiteral("btnUndo")))
        b->setEnabled(memo && !readOnly && target->isUndoAvailable());
    if (QToolButton *b = m_buttons.value(QStringLiteral("btnRedo")))
        b->setEnabled(memo && !readOnly && target->isRedoAvailable());
}

} // namespace qd
