// The grid on a table of a million rows: time from showing it to the first
// painted rows, a filter re-query (LIKE on a text column), a sort on an
// unindexed column, and peak memory. Each of our timings stands beside the
// same SQL run on plain SQLite in the same process, so the ratio holds on
// any machine. Usage: view-bench [ROWS] (default 1000000).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdio>
#include <functional>

#include "db/Db.h"
#include "view/FilterSql.h"
#include "view/GridRules.h"
#include "view/RecordGrid.h"
#include "view/RecordModel.h"

namespace {

constexpr int kPaintedRows = 40;

double ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

long peakMemoryMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void fill(const QString& path, int rows) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
    c.open();
    c.execute(QStringLiteral(
        "CREATE TABLE [大表] ([番号] INTEGER NOT NULL PRIMARY KEY, [氏名] NCHAR(20), [フリガナ] NCHAR(30), "
        "[郵便番号] NCHAR(7), [住所] NCHAR(60), [生年月日] TIMESTAMP, [電話番号] NCHAR(15), "
        "[金額] CURRENCY, [身長] DOUBLE PRECISION, [配信] BIT)"));
    // Raw inserts: generating the data is not what is measured.
    sqlite3* h = c.handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO \"大表\" VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    const char* names[] = {"佐藤　太郎", "鈴木　花子", "高橋　翔太", "田中　美咲", "山本　健一"};
    const char* kana[] = {"サトウ タロウ", "スズキ ハナコ", "タカハシ ショウタ", "タナカ ミサキ", "ヤマモト ケンイチ"};
    unsigned x = 12345;
    for (int i = 1; i <= rows; ++i) {
        x = x * 1103515245u + 12345u;
        QByteArray addr = QStringLiteral("東京都新宿区西新宿%1丁目%2").arg(x % 9 + 1).arg(x % 977).toUtf8();
        QByteArray birth = QDate(1940, 1, 1).addDays(x % 23000).toString(Qt::ISODate).toUtf8() + " 00:00:00";
        QByteArray phone = QStringLiteral("03-%1-%2").arg(x % 9000 + 1000).arg(i % 10000, 4, 10, QLatin1Char('0')).toUtf8();
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, names[x % 5], -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, kana[(x >> 8) % 5], -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 4, "1600023", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 5, addr.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 6, birth.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 7, phone.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 8, (x % 100000) / 10.0);
        sqlite3_bind_double(st, 9, 140 + (x % 600) / 10.0);
        sqlite3_bind_int(st, 10, x & 1);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
}

// Plain SQLite doing what the grid needs of a statement: its exact row count
// and its first screenful of rows.
double plainSqlite(sqlite3* h, const QString& sql) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    const QByteArray count = ("SELECT count(*) FROM (" + sql + ")").toUtf8();
    sqlite3_prepare_v2(h, count.constData(), -1, &st, nullptr);
    sqlite3_step(st);
    volatile int n = sqlite3_column_int(st, 0);
    (void)n;
    sqlite3_finalize(st);
    const QByteArray rows = sql.toUtf8();
    sqlite3_prepare_v2(h, rows.constData(), -1, &st, nullptr);
    for (int i = 0; i < kPaintedRows && sqlite3_step(st) == SQLITE_ROW; ++i)
        for (int c = 0; c < sqlite3_column_count(st); ++c) (void)sqlite3_column_text(st, c);
    sqlite3_finalize(st);
    return ms(t);
}

struct Grid {
    db::DataSet ds;
    view::RecordModel model;
    view::RecordGrid grid;
    FieldDescriptorList descriptors;
    explicit Grid(db::Connection& c) : ds(c), model(ds) {
        grid.setRecordModel(&model);
        grid.resize(1000, 40 * 22);
        grid.show();
    }
    // What showing a table or re-querying costs: open the statement, lay out
    // the columns, paint the first screenful.
    double show(const QString& sql) {
        QElapsedTimer t;
        t.start();
        ds.close();
        ds.setCommandText(sql);
        ds.open();
        if (descriptors.empty())
            for (int i = 0; i < ds.fieldCount(); ++i)
                descriptors.emplace_back(ds.field(i).name(), ds.field(i).dataType());
        std::vector<view::ColumnStyle> styles;
        for (int i = 0; i < ds.fieldCount(); ++i)
            styles.push_back(view::columnStyle(descriptors[i], ds.field(i).canModify(), i == 0, false));
        model.setColumnStyles(std::move(styles));
        (void)view::recordCountText(ds.recordCount());
        grid.repaint();
        QApplication::processEvents();
        return ms(t);
    }
};

void report(const char* what, double ours, double plain) {
    std::printf("%-34s %9.1f ms  %9.1f ms  %5.2fx\n", what, ours, plain, plain > 0 ? ours / plain : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mdb"));
    std::printf("filling %d rows...\n", rows);
    fill(path, rows);
    const long baseMb = peakMemoryMb();

    sqlite3* plain = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr);

    db::Connection c;
    c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
    c.open();
    Grid g(c);
    const view::ShownObject table{QStringLiteral("大表"), false, QString()};

    std::printf("%-34s %12s  %12s  %6s\n", "", "Tesmora", "plain SQLite", "ratio");
    const double first = g.show(view::tableSelectSql(table.name));
    report("show table, first rows painted", first, plainSqlite(plain, QStringLiteral("SELECT * FROM \"大表\"")));

    g.grid.scrollToBottom();
    QElapsedTimer t;
    t.start();
    g.grid.repaint();
    std::printf("%-34s %9.1f ms\n", "scroll to the last row", ms(t));

    FieldDescriptorList filtered = g.descriptors;
    filtered[2].FilterCondition = view::fcContains;
    filtered[2].CompareA = QStringLiteral("タロウ");
    const double filter = g.show(view::buildFilteredSql(filtered, table, QString()));
    report("filter (LIKE on a text column)", filter,
           plainSqlite(plain, QStringLiteral("SELECT * FROM \"大表\" WHERE \"フリガナ\" LIKE '%タロウ%'")));

    const QString order = view::applySortChoice(QString(), QStringLiteral("身長"), view::SortDirection::Descending, false);
    const double sort = g.show(view::buildFilteredSql(g.descriptors, table, order));
    report("sort on an unindexed column", sort,
           plainSqlite(plain, QStringLiteral("SELECT * FROM \"大表\" ORDER BY \"身長\" DESC")));

    sqlite3_close(plain);
    std::printf("peak memory: %ld MB (of which %ld MB before the grid opened)\n", peakMemoryMb(), baseMb);
    std::printf("goals: first rows < 500 ms, re-queries within 1.3x, peak < 150 MB\n");
    return 0;
}
