// output-bench [RECORDS]: document output of RECORDS records (default 1,000)
// of a ten-column table. Registers a document with ten field bindings and a
// formula total, runs tesmora-output --save (database read, bindings,
// workbook engine, formulas, print log) beside reference.py (sqlite3 and
// openpyxl filling the same template), then tesmora-output --pdf printing
// every record into one PDF. Prints wall time and documents per second.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "ProgramFiles.h"
#include "db/Db.h"
#include "documents/Registry.h"
#include "view/ProgramFiles.h"

namespace {

double runTimed(const QString& program, const QStringList& args) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    return t.elapsed() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    const QString bin = QCoreApplication::applicationDirPath();
    const QString folder = dir.path() + '/';
    programfiles::writeAll(dir.path());
    const QString database = dir.filePath("会員.mdb");
    db::createDatabase(database);
    {
        db::Connection c;
        c.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database);
        c.open();
        c.execute("CREATE TABLE [会員] (ID COUNTER PRIMARY KEY, 番号 NCHAR(8), 氏名 NCHAR(20), "
                  "フリガナ NCHAR(30), 郵便番号 NCHAR(8), 住所 NCHAR(60), 電話 NCHAR(15), "
                  "入会日 TIMESTAMP, 会費 CURRENCY, 寄付 CURRENCY)");
        db::Command insert(c);
        insert.setCommandText("INSERT INTO [会員] (番号, 氏名, フリガナ, 郵便番号, 住所, 電話, "
                              "入会日, 会費, 寄付) VALUES (:A,:B,:C,:D,:E,:F,:G,:H,:I)");
        db::Transaction t(c);
        for (int i = 1; i <= records; ++i) {
            insert.clearParameters();
            insert.addParameter(QString::number(i).rightJustified(6, '0'), db::ParamType::Text);
            insert.addParameter(QStringLiteral("会員%1").arg(i), db::ParamType::Text);
            insert.addParameter(QStringLiteral("カイイン%1").arg(i), db::ParamType::Text);
            insert.addParameter(QStringLiteral("0600001"), db::ParamType::Text);
            insert.addParameter(QStringLiteral("札幌市中央区北1条西%1丁目").arg(i % 30), db::ParamType::Text);
            insert.addParameter(QStringLiteral("011-000-%1").arg(i, 4, 10, QChar('0')), db::ParamType::Text);
            insert.addParameter(QDateTime(QDate(2020, 1, 1).addDays(i), QTime()), db::ParamType::DateTime);
            insert.addParameter(3000.0, db::ParamType::Float);
            insert.addParameter(double(i % 7) * 500, db::ParamType::Float);
            insert.execute();
        }
        t.commit();
    }
    const QString templ = dir.filePath("帳票.xlsx");
    runTimed("/usr/bin/python3", {TESMORA_BENCH_DIR "/template.py", templ});
    db::Connection store;
    store.setConnectionString(view::systemStoreConnectionString(folder));
    documents::Registry registry(store, {database, "会員"});
    documents::Registration r;
    r.name = "帳票";
    r.databasePath = database;
    r.table = "会員";
    r.templatePath = templ;
    r.sheet = "帳票";
    r.outputLogField = "番号";
    const QStringList fields = {"ID", "番号", "氏名", "フリガナ", "郵便番号",
                                "住所", "電話", "入会日", "会費", "寄付"};
    for (int i = 0; i < 10; ++i) r.bindings.push_back({QStringLiteral("B%1").arg(i + 2), fields[i], {}});
    const int id = registry.SaveRegistration(r);

    QDir(dir.path()).mkdir("ours");
    QDir(dir.path()).mkdir("ref");
    const QString tool = bin + "/tesmora-output";
    const double ours = runTimed(tool, {"--program-folder", folder, database, "会員", QString::number(id),
                                        "--save", dir.filePath("ours/帳票"), "--name-field", "番号"});
    const double ref = runTimed("/usr/bin/python3", {TESMORA_BENCH_DIR "/reference.py", database,
                                                     templ, dir.filePath("ref")});
    const double pdf = runTimed(tool, {"--program-folder", folder, database, "会員", QString::number(id),
                                       "--pdf", dir.filePath("all.pdf")});
    std::printf("%d records of ten columns\n", records);
    std::printf("| run | wall | documents/s |\n|---|---|---|\n");
    std::printf("| tesmora-output --save | %.2f s | %.0f |\n", ours, records / ours);
    std::printf("| sqlite3 + openpyxl | %.2f s | %.0f |\n", ref, records / ref);
    std::printf("| tesmora-output --pdf (one PDF) | %.2f s | %.0f |\n", pdf, records / pdf);
    return 0;
}
