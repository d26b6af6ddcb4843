#pragma once

// The small modal window that asks the user for one value: substitution variables and ACCEPT
// during a script run, and a general one-line input box elsewhere (the security password). A
// script run asks from its worker thread; the window itself always lives and shows on the GUI
// thread.

#include "worksheet/SubstituteVariables.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qd {

// What the hidden masked box expects, by the ACCEPT command's data type.
inline constexpr quint8 vpmNumber = 0;
inline constexpr quint8 vpmNone = 1;
inline constexpr quint8 vpmDate = 2;

class TKXVarPrompt : public QDialog {
    Q_OBJECT
public:
    explicit TKXVarPrompt(QWidget *parent = nullptr);
    ~TKXVarPrompt() override;

    // Shows the window modally on the calling thread, which must be the GUI thread. format (the
    // ACCEPT command's format text) is not used by the window. Returns true when the user
    // confirmed with OK; Value() then holds the text. Any other close leaves Value() as it was.
    bool Execute(const QString &caption, const QString &prompt, quint8 maskKind,
        const QString &format, const QString &defaultValue, bool password);

    // Execute from any thread: a worker waits while the GUI thread shows the window and keeps
    // processing events. Empty when the user cancelled or the window went away meanwhile.
    std::optional<QString> Ask(const QString &caption, const QString &prompt, quint8 maskKind,
        const QString &format, const QString &defaultValue, bool password);

    // The text last confirmed with OK; it survives between calls.
    QString Value() const { return m_value; }

    // An asker for SubstituteVariables that shows this window with the caption "Substitution
    // Variable"; safe to call from a run's worker thread.
    TSubVarAsker SubstitutionAsker();

    QLabel *lblPrompt() const { return m_lblPrompt; }
    QLineEdit *edtValue() const { return m_edtValue; }
    // Hidden; its mask follows the requested data type.
    QLineEdit *emValue() const { return m_emValue; }
    QPushButton *btnOK() const { return m_btnOK; }
    QPushButton *btnCancel() const { return m_btnCancel; }

private:
    static std::optional<QString> askThrough(const QPointer<TKXVarPrompt> &prompt,
        const QString &caption, const QString &text, quint8 maskKind, const QString &format,
        const QString &defaultValue, bool password);
    void btnOKClick();
    void centreOnScreen();

    QLabel *m_lblPrompt;
    QLineEdit *m_edtValue;
    QLineEdit *m_emValue;
    QPushButton *m_btnOK;
    QPushButton *m_btnCancel;
    QString m_value;
};

// Asks for one masked value in a new prompt (the security password): the text in the box,
// however the prompt was closed.
QString AskMaskedPromptValue(QWidget *parent, const QString &caption, const QString &label);

} // namespace qd
