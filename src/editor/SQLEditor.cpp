#include "editor/SQLEditor.h"

#include "editor/HighlightHost.h"

namespace qd {

TSQLEditor::TSQLEditor(QWidget *parent)
    : TCodeEditor(parent)
    , m_highlighting(std::make_unique<TSQLHighlighting>())
{
    // The editor's style hot keys (Ctrl+B, Ctrl+I, ...) are off: SQL text carries no styles.
    SetEnableHotKeys(false);
    m_highlighting->AttachTo(*this);
}

TSQLEditor::~TSQLEditor()
{
    m_highlighting.reset();
}

void TSQLEditor::AddKeywords(const QStringList &keywords, TColor color)
{
    m_highlighting->AddKeywords(keywords, color);
    Highlighting().Rehighlight();
    viewport()->update();
}

} // namespace qd
