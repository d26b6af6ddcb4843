#include "worksheet/SQLBrowserFrame.h"

#include "classlib/Exception.h"

#include <array>

namespace qd {

namespace {

constexpr std::array<const char *, 3> kTypeNames { "tbtTemplate", "tbtWizard", "tbtSQL" };

std::function<SQLBrowserFrameInterface *(QWidget *parent)> &frameFactory()
{
    static std::function<SQLBrowserFrameInterface *(QWidget *parent)> factory;
    return factory;
}

} // namespace

QString SQLTreeBrowserTypeToStr(TSQLTreeBrowserType value)
{
    return value < kTypeNames.size() ? QLatin1String(kTypeNames[value]) : QString();
}

TSQLTreeBrowserType StrToSQLTreeBrowserType(const QString &name)
{
    for (std::size_t i = 0; i < kTypeNames.size(); ++i)
        if (name.compare(QLatin1String(kTypeNames[i]), Qt::CaseInsensitive) == 0)
            return static_cast<TSQLTreeBrowserType>(i);
    throw Exception(QStringLiteral("SQLTree file type ") + name + QStringLiteral(" not recognized."));
}

SQLBrowserFrameInterface *CreateSQLBrowserFrame(QWidget *parent)
{
    return frameFactory() ? frameFactory()(parent) : nullptr;
}

void SetSQLBrowserFrameFactory(std::function<SQLBrowserFrameInterface *(QWidget *parent)> factory)
{
    frameFactory() = std::move(factory);
}

} // namespace qd
