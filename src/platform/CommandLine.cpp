#include "platform/CommandLine.h"

#include <QCoreApplication>

namespace qd {

CommandLine CommandLine::process()
{
    if (!QCoreApplication::instance())
        return CommandLine();
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return CommandLine(arguments);
}

QString CommandLine::value(const QString &name) const
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &parameter : m_parameters) {
        if (parameter.startsWith(prefix, Qt::CaseInsensitive))
            return parameter.mid(prefix.size(), MaxValueLength);
    }
    return QString();
}

} // namespace qd
