// Large parts: a part inflated on a second thread reaches the reader whole and
// in order, and a corrupt part or a reader that gives up stops both threads;
// shared strings read beside a large sheet; a cell's text read without a copy.
#include <gtest/gtest.h>

#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <random>
#include <thread>

#include "Fixtures.h"
#include "excel/Package.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;

namespace {

// Runs f and fails the whole run at once when it does not return, so a
// deadlock shows as a failure here instead of a stalled test job.
template <class F>
void returnsWithin(int seconds, F f) {
    auto done = std::async(std::launch::async, std::move(f));
    if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::timeout) {
        std::fprintf(stderr, "no return within %d s: deadlock\n", seconds);
        std::abort();
    }
    done.get();
}

quint32 le32(const QByteArray& b, qsizetype at) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | uchar(b[at + i]);
    return v;
}

struct SinkGaveUp {};

}  // namespace

// One package holding a single part of 12 MB: large enough to be inflated on
// a second thread, varied enough to deflate into many blocks.
class LargePartTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir;
        std::mt19937 gen(20240305);
        content_.reserve(12 << 20);
        while (content_.size() < (12 << 20))
            content_ += QByteArray::number(quint32(gen() % 100000)) + (gen() % 16 ? " " : "\n");
        content_.truncate(12 << 20);  // twelve full pieces
        auto pkg = Package::create();
        pkg->write(QStringLiteral("big.bin"), content_);
        pkg->saveTo(path());
    }
    static void TearDownTestSuite() {
        delete dir_;
        content_.clear();
    }
    static QString path() { return dir_->file(QStringLiteral("big.zip")); }
    static QString variant(const QString& name, const std::function<void(QByteArray&)>& change) {
        QFile in(path()), out(dir_->file(name));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        QByteArray bytes = in.readAll();
        change(bytes);
        EXPECT_EQ(out.write(bytes), bytes.size());
        return out.fileName();
    }
    // Appends to got what the sink receives, until readChunks returns or throws.
    static void readInPieces(const Package& pkg, QByteArray& got, int* pieces = nullptr) {
        const auto caller = std::this_thread::get_id();
        pkg.readChunks(QStringLiteral("big.bin"), [&](const char* data, qsizetype size) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            got.append(data, size);
            if (pieces) ++*pieces;
        });
    }

    static inline testsupport::TempDir* dir_ = nullptr;
    static inline QByteArray content_;
};

TEST_F(LargePartTest, PiecesArriveInOrderOnTheCallingThreadAndMatchTheWholePart) {
    auto pkg = Package::open(path());
    ASSERT_GE(pkg->declaredSize(QStringLiteral("big.bin")), 8 << 20);
    ASSERT_TRUE(pkg->readableAlongside(QStringLiteral("big.bin")));
    int pieces = 0;
    QByteArray got;
    readInPieces(*pkg, got, &pieces);
    EXPECT_GT(pieces, 8);
    EXPECT_TRUE(got == content_) << got.size() << " of " << content_.size() << " bytes";
    EXPECT_TRUE(pkg->read(QStringLiteral("big.bin")) == got);
}

TEST_F(LargePartTest, ACorruptPartFailsInsteadOfHangingAndABadChecksumFailsAfterTheLastPiece) {
    const QString damaged = variant(QStringLiteral("damaged.zip"), [](QByteArray& b) {
        for (qsizetype i = b.size() / 2; i < b.size() / 2 + 16; ++i) b[i] = char(b[i] ^ 0x5A);
    });
    // The part's central directory entry is the only one; its CRC is 16 bytes in.
    const QString badCrc = variant(QStringLiteral("badcrc.zip"), [](QByteArray& b) {
        const qsizetype central = qsizetype(le32(b, b.size() - 22 + 16));
        b[central + 16] = char(b[central + 16] ^ 0x01);
    });
    for (const QString& file : {damaged, badCrc}) {
        auto pkg = Package::open(file);
        QByteArray got;
        returnsWithin(20, [&] {
            try {
                readInPieces(*pkg, got);
                ADD_FAILURE() << file.toStdString() << " was read";
            } catch (const Error& e) {
                EXPECT_EQ(e.code(), ErrorCode::NotAWorkbook) << e.what();
            }
        });
        EXPECT_THROW(pkg->read(QStringLiteral("big.bin")), Error);
        // Only the checksum is wrong: every byte arrives before the failure.
        if (file == badCrc) {
            EXPECT_TRUE(got == content_) << got.size() << " of " << content_.size() << " bytes";
        }
    }
}

TEST_F(LargePartTest, ASinkThatGivesUpStopsTheInflatingThread) {
    auto pkg = Package::open(path());
    // At the first piece, while the inflater is ahead, and at the last one.
    for (int round = 0; round < 5; ++round)
        for (const int stopAt : {1, 2, 6, 12}) {
            int pieces = 0;
            returnsWithin(20, [&] {
                EXPECT_THROW(pkg->readChunks(QStringLiteral("big.bin"),
                                             [&](const char*, qsizetype) {
                                                 if (++pieces == stopAt) throw SinkGaveUp{};
                                             }),
                             SinkGaveUp);
            });
            EXPECT_EQ(pieces, stopAt);
        }
    // Nothing was left behind that spoils the next reading.
    QByteArray got;
    readInPieces(*pkg, got);
    EXPECT_TRUE(got == content_);
}

namespace {

const QByteArray kCities[] = {"東京", "大阪", "札幌"};
constexpr int kRows = 30000;

// Row r's first cell: a text of its own, Japanese on every other row.
QString ownText(int row) {
    return row % 2 ? QStringLiteral("名前%1 テスト").arg(row, 5, 10, QLatin1Char('0'))
                   : QStringLiteral("item %1 & <x>").arg(row);
}

// A workbook of one sheet of kRows rows (an own shared text, a number, one
// of three repeated shared texts), with both parts far above the size at
// which shared strings are read beside the sheet.
void writeList(const QString& path, const std::function<void(QByteArray&)>& spoilStrings = {},
               const std::function<void(QByteArray&)>& spoilSheet = {}) {
    const QByteArray ns = "http://schemas.openxmlformats.org/";
    QByteArray sst = "<sst xmlns=\"" + ns + "spreadsheetml/2006/main\">";
    QByteArray sheet = "<worksheet xmlns=\"" + ns + "spreadsheetml/2006/main\"><sheetData>";
    for (int r = 1; r <= kRows; ++r) {
        sst += "<si><t>" + ownText(r).toHtmlEscaped().toUtf8() + "</t></si>";
        const QByteArray n = QByteArray::number(r);
        sheet += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"s\"><v>" +
                 QByteArray::number(r - 1) + "</v></c><c r=\"B" + n + "\"><v>" + n +
                 "</v></c><c r=\"C" + n + "\" t=\"s\"><v>" + QByteArray::number(kRows + r % 3) +
                 "</v></c></row>";
    }
    for (const QByteArray& city : kCities) sst += "<si><t>" + city + "</t></si>";
    sst += "</sst>";
    sheet += "</sheetData></worksheet>";
    if (spoilStrings) spoilStrings(sst);
    if (spoilSheet) spoilSheet(sheet);
    const QByteArray rels = "<Relationships xmlns=\"" + ns + "package/2006/relationships\">";
    auto rel = [&](const char* type, const char* target) {
        return "<Relationship Id=\"" + QByteArray(type) + "\" Type=\"" + ns +
               "officeDocument/2006/relationships/" + type + "\" Target=\"" + target + "\"/>";
    };
    auto pkg = Package::create();
    pkg->write(QStringLiteral("[Content_Types].xml"),
               "<Types xmlns=\"" + ns +
                   "package/2006/content-types\"><Default Extension=\"rels\" "
                   "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                   "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
    pkg->write(QStringLiteral("_rels/.rels"),
               rels + rel("officeDocument", "xl/workbook.xml") + "</Relationships>");
    pkg->write(QStringLiteral("xl/workbook.xml"),
               "<workbook xmlns=\"" + ns + "spreadsheetml/2006/main\" xmlns:r=\"" + ns +
                   "officeDocument/2006/relationships\"><sheets><sheet name=\"名簿\" "
                   "sheetId=\"1\" r:id=\"worksheet\"/></sheets></workbook>");
    pkg->write(QStringLiteral("xl/_rels/workbook.xml.rels"),
               rels + rel("worksheet", "worksheets/sheet1.xml") +
                   rel("sharedStrings", "sharedStrings.xml") + "</Relationships>");
    pkg->write(QStringLiteral("xl/worksheets/sheet1.xml"), sheet);
    pkg->write(QStringLiteral("xl/sharedStrings.xml"), sst);
    pkg->saveTo(path);
}

}  // namespace

TEST(LargePartReadingTest, SharedStringsReadBesideALargeSheetGiveEveryCellItsText) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("list.xlsx"));
    writeList(path);
    {
        auto pkg = Package::open(path);
        ASSERT_GE(pkg->declaredSize(QStringLiteral("xl/sharedStrings.xml")), 256 * 1024);
        ASSERT_GE(pkg->declaredSize(QStringLiteral("xl/worksheets/sheet1.xml")), 256 * 1024);
    }
    auto book = Workbook::open(path);
    Worksheet& ws = book->activeSheet();
    int wrong = 0;
    for (int r = 1; r <= kRows && wrong < 5; ++r) {
        const QStringList got = {ws.valueText(r, 1), ws.valueText(r, 2), ws.valueText(r, 3)};
        const QStringList want = {ownText(r), QString::number(r),
                                  QString::fromUtf8(kCities[r % 3])};
        if (got != want) {
            ++wrong;
            ADD_FAILURE() << "row " << r << ": " << got.join(u'|').toStdString();
        }
    }
}

TEST(LargePartReadingTest, BrokenSharedStringsFailWhereATextIsUsedAndABrokenSheetWaitsForThem) {
    testsupport::TempDir dir;
    // Cut off inside a shared string two thirds of the way in.
    const QString path = dir.file(QStringLiteral("badstrings.xlsx"));
    writeList(path,
              [](QByteArray& sst) { sst.truncate(sst.indexOf("<si>", sst.size() * 2 / 3) + 9); });
    auto book = Workbook::open(path);
    Worksheet& ws = book->activeSheet();
    EXPECT_EQ(ws.valueText(7, 2), QStringLiteral("7"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            ws.valueText(7, 1);
            ADD_FAILURE() << "a text was read from broken shared strings";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::NotAWorkbook);
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("sharedStrings")))
                << e.what();
        }
    }
    // The sheet fails while its shared strings are still being read.
    const QString badSheet = dir.file(QStringLiteral("badsheet.xlsx"));
    writeList(badSheet, {},
              [](QByteArray& sheet) { sheet.replace("<row r=\"9000\">", "<row r=\"9000\"<"); });
    for (int attempt = 0; attempt < 3; ++attempt)
        returnsWithin(20, [&] { EXPECT_THROW(Workbook::open(badSheet), Error); });
}

TEST(LargePartReadingTest, TextViewOfEveryKindOfCellIsItsValueText) {
    using exceltest::fixture;
    auto form = Workbook::open(fixture(QStringLiteral("form.xlsx")));
    auto markup = Workbook::open(fixture(QStringLiteral("markup.xlsx")));
    auto values = Workbook::open(fixture(QStringLiteral("values.xlsx")));
    Worksheet* sheets[] = {&form->sheet(0), &markup->sheet(1), &values->sheet(0)};
    ASSERT_EQ(sheets[1]->name(), QStringLiteral("Sheet2"));
    // A cell of each kind, so the comparison below is known to cover it.
    const struct {
        int sheet, row, col;
        const char* text;
    } known[] = {{0, 1, 1, "御見積書"}, {0, 4, 2, "12345"}, {0, 5, 2, "2024/03/05"},
                 {0, 6, 3, "True"},     {0, 6, 2, "24690"}, {1, 1, 1, "太字 と普通"},
                 {1, 1, 4, "#N/A"},     {1, 2, 2, "ab"},    {2, 1, 3, "1899/12/30 9:30:00"}};
    QString scratch;
    for (const auto& k : known)
        EXPECT_EQ(sheets[k.sheet]->valueTextView(k.row, k.col, scratch).toString(),
                  QString::fromUtf8(k.text))
            << k.sheet << ":" << k.row << "," << k.col;
    for (Worksheet* ws : sheets) {
        for (int r = 1; r <= 12; ++r)
            for (int c = 1; c <= 6; ++c)
                EXPECT_EQ(ws->valueTextView(r, c, scratch).toString(), ws->valueText(r, c))
                    << ws->name().toStdString() << " " << r << "," << c;
        EXPECT_TRUE(ws->valueTextView(5000, 300, scratch).isEmpty());
    }
}
