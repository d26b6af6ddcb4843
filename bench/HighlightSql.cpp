// SQL highlighting against QScintilla's SQL lexer, in one process on the same text: a generated
// SQL script of 5, 10 and 20 MB (linear growth: the time per MB should stay flat) and one
// statement of 24,000 lines. Ours: highlighting every paragraph of the text model with the SQL
// editor's set-up; QScintilla: styling the whole document with QsciLexerSQL. Prints the time
// ratio (ours / QScintilla, best of a few rounds) and the time after typing "/*" at the top.
//
// QScintilla is a baseline only: linked by this benchmark, used through its public API.
#include "editor/CodeDocument.h"
#include "editor/HighlightHost.h"
#include "editor/SQLHighlighting.h"

#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

using namespace qd;

namespace {

constexpr int rounds = 3;

class Document : public CodeDocument {
public:
    Document()
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

const char *const words[] = { "select", "from", "where", "and", "or", "order by", "group by",
    "insert into", "values", "update", "set", "delete", "join", "on", "nvl(", "decode(",
    "to_char(", "sysdate", "count(*)", "sum(", "'text'", "null", "is not", "=", "<>", "+", "||",
    "12.5", "-- a comment", "/* a note */", "emp.ename", "col_17", ",", "$1F" };

// Lines of SQL words; statement ends only when statements is set.
QString makeSql(qint64 bytes, bool statements, unsigned seed)
{
    std::mt19937 rng(seed);
    QString text;
    text.reserve(bytes + 200);
    while (text.size() < bytes) {
        if (!text.isEmpty())
            text += QStringLiteral("\r\n");
        const int n = 2 + int(rng() % 9);
        for (int w = 0; w < n; ++w) {
            if (w > 0)
                text += QChar(u' ');
            text += QLatin1String(words[rng() % std::size(words)]);
        }
        if (statements && rng() % 5 == 0)
            text += QChar(u';');
    }
    return text;
}

double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Result {
    double ours = 1e9;
    double qsci = 1e9;
    double oursTyped = 1e9;
};

Result measure(const QString &text)
{
    Result r;
    Document doc;
    TSQLHighlighting sql;
    sql.AddKeywords(BuiltInSQLKeywords());
    doc.BeginUpdate();
    doc.ReplaceSel(text);
    doc.EndUpdate();
    doc.ClearUndo();
    sql.AttachTo(doc.Host);

    QsciScintilla editor;
    QsciLexerSQL lexer;
    editor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, QsciScintillaBase::SC_CP_UTF8);
    editor.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0ul);
    const QByteArray utf8 = text.toUtf8();
    editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, utf8.constData());
    editor.setLexer(&lexer);

    for (int round = 0; round < rounds; ++round) {
        doc.Host.Rehighlight();
        r.ours = std::min(r.ours, seconds([&] { doc.Host.HighlightAll(); }));
        editor.SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
        r.qsci = std::min(r.qsci,
            seconds([&] { editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0l, -1l); }));
    }
    // Typing "/*" at the top with the flow left to background slices after a screenful, as the
    // editor does: the time until the screen shows the comment.
    doc.Host.SetFlowLimit(60);
    r.oursTyped = seconds([&] {
        doc.SetSelStart(0);
        doc.ReplaceSel(QStringLiteral("/"));
        doc.ReplaceSel(QStringLiteral("*"));
    });
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("%-28s %10s %10s %8s %12s %14s\n", "text", "ours ms", "qsci ms", "ratio",
        "ours ns/char", "typed /* ms");
    const auto report = [](const char *name, const QString &text) {
        const Result r = measure(text);
        std::printf("%-28s %10.1f %10.1f %8.2f %12.1f %14.2f\n", name, r.ours * 1e3, r.qsci * 1e3,
            r.ours / r.qsci, r.ours * 1e9 / double(text.size()), r.oursTyped * 1e3);
    };
    for (int mb : { 5, 10, 20 }) {
        const QByteArray name = QByteArray::number(mb) + " MB script";
        report(name.constData(), makeSql(qint64(mb) * 1000 * 1000, true, 20261211));
    }
    {
        QString statement = QStringLiteral("select\r\n");
        const QString body = makeSql(24000 * 40, false, 7);
        statement += body;
        statement += QStringLiteral("\r\nfrom dual;");
        report("24,000-line statement", statement);
    }
    return 0;
}
