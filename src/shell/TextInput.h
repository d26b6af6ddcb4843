#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qd {

// A one-line text prompt where the program needs a name from the user. Reused: closing only
// hides it, and each Execute starts with an empty edit.
class TTextInput : public QDialog {
    Q_OBJECT

public:
    explicit TTextInput(QWidget *parent = nullptr);

    // Sets the caption and the prompt, empties the edit and shows the dialog modally; the
    // modal result (Accepted for OK).
    int Execute(const QString &caption, const QString &prompt);
    // The text entered when OK was pressed.
    const QString &Value() const { return m_value; }

    QLabel *lblPrompt = nullptr;
    QLineEdit *edtValue = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void btnOKClick();

    QString m_value;
};

} // namespace qd
