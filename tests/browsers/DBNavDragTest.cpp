// Navigator records' drop text and the drag payload that copies them.
#include "browsers/DBNavDrag.h"

#include "oracle/QStringPrinter.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

TEST(DBNavRec, DragDataNamesWhatADropInserts)
{
    const struct {
        const char *object, *sub;
        TQDOracleSubObjects subType;
        const char *expected;
    } cases[] = {
        { "T", "", osoNone, "T" },
        { "T", "ID", osoColumn, "ID" },
        { "PKG", "GET_X", osoSubProcedure, "PKG.GET_X" },
        { "POINT", "X", osoAttribute, "POINT.X" },
        { "Orders", "", osoNone, "Orders" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(TDBNavRec::DragDataFor(QLatin1String(c.object), QLatin1String(c.sub), c.subType),
            QLatin1String(c.expected));
    // The text has the width of the field it was kept in.
    const QString longName(200, u'A');
    EXPECT_EQ(TDBNavRec::DragDataFor(longName, longName, osoSubProcedure).size(), DBNavNameLength);
}

namespace {

TDBNavRec memberRecord()
{
    TDBNavRec rec;
    rec.ObjectInstance = QStringLiteral("DEMO");
    rec.ObjectOwner = QStringLiteral("SCOTT");
    rec.ObjectName = QStringLiteral("PKG");
    rec.SubObjectName = QStringLiteral("GET_X");
    rec.ObjectType = ooPackage;
    rec.SubType = osoSubProcedure;
    rec.DragData = TDBNavRec::DragDataFor(rec.ObjectName, rec.SubObjectName, rec.SubType);
    rec.HintText = QStringLiteral("function GET_X return NUMBER");
    return rec;
}

void expectSame(const TDBNavDrag &drag, const TDBNavRec &rec)
{
    EXPECT_EQ(drag.DragData, rec.DragData);
    EXPECT_EQ(drag.ObjectType, rec.ObjectType);
    EXPECT_EQ(drag.SubType, rec.SubType);
    EXPECT_EQ(drag.ObjectInstance, rec.ObjectInstance);
    EXPECT_EQ(drag.ObjectOwner, rec.ObjectOwner);
    EXPECT_EQ(drag.ObjectName, rec.ObjectName);
    EXPECT_EQ(drag.SubObjectName, rec.SubObjectName);
    EXPECT_EQ(drag.HintText, rec.HintText);
}

QByteArray payload(quint32 magic, quint16 version, quint8 type, quint8 subType, const QString &name,
    bool extra = false)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << magic << version << name << type << subType << QString() << QString() << name
        << QString() << QString();
    if (extra)
        out << quint8(1);
    return bytes;
}

} // namespace

TEST(DBNavDrag, CopiesTheRecordAndOutlivesIt)
{
    auto rec = std::make_unique<TDBNavRec>(memberRecord());
    const TDBNavRec kept = *rec;
    const TDBNavDrag drag(rec.get());
    rec.reset();
    expectSame(drag, kept);

    const TDBNavDrag empty(nullptr);
    EXPECT_TRUE(empty.DragData.isEmpty());
    EXPECT_TRUE(empty.ObjectName.isEmpty());
    EXPECT_TRUE(empty.HintText.isEmpty());
}

TEST(DBNavDrag, TravelsInMimeDataWithItsDropTextAsPlainText)
{
    const TDBNavRec rec = memberRecord();
    std::unique_ptr<QMimeData> data(TDBNavDrag(&rec).ToMimeData());
    ASSERT_TRUE(data->hasFormat(TDBNavDrag::MimeType));
    EXPECT_EQ(data->text(), "PKG.GET_X");

    TDBNavDrag received;
    ASSERT_TRUE(received.FromMimeData(data.get()));
    expectSame(received, rec);
}

TEST(DBNavDrag, RefusesPayloadsThatAreNotWellFormed)
{
    const TDBNavRec rec = memberRecord();
    const QByteArray good
        = std::unique_ptr<QMimeData>(TDBNavDrag(&rec).ToMimeData())->data(TDBNavDrag::MimeType);
    const QString name = QStringLiteral("T");
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        { "empty", QByteArray() },
        { "cut short", good.left(good.size() - 3) },
        { "trailing bytes", good + QByteArray(1, '\0') },
        { "wrong magic", payload(0x12345678, 1, 0, 3, name) },
        { "newer version", payload(0x51444e56, 2, 0, 3, name) },
        { "object kind out of range", payload(0x51444e56, 1, 10, 3, name) },
        { "sub-object kind out of range", payload(0x51444e56, 1, 0, 4, name) },
        { "name longer than a field", payload(0x51444e56, 1, 0, 3, QString(256, u'N')) },
    };
    // The well-formed twin of the hand-made payloads is taken.
    {
        QMimeData data;
        data.setData(TDBNavDrag::MimeType, payload(0x51444e56, 1, ooSequence, osoNone, name));
        TDBNavDrag drag;
        ASSERT_TRUE(drag.FromMimeData(&data));
        EXPECT_EQ(drag.ObjectType, ooSequence);
        EXPECT_EQ(drag.ObjectName, "T");
    }
    for (const auto &c : cases) {
        QMimeData data;
        data.setData(TDBNavDrag::MimeType, c.bytes);
        TDBNavDrag drag(&rec);
        EXPECT_FALSE(drag.FromMimeData(&data)) << c.what;
        expectSame(drag, rec); // left unchanged
    }
    QMimeData plain;
    plain.setText(QStringLiteral("EMP"));
    TDBNavDrag drag;
    EXPECT_FALSE(drag.FromMimeData(&plain));
    EXPECT_FALSE(drag.FromMimeData(nullptr));
}
