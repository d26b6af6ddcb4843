#pragma once

#include "Field.h"

namespace qd {

// Text of at most Size bytes in UTF-8 (default 20); an empty text reads back as null in the
// datasets that follow the class library (they store "" as null).
class TStringField : public TField {
public:
    explicit TStringField(TFieldType type = ftString);

    int DataSize() const override { return Size() + 1; }

    QString AsString() override;
    void SetAsString(const QString &value) override;
    int AsInteger() override;
    void SetAsInteger(int value) override { SetAsString(QString::number(value)); }
    qint64 AsLargeInt() override;
    void SetAsLargeInt(qint64 value) override { SetAsString(QString::number(value)); }
    double AsFloat() override;
    void SetAsFloat(double value) override { SetAsString(QString::number(value, 'g', 15)); }
    bool AsBoolean() override;
    void SetAsBoolean(bool value) override;
    double AsDateTime() override;
    void SetAsDateTime(double value) override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override { SetAsString(value.AsString()); }
    int DefaultWidth() const override { return Size() > 0 ? Size() : 10; }

private:
    bool readText(QString &text);
};

// True or False, shown by DisplayValues ("True;False" by default: the true text, ";", the
// false text). Setting a text accepts any leading part of either text, ignoring case.
class TBooleanField : public TField {
public:
    TBooleanField();

    int DataSize() const override { return 2; }
    const QString &DisplayValues() const { return m_displayValues; }
    void SetDisplayValues(const QString &values);

    bool AsBoolean() override;
    void SetAsBoolean(bool value) override;
    QString AsString() override;
    void SetAsString(const QString &value) override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override;
    void GetText(QString &text, bool displayText) override;
    int DefaultWidth() const override;

private:
    QString m_displayValues = QStringLiteral("True;False");
    QString m_trueText = QStringLiteral("True");
    QString m_falseText = QStringLiteral("False");
};

} // namespace qd
