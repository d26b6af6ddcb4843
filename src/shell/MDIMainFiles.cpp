// How the main window opens files by their type and reopens recent files and logons.
#include "shell/MDIMainForm.h"

#include "oracle/ScreenServices.h"
#include "shell/KXLogonForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace qd {

namespace {

QString upperSuffix(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix.toUpper();
}

} // namespace

void TMDIMainForm::OpenOrActivateFile(const QString &fileName, const QString &userName,
    const QString &database, const QString &mode)
{
    const QString suffix = upperSuffix(fileName);
    QMdiSubWindow *found = nullptr;
    WorksheetWindowInterface *worksheet = nullptr;
    if (suffix != u".QDZ" && suffix != u".PTP") {
        // From the last child to the first; the one met last (the lowest) wins. Names are
        // compared exactly: a name that differs in letter case is another file.
        const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
        for (qsizetype i = windows.size() - 1; i >= 0; --i) {
            auto *candidate = dynamic_cast<WorksheetWindowInterface *>(windows[i]->widget());
            if (candidate && candidate->WorksheetFileName() == fileName) {
                found = windows[i];
                worksheet = candidate;
            }
        }
    }
    m_recentFiles->Add(0, fileName, fileName, QString(), QString(), userName, database, mode, true);
    if (worksheet) {
        activateWindow();
        raise();
        if (found->isMinimized())
            found->showNormal();
        found->show();
        m_mdiArea->setActiveSubWindow(found);
        worksheet->OpenEditorFile(fileName, true);
    } else {
        OpenFileByType(fileName, userName, database, mode);
    }
}

void TMDIMainForm::OpenFileByType(const QString &fileName, const QString &userName,
    const QString &database, const QString &mode)
{
    const WindowFactories &factories = windowFactories();
    const QString suffix = upperSuffix(fileName);
    if (suffix == u".QDZ") {
        if (!factories.WizardEditor)
            RaiseWindowNotAvailable(QStringLiteral("Wizard editor"));
        AddMdiChild(factories.WizardEditor(this, fileName));
        return;
    }

    QString password;
    QString savedMode;
    const bool saved
        = LookupSavedLogon(userName, database, password, savedMode) && !password.isEmpty();
    if (suffix == u".PTP") {
        if (!factories.Tuning)
            RaiseWindowNotAvailable(QStringLiteral("Rizer Edor"));
        if (saved) {
            AddMdiChild(factories.Tuning(
                this, TLogonValues { database, userName, password, savedMode }, nullptr,
                fileName, false));
        } else if (m_logonForm) {
            m_logonForm->Execute(QStringLiteral("PTune"), QString(), QString(), QString(),
                QString(), fileName);
        }
        return;
    }
    (void)mode;
    if (saved)
        createWorksheet(TLogonValues { database, userName, password, savedMode }, fileName, true);
    else
        createWorksheet(TLogonValues(), fileName, true);
}

bool TMDIMainForm::LookupSavedLogon(const QString &userName, const QString &database,
    QString &password, QString &mode) const
{
    password.clear();
    mode.clear();
    const QString group = QStringLiteral("ORA");
    const int index = m_accounts.FindAccount(group, userName, database, false);
    if (index < 0)
        return false;
    TAccountRec rec;
    m_accounts.GetAccount(group, index, rec);
    password = rec.Password;
    if (rec.Mode == u"D")
        mode = QStringLiteral("SYSDBA");
    else if (rec.Mode == u"O")
        mode = QStringLiteral("SYSOPER");
    else
        mode = QStringLiteral("NORMAL");
    return true;
}

void TMDIMainForm::OpenRecentLogon(const TMRUItem &item)
{
    QString password;
    QString savedMode;
    if (LookupSavedLogon(item.Text3, item.LongText, password, savedMode) && !password.isEmpty()) {
        if (m_logonForm)
            m_logonForm->DoLogon(
                item.Path, this, item.LongText, item.Text3, password, item.Code, QString());
        return;
    }
    if (m_logonForm)
        m_logonForm->Execute(item.Path, item.Text3, QString(), item.LongText, item.Code, QString());
}

} // namespace qd
