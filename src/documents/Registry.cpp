#include "documents/Registry.h"

#include <QHash>

#include "db/Db.h"

namespace documents {

namespace {

// A document belongs to a database path and a table name as written: paths
// that differ in letter case are different files here.
const QString kShownDocuments = QStringLiteral(
    "SELECT * FROM 登録データ WHERE データベース = :A COLLATE BINARY AND テーブル = :B COLLATE "
    "BINARY");
const QString kDocumentById = QStringLiteral("SELECT * FROM 登録データ WHERE ID = :A");
const QString kInsertBinding =
    QStringLiteral("INSERT INTO 出力データ(リンク,セル,フィールド) VALUES(:A,:B,:C)");
const QString kDeleteBindings = QStringLiteral("DELETE FROM 出力データ WHERE リンク = :A");

// Column positions of a 登録データ result, found by name: the table's column
// order is free.
class DocumentColumns {
public:
    explicit DocumentColumns(const QStringList& names) {
        for (int i = 0; i < names.size(); ++i) index_.insert(names[i], i);
    }
    QVariant value(const std::vector<QVariant>& row, const QString& column) const {
        const auto it = index_.constFind(column);
        if (it == index_.constEnd())
            throw db::Error(db::Error::Code::Engine,
                            QStringLiteral("the store has no column %1").arg(column));
        return row[size_t(*it)];
    }
    QString text(const std::vector<QVariant>& row, const QString& column) const {
        const QVariant v = value(row, column);
        return v.isNull() ? QString() : v.toString();
    }
    int number(const std::vector<QVariant>& row, const QString& column, int ifNull) const {
        const QVariant v = value(row, column);
        return v.isNull() ? ifNull : v.toInt();
    }

private:
    QHash<QString, int> index_;
};

DocumentRecord recordFrom(const DocumentColumns& c, const std::vector<QVariant>& row) {
    DocumentRecord r;
    r.id = c.number(row, QStringLiteral("ID"), -1);
    r.name = c.text(row, QStringLiteral("登録名"));
    r.databasePath = c.text(row, QStringLiteral("データベース"));
    r.table = c.text(row, QStringLiteral("テーブル"));
    r.templatePath = c.text(row, QStringLiteral("エクセル"));
    r.sheet = c.text(row, QStringLiteral("シート"));
    r.outputLogField = c.text(row, QStringLiteral("印刷記録"));
    r.serialNumber = c.number(row, QStringLiteral("通し番号"), 1);
    r.card = c.value(row, QStringLiteral("優先")).toBool();
    BlockSettings& b = r.block;
    b.XSection = c.number(row, QStringLiteral("XSection"), 1);
    b.XIncrement = c.number(row, QStringLiteral("XIncrement"), 1);
    b.YSection = c.number(row, QStringLiteral("YSection"), 1);
    b.YIncrement = c.number(row, QStringLiteral("YIncrement"), 1);
    b.XStart = c.number(row, QStringLiteral("XStart"), 0);
    b.YStart = c.number(row, QStringLiteral("YStart"), 0);
    b.Sort1 = c.text(row, QStringLiteral("Sort1"));
    b.Sort2 = c.text(row, QStringLiteral("Sort2"));
    b.Sort3 = c.text(row, QStringLiteral("Sort3"));
    return r;
}

// Parameters of a store statement, bound in order (:A first): integers as
// 32-bit integers, the card flag as a Boolean, texts as strings.
struct Param {
    QVariant value;
    db::ParamType type;
};
Param text(const QString& s) {
    return {s, db::ParamType::Text};
}
Param integer(int n) {
    return {n, db::ParamType::Integer};
}
Param boolean(bool b) {
    return {b, db::ParamType::Boolean};
}

db::Command& bind(db::Command& command, std::initializer_list<Param> params) {
    command.clearParameters();
    for (const Param& p : params) command.addParameter(p.value, p.type);
    return command;
}

const QString kUpdateBlocks = QStringLiteral(
    "UPDATE 登録データ SET XSection = :A,XIncrement = :B,YSection = :C,YIncrement = :D,XStart "
    "= :E,YStart = :F,Sort1 = :G,Sort2 = :H,Sort3 = :I WHERE ID = :J");
const QString kInsertDocument = QStringLiteral(
    "INSERT INTO 登録データ(登録名,データベース,テーブル,エクセル,シート,印刷記録,通し番号,優先) "
    "VALUES(:A,:B,:C,:D,:E,:F,:G,:H)");
const QString kLastDocument = QStringLiteral("SELECT MAX(ID) FROM 登録データ");
const QString kUpdateDocument = QStringLiteral(
    "UPDATE 登録データ SET 登録名 = :A,データベース = :B,テーブル = :C,エクセル = :D,シート = "
    ":E,印刷記録 = :F,通し番号 = :G WHERE ID = :H");
const QString kSetSerial = QStringLiteral("UPDATE 登録データ SET 通し番号 = :A WHERE ID = :B");
const QString kSetTemplate = QStringLiteral("UPDATE 登録データ SET エクセル = :A WHERE ID = :B");
const QString kSetLogField = QStringLiteral("UPDATE 登録データ SET 印刷記録 = :A WHERE ID = :B");
const QString kDeleteDocument = QStringLiteral("DELETE FROM 登録データ WHERE ID = :A");
const QString kReadBindings =
    QStringLiteral("SELECT * FROM 出力データ WHERE リンク = :A ORDER BY IID");
const QString kClearCards = QStringLiteral(
    "UPDATE 登録データ SET 優先 = :A WHERE データベース = :B COLLATE BINARY AND テーブル = :C "
    "COLLATE BINARY");
const QString kSetCard = QStringLiteral("UPDATE 登録データ SET 優先 = :A WHERE ID = :B");

}  // namespace

// --- StoreSession ------------------------------------------------------------

StoreSession::StoreSession(db::Connection& store) : store_(store) {
    if (!store_.connected()) {
        store_.open();
        opened_ = true;
    }
}

StoreSession::~StoreSession() {
    if (opened_) store_.close();
}

// --- Registry ----------------------------------------------------------------

Registry::Registry(db::Connection& store, ShownTable shown)
    : store_(store), shown_(std::move(shown)) {}
Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;

Registry::Session::Session(Registry& registry) : registry_(registry), store_(registry.store_) {}

Registry::Session::~Session() {
    if (store_.opened()) registry_.statements_.clear();
}

db::Command& Registry::statement(const QString& sql) {
    std::unique_ptr<db::Command>& command = statements_[sql];
    if (!command) {
        command = std::make_unique<db::Command>(store_);
        command->setCommandText(sql);
    }
    return *command;
}

std::vector<DocumentRecord> Registry::queryDocuments(const QString& sql, int id,
                                                     const ShownTable* shown) {
    db::Command& command = statement(sql);
    if (shown)
        bind(command, {text(shown->databasePath), text(shown->table)});
    else
        bind(command, {integer(id)});
    std::vector<DocumentRecord> out;
    std::optional<DocumentColumns> columns;
    command.query([&](const std::vector<QVariant>& row) {
        if (!columns) columns.emplace(command.columnNames());
        out.push_back(recordFrom(*columns, row));
    });
    return out;
}

void Registry::writeBlockSettings(int id, const BlockSettings& s) {
    bind(statement(kUpdateBlocks), {integer(s.XSection), integer(s.XIncrement), integer(s.YSection),
                                    integer(s.YIncrement), integer(s.XStart), integer(s.YStart),
                                    text(s.Sort1), text(s.Sort2), text(s.Sort3), integer(id)})
        .execute();
}

void Registry::insertBindings(int id, const LinkList& list) {
    db::Command& insert = statement(kInsertBinding);
    for (const FLinkData& link : list)
        bind(insert, {integer(id), text(link.Cell), text(link.BoundField)}).execute();
}

std::vector<DocumentRecord> Registry::ShownDocuments() {
    Session session(*this);
    return queryDocuments(kShownDocuments, -1, &shown_);
}

std::optional<DocumentRecord> Registry::ReadDocument(int id) {
    Session session(*this);
    std::vector<DocumentRecord> rows = queryDocuments(kDocumentById, id, nullptr);
    if (rows.empty()) return std::nullopt;
    return std::move(rows.front());
}

int Registry::FindCardDocument(QString& templatePath, QString& sheet) {
    templatePath.clear();
    sheet.clear();
    for (const DocumentRecord& r : ShownDocuments()) {
        if (!r.card) continue;
        templatePath = r.templatePath;
        sheet = r.sheet;
        return r.id;
    }
    return -1;
}

int Registry::ListDocuments(DocumentList& list) {
    list.clear();
    for (const DocumentRecord& r : ShownDocuments()) list.push_back({r.name, r.id});
    return int(list.size());
}

bool Registry::ReadBlockSettings(int id, BlockSettings& settings) {
    const std::optional<DocumentRecord> r = ReadDocument(id);
    if (!r) return false;
    settings = r->block;
    return true;
}

void Registry::WriteBlockSettings(int id, const BlockSettings& settings) {
    Session session(*this);
    writeBlockSettings(id, settings);
}

int Registry::InsertDocument(const QString& name, const QString& databasePath, const QString& table,
                             const QString& templatePath, const QString& sheet,
                             const QString& outputLogField) {
    Session session(*this);
    // The insert and the look-up of its ID go together, so no other writer
    // of the store can slip a row in between.
    db::Transaction transaction(store_);
    bind(statement(kInsertDocument),
         {text(name), text(databasePath), text(table), text(templatePath), text(sheet),
          text(outputLogField), integer(1), boolean(false)})
        .execute();
    int id = -1;
    statement(kLastDocument).query([&](const std::vector<QVariant>& row) { id = row[0].toInt(); });
    transaction.commit();
    return id;
}

void Registry::UpdateDocument(int id, const QString& name, const QString& databasePath,
                              const QString& table, const QString& templatePath,
                              const QString& sheet, const QString& outputLogField,
                              int serialNumber) {
    Session session(*this);
    db::Transaction transaction(store_);
    const std::optional<DocumentRecord> stored = ReadDocument(id);
    if (!stored) return;
    auto keep = [](const QString& given, const QString& old) {
        return given.isEmpty() ? old : given;
    };
    bind(statement(kUpdateDocument),
         {text(keep(name, stored->name)), text(keep(databasePath, stored->databasePath)),
          text(keep(table, stored->table)), text(keep(templatePath, stored->templatePath)),
          text(keep(sheet, stored->sheet)), text(keep(outputLogField, stored->outputLogField)),
          integer(serialNumber < 1 ? stored->serialNumber : serialNumber), integer(id)})
        .execute();
    transaction.commit();
}

void Registry::SetSerialNumber(int id, int serialNumber) {
    Session session(*this);
    bind(statement(kSetSerial), {integer(serialNumber), integer(id)}).execute();
}

void Registry::SetTemplatePath(int id, const QString& templatePath) {
    Session session(*this);
    bind(statement(kSetTemplate), {text(templatePath), integer(id)}).execute();
}

void Registry::DeleteDocument(int id) {
    Session session(*this);
    db::Transaction transaction(store_);
    bind(statement(kDeleteDocument), {integer(id)}).execute();
    bind(statement(kDeleteBindings), {integer(id)}).execute();
    transaction.commit();
}

int Registry::DuplicateDocument(int id, const QString& newTemplatePath, const QString& newName) {
    Session session(*this);
    db::Transaction transaction(store_);
    const std::optional<DocumentRecord> old = ReadDocument(id);
    if (!old) return -1;
    const int copy = InsertDocument(newName, old->databasePath, old->table, newTemplatePath,
                                    old->sheet, old->outputLogField);
    writeBlockSettings(copy, old->block);
    LinkList links;
    ReadBindings(id, links);
    insertBindings(copy, links);
    transaction.commit();
    return copy;
}

int Registry::ReadBindings(int id, LinkList& list) {
    list.clear();
    Session session(*this);
    db::Command& command = bind(statement(kReadBindings), {integer(id)});
    int cell = -1;
    int field = -1;
    command.query([&](const std::vector<QVariant>& row) {
        if (cell < 0) {
            const QStringList names = command.columnNames();
            cell = int(names.indexOf(QStringLiteral("セル")));
            field = int(names.indexOf(QStringLiteral("フィールド")));
            if (cell < 0 || field < 0)
                throw db::Error(db::Error::Code::Engine,
                                QStringLiteral("the store's 出力データ lacks セル or フィールド"));
        }
        FLinkData link;
        link.Cell = row[size_t(cell)].isNull() ? QString() : row[size_t(cell)].toString();
        link.BoundField = row[size_t(field)].isNull() ? QString() : row[size_t(field)].toString();
        list.push_back(std::move(link));
    });
    return int(list.size());
}

void Registry::InsertBinding(int id, const QString& cell, const QString& field) {
    Session session(*this);
    bind(statement(kInsertBinding), {integer(id), text(cell), text(field)}).execute();
}

void Registry::InsertBindings(int id, const LinkList& list) {
    Session session(*this);
    db::Transaction transaction(store_);
    insertBindings(id, list);
    transaction.commit();
}

void Registry::ReplaceBindings(int id, const LinkList& list) {
    Session session(*this);
    db::Transaction transaction(store_);
    bind(statement(kDeleteBindings), {integer(id)}).execute();
    insertBindings(id, list);
    transaction.commit();
}

void Registry::SetCardDocument(int id) {
    Session session(*this);
    db::Transaction transaction(store_);
    bind(statement(kClearCards), {boolean(false), text(shown_.databasePath), text(shown_.table)})
        .execute();
    if (id != -1) bind(statement(kSetCard), {boolean(true), integer(id)}).execute();
    transaction.commit();
}

int Registry::SaveRegistration(const Registration& r) {
    Session session(*this);
    db::Transaction transaction(store_);
    int id = r.id;
    if (id == -1) {
        id = InsertDocument(r.name, r.databasePath, r.table, r.templatePath, r.sheet,
                            r.outputLogField);
        writeBlockSettings(id, r.block);
        insertBindings(id, r.bindings);
    } else {
        UpdateDocument(id, r.name, QString(), QString(), QString(), QString(), QString(), 0);
        // Written as given: an empty output-log field means "none" here, not
        // "keep", so choosing "＜なし＞" switches the log off.
        bind(statement(kSetLogField), {text(r.outputLogField), integer(id)}).execute();
        writeBlockSettings(id, r.block);
        bind(statement(kDeleteBindings), {integer(id)}).execute();
        insertBindings(id, r.bindings);
    }
    transaction.commit();
    return id;
}

}  // namespace documents
