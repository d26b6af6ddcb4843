#pragma once

#include "Field.h"

namespace qd {

// Values kept outside the record: ftBlob, ftGraphic, ftTypedBinary, ftOraBlob and the other
// binary kinds. The value is read and written through the stream the dataset creates
// (CreateBlobStream); Modified tells that the value was written during the current edit.
class TBlobField : public TField {
public:
    explicit TBlobField(TFieldType type = ftBlob);

    bool IsBlob() const override { return true; }
    bool Modified() const { return m_modified; }
    void SetModified(bool value) { m_modified = value; }
    qint64 BlobSize();

    bool IsNull() override;
    void Clear() override;
    QByteArray AsBytes() override;
    void SetAsBytes(const QByteArray &value) override;
    // Binary kinds map bytes to characters one to one; text kinds (TMemoField) use UTF-8.
    QString AsString() override;
    void SetAsString(const QString &value) override;
    void FreeBuffers() override;

protected:
    Variant GetValue() override;
    void SetVarValue(const Variant &value) override;
    // "(Blob)" for an empty value, "(BLOB)" when it holds one, by the kind's type name.
    void GetText(QString &text, bool displayText) override;
    virtual bool IsText() const { return false; }

private:
    bool m_modified = false;
};

// Text kinds: ftMemo, ftFmtMemo and ftOraClob.
class TMemoField : public TBlobField {
public:
    explicit TMemoField(TFieldType type = ftMemo)
        : TBlobField(type)
    {
    }

protected:
    bool IsText() const override { return true; }
};

class TGraphicField : public TBlobField {
public:
    TGraphicField()
        : TBlobField(ftGraphic)
    {
    }
};

} // namespace qd
