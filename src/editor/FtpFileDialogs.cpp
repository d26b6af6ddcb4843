#include "editor/FtpFileDialogs.h"

namespace qd {

namespace {
TFtpFileDialogs *g_dialogs = nullptr;
}

TFtpFileDialogs *FtpFileDialogs()
{
    return g_dialogs;
}

void SetFtpFileDialogs(TFtpFileDialogs *dialogs)
{
    g_dialogs = dialogs;
}

} // namespace qd
