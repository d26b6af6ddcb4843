#include "StringList.h"

#include "Exception.h"
#include "TextFile.h"

#include <algorithm>

namespace qd {

namespace {

[[noreturn]] void sortedListError()
{
    throw Exception(QStringLiteral("Operation not allowed on sorted list"));
}

bool needsQuotes(const QString &s, QChar delimiter, QChar quote)
{
    for (QChar c : s) {
        if (c.unicode() <= u' ' || c == quote || c == delimiter)
            return true;
    }
    return false;
}

bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= u' ';
}

} // namespace

void TStringList::checkIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

const QString &TStringList::Strings(int index) const
{
    checkIndex(index);
    return m_items[index].string;
}

void TStringList::SetStrings(int index, const QString &value)
{
    if (m_sorted)
        sortedListError();
    checkIndex(index);
    m_items[index].string = value;
}

void *TStringList::Objects(int index) const
{
    checkIndex(index);
    return m_items[index].object;
}

void TStringList::SetObjects(int index, void *object)
{
    checkIndex(index);
    m_items[index].object = object;
}

int TStringList::CompareStrings(const QString &a, const QString &b) const
{
    int c = a.compare(b, Qt::CaseInsensitive);
    if (c == 0 && m_caseSensitive)
        c = a.compare(b, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool TStringList::Find(const QString &value, int &index) const
{
    if (!m_sorted) {
        for (int i = 0; i < Count(); ++i) {
            if (CompareStrings(m_items[i].string, value) == 0) {
                index = i;
                return true;
            }
        }
        index = Count();
        return false;
    }
    // Lower bound: the first line not less than value.
    int low = 0, high = Count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (CompareStrings(m_items[mid].string, value) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    index = low;
    return low < Count() && CompareStrings(m_items[low].string, value) == 0;
}

int TStringList::IndexOf(const QString &value) const
{
    int index = -1;
    return Find(value, index) ? index : -1;
}

int TStringList::IndexOfObject(void *object) const
{
    for (int i = 0; i < Count(); ++i) {
        if (m_items[i].object == object)
            return i;
    }
    return -1;
}

int TStringList::insertSorted(const QString &value, void *object)
{
    int index = 0;
    if (Find(value, index)) {
        switch (m_duplicates) {
        case dupIgnore:
            return index;
        case dupError:
            throw Exception(QStringLiteral("String list does not allow duplicates"));
        case dupAccept:
            break;
        }
    }
    m_items.insert(index, Item { value, object });
    return index;
}

int TStringList::Add(const QString &value)
{
    return AddObject(value, nullptr);
}

int TStringList::AddObject(const QString &value, void *object)
{
    if (m_sorted)
        return insertSorted(value, object);
    m_items.append(Item { value, object });
    return Count() - 1;
}

void TStringList::AddStrings(const TStringList &other)
{
    for (const Item &item : other.m_items)
        AddObject(item.string, item.object);
}

void TStringList::Insert(int index, const QString &value)
{
    InsertObject(index, value, nullptr);
}

void TStringList::InsertObject(int index, const QString &value, void *object)
{
    if (m_sorted)
        sortedListError();
    if (index < 0 || index > Count())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    m_items.insert(index, Item { value, object });
}

void TStringList::Delete(int index)
{
    checkIndex(index);
    m_items.removeAt(index);
}

void TStringList::Exchange(int index1, int index2)
{
    if (m_sorted)
        sortedListError();
    checkIndex(index1);
    checkIndex(index2);
    std::swap(m_items[index1], m_items[index2]);
}

void TStringList::Sort()
{
    std::stable_sort(m_items.begin(), m_items.end(),
        [this](const Item &a, const Item &b) { return CompareStrings(a.string, b.string) < 0; });
}

void TStringList::SetSorted(bool value)
{
    if (value && !m_sorted)
        Sort();
    m_sorted = value;
}

void TStringList::SetCaseSensitive(bool value)
{
    m_caseSensitive = value;
    if (m_sorted)
        Sort();
}

QString TStringList::Names(int index) const
{
    const QString &line = Strings(index);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq);
}

QString TStringList::ValueFromIndex(int index) const
{
    // A line without "=" has no value (not the line minus its first character).
    const QString &line = Strings(index);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.mid(eq + 1);
}

int TStringList::IndexOfName(const QString &name) const
{
    for (int i = 0; i < Count(); ++i) {
        const QString &line = m_items[i].string;
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && CompareStrings(line.left(eq), name) == 0)
            return i;
    }
    return -1;
}

QString TStringList::Values(const QString &name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? QString() : ValueFromIndex(index);
}

void TStringList::SetValue(const QString &name, const QString &value)
{
    const int index = IndexOfName(name);
    if (value.isEmpty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    const QString line = name + u'=' + value;
    if (index < 0) {
        Add(line);
    } else if (m_sorted) {
        // A sorted list cannot be written in place: the new line takes its sorted position.
        void *object = m_items[index].object;
        m_items.removeAt(index);
        AddObject(line, object);
    } else {
        m_items[index].string = line;
    }
}

QString TStringList::delimitedText(QChar delimiter, QChar quote) const
{
    if (Count() == 1 && m_items[0].string.isEmpty())
        return QString(2, quote);
    QString result;
    for (int i = 0; i < Count(); ++i) {
        if (i > 0)
            result += delimiter;
        const QString &s = m_items[i].string;
        if (needsQuotes(s, delimiter, quote)) {
            QString doubled = s;
            doubled.replace(quote, QString(2, quote));
            result += quote + doubled + quote;
        } else {
            result += s;
        }
    }
    return result;
}

void TStringList::setDelimitedText(const QString &value, QChar delimiter, QChar quote)
{
    QList<QString> items;
    // The text ends at a NUL character, as it does for the class library's null-terminated
    // strings; read on, a NUL would be neither blank, delimiter nor item character.
    const qsizetype nul = value.indexOf(QChar(0));
    const qsizetype n = nul >= 0 ? nul : value.size();
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < n && isBlank(value[p]))
            ++p;
    };
    skipBlanks();
    while (p < n) {
        QString item;
        if (value[p] == quote) {
            // Quoted: up to the closing quote, a doubled quote standing for one; an unclosed
            // quote runs to the end.
            ++p;
            while (p < n) {
                if (value[p] == quote) {
                    if (p + 1 < n && value[p + 1] == quote) {
                        item += quote;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += value[p++];
            }
        } else {
            const qsizetype start = p;
            while (p < n && value[p].unicode() > u' ' && value[p] != delimiter)
                ++p;
            item = value.mid(start, p - start);
        }
        items.append(item);
        skipBlanks();
        if (p < n && value[p] == delimiter) {
            // A delimiter at the very end stands for one more, empty item.
            if (p + 1 == n)
                items.append(QString());
            ++p;
            skipBlanks();
        }
    }
    assignLines(items);
}

QString TStringList::CommaText() const
{
    return delimitedText(u',', u'"');
}

void TStringList::SetCommaText(const QString &value)
{
    setDelimitedText(value, u',', u'"');
}

QString TStringList::DelimitedText() const
{
    return delimitedText(m_delimiter, m_quoteChar);
}

void TStringList::SetDelimitedText(const QString &value)
{
    setDelimitedText(value, m_delimiter, m_quoteChar);
}

QString TStringList::Text() const
{
    QString result;
    for (const Item &item : m_items) {
        result += item.string;
        result += QLatin1String("\r\n");
    }
    return result;
}

namespace {

// A plain loop the compiler turns into vector instructions.
qsizetype countLineFeeds(QStringView text)
{
    const char16_t *const data = text.utf16();
    const qsizetype n = text.size();
    qsizetype count = 0;
    for (qsizetype k = 0; k < n; ++k)
        count += data[k] == u'\n';
    return count;
}

// Calls take with each line of text (without its line break).
// Lines end at CR LF, LF or CR; a final line break does not start another line. The common
// text without CR is searched a block of characters at a time.
template <typename Take> void forEachLine(QStringView text, Take &&take)
{
    const qsizetype n = text.size();
    qsizetype p = 0;
    if (!text.contains(u'\r')) {
        while (p < n) {
            qsizetype end = text.indexOf(u'\n', p);
            if (end < 0)
                end = n;
            take(text.mid(p, end - p));
            p = end + 1;
        }
        return;
    }
    while (p < n) {
        const qsizetype start = p;
        while (p < n && text[p] != u'\r' && text[p] != u'\n')
            ++p;
        take(text.mid(start, p - start));
        if (p < n && text[p] == u'\r')
            ++p;
        if (p < n && text[p] == u'\n')
            ++p;
    }
}

} // namespace

void TStringList::SetText(const QString &value)
{
    // Room for one line more than there are line feeds: exact for the common text without CR
    // (a script is split here before every run); a list of CR-only text grows as it is filled.
    const QStringView text(value);
    const qsizetype expected = countLineFeeds(text) + 1;
    if (m_sorted) {
        QList<QString> lines;
        lines.reserve(expected);
        forEachLine(text, [&](QStringView line) { lines.append(line.toString()); });
        assignLines(lines);
        return;
    }
    // Unsorted: every line is taken as it is, nothing can fail.
    QList<Item> items;
    items.reserve(expected);
    forEachLine(text, [&](QStringView line) { items.append(Item { line.toString(), nullptr }); });
    m_items = std::move(items);
}

void TStringList::assignLines(const QList<QString> &lines)
{
    TStringList fresh;
    fresh.m_duplicates = m_duplicates;
    fresh.m_sorted = m_sorted;
    fresh.m_caseSensitive = m_caseSensitive;
    fresh.m_items.reserve(lines.size());
    for (const QString &line : lines)
        fresh.Add(line);
    m_items = std::move(fresh.m_items);
}

void TStringList::LoadFromFile(const QString &fileName)
{
    SetText(DecodeText(ReadFileBytes(fileName)));
}

void TStringList::SaveToFile(const QString &fileName) const
{
    WriteFileAtomically(fileName, Text().toUtf8());
}

} // namespace qd
