#include "tools/ShowPlan.h"

#include "editor/CodeMemo.h"
#include "editor/SQLHighlighting.h"
#include "shell/SettingFont.h"
#include "shell/Settings.h"
#include "shell/WindowServices.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

namespace qd {

namespace {

constexpr int kSplitterMinimum = 45;

// A font setting of the main window, when there is one and it reads.
bool settingFont(const QString &name, QFont &font)
{
    MainWindowInterface *main = mainWindow();
    if (!main)
        return false;
    try {
        const TSettingItem *item = main->Settings().FindSetting(name);
        if (!item)
            return false;
        SettingFont value;
        if (item->Value().IsNullOrEmpty())
            SettingStringToFont(item->DefaultValue(), value);
        else
            value = item->GetFont();
        font = value.toQFont();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

void setLines(TCodeMemo *memo, const QStringList &lines)
{
    memo->SetTextBuf(lines.join(QStringLiteral("\r\n")));
    memo->ClearUndo();
    memo->SetModified(false);
}

} // namespace

TShowPlan::TShowPlan(QWidget *owner, const QStringList &sql, const QStringList &plan, QString cost)
    : QWidget(nullptr)
    , m_highlighting(std::make_unique<TSQLHighlighting>())
{
    Q_UNUSED(owner); // MDI children are parented by the main window
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ShowPlan"));
    setWindowTitle(QStringLiteral("Explain Plan"));
    FormCreate();
    setLines(m_memSQL, sql);
    setLines(m_memPlan, plan);
    if (cost.isEmpty())
        cost = QStringLiteral("unavailable");
    m_lblCost->setText(m_lblCost->text() + QLatin1Char(' ') + cost);
    setWindowTitle(windowTitle() + QStringLiteral(" - [cost: ") + cost + QLatin1Char(']'));
    resize(600, 450);
    if (MainWindowInterface *main = mainWindow())
        main->AddMdiChild(this);
    else
        show();
}

TShowPlan::~TShowPlan() = default;

void TShowPlan::FormCreate()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setOpaqueResize(true);
    m_splitter->setChildrenCollapsible(false);
    layout->addWidget(m_splitter);

    m_memSQL = new TCodeMemo(m_splitter);
    m_memSQL->setObjectName(QStringLiteral("memSQL"));
    m_memSQL->SetReadOnly(true);
    m_memSQL->SetWordWrap(false);
    m_memSQL->SetScrollBars(ssBoth);
    m_memSQL->setMinimumHeight(kSplitterMinimum);
    MainWindowInterface *main = mainWindow();
    if (main) {
        m_highlighting->AddKeywords(main->SQLKeywords(), clSQLKeyword);
        m_highlighting->AddKeywords(main->PLSQLKeywords(), clSQLKeyword);
    } else {
        m_highlighting->AddKeywords(BuiltInSQLKeywords(), clSQLKeyword);
    }
    m_highlighting->AttachTo(*m_memSQL);

    m_pnlOutput = new QWidget(m_splitter);
    m_pnlOutput->setObjectName(QStringLiteral("pnlOutput"));
    m_pnlOutput->setMinimumHeight(kSplitterMinimum);
    auto *output = new QVBoxLayout(m_pnlOutput);
    output->setContentsMargins(0, 2, 0, 0);
    m_lblCost = new QLabel(QStringLiteral("Cost: "), m_pnlOutput);
    m_lblCost->setObjectName(QStringLiteral("lblCost"));
    output->addWidget(m_lblCost);
    m_memPlan = new TCodeMemo(m_pnlOutput);
    m_memPlan->setObjectName(QStringLiteral("memPlan"));
    m_memPlan->SetReadOnly(true);
    m_memPlan->SetWordWrap(false);
    m_memPlan->SetScrollBars(ssBoth);
    output->addWidget(m_memPlan);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 1);

    // The plan's columns line up only in a fixed-width font: that is the fallback for both.
    // A stored font that is missing here (the default "Terminal") falls back to a
    // proportional face: then the fixed font at the stored size.
    auto fixedPitch = [](const QString &setting) {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        QFont font;
        if (!settingFont(setting, font))
            return fixed;
        if (QFontInfo(font).fixedPitch())
            return font;
        if (font.pointSizeF() > 0)
            fixed.setPointSizeF(font.pointSizeF());
        return fixed;
    };
    m_memSQL->setFont(fixedPitch(QStringLiteral("SQLEditor")));
    m_memPlan->setFont(fixedPitch(QStringLiteral("SQLTextOutput")));
}

void InstallShowPlanWindow()
{
    windowFactories().ShowPlan = [](QWidget *owner, const QStringList &sql,
                                     const QStringList &plan, const QString &cost) -> QWidget * {
        return new TShowPlan(owner, sql, plan, cost);
    };
}

} // namespace qd
