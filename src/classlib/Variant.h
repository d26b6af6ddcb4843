#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <concepts>
#include <limits>
#include <type_traits>
#include <variant>
#include <vector>

namespace qd {

// The kinds a Variant can hold; the order is the order of the alternatives below.
enum class VariantKind {
    Unassigned,
    Null,
    Integer,
    Float,
    String,
    Boolean,
    DateTime,
    Bytes,
    Array
};

class Variant;
using VariantArray = std::vector<Variant>;

// A value that keeps "never assigned" (Unassigned, the class library's Empty) apart from the
// database's Null. Scalars are stored inline (no heap allocation); strings and bytes share
// their data implicitly, so copies in fetch loops are cheap.
class Variant {
public:
    Variant() noexcept = default;
    Variant(bool value) noexcept
        : m_value(value)
    {
    }
    template <std::integral T, std::enable_if_t<!std::is_same_v<T, bool>, int> = 0>
    Variant(T value) noexcept
    {
        // An unsigned 64-bit value beyond the signed range is kept as a float, never wrapped.
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(qint64)) {
            if (value > static_cast<T>(std::numeric_limits<qint64>::max())) {
                m_value = static_cast<double>(value);
                return;
            }
        }
        m_value = static_cast<qint64>(value);
    }
    Variant(double value) noexcept
        : m_value(value)
    {
    }
    Variant(QString value) noexcept
        : m_value(std::move(value))
    {
    }
    Variant(const char *utf8)
        : m_value(QString::fromUtf8(utf8))
    {
    }
    Variant(QByteArray value) noexcept
        : m_value(std::move(value))
    {
    }
    Variant(VariantArray value)
        : m_value(std::move(value))
    {
    }

    static Variant Unassigned() noexcept { return Variant(); }
    static Variant Null() noexcept
    {
        Variant v;
        v.m_value = NullTag {};
        return v;
    }
    // A date-time value: days since 1899-12-30 (see DateTimeUtils.h).
    static Variant FromDateTime(double days) noexcept
    {
        Variant v;
        v.m_value = DateTimeTag { days };
        return v;
    }

    VariantKind Kind() const noexcept { return static_cast<VariantKind>(m_value.index()); }
    bool IsUnassigned() const noexcept { return Kind() == VariantKind::Unassigned; }
    bool IsNull() const noexcept { return Kind() == VariantKind::Null; }
    // The class library calls Unassigned "empty": true only for Unassigned, not for Null.
    bool IsEmpty() const noexcept { return IsUnassigned(); }
    bool IsNullOrEmpty() const noexcept { return IsUnassigned() || IsNull(); }
    bool IsNumeric() const noexcept
    {
        return Kind() == VariantKind::Integer || Kind() == VariantKind::Float;
    }

    // Conversions. Unassigned converts to 0, "", False, day 0, empty bytes or an empty array;
    // Null raises EConvertError for all but AsString, which gives "" for Null as well, as the
    // class library's VarToStr does. Impossible conversions raise EConvertError.
    qint64 AsInteger() const;
    double AsFloat() const;
    QString AsString() const;
    bool AsBoolean() const;
    double AsDateTime() const;
    QByteArray AsBytes() const;
    VariantArray AsArray() const;

    // Qt-style short forms.
    int toInt() const;
    double toDouble() const { return AsFloat(); }
    QString toString() const { return AsString(); }
    bool toBool() const { return AsBoolean(); }

    // Direct access without conversion; nullptr when the kind differs.
    const QString *StringPtr() const noexcept { return std::get_if<QString>(&m_value); }
    const QByteArray *BytesPtr() const noexcept { return std::get_if<QByteArray>(&m_value); }
    const VariantArray *ArrayPtr() const noexcept { return std::get_if<VariantArray>(&m_value); }

    // Equal when both are Unassigned, both Null, numerically equal numbers/date-times, or
    // equal values of the same kind. No conversion from strings, so it never raises.
    friend bool operator==(const Variant &a, const Variant &b) noexcept;
    // Total order for sorting: Unassigned < Null < booleans, numbers and date-times (compared
    // by value) < strings (case-sensitive) < bytes < arrays (element by element).
    static int Compare(const Variant &a, const Variant &b) noexcept;

    // Edges to Qt: Unassigned is an invalid QVariant, Null a QVariant holding nullptr, a
    // date-time a QDateTime.
    QVariant ToQVariant() const;
    // Raises EConvertError for a QVariant type without a counterpart.
    static Variant FromQVariant(const QVariant &value);

    // Name of the kind as the class library prints it ("Empty", "Null", "Int64", "Double", ...).
    static QString KindName(VariantKind kind);

private:
    struct NullTag {
        bool operator==(const NullTag &) const = default;
    };
    struct DateTimeTag {
        double days;
    };

    [[noreturn]] void castError(VariantKind target) const;

    std::variant<std::monostate, NullTag, qint64, double, QString, bool, DateTimeTag, QByteArray,
        VariantArray>
        m_value;
};

inline bool operator!=(const Variant &a, const Variant &b) noexcept
{
    return !(a == b);
}

} // namespace qd
