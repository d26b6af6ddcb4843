#pragma once

#include "classlib/Variant.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleSessionDependent.h"
#include "oracle/ScreenServices.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <concepts>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qd {

class TOracleQuery;
class TOracleSession;
class TOraclePackage;

enum TParameterModeOption { pmNamed, pmPositional };

// Variable type codes a package argument can have: 0 for a null argument (written as Null,
// no bind variable), the bind types SQLT_INT, SQLT_FLT, SQLT_STR and SQLT_DAT, and PL/SQL
// BOOLEAN, which travels as an integer and is converted inside the block.
inline constexpr int ptNullArgument = 0;
inline constexpr int ptPLSQLBoolean = 252;

// One argument of a package call, in the order of the call.
struct TPackageParameter {
    QString bindName; // without ":"
    QString booleanName; // the PL/SQL local that carries a BOOLEAN argument
    int type = ptNullArgument;
    Variant value;
};

// What a package call is given per argument: a value, or a marker that asks for an output
// argument of a variable type (see PackageOutput). A marker of ptNullArgument given as the only
// argument means "no arguments".
class PackageArgument {
public:
    PackageArgument(const Variant &value)
        : m_value(value)
    {
    }
    template <typename T>
    requires std::constructible_from<Variant, T> PackageArgument(T &&value)
        : m_value(std::forward<T>(value))
    {
    }
    // A marker asking for an output of the type; a type other than the bind types above and
    // ptPLSQLBoolean fails when the call is made.
    static PackageArgument OutputMarker(int type)
    {
        PackageArgument a { Variant::Null() };
        a.m_marker = true;
        a.m_markerType = type;
        return a;
    }

    bool IsMarker() const { return m_marker; }
    int MarkerType() const { return m_markerType; }
    const Variant &Value() const { return m_value; }

private:
    Variant m_value;
    bool m_marker = false;
    int m_markerType = ptNullArgument;
};

using PackageArguments = std::vector<PackageArgument>;

// The output markers: pass one where the routine has an OUT parameter of that type.
namespace PackageOutput {
inline const PackageArgument NoArguments = PackageArgument::OutputMarker(ptNullArgument);
inline const PackageArgument String = PackageArgument::OutputMarker(SQLT_STR);
inline const PackageArgument Integer = PackageArgument::OutputMarker(SQLT_INT);
inline const PackageArgument Float = PackageArgument::OutputMarker(SQLT_FLT);
inline const PackageArgument Date = PackageArgument::OutputMarker(SQLT_DAT);
inline const PackageArgument Boolean = PackageArgument::OutputMarker(ptPLSQLBoolean);
} // namespace PackageOutput

// Calls stored procedures and functions: each call becomes an anonymous block run on the
// package's own query, with one bind variable per argument. PL/SQL BOOLEAN values cannot be
// bound, so they go through integer variables and sys.diutil inside the block. The variable
// declarations are kept between calls of the same shape while Optimize is on.
class TOraclePackage : public QObject, public OracleSessionDependent {
public:
    // Called for every new package when set; nothing in the program sets it.
    static void SetCreationHook(std::function<void(TOraclePackage *)> hook);

    explicit TOraclePackage(QObject *owner = nullptr);
    ~TOraclePackage() override;
    TOraclePackage(const TOraclePackage &) = delete;
    TOraclePackage &operator=(const TOraclePackage &) = delete;

    // ---- Published properties -------------------------------------------------------------
    TOracleSession *Session() const { return m_session; }
    void SetSession(TOracleSession *value);
    bool Debug() const { return m_debug; }
    void SetDebug(bool value) { m_debug = value; }
    // Put before the routine name with a "." when not empty.
    QString PackageName() const { return m_packageName; }
    void SetPackageName(const QString &value) { m_packageName = value; }
    TParameterModeOption ParameterMode() const { return m_parameterMode; }
    void SetParameterMode(TParameterModeOption value) { m_parameterMode = value; }
    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor value) { m_cursor = value; }
    bool Optimize() const { return m_optimize; }
    void SetOptimize(bool value) { m_optimize = value; }

    // ---- Calls ----------------------------------------------------------------------------
    // In pmPositional mode every argument is a value (bound as :p1, :p2, ...); in pmNamed
    // mode arguments come in pairs of a parameter name and its value. A single argument that
    // is a variant array stands for its elements.
    void CallProcedure(const QString &name, const PackageArguments &arguments = {});
    Variant CallIntegerFunction(const QString &name, const PackageArguments &arguments = {});
    // The result as a boolean (null follows the session's NullValue).
    Variant CallBooleanFunction(const QString &name, const PackageArguments &arguments = {});
    // The value of an argument after the last call (0-based); a BOOLEAN argument reads as a
    // boolean. Raises "Parameter <index> does not exist" outside the arguments.
    Variant GetParameter(int index) const;
    int ParameterCount() const { return static_cast<int>(m_parameters.size()); }
    const std::vector<TPackageParameter> &Parameters() const { return m_parameters; }

    // The query the calls run on.
    TOracleQuery &Query() const { return *m_query; }

    // ---- OracleSessionDependent -----------------------------------------------------------
    Kind dependentKind() const override { return dkPackage; }
    QString dependentName() const override { return objectName(); }
    void sessionDestroyed() override;

private:
    std::vector<TPackageParameter> buildParameters(const PackageArguments &arguments) const;
    void takeParameters(std::vector<TPackageParameter> parameters);
    Variant callBlock(const QString &name, int resultType, const PackageArguments &arguments);
    Variant booleanIn(const Variant &value) const;
    Variant booleanOut(const Variant &value) const;
    Variant nullValue() const;
    int monitorId();
    void monitorBegin(const QString &text);
    void monitorEnd(const QString &errorText);

    TOracleSession *m_session = nullptr;
    bool m_debug = false;
    QString m_packageName;
    TParameterModeOption m_parameterMode = pmPositional;
    TCursor m_cursor = crDefault;
    bool m_optimize = true;

    std::unique_ptr<TOracleQuery> m_query;
    std::vector<TPackageParameter> m_parameters;
    bool m_declarationsChanged = true;
    // Set while the query's declarations may not match the last collection (a call that
    // failed while the block was being built), so the next call declares afresh.
    bool m_declarationsUnsure = false;
    int m_resultType = -1;
    int m_monitorId = 0;
    bool m_monitorStarted = false;
};

// A server package called through a TOraclePackage in pmNamed mode as "sys." + name.
class TDBMSPackage {
public:
    TDBMSPackage(TOracleSession *session, const QString &name);
    virtual ~TDBMSPackage();
    TDBMSPackage(const TDBMSPackage &) = delete;
    TDBMSPackage &operator=(const TDBMSPackage &) = delete;

    QString Name() const { return m_packageName; }
    TOracleSession *Session() const { return m_session; }
    TOraclePackage &Package() const { return *m_package; }

private:
    QString m_packageName;
    TOracleSession *m_session;
    std::unique_ptr<TOraclePackage> m_package;
};

// The server output of a session (sys.dbms_output).
class TDBMS_Output : public TDBMSPackage {
public:
    explicit TDBMS_Output(TOracleSession *session);

    void Enable(int bufferSize);
    void Disable();
    // The next line; status becomes 0 when a line came and non-zero when none is left.
    QString Get_Line(int &status);
};

// Module and client information of a session (sys.dbms_application_info).
class TDBMS_Application_Info : public TDBMSPackage {
public:
    explicit TDBMS_Application_Info(TOracleSession *session);

    void Set_Module(const QString &moduleName, const QString &actionName);
    void Set_Client_Info(const QString &clientInfo);
};

} // namespace qd
