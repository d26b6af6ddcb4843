#pragma once

#include <QByteArray>

namespace qd {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream in the class library's shape: BLOB fields are read and written through the
// streams their dataset creates (TDataSet::CreateBlobStream). Destroying a stream may notify
// its dataset, so destructors of descendants must not throw.
class TStream {
public:
    virtual ~TStream() = default;

    // Copies at most count bytes from the position; returns the bytes read.
    virtual qint64 Read(void *buffer, qint64 count) = 0;
    // Returns the bytes written (0 when the stream does not accept writes).
    virtual qint64 Write(const void *buffer, qint64 count) = 0;
    // Returns the new position.
    virtual qint64 Seek(qint64 offset, TSeekOrigin origin) = 0;
    virtual qint64 Size() = 0;
    // Cuts or extends the stream to size bytes; descendants that cannot resize ignore it.
    virtual void SetSize(qint64 size) { (void)size; }

    qint64 Position() { return Seek(0, soCurrent); }
    void SetPosition(qint64 position) { Seek(position, soBeginning); }

    // Everything from the beginning, or the bytes given, replacing the content.
    QByteArray ReadAll();
    void WriteAll(const QByteArray &bytes);
};

// A stream over a growable byte array.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray bytes)
        : m_data(std::move(bytes))
    {
    }

    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override { return m_data.size(); }
    void SetSize(qint64 size) override;

    const QByteArray &Data() const { return m_data; }
    void Clear()
    {
        m_data.clear();
        m_position = 0;
    }

private:
    QByteArray m_data;
    qint64 m_position = 0;
};

} // namespace qd
