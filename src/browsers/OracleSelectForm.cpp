#include "OracleSelectForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qd {

TOracleSelectForm::TOracleSelectForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OracleSelectForm"));
    setWindowTitle(QStringLiteral("OracleSelectForm"));
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    CollListBox = new QListWidget(this);
    CollListBox->setObjectName(QStringLiteral("CollListBox"));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    CollSheet = new QWidget(PageControl);
    CollSheet->setObjectName(QStringLiteral("CollSheet"));
    CollReadOnlyCheck = new QCheckBox(QStringLiteral("Create ReadOnly DataSet"), CollSheet);
    CollReadOnlyCheck->setObjectName(QStringLiteral("CollReadOnlyCheck"));
    CollReadOnlyCheck->setChecked(true);
    auto *sheetLayout = new QVBoxLayout(CollSheet);
    sheetLayout->addWidget(CollReadOnlyCheck);
    PageControl->addTab(CollSheet, QString());
    // One page with its tab hidden: the control only frames the options.
    PageControl->tabBar()->hide();

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    OKBtn = new QPushButton(QStringLiteral("OK"), BottomPanel);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), BottomPanel);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto *buttons = new QHBoxLayout(BottomPanel);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(CollListBox, 1);
    layout->addWidget(PageControl);
    layout->addWidget(BottomPanel);
    resize(558, 306);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    // Escape rejects a dialog already; the Cancel button does the same.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(CollListBox, &QListWidget::itemDoubleClicked, this,
        [this](QListWidgetItem *) { CollListBoxDblClick(); });
}

void TOracleSelectForm::CollListBoxDblClick()
{
    accept();
}

bool SelectCollectionColumn(const QStringList &columns, int &index, bool &readOnly, QWidget *parent)
{
    index = -1;
    readOnly = false;
    TOracleSelectForm form(parent);
    form.setWindowTitle(QStringLiteral("Select Master Collection Column for Detail Dataset"));
    form.PageControl->setCurrentWidget(form.CollSheet);
    form.CollListBox->addItems(columns);
    if (!columns.isEmpty())
        form.CollListBox->setCurrentRow(0);
    if (form.exec() != QDialog::Accepted)
        return false;
    index = form.CollListBox->currentRow();
    readOnly = form.CollReadOnlyCheck->isChecked();
    return true;
}

} // namespace qd
