#pragma once

#include "EditorTestSupport.h"
#include "common/TestSupport.h"

#include "editor/CodeDocument.h"
#include "editor/HighlightHost.h"
#include "editor/HighlightRecord.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace qd::test {

// A text model whose passes are the highlighting host's, as the editor widget wires them.
class HighlightedDocument : public CodeDocument {
public:
    HighlightedDocument()
        : Host(*this)
    {
    }
    void ApplyStartStopPass(TCodeNavigator &from, TCodeNavigator &to) override
    {
        Host.ApplyStartStopPass(from, to);
    }
    void ApplyKeywordPass(TCodeNavigator &from, qint64 to) override
    {
        Host.ApplyKeywordPass(from, to);
    }

    THighlightHost Host;
};

inline QString colourName(qint32 colour)
{
    switch (colour) {
    case 32768:
        return QStringLiteral("green");
    case 255:
        return QStringLiteral("red");
    case 16711680:
        return QStringLiteral("blue");
    case -1:
        return QStringLiteral("none");
    default:
        return QStringLiteral("#%1").arg(quint32(colour), 6, 16, QLatin1Char('0'));
    }
}

// The label of the look an attribute gives: empty for text outside every mark, else the open
// entries from the outermost ("R2" a start/stop item, "K17" a keyword, "N" a number) and the text
// colour, as in "R1.K3/blue".
inline QString labelOf(const TAttrRecord &r)
{
    if (!hl::IsLevelled(r))
        return QString();
    QStringList parts;
    const int level = hl::Level(r);
    for (int i = 0; i <= level && i < hl::MaxEntries; ++i) {
        const quint16 e = quint16(hl::Entry(r, i));
        if (e == 0x7FFF)
            parts << QStringLiteral("N");
        else if (e & hl::RangeBit)
            parts << QStringLiteral("R%1").arg(e & 0x7FFF);
        else
            parts << QStringLiteral("K%1").arg(e);
    }
    return parts.join(QLatin1Char('.')) + QLatin1Char('/') + colourName(r.TextColor());
}

// One line per paragraph: its text with every marked run written as [label:text].
inline QString attributeRuns(const CodeDocument &doc)
{
    QString out;
    const TParagraphsList &pars = doc.Paragraphs();
    for (qint64 k = 0; k < pars.Count(); ++k) {
        const TParagraph *p = pars.At(k);
        QString line;
        if (p->Length == 0) {
            const QString label = labelOf(*p->StartAttr);
            if (!label.isEmpty())
                line = QStringLiteral("[%1:]").arg(label);
        }
        qint64 i = 0;
        while (i < p->Length) {
            const QString label = labelOf(*hl::AttrAt(p, i));
            qint64 j = i + 1;
            while (j < p->Length && labelOf(*hl::AttrAt(p, j)) == label)
                ++j;
            const QString text(reinterpret_cast<const QChar *>(p->Text + i), j - i);
            line += label.isEmpty() ? text : QStringLiteral("[%1:%2]").arg(label, text);
            i = j;
        }
        out += line + QLatin1Char('\n');
    }
    return out;
}

// The label in force at position (the character there).
inline QString labelAt(const CodeDocument &doc, qint64 position)
{
    const TParagraphsList &pars = doc.Paragraphs();
    const qint64 k = pars.ParagraphOfPos(position);
    return labelOf(*hl::AttrAt(pars.At(k), position - pars.StartPos(k)));
}

// Every attribute record of the text (start records included, counts left out), for comparing
// two highlightings of the same text.
inline QString recordDump(const CodeDocument &doc)
{
    QString out;
    const TParagraphsList &pars = doc.Paragraphs();
    const auto words = [](const TAttrRecord &r, int from) {
        QString s;
        for (int w = from; w < 15; ++w)
            s += QString::number(quint32(r.Words[w]), 16) + QLatin1Char(' ');
        return s;
    };
    for (qint64 k = 0; k < pars.Count(); ++k) {
        const TParagraph *p = pars.At(k);
        out += QStringLiteral("P%1 start %2\n").arg(k).arg(words(*p->StartAttr, 1));
        for (qint32 a = 0; a < p->AttrCount; ++a)
            out += QStringLiteral("  @%1 %2\n").arg(p->Attrs[a].Offset()).arg(words(p->Attrs[a], 1));
    }
    return out;
}

inline QString goldenDir()
{
    return testsSourceDirectory() + QStringLiteral("/editor/golden/highlight");
}

// Compares actual with the golden file name; QD_UPDATE_GOLDEN=1 rewrites the file first.
inline void expectGolden(const QString &name, const QString &actual)
{
    const QString path = QDir(goldenDir()).filePath(name);
    if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN")) {
        QSaveFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(actual.toUtf8());
        ASSERT_TRUE(out.commit());
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(actual, QString::fromUtf8(file.readAll())) << name.toStdString();
}

} // namespace qd::test
