#include "browsers/DBNavDrag.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace qd {

namespace {

constexpr quint32 payloadMagic = 0x51444e56; // "QDNV"
constexpr quint16 payloadVersion = 1;
// A hint is a few lines of description; anything longer is not ours.
constexpr int hintLimit = 1 << 20;

} // namespace

const QString TDBNavDrag::MimeType = QStringLiteral("application/x-quarlodesk-dbnav-node");

TDBNavDrag::TDBNavDrag(const TDBNavRec *rec)
{
    if (!rec)
        return;
    DragData = rec->DragData.left(DBNavNameLength);
    ObjectType = rec->ObjectType;
    SubType = rec->SubType;
    ObjectInstance = rec->ObjectInstance.left(DBNavNameLength);
    ObjectOwner = rec->ObjectOwner.left(DBNavNameLength);
    ObjectName = rec->ObjectName.left(DBNavNameLength);
    SubObjectName = rec->SubObjectName.left(DBNavNameLength);
    HintText = rec->HintText;
}

QMimeData *TDBNavDrag::ToMimeData() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << payloadMagic << payloadVersion << DragData << quint8(ObjectType) << quint8(SubType)
        << ObjectInstance << ObjectOwner << ObjectName << SubObjectName << HintText;
    auto *data = new QMimeData;
    data->setData(MimeType, bytes);
    data->setText(DragData);
    return data;
}

bool TDBNavDrag::FromMimeData(const QMimeData *data)
{
    if (!data || !data->hasFormat(MimeType))
        return false;
    const QByteArray bytes = data->data(MimeType);
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    quint8 type = 0, subType = 0;
    TDBNavDrag read;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != payloadMagic || version != payloadVersion)
        return false;
    in >> read.DragData >> type >> subType >> read.ObjectInstance >> read.ObjectOwner
        >> read.ObjectName >> read.SubObjectName >> read.HintText;
    if (in.status() != QDataStream::Ok || !in.atEnd() || type >= OracleObjectKindCount
        || subType > osoNone || read.HintText.size() > hintLimit)
        return false;
    for (const QString *name : { &read.DragData, &read.ObjectInstance, &read.ObjectOwner,
             &read.ObjectName, &read.SubObjectName })
        if (name->size() > DBNavNameLength)
            return false;
    read.ObjectType = static_cast<TQDOracleObjects>(type);
    read.SubType = static_cast<TQDOracleSubObjects>(subType);
    *this = read;
    return true;
}

} // namespace qd
