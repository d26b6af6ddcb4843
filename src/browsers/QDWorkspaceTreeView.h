#pragma once

// The workspace tree: the files and database objects a user keeps at hand, under the category
// nodes "SQL", "Templates", "Wizards", "Database" and "Other Files".
//
// Workspace files cannot be read or written yet: opening and saving raise an Exception that
// says so, and the entries live only as long as the tree.

#include "worksheet/SQLBrowserFrame.h"

#include <QTreeWidget>

namespace qd {

class TOracleSession;

class TQDWorkspaceTreeView : public QTreeWidget, public WorkspaceTreeInterface {
    Q_OBJECT
public:
    // The category nodes, by index.
    enum Category { catSQL, catTemplates, catWizards, catDatabase, catOtherFiles };
    // What an entry node holds beside its caption.
    enum Role { DirNameRole = Qt::UserRole, FileNameRole };

    explicit TQDWorkspaceTreeView(QWidget *parent = nullptr);

    void InitRootNodes() override;
    QTreeWidgetItem *CategoryNode(Category category) const { return m_categories[category]; }

    void Open(const QString &fileName, bool ask) override;
    bool Save() override;
    bool SaveAs() override;
    bool Close(bool ask) override;
    void AddFile(const QString &fileName) override;
    void AddSQLTreeItem(
        const QString &typeName, const QString &dirName, const QString &fileName) override;

    QString FileName() const override { return m_fileName; }
    bool Modified() const override { return m_modified; }
    // Fires OnModify.
    void SetModified(bool value);
    const TWorkspaceEvents &Events() const override { return m_events; }
    void SetEvents(const TWorkspaceEvents &events) override { m_events = events; }

    // The session hints and object entries use; not owned.
    TOracleSession *OracleSession() const { return m_session; }
    void SetOracleSession(TOracleSession *session) { m_session = session; }

    // The hint of a node. Only database object entries have one, and the tree holds none yet.
    void GetNodeHint(QTreeWidgetItem *node, TOracleSession &session, QString &hint);

private:
    QTreeWidgetItem *addEntry(Category category, const QString &caption);
    void clearTree();

    QTreeWidgetItem *m_categories[5] = { nullptr, nullptr, nullptr, nullptr, nullptr };
    QString m_fileName;
    bool m_modified = false;
    TOracleSession *m_session = nullptr;
    TWorkspaceEvents m_events;
};

} // namespace qd
