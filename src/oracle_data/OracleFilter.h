#pragma once

#include "classlib/Exception.h"

#include <QChar>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLocale;

namespace qd {

// The client-side filter language of the dataset's Filter property: the text is parsed once into
// a tree of typed nodes, and the root is read as a boolean for every record.

// Every error of the filter language, at parse time and when a tree is read.
class EExpression : public Exception {
public:
    using Exception::Exception;
};

// Value kinds. The order matters: the common kind of two operands is the one that comes first.
enum class TExpressionKind { Date, String, Float, Integer, Boolean };

enum class TExpressionOperator {
    opNot,
    opMult,
    opDivide,
    opDiv,
    opMod,
    opAnd,
    opShl,
    opShr,
    opPlus,
    opMinus,
    opOr,
    opXor,
    opEq,
    opNEQ,
    opLT,
    opGT,
    opLTE,
    opGTE
};

// "Date", "String", "Float", "Integer", "Boolean".
QString ExpressionKindName(TExpressionKind kind);
// "opNot", "opMult", ... as the messages print them.
QString ExpressionOperatorName(TExpressionOperator op);
// The common kind of two operands: the one that comes first in the kind order.
TExpressionKind CommonKind(TExpressionKind a, TExpressionKind b);
// The result kind of an operator over operands of a kind; raises "Operator %s incompatible with
// %s" for a pair the language does not allow.
TExpressionKind ResultKind(TExpressionOperator op, TExpressionKind operandKind);

// The regional settings numbers and date texts follow: the decimal separator that number literals
// use, and the Qt date and time formats standing for the short date and long time formats.
// Process-wide; set it once at start-up (and in tests) before filters are parsed or read.
struct FilterFormatSettings {
    QChar decimalSeparator = u'.';
    QString shortDateFormat = QStringLiteral("dd.MM.yyyy");
    QString longTimeFormat = QStringLiteral("HH:mm:ss");

    static FilterFormatSettings fromLocale(const QLocale &locale);
};
// Taken from the system locale until setFilterFormatSettings is called.
FilterFormatSettings filterFormatSettings();
void setFilterFormatSettings(const FilterFormatSettings &settings);

// The texts the language reads and writes with those settings.
QString FilterFloatToText(double value);
QString FilterDateTimeToText(double dateTime);
// Raises EConvertError when the text is no date, time or date and time in the formats.
double FilterTextToDateTime(const QString &text);

// Base of every node. The two options are copied from the parse in progress when a node is
// created. The getters are the seven readings of a node; those a node does not compute itself
// follow the general conversion table by the node's kind.
class TExpression {
public:
    TExpression();
    virtual ~TExpression();
    TExpression(const TExpression &) = delete;
    TExpression &operator=(const TExpression &) = delete;

    // Date-time as a day count: whole days plus the time of day as a fraction.
    virtual double AsDate() const;
    virtual QString AsString() const;
    virtual double AsFloat() const;
    virtual qint32 AsInteger() const;
    virtual bool AsBoolean() const;
    virtual bool IsNull() const { return false; }
    virtual TExpressionKind Kind() const = 0;

    bool CaseInsensitive() const { return m_caseInsensitive; }
    bool PartialCompare() const { return m_partialCompare; }

protected:
    // "Cannot read <kind> as <target>" for a reading the node's kind does not allow.
    [[noreturn]] void cannotRead(TExpressionKind kind, TExpressionKind target) const;

private:
    bool m_caseInsensitive;
    bool m_partialCompare;
};

// The parameters of a function call in order. A position with nothing in it (COPY([A],,2),
// UPPER()) holds a null entry, which the parameter checks count but never read.
class TParameterList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    TExpression *Items(int index) const { return m_items.at(index).get(); }
    void Add(std::unique_ptr<TExpression> item) { m_items.push_back(std::move(item)); }

private:
    std::vector<std::unique_ptr<TExpression>> m_items;
};

class TStringLiteral : public TExpression {
public:
    explicit TStringLiteral(QString value)
        : m_value(std::move(value))
    {
    }
    QString AsString() const override { return m_value; }
    TExpressionKind Kind() const override { return TExpressionKind::String; }

private:
    QString m_value;
};

class TFloatLiteral : public TExpression {
public:
    explicit TFloatLiteral(double value)
        : m_value(value)
    {
    }
    double AsFloat() const override { return m_value; }
    TExpressionKind Kind() const override { return TExpressionKind::Float; }

private:
    double m_value;
};

class TIntegerLiteral : public TExpression {
public:
    explicit TIntegerLiteral(qint32 value)
        : m_value(value)
    {
    }
    qint32 AsInteger() const override { return m_value; }
    TExpressionKind Kind() const override { return TExpressionKind::Integer; }

private:
    qint32 m_value;
};

class TBooleanLiteral : public TExpression {
public:
    explicit TBooleanLiteral(bool value)
        : m_value(value)
    {
    }
    double AsDate() const override { return m_value ? 1 : 0; }
    bool AsBoolean() const override { return m_value; }
    TExpressionKind Kind() const override { return TExpressionKind::Boolean; }

private:
    bool m_value;
};

// NOT, unary + and unary -.
class TUnaryOp : public TExpression {
public:
    TUnaryOp(TExpressionOperator op, std::unique_ptr<TExpression> operand);
    double AsFloat() const override;
    qint32 AsInteger() const override;
    bool AsBoolean() const override;
    TExpressionKind Kind() const override;

private:
    TExpressionOperator m_operator;
    std::unique_ptr<TExpression> m_operand;
    TExpressionKind m_operandKind;
};

// The arithmetic, concatenating, bitwise and logical operators. The operand kind is the common
// kind of both operands, fixed when the node is built.
class TBinaryOp : public TExpression {
public:
    TBinaryOp(TExpressionOperator op, std::unique_ptr<TExpression> left,
        std::unique_ptr<TExpression> right);
    double AsDate() const override;
    QString AsString() const override;
    double AsFloat() const override;
    qint32 AsInteger() const override;
    bool AsBoolean() const override;
    TExpressionKind Kind() const override;

private:
    TExpressionOperator m_operator;
    std::unique_ptr<TExpression> m_left;
    std::unique_ptr<TExpression> m_right;
    TExpressionKind m_operandKind;
};

// One comparison; its operands' kinds are looked at only when it is read.
class TRelationalOp : public TExpression {
public:
    TRelationalOp(TExpressionOperator op, std::unique_ptr<TExpression> left,
        std::unique_ptr<TExpression> right);
    QString AsString() const override;
    double AsFloat() const override;
    qint32 AsInteger() const override;
    bool AsBoolean() const override;
    TExpressionKind Kind() const override { return TExpressionKind::Boolean; }

private:
    TExpressionOperator m_operator;
    std::unique_ptr<TExpression> m_left;
    std::unique_ptr<TExpression> m_right;
};

// A built-in function; Params is null when the name had no parenthesis.
class TFunction : public TExpression {
public:
    explicit TFunction(std::unique_ptr<TParameterList> params)
        : m_params(std::move(params))
    {
    }
    const TParameterList *Params() const { return m_params.get(); }

protected:
    int paramCount() const { return m_params ? m_params->Count() : 0; }
    // The parameter at index, or null when absent or an empty position.
    const TExpression *param(int index) const
    {
        return m_params && index < m_params->Count() ? m_params->Items(index) : nullptr;
    }

private:
    std::unique_ptr<TParameterList> m_params;
};

// DATE, STRING, FLOAT, INTEGER, BOOLEAN: the target kind over the first parameter's readings.
class TTypeCast : public TFunction {
public:
    enum Function { Date, String, Float, Integer, Boolean };
    TTypeCast(Function function, std::unique_ptr<TParameterList> params);
    double AsDate() const override;
    QString AsString() const override;
    double AsFloat() const override;
    qint32 AsInteger() const override;
    bool AsBoolean() const override;
    TExpressionKind Kind() const override { return static_cast<TExpressionKind>(m_function); }

private:
    const TExpression &operand() const;
    Function m_function;
};

class TMathExpression : public TFunction {
public:
    enum Function { TRUNC, ROUND, ABS, ARCTAN, COS, EXP, FRAC, INT, LN, PI, SIN, SQR, SQRT, POWER };
    TMathExpression(Function function, std::unique_ptr<TParameterList> params);
    double AsFloat() const override;
    qint32 AsInteger() const override;
    TExpressionKind Kind() const override;

private:
    void checkParameters() const;
    Function m_function;
};

class TStringExpression : public TFunction {
public:
    enum Function { UPPER, LOWER, COPY, POS, LENGTH };
    TStringExpression(Function function, std::unique_ptr<TParameterList> params);
    QString AsString() const override;
    qint32 AsInteger() const override;
    TExpressionKind Kind() const override;

private:
    void checkParameters() const;
    Function m_function;
};

// IF(condition, then, else): kind and readings of the branch the condition selects.
class TConditional : public TFunction {
public:
    explicit TConditional(std::unique_ptr<TParameterList> params)
        : TFunction(std::move(params))
    {
    }
    double AsDate() const override { return branch().AsDate(); }
    QString AsString() const override { return branch().AsString(); }
    double AsFloat() const override { return branch().AsFloat(); }
    qint32 AsInteger() const override { return branch().AsInteger(); }
    bool AsBoolean() const override { return branch().AsBoolean(); }
    TExpressionKind Kind() const override { return branch().Kind(); }

private:
    const TExpression &branch() const;
};

// Resolves a name the language does not know. Called with the bracketed field name as written
// and no parameters, and with every unknown bare word upper-cased and its parameter list (null
// without a parenthesis). The callback may take the list over; what it leaves is freed by the
// parser. Returning null makes the name unknown.
using TResolveIdentifierEvent = std::function<std::unique_ptr<TExpression>(
    const QString &name, std::unique_ptr<TParameterList> &params)>;

// Option bits of ParseFilterExpression.
inline constexpr int FilterParseCaseInsensitive = 1;
inline constexpr int FilterParseNoPartialCompare = 2;

// How deep parentheses, prefix operators and function calls may nest, and how deep the tree may
// grow along operator chains; deeper text fails with a clear message instead of exhausting the
// stack. IFs nest less deeply inside IF conditions, because reading an IF reads its condition
// twice and the cost doubles with every such level.
inline constexpr int MaxFilterNesting = 200;
inline constexpr int MaxFilterTreeDepth = 1000;
inline constexpr int MaxFilterIfNesting = 16;

// Parses a filter text (which ends at its first NUL character). Returns null for an empty or
// blank text. Raises EExpression with the position-free messages of the language; a failed parse
// frees everything it built.
std::unique_ptr<TExpression> ParseFilterExpression(
    const QString &text, int options, const TResolveIdentifierEvent &onIdentifier = {});

// The built-in function for an upper-cased name, taking over params; null for any other name.
std::unique_ptr<TExpression> CreateFunctionNode(
    const QString &name, std::unique_ptr<TParameterList> &params);

// `*` matches any run of characters, `?` any one character; the rest must match exactly.
bool MatchWildcard(const QString &pattern, const QString &text);

} // namespace qd
