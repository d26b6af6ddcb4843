#pragma once

#include "classlib/Variant.h"
#include "oracle/OracleCI.h"

#include <QString>

#include <memory>

class QObject;

namespace qd {

class TFieldData;
class TOracleQuery;
class TVariableData;

// Column kinds whose values live in client-side objects (LOB locators, timestamps, objects,
// REFs, cursors) are served by handlers registered here, keyed by the column's internal type
// code (SQLT_NTY, SQLT_REF, the LOB types, SQLT_RSET and the timestamp types). Without a
// handler such a column fails at describe time with "<feature> is not supported" (for example
// "A query with LOB's is not supported"), so a query never fetches a kind it cannot read.
class OracleColumnHandler {
public:
    virtual ~OracleColumnHandler() = default;

    // At describe: sets field.defineType and the per-row element size (field.elementSize),
    // may read more of the column's parameter (null in the older mode). The query then
    // allocates the buffers (TFieldData::AllocateBuffers) and calls setUpBuffers.
    virtual void describe(TOracleQuery &query, TFieldData &field, OCIParam *parameter) = 0;
    // After the buffers exist: per-row descriptors and the field's value wrapper.
    virtual void setUpBuffers(TOracleQuery &query, TFieldData &field) = 0;
    // After OCIDefineByPos of the handle-based mode (object defines and the like).
    virtual void define(TOracleQuery &, TFieldData &, OCIDefine *) { }
    // Before every fetch call (LOB locators rewind).
    virtual void beforeFetch(TOracleQuery &, TFieldData &) { }
    // The current row moved to row.
    virtual void prepareRow(TOracleQuery &, TFieldData &, int /*row*/) { }
    // Null test of the current row when the indicator alone does not decide (objects).
    virtual bool isNull(TOracleQuery &, TFieldData &field, int row) const;
    // Value of a non-null row, as Field gives it.
    virtual Variant value(TOracleQuery &query, TFieldData &field, int row) = 0;
    // FieldAsString of a non-null row; returns false when the kind has no text form.
    virtual bool asString(TOracleQuery &, TFieldData &, int /*row*/, QString &) { return false; }
    // FieldAsDate of a non-null row; returns false when the kind has no date form.
    virtual bool asDate(TOracleQuery &, TFieldData &, int /*row*/, double &) { return false; }
};

// Complex bind variables (objects, REFs, LOBs and timestamps) are bound by handlers too.
// Cursor variables (SQLT_RSET) are the query's own business.
class OracleVariableHandler {
public:
    virtual ~OracleVariableHandler() = default;

    // True when value is of the class the type asks for (SetComplexVariable).
    virtual bool accepts(const QObject *value) const = 0;
    // The address and size to bind; sets variable.indicators[0] from the value's own null
    // state. variable.buffer holds the assigned object (null for a timestamp variable that
    // only holds a date value, which the handler then provides for).
    virtual void *bindValue(TOracleQuery &query, TVariableData &variable, sb4 &size) = 0;
    // After OCIBindByName (OCIBindObject and the like).
    virtual void afterBind(TOracleQuery &, TVariableData &, OCIBind *) { }
    // After every execute of the handle-based mode: the value object takes up the indicator.
    virtual void sync(TOracleQuery &, TVariableData &) { }
    // GetVariable of a one-element variable of this kind.
    virtual Variant value(TOracleQuery &, TVariableData &) { return Variant(); }
};

class OracleQueryExtensions {
public:
    // Registers (or with null removes) the handler of a column or variable type code.
    static void SetColumnHandler(int internalType, std::shared_ptr<OracleColumnHandler> handler);
    static std::shared_ptr<OracleColumnHandler> ColumnHandler(int internalType);
    static void SetVariableHandler(int type, std::shared_ptr<OracleVariableHandler> handler);
    static std::shared_ptr<OracleVariableHandler> VariableHandler(int type);

    // The feature name of a column kind served by handlers ("A query with LOB's", ...), empty
    // for every other type.
    static QString ColumnFeature(int internalType);
    // The feature name of a complex variable type ("A LOB Locator variable", ...).
    static QString VariableFeature(int type);
    // The class a complex variable type asks for ("TLOBLocator", ...).
    static QString VariableClassName(int type);
};

} // namespace qd
