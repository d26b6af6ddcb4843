#pragma once

// The wizard file editor: an MDI child in which the user writes a wizard (its title, pages,
// variables and SQL text), saves it as a ".qdz" file, previews it in the wizard runner and is
// asked to save changes on close.

#include <QString>
#include <QWidget>

#include <memory>

class QFileDialog;
class QListWidgetItem;
class QTemporaryFile;

namespace Ui {
class TfrmWizardWizard;
}

namespace qd {

class TDynamicRecord;
struct TWizardFile;

class TfrmWizardWizard : public QWidget {
    Q_OBJECT
public:
    // An empty fileName gives a new wizard with one page "Page 1". A file that cannot be read
    // is reported ("Could not open wizard file ..."); the window keeps what was read and stays.
    TfrmWizardWizard(QWidget *owner, const QString &fileName);
    ~TfrmWizardWizard() override;

    static TfrmWizardWizard *CreateForFile(QWidget *owner, const QString &fileName)
    {
        return new TfrmWizardWizard(owner, fileName);
    }

    const QString &FileName() const { return m_fileName; }
    bool Modified() const { return m_modified; }
    // The variables' records: table "WizRec" with "DataType", "Prompt" and "Page".
    TDynamicRecord &drecVariables() { return *m_records; }
    // The file the last preview ran on; empty before the first preview or after closing.
    QString PreviewFileName() const;
    // The save dialog, made on first use (tests fill it in).
    QFileDialog *SaveDialog();

    // Saves to the file name, or through the save dialog when there is none; false when the
    // user cancelled, an edit in progress was refused or the file could not be written.
    bool btnSaveClick();
    // Writes the wizard to a fresh temporary file and shows the runner on it modally.
    void btnPreviewClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class EditKind { None, New, Rename };

    void FormCreate();
    void readFile();
    void applyWizard(const TWizardFile &wizard);
    TWizardFile collectWizard();
    void setModified() { m_modified = true; }
    void setFileCaption();

    // Pages
    void btnNewPageClick();
    void btnRenamePageClick();
    void btnDeletePageClick();
    // Ends the page title edit; false (after saying why) when the title is refused.
    bool endPageEdit();
    void setPageButtonsEnabled(bool on);
    void carryPageTitle(const QString &oldTitle, const QString &newTitle);

    // Variables
    void btnNewVarClick();
    void btnRenameVarClick();
    void btnDeleteVarClick();
    // The name typed in edtNewVar, trimmed and in capitals; false (after saying why) when it
    // cannot be a variable's name.
    bool checkVariableName(const QString &name);
    bool endVariableEdit();
    void setVariableButtonsEnabled(bool on);
    void showVariable(QListWidgetItem *item);
    void writeVariableField(const QString &field, const QString &value);
    void fillPageList();
    int recordId(QListWidgetItem *item) const;

    // Ends a pending page or variable edit before saving; false when one is refused.
    bool finishEdits();
    // Shows a refusal and returns the focus to the edit that must go on.
    void refuse(const QString &message, QWidget *edit);

    std::unique_ptr<Ui::TfrmWizardWizard> m_ui;
    std::unique_ptr<TDynamicRecord> m_records;
    std::unique_ptr<QTemporaryFile> m_preview;
    QFileDialog *m_saveDialog = nullptr;
    QString m_fileName;
    bool m_modified = false;
    // Set while a refusal is shown, so the focus it takes does not end the edit again.
    bool m_refusing = false;

    EditKind m_pageEdit = EditKind::None;
    QListWidgetItem *m_pageItem = nullptr;
    EditKind m_varEdit = EditKind::None;
    QListWidgetItem *m_varItem = nullptr;
};

} // namespace qd
