#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qd {

// The screen lock: while it is up the program's other windows are hidden; it closes with OK
// and the typed password (the main window checks it) or with Close, which ends the program.
// One instance lives for the whole run.
class TfrmLockOut : public QDialog {
    Q_OBJECT

public:
    explicit TfrmLockOut(QWidget *parent = nullptr);

    // The password typed when OK was pressed.
    const QString &EnteredPassword() const { return m_enteredPassword; }

    QLineEdit *edtPassword() const { return m_edtPassword; }
    QPushButton *btnOK() const { return m_btnOK; }
    QPushButton *btnClose() const { return m_btnClose; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void btnOKClick();

    QLabel *m_label;
    QLineEdit *m_edtPassword;
    QPushButton *m_btnOK;
    QPushButton *m_btnClose;
    QString m_enteredPassword;
};

} // namespace qd
