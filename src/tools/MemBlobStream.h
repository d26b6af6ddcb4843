#pragma once

#include "classlib/Stream.h"

#include "MemoryData.h"

namespace qd {

// A stream over one BLOB field of a TMemoryData. While the dataset edits the record the stream
// works on the value in the edit buffer ("cached"); otherwise it reads the stored record at the
// dataset's position. Writing needs an edit and a writable field; bmWrite empties the value at
// once. Closing a stream that wrote marks the field modified and signals the change.
class TMemBlobStream : public TStream {
public:
    TMemBlobStream(TField *field, TBlobStreamMode mode);
    ~TMemBlobStream() override;

    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    // Cuts the value at size bytes, or extends it with zero bytes.
    void SetSize(qint64 size) override;
    void Truncate() { SetSize(0); }

private:
    // The value the stream reads: the buffer's while cached, else the stored record's.
    const QByteArray *value();
    bool writable() const { return m_opened && m_cached && m_mode != bmRead; }

    TField *m_field;
    TMemoryData *m_dataSet;
    TRecordBuffer m_buffer = nullptr;
    int m_slot = -1;
    TBlobStreamMode m_mode;
    bool m_opened = false;
    bool m_modified = false;
    bool m_cached = false;
    qint64 m_position = 0;
};

} // namespace qd
