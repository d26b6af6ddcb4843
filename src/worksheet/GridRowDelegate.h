#pragma once

#include <QStyledItemDelegate>

namespace qd {

class DataSetModel;

// Draws the row of the dataset's current record in light blue (Windows colour F0CAA6) with
// bold text; every other cell as usual.
class GridRowDelegate : public QStyledItemDelegate {
public:
    GridRowDelegate(DataSetModel *model, QObject *parent);

    static QColor CurrentRowColor() { return QColor(0xA6, 0xCA, 0xF0); }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    DataSetModel *m_model;
};

} // namespace qd
