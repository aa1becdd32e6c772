#include "documents/CardView.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "db/Db.h"
#include "excel/TUGExcel.h"
#include "excel/window/Waits.h"
#include "platform/Services.h"
#include "text/Text.h"

namespace documents {

const QString kCardStopped = QStringLiteral("文書編集の中止");

namespace {

// A link binding names at most this many characters of fields.
constexpr int kMaxLinkBinding = 500;

CardValue stored(QVariant v) {
    return {CardValue::Kind::Store, std::move(v)};
}

template <class T>
CardValue storedOrNull(const std::optional<T>& v) {
    if (!v) return {CardValue::Kind::Null, {}};
    return stored(QVariant::fromValue(*v));
}

// The work copy's state on disk: a save in the sheet window rewrites the
// file, which changes its time, its bytes, or both.
struct FileStamp {
    QDateTime modified;
    QByteArray digest;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path) {
    FileStamp stamp;
    QFileInfo info(path);
    info.refresh();
    stamp.modified = info.lastModified();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&file);
        stamp.digest = hash.result();
    }
    return stamp;
}

// The trimmed text of a field of the current record; "" when the record has
// no such field (removed from the table since the binding was made).
QString trimmedFieldText(db::DataSet& record, const QString& name) {
    const std::optional<db::Field> f = record.findField(name);
    return f ? text::trimBlanksAndControls(f->asString()) : QString();
}

// Makes the private work copy of the template; "" after telling the user
// why there is none.
QString makeWorkCopy(const QString& templatePath, const QTemporaryDir& folder,
                     platform::Services& services, QWidget* caller) {
    const QFileInfo source(templatePath);
    if (!source.isFile()) {
        services.message(caller, QStringLiteral("ファイルがありません"), kCardStopped);
        return {};
    }
    const QString copy = folder.isValid() ? folder.filePath(source.fileName()) : QString();
    // A copy that came out short (a full disk) would show the user a damaged
    // or empty card.
    if (copy.isEmpty() || !QFile::copy(templatePath, copy) ||
        QFileInfo(copy).size() != source.size()) {
        services.message(caller, QStringLiteral("作業ファイルを作成できません"), kCardStopped);
        return {};
    }
    // A read-only template gives a read-only copy, which the user could not
    // save from the sheet window.
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return copy;
}

// Writes every binding into the card sheet, in list order, and returns the
// text each read-back cell holds afterwards: the text the user's changes
// are measured against.
std::map<QString, QString> fillCard(excel::TUGExcel& excel, const CardJob& job,
                                    db::DataSet& record) {
    for (const FLinkData& link : job.bindings) {
        const QString& field = link.BoundField;
        if (link.Cell.startsWith(QLatin1Char('#'))) {
            excel.ReplacePicture(cardPictureName(link.Cell), trimmedFieldText(record, field));
        } else if (field == QStringLiteral("!日付")) {
            excel.SetCell(link.Cell, text::formatShortDate(QDate::currentDate()));
        } else if (field == QStringLiteral("!通し番号")) {
            excel.SetCell(link.Cell, QString());
        } else if (field.startsWith(QLatin1Char('%'))) {
            const CardLink parsed = parseLinkBinding(field);
            const QString target = trimmedFieldText(record, parsed.linkField);
            const QString display = parsed.ownDisplayText
                                        ? trimmedFieldText(record, parsed.displayField)
                                        : excel.GetCell(link.Cell);
            if (isFileLink(target))
                excel.AddHyperlink(link.Cell, target, display);
            else
                excel.SetCell(link.Cell, target);
        } else if (indexOfField(job.fields, field) >= 0) {
            const std::optional<db::Field> f = record.findField(field);
            excel.SetCell(link.Cell, f ? f->asString() : QString());
        } else {
            excel.SetCell(link.Cell, QString());
        }
    }
    std::map<QString, QString> shown;
    for (const FLinkData& link : job.bindings)
        if (isReadBackBinding(link, job.fields))
            shown[link.Cell.toUpper()] = excel.GetCell(link.Cell);
    return shown;
}

struct FieldChange {
    QString field;
    CardValue value;
};

// The fields whose cells the user changed, read from the card sheet of the
// saved work copy. nullopt (after telling the user) when the sheet is gone.
std::optional<std::vector<FieldChange>> readChanges(excel::TUGExcel& excel, const CardJob& job,
                                                    const std::map<QString, QString>& shown,
                                                    platform::Services& services, QWidget* caller,
                                                    const QString& workCopy) {
    excel.OpenBook(workCopy, false);
    // The user may have saved with another sheet in front, or renamed or
    // deleted the card sheet; only the card sheet holds the record's cells.
    if (!excel.SelectSheet(job.sheet)) {
        excel.CloseBook(false);
        services.message(caller, QStringLiteral("シートがありません"), kCardStopped);
        return std::nullopt;
    }
    std::vector<FieldChange> changes;
    for (const FLinkData& link : job.bindings) {
        if (!isReadBackBinding(link, job.fields)) continue;
        const auto before = shown.find(link.Cell.toUpper());
        const QString now = excel.GetCell(link.Cell);
        // A cell the user left alone keeps the record's value as stored: its
        // text as the sheet shows it ("2024/03/05" for a stored "2024-03-05")
        // is not what the record holds.
        if (before != shown.end() && before->second == now) continue;
        const int type = job.fields[size_t(indexOfField(job.fields, link.BoundField))].typeCode;
        CardValue value = cardCellValue(type, now);
        if (value.kind == CardValue::Kind::Untouched) continue;
        changes.push_back({link.BoundField, std::move(value)});
    }
    excel.CloseBook(false);
    return changes;
}

// Writes the changes into the current record as one post; a refused write
// (a value the field cannot hold, a duplicate key) leaves the record as it
// was and reaches the caller.
int writeChanges(db::DataSet& record, const std::vector<FieldChange>& changes) {
    record.edit();
    int written = 0;
    try {
        for (const FieldChange& change : changes) {
            std::optional<db::Field> f = record.findField(change.field);
            if (!f || !f->canModify()) continue;
            if (change.value.kind == CardValue::Kind::Null)
                f->clear();
            else
                f->setValue(change.value.value);
            ++written;
        }
        record.post();
    } catch (...) {
        record.cancel();
        throw;
    }
    return written;
}

}  // namespace

CardValue cardCellValue(int typeCode, const QString& text) {
    switch (typeCode) {
        case db::ftSmallint:
            return storedOrNull(text::parseInteger(text, -32768, 32767));
        case db::ftInteger:
            return storedOrNull(text::parseInteger(text, INT32_MIN, INT32_MAX));
        case db::ftByte:
            return storedOrNull(text::parseInteger(text, 0, 255));
        case db::ftBoolean:
            if (text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) return stored(true);
            if (text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
                return stored(false);
            return {CardValue::Kind::Null, {}};
        case db::ftFloat:
            return storedOrNull(text::parseDouble(text));
        case db::ftCurrency:
            return storedOrNull(text::parseCurrency(text));
        case db::ftDateTime:
            return storedOrNull(text::parseDateTime(text));
        case db::ftText:
            return stored(text);
        default:
            return {};
    }
}

CardLink parseLinkBinding(const QString& boundField) {
    const QString rest = boundField.mid(1).left(kMaxLinkBinding);
    const qsizetype split = rest.indexOf(QLatin1Char('%'));
    if (split < 0) return {rest, QString(), false};
    return {rest.left(split), rest.mid(split + 1), true};
}

bool isFileLink(const QString& link) {
    if (link.startsWith(QStringLiteral("\\\\"))) return true;
    if (link.mid(1, 2) == QStringLiteral(":\\")) return true;
    return link.startsWith(QLatin1Char('/'));
}

QString cardPictureName(const QString& cell) {
    return QStringLiteral("Picture ") + cell.mid(1).section(QLatin1Char(','), 0, 0).trimmed();
}

bool isReadBackBinding(const FLinkData& link, const FieldList& fields) {
    return !link.Cell.isEmpty() && !link.Cell.startsWith(QLatin1Char('#')) &&
           indexOfField(fields, link.BoundField) >= 0;
}

CardResult runCardView(const CardJob& job, db::DataSet& record, const QString& progId,
                       platform::Services& services, QWidget* caller) {
    CardResult result;
    if (!record.active() || record.recNo() < 0) return result;
    // The folder, and the copy in it, go when this function is left in any
    // way; the workbook object below is destroyed (and its window closed)
    // before them.
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tesmora-card-XXXXXX"));
    const QString workCopy = makeWorkCopy(job.templatePath, folder, services, caller);
    if (workCopy.isEmpty()) return result;
    result.workCopy = workCopy;
    const FileStamp before = stampOf(workCopy);
    const db::DataSet::Bookmark shownRecord = record.bookmark();

    excel::TUGExcel excel(progId);
    excel.OpenBook(workCopy, true);
    if (!excel.SelectSheet(job.sheet)) {
        excel.CloseBook(false);
        services.message(caller, QStringLiteral("シートがありません"), kCardStopped);
        return result;
    }
    const std::map<QString, QString> shown = fillCard(excel, job, record);
    result.shown = true;
    excel::window::waitUntilClosed(excel, caller);
    excel.CloseBook(false);

    result.saved = !(stampOf(workCopy) == before);
    if (!result.saved || !job.writeBack) return result;
    const auto changes = readChanges(excel, job, shown, services, caller, workCopy);
    if (!changes || changes->empty()) return result;
    // The card belongs to the record it was opened on.
    if (record.bookmark() != shownRecord && !record.gotoBookmark(shownRecord)) return result;
    result.fieldsWritten = writeChanges(record, *changes);
    return result;
}

}  // namespace documents
