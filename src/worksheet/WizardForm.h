#pragma once

// The wizard runner: reads a wizard file, shows one tab page of prompts per wizard page and, on
// OK, puts each prompted value in place of the matching substitution variable of the wizard's
// text. The caller shows it modally, then reads WizStrings and WizardAction.

#include "shell/WizardFile.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;

namespace Ui {
class TfrmWizard;
}

namespace qd {

class TfrmWizard : public QDialog {
    Q_OBJECT
public:
    // Reads fileName and builds the pages. A file that cannot be read, or is corrupt, is
    // reported through the screen services; the runner then has no page and OK gives no text.
    TfrmWizard(QWidget *owner, const QString &fileName);
    ~TfrmWizard() override;

    static TfrmWizard *CreateWizard(QWidget *owner, const QString &fileName)
    {
        return new TfrmWizard(owner, fileName);
    }

    const QString &FileName() const { return m_fileName; }
    // The wizard's text with the prompted values in place; empty until OK.
    const QStringList &WizStrings() const { return m_wizStrings; }
    TQDWizAction WizardAction() const { return m_wizardAction; }

    QLabel *lblWizDesc() const;
    QTabWidget *pcPages() const;
    QPushButton *btnPrev() const;
    QPushButton *btnNext() const;
    QPushButton *btnOK() const;
    QPushButton *btnCancel() const;

    // The input controls in file order, each with its variable name upper-cased.
    int ValueControlCount() const { return int(m_valueControls.size()); }
    QWidget *ValueControl(int index) const { return m_valueControls.at(index).control; }
    QString ValueControlName(int index) const { return m_valueControls.at(index).name; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct NamedControl {
        QString name;
        QWidget *control;
    };

    void FormCreate();
    void addPage(int index, const TWizardPage &page);
    QWidget *makeInput(const QString &dataType, QWidget *parent);
    void btnPrevClick();
    void btnNextClick();
    void pcPagesChange();
    void btnOKClick();
    void moveToVisibleTab(int step);
    // The control's value as the text to substitute.
    static QString valueText(QWidget *control);

    std::unique_ptr<Ui::TfrmWizard> m_ui;
    QString m_fileName;
    QStringList m_lines;
    QStringList m_wizStrings;
    TQDWizAction m_wizardAction = wizPreview;
    // First entry of a name wins: two variables of one name make two controls, one value.
    QList<NamedControl> m_valueControls;
};

} // namespace qd
