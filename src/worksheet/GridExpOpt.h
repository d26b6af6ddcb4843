#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qd {

// The options of the worksheet's two exports: the grid export (mode 0) and the PL/SQL export
// procedure (mode 1). One dialog serves the whole run (GridExpOptForm()); its values stay in it
// between uses, so each export starts from the previous choices.
class TGridExpOptForm : public QDialog {
    Q_OBJECT
public:
    explicit TGridExpOptForm(QWidget *parent = nullptr);

    // Shows the dialog for the mode; returns the modal result (1 OK, 2 Cancel).
    int Execute(int mode);
    // The captions and fields of the mode, without showing the dialog.
    void Prepare(int mode);

    // Results, stored when the dialog closes (OK or Cancel).
    quint8 Mode() const { return m_mode; }
    quint8 ExportFormat() const { return m_exportFormat; }
    bool ClipboardExport() const { return m_clipboardExport; }
    const QString &Delimiter() const { return m_delimiter; }
    const QString &ServerDir() const { return m_serverDir; }
    const QString &ServerFile() const { return m_serverFile; }
    const QString &ProcName() const { return m_procName; }
    const QString &FileName() const { return m_fileName; }
    bool ExportHeadings() const { return m_exportHeadings; }
    QString HelpKeyword() const { return m_helpKeyword; }

    // A procedure name the generated code can use: a letter, then letters, digits, "_", "$"
    // and "#".
    static bool IsProcedureName(const QString &name);

    void done(int result) override;

private:
    void okClicked();
    void clipboardToggled(bool checked);
    void browse();
    void showFileName(bool visible);
    void showServerFields(bool visible);

    QButtonGroup *m_format = nullptr;
    QLineEdit *m_edtDelimiter = nullptr;
    QCheckBox *m_chkHeadings = nullptr;
    QCheckBox *m_chkClipboard = nullptr;
    QLabel *m_lblFileName = nullptr;
    QLineEdit *m_edtFileName = nullptr;
    QPushButton *m_btnBrowse = nullptr;
    QLabel *m_lblServerDir = nullptr;
    QLineEdit *m_edtServerDir = nullptr;
    QLabel *m_lblServerFile = nullptr;
    QLineEdit *m_edtServerFile = nullptr;
    QLabel *m_lblProcName = nullptr;
    QLineEdit *m_edtProcName = nullptr;

    quint8 m_mode = 0;
    quint8 m_exportFormat = 0;
    bool m_clipboardExport = false;
    QString m_delimiter;
    QString m_serverDir;
    QString m_serverFile;
    QString m_procName;
    QString m_fileName;
    bool m_exportHeadings = true;
    QString m_helpKeyword;
};

// The dialog of the whole run, made at the first use.
TGridExpOptForm &GridExpOptForm();

} // namespace qd
