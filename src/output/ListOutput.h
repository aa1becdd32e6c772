#pragma once
// List output: chosen fields of the records the main grid shows, written as a
// plain table to a CSV file (CsvList.h), to the printer as a ruled list
// (PrintedList.h) or into a sheet of an existing workbook (SheetList.h).
// Every output walks the records of one SQL text (the grid's, with its filter
// and order) from the first to the last in a single pass, and writes each
// chosen field's value as text, exactly as the grid's data set gives it; the
// dialog TForm4 and the tool tesmora-list both go through the functions
// here. Failures the outputs foresee are ListError; the caller turns them
// into its own words.
#include <QString>
#include <QVariant>
#include <functional>
#include <stdexcept>
#include <vector>

namespace db {
class Connection;
class DataSet;
}  // namespace db

namespace output {

// One chosen field of the record set.
struct ListColumn {
    int field = 0;  // index in the record set
    QString name;
    int type = 0;    // field-type code
    int width = 80;  // the grid column's width on screen, in pixels
};

// Every field of an open record set, in field order, with the default width.
std::vector<ListColumn> allColumns(db::DataSet& records);

// The records of a list: a SELECT in the program's SQL dialect on a
// connection. They are read in one pass, as the statement returns them, so a
// list of a hundred thousand records costs one scan of the table.
struct ListRecords {
    db::Connection& connection;
    QString sql;
    int total = 0;  // how many there are, for the progress; 0 when not known
};

// A value as the list writes it: the grid's text of the value.
QString valueText(const QVariant& value, const ListColumn& column);

// Receives the progress of an output as a whole percentage, 0 to 100.
using ProgressFn = std::function<void(int percent)>;

// Turns "done of total" into whole percentages and reports only changes, so a
// progress bar is not repainted a hundred thousand times.
class Progress {
public:
    Progress(ProgressFn report, qint64 total) : report_(std::move(report)), total_(total) {}
    void done(qint64 count);

private:
    ProgressFn report_;
    qint64 total_;
    int last_ = -1;
};

class ListError : public std::runtime_error {
public:
    enum class Code {
        CannotCreate,  // the target file cannot be created
        WriteFailed,   // writing or finishing the file failed
        Unencodable,   // a text holds a character the file's encoding lacks
        NoSheet,       // the workbook has no worksheet of the asked name
        PrintFailed,   // the printer could not be started
    };
    ListError(Code code, const QString& message);
    Code code() const { return code_; }

    // For Unencodable: the record (1 for the first; 0 for the header line),
    // the field's name and the character.
    int record = 0;
    QString field;
    char32_t character = 0;

private:
    Code code_;
};

// Calls visit(k, values) for every record from the first to the last, k
// counting from 1; values holds every field of the record, typed, by field
// index. Throws db::Error when the statement fails.
void forEachRecord(const ListRecords& records,
                   const std::function<void(int k, const std::vector<QVariant>& values)>& visit);

}  // namespace output
