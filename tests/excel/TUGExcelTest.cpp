// TUGExcel over real workbooks: life cycle, sheets, cells, links, pictures,
// and the operations that need a sheet window, with a scripted presenter.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "Fixtures.h"
#include "excel/TUGExcel.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::fixture;

namespace {

// Stands in for the sheet window: records what it was asked and answers
// from what the test set.
struct ScriptedWindow {
    bool visible = false;
    bool open = true;
    int printed = 0;
    Selection selection;
    std::vector<RangeRef> changed;
    int layouts = 0;
    int commits = 0;
};

class ScriptedPresenter : public BookPresenter {
public:
    explicit ScriptedPresenter(ScriptedWindow& w) : w_(w) {}
    void setVisible(bool v) override { w_.visible = v; }
    bool isOpen() const override { return w_.open; }
    QString caption() const override { return QStringLiteral("window"); }
    Selection selection() const override { return w_.selection; }
    void printActiveSheet() override { ++w_.printed; }
    void cellsChanged(const RangeRef& range) override { w_.changed.push_back(range); }
    void layoutChanged() override { ++w_.layouts; }
    void commitPendingEdit() override { ++w_.commits; }

private:
    ScriptedWindow& w_;
};

struct PresenterScope {
    explicit PresenterScope(ScriptedWindow& w) {
        setPresenterFactory([&w](Workbook&) { return std::make_unique<ScriptedPresenter>(w); });
    }
    ~PresenterScope() { setPresenterFactory({}); }
};

const QString progId = QStringLiteral("Excel.Application");

}  // namespace

TEST(TUGExcelTest, OpenReadWriteCloseWithAndWithoutSaving) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    {
        TUGExcel x(progId);
        EXPECT_FALSE(x.BookOpen);
        x.OpenBook(path, false);
        EXPECT_TRUE(x.BookOpen);
        EXPECT_EQ(x.FileName, path);
        EXPECT_FALSE(x.OldExcel);
        EXPECT_TRUE(x.ExcelAlive());
        EXPECT_EQ(x.SheetName(), QStringLiteral("見積書"));
        EXPECT_EQ(x.GetCell(QStringLiteral("B3")), QStringLiteral("山田太郎"));
        EXPECT_EQ(x.UsedRangeEnd(2), QStringLiteral("D"));
        EXPECT_EQ(x.UsedRangeEnd(3), QStringLiteral("10"));
        EXPECT_EQ(x.UsedRangeEnd(1), QStringLiteral("D$10"));
        EXPECT_TRUE(x.IsMergeTopLeft(QStringLiteral("A1")));
        EXPECT_FALSE(x.IsMergeTopLeft(QStringLiteral("B1")));
        EXPECT_FALSE(x.IsMergeTopLeft(QStringLiteral("B3")));
        EXPECT_EQ(x.SelectionAddress(), QStringLiteral("A1"));
        EXPECT_THROW(x.GetCell(QStringLiteral("Picture 3")), Error);
        x.SetCell(QStringLiteral("B3"), QStringLiteral("変更"));
        x.CloseBook(false);
        EXPECT_FALSE(x.BookOpen);
        EXPECT_EQ(x.FileName, QString());
        EXPECT_THROW(x.GetCell(QStringLiteral("A1")), Error);
        x.OpenBook(path, false);  // a second cycle on the same object
        EXPECT_EQ(x.GetCell(QStringLiteral("B3")), QStringLiteral("山田太郎"));
        x.SetCell(QStringLiteral("B3:C4"), QStringLiteral("保存"));
        x.CloseBook(true);
        EXPECT_TRUE(x.LastCloseError.isEmpty());
        x.OpenBook(path, false);
        EXPECT_EQ(x.GetCell(QStringLiteral("C4")), QStringLiteral("保存"));
        x.SetCell(QStringLiteral("C4"), QStringLiteral("破棄"));
    }  // destroyed open: closed without saving
    TUGExcel y(progId);
    y.OpenBook(path, false);
    EXPECT_EQ(y.GetCell(QStringLiteral("C4")), QStringLiteral("保存"));
}

TEST(TUGExcelTest, SelectSheetIsCaseSensitiveAndSticks) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    TUGExcel x(progId);
    x.OpenBook(path, false);
    EXPECT_FALSE(x.SelectSheet(QStringLiteral("sheet2")));
    EXPECT_EQ(x.SheetName(), QStringLiteral("見積書"));
    EXPECT_TRUE(x.SelectSheet(QStringLiteral("Sheet2")));
    EXPECT_EQ(x.SheetName(), QStringLiteral("Sheet2"));
    EXPECT_EQ(x.GetCell(QStringLiteral("A1")), QStringLiteral("二枚目"));
    x.CloseBook(true);
    x.OpenBook(path, false);  // the sheet active at saving is the one read
    EXPECT_EQ(x.SheetName(), QStringLiteral("Sheet2"));
}

TEST(TUGExcelTest, FailedOpenLeavesTheObjectClosed) {
    TUGExcel x(progId);
    EXPECT_THROW(x.OpenBook(fixture(QStringLiteral("notzip.xlsx")), false), Error);
    EXPECT_FALSE(x.BookOpen);
    TUGExcel none{QString()};
    EXPECT_THROW(none.OpenBook(fixture(QStringLiteral("form.xlsx")), false), Error);
    EXPECT_FALSE(none.BookOpen);
    x.CloseBook(true);  // never fails
    EXPECT_FALSE(x.BookOpen);
}

TEST(TUGExcelTest, ShownOperationsNeedASheetWindow) {
    TUGExcel x(progId);
    try {
        x.OpenBook(fixture(QStringLiteral("form.xlsx")), true);
        ADD_FAILURE() << "opened visibly without a window";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::NoPresenter);
    }
    EXPECT_FALSE(x.BookOpen);
    x.OpenBook(fixture(QStringLiteral("form.xlsx")), false);
    EXPECT_THROW(x.SetVisible(true), Error);
    EXPECT_NO_THROW(x.SetVisible(false));
    EXPECT_NO_THROW(x.PrintSheet(0));
    EXPECT_THROW(x.PrintSheet(1), Error);
}

TEST(TUGExcelTest, WindowSelectionPrintingAndLiveness) {
    ScriptedWindow w;
    PresenterScope scope(w);
    TUGExcel x(progId);
    x.OpenBook(fixture(QStringLiteral("form.xlsx")), true);
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(x.WindowCaption, QStringLiteral("window"));
    w.selection.shapeNames = {QStringLiteral("Picture 5")};
    EXPECT_EQ(x.SelectionAddress(), QStringLiteral("#5"));
    w.selection.shapeNames = {QStringLiteral("Picture 12")};
    EXPECT_EQ(x.SelectionAddress(), QStringLiteral("#12"));
    w.selection.shapeNames = {QStringLiteral("Picture 5"), QStringLiteral("Picture 3")};
    EXPECT_EQ(x.SelectionAddress(), QString());
    w.selection.shapeNames = {QStringLiteral("Group 4")};
    EXPECT_EQ(x.SelectionAddress(), QString());
    w.selection.shapeNames.clear();
    w.selection.cells = *parseRangeRef(QStringLiteral("B3:D5"));
    EXPECT_EQ(x.SelectionAddress(), QStringLiteral("B3"));
    // The window hears of every change the program makes, and hands over
    // what the user is typing before the program reads.
    const int commitsBefore = w.commits;
    x.SetCell(QStringLiteral("B3:C4"), QStringLiteral("x"));
    ASSERT_EQ(w.changed.size(), 1u);
    EXPECT_EQ(rangeRefText(w.changed[0]), QStringLiteral("B3:C4"));
    x.GetCell(QStringLiteral("B3"));
    EXPECT_EQ(w.commits, commitsBefore + 2);
    EXPECT_TRUE(x.SelectSheet(QStringLiteral("Sheet2")));
    x.DeletePicture(QStringLiteral("Picture 77"));  // none: nothing to redraw
    EXPECT_EQ(w.layouts, 1);
    EXPECT_TRUE(x.SelectSheet(QStringLiteral("見積書")));
    x.PrintSheet(0);
    EXPECT_EQ(w.printed, 0);
    x.PrintSheet(3);
    EXPECT_EQ(w.printed, 3);
    x.SetVisible(false);
    EXPECT_FALSE(w.visible);
    EXPECT_TRUE(x.ExcelAlive());
    w.open = false;  // the user closed the window
    EXPECT_FALSE(x.ExcelAlive());
    EXPECT_THROW(x.GetCell(QStringLiteral("A1")), Error);
    x.CloseBook(false);
    EXPECT_FALSE(x.BookOpen);
    EXPECT_EQ(x.FileName, QString());
}

TEST(TUGExcelTest, HyperlinksOldAndNewForms) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    TUGExcel old(QStringLiteral("Excel.Application.8"));
    old.OpenBook(path, false);
    EXPECT_TRUE(old.OldExcel);
    old.AddHyperlink(QStringLiteral("B3"), QStringLiteral("C:\\data\\a.pdf"),
                     QStringLiteral("表示"));
    EXPECT_EQ(old.GetCell(QStringLiteral("B3")), QStringLiteral("山田太郎"));
    old.AddHyperlink(QStringLiteral("E1"), QStringLiteral("C:\\data\\b.pdf"),
                     QStringLiteral("表示"));
    EXPECT_EQ(old.GetCell(QStringLiteral("E1")), QStringLiteral("C:\\data\\b.pdf"));
    old.CloseBook(false);
    TUGExcel x(progId);
    x.OpenBook(path, false);
    x.AddHyperlink(QStringLiteral("B3"), QStringLiteral("C:\\data\\a.pdf"),
                   QStringLiteral("0600001"));
    EXPECT_EQ(x.GetCell(QStringLiteral("B3")), QStringLiteral("0600001"));
    ASSERT_EQ(x.Sheet->hyperlinks().size(), 2u);
}

TEST(TUGExcelTest, PicturesByName) {
    testsupport::TempDir dir;
    TUGExcel x(progId);
    x.OpenBook(copyFixture(QStringLiteral("form.xlsx"), dir.path()), false);
    x.ReplacePicture(QStringLiteral("Picture 3"), fixture(QStringLiteral("blue.jpg")));
    x.ReplacePicture(QStringLiteral("Picture 99"), fixture(QStringLiteral("blue.jpg")));
    x.DeletePicture(QStringLiteral("Picture 5"));
    x.DeletePicture(QStringLiteral("Picture 77"));
    const auto pics = x.Sheet->pictures();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].contentType, QStringLiteral("image/jpeg"));
    x.ReplacePicture(pics[0].name, QString());
    EXPECT_TRUE(x.Sheet->pictures().empty());

    // An image path that names no file removes the picture, leaving the
    // others and the cells as they were.
    x.OpenBook(copyFixture(QStringLiteral("form.xlsx"), dir.path()), false);
    x.ReplacePicture(QStringLiteral("Picture 3"), dir.file(QStringLiteral("no-such-image.png")));
    auto names = [](const std::vector<Picture>& shapes) {
        QStringList out;
        for (const Picture& p : shapes) out << p.name;
        return out.join(QLatin1Char(','));
    };
    // The grouped Picture 5 and its group stay.
    EXPECT_EQ(names(x.Sheet->pictures()), QStringLiteral("Group 4,Picture 5"));
    EXPECT_EQ(x.GetCell(QStringLiteral("B3")), QStringLiteral("山田太郎"));
    x.CloseBook(true);
    EXPECT_TRUE(x.LastCloseError.isEmpty());
    auto saved = Workbook::open(dir.file(QStringLiteral("form.xlsx")));
    EXPECT_EQ(names(saved->activeSheet().pictures()), QStringLiteral("Group 4,Picture 5"));
}

TEST(TUGExcelTest, SaveAsWebPageWritesHtmlBesideTheWorkbook) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    TUGExcel x(progId);
    x.OpenBook(path, false);
    x.SetCell(QStringLiteral("B3"), QStringLiteral("鈴木花子"));
    x.SaveAsWebPage(dir.file(QStringLiteral("a_1.xls")));
    x.CloseBook(false);
    QFile page(dir.file(QStringLiteral("a_1.html")));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    // The page shows the sheet as filled, with its pictures beside it; the
    // workbook itself is left as it was on disk.
    EXPECT_TRUE(html.contains(QStringLiteral("鈴木花子")));
    EXPECT_FALSE(html.contains(QStringLiteral("山田太郎")));
    EXPECT_TRUE(html.contains(QStringLiteral("御見積書")));
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"a_1_files/image001.png\"")));
    EXPECT_FALSE(QImage(dir.file(QStringLiteral("a_1_files/image001.png"))).isNull());
    EXPECT_EQ(Workbook::open(path)->activeSheet().valueText(3, 2), QStringLiteral("山田太郎"));
}

TEST(TUGExcelTest, CloseBookKeepsTheSaveErrorAndStillCloses) {
    testsupport::TempDir dir;
    const QString sub = dir.file(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString path = copyFixture(QStringLiteral("form.xlsx"), sub);
    TUGExcel x(progId);
    x.OpenBook(path, false);
    x.SetCell(QStringLiteral("B3"), QStringLiteral("保存できない"));
    // The folder goes away under the open workbook: the save must fail.
    ASSERT_TRUE(QDir(sub).removeRecursively());
    x.CloseBook(true);
    EXPECT_FALSE(x.LastCloseError.isEmpty());
    EXPECT_FALSE(x.BookOpen);
    EXPECT_EQ(x.FileName, QString());
    // The next cycle starts clean.
    x.OpenBook(copyFixture(QStringLiteral("form.xlsx"), dir.path()), false);
    x.CloseBook(true);
    EXPECT_TRUE(x.LastCloseError.isEmpty());
}

TEST(TUGExcelTest, WorkbooksAreRecognisedByContentAndSavedUnderTheNameGiven) {
    testsupport::TempDir dir;
    const QString form = fixture(QStringLiteral("form.xlsx"));
    // Output's work file has no extension; names come in any case.
    const QString work = dir.file(QStringLiteral("@Work"));
    const QString upper = dir.file(QStringLiteral("FORM.XLSX"));
    const QString list = dir.file(QStringLiteral("list"));
    ASSERT_TRUE(QFile::copy(form, work));
    ASSERT_TRUE(QFile::copy(form, upper));
    ASSERT_TRUE(QFile::copy(fixture(QStringLiteral("utf8.csv")), list));

    TUGExcel x(progId);
    x.OpenBook(work, false);
    EXPECT_EQ(x.Book->sourceFormat(), SourceFormat::Xlsx);
    EXPECT_EQ(x.GetCell(QStringLiteral("B3")), QStringLiteral("山田太郎"));
    x.SetCell(QStringLiteral("B3"), QStringLiteral("作業"));
    x.CloseBook(true);
    EXPECT_TRUE(x.LastCloseError.isEmpty()) << x.LastCloseError.toStdString();
    EXPECT_EQ(Workbook::open(work)->activeSheet().valueText(3, 2), QStringLiteral("作業"));

    x.OpenBook(upper, false);
    EXPECT_EQ(x.GetCell(QStringLiteral("B3")), QStringLiteral("山田太郎"));
    // Saved under another name: a package, and the object now works on it.
    const QString copy = dir.file(QStringLiteral("copy_1.xlsx"));
    x.SetCell(QStringLiteral("B3"), QStringLiteral("別名"));
    x.SaveAs(copy);
    EXPECT_EQ(x.FileName, copy);
    x.SetCell(QStringLiteral("B4"), QStringLiteral("77"));
    x.CloseBook(true);
    EXPECT_EQ(Workbook::open(upper)->activeSheet().valueText(3, 2), QStringLiteral("山田太郎"));
    auto saved = Workbook::open(copy);
    EXPECT_EQ(saved->activeSheet().valueText(3, 2), QStringLiteral("別名"));
    EXPECT_EQ(saved->activeSheet().valueText(4, 2), QStringLiteral("77"));

    x.OpenBook(list, false);
    EXPECT_EQ(x.Book->sourceFormat(), SourceFormat::Csv);
    EXPECT_EQ(x.GetCell(QStringLiteral("B2")), QStringLiteral("0600001"));
    // A name ending ".csv" gets CSV text, never a package.
    const QString csv = dir.file(QStringLiteral("again.csv"));
    x.SaveAs(csv);
    x.CloseBook(false);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("氏名,郵便番号,備考"));

    // Unknown binary content is refused by what it is, not by its name.
    const QString picture = dir.file(QStringLiteral("picture.xls"));
    ASSERT_TRUE(QFile::copy(fixture(QStringLiteral("red.png")), picture));
    EXPECT_THROW(x.OpenBook(picture, false), Error);
    EXPECT_FALSE(x.BookOpen);
}
