#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QWidget;

namespace qd {

// The small modal dialog in which the user picks the master's collection column that a new
// detail dataset is made from, and whether that dataset is read-only.
class TOracleSelectForm : public QDialog {
    Q_OBJECT
public:
    explicit TOracleSelectForm(QWidget *parent = nullptr);

    QListWidget *CollListBox;
    QTabWidget *PageControl;
    QWidget *CollSheet;
    QCheckBox *CollReadOnlyCheck;
    QWidget *BottomPanel;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // A double click on an entry confirms the dialog.
    void CollListBoxDblClick();
};

// Shows the dialog with columns, the first one selected. True when it was confirmed: index is
// then the chosen entry and readOnly the state of the read-only box; otherwise index is -1 and
// readOnly False.
bool SelectCollectionColumn(
    const QStringList &columns, int &index, bool &readOnly, QWidget *parent = nullptr);

} // namespace qd
