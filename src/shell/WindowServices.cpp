#include "shell/WindowServices.h"

#include "classlib/Exception.h"
#include "oracle/ScreenServices.h"

#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>

namespace qd {

namespace {
MainWindowInterface *g_mainWindow = nullptr;
}

WindowFactories &windowFactories()
{
    static WindowFactories factories;
    return factories;
}

namespace {
QString notAvailableText(const QString &what)
{
    return QStringLiteral("The %1 window is not available yet.").arg(what);
}
} // namespace

void ShowWindowNotAvailable(const QString &what)
{
    ScreenMessage(mkInformation, notAvailableText(what));
}

void RaiseWindowNotAvailable(const QString &what)
{
    throw Exception(notAvailableText(what));
}

QString AskMaskedValue(QWidget *parent, const QString &caption, const QString &label)
{
    if (const auto &prompt = windowFactories().MaskedPrompt)
        return prompt(parent, caption, label);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.exec();
    return dialog.textValue();
}

MainWindowInterface *mainWindow()
{
    return g_mainWindow;
}

void setMainWindow(MainWindowInterface *window)
{
    g_mainWindow = window;
}

} // namespace qd
