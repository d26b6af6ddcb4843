#include "WidgetQBEControls.h"

#include "DataAwareControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

namespace qd {

namespace {

// QLineEdit's maxLength when it has no limit.
constexpr int lineEditNoLimit = 32767;

const char *maxLengthProperty(QObject *control)
{
    if (control->property("maxLength").isValid())
        return "maxLength";
    if (control->property("MaxLength").isValid())
        return "MaxLength";
    return nullptr;
}

// TColor is 0x00BBGGRR.
QColor toQColor(TColor value)
{
    const auto v = static_cast<quint32>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

TColor toTColor(const QColor &color)
{
    return static_cast<TColor>(
        quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16));
}

TColor roleColor(QObject *control, QPalette::ColorRole role, TColor systemColor)
{
    auto *widget = qobject_cast<QWidget *>(control);
    if (!widget)
        return systemColor;
    const QColor own = widget->palette().color(QPalette::Active, role);
    const QColor standard = QApplication::palette(widget).color(QPalette::Active, role);
    return own == standard ? systemColor : toTColor(own);
}

void setRoleColor(QObject *control, QPalette::ColorRole role, TColor value, TColor systemColor)
{
    auto *widget = qobject_cast<QWidget *>(control);
    if (!widget)
        return;
    QPalette palette = widget->palette();
    if (value == systemColor) {
        const QPalette standard = QApplication::palette(widget);
        for (const auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
            palette.setBrush(group, role, standard.brush(group, role));
    } else {
        palette.setColor(role, toQColor(value));
    }
    widget->setPalette(palette);
}

void collect(QWidget *widget, QList<QObject *> &controls)
{
    controls.append(widget);
    for (QObject *child : widget->children())
        if (auto *childWidget = qobject_cast<QWidget *>(child))
            collect(childWidget, controls);
}

TWidgetQBEControls *installed = nullptr;

} // namespace

QList<QObject *> TWidgetQBEControls::Controls()
{
    QList<QObject *> controls;
    for (QWidget *window : QApplication::topLevelWidgets())
        collect(window, controls);
    return controls;
}

TDataSource *TWidgetQBEControls::DataSource(QObject *control)
{
    const QVariant value = control->property("DataSource");
    return value.canConvert<TDataSource *>() ? value.value<TDataSource *>() : nullptr;
}

bool TWidgetQBEControls::HasCaption(QObject *control)
{
    return control->property("Caption").isValid() || qobject_cast<QAbstractButton *>(control)
        || qobject_cast<QGroupBox *>(control);
}

std::optional<QString> TWidgetQBEControls::DataField(QObject *control)
{
    const QVariant value = control->property("DataField");
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

std::optional<int> TWidgetQBEControls::MaxLength(QObject *control)
{
    const char *name = maxLengthProperty(control);
    if (!name)
        return std::nullopt;
    const int value = control->property(name).toInt();
    if (qobject_cast<QLineEdit *>(control) && value >= lineEditNoLimit)
        return 0;
    return value;
}

void TWidgetQBEControls::SetMaxLength(QObject *control, int value)
{
    const char *name = maxLengthProperty(control);
    if (!name)
        return;
    if (qobject_cast<QLineEdit *>(control) && value <= 0)
        value = lineEditNoLimit;
    control->setProperty(name, value);
}

TColor TWidgetQBEControls::Color(QObject *control)
{
    return roleColor(control, QPalette::Base, clWindow);
}

void TWidgetQBEControls::SetColor(QObject *control, TColor value)
{
    setRoleColor(control, QPalette::Base, value, clWindow);
}

TColor TWidgetQBEControls::FontColor(QObject *control)
{
    return roleColor(control, QPalette::Text, clWindowText);
}

void TWidgetQBEControls::SetFontColor(QObject *control, TColor value)
{
    setRoleColor(control, QPalette::Text, value, clWindowText);
}

void InstallWidgetQBEControls()
{
    if (!installed) {
        static TWidgetQBEControls access;
        installed = &access;
    }
    SetQBEControlAccess(installed);
}

} // namespace qd
