// The registry against a real store file: what each operation leaves in the
// two tables, read back with the sqlite3 shell.
#include "StoreFixture.h"
#include "documents/Bindings.h"

using namespace documents;
using documents::test::StoreTest;

namespace {

LinkList links(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    LinkList out;
    for (const auto& [cell, field] : pairs)
        out.push_back({QString::fromUtf8(cell), QString::fromUtf8(field), std::nullopt});
    return out;
}

BlockSettings blocks2x3() {
    BlockSettings b;
    b.XSection = 2;
    b.XIncrement = 5;
    b.YSection = 3;
    b.YIncrement = 12;
    b.XStart = 1;
    b.YStart = 2;
    b.Sort1 = QStringLiteral("+氏名");
    b.Sort2 = QStringLiteral("-入会日");
    return b;
}

}  // namespace

TEST_F(StoreTest, InsertedDocumentStartsWithSerialOneNoCardAndSingleBlock) {
    Registry r = registry();
    const int first = r.InsertDocument("請求書", "/data/会員.mdb", "会員", "/t/請求書.xlsx",
                                       "Sheet1", "会員番号");
    const int second =
        r.InsertDocument("宛名", "/data/会員.mdb", "会員", "/t/宛名.xlsx", "宛名", "");
    EXPECT_GT(second, first);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 登録名, エクセル, シート, 印刷記録, 通し番号, 優先, "
                                    "XSection, XIncrement, YSection, YIncrement, XStart, YStart, "
                                    "Sort1, Sort2, Sort3 FROM 登録データ ORDER BY ID")),
              QStringList({"請求書|/t/請求書.xlsx|Sheet1|会員番号|1|0|1|1|1|1|0|0|||",
                           "宛名|/t/宛名.xlsx|宛名||1|0|1|1|1|1|0|0|||"}));
    // Between operations the store is not held open.
    EXPECT_FALSE(store.connected());
}

TEST_F(StoreTest, OnlyTheExactDatabasePathAndTableSeeTheirDocuments) {
    Registry shown = registry("/data/会員.mdb", "会員");
    const int id = shown.InsertDocument("請求書", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
    Registry(store).InsertDocument("他表", "/data/会員.mdb", "名簿", "/t/b.xlsx", "S", "");
    Registry(store).InsertDocument("他所", "/other/会員.mdb", "会員", "/t/c.xlsx", "S", "");
    Registry(store).InsertDocument("大文字", "/data/会員.MDB", "会員", "/t/d.xlsx", "S", "");

    DocumentList list{{"残り物", 99}};
    EXPECT_EQ(shown.ListDocuments(list), 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "請求書");
    EXPECT_EQ(list[0].id, id);

    DocumentList none;
    EXPECT_EQ(registry("/data/空.mdb", "会員").ListDocuments(none), 0);
    QString path = "x", sheet = "y";
    EXPECT_EQ(registry("/data/空.mdb", "会員").FindCardDocument(path, sheet), -1);
    EXPECT_EQ(path, "");
    EXPECT_EQ(sheet, "");
}

TEST_F(StoreTest, UpdateKeepsWhatItIsGivenEmptyAndNeverTouchesCardOrBlocks) {
    Registry r = registry();
    const int id = r.InsertDocument("請求書", "/data/会員.mdb", "会員", "/t/a.xlsx", "S1", "番号");
    r.WriteBlockSettings(id, blocks2x3());
    r.SetSerialNumber(id, 41);
    r.SetCardDocument(id);

    r.UpdateDocument(id, "請求書２", "", "", "", "", "", 0);
    EXPECT_EQ(sqliteValue(QStringLiteral("SELECT 登録名||','||データベース||','||テーブル||','||"
                                         "エクセル||','||シート||','||印刷記録||','||通し番号||','"
                                         "||優先||','||XSection||','||Sort2 FROM 登録データ")),
              "請求書２,/data/会員.mdb,会員,/t/a.xlsx,S1,番号,41,1,2,-入会日");

    r.UpdateDocument(id, "", "/d2.mdb", "表2", "/t/b.xlsx", "S2", "氏名", 7);
    std::optional<DocumentRecord> row = r.ReadDocument(id);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name, "請求書２");
    EXPECT_EQ(row->databasePath, "/d2.mdb");
    EXPECT_EQ(row->table, "表2");
    EXPECT_EQ(row->templatePath, "/t/b.xlsx");
    EXPECT_EQ(row->sheet, "S2");
    EXPECT_EQ(row->outputLogField, "氏名");
    EXPECT_EQ(row->serialNumber, 7);
    EXPECT_TRUE(row->card);
    EXPECT_EQ(row->block, blocks2x3());

    // An unknown document changes nothing and is no error.
    r.UpdateDocument(id + 100, "x", "", "", "", "", "", 0);
    EXPECT_EQ(sqliteValue(QStringLiteral(
                  "SELECT count(*) FROM 登録データ WHERE 登録名 = 'x' COLLATE BINARY")),
              "0");
}

TEST_F(StoreTest, BlockSettingsRoundTripAndAnUnknownDocumentLeavesThemUntouched) {
    Registry r = registry();
    const int id = r.InsertDocument("表", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
    BlockSettings read;
    ASSERT_TRUE(r.ReadBlockSettings(id, read));
    EXPECT_EQ(read, BlockSettings());
    EXPECT_FALSE(read.usesBlocks());

    r.WriteBlockSettings(id, blocks2x3());
    ASSERT_TRUE(r.ReadBlockSettings(id, read));
    EXPECT_EQ(read, blocks2x3());
    EXPECT_TRUE(read.usesBlocks());

    BlockSettings untouched = blocks2x3();
    untouched.Sort3 = "+残す";
    EXPECT_FALSE(r.ReadBlockSettings(id + 1, untouched));
    EXPECT_EQ(untouched.Sort3, "+残す");
}

TEST_F(StoreTest, BindingsKeepTheirOrderAndAFigureListIsKeptWhole) {
    Registry r = registry();
    const int id = r.InsertDocument("表", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
    const int other = r.InsertDocument("別", "/data/会員.mdb", "会員", "/t/b.xlsx", "S", "");
    // Ten blocks across and a hundred down: a thousand picture numbers.
    QStringList numbers;
    for (int i = 1; i <= 1000; ++i) numbers << QString::number(1000 + i);
    const QString figure = pictureCell(numbers);
    ASSERT_GT(figure.size(), 4000);

    LinkList in =
        links({{"B3", "氏名"}, {"A1", "!日付"}, {"C9", "!通し番号"}, {"D2", "%URL%名称"}});
    in.insert(in.begin() + 1, FLinkData{figure, QStringLiteral("写真"), std::nullopt});
    r.InsertBindings(id, in);
    r.InsertBinding(other, "Z1", "別");
    r.InsertBinding(id, "E5", "住所");
    in.push_back({"E5", "住所", std::nullopt});

    LinkList out = links({{"古い", "残り"}});
    EXPECT_EQ(r.ReadBindings(id, out), 6);
    EXPECT_EQ(out, in);
    EXPECT_FALSE(out[1].PictureNumbers.has_value());
    EXPECT_EQ(pictureNumbers(out[1].Cell).size(), 1000);
    EXPECT_EQ(sqliteValue("SELECT length(セル) FROM 出力データ WHERE IID = (SELECT min(IID) + 1 "
                          "FROM 出力データ)"),
              QString::number(figure.size()));
}

TEST_F(StoreTest, ReplacingBindingsIsAllOrNothing) {
    Registry r = registry();
    const int id = r.InsertDocument("表", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
    r.InsertBindings(id, links({{"A1", "氏名"}, {"A2", "住所"}}));

    r.ReplaceBindings(id, links({{"B1", "電話"}}));
    LinkList now;
    r.ReadBindings(id, now);
    EXPECT_EQ(now, links({{"B1", "電話"}}));

    // The second insert fails (a field text longer than the column holds):
    // the document keeps the bindings it had, not none and not half.
    LinkList failing = links({{"C1", "氏名"}});
    failing.push_back({"C2", QString(300, QChar(u'長')), std::nullopt});
    EXPECT_THROW(r.ReplaceBindings(id, failing), db::Error);
    r.ReadBindings(id, now);
    EXPECT_EQ(now, links({{"B1", "電話"}}));
    EXPECT_FALSE(store.connected());
}

TEST_F(StoreTest, DeletingADocumentTakesItsBindingsAndNothingElse) {
    Registry r = registry();
    const int gone = r.InsertDocument("消す", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
    const int kept = r.InsertDocument("残す", "/data/会員.mdb", "会員", "/t/b.xlsx", "S", "");
    r.InsertBindings(gone, links({{"A1", "氏名"}, {"A2", "住所"}}));
    r.InsertBindings(kept, links({{"B1", "氏名"}}));
    r.DeleteDocument(gone);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT ID FROM 登録データ")),
              QStringList({QString::number(kept)}));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT リンク, セル FROM 出力データ")),
              QStringList({QString::number(kept) + "|B1"}));
}

TEST_F(StoreTest, DuplicateCopiesEverythingButNameTemplateSerialAndCard) {
    Registry r = registry();
    const int id =
        r.InsertDocument("請求書", "/data/会員.mdb", "会員", "/t/a.xlsx", "明細", "番号");
    r.WriteBlockSettings(id, blocks2x3());
    r.SetSerialNumber(id, 120);
    r.SetCardDocument(id);
    r.InsertBindings(id, links({{"B3", "氏名"}, {"#1,2,3,4,5,6", "写真"}, {"A1", "!日付"}}));

    const int copy = r.DuplicateDocument(id, "/t/a_改.xlsx", "請求書_改");
    ASSERT_NE(copy, -1);
    ASSERT_NE(copy, id);
    std::optional<DocumentRecord> c = r.ReadDocument(copy);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name, "請求書_改");
    EXPECT_EQ(c->templatePath, "/t/a_改.xlsx");
    EXPECT_EQ(c->databasePath, "/data/会員.mdb");
    EXPECT_EQ(c->table, "会員");
    EXPECT_EQ(c->sheet, "明細");
    EXPECT_EQ(c->outputLogField, "番号");
    EXPECT_EQ(c->serialNumber, 1);
    EXPECT_FALSE(c->card);
    EXPECT_EQ(c->block, blocks2x3());
    LinkList original, copied;
    r.ReadBindings(id, original);
    r.ReadBindings(copy, copied);
    EXPECT_EQ(copied, original);
    // The original is as it was.
    EXPECT_EQ(r.ReadDocument(id)->serialNumber, 120);
    EXPECT_TRUE(r.ReadDocument(id)->card);

    EXPECT_EQ(r.DuplicateDocument(copy + 50, "/t/x.xlsx", "x"), -1);
}

TEST_F(StoreTest, ATableHasAtMostOneCardAndOtherTablesKeepTheirs) {
    Registry shown = registry();
    const int a = shown.InsertDocument("A", "/data/会員.mdb", "会員", "/t/a.xlsx", "SA", "");
    const int b = shown.InsertDocument("B", "/data/会員.mdb", "会員", "/t/b.xlsx", "SB", "");
    Registry otherTable = registry("/data/会員.mdb", "名簿");
    const int c = otherTable.InsertDocument("C", "/data/会員.mdb", "名簿", "/t/c.xlsx", "SC", "");
    otherTable.SetCardDocument(c);

    shown.SetCardDocument(a);
    shown.SetCardDocument(b);
    QString path, sheet;
    EXPECT_EQ(shown.FindCardDocument(path, sheet), b);
    EXPECT_EQ(path, "/t/b.xlsx");
    EXPECT_EQ(sheet, "SB");
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 登録名 FROM 登録データ WHERE 優先 ORDER BY ID")),
              QStringList({"B", "C"}));

    shown.SetCardDocument(-1);
    EXPECT_EQ(shown.FindCardDocument(path, sheet), -1);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 登録名 FROM 登録データ WHERE 優先")),
              QStringList({"C"}));

    // Two marked by an outside edit: the first in the store's order wins.
    sqlite(QStringLiteral("UPDATE 登録データ SET 優先 = 1 WHERE テーブル = '会員' COLLATE BINARY"));
    EXPECT_EQ(shown.FindCardDocument(path, sheet), a);
}

TEST_F(StoreTest, SavingARegistrationWritesTheWholeDocumentOrNothing) {
    Registry r = registry();
    Registration add;
    add.name = "請求書";
    add.databasePath = "/data/会員.mdb";
    add.table = "会員";
    add.templatePath = "/t/請求書.xlsx";
    add.sheet = "明細";
    add.outputLogField = "番号";
    add.block = blocks2x3();
    add.bindings = links({{"B3", "氏名"}, {"A1", "!日付"}});
    const int id = r.SaveRegistration(add);
    std::optional<DocumentRecord> row = r.ReadDocument(id);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->outputLogField, "番号");
    EXPECT_EQ(row->block, blocks2x3());
    LinkList saved;
    EXPECT_EQ(r.ReadBindings(id, saved), 2);

    // A failing binding leaves no document behind without its bindings.
    Registration broken = add;
    broken.name = "壊れ";
    broken.bindings.push_back({"C1", QString(300, QChar(u'長')), std::nullopt});
    EXPECT_THROW(r.SaveRegistration(broken), db::Error);
    EXPECT_EQ(sqliteValue(QStringLiteral("SELECT count(*) FROM 登録データ")), "1");
    EXPECT_EQ(sqliteValue(QStringLiteral("SELECT count(*) FROM 出力データ")), "2");

    // Changing: "＜なし＞" (an empty field) switches the output log off,
    // while the database, table, template, sheet and serial stay.
    r.SetSerialNumber(id, 9);
    Registration change;
    change.id = id;
    change.name = "請求書（新）";
    change.outputLogField = "";
    change.block = BlockSettings();
    change.bindings = links({{"D4", "住所"}});
    EXPECT_EQ(r.SaveRegistration(change), id);
    row = r.ReadDocument(id);
    EXPECT_EQ(row->name, "請求書（新）");
    EXPECT_EQ(row->outputLogField, "");
    EXPECT_EQ(row->templatePath, "/t/請求書.xlsx");
    EXPECT_EQ(row->sheet, "明細");
    EXPECT_EQ(row->serialNumber, 9);
    EXPECT_EQ(row->block, BlockSettings());
    r.ReadBindings(id, saved);
    EXPECT_EQ(saved, links({{"D4", "住所"}}));

    // A failing change keeps the document exactly as it was.
    Registration badChange = change;
    badChange.outputLogField = "氏名";
    badChange.bindings.push_back({"E1", QString(300, QChar(u'長')), std::nullopt});
    EXPECT_THROW(r.SaveRegistration(badChange), db::Error);
    EXPECT_EQ(r.ReadDocument(id)->outputLogField, "");
    r.ReadBindings(id, saved);
    EXPECT_EQ(saved, links({{"D4", "住所"}}));
}

TEST_F(StoreTest, AJobHoldsOneConnectionAcrossItsCalls) {
    Registry r = registry();
    {
        StoreSession job(store);
        EXPECT_TRUE(store.connected());
        const int id = r.InsertDocument("表", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
        r.InsertBinding(id, "A1", "氏名");
        r.SetSerialNumber(id, 3);
        // Each call found the connection open and left it so.
        EXPECT_TRUE(store.connected());
        { StoreSession nested(store); }
        EXPECT_TRUE(store.connected());
    }
    EXPECT_FALSE(store.connected());
    EXPECT_EQ(sqliteValue(QStringLiteral("SELECT 通し番号 FROM 登録データ")), "3");
}

TEST_F(StoreTest, AStoreThatCannotBeOpenedIsAnErrorNotAnEmptyList) {
    QFile::remove(storePath);
    DocumentList list;
    EXPECT_THROW(registry().ListDocuments(list), db::Error);
    EXPECT_FALSE(store.connected());
}
