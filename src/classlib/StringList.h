#pragma once

#include <QList>
#include <QString>

namespace qd {

// What Add does with a string a sorted list already holds. Unsorted lists accept everything.
enum TDuplicates { dupIgnore, dupAccept, dupError };

// A list of strings with the class library's semantics: optional sorting under a
// case-insensitive compare, duplicate handling, an object pointer or integer per line,
// name=value lines, comma text and CR LF text. Errors raise qd::Exception.
class TStringList {
public:
    TStringList() = default;

    int Count() const { return static_cast<int>(m_items.size()); }
    const QString &Strings(int index) const;
    const QString &operator[](int index) const { return Strings(index); }
    // Raises "Operation not allowed on sorted list" when Sorted.
    void SetStrings(int index, const QString &value);

    // The object is not owned. Integers are stored in the same slot.
    void *Objects(int index) const;
    void SetObjects(int index, void *object);
    qintptr Integers(int index) const { return reinterpret_cast<qintptr>(Objects(index)); }
    void SetIntegers(int index, qintptr value)
    {
        SetObjects(index, reinterpret_cast<void *>(value));
    }

    // Returns the index of the new line; on a sorted list the index where it was placed, or for
    // dupIgnore of an existing string that string's index. dupError raises
    // "String list does not allow duplicates".
    int Add(const QString &value);
    int AddObject(const QString &value, void *object);
    int AddInteger(const QString &value, qintptr integer)
    {
        return AddObject(value, reinterpret_cast<void *>(integer));
    }
    void AddStrings(const TStringList &other);
    // Raises on a sorted list, and for an index outside 0..Count.
    void Insert(int index, const QString &value);
    void InsertObject(int index, const QString &value, void *object);
    void Delete(int index);
    void Clear() { m_items.clear(); }
    // Makes room for count lines, so that adding them one by one does not grow the list often.
    void Reserve(int count) { m_items.reserve(count); }
    // Raises on a sorted list: swapping would break the order Find relies on.
    void Exchange(int index1, int index2);

    // -1 when absent. Binary search on a sorted list, otherwise the first match.
    int IndexOf(const QString &value) const;
    int IndexOfObject(void *object) const;
    // On a sorted list: true when found, Index the first match or the insertion point. On an
    // unsorted list a linear search: Index the match or Count.
    bool Find(const QString &value, int &index) const;

    bool Sorted() const { return m_sorted; }
    // Setting True sorts the list (duplicates already present stay).
    void SetSorted(bool value);
    void Sort();
    TDuplicates Duplicates() const { return m_duplicates; }
    void SetDuplicates(TDuplicates value) { m_duplicates = value; }
    bool CaseSensitive() const { return m_caseSensitive; }
    // Changing it re-sorts a sorted list.
    void SetCaseSensitive(bool value);
    // The list's compare: <0, 0, >0. Case-insensitive unless CaseSensitive; with CaseSensitive,
    // strings differing only in case order upper before lower case.
    int CompareStrings(const QString &a, const QString &b) const;

    // name=value lines: the name is the text before the first "=", empty without one.
    QString Names(int index) const;
    QString Values(const QString &name) const;
    QString ValueFromIndex(int index) const;
    int IndexOfName(const QString &name) const;
    // Adds name=value, replaces the value of the first line with that name, or with an empty
    // value deletes that line.
    void SetValue(const QString &name, const QString &value);

    // Items separated by commas; items with blanks, control characters, commas or quotes
    // are quoted, quotes doubled. Setting splits at commas and blanks; double quotes group.
    QString CommaText() const;
    void SetCommaText(const QString &value);
    QString DelimitedText() const;
    void SetDelimitedText(const QString &value);
    QChar Delimiter() const { return m_delimiter; }
    void SetDelimiter(QChar value) { m_delimiter = value; }
    QChar QuoteChar() const { return m_quoteChar; }
    void SetQuoteChar(QChar value) { m_quoteChar = value; }

    // Every line followed by CR LF. Setting splits at CR LF, LF or CR; a final line break does
    // not start another line.
    QString Text() const;
    void SetText(const QString &value);

    // UTF-8 (a byte-order mark is skipped; text that is not valid UTF-8 is read as Latin-1 so
    // nothing is lost). Saving is atomic: on failure the old file stays whole and an exception
    // says why.
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;

private:
    struct Item {
        QString string;
        void *object = nullptr;
    };

    void checkIndex(int index) const;
    int insertSorted(const QString &value, void *object);
    QString delimitedText(QChar delimiter, QChar quote) const;
    void setDelimitedText(const QString &value, QChar delimiter, QChar quote);
    // Replaces the contents with lines added one by one; on an error the list is unchanged.
    void assignLines(const QList<QString> &lines);

    QList<Item> m_items;
    TDuplicates m_duplicates = dupIgnore;
    bool m_sorted = false;
    bool m_caseSensitive = false;
    QChar m_delimiter = u',';
    QChar m_quoteChar = u'"';
};

} // namespace qd
