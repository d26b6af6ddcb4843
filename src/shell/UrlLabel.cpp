#include "shell/UrlLabel.h"

#include "platform/ShellOpen.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QUrl>

namespace qd {

namespace {

// A mail field's text as it may stand in a mailto address: characters that would end the
// field ("&", "#", "?") or the address are escaped.
QString mailField(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QFont TUrlLabel::PreferredFont(const QFont &systemFont)
{
    QFont font = systemFont;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive))
        font.setFamily(QStringLiteral("Tahoma"));
    return font;
}

TUrlLabel::TUrlLabel(QWidget *parent)
    : QLabel(parent)
{
    setFont(PreferredFont(font()));
    setCursor(Qt::PointingHandCursor);
    setTextColor(m_inactiveColor);
}

QString TUrlLabel::FullURL() const
{
    switch (m_urlType) {
    case utCustom: return m_customUrlType + m_url;
    case utFile: return QStringLiteral("file://") + m_url;
    case utFtp: return QStringLiteral("ftp://") + m_url;
    case utGopher: return QStringLiteral("gopher://") + m_url;
    case utHttp: return QStringLiteral("http://") + m_url;
    case utHttps: return QStringLiteral("https://") + m_url;
    case utNews: return QStringLiteral("news:") + m_url;
    case utTelnet: return QStringLiteral("telnet:") + m_url;
    case utWais: return QStringLiteral("wais:") + m_url;
    case utMail: break;
    }
    // The first field follows "?", every later one "&", so a body without a subject still
    // reaches the mail program; each line of the body ends with a mail line break.
    QString address = QStringLiteral("mailto:") + m_url;
    QChar separator = u'?';
    auto add = [&](const QString &name, const QString &value) {
        if (value.isEmpty())
            return;
        address += separator + name + u'=' + value;
        separator = u'&';
    };
    add(QStringLiteral("Subject"), mailField(m_mailSubject));
    QString body;
    for (const QString &line : m_mailBody)
        body += mailField(line) + QStringLiteral("%0D%0A");
    add(QStringLiteral("Body"), body);
    add(QStringLiteral("Bcc"), mailField(m_bcc));
    add(QStringLiteral("Cc"), mailField(m_cc));
    return address;
}

void TUrlLabel::addressChanged()
{
    if (m_showUrlHint)
        setToolTip(FullURL());
}

void TUrlLabel::SetURL(const QString &value)
{
    m_url = value;
    addressChanged();
}

void TUrlLabel::SetURLType(TUrlType value)
{
    m_urlType = value;
    addressChanged();
}

void TUrlLabel::SetCustomURLType(const QString &value)
{
    m_customUrlType = value;
    addressChanged();
}

void TUrlLabel::SetMailSubject(const QString &value)
{
    m_mailSubject = value;
    addressChanged();
}

void TUrlLabel::SetMailBody(const QStringList &value)
{
    m_mailBody = value;
    addressChanged();
}

void TUrlLabel::SetCc(const QString &value)
{
    m_cc = value;
    addressChanged();
}

void TUrlLabel::SetBcc(const QString &value)
{
    m_bcc = value;
    addressChanged();
}

void TUrlLabel::SetShowUrlHint(bool value)
{
    m_showUrlHint = value;
    if (value)
        setToolTip(FullURL());
    else if (toolTip() == FullURL())
        setToolTip(QString()); // a hint set by other means stays
}

void TUrlLabel::SetDetectMouse(bool value)
{
    m_detectMouse = value;
    setUnderline(!value);
}

void TUrlLabel::SetInactiveColor(const QColor &value)
{
    m_inactiveColor = value;
    if (!underMouse() || !m_detectMouse)
        setTextColor(value);
}

QColor TUrlLabel::TextColor() const
{
    return palette().color(QPalette::WindowText);
}

void TUrlLabel::setTextColor(const QColor &color)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, color);
    setPalette(colours);
}

void TUrlLabel::setUnderline(bool underline)
{
    QFont style = font();
    style.setUnderline(underline);
    setFont(style);
}

void TUrlLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    if (!m_detectMouse)
        return;
    setTextColor(m_activeColor);
    if (m_underlineOnEnter)
        setUnderline(true);
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TUrlLabel::leaveEvent(QEvent *event)
{
    QLabel::leaveEvent(event);
    if (!m_detectMouse)
        return;
    setTextColor(m_inactiveColor);
    setUnderline(false);
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        ShellOpen::current().openUrl(QUrl(FullURL(), QUrl::TolerantMode));
}

} // namespace qd
