#include "shell/SettingFont.h"

#include "classlib/Exception.h"
#include "classlib/StringList.h"

namespace qd {

namespace {

int toInteger(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

QString flag(bool set)
{
    return set ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QFont SettingFont::toQFont() const
{
    QFont font;
    // One family: a name holding a comma is not a list of fallbacks.
    font.setFamilies({ name });
    font.setPointSize(qMax(size, 1));
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    return font;
}

SettingFont SettingFont::fromQFont(const QFont &font, qint32 color)
{
    SettingFont result;
    result.name = font.family();
    result.size = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    result.color = color;
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikeOut = font.strikeOut();
    return result;
}

QString FontToSettingString(const SettingFont &font)
{
    QString name = font.name;
    name.replace(u'"', QStringLiteral("\"\""));
    // Built by joining, not arg(): a name may hold "%1".
    return u'"' + name + u'"' + u',' + QString::number(font.size) + u','
        + QString::number(font.color) + u',' + flag(font.bold) + u',' + flag(font.italic) + u','
        + flag(font.underline) + u',' + flag(font.strikeOut);
}

void SettingStringToFont(const QString &setting, SettingFont &font)
{
    TStringList items;
    items.SetCommaText(setting);
    const auto item = [&](int index) { return index < items.Count() ? items[index] : QString(); };
    // Convert everything before changing anything, so a bad setting leaves the font as it was.
    const int size = toInteger(item(1));
    const qint32 color = toInteger(item(2));
    font.name = item(0);
    font.size = size;
    font.color = color;
    font.bold = item(3) == u"1";
    font.italic = item(4) == u"1";
    font.underline = item(5) == u"1";
    font.strikeOut = item(6) == u"1";
}

} // namespace qd
