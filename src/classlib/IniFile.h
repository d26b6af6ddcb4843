#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace qd {

class TStringList;

// An ini file with Windows ini semantics: "[Section]" headers and "key=value" lines, section and
// key names compared case-insensitively, blanks around names and values trimmed, values taken
// as they stand up to the line end (no quoting, no list splitting). Lines starting with ";",
// lines without "=", keys before the first section and malformed headers are ignored on read
// but kept on write. A section that appears twice is one section: the first occurrence of a key
// wins.
//
// As with the Windows calls, every Write/Erase/Delete goes straight to the file: the whole file
// is rewritten atomically (QSaveFile), keeping every other line, comment and the order. A failed
// save raises Exception and leaves both the file and this object unchanged. The file is read on
// first use and read again whenever it changed on disk, so other writers are seen. CR LF and LF
// files are both read; a rewrite keeps the file's line-break style (CR LF for new files).
class TIniFile {
public:
    explicit TIniFile(QString fileName);

    const QString &FileName() const { return m_fileName; }

    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // Decimal, or hexadecimal with "0x" or "$"; the default for a missing key or garbage.
    int ReadInteger(const QString &section, const QString &key, int def) const;
    // An integer value: non-zero is true; the default for a missing key or garbage.
    bool ReadBool(const QString &section, const QString &key, bool def) const;
    // "." as the decimal point; the default for a missing key or garbage.
    double ReadFloat(const QString &section, const QString &key, double def) const;

    // Raises Exception for a section or key that could not be read back as written (empty,
    // containing a line break, "]" in a section, "=" in a key) and for a value with a line break.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    // Writes "1" or "0".
    void WriteBool(const QString &section, const QString &key, bool value);

    // These clear the list and fill it: key names, section names, or key=value lines; each name
    // once, in order of first appearance.
    void ReadSection(const QString &section, TStringList &keys) const;
    void ReadSections(TStringList &sections) const;
    void ReadSectionValues(const QString &section, TStringList &values) const;
    // As ReadSectionValues, but each value exactly as written after the first "=", blanks
    // kept: for files whose values are text lines that may begin or end with blanks.
    void ReadSectionValuesAsWritten(const QString &section, TStringList &values) const;
    // The number of lines of the file as last read (blank lines and comments included).
    int LineCount() const;

    // True when the file has a header for the section, even one without keys.
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // Removes every occurrence of the section with all its lines.
    void EraseSection(const QString &section);
    // Removes the key from every occurrence of the section, so no later duplicate shows through.
    void DeleteKey(const QString &section, const QString &key);
    // Writes the current contents to the file (creating it when missing). Writes already save
    // at once, so this is needed only to create or rewrite the file on purpose.
    void UpdateFile();

    // Brackets a group of writes that must reach the file together: inside the outermost
    // bracket writes change only this object (reads see them), and endUpdate saves them in one
    // atomic rewrite. A failed save raises, leaves the file whole and drops the group's changes.
    // cancelUpdate ends a bracket and drops them without writing.
    void beginUpdate();
    void endUpdate();
    void cancelUpdate();

private:
    struct Stamp {
        bool exists = false;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Stamp &) const = default;
    };

    Stamp currentStamp() const;
    void refresh() const;
    void save(const QList<QString> &lines);
    void writeLines(const QList<QString> &lines);
    // The value line of key in section (first occurrence), or -1.
    int findKey(const QList<QString> &lines, const QString &section, const QString &key) const;

    QString m_fileName;
    mutable QList<QString> m_lines;
    mutable Stamp m_stamp;
    mutable bool m_loaded = false;
    mutable bool m_crlf = true;
    mutable bool m_bom = false;
    int m_updateDepth = 0;
    // Writes made inside a bracket and not yet saved; reads then keep m_lines as it is.
    bool m_pending = false;
};

} // namespace qd
