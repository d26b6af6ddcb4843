#pragma once

#include "Field.h"

namespace qd {

// Binary values kept in the record. ftBytes holds exactly Size bytes (a shorter value is padded
// with zero bytes); ftVarBytes holds a 16-bit length followed by up to Size bytes. Text forms
// map bytes to characters one to one.
class TBytesField : public TField {
public:
    explicit TBytesField(TFieldType type = ftBytes);

    int DataSize() const override { return DataType() == ftVarBytes ? Size() + 2 : Size(); }

    QByteArray AsBytes() override;
    void SetAsBytes(const QByteArray &value) override;
    QString AsString() override { return QString::fromLatin1(AsBytes()); }
    void SetAsString(const QString &value) override { SetAsBytes(value.toLatin1()); }

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override;
};

class TVarBytesField : public TBytesField {
public:
    TVarBytesField()
        : TBytesField(ftVarBytes)
    {
    }
};

} // namespace qd
