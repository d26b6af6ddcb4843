#include "shell/SQLHistoryForm.h"

#include "classlib/DataLink.h"
#include "classlib/DataSource.h"
#include "classlib/Field.h"
#include "dbcontrols/DBEdit.h"
#include "history/DbfTable.h"
#include "history/TextSearch.h"
#include "oracle/ScreenServices.h"
#include "shell/WindowServices.h"

#include <QAction>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace qd {

// ---- Find dialog

TSQLHistoryFindDialog::TSQLHistoryFindDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    auto *label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("FindText"));
    label->setBuddy(m_text);
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCase"));
    m_wholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    m_wholeWord->setObjectName(QStringLiteral("WholeWord"));
    auto *direction = new QGroupBox(QStringLiteral("Direction"), this);
    m_up = new QRadioButton(QStringLiteral("&Up"), direction);
    m_up->setObjectName(QStringLiteral("DirectionUp"));
    m_down = new QRadioButton(QStringLiteral("&Down"), direction);
    m_down->setObjectName(QStringLiteral("DirectionDown"));
    m_down->setChecked(true);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    m_findNext = new QPushButton(QStringLiteral("&Find Next"), this);
    m_findNext->setObjectName(QStringLiteral("FindNext"));
    m_findNext->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text, 0, 1, 1, 2);
    grid->addWidget(m_findNext, 0, 3);
    grid->addWidget(m_matchCase, 1, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);
    grid->addWidget(cancel, 1, 3);
    grid->addWidget(m_wholeWord, 2, 0, 1, 2);

    connect(m_text, &QLineEdit::textChanged, this,
        [this](const QString &text) { m_findNext->setEnabled(!text.isEmpty()); });
    m_findNext->setEnabled(false);
    connect(m_findNext, &QPushButton::clicked, this, [this] {
        if (OnFind)
            OnFind();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TSQLHistoryFindDialog::FindText() const
{
    return m_text->text();
}

void TSQLHistoryFindDialog::SetFindText(const QString &text)
{
    m_text->setText(text);
}

bool TSQLHistoryFindDialog::MatchCase() const
{
    return m_matchCase->isChecked();
}

bool TSQLHistoryFindDialog::WholeWord() const
{
    return m_wholeWord->isChecked();
}

bool TSQLHistoryFindDialog::Down() const
{
    return m_down->isChecked();
}

void TSQLHistoryFindDialog::SetDown(bool down)
{
    (down ? m_down : m_up)->setChecked(true);
}

// ---- The window

class TFrmSQLHistory::RecordLink : public TDataLink {
public:
    explicit RecordLink(TFrmSQLHistory &form)
        : m_form(form)
    {
    }

protected:
    void ActiveChanged() override { m_form.showRecord(); }
    void RecordChanged(TField *) override { m_form.showRecord(); }

private:
    TFrmSQLHistory &m_form;
};

TFrmSQLHistory::TFrmSQLHistory(TDbfTable *table, MainWindowInterface *main, QWidget *parent)
    : QMainWindow(parent)
    , m_table(table)
    , m_main(main)
    , m_source(std::make_unique<TDataSource>())
    , m_link(std::make_unique<RecordLink>(*this))
{
    setObjectName(QStringLiteral("FrmSQLHistory"));
    setWindowTitle(QStringLiteral("SQL History"));
    m_source->SetAutoEdit(false);

    QMenu *history = menuBar()->addMenu(QStringLiteral("&History"));
    history->setObjectName(QStringLiteral("History1"));
    QAction *clear = history->addAction(QStringLiteral("&Clear History"));
    clear->setObjectName(QStringLiteral("ClearHistory1"));
    connect(clear, &QAction::triggered, this, [this] { ClearHistory1Click(); });
    QAction *find = history->addAction(QStringLiteral("&Find"));
    find->setObjectName(QStringLiteral("Find1"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(find);
    connect(find, &QAction::triggered, this, [this] { Find1Click(); });

    buildNavigator();

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("RecordPanel"));
    auto *grid = new QGridLayout(panel);
    auto addEdit = [&](int row, const char *field) {
        auto *label = new QLabel(QLatin1String(field), panel);
        auto *edit = new TDBEdit(panel);
        edit->setObjectName(QStringLiteral("Edit") + QLatin1String(field));
        edit->setReadOnly(true);
        edit->SetDataSource(m_source.get());
        edit->SetDataField(QLatin1String(field));
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    m_runDate = addEdit(0, "RUNDATE");
    m_userName = addEdit(1, "USERNAME");
    m_instance = addEdit(2, "INSTANCE");
    m_runDate->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
    auto *sqlLabel = new QLabel(QStringLiteral("SQL"), panel);
    m_memo = new QPlainTextEdit(panel);
    m_memo->setObjectName(QStringLiteral("MemoSQL"));
    m_memo->setReadOnly(true);
    m_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_memo->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sqlLabel->setBuddy(m_memo);
    grid->addWidget(sqlLabel, 3, 0, Qt::AlignTop);
    grid->addWidget(m_memo, 3, 1);
    grid->setRowStretch(3, 1);
    setCentralWidget(panel);

    m_source->SetDataSet(m_table);
    m_link->SetDataSource(m_source.get());
    showRecord();
}

TFrmSQLHistory::~TFrmSQLHistory()
{
    // The table outlives the window: its controls let go of it first.
    m_link->SetDataSource(nullptr);
    m_runDate->SetDataSource(nullptr);
    m_userName->SetDataSource(nullptr);
    m_instance->SetDataSource(nullptr);
    m_source->SetDataSet(nullptr);
}

void TFrmSQLHistory::buildNavigator()
{
    m_navigator = addToolBar(QStringLiteral("Navigator"));
    m_navigator->setObjectName(QStringLiteral("DBNavigator1"));
    m_navigator->setMovable(false);
    struct Button {
        const char *name;
        const char *hint;
        QStyle::StandardPixmap icon;
        void (TFrmSQLHistory::*command)();
    };
    const Button buttons[] = {
        { "nbFirst", "First Record", QStyle::SP_MediaSkipBackward, &TFrmSQLHistory::navFirst },
        { "nbPrior", "Previous Record", QStyle::SP_MediaSeekBackward, &TFrmSQLHistory::navPrior },
        { "nbNext", "Next Record", QStyle::SP_MediaSeekForward, &TFrmSQLHistory::navNext },
        { "nbLast", "Last Record", QStyle::SP_MediaSkipForward, &TFrmSQLHistory::navLast },
        { "nbDelete", "Delete Record", QStyle::SP_DialogDiscardButton, &TFrmSQLHistory::navDelete },
        { "nbRefresh", "Refresh", QStyle::SP_BrowserReload, &TFrmSQLHistory::navRefresh },
    };
    for (const Button &button : buttons) {
        QAction *action = m_navigator->addAction(style()->standardIcon(button.icon), QLatin1String(button.hint));
        action->setObjectName(QLatin1String(button.name));
        action->setToolTip(QLatin1String(button.hint));
        action->setStatusTip(QLatin1String(button.hint));
        connect(action, &QAction::triggered, this, [this, command = button.command] { runNavigator(command); });
    }
    m_navigator->addSeparator();
    m_editRecord = new QPushButton(QStringLiteral("Edit Current Record"), m_navigator);
    m_editRecord->setObjectName(QStringLiteral("EditCurrentRecord"));
    m_navigator->addWidget(m_editRecord);
    connect(m_editRecord, &QPushButton::clicked, this, [this] { EditCurrentRecordClick(); });
}

QAction *TFrmSQLHistory::NavigatorAction(const QString &name) const
{
    return m_navigator->findChild<QAction *>(name);
}

QString TFrmSQLHistory::fieldText(const char *name) const
{
    if (!m_table || !m_table->Active() || m_table->IsEmpty())
        return {};
    TField *field = m_table->FindField(QLatin1String(name));
    return field ? field->AsString() : QString();
}

void TFrmSQLHistory::showRecord()
{
    const bool active = m_table && m_table->Active();
    const bool hasRecord = active && !m_table->IsEmpty();
    try {
        m_memo->setPlainText(fieldText("SQL"));
    } catch (...) {
        m_memo->clear();
        ShowCurrentException();
    }
    NavigatorAction(QStringLiteral("nbFirst"))->setEnabled(hasRecord && !m_table->Bof());
    NavigatorAction(QStringLiteral("nbPrior"))->setEnabled(hasRecord && !m_table->Bof());
    NavigatorAction(QStringLiteral("nbNext"))->setEnabled(hasRecord && !m_table->Eof());
    NavigatorAction(QStringLiteral("nbLast"))->setEnabled(hasRecord && !m_table->Eof());
    NavigatorAction(QStringLiteral("nbDelete"))->setEnabled(hasRecord);
    NavigatorAction(QStringLiteral("nbRefresh"))->setEnabled(active);
    m_editRecord->setEnabled(hasRecord);
}

void TFrmSQLHistory::runNavigator(void (TFrmSQLHistory::*command)())
{
    if (!m_table || !m_table->Active())
        return;
    try {
        (this->*command)();
    } catch (...) {
        ShowCurrentException();
    }
    showRecord();
}

void TFrmSQLHistory::navFirst()
{
    m_table->First();
}

void TFrmSQLHistory::navPrior()
{
    m_table->Prior();
}

void TFrmSQLHistory::navNext()
{
    m_table->Next();
}

void TFrmSQLHistory::navLast()
{
    m_table->Last();
}

void TFrmSQLHistory::navDelete()
{
    if (m_table->IsEmpty())
        return;
    if (ScreenConfirm(QStringLiteral("Delete record?"), QStringLiteral("YN")) == mrYes)
        m_table->Delete();
}

void TFrmSQLHistory::navRefresh()
{
    m_table->Refresh();
}

void TFrmSQLHistory::ClearHistory1Click()
{
    if (ScreenConfirm(QStringLiteral("Clear the SQL History?"), QStringLiteral("YN")) != mrYes)
        return;
    if (!m_table || !m_table->Active())
        return;
    try {
        m_table->EmptyTable();
    } catch (...) {
        ShowCurrentException();
    }
    showRecord();
}

void TFrmSQLHistory::Find1Click()
{
    if (!m_findDialog) {
        m_findDialog = new TSQLHistoryFindDialog(this);
        m_findDialog->OnFind = [this] { FindDialog1Find(); };
    }
    m_findContinue = false;
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

void TFrmSQLHistory::FindDialog1Find()
{
    const QString text = m_findDialog ? m_findDialog->FindText() : QString();
    if (text.isEmpty() || !m_table || !m_table->Active())
        return;
    const bool matchCase = m_findDialog->MatchCase();
    const bool wholeWord = m_findDialog->WholeWord();
    bool found = false;
    try {
        found = m_table->FindSQLText(text, matchCase, wholeWord, m_findDialog->Down(), m_findContinue);
    } catch (...) {
        ShowCurrentException();
        return;
    }
    m_findContinue = true;
    if (!found) {
        ScreenMessage(mkInformation, QStringLiteral("Not found"));
        return;
    }
    showRecord();
    const qsizetype at = FindText(m_memo->toPlainText(), text, matchCase, wholeWord);
    if (at < 0)
        return;
    QTextCursor cursor = m_memo->textCursor();
    cursor.setPosition(int(at));
    cursor.setPosition(int(at + text.size()), QTextCursor::KeepAnchor);
    m_memo->setTextCursor(cursor);
    m_memo->ensureCursorVisible();
}

void TFrmSQLHistory::EditCurrentRecordClick()
{
    if (!m_main || !m_table || !m_table->Active() || m_table->IsEmpty())
        return;
    try {
        m_main->EditHistoryRecord(fieldText("USERNAME"), fieldText("INSTANCE"), fieldText("SQL"));
    } catch (...) {
        ShowCurrentException();
    }
}

} // namespace qd
