// Document files: round trips through a real store, files written by the
// Windows version, and files that must not import.
#include <QBuffer>
#include <QFile>

#include "StoreFixture.h"
#include "documents/DocumentFile.h"
#include "text/Cp932.h"

using namespace documents;
using documents::test::StoreTest;

namespace {

class DocumentFiles : public StoreTest {
protected:
    // Two documents of the shown table: one with block output, sort keys and
    // paths holding "/" and "%", one without bindings.
    void addTwo() {
        Registry r = registry();
        first = r.InsertDocument("請求書 100%", "/data/会員.mdb", "会員",
                                 "/home/u/雛形/請求書.xlsx", "明細/2024", "番号");
        BlockSettings b;
        b.XSection = 2;
        b.XIncrement = 6;
        b.YSection = 3;
        b.YIncrement = 20;
        b.XStart = 51;
        b.YStart = 49;
        b.Sort1 = "+氏名";
        b.Sort2 = "-入会日";
        r.WriteBlockSettings(first, b);
        r.SetSerialNumber(first, 4321);
        r.SetCardDocument(first);
        r.InsertBindings(first, {{"B3", "氏名", {}},
                                 {"#3,4,5,6,7,8", "写真", {}},
                                 {"A1", "!日付", {}},
                                 {"C9", "%URL/パス%名称", {}}});
        second =
            r.InsertDocument("宛名", "/data/会員.mdb", "会員", "/home/u/宛名.xlsx", "宛名", "");
    }

    QByteArray fileBytes(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    void writeBytes(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    ImportResult importBytes(const QByteArray& bytes, ImportOptions options = {}) {
        QByteArray copy = bytes;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        Registry r = registry();
        return ImportDocuments(buffer, r, options);
    }
    QByteArray cp932(const QString& s) { return text::toCp932(s); }
    QString documentCount() { return sqliteValue("SELECT count(*) FROM 登録データ"); }

    int first = -1;
    int second = -1;
};

}  // namespace

TEST_F(DocumentFiles, ExportWritesCp932LinesWithEscapedRecordValues) {
    addTwo();
    const QString path = dir.file("文書.tmdt");
    Registry r = registry();
    ExportDocuments(r, {first, second}, path);
    const QByteArray bytes = fileBytes(path);
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_FALSE(bytes.contains("\n\n"));
    const QStringList lines = text::fromCp932(bytes).split("\r\n");
    EXPECT_EQ(lines,
              QStringList({"@@@@",
                           "請求書 100%25/%2Fdata%2F会員.mdb/会員/%2Fhome%2Fu%2F雛形%2F請求書.xlsx/"
                           "明細%2F2024/True/4321/番号/2/3/6/20/51/49/+氏名/-入会日/",
                           "B3/氏名", "#3,4,5,6,7,8/写真", "A1/!日付", "C9/%URL/パス%名称", "@@@@",
                           "宛名/%2Fdata%2F会員.mdb/会員/%2Fhome%2Fu%2F宛名.xlsx/宛名/False/1//1/1/"
                           "1/1/0/0///",
                           ""}));
    EXPECT_FALSE(QFile::exists(path + ".part"));
}

TEST_F(DocumentFiles, ImportingAnExportGivesNewDocumentsEqualInAllButIdAndCard) {
    addTwo();
    const QString path = dir.file("文書.tmdt");
    Registry r = registry();
    ExportDocuments(r, {first, second}, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const ImportResult result = ImportDocuments(file, r, {});
    EXPECT_EQ(result.complete(), 1);
    ASSERT_EQ(result.ids.size(), 2u);
    EXPECT_GT(result.ids[0], second);

    // Compared column by column with the sqlite3 shell, the card flag aside.
    const QString columns =
        "登録名, データベース, テーブル, エクセル, シート, 印刷記録, 通し番号, XSection, "
        "XIncrement, YSection, YIncrement, XStart, YStart, Sort1, Sort2, Sort3";
    for (int k = 0; k < 2; ++k) {
        const int original = k == 0 ? first : second;
        const int copy = result.ids[size_t(k)];
        EXPECT_EQ(
            sqlite(QString("SELECT %1 FROM 登録データ WHERE ID = %2").arg(columns).arg(copy)),
            sqlite(QString("SELECT %1 FROM 登録データ WHERE ID = %2").arg(columns).arg(original)));
        EXPECT_EQ(
            sqlite(QString("SELECT セル, フィールド FROM 出力データ WHERE リンク = %1 ORDER BY "
                           "IID")
                       .arg(copy)),
            sqlite(QString("SELECT セル, フィールド FROM 出力データ WHERE リンク = %1 ORDER BY "
                           "IID")
                       .arg(original)));
        EXPECT_EQ(sqliteValue(QString("SELECT 優先 FROM 登録データ WHERE ID = %1").arg(copy)), "0");
    }
    EXPECT_EQ(sqliteValue(
                  QString("SELECT count(*) FROM 出力データ WHERE リンク = %1").arg(result.ids[1])),
              "0");
    EXPECT_FALSE(store.connected());
}

TEST_F(DocumentFiles, FilesFromWindowsAndOtherLineEndsRead) {
    // Backslash paths, no escapes, CR LF; a document without bindings at the
    // very end without a final line end; a field text that holds "/".
    const QByteArray windows = cp932(
        "@@@@\r\n"
        "請求書/C:\\データ\\会員.mdb/会員/C:\\雛形\\請求書.xls/Sheet1/True/17/番号/1/2/1/30/0/0/"
        "+氏名//\r\n"
        "B3/氏名\r\n"
        "D4/%ホーム/ページ\r\n"
        "@@@@\r\n"
        "宛名/C:\\データ\\会員.mdb/会員/C:\\雛形\\宛名.xls/宛名/False/1//1/1/1/1/0/0///");
    ImportResult result = importBytes(windows);
    ASSERT_EQ(result.complete(), 1) << result.detail.toStdString();
    ASSERT_EQ(result.ids.size(), 2u);
    std::optional<DocumentRecord> d = registry().ReadDocument(result.ids[0]);
    EXPECT_EQ(d->databasePath, "C:\\データ\\会員.mdb");
    EXPECT_EQ(d->templatePath, "C:\\雛形\\請求書.xls");
    EXPECT_EQ(d->serialNumber, 17);
    EXPECT_EQ(d->block.YSection, 2);
    EXPECT_EQ(d->block.YIncrement, 30);
    EXPECT_EQ(d->block.Sort1, "+氏名");
    LinkList links;
    registry().ReadBindings(result.ids[0], links);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].BoundField, "%ホーム/ページ");

    // The same with LF and with lone CR line ends, and a UTF-8 file made on
    // this system by hand.
    QByteArray lf = windows;
    lf.replace("\r\n", "\n");
    EXPECT_EQ(importBytes(lf).ids.size(), 2u);
    QByteArray cr = windows;
    cr.replace("\r\n", "\r");
    EXPECT_EQ(importBytes(cr).ids.size(), 2u);
    const QByteArray utf8 = QString::fromUtf8(
                                "\xEF\xBB\xBF@@@@\n手書き/%2Fd%2F会員.mdb/会員/%2Ft%2Fa.xlsx/"
                                "S/False/1//1/1/1/1/0/0///\nA1/氏名\n")
                                .toUtf8();
    result = importBytes(utf8);
    ASSERT_EQ(result.ids.size(), 1u);
    EXPECT_EQ(registry().ReadDocument(result.ids[0])->databasePath, "/d/会員.mdb");
    EXPECT_EQ(documentCount(), "7");
}

TEST_F(DocumentFiles, ALongFigureListSurvivesTheRoundTrip) {
    Registry r = registry();
    const int id = r.InsertDocument("写真台帳", "/data/会員.mdb", "会員", "/t/a.xlsx", "S", "");
    QStringList numbers;
    for (int i = 0; i < 1000; ++i) numbers << QString::number(100000 + i);
    const QString cell = "#" + numbers.join(',');  // 7,000 characters on one line
    r.InsertBinding(id, cell, "写真");
    const QString path = dir.file("台帳.tmdt");
    ExportDocuments(r, {id}, path);
    const ImportResult result = importBytes(fileBytes(path));
    ASSERT_EQ(result.ids.size(), 1u);
    LinkList links;
    r.ReadBindings(result.ids[0], links);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].Cell, cell);
}

TEST_F(DocumentFiles, MalformedFilesImportNothingOfTheBadDocument) {
    const QString good =
        "@@@@\r\nよい/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//1/1/1/1/0/0///\r\nA1/氏名\r\n";
    struct Case {
        const char* what;
        QString tail;  // appended after one good document
        ImportResult::Stop stop;
        int line;
    };
    const Case cases[] = {
        {"too few values", "@@@@\r\n悪い/a/b/c\r\n", ImportResult::Stop::BadRecord, 5},
        {"XSection not decimal",
         "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//x/1/1/1/0/0///\r\nA1/a\r\n",
         ImportResult::Stop::BadRecord, 5},
        {"XSection out of range",
         "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//11/1/1/1/0/0///\r\n",
         ImportResult::Stop::BadRecord, 5},
        {"YStart out of range",
         "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//1/1/1/1/0/50///\r\n",
         ImportResult::Stop::BadRecord, 5},
        {"serial zero", "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/0//1/1/1/1/0/0///\r\n",
         ImportResult::Stop::BadRecord, 5},
        {"serial beyond 32 bits",
         "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/4294967297//1/1/1/1/0/0///\r\n",
         ImportResult::Stop::BadRecord, 5},
        {"binding without separator",
         "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//1/1/1/1/0/0///\r\nA1/a\r\nB2\r\n",
         ImportResult::Stop::BadRecord, 7},
        {"marker without record", "@@@@\r\n", ImportResult::Stop::BadRecord, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString before = documentCount();
        const ImportResult result = importBytes(cp932(good + c.tail));
        EXPECT_EQ(result.complete(), 0);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_EQ(result.line, c.line);
        // The good document before it stays, nothing of the bad one is there.
        EXPECT_EQ(result.ids.size(), 1u);
        EXPECT_EQ(documentCount().toInt(), before.toInt() + 1);
        EXPECT_EQ(
            sqliteValue("SELECT count(*) FROM 登録データ WHERE 登録名 = '悪い' COLLATE BINARY"),
            "0");
        EXPECT_EQ(
            sqliteValue("SELECT count(*) FROM 出力データ WHERE フィールド = 'a' COLLATE BINARY"),
            "0");
    }

    // A binding the store refuses (longer than its column): the error is
    // thrown after the document was taken back whole.
    const QString before = documentCount();
    EXPECT_THROW(importBytes(cp932(good +
                                   "@@@@\r\n悪い/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//1/1/1/1/0/"
                                   "0///\r\nA1/a\r\nA2/" +
                                   QString(300, QChar(u'長')) + "\r\n")),
                 db::Error);
    EXPECT_EQ(documentCount().toInt(), before.toInt() + 1);
    EXPECT_EQ(sqliteValue("SELECT count(*) FROM 出力データ WHERE フィールド = 'a' COLLATE BINARY"),
              "0");

    // Not a document file at all: nothing, whatever follows.
    EXPECT_EQ(importBytes(cp932("会員一覧\r\n" + good)).stop, ImportResult::Stop::NotADocumentFile);
    EXPECT_EQ(importBytes(QByteArray()).stop, ImportResult::Stop::NotADocumentFile);
    EXPECT_EQ(importBytes(QByteArray("@@@@\r\n\xff\xff\xff/\r\n")).stop,
              ImportResult::Stop::NotADocumentFile);
}

TEST_F(DocumentFiles, DocumentsThisMachineCannotOpenStopTheImport) {
    const QString one = "@@@@\r\n一/%2Fd.mdb/会員/%2Ft.xls/S/False/1//1/1/1/1/0/0///\r\n";
    const QString accdb = "@@@@\r\n二/%2Fd.accdb/会員/%2Ft.xls/S/False/1//1/1/1/1/0/0///\r\n";
    const QString xlsx = "@@@@\r\n三/%2Fd.mdb/会員/%2Ft.xlsx/S/False/1//1/1/1/1/0/0///\r\n";
    ImportResult r = importBytes(cp932(one + accdb), {false, true});
    EXPECT_EQ(r.stop, ImportResult::Stop::DatabaseVersion);
    EXPECT_EQ(r.ids.size(), 1u);
    r = importBytes(cp932(one + xlsx), {true, false});
    EXPECT_EQ(r.stop, ImportResult::Stop::ExcelVersion);
    EXPECT_EQ(r.ids.size(), 1u);
    r = importBytes(cp932(accdb + xlsx), {true, true});
    EXPECT_EQ(r.ids.size(), 2u);
}

TEST_F(DocumentFiles, AnExportThatCannotBeWrittenLeavesTheOldFileAsItWas) {
    addTwo();
    const QString path = dir.file("文書.tmdt");
    writeBytes(path, "前の内容");
    Registry r = registry();
    // A character CP932 lacks: reported, nothing written.
    r.UpdateDocument(second, QString::fromUtf8("宛名\xF0\x9F\x98\x80"), "", "", "", "", "", 0);
    try {
        ExportDocuments(r, {first, second}, path);
        ADD_FAILURE() << "exported";
    } catch (const ExportError& e) {
        EXPECT_EQ(e.kind(), ExportError::Kind::Unencodable);
        EXPECT_EQ(e.documentName(), QString::fromUtf8("宛名\xF0\x9F\x98\x80"));
    }
    EXPECT_EQ(fileBytes(path), QByteArray("前の内容"));

    // A folder that does not exist.
    try {
        ExportDocuments(r, {first}, dir.file("無い/文書.tmdt"));
        ADD_FAILURE() << "exported";
    } catch (const ExportError& e) {
        EXPECT_EQ(e.kind(), ExportError::Kind::CannotCreate);
    }
    EXPECT_THROW(ExportDocuments(r, {second + 10}, path), ExportError);
    EXPECT_EQ(fileBytes(path), QByteArray("前の内容"));
}

TEST(DocumentFileNames, ExtensionIsChangedOrAdded) {
    EXPECT_EQ(changeFileExt("/a/b/文書.txt", ".tmdt"), "/a/b/文書.tmdt");
    EXPECT_EQ(changeFileExt("/a/b/文書", ".tmdt"), "/a/b/文書.tmdt");
    EXPECT_EQ(changeFileExt("/a.d/文書", ".tmdt"), "/a.d/文書.tmdt");
    EXPECT_EQ(changeFileExt("/a/form.xls", ".xlsx"), "/a/form.xlsx");
}
