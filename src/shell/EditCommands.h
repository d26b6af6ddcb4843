#pragma once

class QAction;
class QWidget;

namespace qd {

// The main window's Edit menu acts on the control that has the keyboard focus. Editors (the
// program's own editor controls, whatever class they derive to, and Qt's text editors) get
// their own redo and select-all; a one-line edit box gets select-all; every focused control,
// a grid included, gets undo, cut, copy and paste, through its own operation when it has one,
// else as the standard key sequence, the way the platform would deliver it.

enum class EditCommand { Undo, Redo, Cut, Copy, Paste, SelectAll };

// How the focused control takes part in the Edit menu.
enum class EditTargetKind {
    None, // no focused control, or one that is no text control
    Editor, // a multi-line editor
    EditBox, // a one-line edit box
};

EditTargetKind EditTargetKindOf(const QWidget *focus);

// Sets the actions' enabled states as the Edit menu opens: an editor enables Select All and
// enables Undo and Redo by what it can undo and redo; an edit box enables Select All and Undo;
// anything else disables Select All and Redo and leaves Undo as it is.
void UpdateEditActions(const QWidget *focus, QAction *undo, QAction *redo, QAction *selectAll);

// Runs command on focus (nothing when focus is null). Redo and Select All do nothing on a
// control that is no editor (Select All: no editor or edit box).
void RunEditCommand(EditCommand command, QWidget *focus);

} // namespace qd
