#pragma once

#include <QString>

namespace qd {

// Modal message boxes with one OK button, shown through the screen services (so tests answer
// them and a worker thread waits for the GUI thread to show them).
void ShowErrorMessage(const QString &text);
void ShowWarningMessage(const QString &text);
void ShowInfoMessage(const QString &text);

// "Error accessing file <fileName>" and, on the next line, the text for errorCode
// (FileErrorText), as an error box.
void ShowFileError(int errorCode, const QString &fileName);

} // namespace qd
