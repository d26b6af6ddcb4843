#include "shell/LockOut.h"

#include "oracle/ScreenServices.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace qd {

TfrmLockOut::TfrmLockOut(QWidget *parent)
    : QDialog(parent)
    , m_label(new QLabel(this))
    , m_edtPassword(new QLineEdit(this))
    , m_btnOK(new QPushButton(QStringLiteral("OK"), this))
    , m_btnClose(new QPushButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("frmLockOut"));
    setWindowTitle(QStringLiteral("Quarlo Desk Lock Out"));
    // A fixed frame without help or minimise buttons; the system close stays (it only shows
    // the lock again).
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setText(QStringLiteral("Quarlo Desk has been locked. \r\n"
                                    "Enter the password to unlock and click OK\r\n"
                                    "    OR\r\n"
                                    "Click Close to close Quarlo Desk.  All changes will be lost, "
                                    "and all queries will be cancelled."));
    m_label->setWordWrap(true);
    m_label->setBuddy(m_edtPassword);
    m_edtPassword->setObjectName(QStringLiteral("edtPassword"));
    m_edtPassword->setEchoMode(QLineEdit::Password);
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setDefault(true);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    m_btnClose->setAutoDefault(false);
    m_btnClose->setToolTip(QStringLiteral("Close Quarlo Desk"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_edtPassword);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_label->setFixedWidth(m_label->fontMetrics().averageCharWidth() * 60);
    setTabOrder(m_edtPassword, m_btnOK);
    setTabOrder(m_btnOK, m_btnClose);

    connect(m_btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { done(mrAbort); });
}

void TfrmLockOut::btnOKClick()
{
    m_enteredPassword = m_edtPassword->text();
    done(mrOk);
}

void TfrmLockOut::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_edtPassword->clear();
    m_edtPassword->setFocus();
    // Centred on the screen: the main window is hidden while the lock is up.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace qd
