#pragma once

#include <QDialog>

#include <memory>

class QPrintDialog;

namespace Ui {
class TFrmCMPrintPreview;
}

namespace qd {

class TCodeMemoPrinter;

// The modal preview of an editor printer: one page drawn by the printer's own page routine at a
// chosen zoom on a white sheet in a grey scroll box, page stepping, printing, the print dialog,
// a switch for line numbers, and margins that can be shown and dragged.
class TFrmCMPrintPreview : public QDialog {
    Q_OBJECT
public:
    // Margin lines, as dragging names them.
    enum TMarginLine { mlNone, mlLeft, mlRight, mlTop, mlBottom };

    explicit TFrmCMPrintPreview(TCodeMemoPrinter *source, QWidget *parent = nullptr);
    ~TFrmCMPrintPreview() override;

    TCodeMemoPrinter *Source() const { return m_source; }
    int Page() const { return m_page; }
    // Steps to page (0-based), limited to the last page.
    void GoToPage(int page);
    // Preview pixels per printer pixel.
    double ZoomFactor() const { return m_zoom; }
    // Where a margin line stands, in pixels of the paint box.
    int MarginPosition(TMarginLine line) const;
    // The white sheet the page is drawn on.
    QWidget *PaintBox() const { return m_paintBox; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyZoom();
    void placeSheet();
    void computeMargins();
    void updatePageControls();
    void paintSheet(const QRect &rect);
    void printClicked();
    void setupClicked();
    TMarginLine marginAt(const QPoint &point) const;
    void mouseMoved(const QPoint &point);
    void mouseReleased();
    void showError(const std::exception &error);

    std::unique_ptr<Ui::TFrmCMPrintPreview> ui;
    TCodeMemoPrinter *m_source;
    QWidget *m_sheetHolder = nullptr;
    QWidget *m_paintBox = nullptr;
    QPrintDialog *m_printDialog = nullptr;
    int m_page = 0;
    double m_zoom = 1.0;
    int m_marginLeft = 0;
    int m_marginRight = 0;
    int m_marginTop = 0;
    int m_marginBottom = 0;
    TMarginLine m_drag = mlNone;
    int m_dragPos = 0;
    int m_dragStart = 0;
};

} // namespace qd
