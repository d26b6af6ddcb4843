#include "worksheet/WorksheetStatusBar.h"

#include "shell/MessageBoxes.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

namespace qd {

WorksheetStatusBar::WorksheetStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("stb_sql"));
    setSizeGripEnabled(false);
    static const int widths[PanelCount] = { 120, 120, 80, 80, 50 };
    for (int i = 0; i < PanelCount; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("stb_sql_panel%1").arg(i));
        panel->setMinimumWidth(widths[i]);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->installEventFilter(this);
        m_panels[i] = panel;
        addWidget(panel, i == PanelCount - 1 ? 1 : 0);
    }
}

QString WorksheetStatusBar::PanelText(int index) const
{
    return m_panels[index]->text();
}

void WorksheetStatusBar::SetPanelText(int index, const QString &text)
{
    if (m_panels[index]->text() == text)
        return;
    m_panels[index]->setText(text);
    emit panelTextChanged(index, text);
}

bool WorksheetStatusBar::PanelRaised(int index) const
{
    return m_raised[index];
}

void WorksheetStatusBar::SetPanelRaised(int index, bool raised)
{
    m_raised[index] = raised;
    m_panels[index]->setFrameStyle(QFrame::Panel | (raised ? QFrame::Raised : QFrame::Sunken));
}

bool WorksheetStatusBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < PanelCount; ++i)
            if (watched == m_panels[i] && m_raised[i] && !m_panels[i]->text().isEmpty())
                ShowInfoMessage(m_panels[i]->text());
    }
    return QStatusBar::eventFilter(watched, event);
}

} // namespace qd
