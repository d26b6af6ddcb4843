#pragma once

#include "Field.h"

namespace qd {

// Any Variant value. Its native form is a Variant object: GetData and SetData take a pointer
// to a Variant, never raw bytes (the value may own shared text or bytes).
class TVariantField : public TField {
public:
    TVariantField();

    int DataSize() const override { return static_cast<int>(sizeof(Variant)); }

    QString AsString() override { return AsVariant().AsString(); }
    void SetAsString(const QString &value) override { SetAsVariant(Variant(value)); }
    int AsInteger() override { return AsVariant().toInt(); }
    void SetAsInteger(int value) override { SetAsVariant(Variant(value)); }
    qint64 AsLargeInt() override { return AsVariant().AsInteger(); }
    void SetAsLargeInt(qint64 value) override { SetAsVariant(Variant(value)); }
    double AsFloat() override { return AsVariant().AsFloat(); }
    void SetAsFloat(double value) override { SetAsVariant(Variant(value)); }
    bool AsBoolean() override { return AsVariant().AsBoolean(); }
    void SetAsBoolean(bool value) override { SetAsVariant(Variant(value)); }
    double AsDateTime() override { return AsVariant().AsDateTime(); }
    void SetAsDateTime(double value) override { SetAsVariant(Variant::FromDateTime(value)); }
    QByteArray AsBytes() override { return AsVariant().AsBytes(); }
    void SetAsBytes(const QByteArray &value) override { SetAsVariant(Variant(value)); }

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override { SetData(&value); }
};

} // namespace qd
