#include "worksheet/GridExpOpt.h"

#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qd {

namespace {

constexpr int kProcNameMaxLength = 30;
constexpr int kDelimitedChoice = 3;

} // namespace

TGridExpOptForm::TGridExpOptForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GridExpOptForm"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);

    auto *formatBox = new QGroupBox(QStringLiteral("Export Format"));
    formatBox->setObjectName(QStringLiteral("rgExportFormat"));
    auto *formatLayout = new QVBoxLayout(formatBox);
    m_format = new QButtonGroup(this);
    const char *choices[] = { "Comma Separated (CSV)", "Fixed Width", "Tab Delimited",
        "Delimited by: " };
    for (int i = 0; i < 4; ++i) {
        auto *radio = new QRadioButton(QLatin1String(choices[i]));
        radio->setObjectName(QStringLiteral("rbFormat%1").arg(i));
        m_format->addButton(radio, i);
        if (i < kDelimitedChoice) {
            formatLayout->addWidget(radio);
            continue;
        }
        auto *row = new QHBoxLayout;
        row->addWidget(radio);
        m_edtDelimiter = new QLineEdit;
        m_edtDelimiter->setObjectName(QStringLiteral("edtDelimiter"));
        m_edtDelimiter->setMaxLength(1);
        m_edtDelimiter->setFixedWidth(m_edtDelimiter->fontMetrics().horizontalAdvance(u'W') * 3);
        row->addWidget(m_edtDelimiter);
        row->addStretch();
        formatLayout->addLayout(row);
    }
    m_format->button(0)->setChecked(true);
    layout->addWidget(formatBox);
    // Typing a delimiter means that format.
    connect(m_edtDelimiter, &QLineEdit::textEdited, this,
        [this] { m_format->button(kDelimitedChoice)->setChecked(true); });

    m_chkHeadings = new QCheckBox(QStringLiteral("Export Headings? "));
    m_chkHeadings->setObjectName(QStringLiteral("chkHeadings"));
    m_chkHeadings->setChecked(true);
    layout->addWidget(m_chkHeadings);
    m_chkClipboard = new QCheckBox(QStringLiteral("Export to Clipboard?"));
    m_chkClipboard->setObjectName(QStringLiteral("chkClipboard"));
    layout->addWidget(m_chkClipboard);
    connect(m_chkClipboard, &QCheckBox::toggled, this, &TGridExpOptForm::clipboardToggled);

    auto *fields = new QGridLayout;
    auto addField = [this, fields](int row, const QString &caption, const QString &name,
                        QLabel *&label, QLineEdit *&edit) {
        label = new QLabel(caption);
        edit = new QLineEdit;
        edit->setObjectName(name);
        label->setBuddy(edit);
        fields->addWidget(label, row, 0);
        fields->addWidget(edit, row, 1);
    };
    addField(0, QStringLiteral("Export Filename:"), QStringLiteral("edtFileName"), m_lblFileName,
        m_edtFileName);
    m_btnBrowse = new QPushButton(QStringLiteral("..."));
    m_btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    m_btnBrowse->setFixedWidth(m_btnBrowse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    fields->addWidget(m_btnBrowse, 0, 2);
    connect(m_btnBrowse, &QPushButton::clicked, this, &TGridExpOptForm::browse);
    addField(1, QStringLiteral("Server-side Directory:"), QStringLiteral("edtServerDir"),
        m_lblServerDir, m_edtServerDir);
    addField(2, QStringLiteral("Server-side Filename:"), QStringLiteral("edtServerFile"),
        m_lblServerFile, m_edtServerFile);
    addField(3, QStringLiteral("Procedure Name:"), QStringLiteral("edtProcName"), m_lblProcName,
        m_edtProcName);
    m_edtProcName->setMaxLength(kProcNameMaxLength);
    fields->setColumnMinimumWidth(1, 260);
    layout->addLayout(fields);
    layout->addStretch();

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    // OK closes only when the fields the mode needs are filled in.
    connect(ok, &QPushButton::clicked, this, &TGridExpOptForm::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int TGridExpOptForm::Execute(int mode)
{
    Prepare(mode);
    return exec() == QDialog::Accepted ? 1 : 2;
}

void TGridExpOptForm::Prepare(int mode)
{
    m_mode = quint8(mode == 1 ? 1 : 0);
    if (m_mode == 0) {
        setWindowTitle(QStringLiteral("Grid Export Options"));
        m_helpKeyword = QStringLiteral("grid_export_options_window_m");
        m_chkClipboard->setVisible(true);
        showFileName(!m_chkClipboard->isChecked());
        showServerFields(false);
    } else {
        setWindowTitle(QStringLiteral("PL/SQL Export Options"));
        m_helpKeyword = QStringLiteral("pl_sql_export_options_window_m");
        m_chkClipboard->setVisible(false);
        showFileName(true);
        showServerFields(true);
    }
    adjustSize();
}

bool TGridExpOptForm::IsProcedureName(const QString &name)
{
    if (name.isEmpty() || !name.at(0).isLetter())
        return false;
    for (QChar c : name)
        if (!c.isLetterOrNumber() && c != u'_' && c != u'$' && c != u'#')
            return false;
    return true;
}

void TGridExpOptForm::okClicked()
{
    const bool noFile = m_edtFileName->text().isEmpty();
    if (m_mode == 0) {
        if (m_chkClipboard->isChecked() || !noFile)
            accept();
        else
            ShowInfoMessage(QStringLiteral("You must specify an Export Filename."));
        return;
    }
    if (noFile)
        ShowInfoMessage(QStringLiteral("You must specify an Export Filename."));
    else if (m_edtServerDir->text().isEmpty())
        ShowInfoMessage(QStringLiteral("You must specify a Server-side Directory."));
    else if (m_edtServerFile->text().isEmpty())
        ShowInfoMessage(QStringLiteral("You must specify a Server-side Filename."));
    else if (m_edtProcName->text().isEmpty())
        ShowInfoMessage(QStringLiteral("You must specify a Procedure Name."));
    else if (!IsProcedureName(m_edtProcName->text()))
        // The name goes into the generated code as it stands.
        ShowInfoMessage(QStringLiteral("The Procedure Name must begin with a letter and hold only "
                                       "letters, digits, \"_\", \"$\" and \"#\"."));
    else
        accept();
}

void TGridExpOptForm::done(int result)
{
    m_exportFormat = quint8(std::max(m_format->checkedId(), 0));
    m_exportHeadings = m_chkHeadings->isChecked();
    m_clipboardExport = m_chkClipboard->isChecked();
    m_delimiter = m_edtDelimiter->text();
    m_fileName = m_edtFileName->text();
    m_serverDir = m_edtServerDir->isVisibleTo(this) ? m_edtServerDir->text() : QString();
    m_serverFile = m_edtServerFile->isVisibleTo(this) ? m_edtServerFile->text() : QString();
    m_procName = m_edtProcName->isVisibleTo(this) ? m_edtProcName->text() : QString();
    QDialog::done(result);
}

void TGridExpOptForm::clipboardToggled(bool checked)
{
    showFileName(!checked);
    m_clipboardExport = checked;
}

void TGridExpOptForm::browse()
{
    const QString name = QFileDialog::getSaveFileName(
        this, QStringLiteral("Choose File Name"), m_edtFileName->text());
    if (!name.isEmpty())
        m_edtFileName->setText(name);
}

void TGridExpOptForm::showFileName(bool visible)
{
    m_lblFileName->setVisible(visible);
    m_edtFileName->setVisible(visible);
    m_btnBrowse->setVisible(visible);
}

void TGridExpOptForm::showServerFields(bool visible)
{
    for (QWidget *w : { static_cast<QWidget *>(m_lblServerDir), static_cast<QWidget *>(m_edtServerDir),
             static_cast<QWidget *>(m_lblServerFile), static_cast<QWidget *>(m_edtServerFile),
             static_cast<QWidget *>(m_lblProcName), static_cast<QWidget *>(m_edtProcName) })
        w->setVisible(visible);
}

TGridExpOptForm &GridExpOptForm()
{
    static QPointer<TGridExpOptForm> form;
    if (!form) {
        form = new TGridExpOptForm;
        // Gone with the application's event loop; until then one dialog serves every window.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, form.data(), &QObject::deleteLater);
    }
    return *form;
}

} // namespace qd
