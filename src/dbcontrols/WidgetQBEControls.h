#pragma once

#include "oracle_data/QBEControls.h"

namespace qd {

// Query-by-example's view of the application's widgets: every top-level widget and its child
// widgets are the controls; a control's data source and field are its "DataSource" and
// "DataField" properties (DataAwareControl.h); it has a caption when it has a "Caption" property
// or is a button or group box (their text is their caption); its MaxLength is a "maxLength" (as a
// QLineEdit has, where 32767 means no limit) or "MaxLength" property; its colours are the Base
// (clWindow) and Text (clWindowText) roles of its palette, default while they equal the
// application palette's colours for that widget.
class TWidgetQBEControls : public TQBEControlAccess {
public:
    QList<QObject *> Controls() override;
    TDataSource *DataSource(QObject *control) override;
    bool HasCaption(QObject *control) override;
    std::optional<QString> DataField(QObject *control) override;
    std::optional<int> MaxLength(QObject *control) override;
    void SetMaxLength(QObject *control, int value) override;
    TColor Color(QObject *control) override;
    void SetColor(QObject *control, TColor value) override;
    TColor FontColor(QObject *control) override;
    void SetFontColor(QObject *control, TColor value) override;
};

// Registers one TWidgetQBEControls for the life of the program (idempotent); the program calls
// it once its QApplication exists.
void InstallWidgetQBEControls();

} // namespace qd
