#include "shell/FileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace qd {

TFileDrop::TFileDrop(QObject *parent)
    : QObject(parent)
{
}

void TFileDrop::SetDropControl(QWidget *control)
{
    if (m_control)
        m_control->removeEventFilter(this);
    m_control = control;
    if (m_control)
        m_control->installEventFilter(this);
    apply();
}

void TFileDrop::SetEnableDrop(bool value)
{
    m_enabled = value;
    apply();
}

void TFileDrop::apply()
{
    if (m_control)
        m_control->setAcceptDrops(m_enabled);
}

QStringList TFileDrop::LocalFiles(const QList<QUrl> &urls)
{
    QStringList files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(url.toLocalFile());
    }
    return files;
}

bool TFileDrop::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_control || !m_enabled)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        const QMimeData *data = drag->mimeData();
        if (data && !LocalFiles(data->urls()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QMimeData *data = drop->mimeData();
        const QStringList files = data ? LocalFiles(data->urls()) : QStringList();
        if (files.isEmpty())
            return QObject::eventFilter(watched, event);
        drop->acceptProposedAction();
        m_files = files;
        if (OnDrop)
            OnDrop(this);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace qd
