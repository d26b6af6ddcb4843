// The navigator's image list: which image each kind shows, also when one is missing.
#include "browsers/NavigatorImages.h"

#include "oracle/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

struct Indexes {
    TQDOracleObjects kind;
    int image, subImage;
};

void expectIndexes(const std::vector<Indexes> &expected)
{
    for (const Indexes &e : expected) {
        SCOPED_TRACE(OracleObjectToString(e.kind).toStdString());
        EXPECT_EQ(OracleObjectKinds(e.kind).ImageIndex, e.image);
        EXPECT_EQ(OracleObjectKinds(e.kind).SubImageIndex, e.subImage);
    }
}

// The built-in images, copied to a folder without `missing`.
QString folderWithout(const QTemporaryDir &dir, const QString &missing)
{
    for (const QString &name : QDir(NavigatorImageFolder).entryList(QDir::Files)) {
        if (name == missing + QStringLiteral(".png"))
            continue;
        QFile::copy(QDir(NavigatorImageFolder).filePath(name), QDir(dir.path()).filePath(name));
    }
    return dir.path();
}

class NavigatorImages : public ::testing::Test {
protected:
    // Whatever a test loaded, the process goes on with the built-in images.
    void TearDown() override { LoadNavigatorImages(); }
};

} // namespace

TEST_F(NavigatorImages, AllImagesGiveEachKindItsOwnCopies)
{
    LoadNavigatorImages();
    const TNavigatorImageList &list = qd::NavigatorImages();
    ASSERT_EQ(list.Count(), 16);
    const char *names[]
        = { "DB", "TABLE", "COLUMN", "TABLE", "COLUMN", "TABLE", "COLUMN", "STOREDPROC", "SUBPROC",
              "STOREDPROC", "STOREDPROC", "TRIGGER", "TYPE", "ATTRIBUTE", "BUILTIN", "SEQUENCE" };
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.ImageName(i), QLatin1String(names[i])) << i;
    expectIndexes({ { ooTable, 1, 2 }, { ooView, 3, 4 }, { ooMView, 5, 6 }, { ooPackage, 7, 8 },
        { ooProcedure, 9, 0 }, { ooFunction, 10, 0 }, { ooTrigger, 11, 0 }, { ooType, 12, 13 },
        { ooBuiltin, 14, 0 }, { ooSequence, 15, 0 } });
    EXPECT_TRUE(list.Image(16).isNull());
    EXPECT_TRUE(list.Image(-1).isNull());
}

TEST_F(NavigatorImages, WhiteIsTransparent)
{
    LoadNavigatorImages();
    const QImage db = qd::NavigatorImages().Image(0);
    ASSERT_EQ(db.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(db.pixel(0, 0)), 0); // the white corner
    EXPECT_EQ(qAlpha(db.pixel(7, 7)), 255); // the drawing
    EXPECT_FALSE(qd::NavigatorImages().Icon(0).isNull());
}

TEST_F(NavigatorImages, AMissingImageTakesNoIndexAndLeavesItsKindsOnTheDatabaseImage)
{
    QTemporaryDir noColumn;
    LoadNavigatorImages(folderWithout(noColumn, QStringLiteral("COLUMN")));
    EXPECT_EQ(qd::NavigatorImages().Count(), 13);
    expectIndexes({ { ooTable, 1, 0 }, { ooView, 2, 0 }, { ooMView, 3, 0 }, { ooPackage, 4, 5 },
        { ooProcedure, 6, 0 }, { ooFunction, 7, 0 }, { ooTrigger, 8, 0 }, { ooType, 9, 10 },
        { ooBuiltin, 11, 0 }, { ooSequence, 12, 0 } });

    QTemporaryDir noDatabase;
    LoadNavigatorImages(folderWithout(noDatabase, QStringLiteral("DB")));
    EXPECT_EQ(qd::NavigatorImages().Count(), 15);
    EXPECT_EQ(qd::NavigatorImages().ImageName(0), "TABLE");
    expectIndexes({ { ooTable, 0, 1 }, { ooSequence, 14, 0 } });

    // A file that is no image counts as missing.
    QTemporaryDir brokenTrigger;
    const QString folder = folderWithout(brokenTrigger, QStringLiteral("TRIGGER"));
    QFile broken(QDir(folder).filePath(QStringLiteral("TRIGGER.png")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    LoadNavigatorImages(folder);
    EXPECT_EQ(qd::NavigatorImages().Count(), 15);
    expectIndexes({ { ooFunction, 10, 0 }, { ooTrigger, 0, 0 }, { ooType, 11, 12 } });
}
