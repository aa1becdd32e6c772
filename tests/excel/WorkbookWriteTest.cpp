// Writing through the engine and reading the result with openpyxl: typed
// values, kept styles, new rows in order, untouched parts byte-identical.
#include <gtest/gtest.h>
#include <zip.h>

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>

#include "Fixtures.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::readBack;

namespace {

// Part name -> CRC and size as stored in the archive.
std::map<QString, std::pair<quint32, quint64>> partChecksums(const QString& path) {
    std::map<QString, std::pair<quint32, quint64>> out;
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z) return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        out[QString::fromUtf8(st.name)] = {st.crc, st.comp_size};
    }
    zip_discard(z);
    return out;
}

}  // namespace

TEST(WorkbookWriteTest, TextIsTypedWithoutAlteringAnyValue) {
    testsupport::TempDir dir;
    const QString in = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    const QString out = dir.file(QStringLiteral("out.xlsx"));
    auto book = Workbook::open(in);
    Worksheet& ws = book->activeSheet();
    const QStringList texts = {QStringLiteral("0600001"),  QStringLiteral("123"),
                               QStringLiteral("-1.5"),     QStringLiteral("1.50"),
                               QStringLiteral("+5"),       QStringLiteral("1234567890123456"),
                               QStringLiteral("2024/4/1"), QStringLiteral("東京都 千代田区"),
                               QStringLiteral(" 空白 "),   QStringLiteral("1e5"),
                               QStringLiteral("0")};
    for (int i = 0; i < texts.size(); ++i) ws.setCellText(20 + i, 2, texts[i]);
    for (int i = 0; i < texts.size(); ++i) {
        const QString back = ws.valueText(20 + i, 2);
        if (texts[i] == QLatin1String("2024/4/1"))
            EXPECT_EQ(back, QStringLiteral("2024/04/01"));
        else
            EXPECT_EQ(back, texts[i]);
    }
    book->saveAs(out);
    const QJsonObject r =
        readBack(out,
                 "ws = wb['見積書']\n"
                 "print(json.dumps({'v': [[type(ws.cell(row=20+i, column=2).value).__name__, "
                 "str(ws.cell(row=20+i, column=2).value)]"
                 " for i in range(11)], 'date': ws['B26'].is_date}))\n");
    const QJsonArray v = r[QStringLiteral("v")].toArray();
    ASSERT_EQ(v.size(), 11);
    const char* types[] = {"str",      "int", "float", "str", "str", "str",
                           "datetime", "str", "str",   "str", "int"};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(v[i].toArray()[0].toString(), QString::fromLatin1(types[i])) << i;
    EXPECT_EQ(v[0].toArray()[1].toString(), QStringLiteral("0600001"));
    EXPECT_EQ(v[6].toArray()[1].toString(), QStringLiteral("2024-04-01 00:00:00"));
    EXPECT_EQ(v[8].toArray()[1].toString(), QStringLiteral(" 空白 "));
    EXPECT_TRUE(r[QStringLiteral("date")].toBool());
}

TEST(WorkbookWriteTest, StylesKeptRowsOrderedUntouchedPartsIdentical) {
    testsupport::TempDir dir;
    const QString in = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    const QString out = dir.file(QStringLiteral("out.xlsx"));
    auto book = Workbook::open(in);
    Worksheet& ws = book->activeSheet();
    ws.setCellText(3, 2, QStringLiteral("佐藤"));     // keeps its fill and borders
    ws.setCellText(100, 26, QStringLiteral("末尾"));  // a new row at the end
    ws.setCellText(2, 5, QStringLiteral("間"));       // a cell into an existing row
    ws.setCellText(50, 1, QStringLiteral("中"));      // a new row between
    ws.setCellText(5, 2, QStringLiteral("2025/12/31"));
    ws.setCellText(6, 2, QStringLiteral("7"));  // overwrites the formula
    ws.setCellText(8, 4, QString());            // clears, keeps the cell
    book->saveAs(out);

    const QJsonObject r = readBack(
        out,
        "ws = wb['見積書']\n"
        "rows = [r[0].row for r in ws.iter_rows() if any(c.value is not None for c in r)]\n"
        "print(json.dumps({'b3': ws['B3'].value, 'fill': ws['B3'].fill.fgColor.rgb, 'bottom': "
        "ws['B3'].border.bottom.style,"
        " 'z100': ws['Z100'].value, 'e2': ws['E2'].value, 'a50': ws['A50'].value, 'b5': "
        "str(ws['B5'].value),"
        " 'b5fmt': ws['B5'].number_format, 'b6': ws['B6'].value, 'd8': ws['D8'].value, 'dim': "
        "ws.dimensions,"
        " 'merged': [str(m) for m in ws.merged_cells.ranges], 'rows': rows,"
        " 'calc': wb.calculation.fullCalcOnLoad}))\n");
    EXPECT_EQ(r[QStringLiteral("b3")].toString(), QStringLiteral("佐藤"));
    EXPECT_EQ(r[QStringLiteral("fill")].toString(), QStringLiteral("00FFFF00"));
    EXPECT_EQ(r[QStringLiteral("bottom")].toString(), QStringLiteral("double"));
    EXPECT_EQ(r[QStringLiteral("z100")].toString(), QStringLiteral("末尾"));
    EXPECT_EQ(r[QStringLiteral("e2")].toString(), QStringLiteral("間"));
    EXPECT_EQ(r[QStringLiteral("a50")].toString(), QStringLiteral("中"));
    EXPECT_EQ(r[QStringLiteral("b5")].toString(), QStringLiteral("2025-12-31 00:00:00"));
    EXPECT_EQ(r[QStringLiteral("b5fmt")].toString(),
              QStringLiteral("yyyy/mm/dd"));  // its own date format stays
    EXPECT_EQ(r[QStringLiteral("b6")].toInt(), 7);
    EXPECT_TRUE(r[QStringLiteral("d8")].isNull());
    EXPECT_EQ(r[QStringLiteral("dim")].toString(), QStringLiteral("A1:Z100"));
    EXPECT_EQ(r[QStringLiteral("merged")].toArray().first().toString(), QStringLiteral("A1:C2"));
    EXPECT_TRUE(r[QStringLiteral("calc")].toBool());
    QList<int> rows;
    for (const auto& v : r[QStringLiteral("rows")].toArray()) rows << v.toInt();
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));

    const auto before = partChecksums(in), after = partChecksums(out);
    for (const char* part : {"xl/styles.xml", "xl/theme/theme1.xml", "xl/worksheets/sheet2.xml",
                             "xl/sharedStrings.xml", "xl/drawings/drawing1.xml",
                             "xl/media/image1.png", "docProps/core.xml"}) {
        ASSERT_TRUE(after.count(QString::fromLatin1(part))) << part;
        EXPECT_EQ(before.at(QString::fromLatin1(part)), after.at(QString::fromLatin1(part)))
            << part;
    }
    EXPECT_NE(before.at(QStringLiteral("xl/worksheets/sheet1.xml")),
              after.at(QStringLiteral("xl/worksheets/sheet1.xml")));
    // No temporary file is left beside the output.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(WorkbookWriteTest, DateIntoAGeneralCellGetsADateStyleOfItsOwn) {
    testsupport::TempDir dir;
    const QString in = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    auto book = Workbook::open(in);
    Worksheet& ws = book->activeSheet();
    ws.setCellText(3, 2, QStringLiteral("2024/03/05 9:30"));
    EXPECT_EQ(ws.valueText(3, 2), QStringLiteral("2024/03/05 9:30:00"));
    EXPECT_TRUE(ws.style(3, 2).isDateFormat);
    EXPECT_EQ(ws.style(3, 2).fill, QColor(Qt::yellow));  // the rest of its style stays
    EXPECT_FALSE(ws.style(3, 1).isDateFormat);
    book->save();
    auto again = Workbook::open(in);
    EXPECT_EQ(again->activeSheet().valueText(3, 2), QStringLiteral("2024/03/05 9:30:00"));
}

TEST(WorkbookWriteTest, RangesFillEveryCellAndEmptyTextClears) {
    testsupport::TempDir dir;
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = book->activeSheet();
    ws.setRangeText(*parseRangeRef(QStringLiteral("F5:G6")), QStringLiteral("x"));
    for (int r = 5; r <= 6; ++r)
        for (int c = 6; c <= 7; ++c) EXPECT_EQ(ws.valueText(r, c), QStringLiteral("x"));
    ws.setRangeText(*parseRangeRef(QStringLiteral("A1:IV65536")), QString());
    int left = 0;
    ws.forEachCell([&](const CellRef&, const CellValue&) { ++left; });
    EXPECT_EQ(left, 0);
    EXPECT_EQ(ws.style(3, 2).fill, QColor(Qt::yellow));
    EXPECT_THROW(
        ws.setRangeText(*parseRangeRef(QStringLiteral("A1:XFD1048576")), QStringLiteral("x")),
        Error);
}

TEST(WorkbookWriteTest, HyperlinkWithTextAndRelationship) {
    testsupport::TempDir dir;
    const QString out = dir.file(QStringLiteral("link.xlsx"));
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = book->activeSheet();
    ws.addHyperlink({12, 1}, QStringLiteral("\\\\server\\share\\写真.jpg"),
                    QStringLiteral("写真を開く"));
    ws.addHyperlink({10, 1}, QStringLiteral("https://example.org/"),
                    QString());  // replaces, keeps text
    book->saveAs(out);
    const QJsonObject r =
        readBack(out,
                 "ws = wb['見積書']\n"
                 "print(json.dumps({'a12': ws['A12'].value, 't12': ws['A12'].hyperlink.target,"
                 " 'a10': ws['A10'].value, 't10': ws['A10'].hyperlink.target,"
                 " 'n': sum(1 for r in ws.iter_rows() for c in r if c.hyperlink)}))\n");
    EXPECT_EQ(r[QStringLiteral("a12")].toString(), QStringLiteral("写真を開く"));
    EXPECT_EQ(r[QStringLiteral("t12")].toString(), QStringLiteral("\\\\server\\share\\写真.jpg"));
    EXPECT_EQ(r[QStringLiteral("a10")].toString(), QStringLiteral("リンク"));
    EXPECT_EQ(r[QStringLiteral("t10")].toString(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(r[QStringLiteral("n")].toInt(), 2);
}

TEST(WorkbookWriteTest, OverwritingASharedFormulaKeepsTheRestOfItsGroup) {
    EXPECT_EQ(shiftFormula(QStringLiteral("B3*2+$B$3"), 1, 0), QStringLiteral("B4*2+$B$3"));
    EXPECT_EQ(shiftFormula(QStringLiteral("SUM(A1:B2)&\"A1\"&'S 1'!C3"), 2, 1),
              QStringLiteral("SUM(B3:C4)&\"A1\"&'S 1'!D5"));
    EXPECT_EQ(shiftFormula(QStringLiteral("LOG10(A$1)+A1"), -1, 0),
              QStringLiteral("LOG10(A$1)+#REF!"));

    testsupport::TempDir dir;
    const QString out = dir.file(QStringLiteral("shared.xlsx"));
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    book->sheetByName(QStringLiteral("Sheet2"))->setCellText(3, 3, QStringLiteral("10"));
    book->saveAs(out);
    const QJsonObject r = readBack(
        out,
        "import zipfile\n"
        "ws = wb['Sheet2']\n"
        "print(json.dumps({'c3': ws['C3'].value, 'c4': ws['C4'].value, 'c5': ws['C5'].value,"
        " 'chain': 'xl/calcChain.xml' in zipfile.ZipFile(sys.argv[1]).namelist()}))\n");
    EXPECT_EQ(r[QStringLiteral("c3")].toInt(), 10);
    EXPECT_EQ(r[QStringLiteral("c4")].toString(), QStringLiteral("=B4*2+$B$3"));
    EXPECT_EQ(r[QStringLiteral("c5")].toString(), QStringLiteral("=B5*2+$B$3"));
    EXPECT_FALSE(r[QStringLiteral("chain")].toBool());
}

TEST(WorkbookWriteTest, TextBecomesADateOnlyWhenItIsAWholeDate) {
    testsupport::TempDir dir;
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = book->activeSheet();
    // What is typed and what reads back: a date only for a whole date with a
    // four-digit year from 1900 on, as the program's own fields write them.
    const std::pair<const char*, const char*> cases[] = {
        {"2024/3/5", "2024/03/05"},
        {"2024-03-05", "2024/03/05"},
        {"2024年3月5日", "2024/03/05"},
        {"2024/03/05 9:30", "2024/03/05 9:30:00"},
        {"2024-03-05T09:30:15", "2024/03/05 9:30:15"},
        {"9999/12/31", "9999/12/31"},
        {"1-2-3", "1-2-3"},  // an address block, not the 3rd of February of the year 1
        {"24/3/5", "24/3/5"},
        {"3.1.2", "3.1.2"},
        {"1899/12/31", "1899/12/31"},
        {"2024/2/30", "2024/2/30"},
        {"2024/3-5", "2024/3-5"},
        {"2024/3/5 25:00", "2024/3/5 25:00"},
        {"2024年3月5", "2024年3月5"},
        {" 2024/3/5", " 2024/3/5"},
        {"12345", "12345"},
        {"-0", "-0"},
    };
    int row = 30;
    for (const auto& [typed, back] : cases) {
        ws.setCellText(row, 2, QString::fromUtf8(typed));
        EXPECT_EQ(ws.valueText(row, 2), QString::fromUtf8(back)) << typed;
        ++row;
    }
    EXPECT_EQ(ws.value(30, 2).type, CellType::Number);
    EXPECT_EQ(ws.value(36, 2).type, CellType::String);
}
