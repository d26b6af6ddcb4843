#include "shell/FormPlacement.h"

#include "classlib/IniFile.h"

#include <QWidget>

namespace qd {

namespace {

QString stateName(Qt::WindowStates state)
{
    if (state.testFlag(Qt::WindowMinimized))
        return QStringLiteral("wsMinimized");
    if (state.testFlag(Qt::WindowMaximized))
        return QStringLiteral("wsMaximized");
    return QStringLiteral("wsNormal");
}

} // namespace

void SaveFormPlacement(
    TPlacementParts parts, const QWidget *form, const QString &iniFileName, const QString &section)
{
    if (!form)
        return;
    TIniFile ini(iniFileName);
    // One rewrite of the file for all the keys.
    ini.beginUpdate();
    try {
        if (parts.testFlag(fpHeight))
            ini.WriteInteger(section, QStringLiteral("Height"), form->height());
        if (parts.testFlag(fpWidth))
            ini.WriteInteger(section, QStringLiteral("Width"), form->width());
        if (parts.testFlag(fpTop))
            ini.WriteInteger(section, QStringLiteral("Top"), form->y());
        if (parts.testFlag(fpLeft))
            ini.WriteInteger(section, QStringLiteral("Left"), form->x());
        if (parts.testFlag(fpWindowState))
            ini.WriteString(section, QStringLiteral("WindowState"), stateName(form->windowState()));
    } catch (...) {
        ini.cancelUpdate();
        throw;
    }
    ini.endUpdate();
}

void LoadFormPlacement(
    TPlacementParts parts, QWidget *form, const QString &iniFileName, const QString &section)
{
    if (!form)
        return;
    const TIniFile ini(iniFileName);
    QSize size = form->size();
    QPoint pos = form->pos();
    auto readPositive = [&](TPlacementPart part, const char *key, int current) {
        if (!parts.testFlag(part))
            return current;
        const int value = ini.ReadInteger(section, QLatin1String(key), current);
        return value > 0 ? value : current;
    };
    size.setHeight(readPositive(fpHeight, "Height", size.height()));
    size.setWidth(readPositive(fpWidth, "Width", size.width()));
    pos.setY(readPositive(fpTop, "Top", pos.y()));
    pos.setX(readPositive(fpLeft, "Left", pos.x()));
    if (size != form->size())
        form->resize(size);
    if (pos != form->pos())
        form->move(pos);
    if (parts.testFlag(fpWindowState)) {
        const QString state = ini.ReadString(
            section, QStringLiteral("WindowState"), stateName(form->windowState()));
        Qt::WindowStates states = form->windowState()
            & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
        if (state == u"wsMaximized")
            states |= Qt::WindowMaximized;
        else if (state == u"wsMinimized")
            states |= Qt::WindowMinimized;
        form->setWindowState(states);
    }
}

} // namespace qd
