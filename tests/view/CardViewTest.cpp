// The card view from the main window: a record shown in its table's card
// document in the sheet window (offscreen), edited there as a user would,
// saved and closed; the database file is read back with the sqlite3 shell.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "ProgramFiles.h"
#include "db/Db.h"
#include "documents/CardView.h"
#include "documents/Registry.h"
#include "documents/TForm11.h"
#include "excel/Workbook.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using documents::CardValue;
using Kind = documents::CardValue::Kind;

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The card template, written by openpyxl: a cover sheet in front and the
// card sheet with its labels.
void writeTemplate(const QString& path) {
    run(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, openpyxl\n"
                        "wb = openpyxl.Workbook()\n"
                        "ws = wb.active\n"
                        "ws.title = '表紙'\n"
                        "ws['A1'] = '会員カード'\n"
                        "c = wb.create_sheet('カード')\n"
                        "for i, t in enumerate(['番号', '氏名', '年齢', '入会日', '有効', '識別',"
                        " '作成日', '通し番号', 'URL', '旧項目', '備考'], 1):\n"
                        "    c.cell(row=i, column=1, value=t)\n"
                        "c['B9'] = 'リンク'\n"
                        "wb.active = 0\n"
                        "wb.save(sys.argv[1])\n"),
         path});
}

void buildDatabase(const QString& path) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(path));
    c.open();
    for (const char* sql : {
             "CREATE TABLE [会員] ([番号] INTEGER, [氏名] NCHAR(10), [年齢] BYTE, [入会日] "
             "TIMESTAMP, [有効] BIT, [識別] NCHAR(20), [URL] NCHAR(100), [備考] MEMO, "
             "PRIMARY KEY ([番号]))",
             "INSERT INTO [会員] VALUES (1, \"山田\", 40, DATEVALUE(\"2020/04/01\"), True, "
             "\"2024-03-05\", \"https://example.com/a\", \"メモ\")",
             "INSERT INTO [会員] VALUES (2, \"佐藤\", 35, DATEVALUE(\"2021/05/02\"), False, "
             "\"x\", \"\", \"\")",
         })
        c.execute(QString::fromUtf8(sql));
}

excel::window::SheetWindow* shownSheet() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<excel::window::SheetWindow*>(w); s && s->isOpen()) return s;
    return nullptr;
}

// What the user types into one cell of the shown sheet.
void typeInto(excel::window::SheetWindow& sheet, int row, int col, const QString& text) {
    sheet.view().selectRange({row, col}, {row, col});
    sheet.view().beginEdit(text);
    ASSERT_TRUE(sheet.view().commitEdit());
}

class Card : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        path = dir.file(QStringLiteral("会員.mdb"));
        buildDatabase(path);
        templatePath = dir.file(QStringLiteral("カード.xlsx"));
        writeTemplate(templatePath);
        excel::window::registerSheetWindows(services);
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->show();
        form->OpenDatabase(path, QStringLiteral("会員"));
        ASSERT_EQ(form->ComboBox1->currentText(), QStringLiteral("会員"))
            << services.messageTexts().join('\n').toStdString()
            << services.errors.join('\n').toStdString();
        registerCard();
        services.clearRecords();
    }
    void TearDown() override {
        form.reset();
        excel::setPresenterFactory({});
    }

    void registerCard() {
        documents::Registry registry(form->ADOConnection2, {path, QStringLiteral("会員")});
        const int id =
            registry.InsertDocument(QStringLiteral("カード"), path, QStringLiteral("会員"),
                                    templatePath, QStringLiteral("カード"), QString());
        const char* bindings[][2] = {
            {"B1", "番号"}, {"B2", "氏名"},    {"B3", "年齢"},  {"B4", "入会日"},
            {"B5", "有効"}, {"B6", "識別"},    {"B7", "!日付"}, {"B8", "!通し番号"},
            {"B9", "%URL"}, {"B10", "旧項目"}, {"B11", "備考"},
        };
        documents::LinkList list;
        for (const auto& b : bindings)
            list.push_back({QString::fromUtf8(b[0]), QString::fromUtf8(b[1]), std::nullopt});
        registry.InsertBindings(id, list);
        registry.SetCardDocument(id);
    }
    void at(int row) { form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(row, 1)); }
    // Runs step inside the card view, once the sheet window is up.
    void whileShown(std::function<void(excel::window::SheetWindow&)> step) {
        QTimer::singleShot(0, [this, step] {
            excel::window::SheetWindow* sheet = shownSheet();
            ASSERT_NE(sheet, nullptr);
            shownWhileOpen = true;
            formEnabledWhileOpen = form->isEnabled();
            step(*sheet);
            if (sheet->isOpen()) sheet->close();
        });
    }
    QString sqlite(const QString& query) { return run(QStringLiteral("sqlite3"), {path, query}); }
    QString cell(excel::window::SheetWindow& sheet, int row, int col) {
        return sheet.view().sheet()->valueText(row, col);
    }
    QString workCopy() const {
        return form->Form11 ? form->Form11->LastResult.workCopy : QString();
    }

    testsupport::TempDir dir;
    QString path;
    QString templatePath;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
    bool shownWhileOpen = false;
    bool formEnabledWhileOpen = true;
};

}  // namespace

TEST(CardRules, CellTextsConvertByFieldType) {
    struct Case {
        int type;
        const char* text;
        Kind kind;
        QVariant value;
    };
    const Case cases[] = {
        {db::ftSmallint, "-32768", Kind::Store, qint64(-32768)},
        {db::ftSmallint, "32768", Kind::Null, {}},
        {db::ftInteger, "abc", Kind::Null, {}},
        {db::ftInteger, "12", Kind::Store, qint64(12)},
        {db::ftByte, "256", Kind::Null, {}},
        {db::ftBoolean, "true", Kind::Store, true},
        {db::ftBoolean, "False", Kind::Store, false},
        {db::ftBoolean, "はい", Kind::Null, {}},
        {db::ftFloat, "1.5", Kind::Store, 1.5},
        {db::ftCurrency, "12.5", Kind::Store, 12.5},
        {db::ftCurrency, "1,000", Kind::Null, {}},
        {db::ftDateTime, "2024/13/01", Kind::Null, {}},
        {db::ftText, "", Kind::Store, QString()},
        {db::ftMemo, "anything", Kind::Untouched, {}},
        {db::ftAutoInc, "5", Kind::Untouched, {}},
    };
    for (const Case& c : cases) {
        const CardValue v = documents::cardCellValue(c.type, QString::fromUtf8(c.text));
        EXPECT_EQ(v.kind, c.kind) << c.type << " " << c.text;
        if (c.kind == Kind::Store && c.type != db::ftText) EXPECT_EQ(v.value, c.value) << c.text;
    }
    const CardValue date =
        documents::cardCellValue(db::ftDateTime, QStringLiteral("2024/3/5 9:30"));
    EXPECT_EQ(date.value.toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(9, 30)));
}

TEST(CardRules, LinksAndPictures) {
    const documents::CardLink own = documents::parseLinkBinding(QStringLiteral("%資料%表題"));
    EXPECT_EQ(own.linkField, QStringLiteral("資料"));
    EXPECT_EQ(own.displayField, QStringLiteral("表題"));
    EXPECT_TRUE(own.ownDisplayText);
    EXPECT_FALSE(documents::parseLinkBinding(QStringLiteral("%資料")).ownDisplayText);
    EXPECT_TRUE(documents::isFileLink(QStringLiteral("\\\\server\\share\\a.pdf")));
    EXPECT_TRUE(documents::isFileLink(QStringLiteral("C:\\docs\\a.pdf")));
    EXPECT_TRUE(documents::isFileLink(QStringLiteral("/home/user/a.pdf")));
    EXPECT_FALSE(documents::isFileLink(QStringLiteral("https://example.com/")));
    EXPECT_EQ(documents::cardPictureName(QStringLiteral("#3,4,7")), QStringLiteral("Picture 3"));
}

TEST_F(Card, RoundTripWritesBackOnlyTheCellsTheUserChangedFromTheCardSheet) {
    at(0);
    whileShown([&](excel::window::SheetWindow& sheet) {
        EXPECT_EQ(sheet.view().sheet()->name(), QStringLiteral("カード"));
        EXPECT_EQ(cell(sheet, 2, 2), QStringLiteral("山田"));
        EXPECT_EQ(cell(sheet, 8, 2), QString());  // serial number: empty
        // A web address is plain text, not a link.
        EXPECT_EQ(cell(sheet, 9, 2), QStringLiteral("https://example.com/a"));
        EXPECT_EQ(cell(sheet, 10, 2), QString());  // a field the table no longer has
        EXPECT_EQ(cell(sheet, 11, 2), QStringLiteral("メモ"));
        // The work copy is private: nothing lands beside the template or in
        // the program folder.
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.xlsx")}),
                  QStringList{QStringLiteral("カード.xlsx")});
        typeInto(sheet, 2, 2, QStringLiteral("  田中  "));
        typeInto(sheet, 3, 2, QStringLiteral("abc"));  // not a byte: null
        typeInto(sheet, 5, 2, QStringLiteral("false"));
        typeInto(sheet, 11, 2, QStringLiteral("無視"));  // memo: never read back
        // A picture of the card for a person to look at, when asked for.
        if (const QString shot = qEnvironmentVariable("TESMORA_CARD_SCREENSHOT"); !shot.isEmpty())
            sheet.grab().save(shot);
        // The user looks at the cover sheet last and saves there.
        sheet.findChild<QTabBar*>()->setCurrentIndex(0);
        sheet.findChild<QToolButton*>(QStringLiteral("SaveButton"))->click();
    });
    form->DBGrid1DblClick();
    EXPECT_TRUE(shownWhileOpen);
    EXPECT_FALSE(formEnabledWhileOpen);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join('\n').toStdString();
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(form->Form11->LastResult.fieldsWritten, 3);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名, quote(年齢), 有効, 識別, 入会日, 備考 FROM 会員 "
                                    "WHERE 番号 = 1")),
              QStringLiteral("田中|NULL|0|2024-03-05|2020-04-01 00:00:00|メモ"));
    EXPECT_EQ(form->ADODataSet1.fieldByName(QStringLiteral("氏名")).asString(),
              QStringLiteral("田中"));
    EXPECT_FALSE(workCopy().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(workCopy()).path()));
    // The template itself was only read.
    EXPECT_EQ(run(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"),
                   QStringLiteral("import sys, openpyxl; print(openpyxl.load_workbook(sys.argv[1])"
                                  "['カード']['B2'].value)"),
                   templatePath}),
              QStringLiteral("None"));
}

TEST_F(Card, ClosingWithoutSavingOrOnASavedQueryLeavesTheRecord) {
    at(1);
    whileShown([&](excel::window::SheetWindow& sheet) {
        EXPECT_EQ(cell(sheet, 2, 2), QStringLiteral("佐藤"));
        typeInto(sheet, 2, 2, QStringLiteral("変更"));
        services.answerNextDialog(
            [](QDialog& d) { d.done(excel::window::SaveChangesDialog::DontSave); });
    });
    form->DBGrid1DblClick();
    EXPECT_TRUE(shownWhileOpen);
    EXPECT_FALSE(form->Form11->LastResult.saved);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE 番号 = 2")),
              QStringLiteral("佐藤"));

    // Saved, but the database is of the old format: nothing is written.
    form->OldFormatDatabase = true;
    shownWhileOpen = false;
    whileShown([&](excel::window::SheetWindow& sheet) {
        // A fresh copy of the template each time, not the last work copy.
        EXPECT_EQ(cell(sheet, 2, 2), QStringLiteral("佐藤"));
        typeInto(sheet, 2, 2, QStringLiteral("変更"));
        EXPECT_TRUE(sheet.save());
    });
    form->DBGrid1DblClick();
    EXPECT_TRUE(shownWhileOpen);
    EXPECT_TRUE(form->Form11->LastResult.saved);
    EXPECT_EQ(form->Form11->LastResult.fieldsWritten, 0);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE 番号 = 2")),
              QStringLiteral("佐藤"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(workCopy()).path()));
}

TEST_F(Card, ACardSheetRemovedOrAMissingTemplateStopsWithAMessage) {
    // The card document names a sheet the template does not have.
    {
        documents::Registry registry(form->ADOConnection2, {path, QStringLiteral("会員")});
        QString t, s;
        const int id = registry.FindCardDocument(t, s);
        registry.UpdateDocument(id, QString(), QString(), QString(), QString(),
                                QStringLiteral("無い"), QString(), 0);
    }
    at(0);
    form->DBGrid1DblClick();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("シートがありません"));
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("文書編集の中止"));
    EXPECT_EQ(shownSheet(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(workCopy()).path()));
    EXPECT_TRUE(form->isEnabled());

    services.clearRecords();
    QFile::remove(templatePath);
    form->DBGrid1DblClick();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("ファイルがありません"));
}

TEST_F(Card, ARecordJustAddedOpensInTheCard) {
    form->setRadioGroupIndex(1);
    form->RadioGroup1Click();
    whileShown([&](excel::window::SheetWindow& sheet) {
        EXPECT_EQ(cell(sheet, 1, 2), QStringLiteral("-1"));  // the placeholder key
        typeInto(sheet, 1, 2, QStringLiteral("3"));
        typeInto(sheet, 2, 2, QStringLiteral("新人"));
        typeInto(sheet, 4, 2, QStringLiteral("2024/3/5"));
        EXPECT_TRUE(sheet.save());
    });
    form->SpeedButton18->click();
    EXPECT_TRUE(shownWhileOpen);
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join('\n').toStdString();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 番号, 氏名, 入会日 FROM 会員 ORDER BY 番号")),
              QStringLiteral("1|山田|2020-04-01 00:00:00\n2|佐藤|2021-05-02 00:00:00\n"
                             "3|新人|2024-03-05 00:00:00"));
}

TEST_F(Card, ARefusedWriteLeavesTheRecordAsItWas) {
    at(1);
    whileShown([&](excel::window::SheetWindow& sheet) {
        typeInto(sheet, 1, 2, QStringLiteral("1"));  // the key of the other record
        typeInto(sheet, 2, 2, QStringLiteral("重複"));
        EXPECT_TRUE(sheet.save());
    });
    form->DBGrid1DblClick();
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Browse);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 番号, 氏名 FROM 会員 ORDER BY 番号")),
              QStringLiteral("1|山田\n2|佐藤"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(workCopy()).path()));
    EXPECT_TRUE(form->isEnabled());
}
