// The Oracle type of a select-list expression, as far as the text tells it. Plain columns are
// left to describe(), which reads their declared types.
#include "sql/Translator.h"

#include "sql/DateFormat.h"

#include <algorithm>
#include <cstdlib>

namespace qdsi::sql {

namespace {

ColumnDescription numberType()
{
    ColumnDescription d;
    d.dataType = 2, d.dataSize = 22, d.precision = 0, d.scale = -127;
    return d;
}
ColumnDescription varcharType(int size)
{
    ColumnDescription d;
    d.dataType = 1, d.dataSize = std::max(0, std::min(size, 4000));
    return d;
}
ColumnDescription dateType()
{
    ColumnDescription d;
    d.dataType = 12, d.dataSize = 7;
    return d;
}

// How long the text of a value can be once the server has converted it to VARCHAR2 for a
// concatenation. The describe of the result must hold the whole value: a LONG (declared with
// no length) or a LOB is converted up to the server's VARCHAR2 limit, a date or timestamp is
// written in the session's format, RAW as two hex digits a byte.
int convertedTextSize(bool known, const ColumnDescription &d)
{
    if (!known)
        return 4000;
    switch (d.dataType) {
    case 1:
    case 96:
        return d.dataSize;
    case 2:
    case 100:
    case 101:
        return 40;
    case 12:
    case 187:
    case 188:
    case 232:
        return 75;
    case 23:
        return 2 * d.dataSize;
    case 104:
        return 18;
    default: // LONG, LONG RAW, LOBs, objects, REFs
        return 4000;
    }
}

bool oneOf(std::string_view w, std::initializer_list<std::string_view> words)
{
    return std::find(words.begin(), words.end(), w) != words.end();
}

} // namespace

Translator::Inferred Translator::known(ColumnDescription d)
{
    Inferred i;
    i.known = true;
    i.type = d;
    return i;
}

Translator::Inferred Translator::infer(size_t b, size_t e) const
{
    if (b >= e)
        return {};
    return inferUnits(units(b, e));
}

Translator::Inferred Translator::inferUnits(const std::vector<Unit> &us) const
{
    if (us.empty())
        return {};
    if (us.size() > 1)
        return inferOperation(us);
    return inferPrimary(us.front());
}

Translator::Inferred Translator::inferOperation(const std::vector<Unit> &us) const
{
    Inferred r;
    bool concat = false, plusMinus = false;
    for (const Unit &u : us)
        if (u.kind == Unit::Op) {
            concat |= tok(u.b).is("||");
            plusMinus |= tok(u.b).is("+") || tok(u.b).is("-");
        }
    if (concat) {
        int size = 0;
        for (const Unit &u : us)
            if (u.kind == Unit::Primary) {
                const Inferred part = inferUnits({ u });
                size += convertedTextSize(part.known, part.type);
            }
        return known(varcharType(size));
    }
    // date +/- number is a date, date - date a number of days
    if (plusMinus && us.front().kind == Unit::Primary) {
        const Inferred first = inferUnits({ us.front() });
        if (!first.known && !first.column.empty()) {
            // Decided by the column's type at describe time.
            Inferred r2 = known(numberType());
            r2.qualifier = first.qualifier, r2.column = first.column;
            bool minusDate = false;
            for (size_t k = 1; k + 1 < us.size(); ++k)
                if (us[k].kind == Unit::Op && tok(us[k].b).is("-")) {
                    const Inferred other = inferUnits({ us[k + 1] });
                    minusDate
                        |= (other.known && other.type.dataType == 12) || !other.column.empty();
                }
            r2.ifDate = minusDate ? numberType() : dateType();
            return r2;
        }
        if (first.known && first.type.dataType == 12) {
            for (size_t k = 1; k + 1 < us.size(); ++k)
                if (us[k].kind == Unit::Op && tok(us[k].b).is("-")) {
                    const Inferred other = inferUnits({ us[k + 1] });
                    if (other.known && other.type.dataType == 12)
                        return known(numberType());
                }
            return known(dateType());
        }
    }
    bool arithmetic = false;
    for (const Unit &u : us)
        arithmetic |= u.kind == Unit::Op;
    return arithmetic ? known(numberType()) : r;
}

Translator::Inferred Translator::inferPrimary(const Unit &u) const
{
    Inferred r;
    if (u.kind != Unit::Primary)
        return r;
    const Token &t = tok(u.b);
    if (t.type == TokenType::Number)
        return known(numberType());
    if (t.type == TokenType::String) {
        if (u.e == u.b + 1) {
            ColumnDescription d;
            d.dataType = t.upper.empty() ? 1 : 96; // a literal is a CHAR of its length
            d.dataSize = static_cast<int>(t.upper.size());
            return known(d);
        }
    }
    if (t.type == TokenType::Placeholder)
        return known(varcharType(4000));
    if (t.is("CONNECT_BY_ROOT") && u.e > u.b + 1)
        return infer(u.b + 1, u.e);
    if (t.is("(")) {
        if (is(u.b + 1, "SELECT") || is(u.b + 1, "WITH"))
            return r;
        return infer(u.b + 1, u.e - 1);
    }
    if (t.is("CASE")) {
        for (size_t k = u.b; k < u.e; ++k)
            if (tok(k).is("THEN")) {
                size_t end = k + 1;
                while (end < u.e - 1 && !tok(end).is("WHEN") && !tok(end).is("ELSE"))
                    end = tok(end).is("(") ? closing(end) + 1 : end + 1;
                return infer(k + 1, end);
            }
        return r;
    }
    if ((t.is("DATE") || t.is("TIMESTAMP")) && u.e == u.b + 2)
        return known(dateType());
    if (!t.isName())
        return r;
    size_t j = u.b + 1;
    while (j + 1 < u.e && tok(j).is(".") && tok(j + 1).isName())
        j += 2;
    if (j == u.e)
        return inferName(u, j);
    if (!tok(j).is("("))
        return r;
    return inferCall(u, j);
}

Translator::Inferred Translator::inferName(const Unit &u, size_t j) const
{
    // A name chain: a pseudo-column or [qualifier.]column.
    Inferred r;
    const Token &last = tok(j - 1);
    if (last.is("NEXTVAL") || last.is("CURRVAL") || last.is("ROWNUM") || last.is("UID")
        || (j == u.b + 1 && (last.is("LEVEL") || last.is("CONNECT_BY_ISLEAF"))))
        return known(numberType());
    if (last.is("SYSDATE") || last.is("CURRENT_DATE") || last.is("SYSTIMESTAMP"))
        return known(dateType());
    if (last.is("USER") && j == u.b + 1)
        return known(varcharType(30));
    if (last.is("NULL"))
        return known(varcharType(0));
    if (last.is("ROWID")) {
        ColumnDescription d;
        d.dataType = 104, d.dataSize = 10;
        return known(d);
    }
    r.column = last.upper;
    if (j - u.b >= 3)
        r.qualifier = tok(j - 3).upper;
    // The column's declared type, when the engine can tell it now.
    for (const Scope *s = inferScope_; s && context_.columnType; s = s->parent)
        for (const TableRef &t : s->tables) {
            if (t.name.empty() || (!r.qualifier.empty() && r.qualifier != t.alias))
                continue;
            ColumnDescription d;
            if (context_.columnType(t.name, r.column, d)) {
                r.known = true;
                r.type = d;
                return r;
            }
        }
    return r;
}

Translator::Inferred Translator::inferCall(const Unit &u, size_t j) const
{
    // a call: name(args)
    Inferred r;
    const std::string fn = tok(j - 1).upper;
    const size_t open = j, close = closing(j);
    const auto args = splitTop(open + 1, close, ",");
    auto arg = [&](size_t n) {
        return n < args.size() ? infer(args[n].first, args[n].second) : Inferred {};
    };
    auto literalNumber = [&](size_t n, int &value) {
        if (n >= args.size() || args[n].second != args[n].first + 1
            || tok(args[n].first).type != TokenType::Number)
            return false;
        value = boundedInt(tok(args[n].first).text.c_str());
        return true;
    };
    if ((fn == "REF" || fn == "VALUE") && j == u.b + 1 && inferScope_) {
        ColumnDescription d;
        const RowRef row = rowRef(open, close, *inferScope_);
        const size_t dot = row.type.find('.');
        d.dataType = fn == "REF" ? 110 : 108, d.dataSize = 0;
        d.typeSchema = row.type.substr(0, dot);
        d.typeName = dot == std::string::npos ? row.type : row.type.substr(dot + 1);
        return known(d);
    }
    if (fn == "DEREF" && j == u.b + 1) {
        Inferred a = arg(0);
        if (a.known && a.type.dataType == 110) {
            a.type.dataType = 108;
            a.qualifier.clear(), a.column.clear();
            return a;
        }
        return r;
    }
    if (oneOf(fn,
            { "COUNT", "SUM", "AVG", "LENGTH", "INSTR", "MONTHS_BETWEEN", "MOD", "ABS", "SIGN",
                "FLOOR", "CEIL", "POWER", "SQRT", "TO_NUMBER", "ASCII", "STDDEV", "VARIANCE",
                "ROW_NUMBER", "RANK", "DENSE_RANK", "EXP", "LN", "LOG" }))
        return known(numberType());
    if (oneOf(fn, { "SYSDATE", "TO_DATE", "ADD_MONTHS", "LAST_DAY", "NEXT_DAY" }))
        return known(dateType());
    if (fn == "SYS_CONNECT_BY_PATH")
        return known(varcharType(4000));
    if (fn == "TO_TIMESTAMP") {
        ColumnDescription d;
        d.dataType = 187, d.dataSize = 11, d.scale = 9;
        return known(d);
    }
    if (fn == "TRUNC" || fn == "ROUND") {
        const Inferred a = arg(0);
        if (a.known)
            return known(a.type.dataType == 12 ? dateType() : numberType());
        if (!a.column.empty())
            return a;
        const bool unit = args.size() > 1 && tok(args[1].first).type == TokenType::String;
        return known(unit ? dateType() : numberType());
    }
    if (fn == "USERENV") {
        const bool numeric = !args.empty() && tok(args[0].first).type == TokenType::String
            && oneOf(tok(args[0].first).upper, { "SESSIONID", "SID", "ENTRYID" });
        return known(numeric ? numberType() : varcharType(64));
    }
    if (fn == "SUBSTR") {
        int n = 0;
        if (literalNumber(2, n))
            return known(varcharType(n));
        const Inferred a = arg(0);
        return a.known         ? known(varcharType(a.type.dataSize))
            : a.column.empty() ? known(varcharType(4000))
                               : a;
    }
    if (fn == "LPAD" || fn == "RPAD") {
        int n = 0;
        return known(varcharType(literalNumber(1, n) ? n : 4000));
    }
    if (fn == "CHR")
        return known(varcharType(1));
    if (fn == "TO_CHAR")
        return inferToChar(arg(0), args);
    if (oneOf(fn,
            { "UPPER", "LOWER", "INITCAP", "TRIM", "LTRIM", "RTRIM", "REPLACE", "TRANSLATE" })) {
        const Inferred a = arg(0);
        return a.known         ? known(varcharType(fn == "REPLACE" ? 4000 : a.type.dataSize))
            : a.column.empty() ? known(varcharType(4000))
                               : a;
    }
    if (fn == "CONCAT") {
        int size = 0;
        for (size_t n = 0; n < args.size(); ++n) {
            const Inferred a = arg(n);
            size += convertedTextSize(a.known, a.type);
        }
        return known(varcharType(size));
    }
    if (oneOf(fn, { "NVL", "GREATEST", "LEAST", "MAX", "MIN", "COALESCE" }))
        return arg(0);
    if (fn == "NVL2")
        return arg(1);
    if (fn == "DECODE") {
        // The first result's type, as wide as the widest result (the server converts the
        // others to it).
        Inferred first = arg(2);
        if (!first.known || (first.type.dataType != 1 && first.type.dataType != 96))
            return first;
        int size = first.type.dataSize;
        for (size_t n = 2; n < args.size(); ++n) { // results: 2, 4, ... and a default
            const bool result = n % 2 == 0 || n + 1 == args.size();
            if (!result)
                continue;
            const Inferred a = arg(n);
            size = std::max(size, convertedTextSize(a.known, a.type));
        }
        return known(varcharType(size));
    }
    if (fn == "CAST") {
        const size_t as = findTop(open + 1, close, "AS");
        if (as < close) {
            try {
                return known(describeDeclaredType(declaredType(as + 1, close)));
            } catch (const OraError &) {
            }
        }
    }
    return r;
}

Translator::Inferred Translator::inferToChar(
    const Inferred &a, const std::vector<std::pair<size_t, size_t>> &args) const
{
    if (args.size() > 1 && tok(args[1].first).type == TokenType::String) {
        const std::string &model = tok(args[1].first).upper;
        if (a.known && a.type.dataType == 12) {
            try {
                // The longest month and day names give the widest text of the model.
                DateTime wide { 2000, 9, 27, 23, 59, 59 };
                return known(varcharType(static_cast<int>(formatDateTime(wide, model).size())));
            } catch (const OraError &) {
            }
        } else if (a.known && a.type.dataType == 2) {
            return known(varcharType(static_cast<int>(model.size()) + 1));
        }
    }
    if (!a.known && !a.column.empty()) {
        Inferred r2 = known(varcharType(40));
        r2.qualifier = a.qualifier, r2.column = a.column;
        r2.ifDate = varcharType(75);
        if (args.size() > 1 && tok(args[1].first).type == TokenType::String) {
            const std::string &model = tok(args[1].first).upper;
            r2.type = varcharType(static_cast<int>(model.size()) + 1);
            try {
                DateTime wide { 2000, 9, 27, 23, 59, 59 };
                r2.ifDate = varcharType(static_cast<int>(formatDateTime(wide, model).size()));
            } catch (const OraError &) {
            }
        }
        return r2;
    }
    return known(varcharType(a.known && a.type.dataType == 12 ? 75
            : a.known && a.type.dataType == 2                 ? 40
                                                              : 4000));
}

} // namespace qdsi::sql
