#pragma once
// TUGExcel: the one way the program works with workbooks. Each object opens
// one workbook at a time in the workbook engine (Workbook.h), works on its
// active sheet through A1 addresses, and closes it. Showing, printing and
// the user's live selection go through a BookPresenter (the sheet window);
// the engine itself never shows anything.
//
// Failures reach the caller as excel::Error carrying a technical message,
// as an automation error would; only CloseBook never throws.
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "excel/BookPresenter.h"
#include "excel/Error.h"
#include "excel/Model.h"
#include "excel/Workbook.h"

namespace excel {

class TUGExcel {
public:
    // Index 0 is "", 1 to 26 are "A" to "Z".
    std::array<QString, 27> ColumnLetters;
    // The shown window of the open workbook; null while it was never shown.
    std::unique_ptr<BookPresenter> ExcelApp;
    // The open workbook (owned) and the same as the active book.
    std::unique_ptr<Workbook> Books;
    Workbook* Book = nullptr;
    // The sheet the last operation worked on.
    Worksheet* Sheet = nullptr;
    // The range the last operation worked on.
    RangeRef CellRange;
    QString ProgID;
    QString FileName;
    QString CurrentColumn;
    QString WindowCaption;
    std::int32_t CurrentRow = 0;
    bool BookOpen = false;
    bool OldExcel = false;
    // Why the last CloseBook could not save, "" when it could (CloseBook
    // itself never throws, so a caller that must know asks here).
    QString LastCloseError;

    explicit TUGExcel(const QString& progId);
    ~TUGExcel();
    TUGExcel(const TUGExcel&) = delete;
    TUGExcel& operator=(const TUGExcel&) = delete;

    // The engine version a ProgID stands for: "Excel.Application" is the
    // current engine (16.0); "Excel.Application.N" asks for version N.0.
    // Throws Error(Unsupported) for any other ProgID.
    static QString versionForProgId(const QString& progId);
    // Versions before 9 take hyperlinks without a text to display.
    static bool isOldVersion(const QString& version);

    void OpenBook(const QString& path, bool visible);
    void CloseBook(bool save);
    void SetVisible(bool visible);
    bool ExcelAlive();
    void SaveAsWebPage(const QString& path);
    // Saves the open workbook under path, in the format the name asks for (a
    // name ending ".xls" gets a genuine legacy workbook, see
    // Workbook::saveAs); the object then works on that file, so a later
    // CloseBook(true) saves there. Throws excel::Error; the workbook stays
    // open under its old name when the save fails.
    void SaveAs(const QString& path);
    QString SheetName();
    bool SelectSheet(const QString& name);
    void PrintSheet(std::int32_t copies);

    int ColumnIndex(const QString& letter) const;
    int ColumnNumber(const QString& letters) const;
    QString ColumnName(int column) const;
    void SplitAddress(const QString& address);
    QString NeighbourCell(const QString& address, int direction);
    QString OffsetCell(const QString& address, std::int32_t columnOffset, std::int32_t rowOffset);
    std::int32_t MaxRow(std::int32_t row, const QString& address);
    QString RaiseRow(const QString& address, std::int32_t minimum);

    QString SelectionAddress();
    QString GetCell(const QString& address);
    void SetCell(const QString& address, const QString& text);
    void AddHyperlink(const QString& address, const QString& target, const QString& displayText);
    void ReplacePicture(const QString& shapeName, const QString& imageFile);
    void DeletePicture(const QString& shapeName);
    QString UsedRangeEnd(int part);
    // Formula cells of the open workbook left at the value stored in the
    // file because the engine does not compute their function ("'Sheet1'!C5");
    // empty when every formula is current or no workbook is open.
    QStringList UncalculatedCells();
    bool IsMergeTopLeft(const QString& address);

    // The ".html" path SaveAsWebPage writes for a workbook path.
    static QString webPagePath(const QString& path);

private:
    Worksheet& activeSheet();  // re-reads the active sheet into Sheet
    RangeRef range(const QString& address) const;

    QString webPage_;  // set once the workbook was saved as a Web page
};

}  // namespace excel
