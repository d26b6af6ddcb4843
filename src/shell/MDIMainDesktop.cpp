// The main window's place on the desktop: files from outside, drops, file associations, the
// watch over the script directories, help and the about box.
#include "shell/MDIMainForm.h"

#include "oracle/ScreenServices.h"
#include "platform/DirChangeNotify.h"
#include "platform/MILAssociate.h"
#include "shell/FileAssociate.h"
#include "shell/FileDrop.h"
#include "shell/HtmlHelp.h"
#include "shell/KXAboutForm.h"
#include "shell/KXLogonForm.h"
#include "shell/Settings.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace qd {

void TMDIMainForm::OpenFilesFromOutside(const QStringList &files)
{
    if (!m_shown) {
        m_filesToOpen.append(files);
        return;
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    // Each file on its own: one that fails to open is reported and the next still opens.
    for (const QString &file : files) {
        try {
            OpenOrActivateFile(file, QString(), QString(), QString());
        } catch (...) {
            ShowCurrentException();
        }
    }
}

void TMDIMainForm::MainWindowFileDropDrop()
{
    OpenFilesFromOutside(m_fileDrop->Files());
}

void TMDIMainForm::setUpDesktop()
{
    SetHelpKeyword(this, QStringLiteral("index"));
    new THelpKeyFilter(this);

    m_fileDrop = new TFileDrop(this);
    m_fileDrop->setObjectName(QStringLiteral("MainWindowFileDrop"));
    m_fileDrop->SetDropControl(this);
    m_fileDrop->SetEnableDrop(true);
    m_fileDrop->OnDrop = [this](TFileDrop *) { MainWindowFileDropDrop(); };

    m_associate = std::make_unique<TMILAssociate>();
    m_associate->SetExeName(QStringLiteral("quarlodesk"));
    m_associate->SetDisplayName(QStringLiteral("Quarlo Desk"));
    m_associate->SetAppName(QStringLiteral("QuarloDesk"));
    m_associate->SetPathToApp(QCoreApplication::applicationFilePath());

    runStep([this] { StartDirectoryWatch(); });

    // Only the program registers itself with the desktop and offers the associations; a window
    // made without the program's association dialog (a test's) leaves the desktop alone.
    const WindowFactories &factories = windowFactories();
    if (!factories.FileAssociate)
        return;
    runStep([this] {
        TSettingItem *registered = m_settings.FindSetting(QStringLiteral("AppShellRegistered"));
        if (registered->Value().toBool())
            return;
        m_associate->RegisterShell();
        registered->SetValue(true);
        m_settings.SaveSettings();
    });
    runStep([this, &factories] {
        if (!m_settings.FindSetting(QStringLiteral("CheckAssociation"))->Value().toBool())
            return;
        QStringList extensions = TFileAssociate::Extensions();
        QStringList descriptions = TFileAssociate::Descriptions();
        for (int i = 0; i < extensions.size();) {
            if (m_associate->IsAssociated(extensions.at(i))) {
                extensions.removeAt(i);
                descriptions.removeAt(i);
            } else {
                ++i;
            }
        }
        if (!extensions.isEmpty())
            factories.FileAssociate(this, *m_associate, m_settings, extensions, descriptions);
    });
}

void TMDIMainForm::StartDirectoryWatch()
{
    QStringList directories;
    for (const char *name : { "SQLDir", "TemplateDir", "WizardDir" }) {
        const QString value = m_settings.FindSetting(QLatin1String(name))->Value().toString();
        if (!value.isEmpty())
            directories.append(value);
    }
    auto watcher = std::make_unique<TDirWaitThread>(directories.join(u';'),
        [this](TDirWaitThread *, const QString &) { RefreshFileTrees(); },
        TNotifyFilter(nfFileNameChange | nfDirNameChange));
    // The previous watcher stops only once the new one runs.
    std::swap(m_dirWatch, watcher);
    watcher.reset();
}

void TMDIMainForm::RefreshFileTrees()
{
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if (auto *worksheet = dynamic_cast<WorksheetWindowInterface *>((*it)->widget())) {
            try {
                worksheet->InitSQLTreeBrowser(true);
            } catch (...) {
                ShowCurrentException();
            }
        }
    }
}

TKXAboutForm *TMDIMainForm::AboutForm()
{
    if (!m_aboutForm)
        m_aboutForm = new TKXAboutForm(this);
    return m_aboutForm;
}

void TMDIMainForm::About1Click()
{
    AboutForm()->exec();
}

} // namespace qd
