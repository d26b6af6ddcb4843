#include "shell/FileAssociate.h"

#include "oracle/ScreenServices.h"
#include "platform/MILAssociate.h"
#include "shell/Settings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qd {

QStringList TFileAssociate::Extensions()
{
    return { QStringLiteral("SQL"), QStringLiteral("QDK"), QStringLiteral("TEM"),
        QStringLiteral("QDZ"), QStringLiteral("PTP") };
}

QStringList TFileAssociate::Descriptions()
{
    return { QStringLiteral("SQL file"), QStringLiteral("Quarlo Desk Workspace file"),
        QStringLiteral("Quarlo Desk Template file"), QStringLiteral("Quarlo Desk Wizard file"),
        QStringLiteral("Quarlo Desk Rizer Edor Project file") };
}

TFileAssociate::TFileAssociate(TMILAssociate &associate, TSettings &settings, QWidget *parent)
    : QDialog(parent)
    , m_associate(associate)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("FileAssociate"));
    setWindowTitle(QStringLiteral("Associate Files"));
    lblPrompt = new QLabel(QStringLiteral("The following file types are currently not associated "
                                          "with Quarlo Desk.  Please check the types you would "
                                          "like to associate and click OK."),
        this);
    lblPrompt->setWordWrap(true);
    clbExt = new QListWidget(this);
    clbExt->setObjectName(QStringLiteral("clbExt"));
    chkDoNotDisplay = new QCheckBox(QStringLiteral("Do not display this dialog again"), this);
    chkDoNotDisplay->setObjectName(QStringLiteral("chkDoNotDisplay"));
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(clbExt);
    layout->addWidget(chkDoNotDisplay);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    resize(380, 300);

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFileAssociate::Fill(const QStringList &extensions, const QStringList &descriptions)
{
    m_extensions = extensions;
    m_descriptions = descriptions;
    clbExt->clear();
    for (int i = 0; i < m_extensions.size(); ++i) {
        const QString description = m_descriptions.value(i);
        auto *item = new QListWidgetItem(
            QStringLiteral("*.%1 (%2)").arg(m_extensions.at(i), description), clbExt);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

int TFileAssociate::Show(const QStringList &extensions, const QStringList &descriptions)
{
    Fill(extensions, descriptions);
    return exec();
}

void TFileAssociate::btnOKClick()
{
    for (int i = 0; i < clbExt->count(); ++i) {
        if (clbExt->item(i)->checkState() != Qt::Checked)
            continue;
        try {
            m_associate.Associate(m_extensions.at(i), m_descriptions.value(i));
        } catch (...) {
            ShowCurrentException();
        }
    }
    if (chkDoNotDisplay->isChecked()) {
        try {
            m_settings.FindSetting(QStringLiteral("CheckAssociation"))->SetValue(false);
            m_settings.SaveSettings();
        } catch (...) {
            ShowCurrentException();
        }
    }
    accept();
}

} // namespace qd
