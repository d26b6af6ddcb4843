#pragma once

#include "classlib/DataSource.h"

#include <QMetaType>

// A data-aware control is a widget with a "DataSource" property holding a qd::TDataSource *
// (a Q_PROPERTY or a dynamic property) and, when it shows one field, a "DataField" property
// naming it. Code that walks the controls (query-by-example colouring) reads them through Qt's
// property system. A control that keeps its data source in a dynamic property clears it before
// the data source goes away; TDBEdit's property follows its data link and never dangles.
Q_DECLARE_METATYPE(qd::TDataSource *)
