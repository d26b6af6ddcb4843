#include "editor/FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qd {

TFindDialog::TFindDialog(QWidget *parent)
    : TFindDialog(false, parent)
{
}

TFindDialog::TFindDialog(bool replace, QWidget *parent)
    : QDialog(parent)
    , m_findText(new QLineEdit)
    , m_wholeWord(new QCheckBox(QStringLiteral("Match &whole word only")))
    , m_matchCase(new QCheckBox(QStringLiteral("Match &case")))
    , m_findNext(new QPushButton(QStringLiteral("&Find Next")))
    , m_cancel(new QPushButton(QStringLiteral("Cancel")))
    , m_fields(new QGridLayout)
    , m_buttons(new QVBoxLayout)
{
    setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);
    m_findText->setObjectName(QStringLiteral("FindText"));
    m_wholeWord->setObjectName(QStringLiteral("WholeWord"));
    m_matchCase->setObjectName(QStringLiteral("MatchCase"));
    m_findNext->setObjectName(QStringLiteral("FindNext"));
    m_cancel->setObjectName(QStringLiteral("Cancel"));

    QGridLayout *fields = m_fields;
    auto *findLabel = new QLabel(QStringLiteral("Fi&nd what:"));
    findLabel->setBuddy(m_findText);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_findText, 0, 1);

    auto *choices = new QHBoxLayout;
    auto *checks = new QVBoxLayout;
    checks->addWidget(m_wholeWord);
    checks->addWidget(m_matchCase);
    checks->addStretch();
    choices->addLayout(checks);
    if (!replace) {
        auto *group = new QGroupBox(QStringLiteral("Direction"));
        m_up = new QRadioButton(QStringLiteral("&Up"));
        m_down = new QRadioButton(QStringLiteral("&Down"));
        m_up->setObjectName(QStringLiteral("Up"));
        m_down->setObjectName(QStringLiteral("Down"));
        m_down->setChecked(true);
        auto *directions = new QHBoxLayout(group);
        directions->addWidget(m_up);
        directions->addWidget(m_down);
        m_direction = group;
        choices->addWidget(group);
    }

    auto *left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(choices);

    QVBoxLayout *buttons = m_buttons;
    buttons->addWidget(m_findNext);
    if (!replace)
        buttons->addWidget(m_cancel);

    auto *main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addLayout(buttons);

    m_findNext->setDefault(true);
    m_findNext->setEnabled(false);
    connect(m_findText, &QLineEdit::textChanged, this,
        [this](const QString &text) { m_findNext->setEnabled(!text.isEmpty()); });
    connect(m_findNext, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const
{
    return m_findText->text();
}

void TFindDialog::SetFindText(const QString &text)
{
    m_findText->setText(text);
}

TFindOptions TFindDialog::Options() const
{
    TFindOptions options = m_request;
    if (!m_up || !m_up->isChecked())
        options |= frDown;
    if (m_wholeWord->isChecked())
        options |= frWholeWord;
    if (m_matchCase->isChecked())
        options |= frMatchCase;
    if (!m_direction || m_direction->isHidden())
        options |= frHideUpDown;
    return options;
}

void TFindDialog::SetOptions(TFindOptions options)
{
    if (m_up) {
        m_up->setChecked(!(options & frDown));
        m_down->setChecked(options & frDown);
    }
    if (m_direction)
        m_direction->setVisible(!(options & frHideUpDown));
    m_wholeWord->setChecked(options & frWholeWord);
    m_matchCase->setChecked(options & frMatchCase);
    m_request = options & (frFindNext | frReplace | frReplaceAll);
}

void TFindDialog::Execute()
{
    show();
    raise();
    activateWindow();
    m_findText->setFocus();
    m_findText->selectAll();
}

void TFindDialog::request(TFindOption what)
{
    m_request = what;
}

void TFindDialog::FindNext()
{
    if (FindText().isEmpty())
        return;
    request(frFindNext);
    if (OnFind)
        OnFind(this);
}

void TFindDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (OnShow)
        OnShow(this);
}

void TFindDialog::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (OnClose)
        OnClose(this);
}

TReplaceDialog::TReplaceDialog(QWidget *parent)
    : TFindDialog(true, parent)
    , m_replaceText(new QLineEdit)
    , m_replace(new QPushButton(QStringLiteral("&Replace")))
    , m_replaceAll(new QPushButton(QStringLiteral("Replace &All")))
{
    m_replaceText->setObjectName(QStringLiteral("ReplaceText"));
    m_replace->setObjectName(QStringLiteral("Replace"));
    m_replaceAll->setObjectName(QStringLiteral("ReplaceAll"));
    QGridLayout *fields = m_fields;
    auto *label = new QLabel(QStringLiteral("Re&place with:"));
    label->setBuddy(m_replaceText);
    fields->addWidget(label, 1, 0);
    fields->addWidget(m_replaceText, 1, 1);
    setTabOrder(m_findText, m_replaceText);

    QVBoxLayout *buttons = m_buttons;
    buttons->addWidget(m_replace);
    buttons->addWidget(m_replaceAll);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    m_replace->setEnabled(false);
    m_replaceAll->setEnabled(false);
    connect(m_findText, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_replace->setEnabled(!text.isEmpty());
        m_replaceAll->setEnabled(!text.isEmpty());
    });
    connect(m_replace, &QPushButton::clicked, this, [this] { Replace(); });
    connect(m_replaceAll, &QPushButton::clicked, this, [this] { ReplaceAll(); });
}

QString TReplaceDialog::ReplaceText() const
{
    return m_replaceText->text();
}

void TReplaceDialog::SetReplaceText(const QString &text)
{
    m_replaceText->setText(text);
}

void TReplaceDialog::Replace()
{
    if (FindText().isEmpty())
        return;
    request(frReplace);
    if (OnReplace)
        OnReplace(this);
}

void TReplaceDialog::ReplaceAll()
{
    if (FindText().isEmpty())
        return;
    request(frReplaceAll);
    if (OnReplace)
        OnReplace(this);
}

} // namespace qd
