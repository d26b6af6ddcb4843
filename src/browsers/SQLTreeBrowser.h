#pragma once

// The file tree: the SQL, template and wizard files of the folders the settings name, under the
// roots "SQL", "Templates" and "Wizards".
//
// The folders are not listed yet: the tree keeps its folder lists and shows its three roots.

#include "worksheet/SQLBrowserFrame.h"

#include <QStringList>
#include <QTreeWidget>

namespace qd {

class TSQLTreeBrowser : public QTreeWidget, public SQLTreeBrowserInterface {
    Q_OBJECT
public:
    explicit TSQLTreeBrowser(QWidget *parent = nullptr);

    // Setting a list trims the text and splits it at ";" (empty pieces count); nothing is
    // read again. Reading gives the pieces joined by ";".
    QString SQLDir() const override { return m_sqlDirs.join(QLatin1Char(';')); }
    void SetSQLDir(const QString &value) override { m_sqlDirs = splitDirs(value); }
    QString TemplateDir() const override { return m_templateDirs.join(QLatin1Char(';')); }
    void SetTemplateDir(const QString &value) override { m_templateDirs = splitDirs(value); }
    QString WizardDir() const override { return m_wizardDirs.join(QLatin1Char(';')); }
    void SetWizardDir(const QString &value) override { m_wizardDirs = splitDirs(value); }
    const QStringList &SQLDirs() const { return m_sqlDirs; }
    const QStringList &TemplateDirs() const { return m_templateDirs; }
    const QStringList &WizardDirs() const { return m_wizardDirs; }

    // Makes the three roots on the first call.
    void InitRootNodes();
    void ReadSQLDir(bool refresh) override;
    void ReadTemplateDir(bool refresh) override;
    void ReadWizardDir(bool refresh) override;
    std::optional<TSQLBrowserFileInfo> SelectedFileInfo() const override;
    QTreeWidgetItem *RootNode(TSQLTreeBrowserType type) const;

private:
    static QStringList splitDirs(const QString &value);

    QStringList m_sqlDirs;
    QStringList m_templateDirs;
    QStringList m_wizardDirs;
    QTreeWidgetItem *m_roots[3] = { nullptr, nullptr, nullptr };
};

} // namespace qd
