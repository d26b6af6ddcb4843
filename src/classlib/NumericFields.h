#pragma once

#include "Field.h"

namespace qd {

// The class library's number format: digit places "0" (always shown) and "#" (shown when
// significant), "." for the decimal point, "," anywhere for thousands separators, quoted or
// other text kept as it stands, and up to three ";" sections for positive, negative and zero
// values (a negative section shows no minus sign of its own).
QString FormatFloat(const QString &format, double value);

// Numbers share display and edit formats (FormatFloat); an empty format gives the plain form.
class TNumericField : public TField {
public:
    using TField::TField;

    const QString &DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const QString &format);
    const QString &EditFormat() const { return m_editFormat; }
    void SetEditFormat(const QString &format) { m_editFormat = format; }

private:
    QString m_displayFormat;
    QString m_editFormat;
};

// Whole numbers: ftSmallint (16-bit), ftWord (16-bit unsigned), ftInteger and ftAutoInc
// (32-bit), ftLargeint (64-bit). MinValue and MaxValue limit values set through the field
// when either is not 0; the storage range always applies.
class TIntegerField : public TNumericField {
public:
    explicit TIntegerField(TFieldType type = ftInteger);

    int DataSize() const override;
    qint64 MinValue() const { return m_minValue; }
    void SetMinValue(qint64 value) { m_minValue = value; }
    qint64 MaxValue() const { return m_maxValue; }
    void SetMaxValue(qint64 value) { m_maxValue = value; }

    int AsInteger() override;
    void SetAsInteger(int value) override { SetAsLargeInt(value); }
    qint64 AsLargeInt() override;
    void SetAsLargeInt(qint64 value) override;
    double AsFloat() override { return static_cast<double>(AsLargeInt()); }
    void SetAsFloat(double value) override;
    QString AsString() override;
    void SetAsString(const QString &value) override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override;
    void GetText(QString &text, bool displayText) override;

private:
    bool read(qint64 &value);
    qint64 m_minValue = 0;
    qint64 m_maxValue = 0;
};

class TSmallintField : public TIntegerField {
public:
    TSmallintField()
        : TIntegerField(ftSmallint)
    {
    }
};

class TWordField : public TIntegerField {
public:
    TWordField()
        : TIntegerField(ftWord)
    {
    }
};

class TAutoIncField : public TIntegerField {
public:
    TAutoIncField()
        : TIntegerField(ftAutoInc)
    {
    }
};

class TLargeintField : public TIntegerField {
public:
    TLargeintField()
        : TIntegerField(ftLargeint)
    {
    }
};

// Floating point: ftFloat, and ftCurrency (Currency() true: shown with two decimals and
// thousands separators unless a format says otherwise). Precision is the number of
// significant digits of the plain form (15).
class TFloatField : public TNumericField {
public:
    explicit TFloatField(TFieldType type = ftFloat);

    int DataSize() const override { return 8; }
    bool Currency() const { return m_currency; }
    void SetCurrency(bool value) { m_currency = value; }
    int Precision() const { return m_precision; }
    void SetPrecision(int value) { m_precision = value < 2 ? 2 : value > 17 ? 17 : value; }
    double MinValue() const { return m_minValue; }
    void SetMinValue(double value) { m_minValue = value; }
    double MaxValue() const { return m_maxValue; }
    void SetMaxValue(double value) { m_maxValue = value; }

    double AsFloat() override;
    void SetAsFloat(double value) override;
    int AsInteger() override;
    void SetAsInteger(int value) override { SetAsFloat(value); }
    qint64 AsLargeInt() override;
    void SetAsLargeInt(qint64 value) override { SetAsFloat(static_cast<double>(value)); }
    QString AsString() override;
    void SetAsString(const QString &value) override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override;
    void GetText(QString &text, bool displayText) override;

private:
    bool m_currency = false;
    int m_precision = 15;
    double m_minValue = 0;
    double m_maxValue = 0;
};

class TCurrencyField : public TFloatField {
public:
    TCurrencyField()
        : TFloatField(ftCurrency)
    {
        SetCurrency(true);
    }
};

// A decimal column kept as a double (Size is the number of decimals).
class TBCDField : public TFloatField {
public:
    TBCDField()
        : TFloatField(ftBCD)
    {
        SetSize(4);
    }
};

} // namespace qd
