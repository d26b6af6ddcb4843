#pragma once

#include <QStatusBar>

class QLabel;

namespace qd {

// The worksheet's status bar: five panels of widths 120, 120, 80, 80 and 50 (the last one
// takes the rest): 0 connection, 1 run clock, 2 row position, 3 caret, 4 messages. Clicking a
// panel whose bevel is raised shows its text in a message box.
class WorksheetStatusBar : public QStatusBar {
    Q_OBJECT
public:
    enum { PanelCount = 5 };

    explicit WorksheetStatusBar(QWidget *parent = nullptr);

    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);
    bool PanelRaised(int index) const;
    void SetPanelRaised(int index, bool raised);
    QLabel *Panel(int index) const { return m_panels[index]; }

signals:
    // A panel's text became a different one.
    void panelTextChanged(int index, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_panels[PanelCount];
    bool m_raised[PanelCount] = {};
};

} // namespace qd
