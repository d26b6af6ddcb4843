#include "shell/MessageBoxes.h"

#include "oracle/ScreenServices.h"
#include "shell/FileTools.h"

namespace qd {

void ShowErrorMessage(const QString &text)
{
    ScreenMessage(mkError, text);
}

void ShowWarningMessage(const QString &text)
{
    ScreenMessage(mkWarning, text);
}

void ShowInfoMessage(const QString &text)
{
    ScreenMessage(mkInformation, text);
}

void ShowFileError(int errorCode, const QString &fileName)
{
    ScreenMessage(mkError,
        QStringLiteral("Error accessing file ") + fileName + QLatin1Char('\n')
            + FileErrorText(errorCode));
}

} // namespace qd
