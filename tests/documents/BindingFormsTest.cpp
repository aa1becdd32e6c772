// The binding forms and the bindable-field list.
#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "documents/BindableFields.h"
#include "documents/Bindings.h"

using namespace documents;

TEST(BindingForms, HyperlinkTextsParseAndComposeBackToThemselves) {
    struct Case {
        QString text;
        Hyperlink::Display display;
        QString link;
        QString shown;
    };
    const Case cases[] = {
        {"氏名", Hyperlink::Display::None, "氏名", ""},
        {"!日付", Hyperlink::Display::None, "!日付", ""},
        {"%URL", Hyperlink::Display::CellText, "URL", ""},
        {"%URL%名称", Hyperlink::Display::Field, "URL", "名称"},
        {"%URL%", Hyperlink::Display::Field, "URL", ""},
    };
    for (const Case& c : cases) {
        const Hyperlink h = parseHyperlink(c.text);
        EXPECT_EQ(h.display, c.display) << c.text.toStdString();
        EXPECT_EQ(h.linkField, c.link) << c.text.toStdString();
        EXPECT_EQ(h.displayField, c.shown) << c.text.toStdString();
        EXPECT_EQ(hyperlinkText(h), c.text);
    }
}

TEST(BindingForms, PicturesMarkersAndSortKeys) {
    EXPECT_TRUE(isPictureCell("#3"));
    EXPECT_FALSE(isPictureCell("B3"));
    EXPECT_EQ(pictureNumbers("#3,4,7,8"), QStringList({"3", "4", "7", "8"}));
    EXPECT_EQ(pictureNumbers("B3"), QStringList());
    EXPECT_EQ(pictureCell({"5", "6"}), "#5,6");
    EXPECT_EQ(cellMarker(kSerialField), "(!通し番号)");

    EXPECT_EQ(parseSortKey("+氏名").field, "氏名");
    EXPECT_FALSE(parseSortKey("+氏名").descending);
    EXPECT_TRUE(parseSortKey("-入会日").descending);
    EXPECT_EQ(parseSortKey("").field, "");
    EXPECT_EQ(parseSortKey("+" + QString(250, 'a')).field.size(), 200);
    EXPECT_EQ(sortKeyText("氏名", true), "-氏名");
}

TEST(BindableFieldList, KeepsTheBindableTypesInColumnOrder) {
    testsupport::TempDir dir;
    const QString path = dir.file("会員.mdb");
    db::createDatabase(path);
    db::Connection user;
    user.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);

    FieldList untouched{{"前から", 24}};
    ListBindableFields(user, "会員", untouched);
    EXPECT_EQ(untouched.size(), 1u) << "not connected: nothing happens";

    user.open();
    user.execute(
        "CREATE TABLE [会員] (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), 写真 LONGBINARY, 会費 "
        "CURRENCY, 入会 TIMESTAMP, 会員 BIT, 備考 MEMO, 識別 GUID, 年齢 BYTE, 身長 DOUBLE, 区分 "
        "SMALLINT, 点 INTEGER)");
    FieldList list;
    ListBindableFields(user, "会員", list);
    QStringList names;
    std::vector<int> types;
    for (const BindableField& f : list) {
        names << f.name;
        types.push_back(f.typeCode);
    }
    EXPECT_EQ(names, QStringList({"ID", "氏名", "会費", "入会", "会員", "備考", "年齢", "身長",
                                  "区分", "点"}));
    EXPECT_EQ(types, std::vector<int>({14, 24, 8, 11, 5, 16, 4, 6, 2, 3}));
    EXPECT_EQ(indexOfField(list, "備考"), 5);
    EXPECT_EQ(indexOfField(list, "写真"), -1);
}
