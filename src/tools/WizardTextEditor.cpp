#include "tools/WizardTextEditor.h"

#include "editor/CodeMemo.h"
#include "editor/HighlightHost.h"
#include "editor/SQLHighlighting.h"

#include <QVBoxLayout>

namespace qd {

WizardTextEditor::WizardTextEditor(QWidget *parent)
    : QWidget(parent)
    , m_highlighting(std::make_unique<TSQLHighlighting>())
    , m_memo(new TCodeMemo(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);
    setFocusProxy(m_memo);
    m_memo->SetScrollBars(ssBoth);
    m_memo->SetWordWrap(false);
    m_highlighting->AttachTo(*m_memo);
    connect(m_memo, &TCodeMemo::changed, this, [this] {
        if (!m_loading)
            emit textChanged();
    });
}

WizardTextEditor::~WizardTextEditor()
{
    // The editor outlives this object's members (it is a child widget): let go of the
    // highlighter first.
    m_memo->SetHighlighter(nullptr);
}

QStringList WizardTextEditor::lines() const
{
    QStringList result;
    const qint64 count = m_memo->ParagraphCount();
    if (count == 1 && m_memo->GetParagraphText(0).isEmpty())
        return result;
    result.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        result.append(m_memo->GetParagraphText(i));
    return result;
}

void WizardTextEditor::setLines(const QStringList &lines)
{
    m_loading = true;
    m_memo->SetTextBuf(lines.join(QStringLiteral("\r\n")));
    m_memo->ClearUndo();
    m_memo->SetModified(false);
    m_memo->SetSelStart(0);
    m_loading = false;
    m_memo->update();
}

void WizardTextEditor::setEditorFont(const QFont &font, const QColor &textColor)
{
    m_memo->setFont(font);
    QPalette palette = m_memo->palette();
    palette.setColor(QPalette::Text, textColor);
    m_memo->setPalette(palette);
}

void WizardTextEditor::addKeywords(const QStringList &keywords)
{
    m_highlighting->AddKeywords(keywords);
    m_memo->Highlighting().Rehighlight();
}

} // namespace qd
