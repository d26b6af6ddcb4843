#include "browsers/OracleObjectKinds.h"

#include "classlib/Exception.h"

#include <QStringList>

namespace qd {

namespace {

// Statement texts are kept one line per entry and sent with CR LF between the lines.
QString lines(const QStringList &parts)
{
    return parts.join(QStringLiteral("\r\n"));
}

QString objectsOfType(const char *literal)
{
    return QStringLiteral("select object_name from all_objects where owner = :obj_owner and "
                          "object_type = %1 order by object_name")
        .arg(QLatin1String(literal));
}

// Owner and names are bound exactly as resolved, so the conditions compare them as they
// stand: a quoted mixed-case name must not meet its upper-case namesake.
QString columnsOfTable()
{
    return lines({ QStringLiteral("select column_name "), QStringLiteral("  from all_tab_columns "),
        QStringLiteral("  where rtrim(owner) = rtrim(:obj_owner) "),
        QStringLiteral("    and rtrim(table_name) = rtrim(:obj_name) "),
        QStringLiteral("  order by column_id") });
}

QString columnsOfMView()
{
    return lines({ QStringLiteral("select column_name "),
        QStringLiteral("  from all_tab_columns tc,"), QStringLiteral("       all_snapshots s"),
        QStringLiteral("  where rtrim(s.name) = rtrim(:obj_name) "),
        QStringLiteral("    and rtrim(s.owner) = rtrim(:obj_owner) "),
        QStringLiteral("    and s.table_name = tc.table_name "),
        QStringLiteral("    and s.owner = tc.owner "), QStringLiteral("  order by column_id") });
}

QString membersOfPackage()
{
    return lines({ QStringLiteral("select distinct object_name "),
        QStringLiteral("  from all_arguments"), QStringLiteral("  where owner = :obj_owner"),
        QStringLiteral("    and package_name = :obj_name"),
        QStringLiteral("  order by object_name") });
}

QString attributesOfType()
{
    return lines({ QStringLiteral("select attr_name as \"Name\" "),
        QStringLiteral("  from all_type_attrs "), QStringLiteral("  where owner = :obj_owner "),
        QStringLiteral("    and type_name = :obj_name "), QStringLiteral("  order by attr_no") });
}

std::array<TOracleObjectKind, OracleObjectKindCount> &kinds()
{
    static std::array<TOracleObjectKind, OracleObjectKindCount> table = { {
        { true, QStringLiteral("'TABLE'"), QStringLiteral("Tables"), QStringLiteral("Table"), true,
            osoColumn,
            QStringLiteral("select table_name from all_tables where owner = :obj_owner order by "
                           "table_name"),
            columnsOfTable(), QStringLiteral("TABLE"), 0, QStringLiteral("COLUMN"), 0, true },
        { true, QStringLiteral("'VIEW'"), QStringLiteral("Views"), QStringLiteral("View"), true,
            osoColumn,
            QStringLiteral("select view_name from all_views where owner = :obj_owner order by "
                           "view_name"),
            columnsOfTable(), QStringLiteral("TABLE"), 0, QStringLiteral("COLUMN"), 0, true },
        { true, QStringLiteral("'MATERIALIZED VIEW'"), QStringLiteral("Materialized Views"),
            QStringLiteral("Materialized View"), true, osoColumn,
            QStringLiteral("select name from all_snapshots where owner = :obj_owner order by name"),
            columnsOfMView(), QStringLiteral("TABLE"), 0, QStringLiteral("COLUMN"), 0, true },
        { true, QStringLiteral("'PACKAGE'"), QStringLiteral("Packages"), QStringLiteral("Package"),
            true, osoSubProcedure, objectsOfType("'PACKAGE'"), membersOfPackage(),
            QStringLiteral("STOREDPROC"), 0, QStringLiteral("SUBPROC"), 0, true },
        { true, QStringLiteral("'PROCEDURE'"), QStringLiteral("Procedures"),
            QStringLiteral("Procedure"), false, osoNone, objectsOfType("'PROCEDURE'"), QString(),
            QStringLiteral("STOREDPROC"), 0, QString(), 0, true },
        { true, QStringLiteral("'FUNCTION'"), QStringLiteral("Functions"),
            QStringLiteral("Function"), false, osoNone, objectsOfType("'FUNCTION'"), QString(),
            QStringLiteral("STOREDPROC"), 0, QString(), 0, true },
        { true, QStringLiteral("'TRIGGER'"), QStringLiteral("Triggers"), QStringLiteral("Trigger"),
            false, osoNone, objectsOfType("'TRIGGER'"), QString(), QStringLiteral("TRIGGER"), 0,
            QString(), 0, true },
        { true, QStringLiteral("'TYPE'"), QStringLiteral("Types"), QStringLiteral("Type"), true,
            osoAttribute, objectsOfType("'TYPE'"), attributesOfType(), QStringLiteral("TYPE"), 0,
            QStringLiteral("ATTRIBUTE"), 0, true },
        { false, QStringLiteral("'BUILTIN'"), QStringLiteral("Built Ins"),
            QStringLiteral("Built In"), false, osoNone, QString(), QString(),
            QStringLiteral("BUILTIN"), 0, QString(), 0, true },
        { true, QStringLiteral("'SEQUENCE'"), QStringLiteral("Sequences"),
            QStringLiteral("Sequence"), false, osoNone, objectsOfType("'SEQUENCE'"), QString(),
            QStringLiteral("SEQUENCE"), 0, QString(), 0, false },
    } };
    return table;
}

const char *const objectNames[OracleObjectKindCount] = { "ooTable", "ooView", "ooMView",
    "ooPackage", "ooProcedure", "ooFunction", "ooTrigger", "ooType", "ooBuiltin", "ooSequence" };
const char *const subObjectNames[] = { "osoSubProcedure", "osoAttribute", "osoColumn", "osoNone" };
constexpr int subObjectCount = osoNone + 1;

} // namespace

const TOracleObjectKind &OracleObjectKinds(TQDOracleObjects kind)
{
    return kinds().at(kind);
}

void SetOracleObjectImageIndexes(TQDOracleObjects kind, int imageIndex, int subImageIndex)
{
    TOracleObjectKind &row = kinds().at(kind);
    row.ImageIndex = imageIndex;
    row.SubImageIndex = subImageIndex;
}

QString OracleObjectToString(TQDOracleObjects kind)
{
    return kind < OracleObjectKindCount ? QLatin1String(objectNames[kind]) : QString();
}

QString OracleSubObjectToString(TQDOracleSubObjects kind)
{
    return kind < subObjectCount ? QLatin1String(subObjectNames[kind]) : QString();
}

TQDOracleObjects StringToOracleObject(const QString &text)
{
    for (int i = 0; i < OracleObjectKindCount; ++i)
        if (text == QLatin1String(objectNames[i]))
            return static_cast<TQDOracleObjects>(i);
    throw Exception(
        QStringLiteral("Oracle object type ") + text + QStringLiteral(" not recognized."));
}

TQDOracleSubObjects StringToOracleSubObject(const QString &text)
{
    for (int i = 0; i < subObjectCount; ++i)
        if (text == QLatin1String(subObjectNames[i]))
            return static_cast<TQDOracleSubObjects>(i);
    throw Exception(
        QStringLiteral("Oracle sub-object type ") + text + QStringLiteral(" not recognized."));
}

TConnectAsOption ModeToConnectAs(const QString &mode)
{
    if (mode == QLatin1String("SYSDBA"))
        return caSYSDBA;
    if (mode == QLatin1String("SYSOPER"))
        return caSYSOPER;
    return caNormal;
}

} // namespace qd
