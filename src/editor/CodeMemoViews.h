#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

namespace qd {

class CodeMemoCore;

// The editor's text seen as a list of strings. Every change goes through the editor's selection
// and replacement, so it is undoable and moves navigators as typing does.
class TCodeMemoStrings {
public:
    explicit TCodeMemoStrings(CodeMemoCore *memo)
        : m_memo(memo)
    {
    }
    virtual ~TCodeMemoStrings() = default;
    TCodeMemoStrings(const TCodeMemoStrings &) = delete;
    TCodeMemoStrings &operator=(const TCodeMemoStrings &) = delete;

    virtual qint64 Count() = 0;
    virtual QString Get(qint64 index) = 0;
    virtual void Put(qint64 index, const QString &s) = 0;
    virtual qint64 Add(const QString &s) = 0;
    virtual void Delete(qint64 index) = 0;
    virtual void Insert(qint64 index, const QString &s) = 0;

    // The whole text, paragraphs joined by CR LF.
    QString Text() const;
    void SetText(const QString &text);
    // Replaces the text by the strings, one paragraph each (a final empty string adds nothing).
    void Assign(const QStringList &strings);
    void Clear();
    void LoadFromStream(QIODevice &stream);
    void SaveToStream(QIODevice &stream);
    // Bulk changes inside BeginUpdate/EndUpdate reformat once at the end.
    void BeginUpdate();
    void EndUpdate();

    // Form streaming of the property "Strings": whether it is written at all (text length at
    // least 1), the list written, and the list read back (which replaces the text). A malformed
    // list throws Exception; what was read before stays.
    bool HasStringsData() const;
    QByteArray WriteStrings() const;
    void ReadStrings(const QByteArray &data);

protected:
    CodeMemoCore *m_memo;
};

// One string per paragraph.
class TCodeParaStrings : public TCodeMemoStrings {
public:
    using TCodeMemoStrings::TCodeMemoStrings;
    // The paragraph count, less one when the last paragraph is empty.
    qint64 Count() override;
    // ERangeError "List index out of bounds" outside the paragraphs.
    QString Get(qint64 index) override;
    void Put(qint64 index, const QString &s) override;
    qint64 Add(const QString &s) override;
    void Delete(qint64 index) override;
    void Insert(qint64 index, const QString &s) override;
};

// One string per display line, formatting lazily as far as asked.
class TCodeLinesStrings : public TCodeMemoStrings {
public:
    using TCodeMemoStrings::TCodeMemoStrings;
    // The display line count, less one when the very last line is empty.
    qint64 Count() override;
    // Empty outside the lines.
    QString Get(qint64 index) override;
    void Put(qint64 index, const QString &s) override;
    qint64 Add(const QString &s) override;
    void Delete(qint64 index) override;
    void Insert(qint64 index, const QString &s) override;
};

} // namespace qd
