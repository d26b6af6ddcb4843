// The widget: creation, properties, scroll bars, focus and the caret.
#include "editor/CodeMemo.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyleHints>

namespace qd {

TCodeMemo::TCodeMemo(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAcceptDrops(true);
    // Hovering shows the cursors of the line-selection zone, the selection and attributes.
    viewport()->setMouseTracking(true);
    resize(100, 60);
    SetMeasurer(&m_fontMeasurer);
    m_fontMeasurer.SetFonts(font(), m_altFont);
    applyScrollBarPolicies();
    SetBorderStyle(bsSingle);

    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    m_blink.setInterval(flash > 0 ? flash / 2 : 500);
    connect(&m_blink, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        viewport()->update(caretRect());
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_settingBars)
            ThumbTrack(value);
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_settingBars)
            HThumbTrack(value);
    });
    SetClientSize(viewport()->width(), viewport()->height());
}

TCodeMemo::~TCodeMemo() = default;

QString TCodeMemo::Version() const
{
    return QStringLiteral("Quarlo Desk code editor 1.0");
}

QColor TCodeMemo::ToQColor(TColor color) const
{
    if (color == -1)
        return QColor();
    if (IsSystemColor(color)) {
        const QPalette &pal = palette();
        switch (color & 0xFF) {
        case 5:
            return pal.color(QPalette::Base);
        case 8:
            return pal.color(QPalette::Text);
        case 13:
            return pal.color(QPalette::Highlight);
        case 14:
            return pal.color(QPalette::HighlightedText);
        case 15:
            return pal.color(QPalette::Button);
        case 16:
            return pal.color(QPalette::Dark);
        case 17:
            return pal.color(QPalette::PlaceholderText);
        case 18:
            return pal.color(QPalette::ButtonText);
        default:
            return pal.color(QPalette::WindowText);
        }
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// --- properties

void TCodeMemo::SetColor(TColor color)
{
    m_color = color;
    viewport()->update();
}

void TCodeMemo::SetAltFont(const QFont &font)
{
    m_altFont = font;
    fontsChanged();
}

void TCodeMemo::SetBorderStyle(TBorderStyle style)
{
    m_borderStyle = style;
    setFrameStyle(style == bsSingle ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
}

void TCodeMemo::SetScrollBars(TScrollStyle bars)
{
    m_scrollBars = bars;
    applyScrollBarPolicies();
}

void TCodeMemo::applyScrollBarPolicies()
{
    // Automatic bars hide while the text fits; otherwise an enabled bar always shows.
    const Qt::ScrollBarPolicy shown
        = (Options() & cmoAutoScrollBars) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    setVerticalScrollBarPolicy(
        m_scrollBars == ssVertical || m_scrollBars == ssBoth ? shown : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(
        m_scrollBars == ssHorizontal || m_scrollBars == ssBoth ? shown : Qt::ScrollBarAlwaysOff);
}

void TCodeMemo::SetHideSelection(bool on)
{
    m_hideSelection = on;
    if (!hasFocus())
        viewport()->update();
}

void TCodeMemo::SetShowEndParSelected(bool on)
{
    m_showEndParSelected = on;
    viewport()->update();
}

void TCodeMemo::SetCaretWidth(int width)
{
    m_caretWidth = width;
    UpdateCaret(true);
}

void TCodeMemo::SetDisplayOnly(bool on)
{
    m_displayOnly = on;
    if (hasFocus()) {
        if (on)
            stopCaret();
        else
            startCaret();
    }
}

void TCodeMemo::SetOverwrite(bool on)
{
    m_overwrite = on;
    UpdateCaret(true);
}

void TCodeMemo::SetHighlightColor(TColor color)
{
    m_highlightColor = color;
    viewport()->update();
}

void TCodeMemo::SetHighlightBackgnd(TColor color)
{
    m_highlightBackgnd = color;
    viewport()->update();
}

void TCodeMemo::SetSelBackColor(TColor color)
{
    m_selBackColor = color;
    viewport()->update();
}

void TCodeMemo::SetSelTextColor(TColor color)
{
    m_selTextColor = color;
    viewport()->update();
}

void TCodeMemo::SetEndOfTextMark(const TMemoPen &pen)
{
    m_endOfTextMark = pen;
    viewport()->update();
}

void TCodeMemo::SetRightLinePen(const TMemoPen &pen)
{
    m_rightLinePen = pen;
    viewport()->update();
}

void TCodeMemo::SetSpecUnderline(const TMemoPen &pen)
{
    m_specUnderline = pen;
    viewport()->update();
}

void TCodeMemo::SetRightLinePos(int pos)
{
    m_rightLinePos = pos;
    viewport()->update();
}

void TCodeMemo::SetBackgroundBmp(const QPixmap &picture)
{
    m_backgroundBmp = picture;
    viewport()->update();
}

quint8 TCodeMemo::FontStyle() const
{
    const QFont &f = font();
    quint8 s = 0;
    if (f.weight() >= QFont::Bold)
        s |= StyleBold;
    if (f.italic())
        s |= StyleItalic;
    if (f.underline())
        s |= StyleUnderline;
    if (f.strikeOut())
        s |= StyleStrikeOut;
    return s;
}

void TCodeMemo::fontsChanged()
{
    m_fontMeasurer.SetFonts(font(), m_altFont);
    FontChanged();
    viewport()->update();
}

// --- the core's hooks

void TCodeMemo::InvalidateLines(qint64 line1, qint64 line2)
{
    if (UpdateCount() > 0)
        return;
    if (line1 > line2)
        std::swap(line1, line2);
    const qint64 top = TopLine();
    const int h = viewport()->height();
    const int y1 = line1 < top ? 0 : LineToY(line1 - top);
    const qint64 y2l = line2 - top + 1;
    const int y2 = y2l > VisibleLines() + 1 ? h : LineToY(y2l);
    if (y2 <= 0 || y1 >= h)
        return;
    viewport()->update(QRect(0, y1, viewport()->width(), y2 - y1));
}

void TCodeMemo::InvalidateAll()
{
    viewport()->update();
}

void TCodeMemo::ViewScrolled(qint64 dv, qint64 dh)
{
    if (dv > -32768 && dv < 32767 && dh > -32768 && dh < 32767 && m_backgroundBmp.isNull())
        viewport()->scroll(int(-dh), int(-dv));
    else
        viewport()->update();
    ScrollRangesChanged();
    if (dv != 0)
        emit offsetChanged();
}

void TCodeMemo::ScrollRangesChanged()
{
    applyScrollBarPolicies();
    m_settingBars = true;
    {
        const ScrollRange v = VScrollRange();
        const int unit = VScrollUnit();
        QScrollBar *bar = verticalScrollBar();
        bar->setRange(0, qMax(0, v.Max - v.Page + 1));
        bar->setPageStep(qMax(1, v.Page));
        bar->setSingleStep(qMax(1, LineHeightPx() / unit));
        bar->setValue(int(qMax<qint64>(0, VerticalOffset() / unit)));
    }
    {
        const ScrollRange r = HScrollRange();
        const int unit = HScrollUnit();
        QScrollBar *bar = horizontalScrollBar();
        bar->setRange(0, qMax(0, r.Max - r.Page + 1));
        bar->setPageStep(qMax(1, r.Page));
        bar->setSingleStep(qMax(1, CharWidth() / unit));
        bar->setValue(int(HorizontalOffset() / unit));
    }
    m_settingBars = false;
}

void TCodeMemo::scrollContentsBy(int, int)
{
    // The view moves through SetScrollOffsets only; the bars report through valueChanged.
}

void TCodeMemo::CaretPlaced(bool)
{
    const QRect r = caretRect();
    if (r != m_lastCaretRect) {
        viewport()->update(m_lastCaretRect);
        viewport()->update(r);
        m_lastCaretRect = r;
    }
    if (m_caretShown) {
        // A moved caret shows at once and starts a new blink.
        m_caretOn = true;
        m_blink.start();
    }
}

void TCodeMemo::CaretMoved()
{
    emit caretMoved();
}

void TCodeMemo::Change()
{
    CodeMemoCore::Change();
    emit changed();
}

int TCodeMemo::CaretPixelWidth()
{
    int w = m_caretWidth > 0 ? m_caretWidth : LineHeightPx() / 14 + 1;
    if (m_overwrite && (Options() & cmoWideOverwriteCaret) && SelLength() == 0
        && Caret().ParOffset() < Caret().ParRecord()->Length && CharUnderWidth() > 0)
        w = CharUnderWidth();
    return w;
}

QRect TCodeMemo::caretRect()
{
    int x = CaretX();
    if (WordWrap() && x >= ClientWidth())
        x = ClientWidth() - 1;
    return QRect(x, CaretY(), CaretPixelWidth(), LineHeightPx());
}

void TCodeMemo::startCaret()
{
    if (m_displayOnly)
        return;
    m_caretShown = true;
    m_caretOn = true;
    m_blink.start();
    UpdateCaret(true);
    viewport()->update(caretRect());
}

void TCodeMemo::stopCaret()
{
    m_caretShown = false;
    m_blink.stop();
    viewport()->update(caretRect());
}

// --- widget events

void TCodeMemo::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    SetClientSize(viewport()->width(), viewport()->height());
}

void TCodeMemo::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fontsChanged();
    else if (event->type() == QEvent::PaletteChange)
        viewport()->update();
}

void TCodeMemo::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    startCaret();
    if (m_hideSelection && SelLength() != 0)
        viewport()->update();
}

void TCodeMemo::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    stopCaret();
    if (m_hideSelection && SelLength() != 0)
        viewport()->update();
}

bool TCodeMemo::viewportEvent(QEvent *event)
{
    // The viewport's own resize is handled in resizeEvent; everything else as usual.
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace qd
