// The cell store: cells in the shapes other writers use read and written
// back as they were, a part read in pieces as it is read whole, the cell
// access a calculator uses, and the rule by which typed text becomes a
// number or a date.
#include <gtest/gtest.h>
#include <zip.h>

#include <QJsonArray>
#include <QJsonObject>

#include "Fixtures.h"
#include "excel/SheetXml.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::readBack;

namespace {

QByteArray partOf(const QString& path, const char* part) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z) return {};
    QByteArray out;
    zip_stat_t st;
    if (zip_stat(z, part, 0, &st) == 0) {
        out.resize(qsizetype(st.size));
        zip_file_t* f = zip_fopen(z, part, 0);
        if (f) {
            zip_fread(f, out.data(), st.size);
            zip_fclose(f);
        }
    }
    zip_discard(z);
    return out;
}

CellValue number(double v) {
    CellValue c;
    c.type = CellType::Number;
    c.number = v;
    return c;
}

CellValue typed(CellType type, const QString& text) {
    CellValue c;
    c.type = type;
    c.text = text;
    return c;
}

// Everything the store holds, as it would be written.
QByteArray written(const CellStore& cells) {
    QByteArray out;
    writeSheetCells(out, cells, "x:");
    return out;
}

}  // namespace

TEST(SheetCellsTest, CellsOfOtherWritersAreReadAndWrittenBackAsTheyWere) {
    testsupport::TempDir dir;
    const QString in = copyFixture(QStringLiteral("markup.xlsx"), dir.path());
    const QString out = dir.file(QStringLiteral("out.xlsx"));
    auto book = Workbook::open(in);
    Worksheet& ws = *book->sheetByName(QStringLiteral("Sheet2"));
    auto check = [](Worksheet& s) {
        EXPECT_EQ(s.valueText(1, 1), QStringLiteral("太字 と普通"));
        EXPECT_EQ(s.valueText(1, 2), QStringLiteral("山田"));  // the reading is no part of it
        EXPECT_NEAR(s.value(1, 3).number, 45356.3958333, 1e-6);
        EXPECT_EQ(s.value(1, 4).type, CellType::Error);
        EXPECT_EQ(s.valueText(1, 4), QStringLiteral("#N/A"));
        EXPECT_EQ(s.valueText(2, 1), QStringLiteral("42"));
        EXPECT_EQ(s.value(2, 2).formula, QStringLiteral("\"a\"&\"b\""));
        EXPECT_EQ(s.valueText(2, 3), QStringLiteral("<tag> & more"));
        EXPECT_EQ(s.valueText(2, 4), QStringLiteral("氏名&<"));
        EXPECT_DOUBLE_EQ(s.rowHeight(1), 30);
        EXPECT_TRUE(s.rowHidden(2));
    };
    check(ws);
    EXPECT_EQ(ws.valueText(2, 2), QStringLiteral("ab"));
    // Each cell of a shared formula has its own text and its cached result.
    EXPECT_EQ(ws.value(5, 2).formula, QStringLiteral("A5*10"));
    EXPECT_EQ(ws.valueText(6, 2), QStringLiteral("30"));

    // One new cell rewrites the sheet; every other cell keeps its markup.
    ws.setCellText(6, 4, QStringLiteral("追加"));
    ws.setCellText(6, 3, QStringLiteral("一行目\r\n二行目"));
    book->saveAs(out);
    const QByteArray xml = partOf(out, "xl/worksheets/sheet2.xml");
    for (const char* kept :
         {"<x:r><x:rPr><x:b/></x:rPr><x:t>太字</x:t></x:r>", "<x:rPh sb=\"0\" eb=\"2\">",
          "t=\"d\"><x:v>2024-03-05T09:30:00</x:v>", " cm=\"1\"",
          "<x:extLst><x:ext uri=\"{test}\"/></x:extLst>",
          "<x:row r=\"1\" ht=\"30\" customHeight=\"1\" x14ac:dyDescent=\"0.25\">",
          "<x:row r=\"2\" hidden=\"1\">", "<x:row r=\"3\" s=\"1\" customFormat=\"1\"/>",
          "<x:f t=\"shared\" ref=\"B4:B6\" si=\"0\">A4*10</x:f>",
          "<x:c r=\"D6\" t=\"inlineStr\"><x:is><x:t>追加</x:t></x:is></x:c>", "<x:pageMargins"})
        EXPECT_TRUE(xml.contains(kept)) << kept << "\n" << xml.toStdString();
    EXPECT_FALSE(xml.contains("spans="));  // a hint that new cells may contradict

    auto again = Workbook::open(out);
    Worksheet& back = *again->sheetByName(QStringLiteral("Sheet2"));
    check(back);
    EXPECT_EQ(back.valueText(6, 4), QStringLiteral("追加"));
    // A carriage return survives a reader's line-end normalisation.
    EXPECT_EQ(back.valueText(6, 3), QStringLiteral("一行目\r\n二行目"));
    const QJsonObject r =
        readBack(out,
                 "ws = wb['Sheet2']\n"
                 "print(json.dumps({'a1': str(ws['A1'].value), 'd2': ws['D2'].value,"
                 " 'd6': ws['D6'].value, 'b5': ws['B5'].value}))\n");
    EXPECT_EQ(r[QStringLiteral("d2")].toString(), QStringLiteral("氏名&<"));
    EXPECT_EQ(r[QStringLiteral("d6")].toString(), QStringLiteral("追加"));
    EXPECT_EQ(r[QStringLiteral("b5")].toString(), QStringLiteral("=A5*10"));
}

TEST(SheetCellsTest, APartReadInPiecesIsThePartReadWhole) {
    testsupport::TempDir dir;
    const QByteArray xml =
        partOf(exceltest::fixture(QStringLiteral("markup.xlsx")), "xl/worksheets/sheet2.xml");
    ASSERT_FALSE(xml.isEmpty());
    CellStore whole;
    const SheetXml reference = readSheetXml(xml, QStringLiteral("sheet"), whole);
    EXPECT_TRUE(reference.skeleton.contains("<x:sheetData></x:sheetData>"));
    for (const int piece : {1, 2, 5, 64}) {
        CellStore cells;
        SheetXmlReader reader(QStringLiteral("sheet"), cells);
        for (qsizetype at = 0; at < xml.size(); at += piece)
            reader.feed(xml.constData() + at, std::min<qsizetype>(piece, xml.size() - at));
        const SheetXml got = reader.finish();
        EXPECT_EQ(got.skeleton, reference.skeleton) << piece;
        EXPECT_EQ(written(cells), written(whole)) << piece;
    }
    // Cut off, out of order or malformed, in one piece or many: refused.
    for (const QByteArray& bad : {xml.left(xml.indexOf("<x:row r=\"5\"") + 20),
                                  QByteArray(xml).replace("<x:row r=\"4\">", "<x:row r=\"1\">"),
                                  QByteArray(xml).replace("r=\"B5\"", "r=\"B9\""),
                                  QByteArray(xml).replace("<x:v>2", "<x:v 2")})
        for (const int piece : {3, 4096}) {
            CellStore cells;
            SheetXmlReader reader(QStringLiteral("sheet"), cells);
            EXPECT_THROW(
                {
                    for (qsizetype at = 0; at < bad.size(); at += piece)
                        reader.feed(bad.constData() + at,
                                    std::min<qsizetype>(piece, bad.size() - at));
                    reader.finish();
                },
                Error);
        }
}

TEST(SheetCellsTest, ACalculatorReadsFormulasAndWritesTheirResultsBack) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    {
        auto book = Workbook::open(path);
        Worksheet& ws = *book->sheetByName(QStringLiteral("Sheet2"));
        QStringList seen;
        ws.forEachFormula([&](const CellRef& at, const QString& formula) {
            seen << cellRefText(at) + QLatin1Char('=') + formula;
        });
        EXPECT_EQ(seen, QStringList({"C3=B3*2+$B$3", "C4=B4*2+$B$3", "C5=B5*2+$B$3"}));
        EXPECT_FALSE(ws.setFormulaResult(2, 2, number(1)));  // no formula
        EXPECT_EQ(ws.valueText(2, 2), QStringLiteral("3.25"));
        EXPECT_TRUE(ws.setFormulaResult(4, 3, number(99)));
        EXPECT_TRUE(ws.setFormulaResult(5, 3, typed(CellType::String, QStringLiteral("計算済"))));
        EXPECT_EQ(ws.value(4, 3).formula, QStringLiteral("B4*2+$B$3"));
        book->save();
    }
    {
        // Formulas survive the save; a result written back that the formula
        // does not give is computed again on reading.
        auto book = Workbook::open(path);
        Worksheet& ws = *book->sheetByName(QStringLiteral("Sheet2"));
        EXPECT_EQ(ws.valueText(3, 3), QStringLiteral("3"));
        EXPECT_EQ(ws.valueText(4, 3), QStringLiteral("5"));
        EXPECT_EQ(ws.valueText(5, 3), QStringLiteral("7"));
        EXPECT_EQ(ws.value(5, 3).formula, QStringLiteral("B5*2+$B$3"));

        // Values stored as they are, and a new formula.
        ws.setCellValue(7, 1, typed(CellType::String, QStringLiteral("0600001")));
        CellValue yes;
        yes.type = CellType::Boolean;
        yes.boolean = true;
        ws.setCellValue(7, 2, yes);
        ws.setCellValue(7, 3, typed(CellType::Error, QStringLiteral("#DIV/0!")));
        ws.setCellFormula(8, 3, QStringLiteral("SUM(C3:C5)"));
        EXPECT_EQ(ws.value(8, 3).formula, QStringLiteral("SUM(C3:C5)"));
        EXPECT_EQ(ws.valueText(8, 3), QStringLiteral("15"));
        ws.setCellValue(3, 3, number(5));  // a formula overwritten
        EXPECT_TRUE(ws.value(3, 3).formula.isEmpty());
        // The rest of its shared group keeps computing what it did.
        EXPECT_EQ(ws.value(4, 3).formula, QStringLiteral("B4*2+$B$3"));
        book->save();
    }
    const QJsonObject r =
        readBack(path,
                 "ws = wb['Sheet2']\n"
                 "print(json.dumps({'a7': ws['A7'].value, 'b7': ws['B7'].value,"
                 " 'c7': ws['C7'].value, 'c8': ws['C8'].value, 'c4': ws['C4'].value,"
                 " 'c3': ws['C3'].value}))\n");
    EXPECT_EQ(r[QStringLiteral("a7")].toString(), QStringLiteral("0600001"));
    EXPECT_TRUE(r[QStringLiteral("b7")].toBool());
    EXPECT_EQ(r[QStringLiteral("c7")].toString(), QStringLiteral("#DIV/0!"));
    EXPECT_EQ(r[QStringLiteral("c8")].toString(), QStringLiteral("=SUM(C3:C5)"));
    EXPECT_EQ(r[QStringLiteral("c4")].toString(), QStringLiteral("=B4*2+$B$3"));
    EXPECT_EQ(r[QStringLiteral("c3")].toInt(), 5);
}
