#pragma once

#include "classlib/DataSetTypes.h"

#include <QChar>
#include <QString>

class QLocale;

namespace qd {

class TQBEField;

// The regional settings a query-by-example criterion is read with: how the user writes dates,
// times and numbers. Injected so that tests can fix them; the program uses the process default.
struct QBELocaleSettings {
    enum class DateOrder { DMY, MDY, YMD };

    QChar decimalSeparator = u'.';
    QChar thousandSeparator = u',';
    DateOrder dateOrder = DateOrder::DMY;
    QChar dateSeparator = u'-';
    QChar timeSeparator = u':';

    static QBELocaleSettings fromLocale(const QLocale &locale);
};
// Taken from the system locale until setQBELocaleSettings is called.
QBELocaleSettings qbeLocaleSettings();
void setQBELocaleSettings(const QBELocaleSettings &settings);

// What the translation reads from a field's TQBEField and its definition.
struct QBESwitches {
    bool partialMatch = false;
    bool matchAnywhere = false;
    bool soundex = false;
    bool caseInsensitive = false;
    bool wholeDay = false;
    bool allowOperators = false;
    bool allowFileWildCards = true;

    // A field without a definition owner reads the definition's defaults.
    static QBESwitches of(const TQBEField &field);
};

// The state one value conversion reads and may change: the column (wrapped in upper(...) or
// soundex(...)) and, for a whole-day date, the operator.
struct QBELiteralContext {
    QString column;
    TFieldType dataType = ftString;
    QBESwitches switches;
    QBELocaleSettings locale;
    // Raised when the value stands alone, so that a whole-day date may become a range.
    bool singleValue = false;
    // The operator given with the value ("", "=", ">=", ...); ">=" after a whole-day range.
    QString op;
};

// Turns one field's QBE text into the SQL predicate fragment that follows the column name
// ("= 'Smith'", ">= 100", "in (10,20)", "is null", "between 1 and 5"); empty when the text
// gives nothing. Column may come back wrapped (upper(...), soundex(...)); Negate is set by a
// leading NOT. Malformed criteria are passed on for the server to report; a date or time the
// locale cannot read raises EConvertError.
QString TranslateQBEValue(const QString &Text, QString &Column, bool &Negate, TFieldType DataType,
    const QBESwitches &Switches, const QBELocaleSettings &Locale = qbeLocaleSettings());
QString TranslateQBEValue(const QString &Text, QString &Column, bool &Negate, TFieldType DataType,
    const TQBEField &QBEField, const QBELocaleSettings &Locale = qbeLocaleSettings());

// One value as an SQL literal or expression for the field's type. OperatorGiven is true when an
// operator or keyword already decides the comparison, so no partial-match wildcards are added
// and a value with wildcards is left as the operator wants it.
QString QBEValueToLiteral(const QString &Value, bool OperatorGiven, QBELiteralContext &Context);

// "is" for NULL, "like" for a value with wildcards (unless compared by soundex), else "=".
QString QBEComparison(const QString &Value, bool Soundex);

// Whether the value holds "%" or "_" outside the function prefix "to_" (to_date, to_char).
bool HasQBEWildcard(const QString &Text);

// "*" becomes "%" and "?" becomes "_".
QString ConvertFileWildcards(const QString &Text);

// Removes one pair of surrounding single or double quotes (only from a text longer than two
// characters) and collapses the doubled quotes inside.
QString QBEUnquote(const QString &Value);
// Encloses in single quotes, doubling every single quote inside.
QString QBEQuote(const QString &Value);

// Reads a date, a date and time, or a time as the user writes them with these settings (the
// class library's own ISO text is accepted too); false when the text is no such value.
bool QBETextToDateTime(const QString &Text, const QBELocaleSettings &Locale, double &DateTime);

} // namespace qd
