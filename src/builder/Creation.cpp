// Creating a database from a field list: the template is copied into a
// temporary file beside the target, columns and records are added there, and
// the file takes the target's name only when everything worked.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "builder/Builder.h"
#include "db/Db.h"
#include "db/Dialect.h"
#include "excel/Workbook.h"

namespace builder {

namespace {

const QString kCreateCaption = QStringLiteral("作成の中止");

// Moves from to to unless to exists; never replaces a file.
bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // Filesystems without the no-replace rename still make hard links, which
    // refuse an existing name the same way.
    if (::link(a.constData(), b.constData()) != 0) return false;
    ::unlink(a.constData());
    return true;
}

// The database being built: a temporary copy of the template that is removed
// unless commit() gave it the target's name.
class Build {
public:
    explicit Build(const CreateRequest& request) : request_(request) {
        const QFileInfo target(request.targetPath);
        if (target.exists() || target.isSymLink())
            throw Refusal(QStringLiteral("同名ファイルがあります"), kCreateCaption);
        QFile source(request.templatePath);
        file_.setFileTemplate(target.absoluteDir().filePath(
            QStringLiteral(".%1.XXXXXX.tmp").arg(target.completeBaseName())));
        if (!source.open(QIODevice::ReadOnly) || !file_.open() ||
            file_.write(source.readAll()) != source.size() || !file_.flush()) {
            if (!file_.fileName().isEmpty()) file_.remove();
            throw Refusal(QStringLiteral("データベースが作成できません"),
                          QStringLiteral("ファイルエラー"));
        }
        file_.close();
        connection_.setConnectionString(connectionStringFor(file_.fileName()));
        connection_.open();
        // The file only gets the target's name when it is complete (and
        // synced then), so nothing has to survive a crash before that.
        connection_.useAsScratchFile();
    }
    ~Build() {
        connection_.close();
        if (!committed_) file_.remove();
    }

    db::Connection& connection() { return connection_; }

    void addColumns() {
        for (const FieldDefinition& f : request_.fields)
            connection_.execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2%3")
                                    .arg(db::detail::bracketed(kBaseTable),
                                         db::detail::bracketed(f.FieldName),
                                         columnTypeText(f.TypeCode, f.Width)));
    }

    // Writes the records, NULL as NULL. It must end before the transaction
    // it writes in: its engine thread may not outlive a rollback.
    class Inserter {
    public:
        explicit Inserter(Build& build) : fields_(build.request_.fields) {
            QStringList names;
            for (const FieldDefinition& f : fields_) names << f.FieldName;
            writer_ = std::make_unique<db::RowWriter>(build.connection_, kBaseTable, names,
                                                      db::RowWriter::Mode::BatchedIntoNewTable);
        }
        // textOf(i, scratch) gives field i's cell text (a view that may refer
        // to scratch).
        template <typename TextOf>
        void insert(TextOf textOf) {
            QString scratch;
            for (size_t i = 0; i < fields_.size(); ++i) {
                const FieldDefinition& f = fields_[i];
                putCellText(*writer_, int(i), textOf(i, scratch), f.TypeCode, f.Width);
            }
            writer_->write();
        }
        // Writes the records still held; call before committing them.
        void finish() { writer_->finish(); }

    private:
        const std::vector<FieldDefinition>& fields_;
        std::unique_ptr<db::RowWriter> writer_;
    };

    void commit() {
        connection_.close();
        if (!db::syncFile(file_.fileName()))
            throw Refusal(QStringLiteral("データベースが作成できません"),
                          QStringLiteral("ファイルエラー"));
        // The temporary file was made private; the database gets the
        // permissions any new file of the user gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(file_.fileName()).constData(), 0666 & ~mask);
        if (!renameNoReplace(file_.fileName(), request_.targetPath)) {
            if (QFileInfo::exists(request_.targetPath))
                throw Refusal(QStringLiteral("同名ファイルがあります"), kCreateCaption);
            throw Refusal(QStringLiteral("データベースが作成できません"),
                          QStringLiteral("ファイルエラー"));
        }
        committed_ = true;
    }

private:
    const CreateRequest& request_;
    QTemporaryFile file_;
    db::Connection connection_;
    bool committed_ = false;
};

void report(const CreateRequest& request, int percent) {
    if (request.progress) request.progress(percent);
}

}  // namespace

void checkFieldList(const std::vector<FieldDefinition>& fields, int* failedRow) {
    if (fields.empty()) throw Refusal(QStringLiteral("フィールドが未登録です"), kCreateCaption);
    if (totalTextWidth(fields) >= kCreateTextLimit)
        throw Refusal(QStringLiteral("総文字数2000以上は設定できません"), kCreateCaption);
    if (int(fields.size()) > kMaxFields)
        throw Refusal(QStringLiteral("最大フィールド数のため追加できません"), kCreateCaption);
    for (int i = 0; i < int(fields.size()); ++i) {
        const FieldDefinition& f = fields[size_t(i)];
        QString problem = nameProblem(f.FieldName, NameKind::Field, otherNames(fields, i));
        if (problem.isEmpty() && f.TypeCode == btText && (f.Width < 1 || f.Width > kMaxWidth))
            problem = QStringLiteral("文字数は1から255です");
        if (problem.isEmpty() && (f.TypeCode < btLogical || f.TypeCode > btMemo))
            problem = QStringLiteral("データ型が不良です");
        if (!problem.isEmpty()) {
            if (failedRow) *failedRow = i;
            throw Refusal(problem, kCreateCaption);
        }
    }
}

QString targetPathFor(const QString& chosen) {
    const QFileInfo info(chosen);
    const QString suffix = info.suffix();
    const QString base =
        suffix.isEmpty() ? chosen : chosen.left(chosen.size() - suffix.size() - 1);
    return base + QStringLiteral(".mdb");
}

QString connectionStringFor(const QString& path, const QString& password) {
    QString s = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                db::connectionStringValue(path) + QStringLiteral(";Persist Security Info=False");
    if (!password.isEmpty())
        s += QStringLiteral(";Jet OLEDB:Database Password=") + db::connectionStringValue(password);
    return s;
}

int createFromList(const CreateRequest& request, const excel::Worksheet& sheet) {
    checkFieldList(request.fields);
    const std::optional<excel::CellRef> head =
        excel::parseCellRef(request.fields.front().CellAddress);
    if (!head) throw Refusal(QStringLiteral("Excelの選択が不良です"), kCreateCaption);
    std::vector<int> columns;
    for (const FieldDefinition& f : request.fields) {
        const auto ref = excel::parseCellRef(f.CellAddress);
        columns.push_back(ref ? ref->col : 0);
    }
    Build build(request);
    build.addColumns();
    const int firstRow = head->row + 1;
    const int rows = std::max(1, sheet.usedRange().last.row - firstRow + 1);
    report(request, 0);
    int written = 0;
    {
        db::Transaction transaction(build.connection());
        Build::Inserter inserter(build);
        const bool merged = !sheet.merges().empty();
        QString firstScratch;
        for (int row = firstRow;; ++row) {
            auto textOf = [&](size_t i, QString& scratch) -> QStringView {
                const int col = columns[i];
                if (merged) {
                    const auto merge = sheet.mergeAt(row, col);
                    if (merge && merge->first == excel::CellRef{row, col}) return {};
                }
                return sheet.valueTextView(row, col, scratch);
            };
            // The list ends at the first row without a value in its first field.
            if (textOf(0, firstScratch).isEmpty()) break;
            inserter.insert(textOf);
            ++written;
            if (written % 1024 == 0) report(request, std::min(100, written * 100 / rows));
        }
        inserter.finish();
        transaction.commit();
    }
    report(request, 100);
    build.commit();
    return written;
}

QString missingSheetMessage(const QString& path) {
    return path + QStringLiteral("は同名シートがありません");
}

int createPerFile(const CreateRequest& request, const QStringList& files,
                  const QString& sheetName,
                  const std::function<void(const QString&)>& missingSheet) {
    checkFieldList(request.fields);
    std::vector<excel::CellRef> cells;
    for (const FieldDefinition& f : request.fields) {
        const auto ref = excel::parseCellRef(f.CellAddress);
        if (!ref) throw Refusal(QStringLiteral("Excelの選択が不良です"), kCreateCaption);
        cells.push_back(*ref);
    }
    Build build(request);
    build.addColumns();
    report(request, 0);
    int written = 0;
    {
        db::Transaction transaction(build.connection());
        Build::Inserter inserter(build);
        for (int k = 0; k < files.size(); ++k) {
            report(request, k * 100 / int(files.size()));
            const std::unique_ptr<excel::Workbook> book = excel::Workbook::open(files[k]);
            const excel::Worksheet* sheet = book->sheetByName(sheetName);
            if (!sheet || !sheet->isWorksheet()) {
                if (missingSheet) missingSheet(files[k]);
                continue;
            }
            inserter.insert([&](size_t i, QString& scratch) {
                return sheet->valueTextView(cells[i].row, cells[i].col, scratch);
            });
            ++written;
        }
        inserter.finish();
        transaction.commit();
    }
    report(request, 100);
    build.commit();
    return written;
}

}  // namespace builder
