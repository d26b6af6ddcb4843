#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace qd {

// How key tables upper-case text for comparisons without case: cmuAscii only a-z; cmuAnsi every
// letter that has a single upper-case letter; cmuUserDefined the routine installed with
// SetUserUpperCase, or as cmuAscii while none is installed.
// Upper-casing never changes the length, so offsets in a copy are offsets in the text.
enum TcmUpperCase : quint8 { cmuAscii, cmuAnsi, cmuUserDefined };

// The upper-casing of cmuUserDefined: upper-cases length characters of text in place; it must
// not change their number. The program installs none. Lists upper-case their keys when they
// change or their CaseMode is set, so install the routine before setting cmuUserDefined (or set
// the mode again after installing another). nullptr removes it. Any thread may call it.
using TUpperCaseRoutine = void (*)(QChar *text, qsizetype length);
void SetUserUpperCase(TUpperCaseRoutine routine);
TUpperCaseRoutine UserUpperCase();

QString UpperCaseText(QStringView text, TcmUpperCase mode);
QChar UserUpperChar(QChar c);
// One character upper-cased as UpperCaseText does.
inline QChar UpperChar(QChar c, TcmUpperCase mode)
{
    if (mode == cmuUserDefined)
        return UserUpperChar(c);
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z')
        return QChar(char16_t(u - 32));
    if (u < 128 || mode != cmuAnsi)
        return c;
    return c.toUpper();
}
void UpperCaseInPlace(QChar *text, qsizetype length, TcmUpperCase mode);
// key (already upper-cased unless matchCase) equals the text at offset, the text upper-cased by
// mode unless matchCase.
inline bool KeyAt(
    QStringView text, qsizetype offset, QStringView key, bool matchCase, TcmUpperCase mode)
{
    if (offset < 0 || offset + key.size() > text.size())
        return false;
    for (qsizetype j = 0; j < key.size(); ++j) {
        const QChar c = text[offset + j];
        if ((matchCase ? c : UpperChar(c, mode)) != key[j])
            return false;
    }
    return true;
}

// Options of a key.
enum TKeyOption : quint8 {
    koMatchCase = 1, // compare with case
    koWholeWords = 2, // must stand between separators
};
// Font style bits of a key (those of the attribute style byte).
enum TKeyStyle : quint8 { ksBold = 1, ksItalic = 2, ksUnderline = 4, ksStrikeOut = 8 };

// What a keyword gives the text it marks. Scope and Priority belong to the extended lists (0 in a
// plain list).
struct TKeywordInfo {
    quint8 Options = 0;
    quint8 Style = 0;
    qint32 ContextNum = 0;
    quint16 Tag = 0;
    qint32 Background = -1;
    qint32 Foreground = 0;
    qint32 Length = 0; // set by the preparation
    qint16 Scope = 0;
    qint16 Priority = 0;
};

// A list of keywords, each with its record. Every change re-runs the preparation: the prepared
// copy of every keyword (upper-cased by CaseMode unless it matches case), the longest length and
// whether some keyword lacks koMatchCase. Version() changes with every preparation, so that
// matchers built from the list know when to rebuild.
class TKeywordList {
public:
    TKeywordList() = default;
    virtual ~TKeywordList() = default;
    TKeywordList(const TKeywordList &) = delete;
    TKeywordList &operator=(const TKeywordList &) = delete;

    virtual bool Extended() const { return false; }

    qsizetype Count() const { return qsizetype(m_words.size()); }
    bool IsEmpty() const { return m_words.empty(); }
    // ERangeError "List index out of bounds" outside 0 .. Count() - 1.
    const QString &Strings(qsizetype index) const;
    const TKeywordInfo &Info(qsizetype index) const;
    const QString &Prepared(qsizetype index) const;
    // Index of the first keyword whose text equals word exactly, -1 when none.
    qsizetype IndexOf(const QString &word) const;

    qsizetype Add(const QString &word, const TKeywordInfo &info = {});
    void Insert(qsizetype index, const QString &word, const TKeywordInfo &info = {});
    void Delete(qsizetype index);
    void Clear();
    // Replaces the record of keyword index (Length is recomputed).
    void SetInfo(qsizetype index, const TKeywordInfo &info);
    // Copies the keywords and records of source (an extended target gives a plain source's
    // keywords Scope 0 and Priority 0).
    void Assign(const TKeywordList &source);

    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();

    // Form streaming of the property "Strings": written only when the list is not empty; a list
    // of entries, each the keyword and the integers Options, Style, ContextNum, Tag, Background
    // and Foreground (an extended list adds Scope and Priority). Reading empties the list first;
    // a malformed stream throws Exception, and the entries read before it stay.
    bool HasStringsData() const { return !IsEmpty(); }
    QByteArray WriteStrings() const;
    void ReadStrings(const QByteArray &data);

    TcmUpperCase CaseMode() const { return m_caseMode; }
    void SetCaseMode(TcmUpperCase mode);
    int Longest() const { return m_longest; }
    bool HasNoCaseKeys() const { return m_noCase; }
    quint64 Version() const { return m_version; }

protected:
    void changed();

private:
    struct Word {
        QString Text;
        TKeywordInfo Info;
        QString Prepared;
    };
    void prepare();
    std::vector<Word> m_words;
    TcmUpperCase m_caseMode = cmuAscii;
    int m_longest = 0;
    bool m_noCase = false;
    int m_updateCount = 0;
    quint64 m_version = 0;
};

// A keyword list whose records carry Scope and Priority.
class TExtKeywordList : public TKeywordList {
public:
    bool Extended() const override { return true; }
    // Appends word with its record and returns its index. A word added twice is listed twice;
    // the first of equal keywords wins where both apply.
    qsizetype AddKeyword(const QString &word, quint8 options, quint8 style, qint16 contextNum,
        qint16 scope, qint16 priority, quint16 tag, qint32 background, qint32 foreground);
};

} // namespace qd
