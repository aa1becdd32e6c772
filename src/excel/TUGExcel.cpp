#include "excel/TUGExcel.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "excel/HtmlWriter.h"

namespace excel {

TUGExcel::TUGExcel(const QString& progId) : ProgID(progId) {
    for (int i = 1; i <= 26; ++i) ColumnLetters[static_cast<size_t>(i)] = QChar('A' + i - 1);
}

TUGExcel::~TUGExcel() {
    if (BookOpen) CloseBook(false);
}

QString TUGExcel::versionForProgId(const QString& progId) {
    static const QRegularExpression pattern(
        QStringLiteral("^Excel\\.Application(?:\\.(\\d{1,2}))?$"));
    const auto m = pattern.match(progId);
    if (!m.hasMatch())
        throw Error(ErrorCode::Unsupported,
                    QStringLiteral("no workbook application is registered as \"%1\"").arg(progId));
    return m.captured(1).isEmpty() ? QStringLiteral("16.0") : m.captured(1) + QStringLiteral(".0");
}

bool TUGExcel::isOldVersion(const QString& version) {
    return !version.startsWith(QLatin1Char('9')) && !version.startsWith(QLatin1Char('1'));
}

Worksheet& TUGExcel::activeSheet() {
    if (!BookOpen || !Book)
        throw Error(ErrorCode::NoWorkbook, QStringLiteral("no workbook is open"));
    if (ExcelApp && !ExcelApp->isOpen())
        throw Error(ErrorCode::NoWorkbook, QStringLiteral("the workbook window has been closed"));
    // Every operation sees what the user has typed into a cell but not yet
    // confirmed, so none reads past it or has its own write overwritten by it.
    if (ExcelApp) ExcelApp->commitPendingEdit();
    Sheet = &Book->activeSheet();
    return *Sheet;
}

RangeRef TUGExcel::range(const QString& address) const {
    const auto r = parseRangeRef(address);
    if (!r)
        throw Error(ErrorCode::BadAddress,
                    QStringLiteral("\"%1\" is not a cell or range address").arg(address));
    return *r;
}

// --- life cycle -----------------------------------------------------------

void TUGExcel::OpenBook(const QString& path, bool visible) {
    const QString version = versionForProgId(ProgID);
    // A second open replaces the first workbook without saving it; callers
    // close before they open again.
    ExcelApp.reset();
    Sheet = nullptr;
    Book = nullptr;
    Books = Workbook::open(path);
    Book = Books.get();
    Sheet = &Book->activeSheet();
    webPage_.clear();
    if (visible) {
        ExcelApp = createPresenter(*Book);
        ExcelApp->setVisible(true);
    }
    OldExcel = isOldVersion(version);
    BookOpen = true;
    FileName = path;
    WindowCaption = ExcelApp ? ExcelApp->caption() : QFileInfo(path).fileName();
}

void TUGExcel::CloseBook(bool save) {
    LastCloseError.clear();
    try {
        // A workbook the user closed in its window was saved or thrown away
        // there by the user's own choice; saving it now would write back the
        // very edits the user discarded.
        const bool closedByUser = ExcelApp && !ExcelApp->isOpen();
        if (save && ExcelApp && !closedByUser) ExcelApp->commitPendingEdit();
        if (save && Book) {
            if (!webPage_.isEmpty())
                writeWebPage(*Book, webPage_);
            else if (Book->modified() && !closedByUser)
                Book->save();
        }
    } catch (const std::exception& e) {
        LastCloseError = QString::fromUtf8(e.what());
    }
    // The window goes before the workbook it shows.
    ExcelApp.reset();
    Sheet = nullptr;
    Book = nullptr;
    Books.reset();
    BookOpen = false;
    FileName.clear();
    webPage_.clear();
}

void TUGExcel::SetVisible(bool visible) {
    if (!BookOpen || !Book)
        throw Error(ErrorCode::NoWorkbook, QStringLiteral("no workbook is open"));
    if (!ExcelApp) {
        if (!visible) return;  // never shown: it is hidden already
        ExcelApp = createPresenter(*Book);
    }
    ExcelApp->setVisible(visible);
}

bool TUGExcel::ExcelAlive() {
    if (!BookOpen) return false;
    return ExcelApp ? ExcelApp->isOpen() : true;
}

QString TUGExcel::webPagePath(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? path.left(path.size() - (name.size() - dot)) : path;
    return base + QStringLiteral(".html");
}

void TUGExcel::SaveAsWebPage(const QString& path) {
    activeSheet();
    const QString target = webPagePath(path);
    writeWebPage(*Book, target);
    webPage_ = target;
}

void TUGExcel::SaveAs(const QString& path) {
    activeSheet();
    Book->saveAs(path);
    FileName = path;
    // The workbook file, not a Web page written before, is what a closing
    // save now writes.
    webPage_.clear();
}

QString TUGExcel::SheetName() {
    return activeSheet().name();
}

bool TUGExcel::SelectSheet(const QString& name) {
    activeSheet();
    for (int i = 0; i < Book->sheetCount(); ++i) {
        Worksheet& ws = Book->sheet(i);
        if (!ws.isWorksheet()) continue;  // only worksheets are looked at
        Sheet = &ws;
        if (ws.name() == name) {
            const bool switched = i != Book->activeSheetIndex();
            Book->setActiveSheet(i);
            if (switched && ExcelApp) ExcelApp->layoutChanged();
            return true;
        }
    }
    return false;
}

void TUGExcel::PrintSheet(std::int32_t copies) {
    activeSheet();
    for (std::int32_t i = 0; i < copies; ++i) {
        if (!ExcelApp) ExcelApp = createPresenter(*Book);
        ExcelApp->printActiveSheet();
    }
}

// --- address arithmetic -------------------------------------------------

int TUGExcel::ColumnIndex(const QString& letter) const {
    for (int i = 1; i <= 26; ++i)
        if (ColumnLetters[static_cast<size_t>(i)] == letter) return i;
    return 0;
}

int TUGExcel::ColumnNumber(const QString& letters) const {
    if (letters.size() == 1) return ColumnIndex(letters);
    if (letters.size() != 2) return 0;
    const int first = ColumnIndex(letters.left(1));
    const int second = ColumnIndex(letters.mid(1, 1));
    if (first == 0 || second == 0) return 0;
    const int n = first * 26 + second;
    return n >= 1 && n <= 255 ? n : 0;
}

QString TUGExcel::ColumnName(int column) const {
    if (column < 1 || column > 256) return {};
    return ColumnLetters[static_cast<size_t>((column - 1) / 26)] +
           ColumnLetters[static_cast<size_t>((column - 1) % 26 + 1)];
}

void TUGExcel::SplitAddress(const QString& address) {
    const int letters = address.size() >= 2 && address[1] <= QLatin1Char('9') ? 1 : 2;
    CurrentColumn = address.left(letters);
    const QString rowText = address.mid(letters, 10);
    bool ok = false;
    const int row = rowText.toInt(&ok);
    if (!ok)
        throw Error(ErrorCode::BadAddress,
                    QStringLiteral("\"%1\" is not a valid integer value (address \"%2\")")
                        .arg(rowText, address));
    CurrentRow = row;
}

QString TUGExcel::NeighbourCell(const QString& address, int direction) {
    SplitAddress(address);
    const int col = ColumnNumber(CurrentColumn);
    switch (direction) {
        case 0:
            return col > 1 ? ColumnName(col - 1) + QString::number(CurrentRow) : QString();
        case 1:
            return CurrentRow > 1 ? CurrentColumn + QString::number(CurrentRow - 1) : QString();
        case 2:
            return col < 255 ? ColumnName(col + 1) + QString::number(CurrentRow) : QString();
        case 3:
            return CurrentColumn + QString::number(qint64(CurrentRow) + 1);
        default:
            return {};
    }
}

QString TUGExcel::OffsetCell(const QString& address, std::int32_t columnOffset,
                             std::int32_t rowOffset) {
    SplitAddress(address);
    const qint64 col = qint64(ColumnNumber(CurrentColumn)) + columnOffset;
    if (col > 256) return {};
    return ColumnName(static_cast<int>(col)) + QString::number(qint64(CurrentRow) + rowOffset);
}

std::int32_t TUGExcel::MaxRow(std::int32_t row, const QString& address) {
    if (address.startsWith(QLatin1String("Pic"))) return row;
    SplitAddress(address);
    return std::max(row, CurrentRow);
}

QString TUGExcel::RaiseRow(const QString& address, std::int32_t minimum) {
    if (address.startsWith(QLatin1String("Pic"))) return address;
    SplitAddress(address);
    if (CurrentRow >= minimum) return address;
    return CurrentColumn + QString::number(minimum);
}

// --- cells, links, pictures -------------------------------------------------

QString TUGExcel::SelectionAddress() {
    Worksheet& ws = activeSheet();
    if (ExcelApp) {
        const Selection sel = ExcelApp->selection();
        if (!sel.shapeNames.isEmpty()) {
            if (sel.shapeNames.size() != 1) return {};
            const QString name = sel.shapeNames.front();
            if (name.left(7) != QLatin1String("Picture")) return {};
            return QLatin1Char('#') + name.mid(8, 20);
        }
        CellRange = sel.cells;
    } else {
        // A workbook nobody has shown has the selection it was saved with.
        CellRange = ws.storedSelection();
    }
    return cellRefText(CellRange.first);
}

QString TUGExcel::GetCell(const QString& address) {
    Worksheet& ws = activeSheet();
    CellRange = range(address);
    return ws.valueText(CellRange.first.row, CellRange.first.col);
}

void TUGExcel::SetCell(const QString& address, const QString& text) {
    Worksheet& ws = activeSheet();
    CellRange = range(address);
    ws.setRangeText(CellRange, text);
    if (ExcelApp) ExcelApp->cellsChanged(CellRange);
}

void TUGExcel::AddHyperlink(const QString& address, const QString& target,
                            const QString& displayText) {
    Worksheet& ws = activeSheet();
    CellRange = range(address);
    // The old form takes no text to display: the cell keeps its own text.
    // An empty text to display does the same.
    ws.addHyperlink(CellRange.first, target,
                    OldExcel || displayText.isEmpty() ? QString() : displayText);
    if (ExcelApp) ExcelApp->cellsChanged(RangeRef{CellRange.first, CellRange.first});
}

void TUGExcel::ReplacePicture(const QString& shapeName, const QString& imageFile) {
    Worksheet& ws = activeSheet();
    const QString file =
        !imageFile.isEmpty() && QFileInfo(imageFile).isFile() ? imageFile : QString();
    if (ws.replacePicture(shapeName, file) && ExcelApp) ExcelApp->layoutChanged();
}

void TUGExcel::DeletePicture(const QString& shapeName) {
    if (activeSheet().deletePicture(shapeName) && ExcelApp) ExcelApp->layoutChanged();
}

QString TUGExcel::UsedRangeEnd(int part) {
    Worksheet& ws = activeSheet();
    CellRange = ws.usedRange();
    auto absolute = [](const CellRef& c) {
        return QStringLiteral("$%1$%2").arg(columnLetters(c.col)).arg(c.row);
    };
    QString address = absolute(CellRange.first);
    if (!CellRange.singleCell()) address += QLatin1Char(':') + absolute(CellRange.last);
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    if (colon >= 0) address = address.mid(colon + 1);
    address = address.mid(1);
    const qsizetype dollar = address.indexOf(QLatin1Char('$'));
    if (part == 2) return address.left(dollar);
    if (part == 3) return address.mid(dollar + 1);
    return address;
}

bool TUGExcel::IsMergeTopLeft(const QString& address) {
    Worksheet& ws = activeSheet();
    CellRange = range(address);
    const auto merge = ws.mergeAt(CellRange.first.row, CellRange.first.col);
    if (!merge) return false;
    return cellRefText(merge->first) == address;
}

QStringList TUGExcel::UncalculatedCells() {
    return Book ? Book->uncalculatedCells() : QStringList();
}

}  // namespace excel
