#include "common/TestSupport.h"
#include "oracle/OracleCI.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace qd;

namespace {

// Every named constant of our declarations, by name.
QHash<QString, long long> declaredConstants()
{
#define QD_C(name)                                                                                 \
    {                                                                                              \
        QStringLiteral(#name), static_cast<long long>(name)                                        \
    }
    const QList<QPair<QString, long long>> list = {
        QD_C(OCI_HTYPE_ENV),
        QD_C(OCI_HTYPE_ERROR),
        QD_C(OCI_HTYPE_SVCCTX),
        QD_C(OCI_HTYPE_STMT),
        QD_C(OCI_HTYPE_BIND),
        QD_C(OCI_HTYPE_DEFINE),
        QD_C(OCI_HTYPE_DESCRIBE),
        QD_C(OCI_HTYPE_SERVER),
        QD_C(OCI_HTYPE_SESSION),
        QD_C(OCI_HTYPE_TRANS),
        QD_C(OCI_HTYPE_SPOOL),
        QD_C(OCI_DTYPE_LOB),
        QD_C(OCI_DTYPE_PARAM),
        QD_C(OCI_DTYPE_ROWID),
        QD_C(OCI_DTYPE_FILE),
        QD_C(OCI_DTYPE_INTERVAL_YM),
        QD_C(OCI_DTYPE_INTERVAL_DS),
        QD_C(OCI_DTYPE_TIMESTAMP),
        QD_C(OCI_DTYPE_TIMESTAMP_TZ),
        QD_C(OCI_DTYPE_TIMESTAMP_LTZ),
        QD_C(OCI_ATTR_FNCODE),
        QD_C(OCI_ATTR_DATA_SIZE),
        QD_C(OCI_ATTR_DATA_TYPE),
        QD_C(OCI_ATTR_NAME),
        QD_C(OCI_ATTR_ENV),
        QD_C(OCI_ATTR_PRECISION),
        QD_C(OCI_ATTR_SERVER),
        QD_C(OCI_ATTR_SCALE),
        QD_C(OCI_ATTR_SESSION),
        QD_C(OCI_ATTR_IS_NULL),
        QD_C(OCI_ATTR_TRANS),
        QD_C(OCI_ATTR_TYPE_NAME),
        QD_C(OCI_ATTR_ROW_COUNT),
        QD_C(OCI_ATTR_SCHEMA_NAME),
        QD_C(OCI_ATTR_SQLFNCODE),
        QD_C(OCI_ATTR_PREFETCH_ROWS),
        QD_C(OCI_ATTR_PREFETCH_MEMORY),
        QD_C(OCI_ATTR_PARAM_COUNT),
        QD_C(OCI_ATTR_ROWID),
        QD_C(OCI_ATTR_USERNAME),
        QD_C(OCI_ATTR_PASSWORD),
        QD_C(OCI_ATTR_STMT_TYPE),
        QD_C(OCI_ATTR_ROWS_RETURNED),
        QD_C(OCI_ATTR_REF_TDO),
        QD_C(OCI_ATTR_PARAM),
        QD_C(OCI_ATTR_PARSE_ERROR_OFFSET),
        QD_C(OCI_ATTR_STMTCACHESIZE),
        QD_C(OCI_ATTR_ROWS_FETCHED),
        QD_C(OCI_ATTR_TYPECODE),
        QD_C(OCI_ATTR_CHAR_SIZE),
        QD_C(OCI_DEFAULT),
        QD_C(OCI_THREADED),
        QD_C(OCI_OBJECT),
        QD_C(OCI_STMT_SCROLLABLE_READONLY),
        QD_C(OCI_DESCRIBE_ONLY),
        QD_C(OCI_COMMIT_ON_SUCCESS),
        QD_C(OCI_CRED_RDBMS),
        QD_C(OCI_CRED_EXT),
        QD_C(OCI_SYSDBA),
        QD_C(OCI_SYSOPER),
        QD_C(OCI_AUTH),
        QD_C(OCI_CPW_SYSDBA),
        QD_C(OCI_CPW_SYSOPER),
        QD_C(OCI_STMT_CACHE),
        QD_C(OCI_NTV_SYNTAX),
        QD_C(OCI_FETCH_NEXT),
        QD_C(OCI_DYNAMIC_FETCH),
        QD_C(OCI_DATA_AT_EXEC),
        QD_C(OCI_ONE_PIECE),
        QD_C(OCI_FIRST_PIECE),
        QD_C(OCI_NEXT_PIECE),
        QD_C(OCI_LAST_PIECE),
        QD_C(OCI_OTYPE_NAME),
        QD_C(OCI_OTYPE_PTR),
        QD_C(OCI_PTYPE_TYPE),
        QD_C(OCI_DURATION_SESSION),
        QD_C(OCI_IND_NULL),
        QD_C(OCI_IND_NOTNULL),
        QD_C(AL32UTF8_CHARSET_ID),
        QD_C(OCI_SUCCESS),
        QD_C(OCI_SUCCESS_WITH_INFO),
        QD_C(OCI_NEED_DATA),
        QD_C(OCI_NO_DATA),
        QD_C(OCI_ERROR),
        QD_C(OCI_INVALID_HANDLE),
        QD_C(OCI_STILL_EXECUTING),
        QD_C(OCI_CONTINUE),
        QD_C(OCI_STMT_SELECT),
        QD_C(OCI_STMT_UPDATE),
        QD_C(OCI_STMT_DELETE),
        QD_C(OCI_STMT_INSERT),
        QD_C(OCI_STMT_CREATE),
        QD_C(OCI_STMT_DROP),
        QD_C(OCI_STMT_ALTER),
        QD_C(OCI_STMT_BEGIN),
        QD_C(OCI_STMT_DECLARE),
        QD_C(OCI_STMT_CALL),
        QD_C(OCI_STMT_EXPLAIN),
        QD_C(OCI_STMT_MERGE),
        QD_C(OCI_STMT_ROLLBACK),
        QD_C(OCI_STMT_COMMIT),
        QD_C(SQLT_CHR),
        QD_C(SQLT_NUM),
        QD_C(SQLT_INT),
        QD_C(SQLT_FLT),
        QD_C(SQLT_STR),
        QD_C(SQLT_VNU),
        QD_C(SQLT_LNG),
        QD_C(SQLT_VCS),
        QD_C(SQLT_RID),
        QD_C(SQLT_DAT),
        QD_C(SQLT_BFLOAT),
        QD_C(SQLT_BDOUBLE),
        QD_C(SQLT_BIN),
        QD_C(SQLT_LBI),
        QD_C(SQLT_UIN),
        QD_C(SQLT_LVC),
        QD_C(SQLT_LVB),
        QD_C(SQLT_AFC),
        QD_C(SQLT_AVC),
        QD_C(SQLT_IBFLOAT),
        QD_C(SQLT_IBDOUBLE),
        QD_C(SQLT_CUR),
        QD_C(SQLT_RDD),
        QD_C(SQLT_NTY),
        QD_C(SQLT_REF),
        QD_C(SQLT_CLOB),
        QD_C(SQLT_BLOB),
        QD_C(SQLT_BFILEE),
        QD_C(SQLT_CFILEE),
        QD_C(SQLT_RSET),
        QD_C(SQLT_NCO),
        QD_C(SQLT_VST),
        QD_C(SQLT_ODT),
        QD_C(SQLT_DATE),
        QD_C(SQLT_TIMESTAMP),
        QD_C(SQLT_TIMESTAMP_TZ),
        QD_C(SQLT_INTERVAL_YM),
        QD_C(SQLT_INTERVAL_DS),
        QD_C(SQLT_TIMESTAMP_LTZ),
        QD_C(SQLT_REC),
        QD_C(SQLT_TAB),
        QD_C(SQLT_BOL),
    };
#undef QD_C
    QHash<QString, long long> c;
    for (const auto &[name, value] : list)
        c.insert(name, value);
    return c;
}

// The shared ABI table: shared/oci-constants.md beside the repository (or any parent).
QString constantsFile()
{
    const QString testsDir = qd::test::testsSourceDirectory() + QStringLiteral("/oracle");
    QDir dir(testsDir);
    do {
        const QString candidate = dir.filePath(QStringLiteral("shared/oci-constants.md"));
        if (QFileInfo::exists(candidate))
            return candidate;
    } while (dir.cdUp());
    // A checkout without the shared folder beside it uses the copy kept with the tests.
    const QString copy = QDir(testsDir).filePath(QStringLiteral("data/oci-constants.md"));
    return QFileInfo::exists(copy) ? copy : QString();
}

// Names of a table cell: "OCI_A / OCI_B (note)", "OCI_DTYPE_TIMESTAMP / _TZ / _LTZ",
// "OCI_ONE_PIECE / FIRST / NEXT / LAST". Suffixes starting with "_" extend the first
// name, or replace its last part; bare words follow the first name's pattern.
QList<QStringList> cellNames(QString cell, const QHash<QString, long long> &known)
{
    cell.remove(QRegularExpression(QStringLiteral("\\(.*\\)")));
    if (cell.trimmed() == QLatin1String("AL32UTF8 character set id"))
        return { { QStringLiteral("AL32UTF8_CHARSET_ID") } };
    const QStringList parts = cell.split(QLatin1Char('/'));
    const QString first = parts.first().trimmed();
    QList<QStringList> result { { first } };
    for (int i = 1; i < parts.size(); ++i) {
        const QString part = parts[i].trimmed();
        QStringList candidates;
        if (part.startsWith(QLatin1String("OCI_")))
            candidates << part;
        else if (part.startsWith(QLatin1Char('_')))
            candidates << first + part << first.left(first.lastIndexOf(QLatin1Char('_'))) + part;
        else // OCI_ONE_PIECE / FIRST -> OCI_FIRST_PIECE
            candidates << QString(first).replace(QRegularExpression(QStringLiteral("^OCI_[A-Z]+_")),
                QStringLiteral("OCI_") + part + QLatin1Char('_'));
        QStringList existing;
        for (const QString &c : candidates)
            if (known.contains(c))
                existing << c;
        result << (existing.isEmpty() ? candidates : existing);
    }
    return result;
}

struct DocEntry {
    QStringList names; // any of them is the declared one
    long long value;
};

QList<DocEntry> documentedConstants(const QString &text, const QHash<QString, long long> &known)
{
    QList<DocEntry> entries;
    QString section;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("## "))) {
            section = line.mid(3).trimmed();
            continue;
        }
        if (line.startsWith(QLatin1Char('|'))) {
            QStringList cells = line.split(QLatin1Char('|'));
            cells = cells.mid(1, cells.size() - 2);
            for (int i = 0; i + 1 < cells.size(); i += 2) {
                const QString nameCell = cells[i].trimmed();
                const QStringList values = cells[i + 1].split(QLatin1Char('/'));
                if (nameCell.isEmpty() || nameCell == QLatin1String("name")
                    || nameCell.startsWith(QLatin1String("---")))
                    continue;
                const QList<QStringList> names = cellNames(nameCell, known);
                for (int n = 0; n < names.size(); ++n) {
                    bool ok = false;
                    const QString v = values.value(std::min<int>(n, values.size() - 1)).trimmed();
                    const long long value = v.toLongLong(&ok, 0);
                    if (ok)
                        entries.append({ names[n], value });
                }
            }
            continue;
        }
        // Lists: "OCI_SUCCESS 0, OCI_ERROR -1" or "SELECT 1, ..." under a titled section.
        QString prefix;
        if (section.startsWith(QLatin1String("Return codes")))
            prefix = QString();
        else if (section.startsWith(QLatin1String("Statement types")))
            prefix = QStringLiteral("OCI_STMT_");
        else if (section.startsWith(QLatin1String("External datatypes")))
            prefix = QStringLiteral("SQLT_");
        else
            continue;
        static const QRegularExpression item(QStringLiteral("([A-Z_]+) (-?\\d+)"));
        auto it = item.globalMatch(line);
        while (it.hasNext()) {
            const auto m = it.next();
            entries.append({ { prefix + m.captured(1) }, m.captured(2).toLongLong() });
        }
    }
    return entries;
}

} // namespace

TEST(OracleCIDeclarations, ConstantsMatchTheSharedAbiTable)
{
    const QString path = constantsFile();
    ASSERT_FALSE(path.isEmpty()) << "oci-constants.md not found from " << qd::test::testsSourceDirectory().toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QHash<QString, long long> declared = declaredConstants();
    const QList<DocEntry> documented
        = documentedConstants(QString::fromUtf8(file.readAll()), declared);
    ASSERT_GT(documented.size(), 120);

    QSet<QString> checked;
    for (const DocEntry &entry : documented) {
        QString found;
        for (const QString &name : entry.names)
            if (declared.contains(name))
                found = name;
        ASSERT_FALSE(found.isEmpty()) << "not declared: " << entry.names.join('|').toStdString();
        EXPECT_EQ(declared.value(found), entry.value) << found.toStdString();
        checked.insert(found);
    }
    // Everything we declare was held against the table.
    for (auto it = declared.cbegin(); it != declared.cend(); ++it)
        EXPECT_TRUE(checked.contains(it.key())) << "not in the table: " << it.key().toStdString();
}

TEST(OracleCIDeclarations, EntryPointGroupsHaveTheirSizes)
{
    int count = 0;
#define QD_COUNT(name, ret, params) ++count;
    QD_OCI7_ENTRY_POINTS(QD_COUNT)
    EXPECT_EQ(count, 20);
    count = 0;
    QD_OCI8_ENTRY_POINTS(QD_COUNT)
    EXPECT_EQ(count, 114);
    count = 0;
    QD_OCI81_ENTRY_POINTS(QD_COUNT)
    EXPECT_EQ(count, 17);
    count = 0;
    QD_OCI9_ENTRY_POINTS(QD_COUNT)
    EXPECT_EQ(count, 1);
    count = 0;
    QD_OCI10_ENTRY_POINTS(QD_COUNT)
    EXPECT_EQ(count, 6);
    count = 0;
    QD_MTS_ENTRY_POINTS(QD_COUNT)
    EXPECT_EQ(count, 5);
#undef QD_COUNT
}

TEST(OracleCIDeclarations, DataAreaLayouts)
{
    EXPECT_EQ(sizeof(Cda_Def), 64u);
    EXPECT_EQ(offsetof(cda_def, rc), 12u);
    EXPECT_EQ(offsetof(cda_def, rpc), 4u);
    EXPECT_EQ(sizeof(OCINumber), 22u);
    EXPECT_EQ(sizeof(OCIDate), 8u);
}
