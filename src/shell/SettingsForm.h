#pragma once

#include "shell/Settings.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QWidget;

namespace qd {

class MainWindowInterface;

// The settings editor: edits a private copy of a settings store one setting at a time and
// writes the copy back only on OK, so Cancel leaves every setting as it was. Encrypted
// settings open only with the security password. One instance lives for the whole run.
class TfrmSettings : public QDialog {
    Q_OBJECT

public:
    // main gives the account list and its file, the security state and the recent-file list
    // that OK updates; it may be null (a store of its own).
    explicit TfrmSettings(MainWindowInterface *main, QWidget *parent = nullptr);
    ~TfrmSettings() override;

    // Shows the settings of section ("*": all) of store modally; with saveFlag OK also writes
    // the ini file. Returns the modal result (1 for OK).
    int Execute(TSettings &store, const QString &section, bool saveFlag);

    // The working copy of this showing.
    TSettings &WorkingCopy() { return m_settings; }
    const QString &EnteredPassword() const { return m_enteredPassword; }
    bool PasswordChanged() const { return m_passwordChanged; }

    // The item of the selected line; null when none is selected.
    TSettingItem *SelectedItem() const;

    QListWidget *lbSettings() const { return m_lbSettings; }
    QLabel *lblShortDesc() const { return m_lblShortDesc; }
    QPlainTextEdit *memDescription() const { return m_memDescription; }
    QWidget *pnlBooleanSetting() const { return m_pnlBoolean; }
    QWidget *pnlIntegerSetting() const { return m_pnlInteger; }
    QWidget *pnlStringSetting() const { return m_pnlString; }
    QWidget *pnlEncryptSetting() const { return m_pnlEncrypt; }
    QWidget *pnlFontSetting() const { return m_pnlFont; }
    QWidget *pnlDropListSetting() const { return m_pnlDropList; }
    QComboBox *cbxBooleanValue() const { return m_cbxBooleanValue; }
    QSpinBox *seIntValue() const { return m_seIntValue; }
    QLineEdit *edtStringValue() const { return m_edtStringValue; }
    QLineEdit *edtEncryptValue() const { return m_edtEncryptValue; }
    QLineEdit *edtEncryptValue2() const { return m_edtEncryptValue2; }
    QPushButton *lblFontValue() const { return m_lblFontValue; }
    QComboBox *cbDropList() const { return m_cbDropList; }
    QPushButton *btnOK() const { return m_btnOK; }
    QPushButton *btnCancel() const { return m_btnCancel; }
    // The "Set" button of a panel.
    static QPushButton *setButtonOf(QWidget *panel);

    // Copies every item's declaration and value from source onto the items of target, in
    // place, keeping target's passwords (the items are the same declarations in the same order).
    // Raises Exception when the two stores do not declare the same items.
    static void CopyItems(const TSettings &source, TSettings &target);

private:
    QWidget *addPanel(const QString &name, QWidget *control, QWidget *second = nullptr);
    void hidePanels();
    void showPanel(QWidget *panel, QWidget *focus);
    void lbSettingsClick();
    void showEncrypted(TSettingItem *item);
    void lblFontValueClick();
    void btnBooleanSetClick();
    void btnIntegerSetClick();
    void btnStringSetClick();
    void btnEncryptSetClick();
    void btnFontSetClick();
    void btnDropListSetClick();
    void btnOKClick();
    // Enciphers the account file under the new security password; false (with the reason
    // shown) when it could not, oldBytes then untouched.
    bool rekeyAccountFile(QByteArray &oldBytes, bool &rekeyed);

    MainWindowInterface *m_main;
    TSettings m_settings;
    TSettings *m_store = nullptr;
    QString m_section;
    bool m_saveFlag = false;
    QString m_enteredPassword;
    // The stored security password, once the user proved it in this showing: the account file
    // is enciphered under it.
    QString m_verifiedPassword;
    bool m_passwordChanged = false;

    QListWidget *m_lbSettings;
    QLabel *m_lblShortDesc;
    QWidget *m_editorArea;
    QPlainTextEdit *m_memDescription;
    QWidget *m_pnlBoolean;
    QWidget *m_pnlInteger;
    QWidget *m_pnlString;
    QWidget *m_pnlEncrypt;
    QWidget *m_pnlFont;
    QWidget *m_pnlDropList;
    QComboBox *m_cbxBooleanValue;
    QSpinBox *m_seIntValue;
    QLineEdit *m_edtStringValue;
    QLineEdit *m_edtEncryptValue;
    QLineEdit *m_edtEncryptValue2;
    QPushButton *m_lblFontValue;
    QComboBox *m_cbDropList;
    QPushButton *m_btnOK;
    QPushButton *m_btnCancel;
    SettingFont m_chosenFont;
};

} // namespace qd
