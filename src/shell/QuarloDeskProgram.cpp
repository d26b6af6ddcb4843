#include "shell/QuarloDeskProgram.h"

#include "shell/KXLogonForm.h"
#include "shell/LockOut.h"
#include "shell/SettingsForm.h"
#include "shell/MDIMainForm.h"

#include <QApplication>

namespace qd {

QStringList QuarloDeskProgram::FileArguments(const QStringList &parameters)
{
    QStringList files;
    for (const QString &parameter : parameters) {
        const QString name = parameter.section(u'=', 0, 0).trimmed();
        if (parameter.contains(u'=')
            && (name.compare(u"OCIDLL", Qt::CaseInsensitive) == 0
                || name.compare(u"ORACLEHOME", Qt::CaseInsensitive) == 0))
            continue;
        files.append(parameter);
    }
    return files;
}

QuarloDeskProgram::QuarloDeskProgram(const QStringList &arguments)
{
    QApplication::setApplicationName(QStringLiteral("Quarlo Desk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quarlo Desk"));
    m_mainForm = std::make_unique<TMDIMainForm>(FileArguments(arguments));
    m_lockOutForm = std::make_unique<TfrmLockOut>(m_mainForm.get());
    m_mainForm->SetLockOutForm(m_lockOutForm.get());
    m_settingsForm = std::make_unique<TfrmSettings>(m_mainForm.get(), m_mainForm.get());
    m_mainForm->SetSettingsForm(m_settingsForm.get());
    m_logonForm = std::make_unique<TKXLogonForm>(m_mainForm.get(), m_mainForm.get());
    m_mainForm->SetLogonForm(m_logonForm.get());
}

QuarloDeskProgram::~QuarloDeskProgram()
{
    if (m_mainForm) {
        m_mainForm->SetLogonForm(nullptr);
        m_mainForm->SetLockOutForm(nullptr);
        m_mainForm->SetSettingsForm(nullptr);
    }
    m_logonForm.reset();
    m_settingsForm.reset();
    m_lockOutForm.reset();
    m_mainForm.reset();
}

int QuarloDeskProgram::Run()
{
    m_mainForm->show();
    return QApplication::exec();
}

} // namespace qd
