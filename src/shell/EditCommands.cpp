#include "shell/EditCommands.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

namespace qd {

namespace {

// The program's editor controls keep their Qt-free names; any class derived from them counts.
bool isProgramEditor(const QWidget *widget)
{
    return widget->inherits("qd::TCodeMemo");
}

bool hasMethod(const QObject *object, const char *name)
{
    const QMetaObject *meta = object->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.parameterCount() == 0 && method.name() == name)
            return true;
    }
    return false;
}

// Calls the first of names the object offers; false when it offers none.
bool invokeFirst(QObject *object, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (hasMethod(object, name))
            return QMetaObject::invokeMethod(object, name, Qt::DirectConnection);
    }
    return false;
}

// The bool answer of the first of names the object offers, or fallback.
bool askFirst(const QObject *object, std::initializer_list<const char *> names, bool fallback)
{
    for (const char *name : names) {
        if (hasMethod(object, name)) {
            bool result = fallback;
            QMetaObject::invokeMethod(const_cast<QObject *>(object), name, Qt::DirectConnection,
                Q_RETURN_ARG(bool, result));
            return result;
        }
    }
    return fallback;
}

const QTextDocument *documentOf(const QWidget *widget)
{
    if (auto *edit = qobject_cast<const QPlainTextEdit *>(widget))
        return edit->document();
    if (auto *edit = qobject_cast<const QTextEdit *>(widget))
        return edit->document();
    return nullptr;
}

bool canUndo(const QWidget *widget)
{
    if (const QTextDocument *document = documentOf(widget))
        return document->isUndoAvailable();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->isUndoAvailable();
    return askFirst(widget, { "CanUndo", "canUndo" }, true);
}

bool canRedo(const QWidget *widget)
{
    if (const QTextDocument *document = documentOf(widget))
        return document->isRedoAvailable();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->isRedoAvailable();
    return askFirst(widget, { "CanRedo", "canRedo" }, false);
}

// The key press of the standard sequence, as the control would get it from the keyboard.
void sendKeySequence(QWidget *widget, QKeySequence::StandardKey key)
{
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
    if (bindings.isEmpty() || bindings.first().isEmpty())
        return;
    const QKeyCombination combination = bindings.first()[0];
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    // Straight to the control: through the application, the key would first be offered to
    // the shortcuts, and reach the very command that sends it.
    static_cast<QObject *>(widget)->event(&press);
}

void runOrSendKey(QWidget *widget, std::initializer_list<const char *> names,
    QKeySequence::StandardKey key)
{
    if (!invokeFirst(widget, names))
        sendKeySequence(widget, key);
}

} // namespace

EditTargetKind EditTargetKindOf(const QWidget *focus)
{
    if (!focus)
        return EditTargetKind::None;
    if (isProgramEditor(focus) || qobject_cast<const QPlainTextEdit *>(focus)
        || qobject_cast<const QTextEdit *>(focus))
        return EditTargetKind::Editor;
    if (qobject_cast<const QLineEdit *>(focus))
        return EditTargetKind::EditBox;
    return EditTargetKind::None;
}

void UpdateEditActions(const QWidget *focus, QAction *undo, QAction *redo, QAction *selectAll)
{
    switch (EditTargetKindOf(focus)) {
    case EditTargetKind::Editor:
        selectAll->setEnabled(true);
        redo->setEnabled(canRedo(focus));
        undo->setEnabled(canUndo(focus));
        break;
    case EditTargetKind::EditBox:
        selectAll->setEnabled(true);
        undo->setEnabled(true);
        break;
    case EditTargetKind::None:
        selectAll->setEnabled(false);
        redo->setEnabled(false);
        break;
    }
}

void RunEditCommand(EditCommand command, QWidget *focus)
{
    if (!focus)
        return;
    const EditTargetKind kind = EditTargetKindOf(focus);
    switch (command) {
    case EditCommand::Undo:
        runOrSendKey(focus, { "undo", "Undo" }, QKeySequence::Undo);
        break;
    case EditCommand::Cut:
        runOrSendKey(focus, { "cut", "CutToClipboard" }, QKeySequence::Cut);
        break;
    case EditCommand::Copy:
        runOrSendKey(focus, { "copy", "CopyToClipboard" }, QKeySequence::Copy);
        break;
    case EditCommand::Paste:
        runOrSendKey(focus, { "paste", "PasteFromClipboard" }, QKeySequence::Paste);
        break;
    case EditCommand::Redo:
        if (kind == EditTargetKind::Editor)
            runOrSendKey(focus, { "redo", "Redo" }, QKeySequence::Redo);
        break;
    case EditCommand::SelectAll:
        if (kind != EditTargetKind::None)
            runOrSendKey(focus, { "selectAll", "SelectAll" }, QKeySequence::SelectAll);
        break;
    }
}

} // namespace qd
