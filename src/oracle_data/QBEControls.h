#pragma once

#include "QBEDefinition.h"
#include "classlib/Colors.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

namespace qd {

class TDataSet;
class TDataSource;

// A data-aware control normally has the system colours clWindow (background) and clWindowText
// (text); any other TColor is an explicit colour in the 0x00BBGGRR form.

// The data-aware controls on the screen as query-by-example mode sees them. The dataset layer
// knows no widgets: the widget layer registers one implementation (SetQBEControlAccess); while
// none is registered, QBE mode leaves every control alone. A control is any QObject the
// implementation hands out; every call runs in the thread that owns the controls.
class TQBEControlAccess {
public:
    virtual ~TQBEControlAccess() = default;

    // Every control of every window on the screen, windows and their children recursively.
    virtual QList<QObject *> Controls() = 0;
    // The data source of the control's "DataSource" property; null when it has none.
    virtual TDataSource *DataSource(QObject *control) = 0;
    // Whether the control has a caption of its own (a "Caption" property or the like).
    virtual bool HasCaption(QObject *control) = 0;
    // The control's "DataField"; nothing when it has no such property.
    virtual std::optional<QString> DataField(QObject *control) = 0;
    // The control's "MaxLength" (0 = no limit); nothing when it has no such property.
    virtual std::optional<int> MaxLength(QObject *control) = 0;
    virtual void SetMaxLength(QObject *control, int value) = 0;
    // Background and text colour: clWindow / clWindowText while the control shows the default
    // colours, else the explicit colour. Setting clWindow / clWindowText gives the default back.
    virtual TColor Color(QObject *control) = 0;
    virtual void SetColor(QObject *control, TColor value) = 0;
    virtual TColor FontColor(QObject *control) = 0;
    virtual void SetFontColor(QObject *control, TColor value) = 0;
};

// The registered access, null when none. The caller keeps ownership and unregisters (null)
// before the access goes away.
void SetQBEControlAccess(TQBEControlAccess *access);
TQBEControlAccess *QBEControlAccess();

// What a dataset remembers of the controls it changed while QBE mode lasts: the controls whose
// text colour and whose background were changed, and the controls whose MaxLength was lifted
// with the value each had. Controls destroyed meanwhile drop out.
struct TQBEControlState {
    QList<QPointer<QObject>> fontControls;
    QList<QPointer<QObject>> backgroundControls;
    QList<QPointer<QObject>> maxLengthControls;
    QList<int> maxLengths;
};

// Entering QBE mode: with AllowOperators, every control bound to dataSet that has a MaxLength
// gets no limit (its value remembered); when the definition gives a QBE colour, the bound
// controls without a caption, except those showing a field whose QBE item is disabled, take it
// where they still show the default colour. Leaving gives the remembered MaxLength values and
// the default colours back. Nothing happens without a registered access.
void UpdateQBEControls(TQBEControlState &state, const TDataSet *dataSet,
    const TQBEDefinition &definition, bool entering);

} // namespace qd
