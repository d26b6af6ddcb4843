#include "editor/KeywordList.h"

#include "classlib/ListErrors.h"
#include "editor/FormValues.h"

#include <atomic>

namespace qd {

namespace {

std::atomic<TUpperCaseRoutine> userUpperCase { nullptr };

} // namespace

void SetUserUpperCase(TUpperCaseRoutine routine)
{
    userUpperCase.store(routine);
}

TUpperCaseRoutine UserUpperCase()
{
    return userUpperCase.load();
}

QChar UserUpperChar(QChar c)
{
    if (const TUpperCaseRoutine routine = userUpperCase.load()) {
        routine(&c, 1);
        return c;
    }
    const char16_t u = c.unicode();
    return u >= u'a' && u <= u'z' ? QChar(char16_t(u - 32)) : c;
}

void UpperCaseInPlace(QChar *text, qsizetype length, TcmUpperCase mode)
{
    if (mode == cmuUserDefined) {
        if (const TUpperCaseRoutine routine = userUpperCase.load()) {
            routine(text, length);
            return;
        }
    }
    if (mode == cmuAnsi) {
        for (qsizetype i = 0; i < length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < 128) {
                if (c >= u'a' && c <= u'z')
                    text[i] = QChar(char16_t(c - 32));
            } else {
                text[i] = text[i].toUpper();
            }
        }
        return;
    }
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'a' && c <= u'z')
            text[i] = QChar(char16_t(c - 32));
    }
}

QString UpperCaseText(QStringView text, TcmUpperCase mode)
{
    QString out = text.toString();
    UpperCaseInPlace(out.data(), out.size(), mode);
    return out;
}

namespace {

// Versions are unique over all lists, so a matcher never takes a new list at the address of a
// freed one for the list it was built from.
std::atomic<quint64> versionCounter { 0 };

[[noreturn]] void outOfBounds()
{
    throw ERangeError(QStringLiteral("List index out of bounds"));
}

} // namespace

const QString &TKeywordList::Strings(qsizetype index) const
{
    if (index < 0 || index >= Count())
        outOfBounds();
    return m_words[size_t(index)].Text;
}

const TKeywordInfo &TKeywordList::Info(qsizetype index) const
{
    if (index < 0 || index >= Count())
        outOfBounds();
    return m_words[size_t(index)].Info;
}

const QString &TKeywordList::Prepared(qsizetype index) const
{
    if (index < 0 || index >= Count())
        outOfBounds();
    return m_words[size_t(index)].Prepared;
}

qsizetype TKeywordList::IndexOf(const QString &word) const
{
    for (size_t i = 0; i < m_words.size(); ++i)
        if (m_words[i].Text == word)
            return qsizetype(i);
    return -1;
}

qsizetype TKeywordList::Add(const QString &word, const TKeywordInfo &info)
{
    Insert(Count(), word, info);
    return Count() - 1;
}

void TKeywordList::Insert(qsizetype index, const QString &word, const TKeywordInfo &info)
{
    if (index < 0 || index > Count())
        outOfBounds();
    TKeywordInfo record = info;
    if (!Extended())
        record.Scope = record.Priority = 0;
    m_words.insert(m_words.begin() + index, Word { word, record, QString() });
    changed();
}

void TKeywordList::Delete(qsizetype index)
{
    if (index < 0 || index >= Count())
        outOfBounds();
    m_words.erase(m_words.begin() + index);
    changed();
}

void TKeywordList::Clear()
{
    m_words.clear();
    changed();
}

void TKeywordList::SetInfo(qsizetype index, const TKeywordInfo &info)
{
    if (index < 0 || index >= Count())
        outOfBounds();
    m_words[size_t(index)].Info = info;
    if (!Extended())
        m_words[size_t(index)].Info.Scope = m_words[size_t(index)].Info.Priority = 0;
    changed();
}

void TKeywordList::Assign(const TKeywordList &source)
{
    if (&source == this)
        return;
    BeginUpdate();
    m_words.clear();
    for (const Word &w : source.m_words) {
        Word copy = w;
        if (!Extended() || !source.Extended())
            copy.Info.Scope = copy.Info.Priority = 0;
        m_words.push_back(copy);
    }
    m_updateCount = qMax(0, m_updateCount - 1);
    changed();
}

void TKeywordList::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        prepare();
}

void TKeywordList::SetCaseMode(TcmUpperCase mode)
{
    m_caseMode = mode;
    changed();
}

void TKeywordList::changed()
{
    if (m_updateCount == 0)
        prepare();
}

void TKeywordList::prepare()
{
    m_longest = 0;
    m_noCase = false;
    for (Word &w : m_words) {
        w.Prepared = w.Text;
        w.Info.Length = qint32(w.Text.size());
        m_longest = qMax(m_longest, int(w.Text.size()));
        if (!(w.Info.Options & koMatchCase)) {
            UpperCaseInPlace(w.Prepared.data(), w.Prepared.size(), m_caseMode);
            m_noCase = true;
        }
    }
    m_version = ++versionCounter;
}

QByteArray TKeywordList::WriteStrings() const
{
    QByteArray out;
    TFormValueWriter writer(out);
    writer.WriteListBegin();
    for (const Word &w : m_words) {
        writer.WriteString(w.Text);
        writer.WriteInteger(w.Info.Options);
        writer.WriteInteger(w.Info.Style);
        writer.WriteInteger(w.Info.ContextNum);
        writer.WriteInteger(w.Info.Tag);
        writer.WriteInteger(w.Info.Background);
        writer.WriteInteger(w.Info.Foreground);
        if (Extended()) {
            writer.WriteInteger(w.Info.Scope);
            writer.WriteInteger(w.Info.Priority);
        }
    }
    writer.WriteListEnd();
    return out;
}

void TKeywordList::ReadStrings(const QByteArray &data)
{
    TFormValueReader reader(data);
    BeginUpdate();
    try {
        Clear();
        reader.ReadListBegin();
        while (!reader.EndOfList()) {
            const QString word = reader.ReadString();
            // The integers are taken as they come.
            TKeywordInfo info;
            info.Options = quint8(reader.ReadInteger());
            info.Style = quint8(reader.ReadInteger());
            info.ContextNum = reader.ReadInteger();
            info.Tag = quint16(reader.ReadInteger());
            info.Background = reader.ReadInteger();
            info.Foreground = reader.ReadInteger();
            if (Extended()) {
                info.Scope = qint16(reader.ReadInteger());
                info.Priority = qint16(reader.ReadInteger());
            }
            Add(word, info);
        }
        reader.ReadListEnd();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

qsizetype TExtKeywordList::AddKeyword(const QString &word, quint8 options, quint8 style,
    qint16 contextNum, qint16 scope, qint16 priority, quint16 tag, qint32 background,
    qint32 foreground)
{
    TKeywordInfo info;
    info.Options = options;
    info.Style = style;
    info.ContextNum = contextNum; // sign-extended
    info.Scope = scope;
    info.Priority = priority;
    info.Tag = tag;
    info.Background = background;
    info.Foreground = foreground;
    return Add(word, info);
}

} // namespace qd
