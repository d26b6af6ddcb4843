#include "IniFile.h"

#include "Exception.h"
#include "StringList.h"
#include "TextFile.h"

#include <QFileInfo>

#include <cmath>

namespace qd {

namespace {

struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    QString name;
    QString value;
};

Line parseLine(const QString &raw)
{
    Line line;
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.startsWith(u';'))
        return line;
    if (text.startsWith(u'[')) {
        // The name runs to the last "]"; a header without one is ignored.
        const qsizetype close = text.lastIndexOf(u']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = text.mid(1, close - 1).trimmed();
        }
        return line;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        return line;
    line.name = text.left(eq).trimmed();
    if (line.name.isEmpty())
        return line;
    line.kind = Line::Key;
    line.value = text.mid(eq + 1).trimmed();
    return line;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\r') || s.contains(u'\n');
}

// Calls visit(index, line, inSection) for every line, inSection telling whether the line lies in
// an occurrence of the section.
template <typename Visit>
void scan(const QList<QString> &lines, const QString &section, Visit visit)
{
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const Line line = parseLine(lines[i]);
        if (line.kind == Line::Section)
            inSection = sameName(line.name, section);
        if (!visit(i, line, inSection))
            return;
    }
}

bool parseIniInteger(const QString &raw, int &result)
{
    QString text = raw;
    int base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        text = text.mid(2);
        base = 16;
    } else if (text.size() > 1 && text[0] == u'$') {
        text = text.mid(1);
        base = 16;
    }
    if (text.isEmpty() || text[0].isSpace() || (base == 16 && (text[0] == u'-' || text[0] == u'+')))
        return false;
    bool ok = false;
    const int value = text.toInt(&ok, base);
    if (ok)
        result = value;
    return ok;
}

} // namespace

TIniFile::TIniFile(QString fileName)
    : m_fileName(std::move(fileName))
{
}

TIniFile::Stamp TIniFile::currentStamp() const
{
    const QFileInfo info(m_fileName);
    if (!info.exists())
        return Stamp();
    return Stamp { true, info.size(), info.lastModified() };
}

void TIniFile::refresh() const
{
    if (m_pending)
        return;
    const Stamp stamp = currentStamp();
    if (m_loaded && stamp == m_stamp)
        return;
    QList<QString> lines;
    bool crlf = true, bom = false;
    if (stamp.exists) {
        const QByteArray bytes = ReadFileBytes(m_fileName);
        bom = bytes.startsWith("\xef\xbb\xbf");
        const qsizetype lf = bytes.indexOf('\n');
        crlf = lf < 0 || (lf > 0 && bytes[lf - 1] == '\r');
        const QString text = DecodeText(bytes);
        TStringList split;
        split.SetText(text);
        lines.reserve(split.Count());
        for (int i = 0; i < split.Count(); ++i)
            lines.append(split[i]);
    }
    m_lines = std::move(lines);
    m_crlf = crlf;
    m_bom = bom;
    m_stamp = stamp;
    m_loaded = true;
}

void TIniFile::save(const QList<QString> &lines)
{
    if (m_updateDepth > 0) {
        m_lines = lines;
        m_pending = true;
        return;
    }
    writeLines(lines);
}

void TIniFile::writeLines(const QList<QString> &lines)
{
    const QLatin1String eol(m_crlf ? "\r\n" : "\n");
    QString text;
    if (m_bom)
        text += QChar(0xFEFF);
    for (const QString &line : lines) {
        text += line;
        text += eol;
    }
    const QByteArray bytes = text.toUtf8();
    WriteFileAtomically(m_fileName, bytes);
    m_lines = lines;
    m_stamp = currentStamp();
}

int TIniFile::findKey(const QList<QString> &lines, const QString &section, const QString &key) const
{
    int found = -1;
    const QString name = key.trimmed();
    scan(lines, section.trimmed(), [&](int i, const Line &line, bool inSection) {
        if (inSection && line.kind == Line::Key && sameName(line.name, name)) {
            found = i;
            return false;
        }
        return true;
    });
    return found;
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    refresh();
    const int index = findKey(m_lines, section, key);
    return index < 0 ? def : parseLine(m_lines[index]).value;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    int result = def;
    return parseIniInteger(ReadString(section, key, QString()), result) ? result : def;
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const QString &section, const QString &key, double def) const
{
    bool ok = false;
    const double value = ReadString(section, key, QString()).toDouble(&ok);
    return ok && std::isfinite(value) ? value : def;
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || hasLineBreak(sectionName) || sectionName.contains(u']'))
        throw Exception(QStringLiteral("Invalid ini file section name \"%1\"").arg(section));
    if (keyName.isEmpty() || hasLineBreak(keyName) || keyName.contains(u'=')
        || keyName.startsWith(u'[') || keyName.startsWith(u';'))
        throw Exception(QStringLiteral("Invalid ini file key name \"%1\"").arg(key));
    if (hasLineBreak(value))
        throw Exception(
            QStringLiteral("Invalid ini file value for \"%1\": it contains a line break").arg(key));

    refresh();
    QList<QString> lines = m_lines;
    const int index = findKey(lines, sectionName, keyName);
    if (index >= 0) {
        // Keep the key as the file spells it.
        lines[index] = parseLine(lines[index]).name + u'=' + value;
    } else {
        // After the last non-blank line of the section's first occurrence.
        int header = -1;
        for (int i = 0; i < lines.size() && header < 0; ++i) {
            const Line line = parseLine(lines[i]);
            if (line.kind == Line::Section && sameName(line.name, sectionName))
                header = i;
        }
        int last = header;
        for (int i = header + 1; header >= 0 && i < lines.size(); ++i) {
            if (parseLine(lines[i]).kind == Line::Section)
                break;
            if (!lines[i].trimmed().isEmpty())
                last = i;
        }
        const QString newLine = keyName + u'=' + value;
        if (header >= 0) {
            lines.insert(last + 1, newLine);
        } else {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines.append(QString());
            lines.append(u'[' + sectionName + u']');
            lines.append(newLine);
        }
    }
    save(lines);
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::ReadSection(const QString &section, TStringList &keys) const
{
    refresh();
    keys.Clear();
    TStringList seen;
    seen.SetSorted(true);
    scan(m_lines, section.trimmed(), [&](int, const Line &line, bool inSection) {
        if (inSection && line.kind == Line::Key && seen.IndexOf(line.name) < 0) {
            seen.Add(line.name);
            keys.Add(line.name);
        }
        return true;
    });
}

void TIniFile::ReadSections(TStringList &sections) const
{
    refresh();
    sections.Clear();
    TStringList seen;
    seen.SetSorted(true);
    for (const QString &raw : m_lines) {
        const Line line = parseLine(raw);
        if (line.kind == Line::Section && seen.IndexOf(line.name) < 0) {
            seen.Add(line.name);
            sections.Add(line.name);
        }
    }
}

void TIniFile::ReadSectionValues(const QString &section, TStringList &values) const
{
    refresh();
    values.Clear();
    TStringList seen;
    seen.SetSorted(true);
    scan(m_lines, section.trimmed(), [&](int, const Line &line, bool inSection) {
        if (inSection && line.kind == Line::Key && seen.IndexOf(line.name) < 0) {
            seen.Add(line.name);
            values.Add(line.name + u'=' + line.value);
        }
        return true;
    });
}

void TIniFile::ReadSectionValuesAsWritten(const QString &section, TStringList &values) const
{
    refresh();
    values.Clear();
    TStringList seen;
    seen.SetSorted(true);
    scan(m_lines, section.trimmed(), [&](int i, const Line &line, bool inSection) {
        if (inSection && line.kind == Line::Key && seen.IndexOf(line.name) < 0) {
            seen.Add(line.name);
            // A key line always has its "=": parseLine found one.
            values.Add(line.name + u'=' + m_lines[i].mid(m_lines[i].indexOf(u'=') + 1));
        }
        return true;
    });
}

int TIniFile::LineCount() const
{
    refresh();
    return int(m_lines.size());
}

bool TIniFile::SectionExists(const QString &section) const
{
    refresh();
    const QString name = section.trimmed();
    for (const QString &raw : m_lines) {
        const Line line = parseLine(raw);
        if (line.kind == Line::Section && sameName(line.name, name))
            return true;
    }
    return false;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    refresh();
    return findKey(m_lines, section, key) >= 0;
}

void TIniFile::EraseSection(const QString &section)
{
    refresh();
    QList<QString> kept;
    bool any = false;
    scan(m_lines, section.trimmed(), [&](int i, const Line &, bool inSection) {
        if (inSection)
            any = true;
        else
            kept.append(m_lines[i]);
        return true;
    });
    if (any)
        save(kept);
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    refresh();
    const QString name = key.trimmed();
    QList<QString> kept;
    bool any = false;
    scan(m_lines, section.trimmed(), [&](int i, const Line &line, bool inSection) {
        if (inSection && line.kind == Line::Key && sameName(line.name, name))
            any = true;
        else
            kept.append(m_lines[i]);
        return true;
    });
    if (any)
        save(kept);
}

void TIniFile::UpdateFile()
{
    refresh();
    save(m_lines);
}

void TIniFile::beginUpdate()
{
    ++m_updateDepth;
}

void TIniFile::endUpdate()
{
    if (m_updateDepth == 0 || --m_updateDepth > 0 || !m_pending)
        return;
    m_pending = false;
    try {
        writeLines(m_lines);
    } catch (...) {
        // Read the file again on next use, so the unsaved group is gone.
        m_loaded = false;
        throw;
    }
}

void TIniFile::cancelUpdate()
{
    if (m_updateDepth == 0 || --m_updateDepth > 0)
        return;
    if (m_pending) {
        m_pending = false;
        m_loaded = false;
    }
}

} // namespace qd
