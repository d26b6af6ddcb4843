#include "editor/StartStopKeyList.h"

#include "classlib/ListErrors.h"

namespace qd {

const TStartStopKey &TStartStopKeyList::Item(qsizetype index) const
{
    if (index < 0 || index >= Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return m_items[size_t(index)];
}

TStartStopKey &TStartStopKeyList::Item(qsizetype index)
{
    if (index < 0 || index >= Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return m_items[size_t(index)];
}

qsizetype TStartStopKeyList::Add(const QString &startKey, const QString &stopKey, quint8 options,
    quint8 style, qint32 contextNum, quint16 tag, qint32 background, qint32 foreground,
    bool endAtParaEnd)
{
    TStartStopKey item;
    item.StartKey = startKey;
    item.StopKey = stopKey;
    item.Options = options;
    item.Style = style;
    item.ContextNum = contextNum;
    item.Tag = tag;
    item.Background = background;
    item.Foreground = foreground;
    item.EndAtParaEnd = endAtParaEnd;
    return addItem(std::move(item));
}

qsizetype TStartStopKeyList::addItem(TStartStopKey item)
{
    m_longestStart = qMax(m_longestStart, int(item.StartKey.size()));
    m_longestStop = qMax(m_longestStop, int(item.StopKey.size()));
    // Room for the line break that ends such a range.
    if (item.EndAtParaEnd)
        m_longestStop = qMax(m_longestStop, 2);
    item.PreparedStart = item.StartKey;
    item.PreparedStop = item.StopKey;
    if (!(item.Options & koMatchCase)) {
        item.PreparedStart = UpperCaseText(item.StartKey, m_caseMode);
        item.PreparedStop = UpperCaseText(item.StopKey, m_caseMode);
    }
    item.SameStartIndex = -1;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].Options == item.Options && m_items[i].PreparedStart == item.PreparedStart) {
            item.SameStartIndex = qint16(i);
            break;
        }
    }
    m_items.push_back(std::move(item));
    m_prepared = false;
    ++m_version;
    return Count() - 1;
}

void TStartStopKeyList::Clear()
{
    m_items.clear();
    m_items.reserve(2);
    m_longestStart = m_longestStop = 0;
    m_prepared = false;
    ++m_version;
}

void TStartStopKeyList::SetCaseMode(TcmUpperCase mode)
{
    m_caseMode = mode;
    for (TStartStopKey &item : m_items) {
        if (item.Options & koMatchCase)
            continue;
        item.PreparedStart = UpperCaseText(item.StartKey, mode);
        item.PreparedStop = UpperCaseText(item.StopKey, mode);
    }
    m_prepared = false;
    ++m_version;
}

qsizetype TExtStartStopList::AddExt(const QString &startKey, const QString &stopKey,
    quint8 options, quint8 style, qint32 contextNum, qint16 scope, qint16 priority, quint16 tag,
    qint32 background, qint32 foreground, bool endAtParaEnd)
{
    TStartStopKey item;
    item.StartKey = startKey;
    item.StopKey = stopKey;
    item.Options = options;
    item.Style = style;
    item.ContextNum = contextNum;
    item.Scope = scope;
    item.Priority = priority;
    item.Tag = tag;
    item.Background = background;
    item.Foreground = foreground;
    item.EndAtParaEnd = endAtParaEnd;
    return addItem(std::move(item));
}

} // namespace qd
