// The editor's clipboard commands and style hot-key commands.
#include "editor/CodeMemo.h"

#include "editor/ClipboardText.h"
#include "editor/StyleCodes.h"
#include "editor/TextCommands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace qd {

void TCodeMemo::CopyToClipboard()
{
    if (SelLength() == 0)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    if (ColumnSelection()) {
        clipboard->setMimeData(MakeClipboardData(GetColumnSelText(), true));
        return;
    }
    QString text = CodeDocument::GetSelText();
    if (Options() & cmoPlainClipboard)
        text = StripStyleCodes(text);
    clipboard->setMimeData(MakeClipboardData(text, false));
}

void TCodeMemo::CutToClipboard()
{
    if (SelLength() == 0)
        return;
    CopyToClipboard();
    ClearSelection();
}

void TCodeMemo::PasteFromClipboard()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    const TClipboardContent content = ReadClipboardData(clipboard->mimeData());
    if (!content.HasText)
        return;
    SetBreakMerge();
    if (content.Block && (Options() & cmoBlockSelection))
        PasteColumn(content.Text);
    else
        SetSelText(content.Text);
    SetBreakMerge();
    ScrollInView();
}

void TCodeMemo::PasteColumn(const QString &text)
{
    UpdateCaret();
    const qint64 column
        = qMax<qint64>(0, (CaretX() + HorizontalOffset() - LeftMargin()) / qMax(1, CharWidth()));
    const bool outer = UpdateCount() > 0;
    PasteColumnAt(*this, column, text);
    if (!outer)
        ScrollInView();
}

void TCodeMemo::ToggleBold()
{
    ToggleStyleCode(*this, scBold);
}
void TCodeMemo::ToggleItalic()
{
    ToggleStyleCode(*this, scItalic);
}
void TCodeMemo::ToggleUnderline()
{
    ToggleStyleCode(*this, scUnderline);
}
void TCodeMemo::ToggleHighlight()
{
    ToggleStyleCode(*this, scHighlight);
}
void TCodeMemo::ToggleAltFont()
{
    ToggleStyleCode(*this, scAltFont);
}

} // namespace qd
