// The file editor's find and replace.
#include "editor/CodeEditor.h"

namespace qd {

TFindDialog *TCodeEditor::FindDialog()
{
    if (!m_find) {
        m_find = new TFindDialog(this);
        m_find->setWindowFlag(Qt::Tool);
        m_find->SetOptions(frDown);
        m_find->OnFind = [this](TFindDialog *dialog) { FindNext(dialog); };
        // The selection stays visible while the dialog has the focus.
        m_find->OnShow = [this](TFindDialog *) { SetHideSelection(false); };
        m_find->OnClose = [this](TFindDialog *) { SetHideSelection(true); };
    }
    return m_find;
}

TReplaceDialog *TCodeEditor::ReplaceDialog()
{
    if (!m_replace) {
        m_replace = new TReplaceDialog(this);
        m_replace->setWindowFlag(Qt::Tool);
        m_replace->SetOptions(frDown | frHideUpDown);
        m_replace->OnFind = [this](TFindDialog *dialog) { FindNext(dialog); };
        m_replace->OnReplace = [this](TFindDialog *dialog) {
            Replace(static_cast<TReplaceDialog *>(dialog));
        };
        m_replace->OnShow = [this](TFindDialog *) { SetHideSelection(false); };
        m_replace->OnClose = [this](TFindDialog *) { SetHideSelection(true); };
    }
    return m_replace;
}

namespace {

// The selected text when it is one line: what the dialogs start with.
QString singleLineSelection(TCodeEditor &editor)
{
    if (editor.ColumnSelection() || editor.SelLength() == 0)
        return QString();
    const QString text = editor.CodeDocument::GetSelText();
    return text.contains(u'\r') || text.contains(u'\n') ? QString() : text;
}

} // namespace

void TCodeEditor::ShowFind()
{
    TFindDialog *dialog = FindDialog();
    if (const QString seed = singleLineSelection(*this); !seed.isEmpty())
        dialog->SetFindText(seed);
    dialog->Execute();
}

void TCodeEditor::CloseFind()
{
    if (m_find)
        m_find->close();
}

void TCodeEditor::ShowReplace()
{
    TReplaceDialog *dialog = ReplaceDialog();
    if (const QString seed = singleLineSelection(*this); !seed.isEmpty())
        dialog->SetFindText(seed);
    dialog->Execute();
}

void TCodeEditor::CloseReplace()
{
    if (m_replace)
        m_replace->close();
}

bool TCodeEditor::FindNext(TFindDialog *dialog)
{
    const TFindOptions options = dialog->Options();
    const bool found = FindText(dialog->FindText(), options & frDown, options & frMatchCase,
        options & frWholeWord, false);
    if (found) {
        ScrollInView();
        viewport()->update();
    } else {
        EditorMessage(Dialogs, this, QStringLiteral("Text not found."), false);
    }
    return found;
}

bool TCodeEditor::selectionMatches(const QString &text, TFindOptions options) const
{
    if (ColumnSelection() || SelLength() == 0)
        return false;
    const QString selected = CodeDocument::GetSelText();
    if (selected.compare(text, (options & frMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive)
        != 0)
        return false;
    if (!(options & frWholeWord))
        return true;
    auto *self = const_cast<TCodeEditor *>(this);
    const qint64 lower = self->SelStartNav().Position();
    const qint64 upper = self->SelEndNav().Position();
    const auto boundary = [&](qint64 position) {
        const char16_t c = CharAt(position);
        return c == u'\r' || c == u'\n' || IsSeparator(c);
    };
    return (lower == 0 || boundary(lower - 1)) && (upper >= TextLength() || boundary(upper));
}

void TCodeEditor::Replace(TReplaceDialog *dialog)
{
    const TFindOptions options = dialog->Options();
    const bool all = options & frReplaceAll;
    const QString findText = dialog->FindText();
    if (findText.isEmpty() || ReadOnly())
        return;
    const bool down = options & frDown;
    const bool matchCase = options & frMatchCase;
    const bool wholeWord = options & frWholeWord;
    int passes = 0;
    bool hit = false;
    do {
        // The selection counts only when it holds what is searched for; anything else
        // selected is left alone and the next match found first.
        if (selectionMatches(findText, options))
            hit = true;
        else
            hit = FindText(findText, down, matchCase, wholeWord, false);
        if (!hit) {
            EditorMessage(Dialogs, this,
                passes > 0 ? QStringLiteral("Text replaced.") : QStringLiteral("Text not found."),
                false);
            break;
        }
        ++passes;
        SetSelText(dialog->ReplaceText());
        hit = FindText(findText, down, matchCase, wholeWord, false);
        ScrollInView();
    } while (all);
    viewport()->update();
}

} // namespace qd
