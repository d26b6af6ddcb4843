#pragma once

#include "StringField.h"

namespace qd {

// Text of at most Size UTF-16 code units, stored zero-terminated ((Size + 1) * 2 bytes).
class TWideStringField : public TField {
public:
    TWideStringField();

    int DataSize() const override { return (Size() + 1) * 2; }

    QString AsString() override;
    void SetAsString(const QString &value) override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override { SetAsString(value.AsString()); }
    int DefaultWidth() const override { return Size() > 0 ? Size() : 10; }

private:
    bool readText(QString &text);
};

// A GUID in its text form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (38 characters).
class TGuidField : public TStringField {
public:
    TGuidField();
    // The text form has a fixed length, whatever Size says.
    int DataSize() const override { return 39; }
    void SetAsString(const QString &value) override;
};

} // namespace qd
