#include "editor/StartStopKeyList.h"

#include "classlib/ListErrors.h"
#include "editor/FormValues.h"

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

QByteArray TStartStopKeyList::WriteKeys() const
{
    QByteArray out;
    TFormValueWriter writer(out);
    writer.WriteListBegin();
    for (const TStartStopKey &item : m_items) {
        writer.WriteString(item.PreparedStart);
        writer.WriteString(item.PreparedStop);
        writer.WriteInteger(item.Options);
        writer.WriteInteger(item.Style);
        writer.WriteInteger(item.ContextNum);
        writer.WriteInteger(item.Tag);
        writer.WriteInteger(item.Background);
        writer.WriteInteger(item.Foreground);
        if (Extended()) {
            writer.WriteInteger(item.Scope);
            writer.WriteInteger(item.Priority);
        }
        writer.WriteBoolean(item.EndAtParaEnd);
    }
    writer.WriteListEnd();
    return out;
}

void TStartStopKeyList::ReadKeys(const QByteArray &data)
{
    TFormValueReader reader(data);
    Clear();
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
        // The integers are taken as they come.
        TStartStopKey item;
        item.StartKey = reader.ReadString();
        item.StopKey = reader.ReadString();
        item.Options = quint8(reader.ReadInteger());
        item.Style = quint8(reader.ReadInteger());
        item.ContextNum = reader.ReadInteger();
        item.Tag = quint16(reader.ReadInteger());
        item.Background = reader.ReadInteger();
        item.Foreground = reader.ReadInteger();
        if (Extended()) {
            item.Scope = qint16(reader.ReadInteger());
            item.Priority = qint16(reader.ReadInteger());
        }
        item.EndAtParaEnd = reader.ReadBoolean();
        addItem(std::move(item));
    }
    reader.ReadListEnd();
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
