#pragma once

// Reading printed PDF files back with poppler-utils (pdfinfo, pdftotext, pdftoppm), installed by
// tools/install-deps.sh.

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace qd::test {

// A word of a page and its box in points from the page's top-left corner.
struct PdfWord {
    QString Text;
    double XMin = 0, YMin = 0, XMax = 0, YMax = 0;
};

struct PdfPage {
    double Width = 0, Height = 0;
    std::vector<PdfWord> Words;

    const PdfWord *find(const QString &text) const
    {
        for (const PdfWord &w : Words)
            if (w.Text == text)
                return &w;
        return nullptr;
    }
    // The page's words joined by blanks, in reading order.
    QString text() const
    {
        QStringList all;
        for (const PdfWord &w : Words)
            all << w.Text;
        return all.join(u' ');
    }
    // Words grouped into lines by their top edge (within half a point), top to bottom.
    std::vector<std::vector<PdfWord>> lines() const
    {
        std::vector<std::vector<PdfWord>> result;
        for (const PdfWord &w : Words) {
            auto it
                = std::find_if(result.begin(), result.end(), [&](const std::vector<PdfWord> &l) {
                      return std::abs(l.front().YMin - w.YMin) < 0.5;
                  });
            if (it == result.end())
                result.push_back({ w });
            else
                it->push_back(w);
        }
        std::sort(result.begin(), result.end(),
            [](const auto &a, const auto &b) { return a.front().YMin < b.front().YMin; });
        for (auto &l : result)
            std::sort(l.begin(), l.end(),
                [](const PdfWord &a, const PdfWord &b) { return a.XMin < b.XMin; });
        return result;
    }
};

inline QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        ADD_FAILURE() << qPrintable(program) << " failed on " << qPrintable(arguments.join(u' '))
                      << ": " << process.readAllStandardError().constData();
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int pdfPageCount(const QString &file)
{
    const QRegularExpressionMatch m = QRegularExpression(
        QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
                                          .match(runTool(QStringLiteral("pdfinfo"), { file }));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Every page with its words (pdftotext -bbox).
inline std::vector<PdfPage> pdfPages(const QString &file)
{
    const QString html = runTool(
        QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), file, QStringLiteral("-") });
    std::vector<PdfPage> pages;
    static const QRegularExpression tag(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|<word xMin=\"([\\d.]+)\" "
                       "yMin=\"([\\d.]+)\" "
                       "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (const QRegularExpressionMatch &m : tag.globalMatch(html)) {
        if (!m.captured(1).isEmpty()) {
            pages.push_back({ m.captured(1).toDouble(), m.captured(2).toDouble(), {} });
        } else if (!pages.empty()) {
            QString text = m.captured(7);
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            pages.back().Words.push_back({ text, m.captured(3).toDouble(), m.captured(4).toDouble(),
                m.captured(5).toDouble(), m.captured(6).toDouble() });
        }
    }
    return pages;
}

// One page rendered at dpi dots per inch (pdftoppm), page counting from 1.
inline QImage pdfPageImage(const QString &file, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    runTool(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page),
            QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"), file,
            prefix });
    return QImage(prefix + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
}

} // namespace qd::test
