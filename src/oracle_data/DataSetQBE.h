#pragma once

// The dataset's query-by-example mode: the checks before it starts, the field hooks that route
// typed texts to the fields' TQBEField items while it lasts, the colouring of the bound
// controls, and the condition merged into the statement. The QBEMode flag and the
// QBEDefinition stay the dataset's published properties; the dataset owns one of these and
// forwards its published QBE calls to it.

#include "QBEControls.h"
#include "QBEStatement.h"
#include "classlib/Field.h"

#include <vector>

namespace qd {

class TOracleDataSet;

class DataSetQBE {
public:
    explicit DataSetQBE(TOracleDataSet &dataSet);
    DataSetQBE(const DataSetQBE &) = delete;
    DataSetQBE &operator=(const DataSetQBE &) = delete;

    void enter(bool interactive);
    void leave(bool interactive);
    bool checkAllowed(bool raiseError);
    void storeValues();
    void apply();
    void remove();
    bool applied() const { return m_statement.Applied(); }
    void updateControls(bool entering);
    // Gives the fields hooked for QBE mode their own handlers, ReadOnly and Required back.
    void unhookFields();

private:
    void hookFields();
    void showSavedValues();

    // The field handlers replaced by the QBE hooks while QBE mode lasts.
    struct FieldHandlers {
        TField *field = nullptr;
        TFieldGetTextEvent getText;
        TFieldSetTextEvent setText;
        TFieldNotifyEvent change;
    };

    TOracleDataSet &m_dataSet;
    std::vector<FieldHandlers> m_handlers;
    TQBEStatement m_statement;
    TQBEControlState m_controls;
};

} // namespace qd
