#pragma once

#include <QDialog>
#include <QFlags>

#include <functional>

class QCheckBox;
class QGridLayout;
class QVBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qd {

// Choices and requests of the find and replace dialogs.
enum TFindOption : quint32 {
    frDown = 1u << 0,
    frWholeWord = 1u << 1,
    frMatchCase = 1u << 2,
    frFindNext = 1u << 3,
    frReplace = 1u << 4,
    frReplaceAll = 1u << 5,
    frHideUpDown = 1u << 6,
};
Q_DECLARE_FLAGS(TFindOptions, TFindOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFindOptions)

// The modeless find dialog: "Find what", whole word, match case, direction, "Find Next" and
// "Cancel". Find Next (or Enter) fires OnFind with frFindNext set in Options(); the owner
// searches. Escape or Cancel closes it.
class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget *parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString &text);
    // The choices on screen plus the request of the button pressed last.
    TFindOptions Options() const;
    void SetOptions(TFindOptions options);

    // Shows the dialog (raised when already shown) with the find text selected.
    void Execute();
    // Presses Find Next.
    void FindNext();

    std::function<void(TFindDialog *sender)> OnFind;
    std::function<void(TFindDialog *sender)> OnShow;
    std::function<void(TFindDialog *sender)> OnClose;

protected:
    TFindDialog(bool replace, QWidget *parent);
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void request(TFindOption what);

    QLineEdit *m_findText;
    QCheckBox *m_wholeWord;
    QCheckBox *m_matchCase;
    QRadioButton *m_up = nullptr;
    QRadioButton *m_down = nullptr;
    QWidget *m_direction = nullptr;
    QPushButton *m_findNext;
    QPushButton *m_cancel;
    QGridLayout *m_fields;
    QVBoxLayout *m_buttons;
    TFindOptions m_request;
};

// The modeless replace dialog: the find dialog's fields plus "Replace with", "Replace" and
// "Replace All". Replace and Replace All fire OnReplace with frReplace or frReplaceAll set.
class TReplaceDialog : public TFindDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget *parent = nullptr);

    QString ReplaceText() const;
    void SetReplaceText(const QString &text);
    void Replace();
    void ReplaceAll();

    std::function<void(TFindDialog *sender)> OnReplace;

private:
    QLineEdit *m_replaceText;
    QPushButton *m_replace;
    QPushButton *m_replaceAll;
};

} // namespace qd
