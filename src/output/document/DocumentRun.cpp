#include "output/document/DocumentRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>

#include "db/Db.h"
#include "documents/Bindings.h"
#include "excel/TUGExcel.h"
#include "output/document/FileNames.h"
#include "output/document/PrintLog.h"
#include "text/Text.h"

namespace docoutput {

Mode modeForBase(const QString& base) {
    if (base.isEmpty()) return Mode::Print;
    if (base == kPreviewBase) return Mode::Preview;
    return Mode::Save;
}

bool acceptedExtension(const QString& extension) {
    return extension == QLatin1String(".xls") || extension == QLatin1String(".xlsx");
}

QString hyperlinkTarget(const QString& text) {
    static const QRegularExpression web(QStringLiteral("^(https?|ftp)://\\S+$|^mailto:\\S+$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (text.startsWith(QLatin1String("\\\\"))) {
        QString rest = text.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return rest.isEmpty() ? QString() : QStringLiteral("smb://") + rest;
    }
    if (text.mid(1, 2) == QLatin1String(":\\")) return text;  // a drive path
    if (text.startsWith(QLatin1Char('/')) && text.size() > 1) return text;
    if (web.match(text).hasMatch()) return text;
    return {};
}

RunFailure::RunFailure(int record, QString label, QString detail)
    : std::runtime_error(detail.toStdString()),
      record(record),
      label(std::move(label)),
      detail(std::move(detail)) {}

namespace {

enum class Kind { Picture, Date, Serial, Hyperlink, Field, Empty };

// Removes a file we made; a file that is not there is no failure.
void removeFile(const QString& path) {
    if (!path.isEmpty() && QFileInfo::exists(path)) QFile::remove(path);
}

// The template copied over target, replacing it; throws excel::Error when
// the copy cannot be made whole.
void copyTemplate(const QString& from, const QString& target) {
    removeFile(target);
    if (!QFile::copy(from, target)) {
        removeFile(target);
        throw excel::Error(excel::ErrorCode::WriteFailed,
                           QStringLiteral("cannot copy %1 to %2").arg(from, target));
    }
    // The copy must be writable even when the template is not.
    QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
}

}  // namespace

struct DocumentRun::Binding {
    Kind kind = Kind::Empty;
    QString cell;
    int column = -1;         // the field's column in the records, -1 none
    int displayColumn = -1;  // hyperlink shown text (Display::Field)
    bool displayFromCell = false;
    bool memo = false;
    QStringList pictures;
};

DocumentRun::DocumentRun(excel::TUGExcel& excel, db::DataSet& records,
                         documents::LinkList& bindings, const RunSettings& settings)
    : excel_(excel), records_(records), links_(bindings), settings_(settings) {
    auto columnOf = [this](const QString& name) {
        const auto f = records_.findField(name);
        return f ? f->index() : -1;
    };
    const bool printing = settings_.mode == Mode::Print;
    for (documents::FLinkData& link : links_) {
        Binding b;
        b.cell = link.Cell;
        if (documents::isPictureCell(link.Cell)) {
            link.PictureNumbers = link.Cell.mid(1).left(500).split(QLatin1Char(','));
            b.kind = Kind::Picture;
            b.pictures = *link.PictureNumbers;
            b.column = columnOf(link.BoundField);
        } else if (link.BoundField == documents::kDateField) {
            b.kind = Kind::Date;
        } else if (link.BoundField == documents::kSerialField && printing) {
            b.kind = Kind::Serial;
        } else if (link.BoundField.startsWith(QLatin1Char('%'))) {
            const documents::Hyperlink h = documents::parseHyperlink(link.BoundField.left(501));
            b.kind = Kind::Hyperlink;
            b.column = columnOf(h.linkField);
            b.displayFromCell = h.display == documents::Hyperlink::Display::CellText;
            if (!b.displayFromCell) b.displayColumn = columnOf(h.displayField);
        } else {
            const int eligible = documents::indexOfField(settings_.eligibleFields, link.BoundField);
            b.kind = Kind::Field;
            if (eligible >= 0) {
                b.column = columnOf(link.BoundField);
                b.memo = settings_.eligibleFields[size_t(eligible)].typeCode == db::ftMemo;
            }
        }
        bindings_.push_back(std::move(b));
    }
    nameColumn_ = settings_.nameField.isEmpty() ? -1 : columnOf(settings_.nameField);
    logColumn_ = settings_.logField.isEmpty() ? -1 : columnOf(settings_.logField);
    if (settings_.mode == Mode::Save)
        names_ = std::make_unique<OutputNames>(settings_.base, settings_.extension, settings_.web,
                                               settings_.templatePath);
    if (!settings_.block.usesBlocks()) {
        xStart_ = 0;
        yStart_ = 0;
    } else {
        xStart_ = settings_.block.XStart;
        yStart_ = settings_.block.YStart;
    }
}

DocumentRun::~DocumentRun() {
    for (documents::FLinkData& link : links_) link.PictureNumbers.reset();
}

QString DocumentRun::fieldText(int column) const {
    if (column < 0 || row_ < 0) return {};
    return db::valueText(records_.valueAt(row_, column), records_.field(column).dataType());
}

QString DocumentRun::recordLabel() const {
    const int column = nameColumn_ >= 0 ? nameColumn_ : logColumn_;
    return text::trimBlanksAndControls(fieldText(column));
}

void DocumentRun::run(const std::vector<int>& rows) {
    const int n = int(rows.size());
    const int xSections = std::max(1, settings_.block.XSection);
    const int ySections = std::max(1, settings_.block.YSection);
    const bool preview = settings_.mode == Mode::Preview;
    int f = 0;
    int e = 0;
    int l = 0;
    if (names_) names_->clear();
    try {
        for (; l < n; ++l) {
            if (progress) progress(l + 1, n);
            row_ = rows[size_t(l)];
            records_.moveTo(row_);
            if (f == 0 && e == 0) beginSheet(l);
            writeBlock(f, e);
            if (++f == xSections) {
                f = 0;
                if (++e == ySections) {
                    e = 0;
                    if (preview) return;  // the first sheet stays open, nothing logged
                    finishSheet();
                }
            }
        }
        if (f != 0 || e != 0) {
            clearUnusedBlocks(f, e);
            if (!preview) finishSheet();
        }
        if (log) log->flush();
    } catch (const std::exception& error) {
        const QString label = recordLabel();
        abandonSheet();
        // The rows of the sheets that were written stay.
        if (log) {
            try {
                log->flush();
            } catch (...) {
            }
        }
        throw RunFailure(std::min(l, n - 1) + 1, label, QString::fromUtf8(error.what()));
    }
    if (settings_.mode == Mode::Print) removeFile(settings_.workFile);
}

void DocumentRun::beginSheet(int record) {
    Q_UNUSED(record);
    serialAtSheet_ = SerialNumber;
    pending_.clear();
    if (settings_.mode == Mode::Save) {
        output_ = names_->pathFor(names_->FileNameSuffix(fieldText(nameColumn_)));
        // The sheet is built in a hidden copy beside its file and takes the
        // file's name only once it is complete, so a failure never leaves a
        // half-made file nor destroys one of an earlier run.
        const QFileInfo info(output_);
        workingCopy_ = info.absolutePath() + QStringLiteral("/.~") + info.fileName();
    } else {
        output_ = settings_.workFile;
        workingCopy_ = settings_.workFile;
    }
    if (QFileInfo(output_).absoluteFilePath() == QFileInfo(settings_.templatePath).absoluteFilePath())
        throw excel::Error(excel::ErrorCode::WriteFailed,
                           QStringLiteral("%1 is the template itself").arg(output_));
    copyTemplate(settings_.templatePath, workingCopy_);
    excel_.OpenBook(workingCopy_, false);
    if (!excel_.SelectSheet(settings_.templateSheet))
        throw excel::Error(excel::ErrorCode::NotAWorkbook,
                           QStringLiteral("%1 has no sheet \"%2\"")
                               .arg(settings_.templatePath, settings_.templateSheet));
    maxRow_ = 1;
}

void DocumentRun::writeBlock(int f, int e) {
    const documents::BlockSettings& block = settings_.block;
    const int pictureIndex = e * std::max(1, block.XSection) + f;
    bool serialUsed = false;
    for (const Binding& b : bindings_) {
        QString target;
        if (b.kind == Kind::Picture) {
            // A figure binding with fewer numbers than blocks has no picture
            // in the blocks past its list.
            if (pictureIndex >= b.pictures.size()) continue;
            target = QStringLiteral("Picture ") + b.pictures[pictureIndex];
        } else {
            target = excel_.OffsetCell(b.cell, f * block.XIncrement + xStart_,
                                       e * block.YIncrement + yStart_);
            if (target.isEmpty()) continue;  // the block reaches past column IV
            maxRow_ = excel_.MaxRow(maxRow_, target);
        }
        switch (b.kind) {
            case Kind::Picture:
                excel_.ReplacePicture(target, text::trimBlanksAndControls(fieldText(b.column)));
                break;
            case Kind::Date:
                excel_.SetCell(target, settings_.today);
                break;
            case Kind::Serial:
                excel_.SetCell(target, QString::number(SerialNumber));
                serialUsed = true;
                break;
            case Kind::Hyperlink: {
                const QString text = text::trimBlanksAndControls(fieldText(b.column));
                const QString display = b.displayFromCell
                                            ? excel_.GetCell(target)
                                            : text::trimBlanksAndControls(fieldText(b.displayColumn));
                const QString link = hyperlinkTarget(text);
                if (link.isEmpty())
                    excel_.SetCell(target, text);
                else
                    excel_.AddHyperlink(target, link, display);
                break;
            }
            case Kind::Field: {
                const QString text = fieldText(b.column);
                excel_.SetCell(target, b.memo ? text : text::trimBlanksAndControls(text));
                break;
            }
            case Kind::Empty:
                excel_.SetCell(target, QString());
                break;
        }
    }
    if (settings_.mode != Mode::Preview && logColumn_ >= 0 && log) {
        pending_.push_back({serialUsed ? SerialNumber : -1,
                            text::trimBlanksAndControls(fieldText(logColumn_))});
    } else if (settings_.mode != Mode::Preview && !settings_.logField.isEmpty() && log) {
        // The log field is gone from the records: the row names no target.
        pending_.push_back({serialUsed ? SerialNumber : -1, QString()});
    }
    if (serialUsed) ++SerialNumber;
}

void DocumentRun::clearUnusedBlocks(int f, int e) {
    const documents::BlockSettings& block = settings_.block;
    const int xSections = std::max(1, block.XSection);
    const int ySections = std::max(1, block.YSection);
    const int firstRow = maxRow_ + 1;
    auto clearBlock = [&](int bf, int be) {
        const qint64 left = 1 + qint64(bf) * block.XIncrement + xStart_;
        const qint64 top = 1 + qint64(be) * block.YIncrement + yStart_;
        // A block reaching past column IV is cleared up to IV.
        const qint64 right = std::min<qint64>(256, left + block.XIncrement - 1);
        const qint64 bottom = top + block.YIncrement - 1;
        const qint64 from = std::max<qint64>(top, firstRow);
        if (left <= 256 && from <= bottom) {
            excel_.SetCell(excel_.ColumnName(int(left)) + QString::number(from) + QLatin1Char(':') +
                               excel_.ColumnName(int(right)) + QString::number(bottom),
                           QString());
        }
        const int index = be * xSections + bf;
        for (const Binding& b : bindings_)
            if (b.kind == Kind::Picture && index < b.pictures.size())
                excel_.DeletePicture(QStringLiteral("Picture ") + b.pictures[index]);
    };
    for (int bf = f; bf < xSections; ++bf) clearBlock(bf, e);
    for (int be = e + 1; be < ySections; ++be)
        for (int bf = 0; bf < xSections; ++bf) clearBlock(bf, be);
}

void DocumentRun::finishSheet() {
    switch (settings_.mode) {
        case Mode::Print:
            excel_.PrintSheet(settings_.copies);
            excel_.CloseBook(false);
            break;
        case Mode::Save:
            if (settings_.web) {
                excel_.SaveAsWebPage(output_);
                excel_.CloseBook(false);
                removeFile(workingCopy_);
                if (fileWritten) fileWritten(excel::TUGExcel::webPagePath(output_));
            } else {
                excel_.CloseBook(true);
                if (!excel_.LastCloseError.isEmpty())
                    throw excel::Error(excel::ErrorCode::WriteFailed, excel_.LastCloseError);
                std::error_code failed;
                std::filesystem::rename(std::filesystem::path(workingCopy_.toStdString()),
                                        std::filesystem::path(output_.toStdString()), failed);
                if (failed)
                    throw excel::Error(excel::ErrorCode::WriteFailed,
                                       QStringLiteral("cannot write %1: %2")
                                           .arg(output_, QString::fromStdString(failed.message())));
                if (fileWritten) fileWritten(output_);
            }
            break;
        case Mode::Preview:
            return;
    }
    ++sheets_;
    // The sheet is out: its numbers are used, whatever the log does now.
    serialAtSheet_ = SerialNumber;
    if (log) {
        const QString kind = settings_.mode == Mode::Print ? kKindPrint : kKindSave;
        for (const PendingLog& p : pending_)
            log->append(kind, settings_.documentName,
                        p.serial >= 0 ? std::optional<int>(p.serial) : std::nullopt, p.target);
    }
    pending_.clear();
}

void DocumentRun::abandonSheet() {
    if (excel_.BookOpen) excel_.CloseBook(false);
    removeFile(workingCopy_);
    if (settings_.mode != Mode::Save) removeFile(settings_.workFile);
    pending_.clear();
    // Numbers of a sheet that was never printed were never used.
    SerialNumber = serialAtSheet_;
}

}  // namespace docoutput
