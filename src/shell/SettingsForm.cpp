#include "shell/SettingsForm.h"

#include "classlib/Exception.h"
#include "oracle/ScreenServices.h"
#include "shell/AccountList.h"
#include "shell/MRUList.h"
#include "shell/WindowServices.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

#include <climits>

namespace qd {

namespace {

const QString SecurePasswordName = QStringLiteral("SecurePassword");

// Restores the account file's old contents after a later step of OK failed.
void writeBack(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Exception(QStringLiteral("Could not restore the account file %1: %2")
                            .arg(fileName, file.errorString()));
}

} // namespace

TfrmSettings::TfrmSettings(MainWindowInterface *main, QWidget *parent)
    : QDialog(parent)
    , m_main(main)
    , m_lbSettings(new QListWidget(this))
    , m_lblShortDesc(new QLabel(this))
    , m_editorArea(new QWidget(this))
    , m_memDescription(new QPlainTextEdit(this))
    , m_cbxBooleanValue(new QComboBox)
    , m_seIntValue(new QSpinBox)
    , m_edtStringValue(new QLineEdit)
    , m_edtEncryptValue(new QLineEdit)
    , m_edtEncryptValue2(new QLineEdit)
    , m_lblFontValue(new QPushButton(QStringLiteral("Click Here To Change Font")))
    , m_cbDropList(new QComboBox)
    , m_btnOK(new QPushButton(QStringLiteral("OK"), this))
    , m_btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_lbSettings->setObjectName(QStringLiteral("lbSettings"));
    m_lblShortDesc->setObjectName(QStringLiteral("lblShortDesc"));
    m_lblShortDesc->setWordWrap(true);
    QFont bold = m_lblShortDesc->font();
    bold.setBold(true);
    m_lblShortDesc->setFont(bold);
    m_memDescription->setObjectName(QStringLiteral("memDescription"));
    m_memDescription->setReadOnly(true);
    m_memDescription->setMaximumHeight(m_memDescription->fontMetrics().lineSpacing() * 8);

    m_cbxBooleanValue->setObjectName(QStringLiteral("cbxBooleanValue"));
    m_cbxBooleanValue->addItems({ QStringLiteral("True"), QStringLiteral("False") });
    m_seIntValue->setObjectName(QStringLiteral("seIntValue"));
    m_edtStringValue->setObjectName(QStringLiteral("edtStringValue"));
    m_edtEncryptValue->setObjectName(QStringLiteral("edtEncryptValue"));
    m_edtEncryptValue->setEchoMode(QLineEdit::Password);
    m_edtEncryptValue2->setObjectName(QStringLiteral("edtEncryptValue2"));
    m_edtEncryptValue2->setEchoMode(QLineEdit::Password);
    m_edtEncryptValue2->setPlaceholderText(QStringLiteral("Verify"));
    m_lblFontValue->setObjectName(QStringLiteral("lblFontValue"));
    m_lblFontValue->setFlat(true);
    m_cbDropList->setObjectName(QStringLiteral("cbDropList"));

    auto *editorLayout = new QVBoxLayout(m_editorArea);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    m_pnlBoolean = addPanel(QStringLiteral("pnlBooleanSetting"), m_cbxBooleanValue);
    m_pnlInteger = addPanel(QStringLiteral("pnlIntegerSetting"), m_seIntValue);
    m_pnlString = addPanel(QStringLiteral("pnlStringSetting"), m_edtStringValue);
    m_pnlEncrypt
        = addPanel(QStringLiteral("pnlEncryptSetting"), m_edtEncryptValue, m_edtEncryptValue2);
    m_pnlFont = addPanel(QStringLiteral("pnlFontSetting"), m_lblFontValue);
    m_pnlDropList = addPanel(QStringLiteral("pnlDropListSetting"), m_cbDropList);
    editorLayout->addStretch();

    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setDefault(true);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    m_btnCancel->setAutoDefault(false);

    auto *right = new QVBoxLayout;
    right->addWidget(m_lblShortDesc);
    right->addWidget(m_editorArea, 1);
    right->addWidget(m_memDescription);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    right->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_lbSettings, 3);
    layout->addLayout(right, 2);
    resize(760, 440);

    // Selection, not the current row: the list makes its first line current when it takes the
    // focus, which must not open a panel.
    connect(m_lbSettings, &QListWidget::itemSelectionChanged, this, [this] { lbSettingsClick(); });
    connect(m_lblFontValue, &QPushButton::clicked, this, [this] { lblFontValueClick(); });
    const std::pair<QWidget *, void (TfrmSettings::*)()> sets[] = {
        { m_pnlBoolean, &TfrmSettings::btnBooleanSetClick },
        { m_pnlInteger, &TfrmSettings::btnIntegerSetClick },
        { m_pnlString, &TfrmSettings::btnStringSetClick },
        { m_pnlEncrypt, &TfrmSettings::btnEncryptSetClick },
        { m_pnlFont, &TfrmSettings::btnFontSetClick },
        { m_pnlDropList, &TfrmSettings::btnDropListSetClick },
    };
    for (const auto &[panel, handler] : sets) {
        connect(setButtonOf(panel), &QPushButton::clicked, this, [this, handler = handler] {
            try {
                (this->*handler)();
            } catch (...) {
                ShowCurrentException();
            }
        });
    }
    connect(m_btnOK, &QPushButton::clicked, this, [this] {
        try {
            btnOKClick();
        } catch (...) {
            ShowCurrentException();
        }
    });
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    hidePanels();
}

TfrmSettings::~TfrmSettings() = default;

QWidget *TfrmSettings::addPanel(const QString &name, QWidget *control, QWidget *second)
{
    auto *panel = new QWidget(m_editorArea);
    panel->setObjectName(name);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control);
    if (second)
        layout->addWidget(second);
    auto *set = new QPushButton(QStringLiteral("Set"), panel);
    set->setObjectName(QStringLiteral("btnSet"));
    set->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(set);
    layout->addLayout(row);
    static_cast<QVBoxLayout *>(m_editorArea->layout())->addWidget(panel);
    return panel;
}

QPushButton *TfrmSettings::setButtonOf(QWidget *panel)
{
    return panel->findChild<QPushButton *>(QStringLiteral("btnSet"));
}

void TfrmSettings::hidePanels()
{
    for (QWidget *panel :
        { m_pnlBoolean, m_pnlInteger, m_pnlString, m_pnlEncrypt, m_pnlFont, m_pnlDropList })
        panel->hide();
}

void TfrmSettings::showPanel(QWidget *panel, QWidget *focus)
{
    panel->show();
    focus->setFocus();
}

void TfrmSettings::CopyItems(const TSettings &source, TSettings &target)
{
    const TSettingCollection &from = source.Settings();
    TSettingCollection &to = target.Settings();
    if (from.Count() != to.Count())
        throw Exception(QStringLiteral("The settings changed while they were edited."));
    to.BeginUpdate();
    try {
        for (int i = 0; i < from.Count(); ++i) {
            TSettingItem *item = to.Items(i);
            const QString password = item->Password();
            item->Assign(*from.Items(i));
            item->SetPassword(password);
        }
    } catch (...) {
        to.EndUpdate();
        throw;
    }
    to.EndUpdate();
}

int TfrmSettings::Execute(TSettings &store, const QString &section, bool saveFlag)
{
    m_passwordChanged = false;
    m_enteredPassword.clear();
    m_verifiedPassword.clear();
    m_lbSettings->blockSignals(true);
    m_lbSettings->clear();
    m_lbSettings->blockSignals(false);

    m_store = &store;
    m_section = section;
    m_saveFlag = saveFlag;
    // The copy knows no password: encrypted settings open only once the user gives it.
    m_settings.Assign(store);
    for (int i = 0; i < m_settings.Settings().Count(); ++i)
        m_settings.Settings().Items(i)->SetPassword(QString());

    m_lbSettings->blockSignals(true);
    for (int i = 0; i < m_settings.Settings().Count(); ++i) {
        TSettingItem *item = m_settings.Settings().Items(i);
        if (!item->Display())
            continue;
        if (section != QLatin1String("*") && item->Key() != section)
            continue;
        auto *line = new QListWidgetItem(item->ShortDesc(), m_lbSettings);
        line->setData(Qt::UserRole, i);
    }
    m_lbSettings->setCurrentRow(-1);
    m_lbSettings->blockSignals(false);

    m_lblShortDesc->clear();
    m_memDescription->clear();
    hidePanels();
    m_lbSettings->setFocus();
    return exec();
}

TSettingItem *TfrmSettings::SelectedItem() const
{
    const QList<QListWidgetItem *> selected = m_lbSettings->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const QListWidgetItem *line = selected.first();
    return m_settings.Settings().Items(line->data(Qt::UserRole).toInt());
}

void TfrmSettings::lbSettingsClick()
{
    TSettingItem *item = SelectedItem();
    if (!item)
        return;
    m_memDescription->setPlainText(item->LongDesc());
    m_lblShortDesc->setText(item->ShortDesc() + u'\n');
    hidePanels();
    switch (item->DataType()) {
    case stBoolean:
        m_cbxBooleanValue->setCurrentIndex(item->Value().AsBoolean() ? 0 : 1);
        showPanel(m_pnlBoolean, m_cbxBooleanValue);
        break;
    case stInteger:
        if (item->Max() == 0 && item->Min() == 0)
            m_seIntValue->setRange(INT_MIN, INT_MAX);
        else
            m_seIntValue->setRange(item->Min(), item->Max());
        m_seIntValue->setValue(int(item->Value().AsInteger()));
        showPanel(m_pnlInteger, m_seIntValue);
        break;
    case stString:
        m_edtStringValue->setMaxLength(item->Max() > 0 ? item->Max() : 32767);
        m_edtStringValue->setText(item->Value().AsString());
        showPanel(m_pnlString, m_edtStringValue);
        break;
    case stDropList:
        m_cbDropList->clear();
        m_cbDropList->addItems(item->ValueOptions().split(u',', Qt::SkipEmptyParts));
        m_cbDropList->setCurrentIndex(m_cbDropList->findText(item->Value().AsString()));
        showPanel(m_pnlDropList, m_cbDropList);
        break;
    case stFont:
        try {
            m_chosenFont = item->GetFont();
        } catch (...) {
            ShowCurrentException();
            m_chosenFont = SettingFont();
        }
        m_lblFontValue->setFont(m_chosenFont.toQFont());
        showPanel(m_pnlFont, m_lblFontValue);
        break;
    case stEncrypted:
        showEncrypted(item);
        break;
    }
}

void TfrmSettings::showEncrypted(TSettingItem *item)
{
    if (m_enteredPassword.isEmpty()) {
        if (ScreenConfirm(
                QStringLiteral("You must enter a password to view or change encrypted settings."),
                QStringLiteral("OC"))
            != mrOk)
            return;
        m_enteredPassword = AskMaskedValue(
            this, QStringLiteral("Secure Password Entry"), QStringLiteral("Enter Security Password"));
    }
    TSettingItem *secure = m_settings.FindSetting(SecurePasswordName);
    secure->SetPassword(m_enteredPassword);
    const int maxLength = item->Max() > 0 ? item->Max() : 32767;
    if (secure->Value().AsBytes().isEmpty()) {
        item->SetPassword(m_enteredPassword);
        m_edtEncryptValue->clear();
        m_edtEncryptValue2->clear();
    } else {
        if (secure->GetDecryptedValue() != m_enteredPassword) {
            ScreenMessage(mkError, QStringLiteral("Password incorrect"));
            return;
        }
        // The password the stored one was proved with, before this showing changed it.
        if (!m_passwordChanged)
            m_verifiedPassword = m_enteredPassword;
        item->SetPassword(m_enteredPassword);
        m_edtEncryptValue->setText(item->GetDecryptedValue());
        m_edtEncryptValue2->clear();
    }
    m_edtEncryptValue->setMaxLength(maxLength);
    m_edtEncryptValue2->setMaxLength(maxLength);
    showPanel(m_pnlEncrypt, m_edtEncryptValue);
}

void TfrmSettings::lblFontValueClick()
{
    QFontDialog dialog(m_chosenFont.toQFont(), this);
    dialog.setObjectName(QStringLiteral("FontDialog1"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_chosenFont = SettingFont::fromQFont(dialog.selectedFont(), m_chosenFont.color);
    m_lblFontValue->setFont(m_chosenFont.toQFont());
}

void TfrmSettings::btnBooleanSetClick()
{
    if (TSettingItem *item = SelectedItem())
        item->SetValue(Variant(m_cbxBooleanValue->currentText() == QLatin1String("True")));
}

void TfrmSettings::btnIntegerSetClick()
{
    if (TSettingItem *item = SelectedItem())
        item->SetValue(Variant(qint64(m_seIntValue->value())));
}

void TfrmSettings::btnStringSetClick()
{
    if (TSettingItem *item = SelectedItem())
        item->SetValue(Variant(m_edtStringValue->text()));
}

void TfrmSettings::btnDropListSetClick()
{
    if (TSettingItem *item = SelectedItem())
        item->SetValue(Variant(m_cbDropList->currentText()));
}

void TfrmSettings::btnFontSetClick()
{
    if (TSettingItem *item = SelectedItem())
        item->SetFont(m_chosenFont);
}

void TfrmSettings::btnEncryptSetClick()
{
    TSettingItem *item = SelectedItem();
    if (!item)
        return;
    const QString text = m_edtEncryptValue->text();
    if (text != m_edtEncryptValue2->text()) {
        ScreenMessage(mkError, QStringLiteral("Values entered do not match. Cannot set."));
        return;
    }
    if (item->Name().toLower() == QLatin1String("securepassword")) {
        m_passwordChanged = true;
        // The new password is enciphered under itself.
        item->SetPassword(text);
        item->SetValue(Variant(text));
        m_enteredPassword = text;
    } else {
        item->SetValue(Variant(text));
    }
}

bool TfrmSettings::rekeyAccountFile(QByteArray &oldBytes, bool &rekeyed)
{
    rekeyed = false;
    // With no password stored before, nothing was enciphered under one: the file stays.
    if (!m_passwordChanged || m_verifiedPassword.isEmpty() || !m_main)
        return true;
    const QString fileName = m_main->AccountFileName();
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return true;
    try {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw Exception(QStringLiteral("Cannot open %1: %2").arg(fileName, file.errorString()));
        const QByteArray bytes = file.readAll();
        file.close();
        TAccountList accounts;
        accounts.SetKey(m_verifiedPassword);
        accounts.LoadAccounts(fileName);
        accounts.SetKey(m_enteredPassword);
        accounts.SaveAccounts(fileName);
        oldBytes = bytes;
        rekeyed = true;
        return true;
    } catch (...) {
        ScreenMessage(mkError,
            QStringLiteral("The saved accounts could not be enciphered under the new security "
                           "password, so no setting was saved:\n")
                + ExceptionMessage(std::current_exception()));
        return false;
    }
}

void TfrmSettings::btnOKClick()
{
    if (!m_store)
        return;
    QByteArray oldAccountBytes;
    bool rekeyed = false;
    if (!rekeyAccountFile(oldAccountBytes, rekeyed))
        return;

    TSettings before;
    before.Assign(*m_store);
    try {
        CopyItems(m_settings, *m_store);
        if (m_saveFlag)
            m_store->SaveSettings();
    } catch (...) {
        // Settings and accounts stay together under the old password.
        const std::exception_ptr error = std::current_exception();
        try {
            CopyItems(before, *m_store);
            if (rekeyed)
                writeBack(m_main->AccountFileName(), oldAccountBytes);
        } catch (...) {
            ShowCurrentException();
        }
        std::rethrow_exception(error);
    }

    if (m_passwordChanged && m_main) {
        m_main->AccountList().SetKey(m_enteredPassword);
        if (m_main->SecurityActive())
            m_main->SetSecurityPassword(m_enteredPassword);
    }
    if (m_main)
        m_main->RecentFiles().SetMaxCount(
            int(m_store->FindSetting(QStringLiteral("MRUListKeep"))->Value().AsInteger()));
    accept();
}

} // namespace qd
