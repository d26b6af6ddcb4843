#include "FieldBindValue.h"

#include "classlib/BlobField.h"
#include "oracle/OracleCI.h"

namespace qd {

int BindTypeOf(const TField *field)
{
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftAutoInc:
        return SQLT_INT;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return SQLT_FLT;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return SQLT_DAT;
    case ftMemo:
    case ftFmtMemo:
        return SQLT_LNG;
    case ftBlob:
    case ftGraphic:
        return SQLT_LBI;
    case ftOraClob:
        return SQLT_CLOB;
    case ftOraBlob:
        return SQLT_BLOB;
    default:
        return SQLT_STR;
    }
}

bool IsTextField(const TField *field)
{
    const TFieldType type = field->DataType();
    return type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo
        || type == ftFmtMemo;
}

Variant EditValueOf(TField *field)
{
    if (field->IsNull())
        return Variant::Null();
    if (auto *blob = dynamic_cast<TBlobField *>(field)) {
        const int type = BindTypeOf(field);
        if (type == SQLT_LNG || type == SQLT_CLOB)
            return blob->AsString();
        return blob->AsBytes();
    }
    return field->AsVariant();
}

} // namespace qd
