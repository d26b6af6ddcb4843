#include "browsers/SQLTreeBrowser.h"

namespace qd {

namespace {

// What a folder or file node holds, beside its caption.
enum : int { kFileTypeRole = Qt::UserRole, kDirNameRole, kFileNameRole };

constexpr const char *kRootCaptions[3] = { "Templates", "Wizards", "SQL" };

} // namespace

TSQLTreeBrowser::TSQLTreeBrowser(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("SQLTreeBrowser"));
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QStringList TSQLTreeBrowser::splitDirs(const QString &value)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return {};
    // Empty pieces count: a trailing ";" names one more, empty, folder.
    return text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
}

void TSQLTreeBrowser::InitRootNodes()
{
    if (m_roots[tbtSQL])
        return;
    for (TSQLTreeBrowserType type : { tbtSQL, tbtTemplate, tbtWizard })
        m_roots[type] = new QTreeWidgetItem(this, { QLatin1String(kRootCaptions[type]) });
}

QTreeWidgetItem *TSQLTreeBrowser::RootNode(TSQLTreeBrowserType type) const
{
    return type < 3 ? m_roots[type] : nullptr;
}

// The folders themselves are not listed yet; reading makes sure the roots are there.
void TSQLTreeBrowser::ReadSQLDir(bool refresh)
{
    Q_UNUSED(refresh);
    InitRootNodes();
}

void TSQLTreeBrowser::ReadTemplateDir(bool refresh)
{
    Q_UNUSED(refresh);
    InitRootNodes();
}

void TSQLTreeBrowser::ReadWizardDir(bool refresh)
{
    Q_UNUSED(refresh);
    InitRootNodes();
}

std::optional<TSQLBrowserFileInfo> TSQLTreeBrowser::SelectedFileInfo() const
{
    const QTreeWidgetItem *node = currentItem();
    if (!node || !node->data(0, kFileTypeRole).isValid())
        return std::nullopt;
    TSQLBrowserFileInfo info;
    info.FileType = static_cast<TSQLTreeBrowserType>(node->data(0, kFileTypeRole).toInt());
    info.DirName = node->data(0, kDirNameRole).toString();
    info.FileName = node->data(0, kFileNameRole).toString();
    return info;
}

} // namespace qd
