#include "worksheet/WizardForm.h"

#include "classlib/Exception.h"
#include "classlib/StringList.h"
#include "oracle/ScreenServices.h"
#include "worksheet/QDSubVar.h"

#include "ui_WizardForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <climits>

namespace qd {

namespace {

// Where the prompts and their fields stand on a page's scroll box.
constexpr int rowHeight = 26;
constexpr int fieldLeft = 300;
constexpr int fieldWidth = 300;
constexpr int fieldHeight = 25;
constexpr int labelWidth = 298;

// A required digit in each place of the date, and "-" for a place not yet typed.
const QString dateMask = QStringLiteral("99/99/9999;-");
const QString dateTimeMask = QStringLiteral("99/99/9999 99:99:99;-");

} // namespace

TfrmWizard::TfrmWizard(QWidget *owner, const QString &fileName)
    : QDialog(owner)
    , m_ui(std::make_unique<Ui::TfrmWizard>())
    , m_fileName(fileName)
{
    m_ui->setupUi(this);
    connect(m_ui->btnPrev, &QPushButton::clicked, this, [this] { btnPrevClick(); });
    connect(m_ui->btnNext, &QPushButton::clicked, this, [this] { btnNextClick(); });
    connect(m_ui->btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
    connect(m_ui->pcPages, &QTabWidget::currentChanged, this, [this] { pcPagesChange(); });
}

TfrmWizard::~TfrmWizard() = default;

QLabel *TfrmWizard::lblWizDesc() const { return m_ui->lblWizDesc; }
QTabWidget *TfrmWizard::pcPages() const { return m_ui->pcPages; }
QPushButton *TfrmWizard::btnPrev() const { return m_ui->btnPrev; }
QPushButton *TfrmWizard::btnNext() const { return m_ui->btnNext; }
QPushButton *TfrmWizard::btnOK() const { return m_ui->btnOK; }
QPushButton *TfrmWizard::btnCancel() const { return m_ui->btnCancel; }

void TfrmWizard::FormCreate()
{
    TWizardFile wizard;
    try {
        ReadWizardFile(m_fileName, TWizardReader::Runner, wizard);
    } catch (const Exception &error) {
        // Half a wizard would substitute some values and not others: show nothing of it.
        wizard = TWizardFile();
        ScreenMessage(mkError, error.Message());
    }
    m_wizardAction = WizardActionFromText(wizard.Action);
    m_ui->lblWizDesc->setText(wizard.Title);
    m_lines = wizard.Lines;
    for (int p = 0; p < wizard.Pages.size(); ++p)
        addPage(p, wizard.Pages[p]);
    m_ui->btnPrev->setEnabled(false);
    m_ui->btnNext->setEnabled(m_ui->pcPages->count() > 1);
}

void TfrmWizard::addPage(int index, const TWizardPage &page)
{
    const QString prefix = QStringLiteral("Page%1").arg(index);
    auto *sheet = new QWidget;
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *memo = new QPlainTextEdit(page.Title, sheet);
    memo->setObjectName(prefix + QStringLiteral("Memo0"));
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setBackgroundRole(QPalette::Button);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    memo->setPalette(palette);
    memo->setFixedHeight(memo->fontMetrics().height() * (memo->document()->blockCount() + 1));
    layout->addWidget(memo);

    auto *scrollBox = new QScrollArea(sheet);
    scrollBox->setObjectName(prefix + QStringLiteral("ScrollBox0"));
    scrollBox->setFrameShape(QFrame::NoFrame);
    auto *fields = new QWidget;
    fields->setMinimumSize(fieldLeft + fieldWidth, rowHeight * int(page.Variables.size()));
    for (int j = 0; j < page.Variables.size(); ++j) {
        const TWizardVariable &variable = page.Variables[j];
        QWidget *input = makeInput(variable.DataType.toUpper(), fields);
        input->setObjectName(prefix + QStringLiteral("Edit%1").arg(j));
        input->setGeometry(fieldLeft, rowHeight * j, fieldWidth, fieldHeight);
        m_valueControls.append({ variable.Name.toUpper(), input });

        auto *label = new QLabel(variable.Prompt, fields);
        label->setGeometry(0, rowHeight * j + 2, labelWidth, fieldHeight);
        label->setBuddy(input);
    }
    scrollBox->setWidget(fields);
    layout->addWidget(scrollBox, 1);

    m_ui->pcPages->addTab(sheet, QStringLiteral("Page %1").arg(index + 1));
}

QWidget *TfrmWizard::makeInput(const QString &dataType, QWidget *parent)
{
    if (dataType == u"NUMBER") {
        auto *spin = new QSpinBox(parent);
        spin->setRange(INT_MIN, INT_MAX);
        spin->setValue(0);
        return spin;
    }
    auto *edit = new QLineEdit(parent);
    if (dataType == u"DATE")
        edit->setInputMask(dateMask);
    else if (dataType == u"DATETIME")
        edit->setInputMask(dateTimeMask);
    edit->clear();
    return edit;
}

void TfrmWizard::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_valueControls.isEmpty())
        return;
    QWidget *first = m_valueControls.first().control;
    if (m_ui->pcPages->currentIndex() == 0 && m_ui->pcPages->widget(0)->isAncestorOf(first))
        first->setFocus();
}

void TfrmWizard::moveToVisibleTab(int step)
{
    QTabWidget *pages = m_ui->pcPages;
    for (int i = pages->currentIndex() + step; i >= 0 && i < pages->count(); i += step) {
        if (pages->isTabVisible(i)) {
            pages->setCurrentIndex(i);
            return;
        }
    }
}

void TfrmWizard::btnPrevClick()
{
    moveToVisibleTab(-1);
}

void TfrmWizard::btnNextClick()
{
    moveToVisibleTab(1);
}

void TfrmWizard::pcPagesChange()
{
    const int current = m_ui->pcPages->currentIndex();
    m_ui->btnPrev->setEnabled(current > 0);
    m_ui->btnNext->setEnabled(current < m_ui->pcPages->count() - 1);
}

QString TfrmWizard::valueText(QWidget *control)
{
    if (auto *spin = qobject_cast<QSpinBox *>(control))
        return QString::number(spin->value());
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return edit->text();
    return QString();
}

void TfrmWizard::btnOKClick()
{
    TStringList lines;
    for (const QString &line : std::as_const(m_lines))
        lines.Add(line);
    TQDSubVar scanner;
    scanner.Scan(lines);
    for (int k = 1; k <= scanner.Count(); ++k) {
        const QString name = scanner.GetOccurrence(k).Name;
        for (const NamedControl &value : std::as_const(m_valueControls)) {
            if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
                scanner.Substitute(k, valueText(value.control));
                break;
            }
        }
    }
    m_wizStrings.clear();
    const TStringList &output = scanner.Output();
    for (int i = 0; i < output.Count(); ++i)
        m_wizStrings.append(output[i]);
    accept();
}

} // namespace qd
