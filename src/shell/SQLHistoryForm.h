#pragma once

#include <QDialog>
#include <QMainWindow>

#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolBar;

namespace qd {

class MainWindowInterface;
class TDBEdit;
class TDataSource;
class TDbfTable;

// The find dialog of the history window: the text, match case, whole word and the direction.
// It stays open beside the window; each Find Next runs OnFind.
class TSQLHistoryFindDialog : public QDialog {
    Q_OBJECT

public:
    explicit TSQLHistoryFindDialog(QWidget *parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString &text);
    bool MatchCase() const;
    bool WholeWord() const;
    bool Down() const;
    void SetDown(bool down);

    std::function<void()> OnFind;

private:
    QLineEdit *m_text;
    QCheckBox *m_matchCase;
    QCheckBox *m_wholeWord;
    QRadioButton *m_up;
    QRadioButton *m_down;
    QPushButton *m_findNext;
};

// The SQL history window (an MDI child): one record of the main window's history table at a
// time, with a navigator bar, Find over the scripts, Clear History and Edit Current Record,
// which reopens the script in a worksheet through the main window.
class TFrmSQLHistory : public QMainWindow {
    Q_OBJECT

public:
    // table is the main window's SQLDbf (it may be closed); main reopens records.
    TFrmSQLHistory(TDbfTable *table, MainWindowInterface *main, QWidget *parent = nullptr);
    ~TFrmSQLHistory() override;

    // ---- commands
    void ClearHistory1Click();
    // Shows the find dialog; the next search starts at the current record.
    void Find1Click();
    // One search with the dialog's options (Find Next).
    void FindDialog1Find();
    void EditCurrentRecordClick();

    TSQLHistoryFindDialog *FindDialog1() const { return m_findDialog; }
    QPlainTextEdit *SQLMemo() const { return m_memo; }
    QAction *NavigatorAction(const QString &name) const;

private:
    class RecordLink;
    friend class RecordLink;

    void buildNavigator();
    // The memo and the navigator buttons follow the current record.
    void showRecord();
    void runNavigator(void (TFrmSQLHistory::*command)());
    void navFirst();
    void navPrior();
    void navNext();
    void navLast();
    void navDelete();
    void navRefresh();
    QString fieldText(const char *name) const;

    TDbfTable *m_table;
    MainWindowInterface *m_main;
    std::unique_ptr<TDataSource> m_source;
    std::unique_ptr<RecordLink> m_link;
    TDBEdit *m_runDate = nullptr;
    TDBEdit *m_userName = nullptr;
    TDBEdit *m_instance = nullptr;
    QPlainTextEdit *m_memo = nullptr;
    QToolBar *m_navigator = nullptr;
    QPushButton *m_editRecord = nullptr;
    TSQLHistoryFindDialog *m_findDialog = nullptr;
    // Set after every search, cleared when the dialog is shown: later searches move on first.
    bool m_findContinue = false;
};

} // namespace qd
