#pragma once

#include <QDialog>
#include <QList>
#include <QPicture>

class QFrame;
class QPushButton;
class QScrollArea;

namespace qd {

// The print preview: one page at a time on white paper with a shadow in a grey box, paged with
// First/Previous/Next/Last, zoomed from 20 to 400 percent, fitted to the window or its width.
// "Print" closes it with PrintResult, "Close Preview Window" with CloseResult; it frees itself
// when closed.
class TfmPreview : public QDialog {
    Q_OBJECT
public:
    enum { PrintResult = 1, CloseResult = 2 };

    TfmPreview(const QList<QPicture> &pages, QSize pageSize, QWidget *parent = nullptr);

    int PageIndex() const { return m_pageIndex; }
    int Zoom() const { return m_zoom; }
    QWidget *Paper() const;
    QFrame *RightShadow() const { return m_shadowRight; }
    QFrame *BottomShadow() const { return m_shadowBottom; }
    QScrollArea *ScrollBox() const { return m_scrollBox; }

    void ShowPage(int index);
    // Page buttons: first, previous (-1), next (1), last.
    void MovePage(int tag);
    void ApplyZoom(int zoom);
    void ZoomBy(int tag);
    void FitInWindow();
    void FitWidth();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class PaperWidget;

    QList<QPicture> m_pages;
    QSize m_pageSize;
    int m_pageIndex = -1;
    int m_zoom = 100;
    QScrollArea *m_scrollBox = nullptr;
    QWidget *m_canvas = nullptr;
    PaperWidget *m_paper = nullptr;
    QFrame *m_shadowRight = nullptr;
    QFrame *m_shadowBottom = nullptr;
};

} // namespace qd
