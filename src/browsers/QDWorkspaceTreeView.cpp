#include "browsers/QDWorkspaceTreeView.h"

#include "classlib/Exception.h"
#include "oracle/ScreenServices.h"

#include <QFileInfo>

namespace qd {

namespace {

constexpr const char *kCategoryCaptions[5] = { "SQL", "Templates", "Wizards", "Database",
    "Other Files" };

[[noreturn]] void workspaceFilesUnavailable()
{
    throw Exception(QStringLiteral("Workspace files are not available yet."));
}

} // namespace

TQDWorkspaceTreeView::TQDWorkspaceTreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("QDWorkspaceTreeView"));
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void TQDWorkspaceTreeView::InitRootNodes()
{
    if (m_categories[catSQL])
        return;
    for (int i = 0; i < 5; ++i)
        m_categories[i] = new QTreeWidgetItem(this, { QLatin1String(kCategoryCaptions[i]) });
}

void TQDWorkspaceTreeView::SetModified(bool value)
{
    m_modified = value;
    if (m_events.OnModify)
        m_events.OnModify();
}

void TQDWorkspaceTreeView::Open(const QString &fileName, bool ask)
{
    Q_UNUSED(fileName);
    Q_UNUSED(ask);
    workspaceFilesUnavailable();
}

bool TQDWorkspaceTreeView::Save()
{
    workspaceFilesUnavailable();
}

bool TQDWorkspaceTreeView::SaveAs()
{
    workspaceFilesUnavailable();
}

bool TQDWorkspaceTreeView::Close(bool ask)
{
    if (m_modified && (ask || !m_fileName.isEmpty())) {
        const QString question = m_fileName.isEmpty()
            ? QStringLiteral("Save the current workspace?")
            : QStringLiteral("Save changes to workspace ") + m_fileName + QLatin1Char('?');
        const int answer = ScreenConfirm(question, QStringLiteral("YNC"));
        if (answer == mrYes) {
            if (!Save())
                return false;
        } else if (answer != mrNo) {
            return false;
        }
    }
    clearTree();
    SetModified(false);
    m_fileName.clear();
    if (m_events.AfterClose)
        m_events.AfterClose(true);
    return true;
}

void TQDWorkspaceTreeView::AddFile(const QString &fileName)
{
    const QFileInfo info(fileName);
    const QString extension = info.suffix().toUpper();
    const QString folder = info.path() + QLatin1Char('/');
    if (extension == QLatin1String("SQL"))
        AddSQLTreeItem(SQLTreeBrowserTypeToStr(tbtSQL), folder, fileName);
    else if (extension == QLatin1String("TEM"))
        AddSQLTreeItem(SQLTreeBrowserTypeToStr(tbtTemplate), folder, fileName);
    else if (extension == QLatin1String("QDZ"))
        AddSQLTreeItem(SQLTreeBrowserTypeToStr(tbtWizard), folder, fileName);
    else {
        addEntry(catOtherFiles, fileName);
        SetModified(true);
    }
}

void TQDWorkspaceTreeView::AddSQLTreeItem(
    const QString &typeName, const QString &dirName, const QString &fileName)
{
    const TSQLTreeBrowserType type = StrToSQLTreeBrowserType(typeName); // raises for a bad name
    const Category category = type == tbtTemplate ? catTemplates
        : type == tbtWizard                      ? catWizards
                                                 : catSQL;
    QTreeWidgetItem *node = addEntry(category, fileName);
    node->setData(0, DirNameRole, dirName);
    node->setData(0, FileNameRole, fileName);
    SetModified(true);
}

QTreeWidgetItem *TQDWorkspaceTreeView::addEntry(Category category, const QString &caption)
{
    InitRootNodes();
    auto *node = new QTreeWidgetItem(m_categories[category], { caption });
    node->setData(0, FileNameRole, caption);
    m_categories[category]->setExpanded(true);
    return node;
}

void TQDWorkspaceTreeView::clearTree()
{
    for (QTreeWidgetItem *category : m_categories)
        if (category)
            qDeleteAll(category->takeChildren());
}

void TQDWorkspaceTreeView::GetNodeHint(
    QTreeWidgetItem *node, TOracleSession &session, QString &hint)
{
    Q_UNUSED(node);
    Q_UNUSED(session);
    hint.clear();
}

} // namespace qd
