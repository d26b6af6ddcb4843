#include "shell/KXAboutForm.h"

#include "shell/UrlLabel.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qd {

QString TKXAboutForm::WebAddress()
{
    return QStringLiteral("https://www.quarlodesk.org/");
}

TKXAboutForm::TKXAboutForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("KXAboutForm"));
    setWindowTitle(QStringLiteral("About Quarlo Desk"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setFont(TUrlLabel::PreferredFont(font()));

    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("Quarlo Desk<sup>TM</sup>"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setTextFormat(Qt::RichText);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    auto *version = new QLabel(QStringLiteral("Version 2.3.1"), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);

    auto *dates = new QGridLayout;
    const struct {
        const char *name;
        const char *caption;
        const char *date;
    } releases[] = {
        { "lblMajor", "Major version released:", "1-23-2002" },
        { "lblMinor", "Minor version released:", "7-12-2004" },
        { "lblPatch", "Patch version released:", "7-15-2004" },
    };
    int row = 0;
    for (const auto &release : releases) {
        dates->addWidget(new QLabel(QLatin1String(release.caption), this), row, 0);
        auto *date = new QLabel(QLatin1String(release.date), this);
        date->setObjectName(QLatin1String(release.name));
        dates->addWidget(date, row, 1);
        ++row;
    }
    layout->addLayout(dates);

    m_urlLabel = new TUrlLabel(this);
    m_urlLabel->setObjectName(QStringLiteral("UrlLabel1"));
    m_urlLabel->SetURLType(utCustom);
    m_urlLabel->SetURL(WebAddress());
    m_urlLabel->setText(WebAddress());
    m_urlLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_urlLabel);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace qd
