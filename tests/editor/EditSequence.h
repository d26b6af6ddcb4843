#pragma once

// A randomized sequence of edits on a CodeDocument, driven by a byte string: the property test
// feeds it bytes from a seeded generator, the fuzz target the fuzzer's. After every step the
// document's invariants must hold; at the end undoing everything must give back the first text
// exactly, and redoing everything the last. QD_EDIT_TRACE=1 in the environment prints every step.

#include "editor/CodeDocument.h"
#include "editor/StyleCodes.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace qd::test {

class ByteSource {
public:
    ByteSource(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t next() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // A value in 0 .. bound - 1 (0 when bound < 1).
    qint64 below(qint64 bound)
    {
        if (bound < 1)
            return 0;
        const quint32 v = quint32(next()) | quint32(next()) << 8 | quint32(next()) << 16;
        return qint64(v % quint64(bound));
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Text made of letters, blanks, line breaks of every form, NULs and style codes.
inline QString randomText(ByteSource &bytes, int maxPieces)
{
    static const char16_t *const pieces[] = { u"a", u"bc", u"SELECT x", u" ", u"\t", u"\r", u"\n",
        u"\r\n", u"\n\r", u"\x02", u"\x01", u"\x15", u"\x03\x04", u"\x02\x02" };
    const int count = int(sizeof(pieces) / sizeof(pieces[0]));
    QString text;
    const qint64 n = bytes.below(maxPieces + 1);
    for (qint64 i = 0; i < n; ++i) {
        const int which = int(bytes.below(count + 1));
        if (which == count)
            text += QChar(u'\0');
        else
            text += QString::fromUtf16(pieces[which]);
    }
    return text;
}

// Runs the sequence; returns an empty string, or what went wrong.
inline std::string runEditSequence(const uint8_t *data, size_t size)
{
    ByteSource bytes(data, size);
    CodeDocument doc;
    doc.SetUndoMaxSpace(qint64(1) << 40);
    std::vector<std::unique_ptr<TCodeNavigator>> navs;
    int openUpdates = 0;
    int step = -1;
    qint64 op = -1;
    try {
        doc.SetStaticFormat(bytes.next() & 1);
        doc.ReplaceSel(randomText(bytes, 12));
        doc.ClearUndo();
        const QString original = doc.Text();
        if (std::getenv("QD_EDIT_TRACE"))
            fprintf(stderr, "original %s\n", qPrintable(original.toUtf8().toPercentEncoding()));
        doc.Check();
        for (step = 0; step < 400 && !bytes.atEnd(); ++step) {
            const qint64 length = doc.TextLength();
            op = bytes.below(14);
            switch (op) {
            case 0:
            case 1: { // insert at a position
                doc.SetSelStart(bytes.below(length + 1));
                doc.ReplaceSel(randomText(bytes, 6));
                break;
            }
            case 2: { // type a run at the caret, one character at a time
                const QString text = randomText(bytes, 4);
                for (QChar c : text)
                    doc.ReplaceSel(QString(c));
                break;
            }
            case 3:
            case 4: { // delete or replace a range, possibly across paragraphs and inside breaks
                doc.SetSelStart(bytes.below(length + 1));
                doc.SetSelLength(bytes.below(41) - 20);
                doc.ReplaceSel(bytes.next() & 1 ? QString() : randomText(bytes, 5));
                break;
            }
            case 5:
            case 6:
                doc.Undo();
                break;
            case 7:
                doc.Redo();
                break;
            case 8: // update brackets
                if (openUpdates < 3 && (bytes.next() & 1)) {
                    doc.BeginUpdate();
                    ++openUpdates;
                } else if (openUpdates > 0) {
                    doc.EndUpdate();
                    --openUpdates;
                }
                break;
            case 9: { // a column block replaced
                doc.SetSelStart(bytes.below(length + 1));
                doc.SetSelLength(bytes.below(30));
                doc.SetColumnBlock(true, bytes.below(6), bytes.below(6));
                doc.ReplaceSel(bytes.next() & 1 ? QString() : QStringLiteral("#"));
                break;
            }
            case 10: { // navigators that edits must move
                auto nav = std::make_unique<TCodeNavigator>(&doc);
                nav->FollowInsertion = bytes.next() & 1;
                nav->SetPos(bytes.below(length + 1));
                nav->ParIndex();
                navs.push_back(std::move(nav));
                break;
            }
            case 11: { // an attribute record, or attributes cleared
                if (bytes.next() % 4 == 0) {
                    doc.ClearAttributes();
                    break;
                }
                TCodeNavigator nav(&doc);
                nav.SetPos(bytes.below(length + 1));
                TAttrRecord record;
                record.Words[3] = int(bytes.next());
                nav.InsertAttr(record);
                break;
            }
            case 12: { // a start attribute shared over a run of paragraphs
                TParagraphsList &pars = doc.Paragraphs();
                const qint64 first = bytes.below(pars.Count());
                const qint64 last = qMin(pars.Count() - 1, first + bytes.below(4));
                TAttrRecord look;
                look.Words[2] = int(bytes.next());
                TAttrRecord *shared = TParagraphsList::NewStartAttr(&look);
                for (qint64 i = first; i <= last; ++i)
                    pars.SetStartAttr(i, shared);
                TParagraphsList::ReleaseStartAttr(shared);
                break;
            }
            case 13: { // options that change how text is replaced
                const uint8_t b = bytes.next();
                doc.SetStaticFormat(b & 1);
                const TCodeMemoOptions options = doc.Options();
                doc.SetOptions(b & 2 ? options | cmoDiscardTrailingSpaces
                                     : options & ~TCodeMemoOptions(cmoDiscardTrailingSpaces));
                break;
            }
            }
            if (std::getenv("QD_EDIT_TRACE"))
                fprintf(stderr, "step %d op %lld -> %s  sel %lld idx %lld/%lld\n", step, op,
                    qPrintable(doc.Text().toUtf8().toPercentEncoding()), doc.GetSelStart(),
                    doc.UndoList().Index(), doc.UndoList().Count());
            if (std::getenv("QD_EDIT_TRACE") && doc.UndoList().Count() > 0) {
                const auto &r = doc.UndoList().Record(doc.UndoList().Count() - 1);
                fprintf(stderr, "   last rec %lld..%lld g%d '%s'\n", r.Start, r.End, r.Grouped,
                    qPrintable(r.Text.toUtf8().toPercentEncoding()));
            }
            doc.Check();
            for (const auto &nav : navs)
                if (nav->Position() < 0 || nav->Position() > doc.TextLength() + 1)
                    return "a navigator left the text at step " + std::to_string(step);
        }
        while (openUpdates-- > 0)
            doc.EndUpdate();
        const QString last = doc.Text();
        const qint64 lastIndex = doc.UndoList().Index();
        while (doc.CanUndo()) {
            doc.Undo();
            doc.Check();
            if (std::getenv("QD_EDIT_TRACE"))
                fprintf(stderr, "undo -> %s idx %lld\n",
                    qPrintable(doc.Text().toUtf8().toPercentEncoding()), doc.UndoList().Index());
        }
        if (std::getenv("QD_EDIT_TRACE"))
            fprintf(stderr, "final    %s\n", qPrintable(doc.Text().toUtf8().toPercentEncoding()));
        if (doc.Text() != original)
            return "undoing everything did not restore the original text";
        // Redo as far as the undo index stood at the end (later records were undone before).
        while (doc.CanRedo() && doc.UndoList().Index() < lastIndex) {
            doc.Redo();
            doc.Check();
        }
        if (doc.Text() != last)
            return "redoing everything did not restore the last text";
    } catch (const std::exception &e) {
        return std::string("exception at step ") + std::to_string(step) + " (operation "
            + std::to_string(op) + "): " + e.what();
    }
    return std::string();
}

} // namespace qd::test
