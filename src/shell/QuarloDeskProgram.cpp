#include "shell/QuarloDeskProgram.h"

#include "shell/KXLogonForm.h"
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
    m_logonForm = std::make_unique<TKXLogonForm>(m_mainForm.get(), m_mainForm.get());
    m_mainForm->SetLogonForm(m_logonForm.get());
}

QuarloDeskProgram::~QuarloDeskProgram()
{
    if (m_mainForm)
        m_mainForm->SetLogonForm(nullptr);
    m_logonForm.reset();
    m_mainForm.reset();
}

int QuarloDeskProgram::Run()
{
    m_mainForm->show();
    return QApplication::exec();
}

} // namespace qd
