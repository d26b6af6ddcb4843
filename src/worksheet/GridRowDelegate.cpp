#include "worksheet/GridRowDelegate.h"

#include "classlib/DataSetModel.h"

namespace qd {

GridRowDelegate::GridRowDelegate(DataSetModel *model, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
{
}

void GridRowDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() != m_model->CurrentRow())
        return;
    option->backgroundBrush = CurrentRowColor();
    option->font.setBold(true);
}

} // namespace qd
