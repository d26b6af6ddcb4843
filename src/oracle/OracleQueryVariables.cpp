// Bind variables of TOracleQuery: declaration, values and binding.

#include "oracle/OracleQuery.h"

#include "classlib/Exception.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleStatementCalls.h"

namespace qd {

namespace {

QString nilMessage(int type, const QString &name)
{
    switch (type) {
    case SQLT_NTY:
        return QStringLiteral("Object variable ") + name + QStringLiteral(" cannot be nil");
    case SQLT_REF:
        return QStringLiteral("Reference variable ") + name + QStringLiteral(" cannot be nil");
    case SQLT_RSET:
        return QStringLiteral("Cursor variable ") + name + QStringLiteral(" cannot be nil");
    default:
        return QStringLiteral("LOB variable ") + name + QStringLiteral(" cannot be nil");
    }
}

} // namespace

void TOracleQuery::closeForODBCBridge()
{
    if (m_session && m_session->ODBCBridge())
        Close();
}

void TOracleQuery::DeclareVariable(const QString &name, int variableType)
{
    m_variables->DeclareVariable(name, variableType);
    closeForODBCBridge();
    forgetParse();
}

void TOracleQuery::DeleteVariable(const QString &name)
{
    m_variables->DeleteVariable(name);
    forgetParse();
    closeForODBCBridge();
}

void TOracleQuery::DeleteVariables()
{
    m_variables->Clear();
    forgetParse();
    closeForODBCBridge();
}

void TOracleQuery::ClearVariables()
{
    for (int i = 0; i < m_variables->Count(); ++i)
        SetVariable(m_variables->Items(i).name, Variant::Null());
}

void TOracleQuery::SetVariable(const QString &name, const Variant &value)
{
    const int index = m_variables->VariableIndex(name);
    if (index < 0)
        throw Exception(QStringLiteral("Variable ") + name + QStringLiteral(" not declared"));
    TVariableData &v = m_variables->Items(index);
    const VariantArray *array = value.ArrayPtr();
    if (!array || v.type == SQLT_LBI) {
        if (v.isPLSQLTable) {
            if (!value.IsNullOrEmpty())
                throw Exception(
                    name + QStringLiteral(" is a PL/SQL Table, assign a variant array to it"));
            v.currentElementCount = 0;
            return;
        }
        if (v.elementCount != 1)
            v.SetArrayLength(1, 0, m_session);
        v.lowBound = 0;
        v.SetValue(0, value, m_session);
        return;
    }
    if (v.isComplex)
        throw Exception(name + QStringLiteral(" is a complex variable and cannot be an array"));
    if (v.type == otSubst)
        throw Exception(
            name + QStringLiteral(" is a substitution variable and cannot be an array"));
    const int count = static_cast<int>(array->size());
    if (v.isPLSQLTable) {
        if (count > v.elementCount)
            throw Exception(QStringLiteral("Array is larger than PL/SQL Table (%1 > %2)")
                                .arg(count)
                                .arg(v.elementCount));
        v.currentElementCount = static_cast<ub4>(count);
    } else {
        v.SetArrayLength(count, 0, m_session);
    }
    v.lowBound = 0;
    for (int i = 0; i < count; ++i)
        v.SetValue(i, (*array)[static_cast<std::size_t>(i)], m_session);
}

Variant TOracleQuery::variableValue(TVariableData &v)
{
    if (v.isComplex) {
        if (IsTimestampType(v.type) && !v.buffer)
            return v.IsNull(0) ? nullValue() : Variant::FromDateTime(v.dateTimeValue);
        return Variant();
    }
    if (v.IsNull(0))
        return nullValue();
    if (v.type == SQLT_LNG)
        return FromOracleText(v.GetValue(0, m_session).AsString(), m_session);
    return v.GetValue(0, m_session);
}

Variant TOracleQuery::GetVariable(const QString &name)
{
    const int index = m_variables->VariableIndex(name);
    if (index < 0)
        throw Exception(QStringLiteral("Unknown variable: ") + name);
    TVariableData &v = m_variables->Items(index);
    if (v.elementCount == 1 && !v.isPLSQLTable)
        return variableValue(v);
    const int n = v.isPLSQLTable ? static_cast<int>(v.currentElementCount) : v.elementCount;
    if (n < 1)
        return nullValue();
    VariantArray values;
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        values.push_back(v.IsNull(i) ? nullValue() : v.GetValue(i, m_session));
    return Variant(std::move(values));
}

void TOracleQuery::SetComplexVariable(const QString &name, QObject *value)
{
    const int index = m_variables->VariableIndex(name);
    if (index < 0)
        throw Exception(QStringLiteral("Unknown variable: ") + name);
    TVariableData &v = m_variables->Items(index);
    if (!v.isComplex)
        throw Exception(name + QStringLiteral(" is not a complex variable"));
    if (value) {
        bool accepted = false;
        if (v.type == SQLT_RSET) {
            accepted = dynamic_cast<TOracleQuery *>(value) != nullptr;
        } else if (auto handler = OracleQueryExtensions::VariableHandler(v.type)) {
            accepted = handler->accepts(value);
        }
        if (!accepted)
            throw Exception(QStringLiteral("Assign ")
                + OracleQueryExtensions::VariableClassName(v.type)
                + QStringLiteral(" instance to variable ") + name);
    }
    v.buffer = value;
    v.indicators.assign(1, value ? 0 : -1);
}

void TOracleQuery::DimPLSQLTable(const QString &name, int tableSize, int stringSize)
{
    m_variables->DimPLSQLTable(name, tableSize, stringSize, m_session);
    forgetParse();
}

bool TOracleQuery::IsStringVariant(const Variant &value)
{
    return value.Kind() == VariantKind::String;
}

int TOracleQuery::FindVariable(QString &name) const
{
    name = TVariables::NormalizeName(name);
    return m_variables->VariableIndex(name);
}

int TOracleQuery::VariableIndex(const QString &name) const
{
    return m_variables->VariableIndex(name);
}

QString TOracleQuery::VariableName(int index) const
{
    return m_variables->Items(index).name;
}

int TOracleQuery::VariableType(int index) const
{
    return m_variables->Items(index).type;
}

// ---- Binding
// --------------------------------------------------------------------------------------

void TOracleQuery::bindVariables()
{
    if (m_cursorVariableBound)
        return;
    m_arraySize = 0;
    TOracleSession &s = requireSession();
    if (m_returnLengths.size() != static_cast<std::size_t>(m_variables->Count()))
        m_returnLengths.assign(static_cast<std::size_t>(m_variables->Count()), 0);
    for (int i = 0; i < m_variables->Count(); ++i) {
        TVariableData &v = m_variables->Items(i);
        if (v.type == otSubst)
            continue;
        ub2 *returnLength = nullptr;
        if ((v.type == SQLT_LNG || v.type == SQLT_LBI) && v.length < 65536) {
            m_returnLengths[static_cast<std::size_t>(i)] = static_cast<ub2>(std::max(v.length, 0));
            returnLength = &m_returnLengths[static_cast<std::size_t>(i)];
        }
        void *value = v.buffer;
        sb4 size = v.bufferSize;
        ub2 type = v.type;
        std::shared_ptr<OracleVariableHandler> handler;
        switch (v.type) {
        case otLongPLSQLString:
            type = SQLT_STR;
            break;
        case SQLT_RSET: {
            auto *cursorQuery = v.buffer
                ? dynamic_cast<TOracleQuery *>(static_cast<QObject *>(v.buffer))
                : nullptr;
            if (!cursorQuery)
                throw Exception(nilMessage(v.type, v.name));
            cursorQuery->Close();
            cursorQuery->Clear();
            cursorQuery->m_cursorVariableBound = true;
            value = m_calls->bindCursor(*cursorQuery, size, type);
            break;
        }
        default:
            if (v.isComplex) {
                const QString feature = OracleQueryExtensions::VariableFeature(v.type);
                if (IsTimestampType(v.type)) {
                    CheckNet9(&s, feature);
                } else {
                    CheckOCI8(&s, feature);
                    if (!v.buffer)
                        throw Exception(nilMessage(v.type, v.name));
                }
                handler = OracleQueryExtensions::VariableHandler(v.type);
                if (!handler)
                    throw Exception(feature + QStringLiteral(" is not supported"));
                value = handler->bindValue(*this, v, size);
            }
            break;
        }

        ub4 maxLength = 0;
        ub4 *currentLength = nullptr;
        if (!v.isPLSQLTable) {
            if (m_arraySize == 0)
                m_arraySize = v.elementCount;
            else if (v.elementCount != m_arraySize)
                throw Exception(QStringLiteral("All arrays must be of equal size for Array DML"));
        } else {
            m_arraySize = 1;
            maxLength = static_cast<ub4>(v.elementCount);
            currentLength = &v.currentElementCount;
        }
        // A single string goes with at most the session's longest string; array elements keep
        // their stride, which the buffers already limit.
        if ((v.type == SQLT_STR || v.type == SQLT_AVC) && v.elementCount == 1 && !v.isPLSQLTable)
            size = std::min<sb4>(size, s.MaxStringChars() + 1);
        // A LONG too long for the 16-bit length slot goes by its size alone, which must then be
        // the text's length without the buffer's terminating zero.
        if (v.type == SQLT_LNG && !returnLength && v.length > 0)
            size = std::min<sb4>(size, v.length);

        const QByteArray placeholder = v.name.toUtf8();
        const BindRequest request { v, placeholder, value, size, type, returnLength, maxLength,
            currentLength, handler.get() };
        if (FailedCall call = m_calls->bind(request))
            raiseError(call);
    }
}

void TOracleQuery::syncComplexVariables()
{
    if (m_calls)
        m_calls->syncVariables();
}

} // namespace qd
