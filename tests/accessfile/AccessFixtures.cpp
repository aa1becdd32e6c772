#include "accessfile/AccessFixtures.h"

#include <mdbtools.h>

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

namespace fixtures {

namespace {

void fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

QByteArray utf16(const QString& s) {
    QByteArray out;
    for (QChar c : s) {
        out += char(c.unicode() & 0xff);
        out += char(c.unicode() >> 8);
    }
    return out;
}

// Access's compressed form: FF FE, then one byte per character while the
// characters stay below U+0100.
QByteArray compressed(const QString& latin1) {
    QByteArray out("\xff\xfe", 2);
    for (QChar c : latin1) out += char(c.unicode());
    return out;
}

QByteArray le16(int v) {
    QByteArray b(2, 0);
    b[0] = char(v & 0xff);
    b[1] = char((v >> 8) & 0xff);
    return b;
}

QByteArray le32(quint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray le64(quint64 v) {
    return le32(quint32(v)) + le32(quint32(v >> 32));
}

QByteArray doubleBytes(double d) {
    quint64 bits;
    std::memcpy(&bits, &d, 8);
    return le64(bits);
}

// Day count as Access stores a date-time: before 1899-12-30 the fraction
// runs on from the (negative) whole day.
double accessDays(const QDateTime& dt) {
    const qint64 days = QDate(1899, 12, 30).daysTo(dt.date());
    const double fraction = dt.time().msecsSinceStartOfDay() / 86400000.0;
    return days < 0 ? double(days) - fraction : double(days) + fraction;
}

// Decimal of a Numeric column: sign byte, then four little-endian words,
// the most significant first.
QByteArray numericBytes(bool negative, unsigned __int128 magnitude) {
    QByteArray out(1, negative ? char(0x80) : char(0));
    for (int word = 3; word >= 0; --word) out += le32(quint32(magnitude >> (32 * word)));
    return out;
}

// A value for one column of a row to insert; an empty optional is NULL.
struct Value {
    bool null = true;
    QByteArray bytes;
};
Value v(const QByteArray& b) {
    return {false, b};
}
const Value kNull{};

class Writer {
public:
    explicit Writer(const QString& path) : path_(path) {
        mdb_ = mdb_open(QFile::encodeName(path).constData(), MDB_WRITABLE);
        if (!mdb_) fail(QStringLiteral("libmdb cannot open %1").arg(path));
        mdb_read_catalog(mdb_, MDB_ANY);
    }
    ~Writer() { close(); }
    void close() {
        for (MdbTableDef* t : tables_) mdb_free_tabledef(t);
        tables_.clear();
        if (mdb_) mdb_close(mdb_);
        mdb_ = nullptr;
    }
    int pageSize() const { return int(mdb_->fmt->pg_size); }

    MdbTableDef* table(const char* name) {
        MdbTableDef* t = mdb_read_table_by_name(mdb_, const_cast<char*>(name), MDB_TABLE);
        if (!t) fail(QStringLiteral("no table %1").arg(QString::fromUtf8(name)));
        mdb_read_columns(t);
        mdb_read_indices(t);
        tables_.push_back(t);
        return t;
    }

    // Inserts one row through libmdb's row writer (it does not maintain
    // indexes over text, which the reader does not use).
    void insert(MdbTableDef* t, const std::vector<Value>& values) {
        if (values.size() != t->num_cols) fail(QStringLiteral("wrong number of values"));
        std::vector<MdbField> fields(t->num_cols);
        std::vector<QByteArray> keep(values.size());
        for (unsigned i = 0; i < t->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            keep[i] = values[i].bytes;
            // A fixed column takes its whole width in every row, NULL or not.
            if (col->is_fixed && keep[i].size() < col->col_size) keep[i].resize(col->col_size, 0);
            fields[i].value = keep[i].isEmpty() ? nullptr : keep[i].data();
            fields[i].siz = int(keep[i].size());
            fields[i].is_null = values[i].null ? 1 : 0;
            fields[i].is_fixed = col->is_fixed;
            fields[i].colnum = int(i);
        }
        if (!mdb_insert_row(t, int(t->num_cols), fields.data()))
            fail(QStringLiteral("libmdb could not insert a row"));
    }

    // Page and slot of the row whose first column holds these bytes.
    std::pair<quint32, int> findRow(MdbTableDef* t, const QByteArray& firstColumn) {
        mdb_rewind_table(t);
        t->cur_pg_num = 1;
        std::vector<MdbField> fields(t->num_cols);
        while (mdb_read_next_dpg(t)) {
            const int rows = mdb_get_int16(mdb_->pg_buf, mdb_->fmt->row_count_offset);
            for (int r = 0; r < rows; ++r) {
                int start = 0;
                size_t len = 0;
                if (mdb_find_row(mdb_, r, &start, &len) != 0 || len == 0) continue;
                if (mdb_crack_row(t, start & 0x1fff, len, fields.data()) < 0) continue;
                if (fields[0].siz == firstColumn.size() &&
                    std::memcmp(fields[0].value, firstColumn.constData(), size_t(fields[0].siz)) ==
                        0)
                    return {t->cur_phys_pg, r};
            }
        }
        fail(QStringLiteral("inserted row not found"));
        return {};
    }

    // One row in the table's on-page form, packed by libmdb.
    QByteArray pack(MdbTableDef* t, const std::vector<Value>& values) {
        std::vector<MdbField> fields(t->num_cols);
        std::vector<QByteArray> keep(values.size());
        for (unsigned i = 0; i < t->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            keep[i] = values[i].bytes;
            if (col->is_fixed && keep[i].size() < col->col_size) keep[i].resize(col->col_size, 0);
            fields[i].value = keep[i].isEmpty() ? nullptr : keep[i].data();
            fields[i].siz = int(keep[i].size());
            fields[i].is_null = values[i].null ? 1 : 0;
            fields[i].is_fixed = col->is_fixed;
            fields[i].colnum = int(i);
        }
        unsigned char buffer[4096];
        const int n = mdb_pack_row(t, buffer, t->num_cols, fields.data());
        return QByteArray(reinterpret_cast<const char*>(buffer), n);
    }

    // Pages the table's inline usage map marks as its data pages.
    std::vector<quint32> dataPages(MdbTableDef* t) const {
        std::vector<quint32> out;
        if (t->map_sz < 5 || t->usage_map[0] != 0) fail(QStringLiteral("not an inline usage map"));
        const quint32 start = quint32(mdb_get_int32(t->usage_map, 1));
        for (size_t i = 0; i < (t->map_sz - 5) * 8; ++i)
            if (t->usage_map[5 + i / 8] & (1 << (i % 8))) out.push_back(start + quint32(i));
        return out;
    }
    size_t usageMapSize(MdbTableDef* t) const { return t->map_sz; }

    // File offset of the row that holds the table's usage map.
    qint64 usageMapOffset(MdbTableDef* t) {
        const int pageSize = int(mdb_->fmt->pg_size);
        mdb_read_pg(mdb_, t->entry->table_pg);
        const quint32 pointer =
            quint32(mdb_get_int32(mdb_->pg_buf, mdb_->fmt->tab_usage_map_offset));
        const quint32 page = pointer >> 8, row = pointer & 0xff;
        mdb_read_pg(mdb_, page);
        const int start =
            mdb_get_int16(mdb_->pg_buf, mdb_->fmt->row_count_offset + 2 + 2 * int(row)) & 0x1fff;
        return qint64(page) * pageSize + start;
    }

    unsigned long tablePage(MdbTableDef* t) const { return t->entry->table_pg; }
    int rowsOffset() const { return mdb_->fmt->tab_num_rows_offset; }
    int rowCountOffset() const { return mdb_->fmt->row_count_offset; }

    // Offset of column `column`'s entry in its table's definition page.
    int columnEntryOffset(MdbTableDef* t, int column) const {
        return mdb_->fmt->tab_cols_start_offset +
               int(t->num_real_idxs) * mdb_->fmt->tab_ridx_entry_size +
               column * mdb_->fmt->tab_col_entry_size;
    }

private:
    QString path_;
    MdbHandle* mdb_ = nullptr;
    std::vector<MdbTableDef*> tables_;
};

// Changes bytes of the file in place (libmdb is closed by then).
void patch(const QString& path, qint64 offset, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset) || f.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot patch %1").arg(path));
}

QByteArray readBytes(const QString& path, qint64 offset, int n) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
        fail(QStringLiteral("cannot read %1").arg(path));
    return f.read(n);
}

void setRecordedRows(const QString& path, int pageSize, unsigned long page, int offset,
                     quint32 rows) {
    patch(path, qint64(page) * pageSize + offset, le32(rows));
}

}  // namespace

QString samplesDir() {
    return QStringLiteral(TESMORA_SOURCE_TESTS "/accessfile/samples");
}

QString sample(const QString& name) {
    return samplesDir() + QLatin1Char('/') + name;
}

QString copyFile(const QString& source, const QString& target) {
    QFile::remove(target);
    if (!QFile::copy(source, target)) fail(QStringLiteral("cannot copy %1").arg(source));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

QString makeValuesFile(const QString& folder) {
    const QString path =
        copyFile(sample(QStringLiteral("testV2003.mdb")), folder + QStringLiteral("/values.mdb"));
    Writer w(path);
    const int pageSize = w.pageSize();
    MdbTableDef* table1 = w.table("Table1");
    auto row1 = [&](const Value& a, const Value& b, const Value& c, const Value& d, const Value& e,
                    const Value& f, const Value& g, const Value& h, bool yes) {
        // A Yes/No value is its not-null bit.
        w.insert(table1, {a, b, c, d, e, f, g, h, yes ? v(QByteArray()) : kNull});
    };
    row1(v(utf16(QStringLiteral("𠮷野家😀"))), v(utf16(QStringLiteral("before 1900"))),
         v(QByteArray(1, char(255))), v(le16(-32768)), v(le32(0x80000000u)),
         v(doubleBytes(-1.5e300)),
         v(doubleBytes(accessDays(QDateTime(QDate(1850, 3, 1), QTime(12, 30))))),
         v(le64(quint64(INT64_MAX))), true);
    row1(v(compressed(QStringLiteral("compressed"))), v(utf16(QStringLiteral("edges"))),
         v(QByteArray(1, char(0))), v(le16(32767)), v(le32(2147483647)), v(doubleBytes(0.1)),
         v(doubleBytes(accessDays(QDateTime(QDate(100, 1, 1), QTime(0, 0))))), v(le64(quint64(-1))),
         false);
    row1(v(utf16(QStringLiteral("nulls"))), kNull, kNull, kNull, kNull, kNull, kNull, kNull, false);
    row1(v(utf16(QStringLiteral("late"))), v(utf16(QStringLiteral("日本語のテキスト"))),
         v(QByteArray(1, char(7))), v(le16(-1)), v(le32(quint32(-5))), v(doubleBytes(1e-300)),
         v(doubleBytes(accessDays(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59))))),
         v(le64(123456789)), true);
    row1(v(utf16(QStringLiteral("deleted"))), v(utf16(QStringLiteral("gone"))), kNull, kNull, kNull,
         kNull, kNull, kNull, false);
    // Deleting flags the row's slot; the row's bytes stay on the page.
    const auto [deletedPage, deletedSlot] = w.findRow(table1, utf16(QStringLiteral("deleted")));

    const unsigned long table1Page = w.tablePage(table1);
    const int rowsOffset = w.rowsOffset(), slotTable = w.rowCountOffset();
    w.close();

    const qint64 slot = qint64(deletedPage) * pageSize + slotTable + 2 + 2 * deletedSlot;
    const QByteArray offset = readBytes(path, slot, 2);
    patch(path, slot, le16((quint8(offset[0]) | quint8(offset[1]) << 8) | 0x8000));
    setRecordedRows(path, pageSize, table1Page, rowsOffset, 2 + 4);
    return path;
}

QString makeAutoNumberFile(const QString& folder) {
    const QString path = copyFile(sample(QStringLiteral("testUnicodeCompV2003.mdb")),
                                  folder + QStringLiteral("/autonumber.mdb"));
    Writer w(path);
    MdbTableDef* table = w.table("Table");
    w.insert(table, {v(le32(20)), v(utf16(QStringLiteral("𩸽と𠮷")))});
    w.insert(table, {v(le32(35)), kNull});
    const unsigned long page = w.tablePage(table);
    const int pageSize = w.pageSize(), rowsOffset = w.rowsOffset();
    w.close();
    setRecordedRows(path, pageSize, page, rowsOffset, 8 + 2);
    return path;
}

QString makeOleFile(const QString& folder) {
    const QString path =
        copyFile(sample(QStringLiteral("testV2003.mdb")), folder + QStringLiteral("/ole.mdb"));
    Writer w(path);
    MdbTableDef* table = w.table("Table1");
    const unsigned long page = w.tablePage(table);
    const int pageSize = w.pageSize(), bColumn = w.columnEntryOffset(table, 1);
    w.close();
    // Table1.B becomes an OLE object column: its type byte leads its entry.
    patch(path, qint64(page) * pageSize + bColumn, QByteArray(1, char(0x0b)));
    return path;
}

QString makeLargeFile(const QString& folder, int rows) {
    const QString path =
        copyFile(sample(QStringLiteral("testV2003.mdb")), folder + QStringLiteral("/large.mdb"));
    const int pageSize = 4096;
    const quint32 firstNewPage = quint32(QFileInfo(path).size() / pageSize);
    Writer w(path);
    MdbTableDef* table = w.table("Table1");
    const quint32 owner = quint32(w.tablePage(table));
    std::vector<quint32> used = w.dataPages(table);
    const size_t mapSize = w.usageMapSize(table);
    const qint64 mapRow = w.usageMapOffset(table);
    const int rowsOffset = w.rowsOffset();

    // Rows laid on new data pages from the end of each page backwards, as
    // Access lays them.
    QByteArray pages, page;
    std::vector<QByteArray> onPage;
    auto flush = [&] {
        if (onPage.empty()) return;
        QByteArray p(pageSize, 0);
        p[0] = 0x01;
        p[1] = 0x01;
        p.replace(4, 4, le32(owner));
        p.replace(0x0c, 2, le16(int(onPage.size())));
        int end = pageSize;
        for (size_t i = 0; i < onPage.size(); ++i) {
            end -= int(onPage[i].size());
            p.replace(end, onPage[i].size(), onPage[i]);
            p.replace(0x0e + 2 * int(i), 2, le16(end));
        }
        p.replace(2, 2, le16(end - (0x0e + 2 * int(onPage.size()))));
        used.push_back(firstNewPage + quint32(pages.size() / pageSize));
        pages += p;
        onPage.clear();
    };
    int room = pageSize - 0x0e;
    for (int i = 0; i < rows; ++i) {
        const QDateTime when(QDate(2000, 1, 1).addDays(i % 9000), QTime(9, 0).addSecs(i % 3600));
        const QByteArray row =
            w.pack(table, {v(utf16(QStringLiteral("行%1").arg(i))),
                           v(utf16(QStringLiteral("名前 %1 番").arg(i * 7))),
                           v(QByteArray(1, char(i % 256))), v(le16(i % 30000)), v(le32(quint32(i))),
                           v(doubleBytes(i * 0.25)), v(doubleBytes(accessDays(when))),
                           v(le64(quint64(qint64(i) * 12345))), i % 2 ? v(QByteArray()) : kNull});
        if (int(row.size()) + 2 > room) {
            flush();
            room = pageSize - 0x0e;
        }
        onPage.push_back(row);
        room -= int(row.size()) + 2;
    }
    flush();
    w.close();

    // A usage map of the second kind: the map row names a bitmap page that
    // marks every data page of the table.
    const quint32 mapPage = firstNewPage + quint32(pages.size() / pageSize);
    QByteArray bitmap(pageSize, 0);
    bitmap[0] = 0x05;
    bitmap[1] = 0x01;
    for (quint32 p : used) bitmap[4 + int(p / 8)] = char(bitmap[4 + int(p / 8)] | (1 << (p % 8)));
    pages += bitmap;
    {
        QFile f(path);
        if (!f.open(QIODevice::Append) || f.write(pages) != pages.size())
            fail(QStringLiteral("append"));
    }
    QByteArray map(int(mapSize), 0);
    map[0] = 0x01;
    map.replace(1, 4, le32(mapPage));
    patch(path, mapRow, map);
    setRecordedRows(path, pageSize, owner, rowsOffset, quint32(2 + rows));
    return path;
}

QString onePageMemo() {
    QString s;
    for (int i = 0; i < 700; ++i) s += QChar(char16_t(0x3042 + i % 80));
    return s;
}

QString manyPagesMemo() {
    QString s;
    for (int i = 0; i < 5000; ++i) s += QChar(char16_t(i % 26 ? 0x4E00 + i % 500 : u'\n'));
    return s + QStringLiteral("𩸽の終わり");
}

QString makeLongValuesFile(const QString& folder) {
    const QString path = copyFile(sample(QStringLiteral("fixedNumericTestV2000.mdb")),
                                  folder + QStringLiteral("/longvalues.mdb"));
    const int pageSize = 4096;
    const qint64 firstNewPage = QFileInfo(path).size() / pageSize;

    // Long-value pages: a data page whose single row runs to the page's end.
    auto lvalPage = [&](const QByteArray& row) {
        QByteArray page(pageSize, 0);
        page[0] = 0x01;
        page[1] = 0x01;
        const int start = pageSize - int(row.size());
        page.replace(0x0c, 2, le16(1));
        page.replace(0x0e, 2, le16(start));
        page.replace(start, row.size(), row);
        return page;
    };
    const QByteArray single = utf16(onePageMemo());
    const QByteArray many = utf16(manyPagesMemo());
    const int chunk = 4000;
    QByteArray pages = lvalPage(single);
    const qint64 manyStart = firstNewPage + 1;
    const int chunks = int((many.size() + chunk - 1) / chunk);
    for (int i = 0; i < chunks; ++i) {
        const quint32 next = i + 1 < chunks ? quint32((manyStart + i + 1) << 8) : 0;
        pages += lvalPage(le32(next) + many.mid(i * chunk, chunk));
    }
    {
        QFile f(path);
        if (!f.open(QIODevice::Append) || f.write(pages) != pages.size())
            fail(QStringLiteral("append"));
    }

    Writer w(path);
    MdbTableDef* test = w.table("test");
    auto memoHeader = [&](quint32 lengthAndFlags, quint32 pageRow) {
        return le32(lengthAndFlags) + le32(pageRow) + le32(0);
    };
    const unsigned __int128 big = (unsigned __int128)999999999999999999ULL;  // 18 digits
    auto numbers = [&](std::initializer_list<QByteArray> six) {
        std::vector<Value> out;
        for (const QByteArray& b : six) out.push_back(v(b));
        return out;
    };
    auto row = [&](const Value& memo, std::vector<Value> decimals) {
        decimals.insert(decimals.begin(), memo);
        w.insert(test, decimals);
    };
    const QByteArray inlineText = compressed(QStringLiteral("inline memo"));
    row(v(memoHeader(0x80000000u | quint32(inlineText.size()), 0) + inlineText),
        numbers({numericBytes(true, big), numericBytes(false, big), numericBytes(false, 0),
                 numericBytes(true, 12345), numericBytes(false, (unsigned __int128)1 << 53),
                 numericBytes(false, ((unsigned __int128)1 << 53) + 1)}));
    row(v(memoHeader(0x40000000u | quint32(single.size()), quint32(firstNewPage << 8))),
        numbers({numericBytes(false, 1), numericBytes(false, 2), numericBytes(false, 3),
                 numericBytes(false, 4), numericBytes(false, 5), numericBytes(false, 6)}));
    row(v(memoHeader(quint32(many.size()), quint32(manyStart << 8))), std::vector<Value>(6, kNull));
    const unsigned long page = w.tablePage(test);
    const int rowsOffset = w.rowsOffset();
    w.close();
    setRecordedRows(path, pageSize, page, rowsOffset, 1 + 3);
    return path;
}

}  // namespace fixtures
