#pragma once
// Documents: a document is a template workbook and one of its sheets, kept
// for one table of one user database, with the list of its bindings (which
// cell receives which field) and its output options. The registry keeps them
// in the system store: 登録データ holds one row per document, 出力データ one
// row per binding, linked by the document's ID and read back in insertion
// order. Every other part of the program (registration, document files,
// output, the card view, template editing) reads and writes documents through
// Registry; nothing else touches those two tables.
//
// Data flows: a window or tool holds a db::Connection to the store (the main
// window's, or its own), keeps it open for one job with a StoreSession, and
// calls Registry operations on it. Operations that write several rows run in
// one store transaction, so a failure never leaves a document half written.
// Store errors are db::Error and reach the caller unchanged.
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace db {
class Command;
class Connection;
}  // namespace db

namespace documents {

// One binding of a document. Cell: an A1 address without "$", or "#" and
// the picture numbers of a figure binding ("#3" or "#3,4,7,8", one number
// per block). BoundField: a field name, "!日付", "!通し番号", or "%" + text
// field [+ "%" + display field] for a hyperlink. PictureNumbers stays empty
// until an output run splits Cell for itself.
struct FLinkData {
    QString Cell;
    QString BoundField;
    std::optional<QStringList> PictureNumbers;

    bool operator==(const FLinkData& other) const {
        return Cell == other.Cell && BoundField == other.BoundField;
    }
};
using LinkList = std::vector<FLinkData>;

// Block output and output order of a document. With both section counts 1
// the document prints one record per sheet and the other four are 1, 1, 0, 0.
struct BlockSettings {
    int XSection = 1;    // blocks across, 1..10
    int XIncrement = 1;  // cells from one block to the next across, 1..127
    int YSection = 1;    // blocks down, 1..100
    int YIncrement = 1;  // cells from one block to the next down, 1..127
    int XStart = 0;      // start column as an index into "A".."AZ", 0..51
    int YStart = 0;      // start row as an index into 1..50, 0..49
    QString Sort1;       // "+field" ascending, "-field" descending, "" none
    QString Sort2;       // "" whenever Sort1 is ""
    QString Sort3;       // "" whenever Sort2 is ""

    bool usesBlocks() const { return XSection > 1 || YSection > 1; }
    bool operator==(const BlockSettings&) const = default;
};

// The ranges a stored document's numbers must lie in (import checks them).
namespace limits {
inline constexpr int kMaxXSection = 10;
inline constexpr int kMaxYSection = 100;
inline constexpr int kMaxIncrement = 127;
inline constexpr int kMaxXStart = 51;
inline constexpr int kMaxYStart = 49;
}  // namespace limits

// One row of 登録データ.
struct DocumentRecord {
    int id = -1;
    QString name;            // 登録名
    QString databasePath;    // データベース, compared by exact text
    QString table;           // テーブル, compared by exact text
    QString templatePath;    // エクセル
    QString sheet;           // シート
    QString outputLogField;  // 印刷記録; "" = no output log
    int serialNumber = 1;    // 通し番号, the next serial to print
    bool card = false;       // 優先
    BlockSettings block;
};

// A document in a list: its name with its ID.
struct DocumentItem {
    QString name;
    int id = -1;
};
using DocumentList = std::vector<DocumentItem>;

// The database and table whose documents are offered: the main window's
// open database path and the name of the table it shows.
struct ShownTable {
    QString databasePath;
    QString table;
};

// Everything one "登録" saves: a new document when id is -1, otherwise the
// changes to document id (its database, table, template and sheet are kept).
struct Registration {
    int id = -1;
    QString name;
    QString databasePath;
    QString table;
    QString templatePath;
    QString sheet;
    QString outputLogField;  // written as given: "" switches the log off
    BlockSettings block;
    LinkList bindings;
};

// Keeps a store connection open for its lifetime, so that a job's many
// registry calls share one connection instead of connecting (and checking
// the store password) for each. Opens the connection when it is closed and
// closes it again at the end only in that case; sessions nest.
class StoreSession {
public:
    explicit StoreSession(db::Connection& store);
    ~StoreSession();
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;
    // True when this session connected the store (and will disconnect it).
    bool opened() const { return opened_; }

private:
    db::Connection& store_;
    bool opened_ = false;
};

class Registry {
public:
    // store: a connection whose connection string names the system store; it
    // may be closed (each operation then connects for its own work) or held
    // open by a StoreSession. shown: whose documents the list operations see.
    explicit Registry(db::Connection& store, ShownTable shown = {});
    ~Registry();
    Registry(Registry&&) noexcept;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    const ShownTable& shown() const { return shown_; }
    db::Connection& store() { return store_; }

    // The shown table's documents in the order the store returns them.
    std::vector<DocumentRecord> ShownDocuments();
    // The row of document id; nullopt when there is none.
    std::optional<DocumentRecord> ReadDocument(int id);

    // The first of the shown table's documents marked as the card: its ID,
    // template and sheet; -1 (and both outputs empty) when none is.
    int FindCardDocument(QString& templatePath, QString& sheet);
    // The shown table's document names with their IDs; returns the count.
    int ListDocuments(DocumentList& list);

    // False (settings untouched) when there is no document id.
    bool ReadBlockSettings(int id, BlockSettings& settings);
    void WriteBlockSettings(int id, const BlockSettings& settings);

    // Registers a document with serial 1, not the card, and the store's
    // defaults for the block and sort columns; returns its ID.
    int InsertDocument(const QString& name, const QString& databasePath, const QString& table,
                       const QString& templatePath, const QString& sheet,
                       const QString& outputLogField);
    // Changes document id. An empty text keeps its column's stored value, a
    // serial below 1 keeps the stored serial; the card flag and the block
    // and sort columns are not touched. Nothing happens when id is unknown.
    void UpdateDocument(int id, const QString& name, const QString& databasePath,
                        const QString& table, const QString& templatePath, const QString& sheet,
                        const QString& outputLogField, int serialNumber);
    void SetSerialNumber(int id, int serialNumber);
    // Points document id at another template file.
    void SetTemplatePath(int id, const QString& templatePath);
    // Removes the document and its bindings together.
    void DeleteDocument(int id);
    // Registers a copy of document id under a new name and template, with the
    // same database, table, sheet, output log, block and sort settings and
    // bindings, serial 1 and not the card. Returns the copy's ID, -1 when
    // there is no document id.
    int DuplicateDocument(int id, const QString& newTemplatePath, const QString& newName);

    // Replaces list with the bindings of document id in their stored order;
    // returns the count.
    int ReadBindings(int id, LinkList& list);
    void InsertBinding(int id, const QString& cell, const QString& field);
    void InsertBindings(int id, const LinkList& list);
    // The document's bindings become list, all or nothing.
    void ReplaceBindings(int id, const LinkList& list);

    // Makes document id the shown table's only card document; -1 leaves the
    // table without one.
    void SetCardDocument(int id);

    // Saves what the registration window holds, all or nothing; returns the
    // document's ID.
    int SaveRegistration(const Registration& registration);

private:
    // One operation's hold on the store. Statements prepared during a job are
    // kept for the job's next calls; they are dropped before the connection
    // that prepared them closes.
    class Session {
    public:
        explicit Session(Registry& registry);
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        Registry& registry_;
        StoreSession store_;
    };
    // The prepared statement for sql, made once per connection.
    db::Command& statement(const QString& sql);
    std::vector<DocumentRecord> queryDocuments(const QString& sql, int id, const ShownTable* shown);
    void writeBlockSettings(int id, const BlockSettings& settings);
    void insertBindings(int id, const LinkList& list);

    db::Connection& store_;
    ShownTable shown_;
    std::map<QString, std::unique_ptr<db::Command>> statements_;
};

}  // namespace documents
