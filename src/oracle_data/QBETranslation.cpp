#include "oracle_data/QBETranslation.h"

#include "classlib/DateTimeFields.h"
#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle_data/QBEDefinition.h"

#include <QDate>
#include <QLocale>
#include <QMutex>
#include <QStringList>

#include <cmath>
#include <optional>
#include <utility>

namespace qd {

namespace {

QMutex settingsMutex;
std::optional<QBELocaleSettings> settingsOverride;

bool isGlueType(TFieldType type)
{
    return type == ftString || type == ftDate || type == ftDateTime || type == ftMemo
        || type == ftFixedChar || type == ftWideString || type == ftTimeStamp;
}

bool isStringType(TFieldType type)
{
    return type == ftString || type == ftMemo || type == ftFixedChar || type == ftWideString;
}

bool isDateType(TFieldType type)
{
    return type == ftDate || type == ftDateTime || type == ftTimeStamp;
}

bool isIntegerType(TFieldType type)
{
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint;
}

bool isFloatType(TFieldType type)
{
    return type == ftFloat || type == ftCurrency || type == ftBCD || type == ftFMTBcd;
}

bool isOperatorChar(QChar c)
{
    return c == u'!' || c == u'<' || c == u'=' || c == u'>';
}

bool isQuotedLiteral(const QString &v)
{
    return v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\'');
}

// ---- Reading dates and times as the user writes them ----

// Reads up to maxDigits digits at pos; false when there is none.
bool readNumber(const QString &s, qsizetype &pos, int maxDigits, int &value, int &digits)
{
    value = 0;
    digits = 0;
    while (
        pos < s.size() && s.at(pos).isDigit() && s.at(pos).unicode() < 128 && digits < maxDigits) {
        value = value * 10 + (s.at(pos).unicode() - u'0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

void skipBlanks(const QString &s, qsizetype &pos)
{
    while (pos < s.size() && s.at(pos) == u' ')
        ++pos;
}

// A two-digit year lies within fifty years of the current one.
int expandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    const int current = QDate::currentDate().year();
    const int base = current - 50;
    year += base / 100 * 100;
    if (year < base)
        year += 100;
    return year;
}

bool readDate(const QString &s, qsizetype &pos, const QBELocaleSettings &locale, double &date)
{
    int n[3] = {};
    int digits[3] = {};
    int count = 0;
    while (count < 3) {
        if (!readNumber(s, pos, 4, n[count], digits[count]))
            return false;
        ++count;
        if (count == 3 || pos >= s.size() || s.at(pos) != locale.dateSeparator)
            break;
        ++pos;
    }
    if (count < 2)
        return false;
    int year = QDate::currentDate().year();
    int yearDigits = 4;
    int month = 0;
    int day = 0;
    using Order = QBELocaleSettings::DateOrder;
    if (count == 2) {
        // Day and month of the current year, in the locale's order of the two.
        if (locale.dateOrder == Order::DMY) {
            day = n[0];
            month = n[1];
        } else {
            month = n[0];
            day = n[1];
        }
    } else {
        switch (locale.dateOrder) {
        case Order::DMY:
            day = n[0], month = n[1], year = n[2], yearDigits = digits[2];
            break;
        case Order::MDY:
            month = n[0], day = n[1], year = n[2], yearDigits = digits[2];
            break;
        case Order::YMD:
            year = n[0], yearDigits = digits[0], month = n[1], day = n[2];
            break;
        }
        year = expandYear(year, yearDigits);
    }
    return TryEncodeDate(year, month, day, date);
}

bool readTime(const QString &s, qsizetype &pos, const QBELocaleSettings &locale, double &time)
{
    int h = 0, m = 0, sec = 0, ms = 0, d = 0;
    if (!readNumber(s, pos, 2, h, d))
        return false;
    if (pos >= s.size() || s.at(pos) != locale.timeSeparator)
        return false;
    ++pos;
    if (!readNumber(s, pos, 2, m, d))
        return false;
    if (pos < s.size() && s.at(pos) == locale.timeSeparator) {
        ++pos;
        if (!readNumber(s, pos, 2, sec, d))
            return false;
        if (pos < s.size() && s.at(pos) == u'.') {
            ++pos;
            int frac = 0;
            if (!readNumber(s, pos, 3, frac, d))
                return false;
            ms = d == 1 ? frac * 100 : d == 2 ? frac * 10 : frac;
        }
    }
    skipBlanks(s, pos);
    const QString rest = s.mid(pos).toUpper();
    if (rest == QLatin1String("AM") || rest == QLatin1String("PM")) {
        if (h < 1 || h > 12)
            return false;
        h = (h % 12) + (rest == QLatin1String("PM") ? 12 : 0);
        pos = s.size();
    }
    return TryEncodeTime(h, m, sec, ms, time);
}

bool readLocaleDateTime(const QString &s, const QBELocaleSettings &locale, double &value)
{
    qsizetype pos = 0;
    double date = 0;
    double time = 0;
    if (readDate(s, pos, locale, date)) {
        skipBlanks(s, pos);
        if (pos < s.size() && !readTime(s, pos, locale, time))
            return false;
    } else {
        pos = 0;
        if (!readTime(s, pos, locale, time))
            return false;
    }
    if (pos != s.size())
        return false;
    value = ComposeDateTime(date, time);
    return true;
}

QString formatDate(double value)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(value, y, m, d);
    return QStringLiteral("%1-%2-%3")
        .arg(d, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(y, 4, 10, QLatin1Char('0'));
}

QString formatTime(int h, int m, int s)
{
    return QStringLiteral("%1:%2:%3")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

// ---- Number texts ----

// The integer as the server reads it, or the characters a LIKE pattern over the number can use.
QString integerLiteral(const QString &v)
{
    bool ok = false;
    const qlonglong number = v.trimmed().toLongLong(&ok, 10);
    if (ok)
        return QString::number(number);
    QString kept;
    for (QChar c : v)
        if (c == u'%' || c == u'+' || c == u'-' || c == u'_' || (c >= u'0' && c <= u'9'))
            kept += c;
    return kept.isEmpty() ? v : kept;
}

// The number with "." as its decimal point and no grouping. When both "," and "." occur, the
// last one is the decimal point. One kind repeated can only be grouping. One single separator
// is the decimal point, whatever the locale groups with.
QString floatLiteral(const QString &typed)
{
    const QString v = QBEUnquote(typed);
    const qsizetype dots = v.count(u'.');
    const qsizetype commas = v.count(u',');
    if (dots + commas == 0)
        return v;
    bool decimalKept = false;
    if (dots > 0 && commas > 0)
        decimalKept = true;
    else if (dots + commas == 1)
        decimalKept = true;
    QString result;
    for (qsizetype i = v.size() - 1; i >= 0; --i) {
        const QChar c = v.at(i);
        if (c == u'.' || c == u',') {
            if (decimalKept) {
                result.prepend(u'.');
                decimalKept = false;
            }
            continue;
        }
        result.prepend(c);
    }
    return result.isEmpty() ? typed : result;
}

// ---- The criterion reader ----

class Translator {
public:
    Translator(const QString &text, QBELiteralContext &context)
        : m_text(text)
        , m_ctx(context)
    {
    }

    QString run(bool &negate);

private:
    bool isSeparator(QChar c) const
    {
        return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == u'('
            || (m_inKeyword && (c == u')' || c == u','));
    }
    QString readWord();
    bool operatorPrefix(const QString &text, QString &term);
    QString convert(const QString &v, bool operatorGiven)
    {
        return QBEValueToLiteral(v, operatorGiven, m_ctx);
    }
    QString comparison(const QString &v) const { return QBEComparison(v, m_ctx.switches.soundex); }
    QString restOfText() const
    {
        QString rest = m_text.mid(m_pos);
        qsizetype i = 0;
        while (i < rest.size() && rest.at(i).isSpace())
            ++i;
        return rest.mid(i);
    }
    QString wildcards(const QString &v) const
    {
        return m_ctx.switches.allowFileWildCards ? ConvertFileWildcards(v) : v;
    }

    QString m_text;
    QBELiteralContext &m_ctx;
    qsizetype m_pos = 0;
    QString m_raw;
    bool m_glue = false;
    bool m_inKeyword = false;
    bool m_swallowed = false;
};

bool isOrAnd(const QString &word)
{
    const QString u = word.toUpper();
    return u == QLatin1String("OR") || u == QLatin1String("AND");
}

QString Translator::readWord()
{
    QString word;
    const qsizetype n = m_text.size();
    for (;;) {
        while (m_pos < n && isSeparator(m_text.at(m_pos)))
            m_raw += m_text.at(m_pos++);
        const qsizetype before = word.size();
        const qsizetype start = m_pos;
        bool inSingle = false;
        bool inDouble = false;
        while (m_pos < n) {
            const QChar c = m_text.at(m_pos);
            if (!inSingle && !inDouble && isSeparator(c))
                break;
            if (c == u'\'' && !inDouble)
                inSingle = !inSingle;
            else if (c == u'"' && !inSingle)
                inDouble = !inDouble;
            word += c;
            m_raw += c;
            ++m_pos;
        }
        bool goOn = false;
        if (m_glue && m_pos < n && (m_text.at(m_pos) == u' ' || m_text.at(m_pos) == u',')) {
            if (!isOrAnd(m_text.mid(start, m_pos - start))) {
                word += m_text.at(m_pos);
                m_raw += m_text.at(m_pos);
                ++m_pos;
                goOn = true;
            } else {
                word.truncate(before);
                m_swallowed = true;
                goOn = word.isEmpty();
            }
        }
        // Every pass takes at least one character or ends, so the loop always finishes.
        if (!goOn || m_pos >= n)
            return word;
    }
}

bool Translator::operatorPrefix(const QString &text, QString &term)
{
    if (text.isEmpty() || !isOperatorChar(text.at(0)))
        return false;
    qsizetype len = text.size() > 1 && isOperatorChar(text.at(1)) ? 2 : 1;
    m_ctx.op = text.left(len);
    m_ctx.singleValue = true;
    const QString v = convert(text.mid(len).trimmed(), true);
    if (m_ctx.op == QLatin1String("="))
        m_ctx.op = comparison(v);
    term = m_ctx.op + u' ' + v;
    return true;
}

QString Translator::run(bool &negate)
{
    QString term;
    if (operatorPrefix(m_text, term))
        return term;
    if (m_text.trimmed().toLower() == QLatin1String("is not null"))
        m_text = QStringLiteral("not null");

    QStringList items;
    QString keyword = readWord();
    if (keyword == m_text) {
        items.append(keyword);
        keyword.clear();
    }
    m_glue = isGlueType(m_ctx.dataType);

    if (keyword.toUpper() == QLatin1String("NOT")) {
        negate = true;
        if (operatorPrefix(restOfText(), term))
            return term;
        keyword = readWord();
    }
    const QString key = keyword.toUpper();

    m_raw.clear();
    bool firstWordGlue = false;
    for (;;) {
        if (key == QLatin1String("IN")) {
            m_inKeyword = true;
            m_glue = false;
        }
        const bool firstRead = m_raw.isEmpty();
        const QString rawBefore = m_raw;
        const QString word = readWord();
        if (firstRead)
            firstWordGlue = !m_swallowed;
        if (word.isEmpty())
            break;
        m_swallowed = isOrAnd(word);
        if (m_swallowed && key == QLatin1String("BETWEEN")) {
            items = QStringList { rawBefore, restOfText() };
            break;
        }
        if (!m_swallowed)
            items.append(word);
    }

    const auto upperItem = [&](int i) { return items.value(i).toUpper(); };
    if (key == QLatin1String("NULL")
        || (key.isEmpty() && items.size() == 1 && upperItem(0) == QLatin1String("NULL"))
        || (key == QLatin1String("IS") && upperItem(0) == QLatin1String("NULL")))
        return QStringLiteral("is null");

    if (key == QLatin1String("SOUNDS")) {
        m_ctx.switches.soundex = true;
        for (qsizetype i = 0; i < items.size(); ++i) {
            QString item = items.at(i).trimmed();
            if (i == 0 && item.toUpper().startsWith(QLatin1String("LIKE ")))
                item = item.mid(5).trimmed();
            if (item.isEmpty())
                continue;
            const QString v = convert(item, false);
            if (i > 0)
                term += QStringLiteral(" or ") + m_ctx.column;
            term += u' ' + comparison(v) + u' ' + v;
        }
        m_ctx.switches.soundex = false;
        return term;
    }

    if (key == QLatin1String("IN")) {
        if (items.isEmpty())
            return QStringLiteral("is null");
        QStringList values;
        for (const QString &item : std::as_const(items))
            values.append(convert(item.trimmed(), true));
        return QStringLiteral("in (") + values.join(u',') + u')';
    }

    if (key == QLatin1String("BETWEEN")) {
        if (items.size() >= 2)
            return QStringLiteral("between ") + convert(items.at(0).trimmed(), true)
                + QStringLiteral(" and ") + convert(items.at(1).trimmed(), true);
        if (items.size() == 1) {
            const QString v = convert(items.at(0).trimmed(), true);
            return comparison(v) + u' ' + v;
        }
        return term;
    }

    if (key == QLatin1String("LIKE")) {
        for (qsizetype i = 0; i < items.size(); ++i) {
            QString v = convert(wildcards(items.at(i).trimmed()), true);
            if (!HasQBEWildcard(v)) {
                if (isQuotedLiteral(v))
                    v.insert(v.size() - 1, u'%');
                else if (isIntegerType(m_ctx.dataType) || isFloatType(m_ctx.dataType))
                    // A number has no prefix to match; its text does, as a quoted pattern.
                    v = QBEQuote(v + u'%');
            }
            if (i > 0)
                term += QStringLiteral(" or ") + m_ctx.column;
            term += u' ' + comparison(v) + u' ' + v;
        }
        return term;
    }

    if (!keyword.isEmpty()) {
        if (m_glue && firstWordGlue && !items.isEmpty())
            items[0] = keyword + u' ' + items.at(0);
        else
            items.prepend(keyword);
    }

    if (items.size() == 1) {
        m_ctx.singleValue = true;
        const QString v = convert(wildcards(items.at(0).trimmed()), false);
        return (m_ctx.op.isEmpty() ? comparison(v) : m_ctx.op) + u' ' + v;
    }
    if (items.size() == 3) {
        const QString middle = items.at(1).trimmed();
        if (middle == QLatin1String("..") || middle == QLatin1String("...")
            || middle == QLatin1String("-"))
            return QStringLiteral("between ") + convert(items.at(0).trimmed(), true)
                + QStringLiteral(" and ") + convert(items.at(2).trimmed(), true);
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString v = convert(wildcards(items.at(i).trimmed()), false);
        if (i > 0)
            term += QStringLiteral(" or ") + m_ctx.column;
        term += u' ' + comparison(v) + u' ' + v;
    }
    return term;
}

} // namespace

// ---- Settings ----

QBELocaleSettings QBELocaleSettings::fromLocale(const QLocale &locale)
{
    QBELocaleSettings s;
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    s.decimalSeparator = point.isEmpty() ? QChar(u'.') : point.front();
    s.thousandSeparator = group.isEmpty() ? QChar(u',') : group.front();
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = date.indexOf(u'd');
    const qsizetype m = date.indexOf(u'M');
    const qsizetype y = date.indexOf(u'y');
    if (y >= 0 && (d < 0 || y < d) && (m < 0 || y < m))
        s.dateOrder = DateOrder::YMD;
    else if (m >= 0 && d >= 0 && m < d)
        s.dateOrder = DateOrder::MDY;
    else
        s.dateOrder = DateOrder::DMY;
    for (QChar c : date)
        if (!c.isLetter() && c != u'\'' && !c.isSpace()) {
            s.dateSeparator = c;
            break;
        }
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    for (QChar c : time)
        if (!c.isLetter() && c != u'\'' && !c.isSpace()) {
            s.timeSeparator = c;
            break;
        }
    return s;
}

QBELocaleSettings qbeLocaleSettings()
{
    QMutexLocker lock(&settingsMutex);
    if (!settingsOverride)
        settingsOverride = QBELocaleSettings::fromLocale(QLocale::system());
    return *settingsOverride;
}

void setQBELocaleSettings(const QBELocaleSettings &settings)
{
    QMutexLocker lock(&settingsMutex);
    settingsOverride = settings;
}

QBESwitches QBESwitches::of(const TQBEField &field)
{
    QBESwitches s;
    s.partialMatch = field.PartialMatch();
    s.matchAnywhere = field.MatchAnywhere();
    s.soundex = field.Soundex();
    s.caseInsensitive = field.CaseInsensitive();
    s.wholeDay = field.WholeDay();
    if (const TQBEDefinition *definition = field.Owner()) {
        s.allowOperators = definition->AllowOperators();
        s.allowFileWildCards = definition->AllowFileWildCards();
    }
    return s;
}

// ---- Small text functions ----

bool HasQBEWildcard(const QString &Text)
{
    QString v = Text;
    v.remove(QStringLiteral("to_"));
    return v.contains(u'%') || v.contains(u'_');
}

QString QBEComparison(const QString &Value, bool Soundex)
{
    if (Value.toUpper() == QLatin1String("NULL"))
        return QStringLiteral("is");
    if (HasQBEWildcard(Value) && !Soundex)
        return QStringLiteral("like");
    return QStringLiteral("=");
}

QString ConvertFileWildcards(const QString &Text)
{
    QString v = Text;
    v.replace(u'*', u'%');
    v.replace(u'?', u'_');
    return v;
}

QString QBEUnquote(const QString &Value)
{
    if (Value.size() <= 2)
        return Value;
    const QChar q = Value.front();
    if ((q != u'\'' && q != u'"') || Value.back() != q)
        return Value;
    QString v = Value.mid(1, Value.size() - 2);
    // Doubled quotes collapse, scanning from the end so that a run of four becomes two.
    for (qsizetype i = v.size() - 1; i >= 1; --i)
        if (v.at(i) == q && v.at(i - 1) == q)
            v.remove(i--, 1);
    return v;
}

QString QBEQuote(const QString &Value)
{
    QString v = Value;
    v.replace(u'\'', QStringLiteral("''"));
    return u'\'' + v + u'\'';
}

bool QBETextToDateTime(const QString &Text, const QBELocaleSettings &Locale, double &DateTime)
{
    const QString t = Text.trimmed();
    return readLocaleDateTime(t, Locale, DateTime) || TextToDateTime(t, DateTime);
}

// ---- One value ----

QString QBEValueToLiteral(const QString &Value, bool OperatorGiven, QBELiteralContext &Context)
{
    const QBESwitches &sw = Context.switches;
    const TFieldType type = Context.dataType;
    QString result = Value;

    if (isStringType(type)) {
        QString v = QBEUnquote(Value);
        if (sw.soundex) {
            if (!Context.column.contains(QLatin1String("soundex("), Qt::CaseInsensitive))
                Context.column = QStringLiteral("soundex(") + Context.column + u')';
            return QStringLiteral("soundex(") + QBEQuote(v) + u')';
        }
        if (!HasQBEWildcard(v) && !OperatorGiven) {
            if ((sw.partialMatch || sw.matchAnywhere) && !(!v.isEmpty() && v.endsWith(u'%')))
                v += u'%';
            if (sw.matchAnywhere && !v.startsWith(u'%'))
                v.prepend(u'%');
        }
        result = QBEQuote(v);
        if (sw.caseInsensitive) {
            if (!Context.column.contains(QLatin1String("upper("), Qt::CaseInsensitive))
                Context.column = QStringLiteral("upper(") + Context.column + u')';
            result = result.toUpper();
        }
    } else if (isDateType(type)) {
        if (!HasQBEWildcard(Value)) {
            const QString v = QBEUnquote(Value).trimmed();
            double value = 0;
            // Without operators the text is the field's own, in the class library's format.
            const bool read = sw.allowOperators
                ? QBETextToDateTime(v, Context.locale, value)
                : (TextToDateTime(v, value) || QBETextToDateTime(v, Context.locale, value));
            if (!read)
                throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(v));
            int h = 0, mi = 0, s = 0, ms = 0;
            DecodeTime(value, h, mi, s, ms);
            if (h || mi || s || ms)
                return QStringLiteral("to_date('") + formatDate(value) + u' ' + formatTime(h, mi, s)
                    + QStringLiteral("', 'DD-MM-YYYY HH24:MI:SS')");
            const QString day = QStringLiteral("to_date('") + formatDate(value)
                + QStringLiteral("', 'DD-MM-YYYY')");
            if (sw.wholeDay && Context.singleValue
                && (Context.op.isEmpty() || Context.op == QLatin1String("="))) {
                const double next = std::trunc(value) + 1;
                if (next > MaxDateTime)
                    return day;
                Context.op = QStringLiteral(">=");
                return day + QStringLiteral(" and ") + Context.column
                    + QStringLiteral(" < to_date('") + formatDate(next)
                    + QStringLiteral("', 'DD-MM-YYYY')");
            }
            return day;
        }
    } else if (type == ftTime) {
        const QString v = QBEUnquote(Value).trimmed();
        double value = 0;
        if (!QBETextToDateTime(v, Context.locale, value))
            throw EConvertError(QStringLiteral("'%1' is not a valid time").arg(v));
        int h = 0, mi = 0, s = 0, ms = 0;
        DecodeTime(value, h, mi, s, ms);
        return QStringLiteral("to_date('") + formatTime(h, mi, s)
            + QStringLiteral("', 'HH24:MI:SS')");
    } else if (isIntegerType(type)) {
        result = integerLiteral(Value);
    } else if (isFloatType(type)) {
        result = floatLiteral(Value);
    }

    if (!OperatorGiven && HasQBEWildcard(result))
        result = QBEQuote(QBEUnquote(result));
    return result;
}

QString TranslateQBEValue(const QString &Text, QString &Column, bool &Negate, TFieldType DataType,
    const QBESwitches &Switches, const QBELocaleSettings &Locale)
{
    Negate = false;
    // Empty criteria select nothing; the caller skips them, and so does this.
    if (Text.trimmed().isEmpty())
        return QString();
    QBELiteralContext context;
    context.column = Column;
    context.dataType = DataType;
    context.switches = Switches;
    context.locale = Locale;
    // Without operators everything typed is one value.
    const QString text = Switches.allowOperators ? Text : QBEQuote(QBEUnquote(Text));
    Translator translator(text, context);
    const QString term = translator.run(Negate);
    Column = context.column;
    return term;
}

QString TranslateQBEValue(const QString &Text, QString &Column, bool &Negate, TFieldType DataType,
    const TQBEField &QBEField, const QBELocaleSettings &Locale)
{
    return TranslateQBEValue(Text, Column, Negate, DataType, QBESwitches::of(QBEField), Locale);
}

} // namespace qd
