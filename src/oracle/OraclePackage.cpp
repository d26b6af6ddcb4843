#include "oracle/OraclePackage.h"

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleMonitor.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <QMutex>
#include <QMutexLocker>

namespace qd {

namespace {

const QString ResultVariable = QStringLiteral("zeb__value");
const QString BooleanLocal = QStringLiteral("zeb__boolean");

QMutex &creationHookLock()
{
    static QMutex lock;
    return lock;
}

std::function<void(TOraclePackage *)> &creationHook()
{
    static std::function<void(TOraclePackage *)> hook;
    return hook;
}

// The result type of a call without a result (a procedure).
constexpr int NoResult = ptNullArgument;

bool isOutputType(int type)
{
    return type == SQLT_INT || type == SQLT_FLT || type == SQLT_STR || type == SQLT_DAT
        || type == ptPLSQLBoolean;
}

// A named argument becomes both the parameter name in the call and a bind variable, so it
// must be a plain identifier: anything else could not be bound and would change the block.
bool isPlainIdentifier(const QString &name)
{
    if (name.isEmpty() || !name.at(0).isLetter())
        return false;
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != u'_' && c != u'$' && c != u'#')
            return false;
    }
    return true;
}

int typeOfValue(const Variant &value, const QString &bindName)
{
    switch (value.Kind()) {
    case VariantKind::Unassigned:
    case VariantKind::Null:
        return ptNullArgument;
    case VariantKind::Integer:
        return SQLT_INT;
    case VariantKind::Float:
        return SQLT_FLT;
    case VariantKind::DateTime:
        return SQLT_DAT;
    case VariantKind::String:
        return SQLT_STR;
    case VariantKind::Boolean:
        return ptPLSQLBoolean;
    case VariantKind::Bytes:
    case VariantKind::Array:
        break;
    }
    throw Exception(
        QStringLiteral("Type of parameter ") + bindName + QStringLiteral(" not supported"));
}

QString messageOf(const std::exception &e)
{
    if (const auto *ours = dynamic_cast<const Exception *>(&e))
        return ours->Message();
    return QString::fromUtf8(e.what());
}

} // namespace

// ---- TOraclePackage --------------------------------------------------------------------------

void TOraclePackage::SetCreationHook(std::function<void(TOraclePackage *)> hook)
{
    QMutexLocker locker(&creationHookLock());
    creationHook() = std::move(hook);
}

TOraclePackage::TOraclePackage(QObject *owner)
    : QObject(owner)
    , m_query(std::make_unique<TOracleQuery>())
{
    m_query->setObjectName(QStringLiteral("Query"));
    std::function<void(TOraclePackage *)> hook;
    {
        QMutexLocker locker(&creationHookLock());
        hook = creationHook();
    }
    if (hook)
        hook(this);
}

TOraclePackage::~TOraclePackage()
{
    try {
        m_query.reset();
        if (m_session)
            m_session->RemoveDependent(this);
        if (m_monitorStarted)
            monitorEnd(QString());
    } catch (...) {
        // A destructor reports nothing.
    }
}

void TOraclePackage::SetSession(TOracleSession *value)
{
    if (value == m_session)
        return;
    if (m_session) {
        m_session->RemoveDependent(this);
        if (m_monitorStarted)
            monitorEnd(QString());
        m_monitorId = 0;
    }
    m_session = value;
    m_query->SetSession(value);
    if (m_session)
        m_session->AddDependent(this);
}

void TOraclePackage::sessionDestroyed()
{
    // The query is a dependent of the same session and is told on its own.
    m_session = nullptr;
}

Variant TOraclePackage::nullValue() const
{
    if (m_session && m_session->NullValue() == nvNull)
        return Variant::Null();
    return Variant();
}

Variant TOraclePackage::booleanIn(const Variant &value) const
{
    if (value.IsNullOrEmpty())
        return nullValue();
    try {
        return value.AsBoolean() ? 1 : 0;
    } catch (const EConvertError &) {
        throw Exception(QStringLiteral("Variant conversion error for a BOOLEAN parameter"));
    }
}

Variant TOraclePackage::booleanOut(const Variant &value) const
{
    if (value.IsNullOrEmpty())
        return nullValue();
    return Variant(value.AsInteger() != 0);
}

// ---- Parameters ----------------------------------------------------------------------------

std::vector<TPackageParameter> TOraclePackage::buildParameters(
    const PackageArguments &arguments) const
{
    // A single array stands for its elements; a single "no arguments" marker for none.
    PackageArguments list;
    if (arguments.size() == 1 && arguments.front().IsMarker()
        && arguments.front().MarkerType() == ptNullArgument) {
        // no arguments
    } else if (const VariantArray *array = arguments.size() == 1 && !arguments.front().IsMarker()
            ? arguments.front().Value().ArrayPtr()
            : nullptr) {
        list.assign(array->begin(), array->end());
    } else {
        list = arguments;
    }

    const bool named = m_parameterMode == pmNamed;
    if (named && list.size() % 2 != 0)
        throw Exception(
            QStringLiteral("Even number of parameters required when ParameterMode = pmNamed"));

    std::vector<TPackageParameter> parameters;
    parameters.reserve(named ? list.size() / 2 : list.size());
    int booleans = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        TPackageParameter p;
        if (named) {
            const PackageArgument &nameArgument = list[i];
            const QString *text
                = nameArgument.IsMarker() ? nullptr : nameArgument.Value().StringPtr();
            if (!text)
                throw Exception(QStringLiteral("Parameter names must be strings"));
            if (!isPlainIdentifier(*text))
                throw Exception(QStringLiteral("Invalid parameter name: ") + *text);
            p.bindName = *text;
            ++i;
        } else {
            p.bindName = QStringLiteral("p") + QString::number(i + 1);
        }
        const PackageArgument &argument = list[i];
        if (argument.IsMarker()) {
            if (!isOutputType(argument.MarkerType()))
                throw Exception(
                    QStringLiteral("Int64 parameters can only be used for output parameter types"));
            p.type = argument.MarkerType();
            p.value = Variant::Null();
        } else {
            p.type = typeOfValue(argument.Value(), p.bindName);
            p.value = argument.Value();
        }
        if (p.type == ptPLSQLBoolean)
            p.booleanName = BooleanLocal + QString::number(++booleans);
        parameters.push_back(std::move(p));
    }
    return parameters;
}

void TOraclePackage::takeParameters(std::vector<TPackageParameter> parameters)
{
    if (!m_optimize || parameters.size() != m_parameters.size()) {
        m_declarationsChanged = true;
    } else {
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            if (parameters[i].type != m_parameters[i].type
                || parameters[i].bindName != m_parameters[i].bindName)
                m_declarationsChanged = true;
        }
    }
    m_parameters = std::move(parameters);
}

Variant TOraclePackage::GetParameter(int index) const
{
    if (index < 0 || index >= ParameterCount())
        throw Exception(QStringLiteral("Parameter ") + QString::number(index)
            + QStringLiteral(" does not exist"));
    const TPackageParameter &p = m_parameters[static_cast<std::size_t>(index)];
    return p.type == ptPLSQLBoolean ? booleanOut(p.value) : p.value;
}

// ---- Calls -------------------------------------------------------------------------------------

void TOraclePackage::CallProcedure(const QString &name, const PackageArguments &arguments)
{
    callBlock(name, NoResult, arguments);
}

Variant TOraclePackage::CallIntegerFunction(const QString &name, const PackageArguments &arguments)
{
    return callBlock(name, SQLT_INT, arguments);
}

Variant TOraclePackage::CallBooleanFunction(const QString &name, const PackageArguments &arguments)
{
    return booleanOut(callBlock(name, ptPLSQLBoolean, arguments));
}

Variant TOraclePackage::callBlock(
    const QString &name, int resultType, const PackageArguments &arguments)
{
    // Argument errors leave everything as it was: nothing below has run yet.
    std::vector<TPackageParameter> parameters = buildParameters(arguments);
    m_declarationsChanged = resultType != m_resultType || m_declarationsUnsure;
    takeParameters(std::move(parameters));
    m_resultType = resultType;
    const bool declare = m_declarationsChanged;
    // Until the block is complete the query's declarations may be half made.
    m_declarationsUnsure = true;

    TOracleQuery &q = *m_query;
    q.SetSession(m_session);
    q.SetDebug(m_debug);
    q.SetCursor(m_cursor);
    q.SetOptimize(m_optimize);
    const QString routine
        = m_packageName.isEmpty() ? name : m_packageName + QLatin1Char('.') + name;
    monitorBegin(QStringLiteral("Package.Call ") + routine);
    try {
        q.SQL().Clear();
        if (declare)
            q.DeleteVariables();

        QStringList declarations;
        QStringList copyBacks;
        QString call = QStringLiteral("  ");
        if (resultType != NoResult) {
            call += QLatin1Char(':') + ResultVariable + QStringLiteral(" := ");
            if (resultType == ptPLSQLBoolean)
                call += QStringLiteral("sys.diutil.bool_to_int(");
            if (declare)
                q.DeclareVariable(
                    ResultVariable, resultType == ptPLSQLBoolean ? SQLT_INT : resultType);
            else
                q.SetVariable(ResultVariable, Variant::Null());
        }
        call += routine;
        if (!m_parameters.empty()) {
            call += QLatin1Char('(');
            bool first = true;
            for (const TPackageParameter &p : m_parameters) {
                if (!first)
                    call += QStringLiteral(", ");
                first = false;
                if (m_parameterMode == pmNamed)
                    call += p.bindName + QStringLiteral(" => ");
                if (p.type == ptNullArgument) {
                    call += QStringLiteral("Null");
                } else if (p.type != ptPLSQLBoolean) {
                    call += QLatin1Char(':') + p.bindName;
                    if (declare)
                        q.DeclareVariable(p.bindName, p.type);
                    q.SetVariable(p.bindName, p.value);
                } else {
                    call += p.booleanName;
                    if (declare)
                        q.DeclareVariable(p.bindName, SQLT_INT);
                    q.SetVariable(p.bindName, booleanIn(p.value));
                    declarations.append(QStringLiteral("  ") + p.booleanName
                        + QStringLiteral(" boolean := sys.diutil.int_to_bool(:") + p.bindName
                        + QStringLiteral(");"));
                    copyBacks.append(QStringLiteral("  :") + p.bindName
                        + QStringLiteral(" := sys.diutil.bool_to_int(") + p.booleanName
                        + QStringLiteral(");"));
                }
            }
            call += QLatin1Char(')');
        }
        call += resultType == ptPLSQLBoolean ? QStringLiteral(");") : QStringLiteral(";");

        TStringList &sql = q.SQL();
        if (!declarations.isEmpty()) {
            sql.Add(QStringLiteral("declare"));
            for (const QString &line : declarations)
                sql.Add(line);
        }
        sql.Add(QStringLiteral("begin"));
        sql.Add(call);
        for (const QString &line : copyBacks)
            sql.Add(line);
        sql.Add(QStringLiteral("end;"));
        m_declarationsUnsure = false;

        q.Execute();
    } catch (const std::exception &e) {
        monitorEnd(messageOf(e));
        throw;
    }

    for (TPackageParameter &p : m_parameters) {
        if (p.type != ptNullArgument)
            p.value = q.GetVariable(p.bindName);
    }
    const Variant result = resultType != NoResult ? q.GetVariable(ResultVariable) : Variant();
    monitorEnd(QString());
    return result;
}

// ---- Monitor -----------------------------------------------------------------------------------

int TOraclePackage::monitorId()
{
    if (m_monitorId == 0)
        m_monitorId = OracleMonitor::NewCallId();
    return m_monitorId;
}

void TOraclePackage::monitorBegin(const QString &text)
{
    if (!OracleMonitor::Hooks().callReport)
        return;
    OracleMonitor::ReportCall(true, OracleMonitor::KindPackage, monitorId(), m_session, { text });
    m_monitorStarted = true;
}

void TOraclePackage::monitorEnd(const QString &errorText)
{
    if (!m_monitorStarted)
        return;
    m_monitorStarted = false;
    OracleMonitor::ReportCall(
        false, OracleMonitor::KindPackage, m_monitorId, nullptr, { errorText });
}

// ---- Server packages ---------------------------------------------------------------------------

TDBMSPackage::TDBMSPackage(TOracleSession *session, const QString &name)
    : m_packageName(name)
    , m_session(session)
    , m_package(std::make_unique<TOraclePackage>())
{
    m_package->setObjectName(name);
    m_package->SetSession(session);
    m_package->SetParameterMode(pmNamed);
    m_package->SetPackageName(QStringLiteral("sys.") + name);
}

TDBMSPackage::~TDBMSPackage() = default;

TDBMS_Output::TDBMS_Output(TOracleSession *session)
    : TDBMSPackage(session, QStringLiteral("dbms_output"))
{
}

void TDBMS_Output::Enable(int bufferSize)
{
    Package().CallProcedure(QStringLiteral("enable"), { "buffer_size", bufferSize });
}

void TDBMS_Output::Disable()
{
    Package().CallProcedure(QStringLiteral("disable"), { PackageOutput::NoArguments });
}

QString TDBMS_Output::Get_Line(int &status)
{
    status = 0;
    TOraclePackage &p = Package();
    p.CallProcedure(QStringLiteral("get_line"),
        { "line", PackageOutput::String, "status", PackageOutput::Integer });
    const Variant line = p.GetParameter(0);
    const Variant state = p.GetParameter(1);
    // A status the server left null tells of no line: a reader loop must end on it.
    status = state.IsNullOrEmpty() ? 1 : static_cast<int>(state.AsInteger());
    return line.AsString();
}

TDBMS_Application_Info::TDBMS_Application_Info(TOracleSession *session)
    : TDBMSPackage(session, QStringLiteral("dbms_application_info"))
{
}

void TDBMS_Application_Info::Set_Module(const QString &moduleName, const QString &actionName)
{
    Package().CallProcedure(
        QStringLiteral("set_module"), { "module_name", moduleName, "action_name", actionName });
}

void TDBMS_Application_Info::Set_Client_Info(const QString &clientInfo)
{
    Package().CallProcedure(QStringLiteral("set_client_info"), { "client_info", clientInfo });
}

} // namespace qd
