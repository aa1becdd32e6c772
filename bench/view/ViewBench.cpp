// The grid on a table of a million rows: time from showing it to the first
// painted rows, a filter re-query (LIKE on a text column), a sort on an
// unindexed column, and peak memory. Each of our timings stands beside the
// same SQL run on plain SQLite in the same process, so the ratio holds on
// any machine. Usage: view-bench [ROWS] (default 1000000).
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QToolButton>
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
#include "platform/QtServices.h"
#include "view/TForm15.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"

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

// The desktop services with nothing modal: messages are printed, and the
// field-settings dialog is played by a script, as a user would fill it in.
class BenchServices : public platform::QtServices {
public:
    BenchServices() : platform::QtServices(true) {}
    std::function<void(QDialog&)> script;
    QElapsedTimer sinceOk;
    platform::Answer message(QWidget*, const QString& text, const QString& caption,
                             platform::Buttons) override {
        if (caption != QStringLiteral("Tesmoraエラー"))
            std::fprintf(stderr, "message: %s (%s)\n", qPrintable(text), qPrintable(caption));
        return platform::Answer::Ok;
    }
    void showError(QWidget*, const std::exception& e) override {
        std::fprintf(stderr, "error: %s\n", e.what());
    }
    int execDialog(QDialog* dialog) override {
        if (script) script(*dialog);
        sinceOk.start();
        return dialog->result();
    }
};

// Fills the field-settings dialog and presses OK.
std::function<void(QDialog&)> choose(int condition, const QString& a, bool descending) {
    return [=](QDialog& d) {
        d.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setCurrentIndex(condition);
        d.findChild<QComboBox*>(QStringLiteral("ComboBox3"))->setEditText(a);
        if (descending) d.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
        d.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    };
}

int columnOf(const TForm1& form, const QString& name) {
    for (size_t i = 0; i < form.FieldDescriptors.size(); ++i)
        if (form.FieldDescriptors[i].FieldName == name) return int(i);
    return -1;
}

// The first screenful reaches the screen.
void paint(TForm1& form) {
    form.DBGrid1->viewport()->repaint();
    QApplication::processEvents();
}

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

    BenchServices services;
    TForm1 form(services, dir.path());
    form.resize(1200, 900);
    form.Form15 = new TForm15(&form);
    form.show();
    QApplication::processEvents();

    std::printf("%-34s %12s  %12s  %6s\n", "", "Tesmora", "plain SQLite", "ratio");
    QElapsedTimer t;
    t.start();
    form.OpenDatabase(path, QStringLiteral("大表"));
    paint(form);
    const double opened = ms(t);
    t.start();
    form.ComboBox1Change();  // ShowTable on its own, as choosing the table again does
    paint(form);
    const double shown = ms(t);
    const double plainFirst = plainSqlite(plain, QStringLiteral("SELECT * FROM \"大表\""));
    report("open database, first rows painted", opened, plainFirst);
    report("ShowTable, first rows painted", shown, plainFirst);
    std::printf("  (%s)\n", qPrintable(form.panelText(0)));

    form.DBGrid1->scrollToBottom();
    t.start();
    paint(form);
    std::printf("%-34s %9.1f ms\n", "scroll to the last row", ms(t));

    // A title click also asks for the column's distinct values before the
    // dialog shows; the re-query is timed from the dialog's OK.
    services.script = choose(view::fcContains, QStringLiteral("タロウ"), false);
    t.start();
    form.DBGrid1TitleClick(columnOf(form, QStringLiteral("フリガナ")));
    paint(form);
    const double clickToRows = ms(t);
    const double filter = ms(services.sinceOk);
    report("filter re-query (LIKE on text)", filter,
           plainSqlite(plain, QStringLiteral("SELECT * FROM \"大表\" WHERE \"フリガナ\" LIKE '%タロウ%'")));
    std::printf("  (%s; title click to rows %.1f ms)\n", qPrintable(form.panelText(0)), clickToRows);

    form.SpeedButton9Click();
    services.script = choose(0, QString(), true);
    t.start();
    form.DBGrid1TitleClick(columnOf(form, QStringLiteral("身長")));
    paint(form);
    const double sortClick = ms(t);
    const double sort = ms(services.sinceOk);
    report("sort re-query (unindexed float)", sort,
           plainSqlite(plain, QStringLiteral("SELECT * FROM \"大表\" ORDER BY \"身長\" DESC")));
    std::printf("  (title click to rows %.1f ms)\n", sortClick);

    sqlite3_close(plain);
    std::printf("peak memory: %ld MB (of which %ld MB before the grid opened)\n", peakMemoryMb(), baseMb);
    std::printf("goals: first rows < 500 ms, re-queries within 1.3x, peak < 150 MB\n");
    return 0;
}
