#include "shell/TextInput.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qd {

TTextInput::TTextInput(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TextInput"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    lblPrompt = new QLabel(this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    edtValue = new QLineEdit(this);
    edtValue->setObjectName(QStringLiteral("edtValue"));
    lblPrompt->setBuddy(edtValue);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(edtValue);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TTextInput::Execute(const QString &caption, const QString &prompt)
{
    setWindowTitle(caption);
    lblPrompt->setText(prompt);
    edtValue->clear();
    edtValue->setFocus();
    return exec();
}

void TTextInput::btnOKClick()
{
    m_value = edtValue->text();
    accept();
}

} // namespace qd
