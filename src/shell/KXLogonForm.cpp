#include "shell/KXLogonForm.h"

#include "classlib/Exception.h"
#include "classlib/IniFile.h"
#include "oracle/ScreenServices.h"
#include "platform/ProgramDirectory.h"
#include "shell/AccountList.h"
#include "shell/HtmlHelp.h"
#include "shell/MRUList.h"
#include "shell/WindowServices.h"

#include "ui_KXLogonForm.h"

#include <QKeyEvent>
#include <QSet>
#include <QTreeWidgetItem>

namespace qd {

namespace {

const QString OraGroup = QStringLiteral("ORA");
const QString StateSection = QStringLiteral("FormState");

// The upper-cased text of an edit box, keeping the caret where the user typed.
void keepUpperCase(QLineEdit *edit)
{
    const QString upper = edit->text().toUpper();
    if (upper == edit->text())
        return;
    const int caret = edit->cursorPosition();
    edit->setText(upper);
    edit->setCursorPosition(caret);
}

} // namespace

TKXLogonForm::TKXLogonForm(MainWindowInterface *main, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TKXLogonForm>())
    , m_main(main)
{
    m_ui->setupUi(this);
    SetHelpKeyword(this, QStringLiteral("logon_window"));
    // User names are upper case; passwords keep their case, as the server compares them.
    connect(m_ui->edt_username, &QLineEdit::textEdited, this,
        [this] { keepUpperCase(m_ui->edt_username); });
    connect(m_ui->edt_username, &QLineEdit::textChanged, this, [this] { editChange(); });
    connect(m_ui->edt_password, &QLineEdit::textChanged, this, [this] { editChange(); });
    connect(m_ui->cb_instance, &QComboBox::editTextChanged, this, [this] { editChange(); });

    connect(m_ui->rbNormal, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_connectMode = QStringLiteral("NORMAL");
    });
    connect(m_ui->rbSysDBA, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_connectMode = QStringLiteral("SYSDBA");
    });
    connect(m_ui->rbSysOper, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_connectMode = QStringLiteral("SYSOPER");
    });
    connect(m_ui->rbByInstance, &QRadioButton::toggled, this, [this] { RefreshLogonHistory(); });

    connect(m_ui->btn_newLogon, &QPushButton::clicked, this, [this] { btn_newLogonClick(); });
    connect(m_ui->btn_prevLogon, &QPushButton::clicked, this, [this] { btn_prevLogonClick(); });
    connect(m_ui->btnPrevDelete, &QPushButton::clicked, this, [this] { btnPrevDeleteClick(); });
    connect(m_ui->btnPrevClear, &QPushButton::clicked, this, [this] { btnPrevClearClick(); });
    connect(m_ui->btn_prevCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->btn_newCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->tvwPrevLogon, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem *current) { tvwPrevLogonChange(current); });
    connect(m_ui->tvwPrevLogon, &QTreeWidget::itemDoubleClicked, this,
        [this](QTreeWidgetItem *item) { tvwPrevLogonDblClick(item); });
    m_ui->tvwPrevLogon->installEventFilter(this);

    FormCreate();
}

TKXLogonForm::~TKXLogonForm() = default;

QString TKXLogonForm::stateFileName()
{
    return ProgramDirectory::filePath(QStringLiteral("LogonForm.ini"));
}

void TKXLogonForm::FormCreate()
{
    m_reloadHistory = false;
    try {
        loadState();
    } catch (const Exception &) {
        // An unreadable layout file leaves the designed layout.
    }
    RefreshLogonHistory();
}

int TKXLogonForm::Execute(const QString &target, const QString &userName,
    const QString &password, const QString &database, const QString &mode,
    const QString &extra)
{
    m_target = target;
    m_ui->edt_username->setText(userName.toUpper());
    m_ui->edt_password->setText(password);
    m_ui->cb_instance->setEditText(database);
    m_userName.clear();
    m_password.clear();
    m_database.clear();
    SetConnectMode(mode);
    m_extra = extra;
    static const QHash<QString, QString> captions = {
        { QStringLiteral("SQL"), QStringLiteral("Logon to SQL Window") },
        { QStringLiteral("DBNav"), QStringLiteral("Logon to DB Navigator") },
        { QStringLiteral("JOB"), QStringLiteral("Logon to Job Window") },
        { QStringLiteral("PTune"), QStringLiteral("Logon to Rizer Edorr") },
        { QStringLiteral("Debugger"), QStringLiteral("Logon to PL/SQL Debugger") },
    };
    if (auto it = captions.find(target); it != captions.end())
        setWindowTitle(*it);
    return exec();
}

void TKXLogonForm::SetConnectMode(const QString &mode)
{
    const QString upper = mode.toUpper();
    if (upper == u"SYSDBA") {
        m_ui->rbSysDBA->setChecked(true);
        m_connectMode = QStringLiteral("SYSDBA");
    } else if (upper == u"SYSOPER") {
        m_ui->rbSysOper->setChecked(true);
        m_connectMode = QStringLiteral("SYSOPER");
    } else {
        m_ui->rbNormal->setChecked(true);
        m_connectMode = QStringLiteral("NORMAL");
    }
}

void TKXLogonForm::DoLogon(const QString &target, QWidget *owner, const QString &database,
    const QString &userName, const QString &password, const QString &mode, const QString &extra)
{
    m_database = database;
    m_userName = userName;
    m_password = password;
    if (target.isEmpty())
        return;

    const TLogonValues logon { database.toUpper(), userName, password, mode };
    const WindowFactories &factories = windowFactories();
    QWidget *window = nullptr;
    if (target == u"SQL") {
        if (!factories.Worksheet)
            RaiseWindowNotAvailable(QStringLiteral("SQL worksheet"));
        window = factories.Worksheet(owner, logon, extra, false);
    } else if (target == u"DBNav") {
        if (!factories.DBNavigator)
            RaiseWindowNotAvailable(QStringLiteral("DB Navigator"));
        window = factories.DBNavigator(owner, logon);
    } else if (target == u"JOB") {
        if (!factories.JobQueue)
            RaiseWindowNotAvailable(QStringLiteral("Job Queue"));
        window = factories.JobQueue(owner, logon);
    } else if (target == u"PTune") {
        if (!factories.Tuning)
            RaiseWindowNotAvailable(QStringLiteral("Rizer Edor"));
        window = factories.Tuning(owner, logon, nullptr, extra, false);
    } else if (target == u"Debugger") {
        if (!factories.Debugger)
            RaiseWindowNotAvailable(QStringLiteral("PL/SQL Debugger"));
        window = factories.Debugger(owner, logon);
    }
    if (window && m_main)
        m_main->AddMdiChild(window);

    if (m_main) {
        m_main->RecentLogons().Add(2, target + u'-' + userName + u'@' + database, target,
            QString(), QString(), userName, database, mode, true);
    }
}

bool TKXLogonForm::AddLogonToHistory(
    const QString &userName, const QString &password, const QString &database)
{
    if (!m_main)
        return false;
    const int index = m_main->AccountList().AddAccount(
        OraGroup, userName, password, database.toUpper(), modeCharacter());
    RefreshLogonHistory();
    return index >= 0;
}

QString TKXLogonForm::modeCharacter() const
{
    if (m_ui->rbNormal->isChecked())
        return QStringLiteral("N");
    if (m_ui->rbSysDBA->isChecked())
        return QStringLiteral("D");
    if (m_ui->rbSysOper->isChecked())
        return QStringLiteral("O");
    return QStringLiteral(" ");
}

void TKXLogonForm::setModeFromCharacter(const QString &character)
{
    if (character == u"D")
        m_ui->rbSysDBA->setChecked(true);
    else if (character == u"O")
        m_ui->rbSysOper->setChecked(true);
    else
        m_ui->rbNormal->setChecked(true);
}

int TKXLogonForm::accountIndexOf(const QTreeWidgetItem *item)
{
    if (!item)
        return -1;
    bool ok = false;
    const int index = item->data(0, Qt::UserRole).toInt(&ok);
    return ok ? index : -1;
}

void TKXLogonForm::RefreshLogonHistory()
{
    QTreeWidget *tree = m_ui->tvwPrevLogon;
    QSet<QString> expanded;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->isExpanded())
            expanded.insert(tree->topLevelItem(i)->text(0));
    }
    tree->setUpdatesEnabled(false);
    tree->clear();
    if (m_main) {
        const TAccountList &accounts = m_main->AccountList();
        const bool byInstance = m_ui->rbByInstance->isChecked();
        QHash<QString, QTreeWidgetItem *> tops;
        for (int i = 0; i < accounts.GetCount(OraGroup); ++i) {
            TAccountRec rec;
            accounts.GetAccount(OraGroup, i, rec);
            const QString topText = byInstance ? rec.Server : rec.Username;
            const QString childText = byInstance ? rec.Username : rec.Server;
            QTreeWidgetItem *&top = tops[topText];
            if (!top) {
                top = new QTreeWidgetItem(tree, QStringList { topText });
                top->setData(0, Qt::UserRole, -1);
            }
            auto *child = new QTreeWidgetItem(top, QStringList { childText });
            child->setData(0, Qt::UserRole, i);
        }
    }
    tree->sortItems(0, Qt::AscendingOrder);
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (expanded.contains(tree->topLevelItem(i)->text(0)))
            tree->topLevelItem(i)->setExpanded(true);
    }
    tree->setUpdatesEnabled(true);
}

void TKXLogonForm::ClearLogonHistory()
{
    if (m_main)
        m_main->AccountList().DeleteGroup(OraGroup);
    m_ui->tvwPrevLogon->clear();
}

void TKXLogonForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TKXLogonForm::FormShow()
{
    m_ui->chkDoNotLogSession->setChecked(false);
    if (m_main) {
        // Refilling the items must not lose the database the caller put in.
        const QString database = m_ui->cb_instance->currentText();
        m_ui->cb_instance->clear();
        QStringList aliases = m_main->AliasList();
        aliases.sort(Qt::CaseInsensitive);
        m_ui->cb_instance->addItems(aliases);
        m_ui->cb_instance->setEditText(database);

        if (m_main->SecurityActive() && m_reloadHistory) {
            try {
                m_main->AccountList().LoadAccounts(m_main->AccountFileName());
            } catch (...) {
                ShowCurrentException();
            }
            RefreshLogonHistory();
        }
    }

    const QString user = m_ui->edt_username->text();
    const QString password = m_ui->edt_password->text();
    const QString database = m_ui->cb_instance->currentText();
    if (user.isEmpty() && password.isEmpty() && database.isEmpty()) {
        if (m_main && m_main->AccountList().GetCount(OraGroup) > 0) {
            m_ui->btn_prevLogon->setEnabled(true);
            m_ui->tvwPrevLogon->setFocus();
        } else {
            m_ui->btn_prevLogon->setEnabled(false);
            m_ui->edt_username->setFocus();
        }
    } else if (user.isEmpty()) {
        m_ui->edt_username->setFocus();
    } else if (password.isEmpty()) {
        m_ui->edt_password->setFocus();
    } else if (database.isEmpty()) {
        m_ui->cb_instance->setFocus();
    } else {
        m_ui->btn_newLogon->setEnabled(true);
        m_ui->btn_newLogon->setFocus();
    }
}

void TKXLogonForm::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TKXLogonForm::FormClose()
{
    if (m_main && m_main->SecurityActive()) {
        try {
            m_main->AccountList().SaveAccounts(m_main->AccountFileName());
        } catch (...) {
            ShowCurrentException();
        }
    }
    try {
        saveState();
    } catch (const Exception &) {
        // The layout is a convenience: a read-only program directory must not stop the logon.
    }
}

void TKXLogonForm::loadState()
{
    const TIniFile ini(stateFileName());
    const QString sort = ini.ReadString(StateSection, QStringLiteral("Sort"), QStringLiteral("instance"));
    if (sort.toLower() == u"instance")
        m_ui->rbByInstance->setChecked(true);
    else
        m_ui->rbByUsername->setChecked(true);
    QRect geometry = this->geometry();
    const int height = ini.ReadInteger(StateSection, QStringLiteral("Height"), 0);
    const int width = ini.ReadInteger(StateSection, QStringLiteral("Width"), 0);
    const int top = ini.ReadInteger(StateSection, QStringLiteral("Top"), 0);
    const int left = ini.ReadInteger(StateSection, QStringLiteral("Left"), 0);
    if (height > 0)
        geometry.setHeight(height);
    if (width > 0)
        geometry.setWidth(width);
    resize(geometry.size());
    if (top > 0 || left > 0)
        move(left > 0 ? left : x(), top > 0 ? top : y());
}

void TKXLogonForm::saveState() const
{
    TIniFile ini(stateFileName());
    ini.beginUpdate();
    try {
        ini.WriteString(StateSection, QStringLiteral("Sort"),
            m_ui->rbByInstance->isChecked() ? QStringLiteral("instance")
                                            : QStringLiteral("username"));
        ini.WriteInteger(StateSection, QStringLiteral("Height"), height());
        ini.WriteInteger(StateSection, QStringLiteral("Width"), width());
        ini.WriteInteger(StateSection, QStringLiteral("Top"), y());
        ini.WriteInteger(StateSection, QStringLiteral("Left"), x());
    } catch (...) {
        ini.cancelUpdate();
        throw;
    }
    ini.endUpdate();
}

void TKXLogonForm::editChange()
{
    m_ui->btn_newLogon->setEnabled(!m_ui->edt_username->text().isEmpty()
        && !m_ui->edt_password->text().isEmpty() && !m_ui->cb_instance->currentText().isEmpty());
}

void TKXLogonForm::btn_newLogonClick()
{
    const QString user = m_ui->edt_username->text();
    const QString password = m_ui->edt_password->text();
    const QString database = m_ui->cb_instance->currentText();
    if (user.isEmpty() || password.isEmpty() || database.isEmpty())
        return;
    try {
        DoLogon(m_target, m_main ? m_main->MainWidget() : nullptr, database, user, password,
            m_connectMode, m_extra);
    } catch (...) {
        // The dialog stays open with its values, so the user can correct them.
        ShowCurrentException();
        return;
    }
    if (!m_ui->chkDoNotLogSession->isChecked())
        AddLogonToHistory(user, password, database);
    accept();
}

void TKXLogonForm::logonFromAccount(int index)
{
    TAccountRec rec;
    try {
        m_main->AccountList().GetAccount(OraGroup, index, rec);
        DoLogon(m_target, m_main->MainWidget(), rec.Server, rec.Username, rec.Password,
            m_connectMode, m_extra);
    } catch (...) {
        ShowCurrentException();
        return;
    }
    accept();
}

void TKXLogonForm::btn_prevLogonClick()
{
    const int index = accountIndexOf(m_ui->tvwPrevLogon->currentItem());
    if (index < 0 || !m_main)
        return;
    logonFromAccount(index);
}

void TKXLogonForm::tvwPrevLogonDblClick(QTreeWidgetItem *item)
{
    const int index = accountIndexOf(item);
    if (index < 0 || !m_main)
        return;
    TAccountRec rec;
    try {
        m_main->AccountList().GetAccount(OraGroup, index, rec);
    } catch (...) {
        ShowCurrentException();
        return;
    }
    setModeFromCharacter(rec.Mode);
    logonFromAccount(index);
}

void TKXLogonForm::tvwPrevLogonChange(QTreeWidgetItem *current)
{
    const int index = accountIndexOf(current);
    if (index < 0 || !m_main)
        return;
    TAccountRec rec;
    try {
        m_main->AccountList().GetAccount(OraGroup, index, rec);
    } catch (...) {
        return; // the tree is rebuilt from the list; a stale node has nothing to show
    }
    m_ui->edt_username->setText(rec.Username);
    m_ui->cb_instance->setEditText(rec.Server);
    m_ui->edt_password->setText(rec.Password);
    m_ui->btn_newLogon->setEnabled(true);
    setModeFromCharacter(rec.Mode);
}

void TKXLogonForm::btnPrevDeleteClick()
{
    const int index = accountIndexOf(m_ui->tvwPrevLogon->currentItem());
    if (index < 0 || !m_main)
        return;
    if (ScreenConfirm(QStringLiteral("Delete the current Logon History entry?"), QStringLiteral("YN"))
        != mrYes)
        return;
    m_main->AccountList().Delete(OraGroup, index);
    RefreshLogonHistory();
}

void TKXLogonForm::btnPrevClearClick()
{
    if (ScreenConfirm(QStringLiteral("Clear the Logon History?"), QStringLiteral("YN")) != mrYes)
        return;
    ClearLogonHistory();
}

bool TKXLogonForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->tvwPrevLogon && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter picks the selected logon; on a database or user node it does nothing
            // (and does not fall through to the default button).
            btn_prevLogonClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qd
