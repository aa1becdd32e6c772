#pragma once
// The cells of a worksheet part read into a CellStore in one pass without a
// tree, and written back out of it; and the shared-string table read into a
// TextPool. The rest of a worksheet part (columns, merges, links, page setup)
// is small and stays a pugixml tree: readSheetXml hands it back as the part
// with an empty sheetData, and writeSheetCells fills that element again.
#include <QByteArray>
#include <QString>
#include <memory>

#include "excel/CellStore.h"

namespace excel {

struct SheetXml {
    // The part with the content of sheetData cut out (the whole part when it
    // has no sheetData, as a chart sheet has none).
    QByteArray skeleton;
    bool hasSheetData = false;
};

struct CellReader;

// Reads the rows and cells of a worksheet part into cells as the part's bytes
// arrive, so that a large part is never held whole: each feed() reads the
// rows that arrived complete and keeps the rest for the next. Throws
// Error(NotAWorkbook) for malformed XML, rows or cells out of order and
// references that do not match their row.
class SheetXmlReader {
public:
    SheetXmlReader(const QString& part, CellStore& cells);
    ~SheetXmlReader();
    void feed(const char* data, qsizetype size);
    // After the last feed: the part without its cells.
    SheetXml finish();

private:
    enum class Phase { Head, Rows, Tail };
    void findSheetData(bool final);
    void readRows(bool final);

    QString part_;
    std::unique_ptr<CellReader> reader_;
    Phase phase_ = Phase::Head;
    QByteArray pending_;   // bytes not yet read
    QByteArray skeleton_;  // the part without its cells, so far
    QByteArray rowTag_;    // "<row" with the prefix sheetData uses
    QByteArray endTag_;    // "</sheetData" likewise
    qsizetype searchedTo_ = 0;
    bool hasSheetData_ = false;
};

// The same for a part held whole.
SheetXml readSheetXml(const QByteArray& bytes, const QString& part, CellStore& cells);

// Appends the content of sheetData: rows in order, each with its cells, the
// element names prefixed with prefix ("" or "x:"). Cells the program never
// changed come out with the markup they were read with.
void writeSheetCells(QByteArray& out, const CellStore& cells, const QByteArray& prefix);

// Reads the shared strings: one text per item, rich runs joined, phonetic
// readings left out (they are reading aids, not part of the value).
void readSharedStrings(const QByteArray& bytes, const QString& part, TextPool& pool);

// The shortest text of a double that reads back as the same value, as a
// cell's stored value is written ("12", "0.1", "1.5e-07").
void appendNumber(QByteArray& out, double value);

}  // namespace excel
