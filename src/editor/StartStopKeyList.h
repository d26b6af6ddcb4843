#pragma once

#include "editor/KeywordList.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace qd {

// One pair of a start key and a stop key (a comment's or a string's delimiters) with the look of
// the text between them.
struct TStartStopKey {
    quint8 Options = 0; // koMatchCase, koWholeWords
    quint8 Style = 0;
    qint32 ContextNum = 0;
    quint16 Tag = 0;
    qint32 Background = -1;
    qint32 Foreground = 0;
    QString PreparedStart; // upper-cased by the list's CaseMode unless koMatchCase
    QString PreparedStop;
    QString StartKey; // as added
    QString StopKey; // as added; may be empty
    bool EndAtParaEnd = false; // the range also ends at the end of its paragraph
    qint16 SameStartIndex = -1; // first earlier item with the same options and prepared start
    // Separator tests, filled by the highlighter that searches with the list.
    bool AfterStartNeedsSep = false;
    bool BeforeStartNeedsSep = false;
    bool AfterStopNeedsSep = false;
    bool BeforeStopNeedsSep = false;
    qint16 Scope = 0; // extended lists only
    qint16 Priority = 0; // extended lists only; 32767 = any level
};

// The start/stop pairs of an editor or a highlighter, in order. Adding an item or loading the
// list clears SeparatorsPrepared(), so the searcher prepares its separator tests again.
class TStartStopKeyList {
public:
    TStartStopKeyList() = default;
    virtual ~TStartStopKeyList() = default;
    TStartStopKeyList(const TStartStopKeyList &) = delete;
    TStartStopKeyList &operator=(const TStartStopKeyList &) = delete;

    virtual bool Extended() const { return false; }

    qsizetype Count() const { return qsizetype(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    // ERangeError "List index out of bounds" outside 0 .. Count() - 1.
    const TStartStopKey &Item(qsizetype index) const;
    TStartStopKey &Item(qsizetype index);

    qsizetype Add(const QString &startKey, const QString &stopKey, quint8 options, quint8 style,
        qint32 contextNum, quint16 tag, qint32 background, qint32 foreground, bool endAtParaEnd);
    void Clear();

    // Form streaming of the property "Keys": written only when the list holds an item; a list of
    // entries, each the prepared start and stop keys (so keys without koMatchCase are stored
    // upper-cased), the integers Options, Style, ContextNum, Tag, Background, Foreground (an
    // extended list adds Scope and Priority) and the boolean EndAtParaEnd. Reading empties the
    // list and adds every entry; a malformed stream throws Exception, the entries read before it
    // stay.
    bool HasKeysData() const { return Count() >= 1; }
    QByteArray WriteKeys() const;
    void ReadKeys(const QByteArray &data);

    TcmUpperCase CaseMode() const { return m_caseMode; }
    // Stores the mode and upper-cases the prepared keys of the items without koMatchCase anew.
    void SetCaseMode(TcmUpperCase mode);
    int LongestStart() const { return m_longestStart; }
    int LongestStop() const { return m_longestStop; }
    bool SeparatorsPrepared() const { return m_prepared; }
    void SetSeparatorsPrepared(bool prepared) { m_prepared = prepared; }
    quint64 Version() const { return m_version; }

protected:
    qsizetype addItem(TStartStopKey item);

private:
    std::vector<TStartStopKey> m_items;
    TcmUpperCase m_caseMode = cmuAscii;
    int m_longestStart = 0;
    int m_longestStop = 0;
    bool m_prepared = false;
    quint64 m_version = 0;
};

// Start/stop pairs with Scope and Priority.
class TExtStartStopList : public TStartStopKeyList {
public:
    bool Extended() const override { return true; }
    qsizetype AddExt(const QString &startKey, const QString &stopKey, quint8 options, quint8 style,
        qint32 contextNum, qint16 scope, qint16 priority, quint16 tag, qint32 background,
        qint32 foreground, bool endAtParaEnd);
};

} // namespace qd
