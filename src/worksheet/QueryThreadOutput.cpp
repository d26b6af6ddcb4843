#include "worksheet/QueryThread.h"

#include "classlib/Exception.h"

namespace qd {

void TQueryThread::AddOutputLine(const QString &text)
{
    if (m_hostDetached)
        return;
    m_pendingOutput.append(text);
    if (m_pendingOutput.size() > m_settings.ScreenBufferSize)
        m_pendingOutput.removeFirst();
    if (m_spooling)
        writeSpoolLine(text);
    if (m_settings.SpoolLineBreak != 0 && m_pendingOutput.size() % m_settings.SpoolLineBreak == 0)
        FlushOutput();
}

void TQueryThread::writeSpoolLine(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + QByteArrayLiteral("\r\n");
    if (m_spoolFile.isOpen() && m_spoolFile.write(bytes) == bytes.size())
        return;
    if (m_settings.ContinueOnOSError)
        return;
    throw Exception(QStringLiteral("Error writing spool file ") + m_spoolFileName
        + QStringLiteral("\n") + m_spoolFile.errorString());
}

void TQueryThread::FlushOutput()
{
    if (m_pendingOutput.isEmpty())
        return;
    const int maxLines = m_settings.ScreenBufferSize;
    bool deliverNow = false;
    {
        std::lock_guard<std::mutex> lock(m_syncMutex);
        m_outbox += m_pendingOutput;
        // The window keeps no more than the screen buffer anyway.
        if (m_outbox.size() > maxLines)
            m_outbox.remove(0, m_outbox.size() - maxLines);
        deliverNow = m_outbox.size() >= OutboxLimit && !m_outboxScheduled;
        m_outboxScheduled = m_outboxScheduled || deliverNow;
    }
    m_pendingOutput.clear();
    // Otherwise the window's timer, or the next call of the runner, takes the lines.
    if (deliverNow)
        post([this](TScriptHost &) { deliverOutput(); });
}

void TQueryThread::AddErrorLine(const QString &message, int line, int column)
{
    m_errorMessages.append(TScriptError {
        QString::number(line) + u':' + QString::number(column) + QStringLiteral(" - ") + message,
        line, column });
}

void TQueryThread::ComputeErrorPosition(
    int errLine, int errCol, bool nested, int startColumn, int firstLine)
{
    if (nested) {
        m_errorLine = firstLine + 1;
        m_errorColumn = startColumn + 1;
    } else {
        m_errorLine = firstLine + errLine;
        m_errorColumn = startColumn + errCol;
    }
}

void TQueryThread::ReportStatementError(std::exception_ptr error, const QString &message,
    bool toOutput, bool reraise, bool fetchOutput, bool nested, int startColumn, int firstLine,
    int errCol, int errLine)
{
    ComputeErrorPosition(errLine, errCol, nested, startColumn, firstLine);
    AddErrorLine(message, m_errorLine, m_errorColumn);
    if (fetchOutput)
        FetchDbmsOutput();
    if (toOutput) {
        AddOutputLine(message);
        AddOutputLine(QString());
    }
    if (reraise && error)
        std::rethrow_exception(error);
}

void TQueryThread::ShowExecutingStatus(int firstLine)
{
    QString text;
    if (m_isTransactionCommand)
        text = QStringLiteral("Performing ") + m_commandName;
    else if (m_runMode == 1)
        text = QStringLiteral("Executing statement starting at line %1...").arg(firstLine + 1);
    else if (m_runMode == 2)
        text = QStringLiteral("Executing all statements starting at or after line %1...")
                   .arg(firstLine + 1);
    else
        text = QStringLiteral("Executing editor contents...");
    showRunStatus(text);
}

} // namespace qd
