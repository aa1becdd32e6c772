// Printing through TUGExcel::PrintSheet to PDF, read back with poppler, and
// the image rendering shared with the window.
#include <QDir>
#include <QFileInfo>

#include "ShownBook.h"
#include "excel/window/SheetPrinting.h"

class Printing : public ShownBook {
protected:
    QString job(int n) const { return dir.file(QStringLiteral("job%1.pdf").arg(n)); }
};

TEST_F(Printing, OneJobPerCopyAndNoneForZero) {
    open(QStringLiteral("pages.xlsx"), false);
    ASSERT_TRUE(excel.SelectSheet(QStringLiteral("単票")));
    excel.PrintSheet(0);
    EXPECT_FALSE(QFileInfo::exists(job(1)));
    excel.PrintSheet(2);
    for (int n : {1, 2}) {
        ASSERT_TRUE(QFileInfo::exists(job(n))) << n;
        EXPECT_EQ(sheettest::pdfPageCount(job(n)), 1);
        QString text = sheettest::pdfText(job(n));
        EXPECT_TRUE(text.contains("単票見出し")) << text.toStdString();
        EXPECT_TRUE(text.contains("一枚だけ")) << text.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(job(3)));
}

TEST_F(Printing, LongSheetSplitsDownWithTheTitleRowOnEveryPage) {
    open(QStringLiteral("pages.xlsx"), false);
    excel.PrintSheet(1);
    int pages = sheettest::pdfPageCount(job(1));
    // 151 rows of 15 points on A4 with the default margins: four pages.
    ASSERT_EQ(pages, 4);
    int items = 0;
    for (int page = 1; page <= pages; ++page) {
        QString text = sheettest::pdfText(job(1), page);
        EXPECT_TRUE(text.contains("番号")) << "page " << page;
        items += text.count("品目");
    }
    EXPECT_EQ(items, 150);  // every row once, none lost at a page break
    EXPECT_TRUE(sheettest::pdfText(job(1), 1).contains("品目001"));
    EXPECT_TRUE(sheettest::pdfText(job(1), pages).contains("品目150"));
}

TEST_F(Printing, PrintAreaWithFormatsOnOnePage) {
    open(QStringLiteral("shown.xlsx"));
    excel.PrintSheet(1);
    EXPECT_EQ(sheettest::pdfPageCount(job(1)), 1);
    QString text = sheettest::pdfText(job(1));
    for (const char* expected : {"御見積書", "山田商事", "123,456", "2024/03/05", "98,765.50"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
}

TEST_F(Printing, PdfTextIsExactlyTheTextOfTheCells) {
    open(QStringLiteral("pages.xlsx"), false);
    ASSERT_TRUE(excel.SelectSheet(QStringLiteral("単票")));
    const QStringList texts = {QStringLiteral("氏名 山田 日月"), QStringLiteral("生用 入見 行力 人"),
                               QStringLiteral("やまだ たろう"), QStringLiteral("ヤマダ・タロウ"),
                               QStringLiteral("Latin 123"), QStringLiteral("ABC-001"),
                               QStringLiteral("TEL 03-1234-5678")};
    for (int i = 0; i < texts.size(); ++i)
        excel.SetCell(QStringLiteral("A%1").arg(5 + i), texts[i]);
    excel.PrintSheet(1);
    // Read without any normalising: what a reader copies out of the file.
    QString text;
    ASSERT_EQ(exceltest::runProgram(QStringLiteral("pdftotext"), {job(1), QStringLiteral("-")},
                                    &text),
              0);
    for (const QString& t : texts) EXPECT_TRUE(text.contains(t)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("単票見出し"))) << text.toStdString();
}

TEST_F(Printing, APrinterThatCannotStartIsAnError) {
    open(QStringLiteral("pages.xlsx"), false);
    excel::window::registerSheetWindows(services, [] {
        auto printer = std::make_unique<QPrinter>();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QStringLiteral("/nonexistent-folder/out.pdf"));
        return printer;
    });
    excel.CloseBook(false);
    excel.OpenBook(path, false);
    EXPECT_THROW(excel.PrintSheet(1), excel::Error);
}

TEST_F(Printing, RenderedImageShowsFillsBordersAndPictures) {
    open(QStringLiteral("shown.xlsx"), false);
    excel::Worksheet& sheet = excel.Book->activeSheet();
    QImage image = excel::window::renderSheetImage(sheet);
    excel::window::SheetView probe;  // the same geometry as the image
    probe.setSheet(&sheet);
    probe.resize(image.size());
    QPoint label = sheettest::cellCentre(probe, 4, 1) + QPoint(-30, 0);
    EXPECT_EQ(image.pixelColor(label), QColor(0xdd, 0xeb, 0xf7));
    QRect picture = probe.shapeViewportRect(QStringLiteral("Picture 3"));
    ASSERT_FALSE(picture.isEmpty());
    EXPECT_EQ(image.pixelColor(picture.center()), QColor(Qt::red));
    // The thin border under A4 is drawn in black on the cell edge.
    QRect a4 = probe.cellViewportRect(excel::CellRef{4, 1});
    bool edge = false;
    for (int dy = -1; dy <= 1; ++dy)
        edge |= image.pixelColor(a4.center().x(), a4.bottom() + dy) == QColor(Qt::black);
    EXPECT_TRUE(edge);
    // The print area decides the size: A1:G16 plus the headers.
    EXPECT_LT(image.height(), 800);
}
