#include "excel/Package.h"

#include <zip.h>
#include <zlib.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "excel/Error.h"

namespace excel {

void Package::ZipCloser::operator()(zip* z) const {
    if (z) zip_discard(z);
}

namespace {

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// Parts named in the archive may carry a leading slash or backslashes in
// archives written by careless tools; compare them in one form.
QString normalise(const QString& part) {
    QString p = part;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.startsWith(QLatin1Char('/'))) p.remove(0, 1);
    return p;
}

}  // namespace

std::unique_ptr<Package> Package::open(const QString& path) {
    if (!QFileInfo(path).isFile())
        throw Error(ErrorCode::FileNotFound, QStringLiteral("file not found: %1").arg(path));
    std::unique_ptr<Package> pkg(new Package);
    pkg->sourcePath_ = path;
    // A workbook of ordinary size is read whole and its parts are inflated
    // from memory; anything our directory reader does not take (zip64,
    // encryption, odd layouts, big files) goes through libzip.
    QFile file(path);
    if (file.size() <= maxRawCopySource && file.open(QIODevice::ReadOnly)) {
        pkg->sourceBytes_ = file.readAll();
        if (pkg->indexFromMemory()) return pkg;
        pkg->sourceBytes_.clear();
        pkg->entries_.clear();
        pkg->index_.clear();
    }
    int code = 0;
    zip* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        throw Error(
            ErrorCode::NotAWorkbook,
            QStringLiteral("%1 is not a workbook package (%2)").arg(path, zipErrorText(code)));
    pkg->source_.reset(z);
    const zip_int64_t count = zip_get_num_entries(z, 0);
    pkg->entries_.reserve(static_cast<size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!name) continue;
        Entry e;
        e.name = normalise(QString::fromUtf8(name));
        e.sourceIndex = i;
        if (e.name.isEmpty() || pkg->index_.count(e.name)) continue;  // duplicates: first wins
        pkg->index_[e.name] = pkg->entries_.size();
        pkg->entries_.push_back(std::move(e));
    }
    return pkg;
}

namespace {

quint16 le16(const QByteArray& b, qint64 at) {
    return quint16(uchar(b[at]) | (uchar(b[at + 1]) << 8));
}
quint32 le32(const QByteArray& b, qint64 at) {
    return quint32(le16(b, at)) | (quint32(le16(b, at + 2)) << 16);
}
void put16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
void put32(QByteArray& b, quint32 v) {
    put16(b, quint16(v & 0xFFFF));
    put16(b, quint16(v >> 16));
}

}  // namespace

namespace {

// Inflates one deflated part piece by piece, checking what the central
// directory declares: the output never grows past the declared size, and
// size and checksum are compared at the end.
class PartInflater {
public:
    PartInflater(const Package::Entry& e, const char* in) : name_(e.name), raw_(e.raw) {
        ok_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
        if (!ok_)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 cannot be inflated").arg(name_));
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
        z_.avail_in = uInt(raw_.compressedSize);
        crc_ = crc32(0, nullptr, 0);
    }
    ~PartInflater() {
        if (ok_) inflateEnd(&z_);
    }
    PartInflater(const PartInflater&) = delete;
    PartInflater& operator=(const PartInflater&) = delete;

    // Fills out with the next bytes; 0 once the stream has ended.
    qsizetype next(char* out, qsizetype capacity) {
        for (;;) {
            if (ended_) return 0;
            z_.next_out = reinterpret_cast<Bytef*>(out);
            z_.avail_out = uInt(capacity);
            const int rc = inflate(&z_, Z_NO_FLUSH);
            const qsizetype produced = capacity - qsizetype(z_.avail_out);
            if ((rc != Z_OK && rc != Z_STREAM_END) || z_.total_out > raw_.size)
                throw Error(ErrorCode::NotAWorkbook,
                            QStringLiteral("part %1 is corrupt").arg(name_));
            ended_ = rc == Z_STREAM_END;
            if (produced > 0) {
                crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(out), uInt(produced));
                return produced;
            }
            if (!ended_ && z_.avail_in == 0)
                throw Error(ErrorCode::NotAWorkbook,
                            QStringLiteral("part %1 is truncated").arg(name_));
        }
    }

    // Size and checksum, once next() returned 0.
    void finish() const {
        if (z_.total_out != raw_.size || quint32(crc_) != raw_.crc)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 fails its checksum").arg(name_));
    }

private:
    QString name_;
    Package::RawEntry raw_;
    z_stream z_{};
    uLong crc_ = 0;
    bool ok_ = false;
    bool ended_ = false;
};

// Runs the inflater on a second thread into a few reused buffers and hands
// each filled one to sink on this thread, in order. An error of either side
// stops both; the inflater's comes after the pieces inflated before it, as
// it would reading in one thread.
void inflateAlongside(PartInflater& inflater, qsizetype chunk,
                      const std::function<void(const char*, qsizetype)>& sink) {
    struct Piece {
        QByteArray buffer;
        qsizetype size = 0;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Piece> free(4), ready;
    for (Piece& p : free) p.buffer = QByteArray(chunk, Qt::Uninitialized);
    bool finished = false, cancelled = false;
    std::exception_ptr failure;

    std::thread producer([&] {
        try {
            for (;;) {
                Piece piece;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return cancelled || !free.empty(); });
                    if (cancelled) break;
                    piece = std::move(free.front());
                    free.pop_front();
                }
                piece.size = inflater.next(piece.buffer.data(), piece.buffer.size());
                if (piece.size == 0) {
                    inflater.finish();
                    break;
                }
                std::lock_guard lock(mutex);
                ready.push_back(std::move(piece));
                changed.notify_all();
            }
        } catch (...) {
            std::lock_guard lock(mutex);
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_all();
    });
    struct Join {
        std::thread& thread;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& cancelled;
        ~Join() {
            {
                std::lock_guard lock(mutex);
                cancelled = true;
            }
            changed.notify_all();
            thread.join();
        }
    } join{producer, mutex, changed, cancelled};

    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return finished || !ready.empty(); });
            if (ready.empty()) break;
            piece = std::move(ready.front());
            ready.pop_front();
        }
        sink(piece.buffer.constData(), piece.size);
        std::lock_guard lock(mutex);
        free.push_back(std::move(piece));
        changed.notify_all();
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

QByteArray Package::inflateRaw(const Entry& e) const {
    const RawEntry& raw = e.raw;
    if (raw.size > quint64(maxPartSize))
        throw Error(ErrorCode::TooLarge,
                    QStringLiteral("part %1 declares %2 bytes, more than the engine reads")
                        .arg(e.name)
                        .arg(raw.size));
    const char* in = sourceBytes_.constData() + raw.dataOffset;
    QByteArray out;
    if (raw.method == 0) {
        if (raw.compressedSize != raw.size)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 has inconsistent sizes").arg(e.name));
        out = QByteArray(in, qsizetype(raw.size));
    } else {
        // The declared size bounds the output: a part that inflates to more
        // than it declares is cut off and refused, never grown into.
        out = QByteArray(qsizetype(raw.size), Qt::Uninitialized);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 cannot be inflated").arg(e.name));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
        z.avail_in = uInt(raw.compressedSize);
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        const int rc = inflate(&z, Z_FINISH);
        const uLong produced = z.total_out;
        inflateEnd(&z);
        if (rc != Z_STREAM_END || produced != raw.size)
            throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is corrupt").arg(e.name));
    }
    if (quint32(crc32(0, reinterpret_cast<const Bytef*>(out.constData()), uInt(out.size()))) !=
        raw.crc)
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("part %1 fails its checksum").arg(e.name));
    return out;
}

bool Package::indexFromMemory() {
    // Any surprise (zip64, encryption, an unknown method, offsets outside
    // the file) returns false, and the caller reads through libzip instead.
    const QByteArray& b = sourceBytes_;
    const qint64 n = b.size();
    auto give_up = [] { return false; };
    qint64 eocd = -1;
    for (qint64 p = n - 22; p >= 0 && p >= n - 22 - 65535; --p)
        if (le32(b, p) == 0x06054b50) {
            eocd = p;
            break;
        }
    if (eocd < 0) return give_up();
    const quint16 count = le16(b, eocd + 10);
    const quint32 cdOffset = le32(b, eocd + 16);
    if (count == 0xFFFF || cdOffset == 0xFFFFFFFF || cdOffset >= quint64(n)) return give_up();
    entries_.reserve(count);
    qint64 p = cdOffset;
    for (quint16 i = 0; i < count; ++i) {
        if (p + 46 > n || le32(b, p) != 0x02014b50) return give_up();
        RawEntry raw;
        raw.flags = le16(b, p + 8);
        raw.method = le16(b, p + 10);
        raw.time = le16(b, p + 12);
        raw.date = le16(b, p + 14);
        raw.crc = le32(b, p + 16);
        raw.compressedSize = le32(b, p + 20);
        raw.size = le32(b, p + 24);
        const quint16 nameLen = le16(b, p + 28), extraLen = le16(b, p + 30),
                      commentLen = le16(b, p + 32);
        const quint32 local = le32(b, p + 42);
        if (p + 46 + nameLen > n || (raw.flags & 1) || (raw.method != 0 && raw.method != 8) ||
            raw.compressedSize == 0xFFFFFFFF || raw.size == 0xFFFFFFFF ||
            quint64(local) + 30 > quint64(n) || le32(b, local) != 0x04034b50)
            return give_up();
        const QString name = normalise(QString::fromUtf8(b.constData() + p + 46, nameLen));
        raw.dataOffset = qint64(local) + 30 + le16(b, local + 26) + le16(b, local + 28);
        if (raw.dataOffset + raw.compressedSize > n) return give_up();
        p += 46 + nameLen + extraLen + commentLen;
        if (name.isEmpty() || name.endsWith(QLatin1Char('/')) || index_.count(name))
            continue;  // first wins
        Entry e;
        e.name = name;
        e.raw = raw;
        index_[name] = entries_.size();
        entries_.push_back(std::move(e));
    }
    return true;
}

std::unique_ptr<Package> Package::create() {
    return std::unique_ptr<Package>(new Package);
}

Package::~Package() = default;

Package::Entry* Package::find(const QString& part) {
    auto it = index_.find(normalise(part));
    if (it == index_.end() || entries_[it->second].removed) return nullptr;
    return &entries_[it->second];
}

const Package::Entry* Package::find(const QString& part) const {
    return const_cast<Package*>(this)->find(part);
}

bool Package::has(const QString& part) const {
    return find(part) != nullptr;
}

QByteArray Package::read(const QString& part) const {
    const Entry* e = find(part);
    if (!e) throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is missing").arg(part));
    if (e->replaced) return e->data;
    if (e->raw.dataOffset >= 0) return inflateRaw(*e);
    zip* z = source_.get();
    const auto idx = static_cast<zip_uint64_t>(e->sourceIndex);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(z, idx, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is unreadable").arg(part));
    if (st.size > static_cast<zip_uint64_t>(maxPartSize))
        throw Error(ErrorCode::TooLarge,
                    QStringLiteral("part %1 declares %2 bytes, more than the engine reads")
                        .arg(part)
                        .arg(st.size));
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(z, idx, 0), zip_fclose);
    if (!file)
        throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 cannot be opened (%2)")
                                                 .arg(part, QString::fromUtf8(zip_strerror(z))));
    QByteArray data(static_cast<qsizetype>(st.size), Qt::Uninitialized);
    qint64 got = 0;
    while (got < data.size()) {
        const zip_int64_t n =
            zip_fread(file.get(), data.data() + got, static_cast<zip_uint64_t>(data.size() - got));
        if (n < 0)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 is corrupt (%2)")
                            .arg(part, QString::fromUtf8(zip_file_strerror(file.get()))));
        if (n == 0) break;
        got += n;
    }
    if (got != data.size())
        throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is truncated").arg(part));
    return data;
}

qint64 Package::declaredSize(const QString& part) const {
    const Entry* e = find(part);
    if (!e) return 0;
    if (e->replaced) return e->data.size();
    return e->raw.dataOffset >= 0 ? qint64(e->raw.size) : 0;
}

bool Package::readableAlongside(const QString& part) const {
    const Entry* e = find(part);
    return e && (e->replaced || e->raw.dataOffset >= 0);
}

void Package::readChunks(const QString& part,
                         const std::function<void(const char*, qsizetype)>& sink) const {
    constexpr qsizetype chunk = 1 << 20;
    const Entry* e = find(part);
    if (!e) throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is missing").arg(part));
    if (e->replaced) {
        sink(e->data.constData(), e->data.size());
        return;
    }
    const RawEntry& raw = e->raw;
    if (raw.dataOffset < 0 || raw.method == 0) {
        // Stored parts and parts read through libzip are rare and small.
        const QByteArray whole = read(part);
        for (qsizetype at = 0; at < whole.size(); at += chunk)
            sink(whole.constData() + at, std::min(chunk, whole.size() - at));
        return;
    }
    if (raw.size > quint64(maxPartSize))
        throw Error(ErrorCode::TooLarge,
                    QStringLiteral("part %1 declares %2 bytes, more than the engine reads")
                        .arg(e->name)
                        .arg(raw.size));
    PartInflater inflater(*e, sourceBytes_.constData() + raw.dataOffset);
    // A large part is inflated on a second thread while the sink reads the
    // pieces already inflated: for a big sheet inflating takes about as
    // long as reading its cells.
    if (raw.size >= 8 * chunk) return inflateAlongside(inflater, chunk, sink);
    QByteArray out(chunk, Qt::Uninitialized);
    while (const qsizetype produced = inflater.next(out.data(), out.size()))
        sink(out.constData(), produced);
    inflater.finish();
}

void Package::write(const QString& part, QByteArray data) {
    const QString name = normalise(part);
    Entry* e = find(name);
    if (!e) {
        auto it = index_.find(name);
        if (it != index_.end()) {
            e = &entries_[it->second];  // written again after a removal
            e->removed = false;
        } else {
            index_[name] = entries_.size();
            Entry fresh;
            fresh.name = name;
            entries_.push_back(std::move(fresh));
            e = &entries_.back();
        }
    }
    e->replaced = true;
    e->data = std::move(data);
    changed_ = true;
}

void Package::remove(const QString& part) {
    if (Entry* e = find(part)) {
        e->removed = true;
        e->data.clear();
        changed_ = true;
    }
}

QStringList Package::parts() const {
    QStringList names;
    for (const Entry& e : entries_)
        if (!e.removed) names << e.name;
    return names;
}

namespace {

// One raw-deflate stream reused for every part we compress, so a save does
// not allocate and clear deflate's window each time.
class Deflater {
public:
    Deflater() {
        ok_ = deflateInit2(&z_, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_) deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    // Appends the compressed data to out; false when zlib fails.
    bool compress(const QByteArray& in, QByteArray& out) {
        if (!ok_ || deflateReset(&z_) != Z_OK) return false;
        const uLong bound = deflateBound(&z_, uLong(in.size()));
        const qsizetype start = out.size();
        out.resize(start + qsizetype(bound));
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
        z_.avail_in = uInt(in.size());
        z_.next_out = reinterpret_cast<Bytef*>(out.data() + start);
        z_.avail_out = uInt(bound);
        const int rc = deflate(&z_, Z_FINISH);
        out.resize(start + qsizetype(bound - z_.avail_out));
        return rc == Z_STREAM_END;
    }

private:
    z_stream z_{};
    bool ok_ = false;
};

QString tempPathBeside(const QFileInfo& target) {
    return QDir(target.absolutePath())
        .filePath(QStringLiteral(".%1.%2.tmp")
                      .arg(target.fileName())
                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

// Writes bytes to a new file beside path and renames it over path.
void replaceFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo target(path);
    const QString temp = tempPathBeside(target);
    QFile f(temp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot create %1").arg(temp));
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        f.close();
        f.remove();
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot write %1").arg(path));
    }
    f.close();
    renameOver(temp, target.absoluteFilePath());
}

}  // namespace

void renameOver(const QString& temp, const QString& target) {
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(target);
    struct stat old;
    if (::stat(to.constData(), &old) == 0) {
        // The group first: chown may clear set-id bits that chmod then restores.
        if (::chown(from.constData(), uid_t(-1), old.st_gid) != 0) {
            // Not a member of that group: the new file keeps ours.
        }
        if (::chmod(from.constData(), old.st_mode & 07777) != 0) {
            QFile::remove(temp);
            throw Error(ErrorCode::WriteFailed,
                        QStringLiteral("cannot set the permissions of %1").arg(target));
        }
    }
    if (std::rename(from.constData(), to.constData()) != 0) {
        QFile::remove(temp);
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot replace %1").arg(target));
    }
}

// The fields that local headers and central directory entries share, from
// the flags to the (empty) extra field's length.
void Package::putEntryFields(QByteArray& b, quint16 flags, const RawEntry& raw,
                             const QByteArray& name) {
    put16(b, flags);
    put16(b, raw.method);
    put16(b, raw.time);
    put16(b, raw.date);
    put32(b, raw.crc);
    put32(b, raw.compressedSize);
    put32(b, raw.size);
    put16(b, quint16(name.size()));
    put16(b, 0);
}

bool Package::saveFast(const QString& path) const {
    static thread_local Deflater deflater;
    qint64 expected = sourceBytes_.size() + 1024;
    for (const Entry& e : entries_)
        if (e.replaced) expected += e.data.size() + 128;
    QByteArray out;
    out.reserve(expected);
    QByteArray central;
    central.reserve(qsizetype(entries_.size()) * 96);
    const QDateTime now = QDateTime::currentDateTime();
    const quint16 dosTime =
        quint16((now.time().hour() << 11) | (now.time().minute() << 5) | (now.time().second() / 2));
    const quint16 dosDate =
        quint16(((now.date().year() - 1980) << 9) | (now.date().month() << 5) | now.date().day());
    quint16 count = 0;
    for (const Entry& e : entries_) {
        if (e.removed) continue;
        if (++count == 0xFFFF || out.size() > 0x7FFFFFFF) return false;  // would need zip64
        const QByteArray name = e.name.toUtf8();
        RawEntry raw = e.raw;
        QByteArray packed;
        const QByteArray* data = nullptr;
        if (e.replaced) {
            raw.crc = quint32(
                crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size())));
            raw.size = quint32(e.data.size());
            raw.time = dosTime;
            raw.date = dosDate;
            raw.flags = 0;
            // Images are compressed already; deflating them again gains nothing.
            if (e.name.startsWith(QLatin1String("xl/media/")) ||
                !deflater.compress(e.data, packed)) {
                raw.method = 0;
                data = &e.data;
            } else {
                raw.method = 8;
                data = &packed;
            }
            raw.compressedSize = quint32(data->size());
        }
        // Sizes and CRC go into the local header, so no data descriptor
        // follows; the UTF-8 name flag is kept, everything else cleared.
        const quint16 flags =
            quint16((raw.flags & 0x0800) | (name != e.name.toLatin1() ? 0x0800 : 0));
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        putEntryFields(out, flags, raw, name);
        out.append(name);
        if (data)
            out.append(*data);
        else
            out.append(sourceBytes_.constData() + raw.dataOffset, raw.compressedSize);

        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        putEntryFields(central, flags, raw, name);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central.append(name);
    }
    const quint32 cdOffset = quint32(out.size());
    out.append(central);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, count);
    put16(out, count);
    put32(out, quint32(central.size()));
    put32(out, cdOffset);
    put16(out, 0);
    replaceFile(path, out);
    return true;
}

void Package::saveTo(const QString& path) const {
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        throw Error(
            ErrorCode::WriteFailed,
            QStringLiteral("folder does not exist: %1").arg(QFileInfo(path).absolutePath()));
    bool rawKnown = true;
    for (const Entry& e : entries_)
        if (!e.removed && !e.replaced && e.raw.dataOffset < 0) rawKnown = false;
    if (rawKnown && saveFast(path)) return;
    saveThroughLibzip(path);
}

void Package::saveThroughLibzip(const QString& path) const {
    const QFileInfo target(path);
    const QString dir = target.absolutePath();
    if (!QFileInfo(dir).isDir())
        throw Error(ErrorCode::WriteFailed, QStringLiteral("folder does not exist: %1").arg(dir));
    // The new archive is written beside the target and renamed over it, so
    // readers never see a half-written workbook.
    const QString temp = tempPathBeside(target);
    const QByteArray tempName = QFile::encodeName(temp);
    int code = 0;
    zip* out = zip_open(tempName.constData(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!out)
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("cannot create %1 (%2)").arg(temp, zipErrorText(code)));
    auto fail = [&](const QString& what) {
        const QString detail = QString::fromUtf8(zip_strerror(out));
        zip_discard(out);
        QFile::remove(temp);
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("cannot write %1: %2 (%3)").arg(path, what, detail));
    };
    for (const Entry& e : entries_) {
        if (e.removed) continue;
        zip_source_t* src = nullptr;
        if (e.replaced) {
            // libzip reads the buffer at zip_close; entries_ outlives that call.
            src = zip_source_buffer(out, e.data.constData(),
                                    static_cast<zip_uint64_t>(e.data.size()), 0);
        } else {
            // Copied in compressed form: no inflate, no deflate.
            src = zip_source_zip(out, source_.get(), static_cast<zip_uint64_t>(e.sourceIndex),
                                 ZIP_FL_COMPRESSED, 0, -1);
        }
        if (!src) fail(e.name);
        const QByteArray name = e.name.toUtf8();
        const zip_int64_t idx = zip_file_add(out, name.constData(), src, ZIP_FL_ENC_UTF_8);
        if (idx < 0) {
            zip_source_free(src);
            fail(e.name);
        }
        if (e.replaced) {
            // Images are compressed already; deflating them again costs time
            // and gains nothing.
            const bool stored = e.name.startsWith(QLatin1String("xl/media/"));
            zip_set_file_compression(out, static_cast<zip_uint64_t>(idx),
                                     stored ? ZIP_CM_STORE : ZIP_CM_DEFAULT, stored ? 0 : 6);
        }
    }
    if (zip_close(out) != 0) fail(QStringLiteral("closing the archive"));
    renameOver(temp, target.absoluteFilePath());
}

QString resolvePartPath(const QString& ownerPart, const QString& target) {
    QString t = target;
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts;
    if (!t.startsWith(QLatin1Char('/'))) {
        parts = ownerPart.split(QLatin1Char('/'));
        parts.removeLast();
    }
    for (const QString& seg : t.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (seg == QLatin1String(".")) continue;
        if (seg == QLatin1String("..")) {
            if (!parts.isEmpty()) parts.removeLast();
        } else {
            parts << seg;
        }
    }
    return parts.join(QLatin1Char('/'));
}

QString relsPartOf(const QString& part) {
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}

QString relativeTarget(const QString& ownerPart, const QString& part) {
    QStringList from = ownerPart.split(QLatin1Char('/'));
    from.removeLast();
    const QStringList to = part.split(QLatin1Char('/'));
    int common = 0;
    while (common < from.size() && common < to.size() - 1 && from[common] == to[common]) ++common;
    QStringList rel;
    for (int i = common; i < from.size(); ++i) rel << QStringLiteral("..");
    for (int i = common; i < to.size(); ++i) rel << to[i];
    return rel.join(QLatin1Char('/'));
}

}  // namespace excel
