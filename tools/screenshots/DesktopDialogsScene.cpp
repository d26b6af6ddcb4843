// The small dialogs of the shell: the about box, the file association offer and the text
// prompt.
#include "Scene.h"

#include "platform/MILAssociate.h"
#include "shell/FileAssociate.h"
#include "shell/KXAboutForm.h"
#include "shell/Settings.h"
#include "shell/TextInput.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

QD_SCREENSHOT_SCENE(aboutBox, "about-box", QSize(360, 300))
{
    return { new qd::TKXAboutForm };
}

QD_SCREENSHOT_SCENE(fileAssociate, "file-associate", QSize(420, 320))
{
    // The dialog only reads these until OK is pressed; the scene never presses it.
    static qd::TMILAssociate associate;
    static qd::TSettings settings;
    auto *dialog = new qd::TFileAssociate(associate, settings);
    dialog->Fill(qd::TFileAssociate::Extensions(), qd::TFileAssociate::Descriptions());
    dialog->clbExt->item(2)->setCheckState(Qt::Checked);
    return { dialog };
}

QD_SCREENSHOT_SCENE(textInput, "text-input", QSize(360, 130))
{
    auto *dialog = new qd::TTextInput;
    dialog->setWindowTitle(QStringLiteral("Statement Name"));
    dialog->lblPrompt->setText(QStringLiteral("Enter a name for the statement:"));
    dialog->edtValue->setText(QStringLiteral("Top earners"));
    return { dialog };
}
