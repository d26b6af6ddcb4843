#pragma once

// The wizard editor's SQL text box. Until the SQL editor control is ready, the code editor
// control with the SQL highlighting stands in for it; this class is the one place that changes
// when the SQL editor takes over.

#include <QStringList>
#include <QWidget>

#include <memory>

namespace qd {

class TCodeMemo;
class TSQLHighlighting;

class WizardTextEditor : public QWidget {
    Q_OBJECT
public:
    explicit WizardTextEditor(QWidget *parent = nullptr);
    ~WizardTextEditor() override;

    // The text as lines; an empty text has none.
    QStringList lines() const;
    // Replaces the text without signalling a change.
    void setLines(const QStringList &lines);

    // The font (and its colour) of the SQL editor setting; the keywords are coloured blue.
    void setEditorFont(const QFont &font, const QColor &textColor);
    void addKeywords(const QStringList &keywords);

    TCodeMemo *memo() const { return m_memo; }

signals:
    // The user changed the text.
    void textChanged();

private:
    std::unique_ptr<TSQLHighlighting> m_highlighting;
    TCodeMemo *m_memo;
    bool m_loading = false;
};

} // namespace qd
