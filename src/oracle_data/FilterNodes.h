#pragma once

#include "classlib/Exception.h"

#include <QChar>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLocale;

namespace qd {

// The nodes of the client-side filter language of the dataset's Filter property: the text is
// parsed once (OracleFilter.h) into a tree of typed nodes, and the root is read as a boolean for
// every record. The built-in functions are in FilterFunctions.h.

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

// `*` matches any run of characters, `?` any one character; the rest must match exactly.
bool MatchWildcard(const QString &pattern, const QString &text);

} // namespace qd
