#include "editor/CodeGutter.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoViews.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>

namespace qd {

TCodeGutter::TCodeGutter(QWidget *parent)
    : QWidget(parent)
{
    m_markLines.fill(-1);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(30, 50);
    setMinimumWidth(30);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

TCodeGutter::~TCodeGutter()
{
    detach();
}

// --- properties

void TCodeGutter::SetAlignment(TAlignment alignment)
{
    if (alignment != m_alignment) {
        m_alignment = alignment;
        update();
    }
}

void TCodeGutter::SetLineNumbers(bool on)
{
    if (on != m_lineNumbers) {
        m_lineNumbers = on;
        update();
    }
}

void TCodeGutter::SetParagraphNumbers(bool on)
{
    if (on != m_paragraphNumbers) {
        m_paragraphNumbers = on;
        update();
    }
}

void TCodeGutter::SetIgnoreLastLineIfEmpty(bool on)
{
    if (on != m_ignoreLastLineIfEmpty) {
        m_ignoreLastLineIfEmpty = on;
        update();
    }
}

void TCodeGutter::SetColor(const QColor &color)
{
    m_color = color;
    update();
}

// --- the editor

void TCodeGutter::freeBookmarks()
{
    for (Bookmark &mark : m_marks) {
        // The navigator unregisters from its editor; OnFree must not reach back here.
        if (mark.Nav) {
            mark.Nav->OnFree = nullptr;
            delete mark.Nav;
        }
        mark = Bookmark();
    }
    m_markLines.fill(-1);
}

void TCodeGutter::detach()
{
    for (const QMetaObject::Connection &connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    if (m_memo) {
        m_memo->removeEventFilter(this);
        freeBookmarks();
    } else {
        // The editor is gone and freed the navigators with itself.
        for (Bookmark &mark : m_marks)
            mark = Bookmark();
        m_markLines.fill(-1);
    }
    m_memo = nullptr;
}

void TCodeGutter::SetCodeMemo(TCodeMemo *memo)
{
    if (memo == m_memo)
        return;
    detach();
    m_memo = memo;
    m_lineCount = m_paragraphCount = -1;
    if (memo) {
        memo->installEventFilter(this);
        m_offset = memo->VerticalOffset();
        m_connections << connect(memo, &TCodeMemo::offsetChanged, this, [this] { editorScrolled(); })
                      << connect(memo, &TCodeMemo::changed, this, [this] { editorChanged(); })
                      << connect(memo, &TCodeMemo::repainted, this,
                             [this](qint64 first, qint64 last) { editorRepainted(first, last); })
                      << connect(memo, &TCodeMemo::textLoaded, this,
                             [this] {
                                 // Bookmarks of the old text go with it.
                                 freeBookmarks();
                                 update();
                             })
                      << connect(memo, &QObject::destroyed, this, [this] {
                             // Only the QObject part is left by now: forget the editor before
                             // detaching, so nothing of its own is touched.
                             m_memo = nullptr;
                             detach();
                         });
    }
    update();
}

qint64 TCodeGutter::countLines() const
{
    return m_ignoreLastLineIfEmpty ? m_memo->Lines().Count() : m_memo->LineCount();
}

qint64 TCodeGutter::countParagraphs() const
{
    return m_ignoreLastLineIfEmpty ? m_memo->ParaStrings().Count() : m_memo->ParagraphCount();
}

int TCodeGutter::editorTop() const
{
    const QWidget *viewport = m_memo->viewport();
    const QWidget *top = window();
    return viewport->mapTo(top, QPoint(0, 0)).y() - mapTo(top, QPoint(0, 0)).y();
}

void TCodeGutter::editorScrolled()
{
    if (!m_memo)
        return;
    const qint64 offset = m_memo->VerticalOffset();
    const qint64 delta = m_offset - offset;
    m_offset = offset;
    if (countLines() == m_lineCount && countParagraphs() == m_paragraphCount && delta > -height()
        && delta < height())
        scroll(0, int(delta));
    else
        update();
}

bool TCodeGutter::refreshBookmarkLines()
{
    bool changed = false;
    for (int i = 0; i < BookmarkCount; ++i) {
        const qint64 line = m_marks[i].Nav ? m_marks[i].Nav->LineIndex() : -1;
        if (line != m_markLines[i]) {
            m_markLines[i] = line;
            changed = true;
        }
    }
    return changed;
}

void TCodeGutter::editorChanged()
{
    if (!m_memo)
        return;
    // A bookmark set at a line's start stays there when text is typed in front of it.
    for (Bookmark &mark : m_marks) {
        if (!mark.Nav)
            continue;
        if (mark.AtParagraphStart && mark.Nav->ParOffset() != 0)
            mark.Nav->SetPos(m_memo->ParagraphStart(mark.Nav->ParIndex()));
        mark.AtParagraphStart = mark.Nav->ParOffset() == 0;
    }
    const qint64 lines = countLines();
    const qint64 paragraphs = countParagraphs();
    const bool marksMoved = refreshBookmarkLines();
    if (lines != m_lineCount || paragraphs != m_paragraphCount || marksMoved) {
        m_lineCount = lines;
        m_paragraphCount = paragraphs;
        update();
    }
}

void TCodeGutter::editorRepainted(qint64 first, qint64 last)
{
    if (!m_memo)
        return;
    const qint64 top = m_memo->TopLine();
    const int lh = m_memo->LineHeightPx();
    const qint64 y1 = editorTop() + qint64(m_memo->LineToY(first - top));
    const qint64 y2 = editorTop() + qint64(m_memo->LineToY(last - top)) + lh;
    if (y2 < 0 || y1 > height())
        return;
    update(QRect(0, int(qMax<qint64>(0, y1)), width(), int(qMin<qint64>(height(), y2) - qMax<qint64>(0, y1))));
}

// --- bookmarks

bool TCodeGutter::ToggleBookmark(qint64 line, int index)
{
    if (!m_memo || index < 0 || index >= BookmarkCount || line < 0)
        return false;
    m_memo->FormatUpToLine(line);
    if (line >= m_memo->LineCount())
        return false;
    Bookmark &mark = m_marks[index];
    if (mark.Nav && mark.Nav->LineIndex() == line) {
        mark.Nav->OnFree = nullptr;
        delete mark.Nav;
        mark = Bookmark();
    } else {
        for (int i = 0; i < BookmarkCount; ++i)
            if (i != index && m_marks[i].Nav && m_marks[i].Nav->LineIndex() == line)
                return false;
        if (!mark.Nav) {
            mark.Nav = new TCodeNavigator(m_memo);
            // The editor frees its navigators when it goes; the gutter forgets them then.
            mark.Nav->OnFree = [this, index](TCodeNavigator *) { m_marks[index] = Bookmark(); };
        }
        mark.Nav->SetLine(line);
        mark.AtParagraphStart = mark.Nav->ParOffset() == 0;
    }
    refreshBookmarkLines();
    update();
    return true;
}

qint64 TCodeGutter::BookmarkLine(int index) const
{
    if (index < 0 || index >= BookmarkCount || !m_marks[index].Nav)
        return -1;
    return m_marks[index].Nav->LineIndex();
}

qint64 TCodeGutter::BookmarkPosition(int index) const
{
    if (index < 0 || index >= BookmarkCount || !m_marks[index].Nav)
        return -1;
    return m_marks[index].Nav->Position();
}

bool TCodeGutter::GotoBookmark(int index)
{
    const qint64 position = BookmarkPosition(index);
    if (!m_memo || position < 0)
        return false;
    m_memo->SetSelStart(position);
    m_memo->ScrollInView();
    m_memo->viewport()->update();
    return true;
}

int TCodeGutter::bookmarkDigit(const QKeyEvent &event)
{
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    // With Shift held the key reports the shifted sign of the digit; on a US layout these.
    static const char shifted[] = ")!@#$%^&*(";
    for (int digit = 0; digit < 10; ++digit)
        if (key == shifted[digit])
            return digit;
    // Other layouts: the top row's key codes under X11 (1 .. 9, 0).
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const quint32 code = event.nativeScanCode();
        if (code >= 10 && code <= 19)
            return int(code - 9) % 10;
    }
    return -1;
}

bool TCodeGutter::eventFilter(QObject *watched, QEvent *event)
{
    // The event's type first: while the editor is being destroyed it still sends focus events
    // here, and reading the guarded pointer then would take a half-destroyed widget for an editor.
    if ((event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        || !m_bookmarks || watched != m_memo)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods
        = key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool set = mods == (Qt::ControlModifier | Qt::ShiftModifier);
    const bool go = mods == Qt::ControlModifier;
    const int digit = set || go ? bookmarkDigit(*key) : -1;
    if (digit < 0)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // The bookmark keys belong to the editor, not to menu shortcuts.
        event->accept();
        return false;
    }
    if (set)
        ToggleBookmark(m_memo->Caret().LineIndex(), digit);
    else
        GotoBookmark(digit);
    return true;
}

// --- painting

QPixmap TCodeGutter::BookmarkIcon(int index)
{
    static std::array<QPixmap, BookmarkCount> icons;
    if (index < 0 || index >= BookmarkCount)
        return QPixmap();
    QPixmap &icon = icons[index];
    if (icon.isNull()) {
        icon = QPixmap(IconSize, IconSize);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(0, 0, 128));
        painter.setBrush(QColor(0, 96, 192));
        painter.drawRoundedRect(QRectF(0.5, 0.5, IconSize - 1, IconSize - 1), 2, 2);
        QFont font = QGuiApplication::font();
        font.setPixelSize(IconSize - 1);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, IconSize, IconSize), Qt::AlignCenter, QString::number(index));
    }
    return icon;
}

void TCodeGutter::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, m_color.isValid() ? m_color : palette().color(QPalette::Button));
    const int w = width();
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(w - 2, area.top(), w - 2, area.bottom());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(w - 1, area.top(), w - 1, area.bottom());
    if (!m_memo)
        return;

    const qint64 lines = countLines();
    const qint64 paragraphs = countParagraphs();
    if (lines != m_lineCount || paragraphs != m_paragraphCount) {
        // The counts moved under the cached ones: the whole strip is drawn again.
        m_lineCount = lines;
        m_paragraphCount = paragraphs;
        update();
    }
    refreshBookmarkLines();
    m_offset = m_memo->VerticalOffset();

    const int lh = m_memo->LineHeightPx();
    const int origin = editorTop();
    const qint64 top = m_memo->TopLine();
    const int baseline = m_memo->BaselineOffset();
    int iconY = (lh - IconSize) / 2;
    if (baseline > iconY + IconSize)
        iconY = baseline - IconSize;
    const int usable = w - 2;
    const int digitWidth = m_alignment == taLeftJustify ? 0 : fontMetrics().horizontalAdvance(u'0');
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));

    // From the line at the paint area's top to the last one inside it.
    qint64 line = qMax<qint64>(0, top + m_memo->YToLine(area.top() - origin));
    if (line > top && origin + m_memo->LineToY(line - top) > area.top())
        --line;
    painter.setClipRect(QRect(0, area.top(), usable, area.height()));
    for (; line < lines; ++line) {
        const int y = origin + m_memo->LineToY(line - top);
        if (y > area.bottom())
            break;
        if (y + lh <= area.top())
            continue;
        int mark = -1;
        for (int i = 0; i < BookmarkCount && mark < 0; ++i)
            if (m_markLines[i] == line)
                mark = i;
        if (mark >= 0) {
            const int x = m_alignment == taLeftJustify ? 2
                : m_alignment == taRightJustify        ? usable - IconSize
                                                       : (usable - IconSize) / 2;
            painter.drawPixmap(x, y + iconY, BookmarkIcon(mark));
            continue;
        }
        if (!m_lineNumbers)
            continue;
        qint64 number = line + 1;
        if (m_paragraphNumbers) {
            m_memo->FormatUpToLine(line);
            const TParagraphsList &pars = m_memo->Paragraphs();
            const qint64 par = pars.ParagraphOfLine(line);
            // Continuation lines of a wrapped paragraph stay blank.
            if (pars.FirstLine(par) != line)
                continue;
            number = par + 1;
        }
        const QString text = QString::number(number);
        const int textWidth = int(text.size()) * digitWidth;
        const int x = m_alignment == taLeftJustify ? 0
            : m_alignment == taRightJustify        ? usable - textWidth
                                                   : (usable - textWidth) / 2;
        painter.drawText(QPoint(x, y + baseline), text);
    }
}

} // namespace qd
