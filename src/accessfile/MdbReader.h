#pragma once
// RAII over libmdb, private to this folder: one open Access file, its
// catalogue, and a cursor over one table's rows that hands out each value's
// stored bytes. Rows are cracked with mdb_crack_row rather than fetched
// through libmdb's text binding, so nothing is formatted on the way and a
// NULL stays apart from an empty text. Every structure that does not hold
// together (a row that cannot be cracked, a long value whose pages run out,
// fewer rows than the table records) throws Error(Damaged).
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <memory>
#include <vector>

#include "accessfile/AccessFile.h"

namespace accessfile::detail {

// Column types as the file numbers them.
enum ColumnType : int {
    kBool = 0x01,
    kByte = 0x02,
    kInt = 0x03,
    kLong = 0x04,
    kMoney = 0x05,
    kFloat = 0x06,
    kDouble = 0x07,
    kDateTime = 0x08,
    kBinary = 0x09,
    kText = 0x0a,
    kOle = 0x0b,
    kMemo = 0x0c,
    kRepId = 0x0f,
    kNumeric = 0x10,
    kComplex = 0x12,
};

struct Column {
    QString name;
    int type = 0;
    int size = 0;  // bytes the file reserves (fixed columns) or allows (text)
    bool fixed = false;
    bool autoNumber = false;      // a Long that Access numbers itself
    bool guidAutoNumber = false;  // a replication ID that Access generates
    int precision = 0;            // Numeric only
    int scale = 0;                // Numeric only
};

// One object of the file's catalogue (MSysObjects).
struct CatalogObject {
    QString name;
    int type = 0;      // MSysObjects.Type: 1 table, 4/6 linked, 5 query, negative for forms...
    qint64 id = 0;     // MSysObjects.Id
    qint64 flags = 0;  // MSysObjects.Flags (query kind for queries)
    QString connect;   // linked tables: where they point
};

class MdbFile {
public:
    // Opens for reading only. Throws Error: NotAccess, Unreadable,
    // Unsupported, Encrypted, Damaged.
    explicit MdbFile(const QString& path);
    ~MdbFile();
    MdbFile(const MdbFile&) = delete;
    MdbFile& operator=(const MdbFile&) = delete;

    Format format() const { return format_; }

    // The catalogue as MSysObjects records it, system objects included.
    const std::vector<CatalogObject>& objects() const { return objects_; }

    // Text of a text or memo value in this file's encoding: UTF-16 (with
    // compression) from Jet 4 on, the file's code page in Jet 3.
    QString text(const unsigned char* p, qsizetype size) const;

private:
    friend class TableCursor;
    struct Impl;
    void readObjects();

    std::unique_ptr<Impl> impl_;
    Format format_ = Format::NotAccess;
    std::vector<CatalogObject> objects_;
    mutable QStringDecoder codePage_;
};

class TableCursor {
public:
    // Reads the definition of a table: a system table by its name, a user
    // table by its catalogue object. Throws Error(Damaged).
    TableCursor(MdbFile& file, const QString& systemTableName);
    TableCursor(MdbFile& file, const CatalogObject& table);
    ~TableCursor();
    TableCursor(const TableCursor&) = delete;
    TableCursor& operator=(const TableCursor&) = delete;

    const std::vector<Column>& columns() const { return columns_; }
    int columnIndex(const QString& name) const;  // -1 when absent; case ignored
    // Names of the primary-key columns, in key order; empty without a key.
    QStringList primaryKey() const;
    // The row count the table definition records.
    qint64 recordedRows() const;

    // Moves to the next live row; false after the last. Throws Error(Damaged).
    bool next();
    qint64 rowsRead() const { return rowsRead_; }

    // The current row's value of column c: NULL, or its stored bytes. A
    // Yes/No column is never NULL; boolValue gives it.
    bool isNull(int c) const;
    bool boolValue(int c) const;
    const unsigned char* data(int c) const;
    int size(int c) const;
    // Memo and OLE values live in separate pages; this gathers their bytes.
    QByteArray longValue(int c) const;

private:
    struct Impl;
    void open(void* catalogEntry);
    MdbFile& file_;
    QString name_;
    std::vector<Column> columns_;
    std::unique_ptr<Impl> impl_;
    bool started_ = false;
    bool finished_ = false;
    qint64 rowsRead_ = 0;
};

}  // namespace accessfile::detail
