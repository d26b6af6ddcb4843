#include "editor/ClipboardText.h"

#include <QMimeData>

namespace qd {

QString ClipboardTextFromEditor(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QString EditorTextFromClipboard(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

QStringList SplitTextLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    lines << text.mid(start);
    return lines;
}

QMimeData *MakeClipboardData(const QString &editorText, bool columnBlock)
{
    auto *data = new QMimeData;
    data->setText(ClipboardTextFromEditor(editorText));
    if (columnBlock)
        data->setData(QString::fromLatin1(MemoBlockMimeType), QByteArray(1, MemoBlockMarker));
    return data;
}

TClipboardContent ReadClipboardData(const QMimeData *data)
{
    TClipboardContent content;
    if (!data || !data->hasText())
        return content;
    content.HasText = true;
    content.Text = EditorTextFromClipboard(data->text());
    // Only the marker's first byte counts, as another writer of the type may add more.
    const QByteArray marker = data->data(QString::fromLatin1(MemoBlockMimeType));
    content.Block = !marker.isEmpty() && marker.at(0) == MemoBlockMarker;
    return content;
}

} // namespace qd
