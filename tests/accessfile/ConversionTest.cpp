// Converting genuine Access files: the samples Access made, and copies of
// them with rows added at the edges of each type. Values are compared with
// what mdb-export prints for the same file, minding where mdb-export itself
// misprints (dates before 1900, characters outside the basic plane, deleted
// rows it still prints), and with exact expectations where it cannot help.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "accessfile/AccessFile.h"
#include "accessfile/AccessFixtures.h"
#include "accessfile/ConvertedDatabase.h"
#include "db/Db.h"
#include "support/TempDir.h"

using namespace fixtures;
using accessfile::ReportEntry;

namespace {

const QStringList kSamples = {QStringLiteral("testV2003.mdb"), QStringLiteral("testV2010.accdb"),
                              QStringLiteral("queryTestV2003.mdb"),
                              QStringLiteral("testUnicodeCompV2003.mdb"),
                              QStringLiteral("fixedNumericTestV2000.mdb")};

QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// mdb-export prints characters outside the basic plane as "??".
QString asMdbExportPrints(const QString& s) {
    QString out;
    for (char32_t c : s.toUcs4())
        out += c > 0xFFFF ? QStringLiteral("??") : QString::fromUcs4(&c, 1);
    return out;
}

// Whether our typed value and mdb-export's text name the same value.
::testing::AssertionResult sameValue(const QVariant& ours, const ExportField& theirs, int type) {
    if (!theirs) {
        if (!ours.isValid() || ours.isNull()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "NULL expected, got " << ours.toString().toStdString();
    }
    const QString t = *theirs;
    if (!ours.isValid() || ours.isNull())
        return ::testing::AssertionFailure() << "got NULL, expected " << t.toStdString();
    bool same = false;
    QString shown = ours.toString();
    switch (type) {
        case db::ftBoolean:
            same = (ours.toBool() ? QStringLiteral("1") : QStringLiteral("0")) == t;
            break;
        case db::ftByte:
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftAutoInc:
            same = ours.toLongLong() == t.toLongLong();
            break;
        case db::ftFloat:
            same = ours.toDouble() == t.toDouble() || float(ours.toDouble()) == t.toFloat();
            break;
        case db::ftCurrency: {
            // Currency prints with four decimals; a Decimal with its scale.
            const int decimals =
                t.contains(QLatin1Char('.')) ? int(t.size() - t.indexOf('.') - 1) : 0;
            shown = QString::number(ours.toDouble(), 'f', decimals);
            same = shown == t;
            break;
        }
        case db::ftDateTime:
            shown = ours.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            same = shown == t;
            break;
        default:
            shown = asMdbExportPrints(ours.toString());
            same = shown == t;
            break;
    }
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "ours " << shown.toStdString() << ", mdb-export " << t.toStdString();
}

void expectSameTable(const QString& access, const QString& converted, const QString& table) {
    SCOPED_TRACE(table.toStdString());
    const ExportContents exported = mdbExport(access, table);
    const TableContents ours = readTable(converted, table);
    ASSERT_EQ(ours.columns, exported.columns);
    ASSERT_EQ(ours.rows.size(), exported.rows.size());
    for (size_t r = 0; r < ours.rows.size(); ++r)
        for (int c = 0; c < ours.columns.size(); ++c)
            EXPECT_TRUE(sameValue(ours.rows[r][size_t(c)], exported.rows[r][size_t(c)],
                                  ours.types[size_t(c)]))
                << "row " << r << " column " << ours.columns[c].toStdString();
}

const ReportEntry* entry(const accessfile::Report& report, ReportEntry::Kind kind,
                         const QString& object) {
    for (const ReportEntry& e : report.entries)
        if (e.kind == kind && e.object == object) return &e;
    return nullptr;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

class Conversion : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    QString target(const QString& name = QStringLiteral("new.mdb")) const { return dir.file(name); }
};

}  // namespace

TEST_F(Conversion, EverySampleTableMatchesWhatMdbExportPrintsAndTheOriginalStaysByteForByte) {
    for (const QString& name : kSamples) {
        SCOPED_TRACE(name.toStdString());
        const QString source = copyFile(sample(name), dir.file(name));
        const QByteArray before = digest(source);
        const QDateTime modified = QFileInfo(source).lastModified();
        const QString out =
            target(QFileInfo(name).completeBaseName() + QStringLiteral("_tesmora.mdb"));
        const accessfile::Report report = accessfile::convert(source, out);
        EXPECT_EQ(digest(source), before);
        EXPECT_EQ(QFileInfo(source).lastModified(), modified);
        const QStringList tables = mdbTables(source);
        EXPECT_EQ(report.tablesCarried(), tables.size());
        for (const QString& table : tables) {
            expectSameTable(source, out, table);
            const ReportEntry* carried = entry(report, ReportEntry::Kind::TableCarried, table);
            ASSERT_NE(carried, nullptr);
            EXPECT_EQ(carried->count, qint64(readTable(out, table).rows.size()));
        }
        EXPECT_TRUE(QFileInfo::exists(report.reportFile));
        EXPECT_EQ(report.reportFile, accessfile::reportPathFor(out));
    }
}

TEST_F(Conversion, ColumnsGetOurTypesWidthsAndKeys) {
    const QString out = target();
    accessfile::convert(sample(QStringLiteral("testV2003.mdb")), out);
    const TableContents t1 = readTable(out, QStringLiteral("Table1"));
    EXPECT_EQ(t1.types,
              (std::vector<int>{db::ftText, db::ftText, db::ftByte, db::ftSmallint, db::ftInteger,
                                db::ftFloat, db::ftDateTime, db::ftCurrency, db::ftBoolean}));
    const QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + out;
    db::Catalog catalog(cs);
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("Table1")),
              QStringList{QStringLiteral("A")});
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("Table3")),
              QStringList{QStringLiteral("a")});
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("Table4")),
              QStringList{QStringLiteral("data")});
    EXPECT_EQ(readTable(out, QStringLiteral("Table3")).types,
              (std::vector<int>{db::ftAutoInc, db::ftText}));
    EXPECT_EQ(readTable(out, QStringLiteral("Table4")).types,
              (std::vector<int>{db::ftText, db::ftGuid}));

    // Widths are enforced as Access enforces them.
    db::Connection c;
    c.setConnectionString(cs);
    c.open();
    EXPECT_THROW(c.execute(QStringLiteral("INSERT INTO [Table1] (A, I) VALUES (\"%1\", True)")
                               .arg(QString(51, QLatin1Char('x')))),
                 db::Error);

    const QString numeric = target(QStringLiteral("numeric.mdb"));
    accessfile::convert(sample(QStringLiteral("fixedNumericTestV2000.mdb")), numeric);
    EXPECT_EQ(readTable(numeric, QStringLiteral("test")).types,
              (std::vector<int>{db::ftMemo, db::ftCurrency, db::ftCurrency, db::ftCurrency,
                                db::ftCurrency, db::ftCurrency, db::ftCurrency}));
}

TEST_F(Conversion, ValuesAtTheEdgesComeFromTheirStoredForm) {
    const QString access = makeValuesFile(dir.path());
    const QString out = target();
    const accessfile::Report report = accessfile::convert(access, out);
    const TableContents t = readTable(out, QStringLiteral("Table1"));
    ASSERT_EQ(t.rows.size(), 6u) << "the deleted row stays out";
    auto row = [&](const QString& a) -> const std::vector<QVariant>& {
        for (const auto& r : t.rows)
            if (r[0].toString() == a) return r;
        static std::vector<QVariant> none(9);
        ADD_FAILURE() << "no row " << a.toStdString();
        return none;
    };
    const auto& early = row(QStringLiteral("𠮷野家😀"));
    EXPECT_EQ(early[1].toString(), QStringLiteral("before 1900"));
    EXPECT_EQ(early[2].toLongLong(), 255);
    EXPECT_EQ(early[3].toLongLong(), -32768);
    EXPECT_EQ(early[4].toLongLong(), INT32_MIN);
    EXPECT_EQ(early[5].toDouble(), -1.5e300);
    EXPECT_EQ(early[6].toDateTime(), QDateTime(QDate(1850, 3, 1), QTime(12, 30)));
    EXPECT_EQ(early[7].toDouble(), 922337203685477.5807);
    EXPECT_TRUE(early[8].toBool());

    const auto& edges = row(QStringLiteral("compressed"));
    EXPECT_EQ(edges[5].toDouble(), 0.1);
    EXPECT_EQ(edges[6].toDateTime(), QDateTime(QDate(100, 1, 1), QTime(0, 0)));
    EXPECT_EQ(QString::number(edges[7].toDouble(), 'f', 4), QStringLiteral("-0.0001"));
    EXPECT_FALSE(edges[8].toBool());

    const auto& nulls = row(QStringLiteral("nulls"));
    for (int c = 1; c < 8; ++c) EXPECT_FALSE(nulls[size_t(c)].isValid()) << "column " << c;

    const auto& late = row(QStringLiteral("late"));
    EXPECT_EQ(late[1].toString(), QStringLiteral("日本語のテキスト"));
    EXPECT_EQ(late[6].toDateTime(), QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
    EXPECT_EQ(QString::number(late[7].toDouble(), 'f', 4), QStringLiteral("12345.6789"));

    // Only the largest currency lost digits, and the report says so.
    const ReportEntry* rounded =
        entry(report, ReportEntry::Kind::ValuesRounded, QStringLiteral("Table1.H"));
    ASSERT_NE(rounded, nullptr);
    EXPECT_EQ(rounded->count, 1);

    // Every other value reads as mdb-export prints it. It also prints the
    // deleted row, which the file no longer holds, and it misprints dates
    // before 1900 and after about 2700.
    ExportContents exported = mdbExport(access, QStringLiteral("Table1"));
    std::erase_if(exported.rows, [](const auto& r) { return r[0] == QStringLiteral("deleted"); });
    ASSERT_EQ(exported.rows.size(), t.rows.size());
    for (size_t r = 0; r < t.rows.size(); ++r)
        for (int c = 0; c < 9; ++c) {
            const int year = t.rows[r][6].toDateTime().date().year();
            const bool misprinted =
                c == 6 && t.rows[r][6].isValid() && (year < 1900 || year > 2700);
            // The largest currency lost digits; the report said so above.
            const bool rounded = c == 7 && t.rows[r][0] == QStringLiteral("𠮷野家😀");
            if (misprinted || rounded) continue;
            EXPECT_TRUE(
                sameValue(t.rows[r][size_t(c)], exported.rows[r][size_t(c)], t.types[size_t(c)]));
        }
}

TEST_F(Conversion, AutoNumbersKeepTheirValuesAndOleColumnsAreReported) {
    const QString out = target();
    accessfile::convert(makeAutoNumberFile(dir.path()), out);
    const TableContents t = readTable(out, QStringLiteral("Table"));
    EXPECT_EQ(t.types, (std::vector<int>{db::ftAutoInc, db::ftText}));
    ASSERT_EQ(t.rows.size(), 10u);
    EXPECT_EQ(t.rows[8][0].toLongLong(), 20);
    EXPECT_EQ(t.rows[8][1].toString(), QStringLiteral("𩸽と𠮷"));
    EXPECT_EQ(t.rows[9][0].toLongLong(), 35);
    EXPECT_FALSE(t.rows[9][1].isValid());
    // The next row continues after the highest number carried over.
    db::Connection c;
    c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + out);
    c.open();
    c.execute(QStringLiteral("INSERT INTO [Table] ([Unicode]) VALUES (\"new\")"));
    c.close();
    EXPECT_EQ(query(out, QStringLiteral("SELECT ID FROM [Table] WHERE [Unicode] = \"new\""))
                  .rows[0][0]
                  .toLongLong(),
              36);

    const QString ole = target(QStringLiteral("ole_tesmora.mdb"));
    const accessfile::Report report = accessfile::convert(makeOleFile(dir.path()), ole);
    EXPECT_FALSE(readTable(ole, QStringLiteral("Table1")).columns.contains(QStringLiteral("B")));
    const ReportEntry* left =
        entry(report, ReportEntry::Kind::ColumnNotCarried, QStringLiteral("Table1.B"));
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->reason, QStringLiteral("ole"));
    EXPECT_EQ(left->count, 2) << "both rows had a value in it";
    EXPECT_TRUE(accessfile::reportText(report).contains(QStringLiteral("OLEオブジェクト")));
}

TEST_F(Conversion, MemosOnTheirOwnPagesAndDecimalsArriveWhole) {
    const QString access = makeLongValuesFile(dir.path());
    const QString out = target();
    const accessfile::Report report = accessfile::convert(access, out);
    const TableContents t = readTable(out, QStringLiteral("test"));
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_EQ(t.rows[1][0].toString(), QStringLiteral("inline memo"));
    EXPECT_EQ(t.rows[2][0].toString(), onePageMemo());
    EXPECT_EQ(t.rows[3][0].toString(), manyPagesMemo());
    EXPECT_EQ(t.rows[1][3].toDouble(), 0.0);
    EXPECT_EQ(t.rows[1][4].toDouble(), -12345.0);
    EXPECT_EQ(t.rows[1][5].toDouble(), 9007199254740992.0);
    EXPECT_EQ(t.rows[2][6].toDouble(), 6.0);
    for (int c = 1; c < 7; ++c) EXPECT_FALSE(t.rows[3][size_t(c)].isValid());
    // 18 digits, and 2^53 + 1, are more than a double holds.
    for (const char* column : {"test.col2", "test.col3", "test.col7"}) {
        const ReportEntry* rounded =
            entry(report, ReportEntry::Kind::ValuesRounded, QString::fromLatin1(column));
        ASSERT_NE(rounded, nullptr) << column;
        EXPECT_EQ(rounded->reason, QStringLiteral("decimal-digits"));
        EXPECT_EQ(rounded->count, 1);
    }
    EXPECT_EQ(entry(report, ReportEntry::Kind::ValuesRounded, QStringLiteral("test.col6")),
              nullptr);
    // mdb-export reads the same memos, outside the basic plane aside.
    const ExportContents exported = mdbExport(access, QStringLiteral("test"));
    ASSERT_EQ(exported.rows.size(), 4u);
    for (size_t r = 0; r < 4; ++r)
        EXPECT_TRUE(sameValue(t.rows[r][0], exported.rows[r][0], db::ftMemo)) << r;
}

TEST_F(Conversion, SavedSelectQueriesBecomeSavedQueriesThatRunAndTheRestIsListed) {
    const QString out = target();
    const accessfile::Report report =
        accessfile::convert(sample(QStringLiteral("queryTestV2003.mdb")), out);
    ASSERT_NE(entry(report, ReportEntry::Kind::QueryCarried, QStringLiteral("SelectQuery")),
              nullptr);
    const std::map<QString, QString> listed = {
        {QStringLiteral("UpdateQuery"), QStringLiteral("update")},
        {QStringLiteral("AppendQuery"), QStringLiteral("append")},
        {QStringLiteral("DeleteQuery"), QStringLiteral("delete")},
        {QStringLiteral("MakeTableQuery"), QStringLiteral("make-table")},
        {QStringLiteral("CrosstabQuery"), QStringLiteral("crosstab")},
        {QStringLiteral("UnionQuery"), QStringLiteral("union")},
        {QStringLiteral("PassthroughQuery"), QStringLiteral("pass-through")},
        {QStringLiteral("DataDefinitionQuery"), QStringLiteral("data-definition")}};
    for (const auto& [name, reason] : listed) {
        const ReportEntry* e = entry(report, ReportEntry::Kind::QueryNotCarried, name);
        ASSERT_NE(e, nullptr) << name.toStdString();
        EXPECT_EQ(e->reason, reason);
    }
    EXPECT_EQ(report.queriesCarried(), 1);

    // The saved query joins as Access joins: Table1 left-joined to Table3,
    // which must match Table2 on both of its conditions.
    db::Connection c;
    const QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + out;
    c.setConnectionString(cs);
    c.open();
    for (const char* sql : {"INSERT INTO [Table1] VALUES (\"k\", \"t1b\", \"t1c\")",
                            "INSERT INTO [Table1] VALUES (\"z\", \"lone\", \"x\")",
                            "INSERT INTO [Table3] VALUES (\"k\", \"t3b\", \"t3c\")",
                            "INSERT INTO [Table2] VALUES (\"k\", \"k\", \"t2c\")",
                            "INSERT INTO [Table2] VALUES (\"k\", \"other\", \"no\")"})
        c.execute(QString::fromUtf8(sql));
    c.close();
    const TableContents rows = readTable(out, QStringLiteral("SelectQuery"));
    EXPECT_EQ(rows.columns.size(), 6);
    ASSERT_EQ(rows.rows.size(), 0u) << "Table2.col2 is neither \"foo\" nor buzz/bazz";
    c.open();
    c.execute(
        QStringLiteral("UPDATE [Table2] SET col2 = \"foo\", col1 = \"foo\" WHERE col3 = \"t2c\""));
    c.execute(QStringLiteral("UPDATE [Table3] SET col1 = \"foo\""));
    c.execute(QStringLiteral("UPDATE [Table1] SET col1 = \"foo\" WHERE col2 = \"t1b\""));
    c.close();
    const TableContents joined = readTable(out, QStringLiteral("SelectQuery"));
    ASSERT_EQ(joined.rows.size(), 1u);
    EXPECT_EQ(joined.rows[0][1].toString(), QStringLiteral("t1b"));
    EXPECT_EQ(joined.rows[0][5].toString(), QStringLiteral("t3c"));
    // Its text is kept for the catalogue, as a saved query's text is.
    EXPECT_TRUE(db::Catalog(cs)
                    .viewCommandText(QStringLiteral("SelectQuery"))
                    ->startsWith(QStringLiteral("SELECT DISTINCT")));
}

TEST_F(Conversion, ATargetThatExistsOrIsTheOriginalIsRefusedUnlessReplacingWasAgreed) {
    const QString source =
        copyFile(sample(QStringLiteral("testV2003.mdb")), dir.file(QStringLiteral("a.mdb")));
    QFile old(target());
    old.open(QIODevice::WriteOnly);
    old.write("earlier file");
    old.close();
    try {
        accessfile::convert(source, target());
        FAIL() << "an existing target was replaced";
    } catch (const accessfile::Error& e) {
        EXPECT_EQ(e.code(), accessfile::Error::Code::TargetInvalid);
    }
    EXPECT_EQ(digest(target()),
              QCryptographicHash::hash("earlier file", QCryptographicHash::Sha256));
    accessfile::Options replace;
    replace.replaceExisting = true;
    accessfile::convert(source, target(), replace);
    EXPECT_EQ(readTable(target(), QStringLiteral("Table1")).rows.size(), 2u);
    try {
        accessfile::convert(source, source, replace);
        FAIL() << "the original was written over";
    } catch (const accessfile::Error& e) {
        EXPECT_EQ(e.code(), accessfile::Error::Code::TargetInvalid);
    }
    EXPECT_EQ(accessfile::detectFormat(source), accessfile::Format::Jet4);
}

namespace {

struct Spoiled {
    const char* what;
    std::function<void(const QString& path)> spoil;
    accessfile::Error::Code expected;
};

void overwrite(const QString& path, qint64 offset, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(offset);
    f.write(bytes);
}

void truncateTo(const QString& path, qint64 size) {
    QFile f(path);
    ASSERT_TRUE(f.resize(size));
}

}  // namespace

TEST_F(Conversion, DamagedEncryptedOrCutFilesAreRefusedWithTheirReasonAndLeaveNoFile) {
    using C = accessfile::Error::Code;
    const std::vector<Spoiled> cases = {
        {"cut in the middle of a page",
         [](const QString& p) { truncateTo(p, QFileInfo(p).size() / 2 + 100); }, C::Damaged},
        {"cut at a page boundary", [](const QString& p) { truncateTo(p, 4096 * 20); }, C::Damaged},
        {"catalogue page overwritten",
         [](const QString& p) { overwrite(p, 2 * 4096, QByteArray(4096, 'x')); }, C::Damaged},
        {"unknown format version",
         [](const QString& p) { overwrite(p, 0x14, QByteArray(1, char(0x42))); }, C::Unsupported},
    };
    for (const Spoiled& s : cases) {
        SCOPED_TRACE(s.what);
        testsupport::TempDir folder;
        const QString source =
            copyFile(makeValuesFile(dir.path()), folder.file(QStringLiteral("bad.mdb")));
        s.spoil(source);
        try {
            accessfile::convert(source, folder.file(QStringLiteral("new.mdb")));
            ADD_FAILURE() << "converted";
        } catch (const accessfile::Error& e) {
            EXPECT_EQ(e.code(), s.expected) << e.detail().toStdString();
        }
        EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("bad.mdb")});
    }

    // An encrypted ACE file keeps its header readable; its pages are not.
    testsupport::TempDir folder;
    const QString ace = copyFile(sample(QStringLiteral("testV2010.accdb")),
                                 folder.file(QStringLiteral("locked.accdb")));
    QByteArray noise(4096 * 8, 0);
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) & 0xff);
    overwrite(ace, 4096, noise);
    try {
        accessfile::convert(ace, folder.file(QStringLiteral("new.accdb")));
        ADD_FAILURE() << "converted";
    } catch (const accessfile::Error& e) {
        EXPECT_EQ(e.code(), C::Encrypted);
    }
    EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("locked.accdb")});
}

TEST_F(Conversion, RowsThatCannotBeReadOrAreMissingStopTheConversion) {
    // A table that records more rows than its pages hold has lost some.
    const QString source = makeValuesFile(dir.path());
    testsupport::TempDir folder;
    const QString copy = copyFile(source, folder.file(QStringLiteral("short.mdb")));
    // Table1's definition is on page 24 (see the sample's catalogue).
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(24 * 4096 + 16);
    f.write(QByteArray("\x10\x00\x00\x00", 4));
    f.close();
    try {
        accessfile::convert(copy, folder.file(QStringLiteral("new.mdb")));
        ADD_FAILURE() << "converted";
    } catch (const accessfile::Error& e) {
        EXPECT_EQ(e.code(), accessfile::Error::Code::Damaged);
        EXPECT_TRUE(e.detail().contains(QStringLiteral("Table1"))) << e.detail().toStdString();
    }
    EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("short.mdb")});
}

TEST_F(Conversion, FilesThatAreNotAccessFilesAreToldApart) {
    const QString text = dir.file(QStringLiteral("notes.mdb"));
    QFile t(text);
    t.open(QIODevice::WriteOnly);
    t.write("Standard Jet DB is what this text says, at the wrong place");
    t.close();
    const QString ours = dir.file(QStringLiteral("ours.mdb"));
    db::createDatabase(ours);
    EXPECT_EQ(accessfile::detectFormat(text), accessfile::Format::NotAccess);
    EXPECT_EQ(accessfile::detectFormat(ours), accessfile::Format::NotAccess);
    EXPECT_EQ(accessfile::detectFormat(dir.file(QStringLiteral("missing.mdb"))),
              accessfile::Format::NotAccess);
    // The header decides, not the name.
    const QString renamed =
        copyFile(sample(QStringLiteral("testV2010.accdb")), dir.file(QStringLiteral("plain.dat")));
    EXPECT_EQ(accessfile::detectFormat(renamed), accessfile::Format::Ace);
    EXPECT_EQ(accessfile::detectFormat(sample(QStringLiteral("testV2003.mdb"))),
              accessfile::Format::Jet4);
    try {
        accessfile::convert(ours, dir.file(QStringLiteral("x.mdb")));
        FAIL();
    } catch (const accessfile::Error& e) {
        EXPECT_EQ(e.code(), accessfile::Error::Code::NotAccess);
    }
    EXPECT_EQ(accessfile::proposedTargetPath(QStringLiteral("/data/顧客.accdb")),
              QStringLiteral("/data/顧客_tesmora.accdb"));
    EXPECT_EQ(accessfile::proposedTargetPath(QStringLiteral("/data/a.b.mdb")),
              QStringLiteral("/data/a.b_tesmora.mdb"));
}

TEST_F(Conversion, ATableOverManyPagesArrivesWholeAndInOrder) {
    const QString access = makeLargeFile(dir.path(), 3000);
    const QString out = target();
    const accessfile::Report report = accessfile::convert(access, out);
    EXPECT_EQ(entry(report, ReportEntry::Kind::TableCarried, QStringLiteral("Table1"))->count,
              3002);
    expectSameTable(access, out, QStringLiteral("Table1"));
}
