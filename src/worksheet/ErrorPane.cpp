#include "worksheet/ErrorPane.h"

#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QMenu>

namespace qd {

namespace {
constexpr int PositionRole = Qt::UserRole + 1;
}

ErrorPane::ErrorPane(QWidget *parent)
    : QDockWidget(QStringLiteral("Error Messages"), parent)
    , m_list(new QListWidget(this))
    , m_popup(new QMenu(this))
{
    setObjectName(QStringLiteral("pnlErrorMessages"));
    m_list->setObjectName(QStringLiteral("lbErrorMessages"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    setWidget(m_list);
    m_popup->addAction(QStringLiteral("Goto Error"), this, &ErrorPane::GotoError);
    m_popup->addAction(QStringLiteral("Popup Error"), this, &ErrorPane::PopupError);
    m_popup->addAction(QStringLiteral("Copy To Clipboard"), this, &ErrorPane::CopyToClipboard);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &ErrorPane::GotoError);
    connect(m_list, &QListWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (QListWidgetItem *item = m_list->itemAt(at))
            m_list->setCurrentItem(item);
        if (m_list->currentItem())
            m_popup->popup(m_list->viewport()->mapToGlobal(at));
    });
}

void ErrorPane::SetErrors(const TScriptErrorList &errors)
{
    m_list->clear();
    for (const TScriptError &error : errors) {
        auto *item = new QListWidgetItem(error.Text, m_list);
        item->setData(PositionRole, PackPosition(error.Line, error.Column));
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

int ErrorPane::Count() const
{
    return m_list->count();
}

QString ErrorPane::ItemText(int index) const
{
    const QListWidgetItem *item = m_list->item(index);
    return item ? item->text() : QString();
}

int ErrorPane::ItemPosition(int index) const
{
    const QListWidgetItem *item = m_list->item(index);
    return item ? item->data(PositionRole).toInt() : 0;
}

int ErrorPane::CurrentIndex() const
{
    return m_list->currentRow();
}

void ErrorPane::SetCurrentIndex(int index)
{
    m_list->setCurrentRow(index);
}

void ErrorPane::GotoError()
{
    const int index = m_list->currentRow();
    if (index < 0)
        return;
    const int position = ItemPosition(index);
    const int line = position / 65536;
    const int column = position % 65536;
    if (line >= 1 && column >= 1)
        emit gotoError(line, column);
}

void ErrorPane::PopupError()
{
    if (m_list->currentRow() >= 0)
        ShowErrorMessage(ItemText(m_list->currentRow()));
}

void ErrorPane::CopyToClipboard()
{
    if (m_list->currentRow() >= 0)
        QApplication::clipboard()->setText(ItemText(m_list->currentRow()));
}

void ErrorPane::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    emit paneVisibilityChanged(!isHidden());
}

void ErrorPane::hideEvent(QHideEvent *event)
{
    QDockWidget::hideEvent(event);
    emit paneVisibilityChanged(!isHidden());
}

} // namespace qd
