#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace qd {

// Accepts files dragged from the desktop onto a window: DropControl takes local files while
// EnableDrop is on, and OnDrop reads Files() in drop order.
class TFileDrop : public QObject {
    Q_OBJECT

public:
    explicit TFileDrop(QObject *parent = nullptr);

    QWidget *DropControl() const { return m_control; }
    void SetDropControl(QWidget *control);
    bool EnableDrop() const { return m_enabled; }
    void SetEnableDrop(bool value);

    // The files of the last drop, in the order the desktop gave them.
    const QStringList &Files() const { return m_files; }
    // Local files among dropped addresses, in order; others (web addresses) are no files.
    static QStringList LocalFiles(const QList<QUrl> &urls);

    std::function<void(TFileDrop *sender)> OnDrop;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();

    QPointer<QWidget> m_control;
    bool m_enabled = true;
    QStringList m_files;
};

} // namespace qd
