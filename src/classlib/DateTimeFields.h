#pragma once

#include "Field.h"

namespace qd {

// Native record forms of the date-time kinds (see Field.h), converted from and to day counts.
// DateTimeToNative raises EConvertError for a value outside 0001-01-01 .. 9999-12-31 or NaN.
double NativeToDateTime(TFieldType type, const void *data);
void DateTimeToNative(TFieldType type, double dateTime, void *data);

// Text forms: "yyyy-MM-dd" for dates, "HH:mm:ss" for times, both for date-times (the time is
// left out at midnight). TextToDateTime accepts those forms and a time with minutes only or
// milliseconds.
QString DateTimeToText(TFieldType type, double dateTime);
bool TextToDateTime(const QString &text, double &dateTime);

// ftDateTime, ftDate and ftTime. DisplayFormat is a Qt date-time format ("dd.MM.yyyy").
class TDateTimeField : public TField {
public:
    explicit TDateTimeField(TFieldType type = ftDateTime);

    int DataSize() const override { return DataType() == ftDateTime ? 8 : 4; }
    const QString &DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const QString &format);

    double AsDateTime() override;
    void SetAsDateTime(double value) override;
    double AsFloat() override { return AsDateTime(); }
    void SetAsFloat(double value) override { SetAsDateTime(value); }
    QString AsString() override;
    void SetAsString(const QString &value) override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override;
    void GetText(QString &text, bool displayText) override;
    int DefaultWidth() const override { return DataType() == ftDateTime ? 19 : 10; }

private:
    bool read(double &value);
    QString m_displayFormat;
};

class TDateField : public TDateTimeField {
public:
    TDateField()
        : TDateTimeField(ftDate)
    {
    }
};

class TTimeField : public TDateTimeField {
public:
    TTimeField()
        : TDateTimeField(ftTime)
    {
    }
};

} // namespace qd
