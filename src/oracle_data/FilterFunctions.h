#pragma once

#include "FilterNodes.h"

namespace qd {

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
// The built-in function for an upper-cased name, taking over params; null for any other name.
std::unique_ptr<TExpression> CreateFunctionNode(
    const QString &name, std::unique_ptr<TParameterList> &params);

} // namespace qd
