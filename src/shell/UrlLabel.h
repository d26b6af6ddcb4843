#pragma once

#include <QColor>
#include <QLabel>
#include <QStringList>

#include <functional>

namespace qd {

enum TUrlType { utCustom, utFile, utFtp, utGopher, utHttp, utHttps, utMail, utNews, utTelnet, utWais };

// A label that acts as a web link: link colours, a colour change (and underline) while the
// mouse is over it, the full address as its tool tip, and a click opens the address with the
// desktop (shell open).
class TUrlLabel : public QLabel {
    Q_OBJECT

public:
    explicit TUrlLabel(QWidget *parent = nullptr);

    const QString &URL() const { return m_url; }
    void SetURL(const QString &value);
    TUrlType URLType() const { return m_urlType; }
    void SetURLType(TUrlType value);
    // The scheme text put in front of URL for utCustom.
    const QString &CustomURLType() const { return m_customUrlType; }
    void SetCustomURLType(const QString &value);
    const QString &MailSubject() const { return m_mailSubject; }
    void SetMailSubject(const QString &value);
    const QStringList &MailBody() const { return m_mailBody; }
    void SetMailBody(const QStringList &value);
    const QString &Cc() const { return m_cc; }
    void SetCc(const QString &value);
    const QString &Bcc() const { return m_bcc; }
    void SetBcc(const QString &value);
    bool DetectMouse() const { return m_detectMouse; }
    void SetDetectMouse(bool value);
    bool UnderlineOnEnter() const { return m_underlineOnEnter; }
    void SetUnderlineOnEnter(bool value) { m_underlineOnEnter = value; }
    bool ShowUrlHint() const { return m_showUrlHint; }
    void SetShowUrlHint(bool value);
    const QColor &ActiveColor() const { return m_activeColor; }
    void SetActiveColor(const QColor &value) { m_activeColor = value; }
    const QColor &InactiveColor() const { return m_inactiveColor; }
    void SetInactiveColor(const QColor &value);

    // The address a click opens.
    QString FullURL() const;
    // The colour the text is drawn in now.
    QColor TextColor() const;

    std::function<void(TUrlLabel *sender)> OnMouseEnter;
    std::function<void(TUrlLabel *sender)> OnMouseLeave;

    // "Tahoma" when the system has it, else the system's own font.
    static QFont PreferredFont(const QFont &systemFont);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void addressChanged();
    void setTextColor(const QColor &color);
    void setUnderline(bool underline);

    QString m_url;
    TUrlType m_urlType = utCustom;
    QString m_customUrlType;
    QString m_mailSubject;
    QStringList m_mailBody;
    QString m_cc;
    QString m_bcc;
    bool m_detectMouse = true;
    bool m_underlineOnEnter = true;
    bool m_showUrlHint = true;
    QColor m_activeColor = QColor(0, 0, 255);
    QColor m_inactiveColor = QColor(0, 0, 128);
};

} // namespace qd
