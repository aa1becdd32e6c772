// Formulas computed by the engine: the grammar and its conversions, the
// functions of office forms, recalculation after changes and before saving,
// circles and deep chains, and formulas left at their stored values.
#include <gtest/gtest.h>

#include <QFile>

#include "Fixtures.h"
#include "excel/TUGExcel.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::readBack;
using exceltest::runProgram;

namespace {

// Sheet2 of form.xlsx: B2 3.25, B3:B5 1 2 3, C3:C5 the shared formula B3*2+$B$3.
struct Book {
    testsupport::TempDir dir;
    std::unique_ptr<Workbook> book =
        Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = *book->sheetByName(QStringLiteral("Sheet2"));

    // Puts the formula into a spare cell and reads what it gives.
    QString eval(const QString& formula) {
        ws.setCellFormula(40, 10, formula);
        return ws.valueText(40, 10);
    }
};

// Writes a workbook with openpyxl (which stores no results) from a snippet
// that fills wb; returns its path.
QString writeWithOpenpyxl(const QString& dir, const QString& body) {
    const QString path = dir + QStringLiteral("/py.xlsx");
    const QString program = QStringLiteral("import sys, openpyxl, datetime\n"
                                           "wb = openpyxl.Workbook()\n") +
                            body + QStringLiteral("\nwb.save(sys.argv[1])\n");
    QString out;
    EXPECT_EQ(runProgram(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), program, path},
                         &out),
              0)
        << out.toStdString();
    return path;
}

void expectAll(Book& b, const std::vector<std::pair<const char*, const char*>>& cases) {
    for (const auto& [formula, expected] : cases)
        EXPECT_EQ(b.eval(QString::fromUtf8(formula)), QString::fromUtf8(expected)) << formula;
}

}  // namespace

TEST(FormulaTest, OperatorsBindAndConvertAsASpreadsheetDoes) {
    Book b;
    expectAll(b, {
                     {"1+2*3", "7"},
                     {"-2^2", "4"},  // negation binds before powers
                     {"2^3^2", "64"},
                     {"(1+2)*3", "9"},
                     {"10%*50", "5"},
                     {"-B3-1", "-2"},
                     {"\"3\"+4", "7"},  // text that reads as a number
                     {"\"1,000\"*2", "2000"},
                     {"\"2024/3/5\"+1", "45357"},
                     {"\"x\"+1", "#VALUE!"},
                     {"1/0", "#DIV/0!"},
                     {"(1/0)&\"x\"", "#DIV/0!"},
                     {"\"a\"&1.5&TRUE", "a1.5TRUE"},
                     {"\"税\"&1/3", "税0.333333333333333"},
                     {"Z99+1", "1"},  // an empty cell is 0 to arithmetic
                     {"Z99&\"x\"", "x"},
                     {"Z99=\"\"", "True"},
                     {"Z99=0", "True"},
                     {"\"abc\"=\"ABC\"", "True"},
                     {"\"a\"<\"b\"", "True"},
                     {"1<\"a\"", "True"},  // numbers sort before texts
                     {"\"a\"<TRUE", "True"},
                     {"0.1+0.2=0.3", "True"},
                     {"1<>1", "False"},
                     {"3>=3", "True"},
                     {"B2*2", "6.5"},
                     {"$B$3+B$4+$B5", "6"},
                     {"Sheet2!B2+'見積書'!B4", "12348.25"},
                     {"SUM(B3:B5)", "6"},
                     {"SUM(B:B)", "9.25"},
                     {"SUM(3:4)", "11"},  // whole rows: B3 C3 B4 C4
                     {"SUM(B3:INDEX(B3:B5,2))", "3"},
                     {"NoSuchSheet!A1", "#REF!"},
                     {"#N/A", "#N/A"},
                     {"SUM({1,2;3,4})", "10"},
                     {"SUMPRODUCT((B3:B5>1)*B3:B5)", "5"},
                     {"SUM((B3:B5>1)*1)", "2"},
                     {"SUM(--(B3:B5>1))", "2"},
                     {"(B3:B5>1)*1", "0"},
                 });
}

TEST(FormulaTest, FunctionsOfFormsGiveTheirValues) {
    Book b;
    Worksheet& ws = b.ws;
    ws.setCellText(10, 1, QStringLiteral("りんご"));
    ws.setCellText(11, 1, QStringLiteral("みかん"));
    ws.setCellText(12, 1, QStringLiteral("りんご"));
    ws.setCellText(10, 2, QStringLiteral("120"));
    ws.setCellText(11, 2, QStringLiteral("80"));
    ws.setCellText(12, 2, QStringLiteral("200"));
    ws.setCellText(10, 3, QStringLiteral("東京"));
    ws.setCellText(11, 3, QStringLiteral("大阪"));
    ws.setCellText(12, 3, QStringLiteral("大阪"));
    ws.setCellText(13, 1, QStringLiteral("1980/5/20"));
    ws.setCellText(13, 2, QStringLiteral("2024/3/5"));
    expectAll(
        b,
        {
            // sums, counts and criteria
            {"SUMIF(A10:A12,\"りんご\",B10:B12)", "320"},
            {"SUMIF(B10:B12,\">=100\")", "320"},
            {"SUMIFS(B10:B12,A10:A12,\"りんご\",C10:C12,\"大阪\")", "200"},
            {"COUNTIF(A10:A12,\"り*\")", "2"},
            {"COUNTIF(A10:A14,\"\")", "1"},
            {"COUNTIFS(A10:A12,\"<>みかん\",B10:B12,\">150\")", "1"},
            {"AVERAGEIF(A10:A12,\"りんご\",B10:B12)", "160"},
            {"COUNT(A10:B12)", "3"},
            {"COUNTA(A10:C12)", "9"},
            {"COUNTBLANK(A10:A14)", "1"},
            {"AVERAGE(B10:B12)", "133.333333333333"},
            {"AVERAGE(Z1:Z3)", "#DIV/0!"},
            {"MIN(B10:B12)&\"-\"&MAX(B10:B12)", "80-200"},
            {"SUMPRODUCT(B10:B12,B3:B5)", "880"},
            // rounding
            {"ROUND(2.675,2)", "2.68"},
            {"ROUND(-2.5,0)", "-3"},
            {"ROUND(1234.5,-2)", "1200"},
            {"ROUNDUP(1.201,2)", "1.21"},
            {"ROUNDDOWN(1234*1.1,0)", "1357"},
            {"ROUNDDOWN(0.29*100,0)", "29"},
            {"INT(-1.5)", "-2"},
            {"TRUNC(-1.59,1)", "-1.5"},
            {"MOD(-3,2)", "1"},
            {"MOD(5,0)", "#DIV/0!"},
            {"ABS(-4)+POWER(2,10)+SQRT(16)", "1032"},
            {"SQRT(-1)", "#NUM!"},
            {"CEILING(2.1,0.5)&\",\"&FLOOR(2.9,0.5)&\",\"&CEILING(-2.5,2)", "2.5,2.5,-2"},
            // logic and information
            {"IF(B10>100,\"高\",\"低\")", "高"},
            {"IF(FALSE,1/0,\"安全\")", "安全"},  // the branch not taken is not computed
            {"IF(B11>100,\"高\")", "False"},
            {"IFS(B11>100,\"A\",B11>50,\"B\")", "B"},
            {"IFS(FALSE,1)", "#N/A"},
            {"IFERROR(1/0,\"-\")", "-"},
            {"IFNA(VLOOKUP(\"梨\",A10:B12,2,FALSE),0)", "0"},
            {"IFNA(1/0,0)", "#DIV/0!"},
            {"AND(B10:B12)&OR(FALSE,0)&NOT(1)", "TRUEFALSEFALSE"},
            {"ISBLANK(Z1)&ISNUMBER(B10)&ISTEXT(A10)&ISERROR(1/0)", "TRUETRUETRUETRUE"},
            // text
            {"LEN(\"東京都\")&\",\"&LENB(\"東京都a\")", "3,7"},
            {"LEFT(\"東京都港区\",2)&RIGHT(\"東京都港区\",2)&MID(\"東京都港区\",3,1)", "東京港区都"},
            {"FIND(\"都\",\"東京都\")&SEARCH(\"b?d\",\"ABCBED\")", "34"},
            {"FIND(\"x\",\"abc\")", "#VALUE!"},
            {"SUBSTITUTE(\"a-b-c\",\"-\",\"+\")&SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)", "a+b+ca-b+c"},
            {"REPLACE(\"090-1234\",4,1,\"\")", "0901234"},
            {"TRIM(\"  a   b  \")", "a b"},
            {"UPPER(\"abcＡｂ\")&LOWER(\"ABC\")", "ABCＡＢabc"},
            {"ASC(\"ＡＢＣ１２３　カガパ\")", "ABC123 ｶｶﾞﾊﾟ"},
            {"JIS(\"ABC ｶｶﾞﾊﾟ\")", "ＡＢＣ　カガパ"},
            {"TEXT(1234.5,\"#,##0\")&TEXT(B13,\"yyyy年m月d日\")", "1,235" "2024年3月5日"},
            {"VALUE(\"１２\")", "#VALUE!"},
            {"VALUE(\"1,234\")+VALUE(\"10%\")", "1234.1"},
            {"CONCATENATE(A10,\"と\",A11)", "りんごとみかん"},
            {"CONCAT(A10:A12)", "りんごみかんりんご"},
            {"TEXTJOIN(\"、\",TRUE,A10:A12,Z1)", "りんご、みかん、りんご"},
            {"REPT(\"*\",3)", "***"},
            // dates and times
            {"DATE(2024,14,1)", "45689"},  // 2025-02-01
            {"DATEVALUE(\"2024/3/5\")", "45356"},
            {"YEAR(B13)&\"/\"&MONTH(B13)&\"/\"&DAY(B13)", "2024/3/5"},
            {"WEEKDAY(B13)&WEEKDAY(B13,2)&WEEKDAY(B13,3)", "321"},  // a Tuesday
            {"DATEDIF(A13,B13,\"Y\")", "43"},
            {"DATEDIF(A13,B13,\"M\")", "525"},
            {"DATEDIF(A13,B13,\"YM\")&\",\"&DATEDIF(A13,B13,\"MD\")", "9,14"},
            {"DATEDIF(B13,A13,\"Y\")", "#NUM!"},
            {"EDATE(DATE(2024,1,31),1)", "45351"},  // 2024-02-29
            {"EOMONTH(B13,0)-DATE(2024,3,31)", "0"},
            {"TIME(9,30,15)*86400", "34215"},
            {"HOUR(0.75)&MINUTE(TIME(1,2,3))&SECOND(TIME(1,2,3))", "1823"},
            {"TODAY()=INT(NOW())", "True"},
            // lookup
            {"VLOOKUP(\"みかん\",A10:C12,3,FALSE)", "大阪"},
            {"VLOOKUP(2.5,B3:C5,2,TRUE)", "5"},
            {"VLOOKUP(\"み*\",A10:B12,2,FALSE)", "80"},
            {"VLOOKUP(\"x\",A10:B12,3,FALSE)", "#REF!"},
            {"HLOOKUP(120,B10:B12,2,FALSE)", "80"},
            {"INDEX(A10:C12,2,3)&INDEX(B10:B12,3)", "大阪200"},
            {"MATCH(\"大阪\",C10:C12,0)&MATCH(2.5,B3:B5)", "22"},
            {"CHOOSE(2,\"a\",\"b\",\"c\")&CHOOSE(4,1,2)", "#VALUE!"},
            {"ROW()&COLUMN()&ROW(B7)&COLUMN(C1)", "401073"},
        });
}

TEST(FormulaTest, DependentCellsFollowEveryChangeAndTheSavedFileCarriesResults) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    {
        TUGExcel xl(QStringLiteral("Excel.Application"));
        xl.OpenBook(path, false);
        EXPECT_EQ(xl.GetCell(QStringLiteral("B6")), QStringLiteral("24690"));  // =B4*2
        xl.SetCell(QStringLiteral("B4"), QStringLiteral("1500"));
        EXPECT_EQ(xl.GetCell(QStringLiteral("B6")), QStringLiteral("3000"));
        xl.SetCell(QStringLiteral("B4"), QString());
        EXPECT_EQ(xl.GetCell(QStringLiteral("B6")), QStringLiteral("0"));
        xl.SetCell(QStringLiteral("B4"), QStringLiteral("250"));
        EXPECT_TRUE(xl.UncalculatedCells().isEmpty());
        xl.CloseBook(true);
        EXPECT_TRUE(xl.LastCloseError.isEmpty()) << xl.LastCloseError.toStdString();
    }
    // A reader that does not calculate sees the result; the formula stays.
    const QJsonObject r = readBack(
        path,
        "v = openpyxl.load_workbook(sys.argv[1], data_only=True)\n"
        "print(json.dumps({'b6': v['見積書']['B6'].value, 'c4': v['Sheet2']['C4'].value,"
        " 'f': wb['見積書']['B6'].value}))\n");
    EXPECT_EQ(r[QStringLiteral("b6")].toInt(), 500);
    EXPECT_EQ(r[QStringLiteral("c4")].toInt(), 5);
    EXPECT_EQ(r[QStringLiteral("f")].toString(), QStringLiteral("=B4*2"));

    // The Web page (as printing and the preview) shows the new total.
    TUGExcel xl(QStringLiteral("Excel.Application"));
    xl.OpenBook(path, false);
    xl.SetCell(QStringLiteral("B4"), QStringLiteral("300"));
    const QString page = dir.file(QStringLiteral("page.xlsx"));
    xl.SaveAsWebPage(page);
    xl.CloseBook(false);
    QFile html(TUGExcel::webPagePath(page));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral(">600<"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral(">500<")));
}

TEST(FormulaTest, AFileWithoutResultsIsCalculatedOnReading) {
    testsupport::TempDir dir;
    const QString path = writeWithOpenpyxl(
        dir.path(),
        "ws = wb.active\n"
        "ws.title = '見積'\n"
        "d = wb.create_sheet('売上 明細')\n"
        "d['A1'] = 100; d['A2'] = 250; d['A3'] = '備考'\n"
        "ws['B1'] = 0.1\n"
        "wb.defined_names.append(openpyxl.workbook.defined_name.DefinedName('税率', "
        "attr_text='見積!$B$1'))\n"
        "ws['A1'] = \"=SUM('売上 明細'!A:A)\"\n"
        "ws['A2'] = '=ROUNDDOWN(A1*(1+税率),0)'\n"
        "ws['A3'] = '=A2&\"円\"'\n"
        "ws['A4'] = '=_xlfn.CONCAT(\"a\",\"b\")'\n"
        "ws['A5'] = '=A5+1'\n"
        "ws['A6'] = '=A7'\n"
        "ws['A7'] = '=A6*2'\n");
    auto book = Workbook::open(path);
    Worksheet& ws = book->activeSheet();
    EXPECT_EQ(ws.valueText(1, 1), QStringLiteral("350"));
    EXPECT_EQ(ws.valueText(2, 1), QStringLiteral("385"));
    EXPECT_EQ(ws.valueText(3, 1), QStringLiteral("385円"));
    EXPECT_EQ(ws.valueText(4, 1), QStringLiteral("ab"));
    // Circles give an error value, never a hang.
    EXPECT_EQ(ws.value(5, 1).type, CellType::Error);
    EXPECT_EQ(ws.value(6, 1).type, CellType::Error);
    EXPECT_EQ(ws.value(7, 1).type, CellType::Error);
    EXPECT_FALSE(book->modified());  // calculating is no change of the user's
}

TEST(FormulaTest, ALongChainIsComputedWithoutDeepRecursion) {
    Book b;
    // Each cell reads the one below it, so the first cell needs all others.
    const int n = 20000;
    for (int r = 1; r < n; ++r)
        b.ws.setCellFormula(r, 20, QStringLiteral("T%1+1").arg(r + 1));
    b.ws.setCellText(n, 20, QStringLiteral("1"));
    EXPECT_EQ(b.ws.valueText(1, 20), QString::number(n));
    // A circle as long closes on itself.
    b.ws.setCellFormula(n, 20, QStringLiteral("T1"));
    EXPECT_EQ(b.ws.valueText(1, 20), QStringLiteral("#VALUE!"));

    // Deeply nested formulas along a chain: the depth of each adds up.
    QString ones;
    for (int k = 0; k < 2000; ++k) ones += QStringLiteral("+1");
    for (int r = 1; r < 300; ++r)
        b.ws.setCellFormula(r, 21, QStringLiteral("U%1").arg(r + 1) + ones);
    b.ws.setCellText(300, 21, QStringLiteral("0"));
    EXPECT_EQ(b.ws.valueText(1, 21), QString::number(299 * 2000));
}

TEST(FormulaTest, AnUnknownFunctionKeepsItsStoredValueAndIsReported) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    {
        auto book = Workbook::open(path);
        Worksheet& ws = *book->sheetByName(QStringLiteral("Sheet2"));
        ws.setCellFormula(1, 5, QStringLiteral("WEBSERVICE(\"http://x\")+B3"));
        CellValue cached;
        cached.type = CellType::Number;
        cached.number = 42;
        ws.setFormulaResult(1, 5, cached);
        ws.setCellFormula(2, 5, QStringLiteral("E1*2"));
        ws.setCellFormula(3, 5, QStringLiteral("SUM(B3:B5"));  // does not parse
        EXPECT_EQ(ws.valueText(1, 5), QStringLiteral("42"));
        EXPECT_EQ(ws.valueText(2, 5), QStringLiteral("84"));
        EXPECT_EQ(book->uncalculatedCells(),
                  QStringList({QStringLiteral("'Sheet2'!E1"), QStringLiteral("'Sheet2'!E3")}));
        book->save();
    }
    const QJsonObject r = readBack(
        path,
        "v = openpyxl.load_workbook(sys.argv[1], data_only=True)\n"
        "print(json.dumps({'e1': v['Sheet2']['E1'].value, 'e2': v['Sheet2']['E2'].value,"
        " 'calc': wb.calculation.fullCalcOnLoad}))\n");
    EXPECT_EQ(r[QStringLiteral("e1")].toInt(), 42);
    EXPECT_EQ(r[QStringLiteral("e2")].toInt(), 84);
    EXPECT_TRUE(r[QStringLiteral("calc")].toBool());
}
