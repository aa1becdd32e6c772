// Replacing and deleting named pictures, read back with openpyxl.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "Fixtures.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::fixture;
using exceltest::readBack;

namespace {
const char* imagesScript =
    "ws = wb['見積書']\n"
    "print(json.dumps({'images': [[i.anchor._from.col, i.anchor._from.row, i.format if hasattr(i, "
    "'format') else '',"
    " i.width, i.height] for i in ws._images]}))\n";
}

TEST(PictureTest, ReplaceKeepsAnchorAndSizeAndNamesLikeAPaste) {
    for (const char* image : {"blue.jpg", "green.bmp", "tiny.gif"}) {
        testsupport::TempDir dir;
        const QString out = dir.file(QStringLiteral("pic.xlsx"));
        auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
        Worksheet& ws = book->activeSheet();
        const Picture before = ws.pictures()[0];
        ASSERT_TRUE(
            ws.replacePicture(QStringLiteral("Picture 3"), fixture(QString::fromLatin1(image))));
        const std::vector<Picture> after = ws.pictures();
        ASSERT_EQ(after.size(), 3u) << image;
        EXPECT_EQ(after[0].name, QStringLiteral("Picture 6")) << image;
        EXPECT_EQ(after[0].anchor.from.cell, before.anchor.from.cell);
        EXPECT_EQ(after[0].anchor.width, before.anchor.width);
        EXPECT_NE(after[0].imagePart, before.imagePart);
        EXPECT_FALSE(ws.imageBytes(after[0]).isEmpty());
        book->saveAs(out);
        const QJsonArray images =
            readBack(out, QString::fromUtf8(imagesScript))[QStringLiteral("images")].toArray();
        ASSERT_EQ(images.size(), 2) << image;
        EXPECT_EQ(images[0].toArray()[0].toInt(), 3);  // column D, zero-based
        EXPECT_EQ(images[0].toArray()[1].toInt(), 2);  // row 3
    }
}

TEST(PictureTest, MissingImageRemovesAndUnknownNameChangesNothing) {
    testsupport::TempDir dir;
    const QString out = dir.file(QStringLiteral("pic.xlsx"));
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = book->activeSheet();
    EXPECT_FALSE(
        ws.replacePicture(QStringLiteral("Picture 9"), fixture(QStringLiteral("blue.jpg"))));
    EXPECT_FALSE(ws.deletePicture(QStringLiteral("picture 3")));
    EXPECT_EQ(ws.pictures().size(), 3u);
    EXPECT_TRUE(
        ws.replacePicture(QStringLiteral("Picture 3"), dir.file(QStringLiteral("gone.jpg"))));
    EXPECT_TRUE(
        ws.deletePicture(QStringLiteral("Picture 5")));  // the group goes with its only picture
    EXPECT_TRUE(ws.pictures().empty());
    book->saveAs(out);
    EXPECT_EQ(
        readBack(out, QString::fromUtf8(imagesScript))[QStringLiteral("images")].toArray().size(),
        0);
}

TEST(PictureTest, UnreadableImageLeavesTheSheetAsItWas) {
    testsupport::TempDir dir;
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = book->activeSheet();
    for (const char* bad : {"fake.jpg", "utf8.csv"}) {
        try {
            ws.replacePicture(QStringLiteral("Picture 3"), fixture(QString::fromLatin1(bad)));
            ADD_FAILURE() << bad << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::ImageUnreadable) << bad;
        }
    }
    ASSERT_EQ(ws.pictures().size(), 3u);
    EXPECT_EQ(ws.pictures()[0].name, QStringLiteral("Picture 3"));
    EXPECT_FALSE(book->modified());
}
