// Interoperability with LibreOffice where it is installed: it reads the
// values we write, and .xls files go through it both ways.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <QTemporaryDir>
#include <QUrl>

#include "Fixtures.h"
#include "excel/Workbook.h"
#include "excel/XlsConvert.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::runProgram;

namespace {

// Converts with a private profile; returns the converted file or "".
QString convert(const QString& input, const QString& filter, const QString& outDir) {
    QTemporaryDir profile;
    QString log;
    const int rc = runProgram(
        findOfficeConverter(),
        {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter,
         QStringLiteral("--outdir"), outDir, input},
        &log, 180000);
    const QString ext = filter.section(QLatin1Char(':'), 0, 0);
    const QString out =
        QDir(outDir).filePath(QFileInfo(input).completeBaseName() + QLatin1Char('.') + ext);
    return rc == 0 && QFile::exists(out) ? out : QString();
}

}  // namespace

TEST(LibreOfficeTest, ReadsTheValuesWeWrite) {
    if (findOfficeConverter().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
    testsupport::TempDir dir;
    auto book = Workbook::open(copyFixture(QStringLiteral("form.xlsx"), dir.path()));
    Worksheet& ws = book->activeSheet();
    ws.setCellText(3, 2, QStringLiteral("0600001"));
    ws.setCellText(4, 2, QStringLiteral("250"));
    ws.setCellText(12, 1, QStringLiteral("2024/4/1"));
    ws.setCellText(13, 1, QStringLiteral("カンマ,と\"引用符\""));
    const QString out = dir.file(QStringLiteral("ours.xlsx"));
    book->saveAs(out);
    const QString csv =
        convert(out, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), dir.path());
    ASSERT_FALSE(csv.isEmpty());
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("氏名,0600001"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("金額,250"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\"カンマ,と\"\"引用符\"\"\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("500")))
        << "the formula B6 = B4*2 is recalculated: " << text.toStdString();
}

TEST(LibreOfficeTest, XlsIsReadAndWrittenThroughTheConverter) {
    if (findOfficeConverter().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
    testsupport::TempDir dir;
    const QString xls = convert(copyFixture(QStringLiteral("form.xlsx"), dir.path()),
                                QStringLiteral("xls"), dir.path());
    ASSERT_FALSE(xls.isEmpty());
    {
        auto book = Workbook::open(xls);
        EXPECT_EQ(book->sourceFormat(), SourceFormat::Xls);
        Worksheet& ws = book->activeSheet();
        EXPECT_EQ(ws.valueText(3, 2), QStringLiteral("山田太郎"));
        EXPECT_EQ(ws.valueText(5, 2), QStringLiteral("2024/03/05"));
        ws.setCellText(3, 2, QStringLiteral("書き戻し"));
        book->save();
    }
    auto again = Workbook::open(xls);
    EXPECT_EQ(again->activeSheet().valueText(3, 2), QStringLiteral("書き戻し"));
}

// A few hundred formulas over Japanese texts, numbers, dates, blanks and
// errors (formula_book.py), calculated by LibreOffice and by us.
TEST(LibreOfficeTest, FormulasGiveWhatLibreOfficeGives) {
    if (findOfficeConverter().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
    testsupport::TempDir dir;
    const QString script = QStringLiteral(TESMORA_SOURCE_TESTS "/excel/formula_book.py");
    const QString book = dir.file(QStringLiteral("formulas.xlsx"));
    QString log;
    ASSERT_EQ(runProgram(QStringLiteral("/usr/bin/python3"), {script, QStringLiteral("write"), book},
                         &log),
              0)
        << log.toStdString();
    QDir(dir.path()).mkdir(QStringLiteral("office"));
    const QString theirs = convert(book, QStringLiteral("xlsx"), dir.file(QStringLiteral("office")));
    ASSERT_FALSE(theirs.isEmpty());
    QString json;
    ASSERT_EQ(runProgram(QStringLiteral("/usr/bin/python3"), {script, QStringLiteral("read"), theirs},
                         &json),
              0)
        << json.toStdString();
    const QJsonObject expected = QJsonDocument::fromJson(json.toUtf8()).object();
    ASSERT_GT(expected.size(), 300);

    auto ours = Workbook::open(book);
    Worksheet& ws = *ours->sheetByName(QStringLiteral("式"));
    EXPECT_TRUE(ours->uncalculatedCells().isEmpty())
        << ours->uncalculatedCells().join(QLatin1Char(' ')).toStdString();
    int compared = 0;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const CellRef at = *parseCellRef(it.key());
        const QJsonArray e = it.value().toArray();
        const QString kind = e[0].toString();
        const CellValue v = ws.value(at.row, at.col);
        const std::string what = ("=" + ws.valueText(at.row, 1) + " gives " +
                                  ws.valueText(at.row, at.col) + ", LibreOffice " +
                                  QJsonDocument(e).toJson(QJsonDocument::Compact))
                                     .toStdString();
        ++compared;
        if (kind == QLatin1String("n")) {
            const double x = e[1].toDouble();
            EXPECT_TRUE(v.type == CellType::Number &&
                        std::fabs(v.number - x) <= std::max(1e-9, std::fabs(x) * 1e-12))
                << what;
        } else if (kind == QLatin1String("s")) {
            EXPECT_TRUE(v.type == CellType::String && v.text == e[1].toString()) << what;
        } else if (kind == QLatin1String("b")) {
            EXPECT_TRUE(v.type == CellType::Boolean && v.boolean == e[1].toBool()) << what;
        } else if (kind == QLatin1String("e")) {
            // LibreOffice maps its own errors to the file's codes loosely
            // (SQRT(-1) becomes #VALUE!); only #N/A and #DIV/0! are exact.
            const QString code = e[1].toString();
            const bool exact = code == QLatin1String("#N/A") || code == QLatin1String("#DIV/0!");
            EXPECT_TRUE(v.type == CellType::Error && (!exact || v.text == code)) << what;
        } else {
            EXPECT_TRUE(v.type == CellType::Empty || (v.type == CellType::String && v.text.isEmpty()))
                << what;
        }
    }
    EXPECT_EQ(compared, expected.size());
}

TEST(LibreOfficeTest, AnXlsNameGetsALegacyWorkbookAndATemplateIsConvertedOnce) {
    if (findOfficeConverter().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
    testsupport::TempDir dir;
    const QString xls = convert(copyFixture(QStringLiteral("form.xlsx"), dir.path()),
                                QStringLiteral("xls"), dir.path());
    ASSERT_FALSE(xls.isEmpty());
    const QString work = dir.file(QStringLiteral("@Work"));
    ASSERT_TRUE(QFile::copy(xls, work));
    const QString out = dir.file(QStringLiteral("card_山田.xls"));
    int before = 0;
    {
        // (An earlier test may have converted a file of the same content.)
        auto book = Workbook::open(xls);
        before = xlsConversionCount();
        // A copy under another name, unchanged, reuses the conversion.
        auto copy = Workbook::open(work);
        EXPECT_EQ(copy->sourceFormat(), SourceFormat::Xls);
        EXPECT_EQ(xlsConversionCount(), before);
        book->activeSheet().setCellText(3, 2, QStringLiteral("出力"));
        book->saveAs(out);
        EXPECT_EQ(book->sourceFormat(), SourceFormat::Xls);
    }
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8).startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        << "a name ending .xls holds a legacy workbook, not a package";
    f.close();
    EXPECT_EQ(Workbook::open(out)->activeSheet().valueText(3, 2), QStringLiteral("出力"));
    EXPECT_EQ(Workbook::open(xls)->activeSheet().valueText(3, 2), QStringLiteral("山田太郎"));
    EXPECT_EQ(xlsConversionCount(), before + 1);  // only the new file was converted
    // A template changed in place is converted anew.
    {
        auto book = Workbook::open(xls);
        EXPECT_EQ(xlsConversionCount(), before + 1);
        book->activeSheet().setCellText(3, 2, QStringLiteral("改訂"));
        book->save();
    }
    EXPECT_EQ(Workbook::open(xls)->activeSheet().valueText(3, 2), QStringLiteral("改訂"));
    EXPECT_EQ(xlsConversionCount(), before + 2);
}
