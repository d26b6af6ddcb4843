#include "shell/QDChangePassword.h"

#include "classlib/ThreadHandOver.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/PasswordThread.h"
#include "shell/WindowServices.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

namespace qd {

namespace {

// Turns what is typed into capitals.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

QLineEdit *newEdit(QWidget *parent, const QString &name, bool capitals, bool password)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (capitals)
        edit->setValidator(new UpperCaseValidator(edit));
    if (password)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

TQDChangePassword::TQDChangePassword(MainWindowInterface *main, QWidget *parent)
    : QWidget(parent)
    // Passwords keep the case they are typed in: servers compare them exactly.
    , m_edtUsername(newEdit(this, QStringLiteral("edtUsername"), true, false))
    , m_edtOldPassword(newEdit(this, QStringLiteral("edtOldPassword"), false, true))
    , m_edtNewPass(newEdit(this, QStringLiteral("edtNewPass"), false, true))
    , m_edtNewPassConfirm(newEdit(this, QStringLiteral("edtNewPassConfirm"), false, true))
    , m_lbAliases(new QListWidget(this))
    , m_edtInstance(newEdit(this, QStringLiteral("edtInstance"), true, false))
    , m_btnAdd(new QPushButton(QStringLiteral("Add"), this))
    , m_btnChange(new QPushButton(QStringLiteral("Change"), this))
    , m_btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_btnExit(new QPushButton(QStringLiteral("Exit"), this))
    , m_memOutput(new QPlainTextEdit(this))
    , m_session(std::make_unique<TOracleSession>())
{
    setObjectName(QStringLiteral("QDChangePassword"));
    setWindowTitle(QStringLiteral("Change Password"));
    m_lbAliases->setObjectName(QStringLiteral("lbAliases"));
    m_lbAliases->setSortingEnabled(true);
    m_lbAliases->setSelectionMode(QAbstractItemView::MultiSelection);
    m_btnAdd->setObjectName(QStringLiteral("btnAdd"));
    m_btnChange->setObjectName(QStringLiteral("btnChange"));
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    m_btnExit->setObjectName(QStringLiteral("btnExit"));
    m_memOutput->setObjectName(QStringLiteral("memOutput"));
    m_memOutput->setReadOnly(true);
    m_btnChange->setEnabled(false);
    m_btnCancel->setEnabled(false);
    m_session->setObjectName(QStringLiteral("OracleSession1"));
    m_session->SetThreadSafe(true);
    // The run is in the background: the window stays usable, without a busy cursor.
    m_session->SetCursor(crDefault);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&User Name"), m_edtUsername);
    fields->addRow(QStringLiteral("&Old Password"), m_edtOldPassword);
    fields->addRow(QStringLiteral("&New Password"), m_edtNewPass);
    fields->addRow(QStringLiteral("Con&firm Password"), m_edtNewPassConfirm);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_btnChange);
    buttons->addWidget(m_btnCancel);
    buttons->addWidget(m_btnExit);
    buttons->addStretch();
    auto *left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(buttons);
    left->addStretch();
    auto *instanceRow = new QHBoxLayout;
    instanceRow->addWidget(m_edtInstance);
    instanceRow->addWidget(m_btnAdd);
    auto *right = new QVBoxLayout;
    auto *instancesLabel = new QLabel(QStringLiteral("&Instances"), this);
    instancesLabel->setBuddy(m_lbAliases);
    right->addWidget(instancesLabel);
    right->addWidget(m_lbAliases);
    right->addLayout(instanceRow);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_memOutput, 1);
    setTabOrder(m_edtUsername, m_edtOldPassword);
    setTabOrder(m_edtOldPassword, m_edtNewPass);
    setTabOrder(m_edtNewPass, m_edtNewPassConfirm);
    setTabOrder(m_edtNewPassConfirm, m_lbAliases);
    setTabOrder(m_lbAliases, m_edtInstance);
    setTabOrder(m_edtInstance, m_btnAdd);
    setTabOrder(m_btnAdd, m_btnChange);
    setTabOrder(m_btnChange, m_btnCancel);
    setTabOrder(m_btnCancel, m_btnExit);
    resize(560, 420);

    for (QLineEdit *edit : { m_edtUsername, m_edtOldPassword, m_edtNewPass, m_edtNewPassConfirm })
        connect(edit, &QLineEdit::textChanged, this, [this] { updateChangeButton(); });
    connect(m_lbAliases, &QListWidget::itemSelectionChanged, this, [this] { updateChangeButton(); });
    connect(m_btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
    connect(m_edtInstance, &QLineEdit::returnPressed, this, [this] { btnAddClick(); });
    connect(m_btnChange, &QPushButton::clicked, this, [this] {
        try {
            btnChangeClick();
        } catch (...) {
            ShowCurrentException();
        }
    });
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(m_btnExit, &QPushButton::clicked, this, [this] { close(); });
    FormCreate(main);
}

TQDChangePassword::~TQDChangePassword()
{
    if (m_thread) {
        m_thread->Stop();
        try {
            m_session->BreakExecution();
        } catch (...) {
        }
        waitForThread();
    }
    if (m_session->Connected()) {
        try {
            m_session->LogOff();
        } catch (...) {
        }
    }
}

void TQDChangePassword::FormCreate(MainWindowInterface *main)
{
    m_busy = false;
    if (main)
        m_lbAliases->addItems(main->AliasList());
}

QStringList TQDChangePassword::SelectedInstances() const
{
    QStringList instances;
    for (int i = 0; i < m_lbAliases->count(); ++i) {
        if (m_lbAliases->item(i)->isSelected())
            instances.append(m_lbAliases->item(i)->text());
    }
    return instances;
}

void TQDChangePassword::updateChangeButton()
{
    m_btnChange->setEnabled(!m_edtUsername->text().isEmpty()
        && !m_edtOldPassword->text().isEmpty() && !m_edtNewPass->text().isEmpty()
        && !m_edtNewPassConfirm->text().isEmpty() && !m_lbAliases->selectedItems().isEmpty());
}

void TQDChangePassword::btnAddClick()
{
    const QString instance = m_edtInstance->text();
    if (!instance.isEmpty())
        m_lbAliases->addItem(instance);
}

void TQDChangePassword::btnChangeClick()
{
    const QStringList instances = SelectedInstances();
    if (instances.isEmpty()) {
        ScreenMessage(mkInformation,
            QStringLiteral("You must pick at least one instance on which to change password."));
        return;
    }
    if (m_edtNewPass->text() != m_edtNewPassConfirm->text()) {
        ScreenMessage(
            mkInformation, QStringLiteral("New passwords are not the same, please re-enter."));
        return;
    }
    if (m_busy) {
        ScreenMessage(mkInformation, QStringLiteral("Passwords are already being changed."));
        return;
    }
    auto *thread = new TPasswordThread(this, m_edtUsername->text(), m_edtOldPassword->text(),
        m_edtNewPass->text(), instances);
    m_thread = thread;
    connect(thread, &QThread::finished, this, [this] { ThreadEnded(); });
    m_busy = true;
    thread->start();
}

void TQDChangePassword::btnCancelClick()
{
    if (m_busy && m_thread)
        m_thread->Stop();
}

void TQDChangePassword::AddLogLine(const QString &line)
{
    m_memOutput->appendPlainText(line);
}

void TQDChangePassword::ThreadEnded()
{
    m_busy = false;
    if (m_thread) {
        m_thread->wait();
        ThreadJoined(m_thread.data());
        m_thread->deleteLater();
    }
}

void TQDChangePassword::waitForThread()
{
    QPointer<TPasswordThread> thread = m_thread;
    if (!thread)
        return;
    if (!thread->isFinished()) {
        // The thread's calls to this window run meanwhile, or it could never end.
        QEventLoop loop;
        connect(thread, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        if (!thread->isFinished())
            loop.exec();
    }
    m_busy = false;
    if (thread) {
        thread->wait();
        delete thread.data();
    }
}

bool TQDChangePassword::FormCloseQuery()
{
    if (m_busy) {
        MainWindowInterface *main = mainWindow();
        // Leaving the program from the screen lock asks nothing.
        if (!(main && main->ClosingAfterLock())
            && ScreenConfirm(QStringLiteral("Cancel the current operation?"), QStringLiteral("YN"))
                != mrYes)
            return false;
        try {
            m_session->BreakExecution();
        } catch (...) {
            // Nothing running to break: the stop request does the rest.
        }
        if (m_thread)
            m_thread->Stop();
        waitForThread();
    }
    if (m_session->Connected()) {
        try {
            m_session->LogOff();
        } catch (...) {
        }
    }
    return true;
}

void TQDChangePassword::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace qd
