#pragma once

#include "editor/CodeMemo.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>

class QKeyEvent;

namespace qd {



// A narrow strip beside an editor that shows its line (or paragraph) numbers and up to ten
// numbered bookmarks. Ctrl+Shift+digit in the editor sets or removes a bookmark on the caret's
// line, Ctrl+digit moves the caret to it. The gutter follows the editor through its signals:
// it scrolls with it, repaints with it, and recounts its lines after every change. Bookmarks are
// positions in the editor's text, so they stay on their line while text is edited.
class TCodeGutter : public QWidget {
    Q_OBJECT
public:
    static constexpr int BookmarkCount = 10;
    static constexpr int IconSize = 10;

    explicit TCodeGutter(QWidget *parent = nullptr);
    ~TCodeGutter() override;

    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    TCodeMemo *CodeMemo() const { return m_memo; }
    // Attaching another editor drops the bookmarks.
    void SetCodeMemo(TCodeMemo *memo);
    bool LineNumbers() const { return m_lineNumbers; }
    void SetLineNumbers(bool on);
    bool Bookmarks() const { return m_bookmarks; }
    void SetBookmarks(bool on) { m_bookmarks = on; }
    bool ParagraphNumbers() const { return m_paragraphNumbers; }
    void SetParagraphNumbers(bool on);
    // Counts lines as the editor's string views do, which leave out an empty last line.
    bool IgnoreLastLineIfEmpty() const { return m_ignoreLastLineIfEmpty; }
    void SetIgnoreLastLineIfEmpty(bool on);
    // Background; invalid: the palette's button colour.
    QColor Color() const { return m_color; }
    void SetColor(const QColor &color);

    // Bookmark index on line (a display line): removed when it stands there; placed at the
    // line's start (moved from where it was) when no bookmark is on the line; nothing when
    // another one is. An index outside 0-9 is refused. True when something changed.
    virtual bool ToggleBookmark(qint64 line, int index);
    // Display line of a bookmark, -1 when it is not set.
    qint64 BookmarkLine(int index) const;
    // Text position of a bookmark, -1 when it is not set.
    qint64 BookmarkPosition(int index) const;
    // Caret to the bookmark's line, scrolled into view; false when it is not set.
    bool GotoBookmark(int index);
    // The icon drawn for bookmark index.
    static QPixmap BookmarkIcon(int index);

    QSize sizeHint() const override { return QSize(30, 50); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Bookmark {
        TCodeNavigator *Nav = nullptr;
        bool AtParagraphStart = false;
    };
    void detach();
    void freeBookmarks();
    void editorScrolled();
    void editorChanged();
    void editorRepainted(qint64 first, qint64 last);
    // Line and paragraph counts as the gutter numbers them.
    qint64 countLines() const;
    qint64 countParagraphs() const;
    // Refreshes the cached bookmark lines; true when one changed.
    bool refreshBookmarkLines();
    // y of the editor's client area in the gutter's coordinates.
    int editorTop() const;
    // The digit of a bookmark key (0-9), -1 for any other key.
    static int bookmarkDigit(const QKeyEvent &event);

    TAlignment m_alignment = taCenter;
    QPointer<TCodeMemo> m_memo;
    bool m_lineNumbers = true;
    bool m_bookmarks = true;
    bool m_paragraphNumbers = false;
    bool m_ignoreLastLineIfEmpty = false;
    QColor m_color;
    qint64 m_offset = 0;
    qint64 m_lineCount = -1;
    qint64 m_paragraphCount = -1;
    std::array<Bookmark, BookmarkCount> m_marks;
    std::array<qint64, BookmarkCount> m_markLines;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace qd
