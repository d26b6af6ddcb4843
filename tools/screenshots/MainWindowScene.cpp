// The main window and the logon dialog.
#include "Scene.h"

#include "oracle/OracleClientLibrary.h"
#include "shell/AccountList.h"
#include "shell/KXLogonForm.h"
#include "shell/MDIMainForm.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLForm.h"

#include <QComboBox>
#include <QPointer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

// The demo alias list, as run.sh gives it.
void useDemoNetworkConfiguration(const qd::screens::SceneContext &context)
{
    const QString dir = QDir(context.programDirectory).filePath(QStringLiteral("network"));
    QDir().mkpath(dir);
    QFile tns(QDir(dir).filePath(QStringLiteral("tnsnames.ora")));
    if (tns.open(QIODevice::WriteOnly))
        tns.write("DEMO = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = localhost)(PORT = 1521)))\n"
                  "SALES = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = sales)(PORT = 1521)))\n");
    qputenv("TNS_ADMIN", dir.toLocal8Bit());
    qd::SetOCIDLL(context.standinLibrary);
}

} // namespace

// The main window with a worksheet logged on to the demo database, after a run.
QD_SCREENSHOT_SCENE(mainWindow, "main-window", QSize(1100, 720))
{
    useDemoNetworkConfiguration(context);
    auto *main = new qd::TMDIMainForm({});
    main->setWindowState(Qt::WindowNoState);
    main->RecentLogons().Add(2, QStringLiteral("SQL-DEMO@DEMO"), QStringLiteral("SQL"), {}, {},
        QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("NORMAL"), true);
    const qd::TLogonValues demo { QStringLiteral("DEMO"), QStringLiteral("DEMO"),
        QStringLiteral("DEMO"), QStringLiteral("NORMAL") };
    QPointer<qd::TSQLForm> form = qd::TSQLForm::CreateWorksheet(main, demo,
        QStringLiteral("select empno, ename, job, sal\n  from emp\n order by ename"), false);
    main->AddMdiChild(form);
    bool started = false;
    return { main, [main, form, started]() mutable {
                if (!form)
                    return true;
                if (!started) {
                    form->parentWidget()->showMaximized();
                    form->RunSQL(0, 0);
                    started = true;
                    return false;
                }
                return !form->Running();
            } };
}

QD_SCREENSHOT_SCENE(logonDialog, "logon-dialog", QSize(640, 340))
{
    useDemoNetworkConfiguration(context);
    // The dialog reads the main window's accounts and aliases; it goes with the dialog.
    auto *main = new qd::TMDIMainForm({});
    auto *dialog = new qd::TKXLogonForm(main);
    QObject::connect(dialog, &QObject::destroyed, [main] { delete main; });
    main->SetLogonForm(dialog);
    main->AccountList().AddAccount(QStringLiteral("ORA"), QStringLiteral("DEMO"),
        QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("N"));
    main->AccountList().AddAccount(QStringLiteral("ORA"), QStringLiteral("HR"),
        QStringLiteral("HR"), QStringLiteral("DEMO"), QStringLiteral("N"));
    main->AccountList().AddAccount(QStringLiteral("ORA"), QStringLiteral("SCOTT"),
        QStringLiteral("tiger"), QStringLiteral("SALES"), QStringLiteral("N"));
    dialog->RefreshLogonHistory();
    dialog->setWindowTitle(QStringLiteral("Logon to SQL Window"));
    dialog->findChild<QLineEdit *>(QStringLiteral("edt_username"))->setText(QStringLiteral("DEMO"));
    dialog->findChild<QLineEdit *>(QStringLiteral("edt_password"))->setText(QStringLiteral("DEMO"));
    auto *tree = dialog->findChild<QTreeWidget *>(QStringLiteral("tvwPrevLogon"));
    tree->expandAll();
    // Showing fills the database box; the database goes in after that.
    return { dialog, [dialog] {
                auto *box = dialog->findChild<QComboBox *>(QStringLiteral("cb_instance"));
                if (box->count() == 0)
                    return false;
                if (box->currentText().isEmpty())
                    box->setEditText(QStringLiteral("DEMO"));
                return true;
            } };
}
