#include "worksheet/VarPrompt.h"

#include "classlib/ThreadHandOver.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QThread>

namespace qd {

namespace {

// The hidden masked box's input mask for each data type of ACCEPT: up to twenty digits, or a
// day/month/year date with "_" for the places not yet typed.
QString maskFor(quint8 maskKind)
{
    switch (maskKind) {
    case vpmNumber:
        return QStringLiteral("00000000000000000000");
    case vpmDate:
        return QStringLiteral("99/99/0000;_");
    default:
        return QString();
    }
}

} // namespace

TKXVarPrompt::TKXVarPrompt(QWidget *parent)
    : QDialog(parent)
    , m_lblPrompt(new QLabel(QStringLiteral("Enter value for variable"), this))
    , m_edtValue(new QLineEdit(this))
    , m_emValue(new QLineEdit(this))
    , m_btnOK(new QPushButton(QStringLiteral("OK"), this))
    , m_btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("TKXVarPrompt"));
    setWindowTitle(QStringLiteral("Substitution Variable"));
    m_lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    m_lblPrompt->setBuddy(m_edtValue);
    m_edtValue->setObjectName(QStringLiteral("edtValue"));
    m_edtValue->setMinimumWidth(320);
    m_emValue->setObjectName(QStringLiteral("emValue"));
    m_emValue->hide();
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setDefault(true);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    m_btnCancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblPrompt);
    layout->addWidget(m_edtValue);
    layout->addWidget(m_emValue);
    layout->addLayout(buttons);
    setTabOrder(m_edtValue, m_btnOK);
    setTabOrder(m_btnOK, m_btnCancel);

    connect(m_btnOK, &QPushButton::clicked, this, &TKXVarPrompt::btnOKClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TKXVarPrompt::~TKXVarPrompt() = default;

void TKXVarPrompt::btnOKClick()
{
    m_value = m_edtValue->text();
    accept();
}

void TKXVarPrompt::centreOnScreen()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    adjustSize();
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

bool TKXVarPrompt::Execute(const QString &caption, const QString &prompt, quint8 maskKind,
    const QString & /*format*/, const QString &defaultValue, bool password)
{
    Q_ASSERT(QThread::currentThread() == thread());
    setWindowTitle(caption);
    m_lblPrompt->setText(prompt);
    m_edtValue->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    m_edtValue->setText(defaultValue);
    m_edtValue->selectAll();
    m_emValue->setInputMask(maskFor(maskKind));
    m_edtValue->setFocus();
    centreOnScreen();
    QPointer<TKXVarPrompt> self(this);
    const int result = exec();
    // The owner may have gone while the window was open: then nothing was confirmed.
    return self && result == QDialog::Accepted;
}

std::optional<QString> TKXVarPrompt::Ask(const QString &caption, const QString &prompt,
    quint8 maskKind, const QString &format, const QString &defaultValue, bool password)
{
    return askThrough(
        QPointer<TKXVarPrompt>(this), caption, prompt, maskKind, format, defaultValue, password);
}

std::optional<QString> TKXVarPrompt::askThrough(const QPointer<TKXVarPrompt> &prompt,
    const QString &caption, const QString &text, quint8 maskKind, const QString &format,
    const QString &defaultValue, bool password)
{
    std::optional<QString> answer;
    // Runs on the GUI thread, where the window may be destroyed: only there is the guard read.
    const auto show = [&] {
        if (prompt && prompt->Execute(caption, text, maskKind, format, defaultValue, password)
            && prompt)
            answer = prompt->m_value;
    };
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return answer;
    if (QThread::currentThread() == app->thread()) {
        // Already on the GUI thread: a blocking call to our own thread would never run.
        show();
    } else {
        // The worker waits while the GUI thread shows the window. The call goes through the
        // application object, which outlives every window, so a window closed meanwhile only
        // means no answer.
        BlockingCall(app, show);
    }
    return answer;
}

TSubVarAsker TKXVarPrompt::SubstitutionAsker()
{
    const QPointer<TKXVarPrompt> self(this);
    return [self](const QString &promptText, const QString & /*name*/) -> std::optional<QString> {
        return askThrough(self, QStringLiteral("Substitution Variable"), promptText, vpmNone,
            QString(), QString(), false);
    };
}

QString AskMaskedPromptValue(QWidget *parent, const QString &caption, const QString &label)
{
    // On the heap: the parent may go away while the prompt is open and take it along.
    QPointer<TKXVarPrompt> prompt = new TKXVarPrompt(parent);
    prompt->Execute(caption, label, vpmNone, QString(), QString(), true);
    if (!prompt)
        return QString();
    const QString text = prompt->edtValue()->text();
    delete prompt;
    return text;
}

} // namespace qd
