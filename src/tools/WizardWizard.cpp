#include "tools/WizardWizard.h"

#include "classlib/Exception.h"
#include "editor/SQLHighlighting.h"
#include "oracle/ScreenServices.h"
#include "shell/SettingFont.h"
#include "shell/WindowServices.h"
#include "shell/WizardFile.h"
#include "tools/DynamicRecord.h"
#include "tools/WizardTextEditor.h"
#include "worksheet/WizardForm.h"
#include "worksheet/WorksheetSettings.h"

#include "ui_WizardWizard.h"

#include <algorithm>

#include <QCloseEvent>
#include <QFocusEvent>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QTemporaryFile>
#include <QTimer>

namespace qd {

namespace {

const QString recordTable = QStringLiteral("WizRec");
const QString fieldDataType = QStringLiteral("DataType");
const QString fieldPrompt = QStringLiteral("Prompt");
const QString fieldPage = QStringLiteral("Page");
const QString newVariablePrompt = QStringLiteral("Enter value:");

// The record's text fields hold the controls' character limits whatever the script: the store
// counts UTF-8 bytes, up to four per character.
constexpr quint16 bytesPerCharacter = 4;

// Another window coming to the front (a message box, another program) or a popup opening does
// not end an edit; the user moving to another control does.
bool leftByUser(const QFocusEvent *event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

QColor settingColor(qint32 color, const QWidget *widget)
{
    if (color < 0)
        return widget->palette().color(QPalette::Text);
    return QColor(color & 0xff, (color >> 8) & 0xff, (color >> 16) & 0xff);
}

} // namespace

TfrmWizardWizard::TfrmWizardWizard(QWidget *owner, const QString &fileName)
    : QWidget(nullptr)
    , m_ui(std::make_unique<Ui::TfrmWizardWizard>())
    , m_records(std::make_unique<TDynamicRecord>())
    , m_fileName(fileName)
{
    Q_UNUSED(owner); // the main window adopts it as an MDI child
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->setupUi(this);
    FormCreate();
    if (!m_fileName.isEmpty()) {
        readFile();
        setFileCaption();
    }
}

TfrmWizardWizard::~TfrmWizardWizard() = default;

void TfrmWizardWizard::FormCreate()
{
    m_records->AddTable(recordTable);
    m_records->AddField(recordTable, fieldDataType, ftString, 40 * bytesPerCharacter, false);
    m_records->AddField(recordTable, fieldPrompt, ftString, 120 * bytesPerCharacter, false);
    m_records->AddField(recordTable, fieldPage, ftString, 60 * bytesPerCharacter, false);

    m_ui->lbPages->addItem(QStringLiteral("Page 1"));
    m_ui->lbPages->setCurrentRow(0);

    QStringList keywords;
    if (MainWindowInterface *main = mainWindow()) {
        keywords = main->SQLKeywords() + main->PLSQLKeywords();
        SettingFont font;
        if (WorksheetFont(main->Settings(), QStringLiteral("SQLEditor"), font))
            m_ui->seText->setEditorFont(font.toQFont(), settingColor(font.color, m_ui->seText));
    }
    m_ui->seText->addKeywords(keywords.isEmpty() ? BuiltInSQLKeywords() : keywords);

    m_ui->edtNewPage->installEventFilter(this);
    m_ui->edtNewVar->installEventFilter(this);

    connect(m_ui->btnNewPage, &QPushButton::clicked, this, [this] { btnNewPageClick(); });
    connect(m_ui->btnRenamePage, &QPushButton::clicked, this, [this] { btnRenamePageClick(); });
    connect(m_ui->btnDeletePage, &QPushButton::clicked, this, [this] { btnDeletePageClick(); });
    connect(m_ui->edtNewPage, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_pageEdit == EditKind::New && m_pageItem)
            m_pageItem->setText(text);
    });

    connect(m_ui->btnNewVar, &QPushButton::clicked, this, [this] { btnNewVarClick(); });
    connect(m_ui->btnRenameVar, &QPushButton::clicked, this, [this] { btnRenameVarClick(); });
    connect(m_ui->btnDeleteVar, &QPushButton::clicked, this, [this] { btnDeleteVarClick(); });
    connect(m_ui->edtNewVar, &QLineEdit::textEdited, this, [this](const QString &text) {
        // Names are kept in capitals as they are typed.
        const int cursor = m_ui->edtNewVar->cursorPosition();
        m_ui->edtNewVar->setText(text.toUpper());
        m_ui->edtNewVar->setCursorPosition(cursor);
        if (m_varEdit == EditKind::New && m_varItem)
            m_varItem->setText(text.toUpper());
    });
    connect(m_ui->lbVariables, &QListWidget::currentItemChanged, this,
        [this](QListWidgetItem *item) { showVariable(item); });
    connect(m_ui->cbDataType, &QComboBox::activated, this,
        [this] { writeVariableField(fieldDataType, m_ui->cbDataType->currentText()); });
    connect(m_ui->edtPrompt, &QLineEdit::textEdited, this,
        [this](const QString &text) { writeVariableField(fieldPrompt, text); });
    connect(m_ui->cbPage, &QComboBox::activated, this,
        [this] { writeVariableField(fieldPage, m_ui->cbPage->currentText()); });
    connect(m_ui->pcWizard, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_ui->pcWizard->widget(index) == m_ui->tsVariables)
            fillPageList();
    });

    // Any change the user makes is worth the question on close.
    connect(m_ui->edtWizDesc, &QLineEdit::textEdited, this, [this] { setModified(); });
    connect(m_ui->seText, &WizardTextEditor::textChanged, this, [this] { setModified(); });

    connect(m_ui->btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(m_ui->btnPreview, &QPushButton::clicked, this, [this] { btnPreviewClick(); });
    connect(m_ui->btnClose, &QPushButton::clicked, this, [this] {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->close();
        else
            close();
    });
}

void TfrmWizardWizard::setFileCaption()
{
    setWindowTitle(QStringLiteral("Wizard Editor - [%1]").arg(m_fileName));
}

// ---- reading and writing

void TfrmWizardWizard::readFile()
{
    TWizardFile wizard;
    try {
        ReadWizardFile(m_fileName, TWizardReader::Editor, wizard);
    } catch (const std::exception &) {
        const QString message = ExceptionMessage(std::current_exception());
        applyWizard(wizard);
        ScreenMessage(mkError,
            QStringLiteral("Could not open wizard file %1\n%2").arg(m_fileName, message));
        return;
    }
    try {
        applyWizard(wizard);
    } catch (const std::exception &) {
        ScreenMessage(mkError,
            QStringLiteral("Could not open wizard file %1\n%2")
                .arg(m_fileName, ExceptionMessage(std::current_exception())));
    }
}

void TfrmWizardWizard::applyWizard(const TWizardFile &wizard)
{
    m_ui->edtWizDesc->setText(wizard.Title);
    m_ui->seText->setLines(wizard.Lines);
    // A wizard always keeps a page: a file without one leaves the first "Page 1".
    if (!wizard.Pages.isEmpty()) {
        m_ui->lbPages->clear();
        for (const TWizardPage &page : wizard.Pages)
            m_ui->lbPages->addItem(page.Title);
        m_ui->lbPages->setCurrentRow(0);
    }
    for (const TWizardPage &page : wizard.Pages) {
        for (const TWizardVariable &variable : page.Variables) {
            const int id = m_records->AddRecord(recordTable,
                { fieldDataType, fieldPrompt, fieldPage },
                { variable.DataType, variable.Prompt, page.Title });
            auto *item = new QListWidgetItem(variable.Name);
            item->setData(Qt::UserRole, id);
            m_ui->lbVariables->addItem(item);
        }
    }
    if (m_ui->lbVariables->count() > 0)
        m_ui->lbVariables->setCurrentRow(0);
}

TWizardFile TfrmWizardWizard::collectWizard()
{
    TWizardFile wizard;
    wizard.Title = m_ui->edtWizDesc->text();
    wizard.Lines = m_ui->seText->lines();
    for (int p = 0; p < m_ui->lbPages->count(); ++p) {
        TWizardPage page;
        page.Title = m_ui->lbPages->item(p)->text();
        for (int v = 0; v < m_ui->lbVariables->count(); ++v) {
            QListWidgetItem *item = m_ui->lbVariables->item(v);
            QString table;
            VariantArray values; // ID, DataType, Prompt, Page
            if (!m_records->FindRecord(recordId(item), table, values) || values.size() < 4)
                continue;
            if (values[3].AsString() != page.Title)
                continue;
            page.Variables.append({ values[1].AsString(), item->text(), values[2].AsString() });
        }
        wizard.Pages.append(page);
    }
    return wizard;
}

QFileDialog *TfrmWizardWizard::SaveDialog()
{
    if (!m_saveDialog) {
        m_saveDialog = new QFileDialog(this, QStringLiteral("Save As"));
        m_saveDialog->setObjectName(QStringLiteral("SaveDialog1"));
        m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        m_saveDialog->setFileMode(QFileDialog::AnyFile);
        m_saveDialog->setDefaultSuffix(QStringLiteral("QDZ"));
        // Both letter cases, as files come from Windows machines too.
        m_saveDialog->setNameFilters({ QStringLiteral("Quarlo Desk Wizard (*.QDZ *.qdz)"),
            QStringLiteral("All Files (*)") });
    }
    return m_saveDialog;
}

bool TfrmWizardWizard::btnSaveClick()
{
    if (!finishEdits())
        return false;
    QString fileName = m_fileName;
    if (fileName.isEmpty()) {
        QFileDialog *dialog = SaveDialog();
        dialog->selectFile(QString());
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return false;
        fileName = dialog->selectedFiles().constFirst();
    }
    try {
        WriteWizardFile(fileName, collectWizard());
    } catch (const std::exception &) {
        ShowException(std::current_exception());
        return false;
    }
    if (fileName != m_fileName) {
        m_fileName = fileName;
        setFileCaption();
    }
    m_modified = false;
    return true;
}

QString TfrmWizardWizard::PreviewFileName() const
{
    return m_preview ? m_preview->fileName() : QString();
}

void TfrmWizardWizard::btnPreviewClick()
{
    if (!finishEdits())
        return;
    // A fresh file each time; the one before goes now rather than waiting for the close.
    auto preview = std::make_unique<QTemporaryFile>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("QuarloDeskWizardXXXXXX.qdz")));
    if (!preview->open()) {
        ScreenMessage(mkError,
            QStringLiteral("Cannot create a temporary file for the preview. %1")
                .arg(preview->errorString()));
        return;
    }
    preview->close();
    m_preview = std::move(preview);
    try {
        WriteWizardFile(m_preview->fileName(), collectWizard());
    } catch (const std::exception &) {
        ShowException(std::current_exception());
        return;
    }
    TfrmWizard runner(this, m_preview->fileName());
    runner.exec();
}

// ---- closing

void TfrmWizardWizard::closeEvent(QCloseEvent *event)
{
    MainWindowInterface *main = mainWindow();
    if (m_modified && !(main && main->ClosingAfterLock())) {
        const int answer = ScreenConfirm(QStringLiteral("Save changes?"), QStringLiteral("YNC"));
        if (answer == mrCancel || answer == mrNone || (answer == mrYes && !btnSaveClick())) {
            event->ignore();
            return;
        }
    }
    m_preview.reset();
    event->accept();
}

bool TfrmWizardWizard::finishEdits()
{
    if (m_pageEdit != EditKind::None && !endPageEdit())
        return false;
    if (m_varEdit != EditKind::None && !endVariableEdit())
        return false;
    return true;
}

void TfrmWizardWizard::refuse(const QString &message, QWidget *edit)
{
    m_refusing = true;
    ScreenMessage(mkWarning, message);
    m_refusing = false;
    // The focus is on its way elsewhere: bring it back once it has arrived.
    QTimer::singleShot(0, edit, [edit] { edit->setFocus(); });
}

bool TfrmWizardWizard::eventFilter(QObject *watched, QEvent *event)
{
    const bool pageEdit = watched == m_ui->edtNewPage;
    const bool varEdit = watched == m_ui->edtNewVar;
    if ((pageEdit || varEdit) && !m_refusing) {
        if (event->type() == QEvent::FocusOut && leftByUser(static_cast<QFocusEvent *>(event))) {
            if (pageEdit && m_pageEdit != EditKind::None)
                endPageEdit();
            else if (varEdit && m_varEdit != EditKind::None)
                endVariableEdit();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (pageEdit) {
                    focusNextChild();
                } else if (checkVariableName(m_ui->edtNewVar->text().trimmed().toUpper())) {
                    m_ui->cbDataType->setFocus();
                }
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- pages

void TfrmWizardWizard::setPageButtonsEnabled(bool on)
{
    m_ui->btnNewPage->setEnabled(on);
    m_ui->btnRenamePage->setEnabled(on);
    m_ui->btnDeletePage->setEnabled(on);
}

void TfrmWizardWizard::btnNewPageClick()
{
    setModified();
    m_pageItem = new QListWidgetItem;
    m_ui->lbPages->addItem(m_pageItem);
    m_ui->lbPages->setCurrentItem(m_pageItem);
    m_pageEdit = EditKind::New;
    m_ui->edtNewPage->clear();
    m_ui->edtNewPage->setEnabled(true);
    m_ui->edtNewPage->setFocus();
    setPageButtonsEnabled(false);
}

void TfrmWizardWizard::btnRenamePageClick()
{
    QListWidgetItem *item = m_ui->lbPages->currentItem();
    if (!item)
        return;
    setModified();
    m_pageItem = item;
    m_pageEdit = EditKind::Rename;
    m_ui->edtNewPage->setText(item->text());
    m_ui->edtNewPage->setEnabled(true);
    m_ui->edtNewPage->setFocus();
    m_ui->edtNewPage->selectAll();
    setPageButtonsEnabled(false);
}

bool TfrmWizardWizard::endPageEdit()
{
    const QString title = m_ui->edtNewPage->text().trimmed();
    if (title.isEmpty()) {
        // A new page without a title is dropped; a page being retitled keeps its old title.
        if (m_pageEdit == EditKind::New)
            delete m_pageItem;
    } else {
        for (int i = 0; i < m_ui->lbPages->count(); ++i) {
            QListWidgetItem *other = m_ui->lbPages->item(i);
            if (other != m_pageItem && other->text() == title) {
                refuse(QStringLiteral("That page already exists"), m_ui->edtNewPage);
                return false;
            }
        }
        const QString oldTitle = m_pageItem->text();
        if (m_pageEdit == EditKind::Rename && oldTitle != title)
            carryPageTitle(oldTitle, title);
        m_pageItem->setText(title);
    }
    m_pageEdit = EditKind::None;
    m_pageItem = nullptr;
    m_ui->edtNewPage->clear();
    m_ui->edtNewPage->setEnabled(false);
    setPageButtonsEnabled(true);
    return true;
}

void TfrmWizardWizard::carryPageTitle(const QString &oldTitle, const QString &newTitle)
{
    // The variables go with their page, so a renamed page keeps them in the saved file.
    for (int v = 0; v < m_ui->lbVariables->count(); ++v) {
        const int id = recordId(m_ui->lbVariables->item(v));
        QString table;
        VariantArray values;
        if (m_records->FindRecord(id, table, values) && values.size() >= 4
            && values[3].AsString() == oldTitle)
            m_records->UpdateRecord(id, { fieldPage }, { newTitle });
    }
}

void TfrmWizardWizard::btnDeletePageClick()
{
    setModified();
    if (m_ui->lbPages->count() <= 1) {
        ScreenMessage(mkWarning, QStringLiteral("You must have at least one page in the wizard."));
        return;
    }
    const int row = m_ui->lbPages->currentRow();
    if (row < 0)
        return;
    delete m_ui->lbPages->takeItem(row);
    m_ui->lbPages->setCurrentRow(std::max(row - 1, 0));
}

void TfrmWizardWizard::fillPageList()
{
    m_ui->cbPage->clear();
    for (int p = 0; p < m_ui->lbPages->count(); ++p)
        m_ui->cbPage->addItem(m_ui->lbPages->item(p)->text());
    showVariable(m_ui->lbVariables->currentItem());
}

// ---- variables

int TfrmWizardWizard::recordId(QListWidgetItem *item) const
{
    bool ok = false;
    const int id = item ? item->data(Qt::UserRole).toInt(&ok) : 0;
    return ok ? id : 0;
}

void TfrmWizardWizard::setVariableButtonsEnabled(bool on)
{
    m_ui->btnNewVar->setEnabled(on);
    m_ui->btnRenameVar->setEnabled(on);
    m_ui->btnDeleteVar->setEnabled(on);
}

void TfrmWizardWizard::showVariable(QListWidgetItem *item)
{
    QString table;
    VariantArray values;
    if (m_varEdit == EditKind::New || !item || !m_records->FindRecord(recordId(item), table, values)
        || values.size() < 4)
        return;
    m_ui->cbDataType->setCurrentIndex(m_ui->cbDataType->findText(values[1].AsString()));
    m_ui->edtPrompt->setText(values[2].AsString());
    m_ui->cbPage->setCurrentIndex(m_ui->cbPage->findText(values[3].AsString()));
}

void TfrmWizardWizard::writeVariableField(const QString &field, const QString &value)
{
    setModified();
    if (m_varEdit == EditKind::New)
        return; // the record is made from the controls when the name is done
    const int id = recordId(m_ui->lbVariables->currentItem());
    if (id > 0)
        m_records->UpdateRecord(id, { field }, { value });
}

void TfrmWizardWizard::btnNewVarClick()
{
    setModified();
    if (m_ui->cbPage->count() == 0)
        fillPageList();
    m_varEdit = EditKind::New;
    m_varItem = new QListWidgetItem;
    m_ui->lbVariables->addItem(m_varItem);
    m_ui->lbVariables->setCurrentItem(m_varItem);
    m_ui->edtNewVar->clear();
    m_ui->edtNewVar->setEnabled(true);
    m_ui->edtNewVar->setFocus();
    m_ui->cbDataType->setCurrentIndex(0);
    m_ui->edtPrompt->setText(newVariablePrompt);
    m_ui->cbPage->setCurrentIndex(m_ui->cbPage->count() > 0 ? 0 : -1);
    setVariableButtonsEnabled(false);
}

void TfrmWizardWizard::btnRenameVarClick()
{
    QListWidgetItem *item = m_ui->lbVariables->currentItem();
    if (!item)
        return;
    setModified();
    m_varEdit = EditKind::Rename;
    m_varItem = item;
    m_ui->edtNewVar->setText(item->text());
    m_ui->edtNewVar->setEnabled(true);
    m_ui->edtNewVar->setFocus();
    m_ui->edtNewVar->selectAll();
    setVariableButtonsEnabled(false);
}

bool TfrmWizardWizard::checkVariableName(const QString &name)
{
    if (name.contains(u' ') || name.contains(u'\t')) {
        refuse(QStringLiteral("A variable cannot contain spaces or tabs."), m_ui->edtNewVar);
        return false;
    }
    for (int v = 0; v < m_ui->lbVariables->count(); ++v) {
        QListWidgetItem *other = m_ui->lbVariables->item(v);
        if (other != m_varItem && other->text().compare(name, Qt::CaseInsensitive) == 0) {
            refuse(QStringLiteral("That variable already exists"), m_ui->edtNewVar);
            return false;
        }
    }
    return true;
}

bool TfrmWizardWizard::endVariableEdit()
{
    const QString name = m_ui->edtNewVar->text().trimmed().toUpper();
    if (name.isEmpty()) {
        // A variable without a name could never be filled in: a new one is dropped, a renamed
        // one keeps its name.
        if (m_varEdit == EditKind::New) {
            delete m_varItem;
            m_varItem = nullptr;
        }
    } else {
        if (!checkVariableName(name))
            return false;
        if (m_varEdit == EditKind::New) {
            const int id = m_records->AddRecord(recordTable,
                { fieldDataType, fieldPrompt, fieldPage },
                { m_ui->cbDataType->currentText(), m_ui->edtPrompt->text(),
                    m_ui->cbPage->currentText() });
            m_varItem->setData(Qt::UserRole, id);
        }
        m_varItem->setText(name);
    }
    m_varEdit = EditKind::None;
    m_varItem = nullptr;
    m_ui->edtNewVar->clear();
    m_ui->edtNewVar->setEnabled(false);
    setVariableButtonsEnabled(true);
    showVariable(m_ui->lbVariables->currentItem());
    return true;
}

void TfrmWizardWizard::btnDeleteVarClick()
{
    setModified();
    const int row = m_ui->lbVariables->currentRow();
    if (row < 0)
        return;
    // The record stays in the store: nothing refers to it any more.
    delete m_ui->lbVariables->takeItem(row);
    if (m_ui->lbVariables->count() > 0) {
        m_ui->lbVariables->setCurrentRow(std::max(row - 1, 0));
    } else {
        m_ui->cbDataType->setCurrentIndex(-1);
        m_ui->edtPrompt->clear();
        m_ui->cbPage->setCurrentIndex(-1);
    }
}

} // namespace qd
