#include "sql/NumberFormat.h"

#include "sql/Dialect.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qdsi::sql {

namespace {

// Digits and decimal exponent of a double rounded to 15 significant digits, the precision
// at which a double still reads back as the decimal NUMBER it stands in for.
void decimalDigits(double value, std::string &digits, int &exponent)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    // buf: d.dddddddddddddde[+-]xx
    digits.clear();
    for (const char *p = buf; *p && *p != 'e'; ++p)
        if (std::isdigit(static_cast<unsigned char>(*p)))
            digits += *p;
    exponent = std::atoi(std::strchr(buf, 'e') + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

} // namespace

std::string numberToText(int64_t value)
{
    return std::to_string(value);
}

namespace {

// Oracle's text of ±0.digits... scaled so that the first digit stands at 10^exponent.
std::string digitsText(bool negative, const std::string &digits, int exponent)
{
    std::string out = negative ? "-" : "";
    const int count = static_cast<int>(digits.size());
    // Fixed notation while it fits Oracle's 40 characters, else mantissa and exponent.
    const int fixedLength = exponent >= 0 ? std::max(exponent + 1, count) + (count > exponent + 1)
                                          : 1 - exponent + count;
    if (fixedLength > 40) {
        out += digits.substr(0, 1);
        if (count > 1)
            out += "." + digits.substr(1);
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return out + exp;
    }
    if (exponent < 0) {
        out += "." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else if (count <= exponent + 1) {
        out += digits + std::string(static_cast<size_t>(exponent + 1 - count), '0');
    } else {
        out += digits.substr(0, static_cast<size_t>(exponent + 1)) + "."
            + digits.substr(static_cast<size_t>(exponent + 1));
    }
    return out;
}

} // namespace

std::string numberToText(double value)
{
    if (std::isnan(value))
        return "Nan";
    if (std::isinf(value))
        return value > 0 ? "~" : "-~";
    if (value == 0)
        return "0";
    std::string digits;
    int exponent = 0;
    decimalDigits(value, digits, exponent);
    return digitsText(value < 0, digits, exponent);
}

std::string exactNumberText(std::string_view literal, bool negative)
{
    // digits [. digits] [e [+-] digits]
    std::string digits;
    int pointAt = -1; // digits before the point
    size_t i = 0;
    for (; i < literal.size(); ++i) {
        const char c = literal[i];
        if (std::isdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (c == '.' && pointAt < 0)
            pointAt = static_cast<int>(digits.size());
        else
            break;
    }
    long long scale = 0;
    const bool exponentGiven = i < literal.size();
    if (exponentGiven) {
        if (literal[i] != 'e' && literal[i] != 'E')
            return {};
        scale = std::strtoll(std::string(literal.substr(i + 1)).c_str(), nullptr, 10);
    }
    if (pointAt < 0)
        pointAt = static_cast<int>(digits.size());
    // Whole numbers an integer holds, and anything a double holds to 15 digits, stay numbers.
    size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {};
    size_t last = digits.find_last_not_of('0');
    const size_t significant = last - first + 1;
    if (significant <= 15)
        return {};
    const int exponent = pointAt - static_cast<int>(first) - 1 + static_cast<int>(scale);
    if (!exponentGiven && static_cast<int>(last) < pointAt && exponent < 18)
        return {}; // an integer below 10^18
    std::string kept = digits.substr(first, significant);
    if (kept.size() > 40)
        kept.resize(40); // the server keeps up to 40 digits
    while (kept.size() > 1 && kept.back() == '0')
        kept.pop_back();
    return digitsText(negative, kept, exponent);
}

bool isExactNumber(sqlite3_value *value)
{
    if (sqlite3_value_type(value) != SQLITE_BLOB)
        return false;
    const auto *p = static_cast<const char *>(sqlite3_value_blob(value));
    const int n = sqlite3_value_bytes(value);
    // What exactNumberText writes: 16 digits at least, a sign, a point, an exponent.
    if (!p || n < 16 || n > 48)
        return false;
    int digits = 0;
    for (int i = 0; i < n; ++i) {
        const char c = p[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (!(c == '.' || c == 'E' || ((c == '-' || c == '+') && (i == 0 || p[i - 1] == 'E'))))
            return false;
    }
    return digits >= 16;
}

std::string numberToText(sqlite3_value *value)
{
    if (isExactNumber(value))
        return std::string(static_cast<const char *>(sqlite3_value_blob(value)),
            static_cast<size_t>(sqlite3_value_bytes(value)));
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return numberToText(static_cast<int64_t>(sqlite3_value_int64(value)));
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(value);
        if (std::fabs(d) < 9e15 && d == std::floor(d))
            return numberToText(static_cast<int64_t>(d));
        return numberToText(d);
    }
    case SQLITE_NULL:
        return {};
    default: {
        const char *t = reinterpret_cast<const char *>(sqlite3_value_text(value));
        double d = 0;
        if (t && looksNumeric(t, &d))
            return numberToText(d);
        return t ? t : "";
    }
    }
}

bool looksNumeric(std::string_view text, double *value)
{
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
        --e;
    if (b == e)
        return false;
    const std::string s(text.substr(b, e - b));
    bool digit = false;
    for (char c : s) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = true;
        else if (!(c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            return false;
    }
    if (!digit)
        return false;
    char *end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size())
        return false;
    if (value)
        *value = d;
    return true;
}

std::string formatNumber(double value, std::string_view modelText)
{
    std::string model;
    bool fill = false, dollar = false, leadingSign = false, trailingMinus = false;
    for (size_t i = 0; i < modelText.size(); ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(modelText[i])));
        if (c == 'F' && i + 1 < modelText.size() && std::toupper(modelText[i + 1]) == 'M') {
            fill = true, ++i;
        } else if (c == 'M' && i + 1 < modelText.size() && std::toupper(modelText[i + 1]) == 'I') {
            trailingMinus = true, ++i;
        } else if (c == '$') {
            dollar = true;
        } else if (c == 'S' && model.empty()) {
            leadingSign = true;
        } else if (c == '9' || c == '0' || c == ',' || c == 'G') {
            model += c == 'G' ? ',' : c;
        } else if (c == '.' || c == 'D') {
            if (model.find('.') != std::string::npos)
                throw oraError(1481);
            model += '.';
        } else {
            throw oraError(1481);
        }
    }
    if (model.empty())
        return numberToText(value);
    const size_t point = model.find('.');
    const std::string intPart = model.substr(0, point);
    const std::string fracPart = point == std::string::npos ? "" : model.substr(point + 1);
    int intDigits = 0;
    for (char c : intPart)
        intDigits += c != ',';
    const int fracDigits = static_cast<int>(fracPart.size());

    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", fracDigits, std::fabs(value));
    std::string s = buf;
    const size_t dot = s.find('.');
    std::string whole = s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
    if (whole == "0")
        whole.clear();
    const bool negative
        = value < 0 && (whole.size() || frac.find_first_not_of('0') != std::string::npos);
    const int width = static_cast<int>(model.size()) + (dollar ? 1 : 0)
        + ((leadingSign || trailingMinus) ? 0 : 1);
    if (static_cast<int>(whole.size()) > intDigits)
        return std::string(static_cast<size_t>(width), '#');
    // Integer part: walk the model right to left, 0 forces a digit from its position on.
    std::string intOut;
    size_t firstZero = intPart.find('0');
    const int zeroFrom = firstZero == std::string::npos ? 0 : [&] {
        int k = 0;
        for (size_t i = 0; i < firstZero; ++i)
            k += intPart[i] != ',';
        return intDigits - k;
    }();
    int digitIndex = 0; // from the right
    for (int i = static_cast<int>(intPart.size()) - 1; i >= 0; --i) {
        if (intPart[static_cast<size_t>(i)] == ',') {
            intOut.insert(intOut.begin(), ',');
            continue;
        }
        const int fromRight = digitIndex++;
        if (fromRight < static_cast<int>(whole.size()))
            intOut.insert(intOut.begin(), whole[whole.size() - 1 - static_cast<size_t>(fromRight)]);
        else if (fromRight < zeroFrom)
            intOut.insert(intOut.begin(), '0');
        else
            intOut.insert(intOut.begin(), ' ');
    }
    // Group separators before the first digit become blanks.
    for (size_t i = 0; i < intOut.size() && (intOut[i] == ' ' || intOut[i] == ','); ++i)
        intOut[i] = ' ';
    // A lone decimal point with no integer digits shows "0" only when the model says so.
    std::string fracOut;
    if (point != std::string::npos) {
        fracOut = "." + frac;
        if (fill) {
            // FM drops trailing zeros in the 9 positions after the point.
            size_t keep = fracOut.size();
            while (keep > 1 && fracOut[keep - 1] == '0' && fracPart[keep - 2] == '9')
                --keep;
            fracOut.resize(keep);
        }
    }
    // Leading blanks end just before the first digit; the sign and $ go there.
    size_t firstNonBlank = intOut.find_first_not_of(' ');
    std::string lead
        = firstNonBlank == std::string::npos ? intOut : intOut.substr(0, firstNonBlank);
    std::string digitsOut = firstNonBlank == std::string::npos ? "" : intOut.substr(firstNonBlank);
    std::string sign;
    if (leadingSign)
        sign = negative ? "-" : "+";
    else if (!trailingMinus)
        sign = negative ? "-" : (fill ? "" : " ");
    std::string out = (fill ? "" : lead) + sign + (dollar ? "$" : "") + digitsOut + fracOut;
    if (trailingMinus)
        out += negative ? "-" : (fill ? "" : " ");
    if (out.empty() || out == ".")
        out = "0";
    return out;
}

double parseNumber(std::string_view text, std::string_view model)
{
    std::string cleaned;
    for (char c : text) {
        if (c == '$' || (c == ',' && !model.empty()))
            continue;
        cleaned += c;
    }
    // A trailing minus (format MI) moves to the front.
    size_t e = cleaned.find_last_not_of(' ');
    if (e != std::string::npos && cleaned[e] == '-' && e > 0) {
        cleaned.erase(e, 1);
        cleaned.insert(cleaned.begin(), '-');
    }
    double value = 0;
    if (!looksNumeric(cleaned, &value))
        throw oraError(1722);
    return value;
}

} // namespace qdsi::sql
