#pragma once

#include "classlib/DataSetTypes.h"
#include "classlib/Stream.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace qd {

class TBlobField;
class TField;
class TOracleDataSet;

// One BLOB-kind value of a record: the bytes the user sees and, when compressed, the bytes as
// written to the server.
class TOracleBlob {
public:
    explicit TOracleBlob(TField *field = nullptr)
        : Field(field)
    {
    }

    const QByteArray &Data() const { return m_data; }
    int Size() const { return static_cast<int>(m_data.size()); }
    void SetData(QByteArray data) { m_data = std::move(data); }
    QByteArray &MutableData() { return m_data; }
    // The value as sent to the server: the data unless PrepareServerForm compressed it.
    const QByteArray &ServerForm() const { return m_serverOwned ? m_serverForm : m_data; }
    bool ServerFormOwned() const { return m_serverOwned; }
    void SetServerForm(QByteArray bytes)
    {
        m_serverForm = std::move(bytes);
        m_serverOwned = true;
    }
    void ClearServerForm()
    {
        m_serverForm.clear();
        m_serverOwned = false;
    }
    void Clear()
    {
        m_data.clear();
        ClearServerForm();
    }
    // Makes the server form afresh from the data, compressed when the dataset asks for it.
    void PrepareServerForm(TOracleDataSet *dataSet);

    TField *Field = nullptr;

private:
    QByteArray m_data;
    QByteArray m_serverForm;
    bool m_serverOwned = false;
};

// The BLOB values of one record (or of the record being edited), one per BLOB field.
class TBlobList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    TOracleBlob *Items(int index) const { return m_items.at(index).get(); }
    TOracleBlob *Add(TField *field);
    TOracleBlob *BlobByField(const TField *field) const;
    // Replaces the list by private copies of source's values.
    void Copy(const TBlobList &source);
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TOracleBlob>> m_items;
};

// The stream through which a BLOB field reads and writes its value in the current record.
class TOracleBlobStream : public TStream {
public:
    TOracleBlobStream(TBlobField *field, TBlobStreamMode mode);
    // Marks the field modified and tells the dataset when the value was written.
    ~TOracleBlobStream() override;

    qint64 Read(void *buffer, qint64 count) override;
    // Writing past the end fills the gap with zero bytes.
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 size) override;
    void Truncate();

private:
    void markModified();

    TBlobField *m_field;
    TOracleBlob *m_blob = nullptr;
    TOracleDataSet *m_dataSet;
    TBlobStreamMode m_mode;
    bool m_opened = false;
    bool m_modified = false;
    qint64 m_position = 0;
};

} // namespace qd
