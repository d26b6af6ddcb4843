// The value a posted LOB column sends through its locator, taken from the record's BLOB buffer.

#include "OracleDataSet.h"

#include "classlib/BlobField.h"
#include "oracle/LOBLocator.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleSession.h"

namespace qd {

QByteArray TOracleDataSet::editLobData(const EditLobWrite &write)
{
    if (write.index < 0 || write.index >= m_fieldInfo.Count())
        return QByteArray();
    auto *field = dynamic_cast<TBlobField *>(m_fieldInfo.Items(write.index)->Field);
    if (!field)
        return QByteArray();
    // The edit's own buffer once the value was written, the stored record's otherwise: the
    // same choice the field's stream makes.
    TOracleBlob *blob = field->Modified() ? m_editBlobs.BlobByField(field) : ReadBlob(field);
    if (!blob)
        return QByteArray();
    if (write.type == otCLOB)
        return ToOracleText(QString::fromUtf8(blob->Data()), Session()).toUtf8();
    blob->PrepareServerForm(this);
    return blob->ServerForm();
}

} // namespace qd
