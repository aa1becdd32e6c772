#include "accessfile/MdbReader.h"

#include <mdbtools.h>

#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <functional>
#include <set>

#include "accessfile/Header.h"
#include "accessfile/StoredValues.h"

namespace accessfile::detail {

namespace {

// Row-offset flags of a data page: a deleted row, and a stub whose row was
// moved to another page (the scan meets the moved row itself there).
constexpr int kDeletedRow = 0x8000;
constexpr int kMovedRow = 0x4000;
constexpr int kOffsetMask = 0x1fff;
// The catalogue table always starts on this page.
constexpr int kCatalogPage = 2;

[[noreturn]] void damaged(const QString& what) {
    throw Error(Error::Code::Damaged, what);
}

// The encoding names Qt knows for the Windows code pages a Jet 3 file may
// carry; anything unknown reads as Western European, as libmdb assumes.
QByteArray codecForCodePage(int codePage) {
    switch (codePage) {
        case 932:
            return "Shift_JIS";
        case 936:
            return "GBK";
        case 949:
            return "EUC-KR";
        case 950:
            return "Big5";
        case 874:
            return "windows-874";
        default:
            break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "windows-" + QByteArray::number(codePage);
    return "windows-1252";
}

QByteArray iconvNameForCodePage(int codePage) {
    return codePage == 0 ? QByteArray("CP1252") : "CP" + QByteArray::number(codePage);
}

// libmdb decodes a Jet 3 file's names with the character set named in this
// variable; it is set only while the decoder is built.
void useJet3Charset(MdbHandle* mdb, int codePage) {
    const char* old = std::getenv("MDB_JET3_CHARSET");
    const QByteArray saved = old ? QByteArray(old) : QByteArray();
    ::setenv("MDB_JET3_CHARSET", iconvNameForCodePage(codePage).constData(), 1);
    mdb_iconv_close(mdb);
    mdb_iconv_init(mdb);
    if (old)
        ::setenv("MDB_JET3_CHARSET", saved.constData(), 1);
    else
        ::unsetenv("MDB_JET3_CHARSET");
}

QString fromLibmdb(const char* s) {
    return QString::fromUtf8(s);
}

}  // namespace

// ---- the file ---------------------------------------------------------------

struct MdbFile::Impl {
    MdbHandle* mdb = nullptr;
    ~Impl() {
        if (mdb) mdb_close(mdb);
    }
};

MdbFile::MdbFile(const QString& path) : impl_(std::make_unique<Impl>()) {
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        throw Error(Error::Code::Unreadable, QStringLiteral("cannot read %1").arg(path));
    const HeaderInfo header = readHeader(f.read(32));
    if (header.format == Format::NotAccess)
        throw Error(Error::Code::NotAccess, QStringLiteral("not an Access database: %1").arg(path));
    if (header.version > MDB_VER_ACCDB_2019)
        throw Error(Error::Code::Unsupported,
                    QStringLiteral("file format version %1 is not known").arg(header.version));
    // Access writes whole pages; anything else was cut short or padded.
    const qint64 size = f.size();
    if (size < qint64(header.pageSize) * (kCatalogPage + 1) || size % header.pageSize != 0)
        damaged(QStringLiteral("the file is %1 bytes long, not a whole number of %2-byte pages")
                    .arg(size)
                    .arg(header.pageSize));
    f.close();
    format_ = header.format;

    impl_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!impl_->mdb)
        throw Error(Error::Code::Unreadable, QStringLiteral("libmdb cannot open %1").arg(path));
    MdbHandle* mdb = impl_->mdb;
    // The catalogue's definition page must look like one. Pages encrypted
    // with a password (ACE) or overwritten do not.
    if (mdb_read_pg(mdb, kCatalogPage) != mdb->fmt->pg_size || mdb->pg_buf[0] != MDB_PAGE_TABLE) {
        if (format_ == Format::Ace)
            throw Error(Error::Code::Encrypted,
                        QStringLiteral("the pages of %1 are encrypted").arg(path));
        damaged(QStringLiteral("the catalogue page of %1 is not a table definition").arg(path));
    }
    const int codePage = mdb->f->code_page;
    if (format_ == Format::Jet3) {
        useJet3Charset(mdb, codePage);
        codePage_ = QStringDecoder(codecForCodePage(codePage).constData(),
                                   QStringConverter::Flag::Stateless);
    }
    if (!mdb_read_catalog(mdb, MDB_ANY) || mdb->num_catalog == 0)
        damaged(QStringLiteral("the catalogue of %1 cannot be read").arg(path));
    readObjects();
}

MdbFile::~MdbFile() = default;

QString MdbFile::text(const unsigned char* p, qsizetype size) const {
    if (format_ != Format::Jet3) return stored::jet4Text(p, size);
    if (!codePage_.isValid()) return QString::fromLatin1(reinterpret_cast<const char*>(p), size);
    return codePage_.decode(QByteArrayView(reinterpret_cast<const char*>(p), size));
}

void MdbFile::readObjects() {
    TableCursor cursor(*this, QStringLiteral("MSysObjects"));
    const int id = cursor.columnIndex(QStringLiteral("Id"));
    const int name = cursor.columnIndex(QStringLiteral("Name"));
    const int type = cursor.columnIndex(QStringLiteral("Type"));
    const int flags = cursor.columnIndex(QStringLiteral("Flags"));
    const int connect = cursor.columnIndex(QStringLiteral("Connect"));
    if (id < 0 || name < 0 || type < 0)
        damaged(QStringLiteral("the catalogue table lacks its Id, Name or Type column"));
    auto integer = [&](int c) -> qint64 {
        if (c < 0 || cursor.isNull(c)) return 0;
        if (cursor.size(c) >= 4) return stored::int32At(cursor.data(c));
        if (cursor.size(c) >= 2) return stored::int16At(cursor.data(c));
        return 0;
    };
    while (cursor.next()) {
        CatalogObject o;
        o.id = integer(id);
        o.type = int(integer(type));
        o.flags = integer(flags);
        if (!cursor.isNull(name)) o.name = text(cursor.data(name), cursor.size(name));
        if (connect >= 0 && !cursor.isNull(connect)) {
            const QByteArray bytes = cursor.longValue(connect);
            o.connect =
                text(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
        }
        objects_.push_back(o);
    }
}

// ---- one table --------------------------------------------------------------

struct TableCursor::Impl {
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;
    std::vector<MdbField> fields;
    ~Impl() {
        if (table) mdb_free_tabledef(table);
    }
};

namespace {

MdbCatalogEntry* catalogEntry(MdbHandle* mdb, const std::function<bool(MdbCatalogEntry*)>& match) {
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && match(entry)) return entry;
    }
    return nullptr;
}

}  // namespace

TableCursor::TableCursor(MdbFile& file, const QString& systemTableName)
    : file_(file), name_(systemTableName), impl_(std::make_unique<Impl>()) {
    impl_->mdb = file.impl_->mdb;
    const QByteArray wanted = systemTableName.toUtf8();
    MdbCatalogEntry* entry = catalogEntry(
        impl_->mdb, [&](MdbCatalogEntry* e) { return wanted == QByteArray(e->object_name); });
    if (!entry) damaged(QStringLiteral("the file has no table %1").arg(systemTableName));
    open(entry);
}

TableCursor::TableCursor(MdbFile& file, const CatalogObject& table)
    : file_(file), name_(table.name), impl_(std::make_unique<Impl>()) {
    impl_->mdb = file.impl_->mdb;
    // The catalogue object's Id carries the page of its definition.
    const unsigned long page = static_cast<unsigned long>(table.id & 0x00FFFFFF);
    MdbCatalogEntry* entry =
        catalogEntry(impl_->mdb, [&](MdbCatalogEntry* e) { return e->table_pg == page; });
    if (!entry) damaged(QStringLiteral("table %1 has no definition page").arg(table.name));
    open(entry);
}

void TableCursor::open(void* rawEntry) {
    auto* entry = static_cast<MdbCatalogEntry*>(rawEntry);
    impl_->table = mdb_read_table(entry);
    if (!impl_->table)
        damaged(QStringLiteral("the definition of table %1 cannot be read").arg(name_));
    MdbTableDef* t = impl_->table;
    if (!mdb_read_columns(t) || t->num_cols == 0 || t->num_cols > MDB_MAX_COLS)
        damaged(QStringLiteral("the columns of table %1 cannot be read").arg(name_));
    mdb_read_indices(t);
    for (unsigned i = 0; i < t->num_cols; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        Column col;
        col.name = fromLibmdb(c->name);
        col.type = c->col_type;
        col.size = c->col_size;
        col.fixed = c->is_fixed;
        col.autoNumber = c->is_long_auto && c->col_type == MDB_LONGINT;
        col.guidAutoNumber = c->is_uuid_auto;
        // libmdb keeps a Numeric column's precision in col_scale and its
        // scale in col_prec (its own schema and export read them that way).
        col.precision = c->col_scale;
        col.scale = c->col_prec;
        columns_.push_back(col);
    }
    impl_->fields.resize(t->num_cols);
}

TableCursor::~TableCursor() = default;

int TableCursor::columnIndex(const QString& name) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

QStringList TableCursor::primaryKey() const {
    MdbTableDef* t = impl_->table;
    QStringList out;
    if (!t->indices) return out;
    for (unsigned i = 0; i < t->num_idxs; ++i) {
        auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
        if (idx->index_type != 1) continue;  // 1 marks the primary key
        for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
            const int column = idx->key_col_num[k] - 1;  // numbered from 1
            if (column >= 0 && column < int(columns_.size())) out << columns_[size_t(column)].name;
        }
        break;
    }
    return out;
}

qint64 TableCursor::recordedRows() const {
    return impl_->table->num_rows;
}

bool TableCursor::next() {
    if (finished_) return false;
    MdbTableDef* t = impl_->table;
    MdbHandle* mdb = impl_->mdb;
    if (!started_) {
        started_ = true;
        mdb_rewind_table(t);
        t->cur_pg_num = 1;
        t->cur_row = 0;
        if (!mdb_read_next_dpg(t)) {
            finished_ = true;
            return false;
        }
    }
    for (;;) {
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        if (t->cur_row >= unsigned(rows)) {
            t->cur_row = 0;
            if (!mdb_read_next_dpg(t)) {
                finished_ = true;
                return false;
            }
            continue;
        }
        const int row = int(t->cur_row++);
        int start = 0;
        size_t length = 0;
        if (mdb_find_row(mdb, row, &start, &length) != 0)
            damaged(QStringLiteral("table %1: row %2 of page %3 points outside its page")
                        .arg(name_)
                        .arg(row)
                        .arg(t->cur_phys_pg));
        if (length == 0 || (start & (kDeletedRow | kMovedRow))) continue;
        start &= kOffsetMask;
        if (mdb_crack_row(t, start, length, impl_->fields.data()) < 0)
            damaged(QStringLiteral("table %1: row %2 of page %3 cannot be read")
                        .arg(name_)
                        .arg(row)
                        .arg(t->cur_phys_pg));
        ++rowsRead_;
        return true;
    }
}

bool TableCursor::isNull(int c) const {
    const MdbField& f = impl_->fields[size_t(c)];
    if (columns_[size_t(c)].type == kBool) return false;
    return f.is_null || !f.value;
}

bool TableCursor::boolValue(int c) const {
    // A Yes/No value lives in the row's null mask: the bit set means Yes.
    return !impl_->fields[size_t(c)].is_null;
}

const unsigned char* TableCursor::data(int c) const {
    return static_cast<const unsigned char*>(impl_->fields[size_t(c)].value);
}

int TableCursor::size(int c) const {
    return impl_->fields[size_t(c)].siz;
}

QByteArray TableCursor::longValue(int c) const {
    const unsigned char* p = data(c);
    const int n = size(c);
    if (!p || n == 0) return {};
    if (n < MDB_MEMO_OVERHEAD)
        damaged(QStringLiteral("table %1, column %2: a long value's header is cut short")
                    .arg(name_, columns_[size_t(c)].name));
    const quint32 header = stored::uint32At(p);
    const quint32 length = header & 0x3FFFFFFF;
    if (header & 0x80000000)  // the value follows its header within the row
        return QByteArray(reinterpret_cast<const char*>(p + MDB_MEMO_OVERHEAD),
                          qMin<qsizetype>(n - MDB_MEMO_OVERHEAD, length));
    MdbHandle* mdb = impl_->mdb;
    auto fail = [&](const QString& why) {
        damaged(
            QStringLiteral("table %1, column %2: %3").arg(name_, columns_[size_t(c)].name, why));
    };
    // A long value is at most 1 GB; its pages are read one after another.
    QByteArray out;
    quint32 pageRow = stored::uint32At(p + 4);
    if (header & 0x40000000) {  // one page holds all of it
        void* buf = nullptr;
        int start = 0;
        size_t rowLength = 0;
        if (mdb_find_pg_row(mdb, int(pageRow), &buf, &start, &rowLength) != 0)
            fail(QStringLiteral("its page cannot be read"));
        if (rowLength < length) fail(QStringLiteral("its page holds less than its length"));
        return QByteArray(static_cast<const char*>(buf) + start, qsizetype(length));
    }
    if (header & 0xC0000000) fail(QStringLiteral("unknown long-value flags"));
    std::set<quint32> seen;
    while (pageRow != 0 && quint32(out.size()) < length) {
        if (!seen.insert(pageRow).second) fail(QStringLiteral("its pages form a loop"));
        void* buf = nullptr;
        int start = 0;
        size_t rowLength = 0;
        if (mdb_find_pg_row(mdb, int(pageRow), &buf, &start, &rowLength) != 0 || rowLength < 4)
            fail(QStringLiteral("one of its pages cannot be read"));
        const auto* row = static_cast<const unsigned char*>(buf) + start;
        pageRow = stored::uint32At(row);
        const qsizetype take = qMin<qsizetype>(qsizetype(rowLength) - 4, length - out.size());
        out.append(reinterpret_cast<const char*>(row + 4), take);
    }
    if (quint32(out.size()) != length) fail(QStringLiteral("its pages hold less than its length"));
    return out;
}

}  // namespace accessfile::detail
