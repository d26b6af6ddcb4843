#pragma once

#include "worksheet/ScriptHost.h"

#include <QDockWidget>

class QListWidget;
class QMenu;

namespace qd {

// The worksheet's dockable "Error Messages" pane: one line per error of the last run, each
// with its editor position packed as line * 65536 + column (both from 1; below 1: none).
class ErrorPane : public QDockWidget {
    Q_OBJECT
public:
    explicit ErrorPane(QWidget *parent = nullptr);

    static int PackPosition(int line, int column) { return line * 65536 + column; }

    void SetErrors(const TScriptErrorList &errors);
    int Count() const;
    QString ItemText(int index) const;
    int ItemPosition(int index) const;
    int CurrentIndex() const;
    void SetCurrentIndex(int index);
    QListWidget *List() const { return m_list; }

    // The selected item's text in an error box; on the clipboard.
    void PopupError();
    void CopyToClipboard();

signals:
    // Goto Error (menu or double click) on an item with a position: 1-based line and column.
    void gotoError(int line, int column);
    // The pane was shown or hidden (by the user, the layout or its window): whether it is
    // meant to be visible.
    void paneVisibilityChanged(bool visible);

public slots:
    void GotoError();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QListWidget *m_list;
    QMenu *m_popup;
};

} // namespace qd
