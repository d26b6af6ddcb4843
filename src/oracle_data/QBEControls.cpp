#include "QBEControls.h"

#include "classlib/DataSource.h"

namespace qd {

namespace {

TQBEControlAccess *registeredAccess = nullptr;

bool boundTo(TQBEControlAccess &access, QObject *control, const TDataSet *dataSet)
{
    TDataSource *source = access.DataSource(control);
    return source && source->DataSet() == dataSet;
}

} // namespace

void SetQBEControlAccess(TQBEControlAccess *access)
{
    registeredAccess = access;
}

TQBEControlAccess *QBEControlAccess()
{
    return registeredAccess;
}

void UpdateQBEControls(TQBEControlState &state, const TDataSet *dataSet,
    const TQBEDefinition &definition, bool entering)
{
    TQBEControlAccess *access = registeredAccess;
    if (!access)
        return;

    if (definition.AllowOperators()) {
        if (entering) {
            // Entering again before leaving (the dataset re-opened in QBE mode) keeps the
            // values recorded first: the controls hold 0 by now.
            for (qsizetype i = state.maxLengthControls.size() - 1; i >= 0; --i) {
                if (!state.maxLengthControls.at(i)) {
                    state.maxLengthControls.removeAt(i);
                    state.maxLengths.removeAt(i);
                }
            }
            for (QObject *control : access->Controls()) {
                if (!boundTo(*access, control, dataSet))
                    continue;
                const std::optional<int> maxLength = access->MaxLength(control);
                if (!maxLength)
                    continue;
                if (!state.maxLengthControls.contains(control)) {
                    state.maxLengthControls.append(control);
                    state.maxLengths.append(*maxLength);
                }
                access->SetMaxLength(control, 0);
            }
        } else {
            for (qsizetype i = 0; i < state.maxLengthControls.size(); ++i) {
                QObject *control = state.maxLengthControls.at(i);
                if (control && access->MaxLength(control))
                    access->SetMaxLength(control, state.maxLengths.at(i));
            }
            state.maxLengthControls.clear();
            state.maxLengths.clear();
        }
    }

    if (!entering) {
        // Whatever was coloured gets its default colour back, even when the QBE colours were
        // switched off meanwhile: the lists only hold controls this dataset coloured.
        for (const QPointer<QObject> &control : std::as_const(state.fontControls))
            if (control)
                access->SetFontColor(control, clWindowText);
        for (const QPointer<QObject> &control : std::as_const(state.backgroundControls))
            if (control)
                access->SetColor(control, clWindow);
        state.fontControls.clear();
        state.backgroundControls.clear();
        return;
    }

    const TColor fontColor = definition.QBEFontColor();
    const TColor backgroundColor = definition.QBEBackgroundColor();
    if (fontColor == clNone && backgroundColor == clNone)
        return;
    if (!state.fontControls.isEmpty() || !state.backgroundControls.isEmpty())
        return;
    for (QObject *control : access->Controls()) {
        if (access->HasCaption(control) || !boundTo(*access, control, dataSet))
            continue;
        // A control for a field that takes no QBE input keeps its look.
        if (const std::optional<QString> fieldName = access->DataField(control)) {
            const TQBEField *item = definition.FindField(*fieldName);
            if (item && !item->Enabled())
                continue;
        }
        if (backgroundColor != clNone && access->Color(control) == clWindow) {
            access->SetColor(control, backgroundColor);
            state.backgroundControls.append(control);
        }
        if (fontColor != clNone && access->FontColor(control) == clWindowText) {
            access->SetFontColor(control, fontColor);
            state.fontControls.append(control);
        }
    }
}

} // namespace qd
