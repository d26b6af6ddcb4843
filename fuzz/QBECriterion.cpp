#include "oracle_data/QBEStatement.h"
#include "oracle_data/QBETranslation.h"

#include "classlib/Exception.h"

#include <QString>

#include <cstddef>
#include <cstdint>

// Arbitrary criterion text typed into a query-by-example field: the translation gives a term or
// a conversion error for every field type and switch, and never crashes or hangs. The first
// byte picks the field type and switches; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const qd::TFieldType types[] = { qd::ftString, qd::ftMemo, qd::ftInteger, qd::ftSmallint,
        qd::ftFloat, qd::ftCurrency, qd::ftDate, qd::ftDateTime, qd::ftTime, qd::ftBoolean };
    const std::uint8_t pick = data[0];
    qd::QBESwitches switches;
    switches.allowOperators = (pick & 0x01) == 0;
    switches.partialMatch = pick & 0x02;
    switches.matchAnywhere = pick & 0x04;
    switches.caseInsensitive = pick & 0x08;
    switches.soundex = (pick & 0x30) == 0x30;
    switches.wholeDay = pick & 0x40;
    switches.allowFileWildCards = !(pick & 0x80);
    const qd::TFieldType type = types[(pick >> 1) % (sizeof types / sizeof types[0])];

    qd::QBELocaleSettings locale;
    if (pick & 0x10) {
        locale.decimalSeparator = u',';
        locale.thousandSeparator = u'.';
        locale.dateOrder = qd::QBELocaleSettings::DateOrder::MDY;
        locale.dateSeparator = u'/';
    }
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QString column = QStringLiteral("COL");
    bool negate = false;
    try {
        const QString term = qd::TranslateQBEValue(text, column, negate, type, switches, locale);
        QString condition;
        qd::AddQBEPredicate(condition, { column, term, negate });
        qd::TQBEStatement statement;
        QStringList sql { QStringLiteral("select * from t where a = 1 order by 1") };
        const QStringList original = sql;
        statement.Apply(sql, condition);
        statement.Remove(sql);
        if (sql != original)
            __builtin_trap();
    } catch (const qd::EConvertError &) {
        // An unreadable date or time: the one error the translation raises.
    }
    return 0;
}
