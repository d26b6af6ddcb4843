// The editor's built-in context menu.
#include "editor/CodeMemoInput.h"

#include "editor/ClipboardText.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

namespace qd {

void TCodeMemo::contextMenuEvent(QContextMenuEvent *event)
{
    Input().contextMenu(event);
}

QMenu *TCodeMemo::DefaultPopupMenu()
{
    return Input().defaultMenu();
}

QMenu *CodeMemoInput::defaultMenu()
{
    if (m_menu)
        return m_menu;
    auto *menu = new QMenu(&m);
    menu->setObjectName(QStringLiteral("CodeMemoPopup"));
    QAction *undo
        = menu->addAction(QStringLiteral("&Undo"), &m, [this] { guarded([this] { m.Undo(); }); });
    QAction *redo
        = menu->addAction(QStringLiteral("&Redo"), &m, [this] { guarded([this] { m.Redo(); }); });
    menu->addSeparator();
    QAction *cut = menu->addAction(
        QStringLiteral("Cu&t"), &m, [this] { guarded([this] { m.CutToClipboard(); }); });
    QAction *copy = menu->addAction(QStringLiteral("&Copy"), &m, [this] { m.CopyToClipboard(); });
    QAction *paste = menu->addAction(
        QStringLiteral("&Paste"), &m, [this] { guarded([this] { m.PasteFromClipboard(); }); });
    menu->addSeparator();
    QAction *all = menu->addAction(QStringLiteral("&Select all"), &m, [this] { m.SelectAll(); });
    Q_UNUSED(all);
    // The items follow the editor's state each time the menu opens.
    QObject::connect(menu, &QMenu::aboutToShow, &m, [this, undo, redo, cut, copy, paste] {
        const bool editable = !m.ReadOnly() && !m.DisplayOnly();
        const bool selected = m.SelLength() != 0;
        const QClipboard *clipboard = QGuiApplication::clipboard();
        const QMimeData *data = clipboard ? clipboard->mimeData() : nullptr;
        undo->setEnabled(m.CanUndo());
        redo->setEnabled(m.CanRedo());
        cut->setEnabled(selected && editable);
        copy->setEnabled(selected);
        paste->setEnabled(editable && data && data->hasText());
    });
    m_menu = menu;
    return menu;
}

void CodeMemoInput::contextMenu(QContextMenuEvent *event)
{
    if ((m.Options() & cmoNoDefaultPopup) || m.contextMenuPolicy() != Qt::DefaultContextMenu) {
        event->ignore();
        return;
    }
    QMenu *menu = defaultMenu();
    menu->popup(event->globalPos());
    event->accept();
}

} // namespace qd
