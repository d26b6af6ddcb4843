#include "platform/Environment.h"

#include <QtGlobal>

namespace qd {

Environment &Environment::process()
{
    static ProcessEnvironment environment;
    return environment;
}

QString ProcessEnvironment::value(const QString &name) const
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

bool ProcessEnvironment::contains(const QString &name) const
{
    return qEnvironmentVariableIsSet(name.toLocal8Bit().constData());
}

void ProcessEnvironment::setValue(const QString &name, const QString &value)
{
    qputenv(name.toLocal8Bit().constData(), value.toLocal8Bit());
}

void ProcessEnvironment::remove(const QString &name)
{
    qunsetenv(name.toLocal8Bit().constData());
}

} // namespace qd
