#include "oracle/OracleVariables.h"

#include "classlib/Exception.h"

#include <QtEndian>

#include <cstring>

namespace qd {

namespace {

// Reads the little-endian stored form and fails with a clear message instead of reading past
// its end.
class DataReader {
public:
    explicit DataReader(const QByteArray &data)
        : m_data(data)
    {
    }

    qint64 remaining() const { return m_data.size() - m_position; }

    qint32 readInt32(const char *what)
    {
        if (remaining() < 4)
            fail(QStringLiteral("unexpected end while reading the %1").arg(QLatin1String(what)));
        const qint32 value = qFromLittleEndian<qint32>(m_data.constData() + m_position);
        m_position += 4;
        return value;
    }

    QByteArray readBytes(qint32 length, const char *what)
    {
        if (length < 0 || length > remaining())
            fail(
                QStringLiteral("invalid length %1 of the %2").arg(length).arg(QLatin1String(what)));
        QByteArray bytes = m_data.mid(m_position, length);
        m_position += length;
        return bytes;
    }

    [[noreturn]] static void fail(const QString &detail)
    {
        throw Exception(QStringLiteral("Corrupt Query variables data: ") + detail);
    }

private:
    const QByteArray &m_data;
    qint64 m_position = 0;
};

void writeInt32(QByteArray &out, qint32 value)
{
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    out.append(bytes, 4);
}

// Puts a stored value into a freshly declared variable without ever writing past its buffer.
void readValue(TVariableData &variable, const QByteArray &data)
{
    if (data.isEmpty())
        return;
    if (variable.isComplex)
        DataReader::fail(QStringLiteral("a value for the object variable ") + variable.name);
    const bool declaredBuffer = variable.buffer != nullptr;
    if (!declaredBuffer) {
        // Sized on assignment (substitution, LONG, LONG RAW): the stored length decides.
        variable.AllocateBuffer(data.size());
    } else if (data.size() > variable.bufferSize) {
        DataReader::fail(QStringLiteral("a value of %1 bytes for the variable %2 of %3 bytes")
                             .arg(data.size())
                             .arg(variable.name)
                             .arg(variable.bufferSize));
    }
    std::memcpy(variable.buffer, data.constData(), static_cast<std::size_t>(data.size()));
    // A string element always ends with its zero, as a stored value without one would not.
    if (declaredBuffer && IsStringType(variable.type) && data.size() == variable.bufferSize)
        static_cast<ub1 *>(variable.buffer)[variable.bufferSize - 1] = 0;
    if (variable.type == SQLT_LBI) {
        variable.length = static_cast<qint32>(data.size());
    } else if (variable.type == SQLT_CHR || variable.type == SQLT_LNG) {
        // Stored with its terminating zero; the length is that of the text.
        const qsizetype zero = data.indexOf('\0');
        variable.length = static_cast<qint32>(zero < 0 ? data.size() : zero);
    }
    variable.indicators.front() = 0;
}

} // namespace

TVariables::TVariables(void *owner)
    : m_owner(owner)
{
}

TVariables::~TVariables() = default;

TVariableData &TVariables::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(QStringLiteral("Variable %1 does not exist").arg(index));
    return *m_items[static_cast<std::size_t>(index)];
}

QString TVariables::NormalizeName(const QString &name)
{
    const QString upper = name.toUpper();
    return upper.startsWith(u':') ? upper : u':' + upper;
}

int TVariables::VariableIndex(const QString &name) const
{
    const QString normal = NormalizeName(name);
    for (int i = 0; i < Count(); ++i) {
        if (m_items[static_cast<std::size_t>(i)]->name == normal)
            return i;
    }
    return -1;
}

TVariableData &TVariables::DeclareVariable(const QString &name, int type)
{
    if (name.isEmpty())
        throw Exception(QStringLiteral("You cannot declare a variable with an empty name"));
    auto variable = std::make_unique<TVariableData>(NormalizeName(name), type);
    TVariableData &result = *variable;
    const int existing = VariableIndex(name);
    if (existing >= 0)
        m_items[static_cast<std::size_t>(existing)] = std::move(variable);
    else
        m_items.push_back(std::move(variable));
    return result;
}

void TVariables::DeleteVariable(const QString &name)
{
    const int index = VariableIndex(name);
    if (index < 0)
        throw Exception(QStringLiteral("Variable ") + name + QStringLiteral(" not declared"));
    m_items.erase(m_items.begin() + index);
}

void TVariables::Clear()
{
    m_items.clear();
}

void TVariables::DimPLSQLTable(
    const QString &name, int tableSize, int stringSize, OracleSessionInterface *session)
{
    const int index = VariableIndex(name);
    if (index < 0)
        throw Exception(QStringLiteral("Variable ") + name + QStringLiteral(" not declared"));
    TVariableData &variable = Items(index);
    const int type = variable.type;
    if (type != SQLT_INT && type != SQLT_FLT && type != SQLT_STR && type != SQLT_DAT)
        throw Exception(
            QStringLiteral("Only PL/SQL Tables of strings, integers, floats and dates supported"));
    if (type == SQLT_STR && stringSize < 1)
        throw Exception(
            QStringLiteral("You must specify a string size for a PL/SQL Table of strings"));
    if (type != SQLT_STR && stringSize != 0)
        throw Exception(
            QStringLiteral("You can only specify a string size for a PL/SQL Table of strings"));
    if (tableSize < 1)
        throw Exception(QStringLiteral("You must specify the size of the PL/SQL Table"));
    variable.SetArrayLength(tableSize, stringSize, session);
    variable.isPLSQLTable = true;
    variable.currentElementCount = 0;
}

QByteArray TVariables::WriteData() const
{
    QByteArray out;
    writeInt32(out, DataVersion);
    writeInt32(out, Count());
    for (const auto &variable : m_items) {
        const QByteArray name = variable->name.toUtf8();
        writeInt32(out, static_cast<qint32>(name.size()));
        out.append(name);
        writeInt32(out, variable->type);
        const QByteArray data = variable->StoredData();
        writeInt32(out, static_cast<qint32>(data.size()));
        out.append(data);
        writeInt32(out, variable->isPLSQLTable ? 1 : 0);
        if (variable->isPLSQLTable) {
            writeInt32(out, variable->elementCount);
            writeInt32(out, IsStringType(variable->type) ? variable->bufferSize - 1 : 0);
        }
    }
    return out;
}

void TVariables::ReadData(const QByteArray &data, OracleSessionInterface *session)
{
    DataReader reader(data);
    const qint32 version = reader.readInt32("version");
    if (version > DataVersion || version < 1)
        throw Exception(QStringLiteral("Invalid version of Query variables"));
    const qint32 count = reader.readInt32("count");
    // Every variable takes at least its name length and type.
    if (count < 0 || count > reader.remaining() / 8)
        DataReader::fail(QStringLiteral("invalid count %1").arg(count));

    // Built aside and taken over only when the whole stream was read.
    TVariables result(m_owner);
    for (qint32 i = 0; i < count; ++i) {
        const QByteArray name = reader.readBytes(reader.readInt32("name length"), "name");
        const qint32 type = reader.readInt32("type");
        TVariableData &variable = result.DeclareVariable(QString::fromUtf8(name), type);
        if (version >= 2)
            readValue(variable, reader.readBytes(reader.readInt32("data length"), "data"));
        if (version >= 3) {
            const qint32 table = reader.readInt32("PL/SQL table flag");
            if (table != 0 && table != 1)
                DataReader::fail(QStringLiteral("invalid PL/SQL table flag %1").arg(table));
            if (table == 1) {
                const qint32 tableSize = reader.readInt32("table size");
                const qint32 stringSize = reader.readInt32("string size");
                const qint64 element
                    = stringSize > 0 ? qint64(stringSize) + 1 : variable.bufferSize;
                if (tableSize > 0 && stringSize >= 0
                    && std::max<qint64>(element, 1) * tableSize > MaxStoredTableBytes)
                    DataReader::fail(
                        QStringLiteral("a PL/SQL table too large for variable ") + variable.name);
                result.DimPLSQLTable(variable.name, tableSize, stringSize, session);
            }
        }
    }
    if (reader.remaining() != 0)
        DataReader::fail(QStringLiteral("unexpected data after the last variable"));
    m_items = std::move(result.m_items);
}

bool TVariables::Differs(const TVariables &other) const
{
    if (Count() != other.Count())
        return true;
    for (int i = 0; i < Count(); ++i) {
        const TVariableData &a = Items(i);
        const TVariableData &b = other.Items(i);
        if (a.name != b.name || a.type != b.type || a.FirstIndicator() != b.FirstIndicator()
            || a.isPLSQLTable != b.isPLSQLTable)
            return true;
        if (a.isPLSQLTable && (a.elementCount != b.elementCount || a.bufferSize != b.bufferSize))
            return true;
        if (a.FirstIndicator() >= 0 && a.StoredData() != b.StoredData())
            return true;
    }
    return false;
}

bool TVariables::ShouldWriteData(const TVariables *ancestor) const
{
    return ancestor ? Differs(*ancestor) : Count() > 0;
}

} // namespace qd
