#include "excel/Package.h"

#include <zip.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cstdio>

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
    int code = 0;
    zip* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        throw Error(
            ErrorCode::NotAWorkbook,
            QStringLiteral("%1 is not a workbook package (%2)").arg(path, zipErrorText(code)));
    std::unique_ptr<Package> pkg(new Package);
    pkg->source_.reset(z);
    pkg->sourcePath_ = path;
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

void Package::saveTo(const QString& path) const {
    const QFileInfo target(path);
    const QString dir = target.absolutePath();
    if (!QFileInfo(dir).isDir())
        throw Error(ErrorCode::WriteFailed, QStringLiteral("folder does not exist: %1").arg(dir));
    // The new archive is written beside the target and renamed over it, so
    // readers never see a half-written workbook.
    const QString temp = QDir(dir).filePath(
        QStringLiteral(".%1.%2.tmp")
            .arg(target.fileName())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
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
    if (std::rename(tempName.constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        QFile::remove(temp);
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot replace %1").arg(path));
    }
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
