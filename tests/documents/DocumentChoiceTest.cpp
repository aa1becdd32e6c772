// Choosing a document (with the search for a lost template) and choosing
// the card, driven through the scripted services.
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "StoreFixture.h"
#include "documents/DocumentChoice.h"
#include "documents/TForm12.h"
#include "documents/TForm8.h"
#include "platform/ScriptedServices.h"

using namespace documents;

namespace {

const QString kFilter = QStringLiteral("Excelファイル(*.xls,*.xlsx)|*.xls;*.xlsx");

class Choice : public documents::test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        present = dir.file("請求書.xlsx");
        QFile f(present);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        Registry r = registry();
        first = r.InsertDocument("請求書", "/data/会員.mdb", "会員", present, "明細", "番号");
        r.SetSerialNumber(first, 12);
        second =
            r.InsertDocument("宛名", "/data/会員.mdb", "会員", dir.file("消えた.xlsx"), "宛名", "");
    }

    int choose(ChosenDocument& chosen) {
        Registry r = registry();
        return SelectDocument(r, services, form8, nullptr, kFilter, chosen);
    }
    // Picks row in the list and presses OK.
    static platform::ScriptedServices::DialogScript pick(int row) {
        return [row](QDialog& d) {
            auto& f = static_cast<TForm8&>(d);
            f.ListBox1->setCurrentRow(row);
            f.Button1->click();
        };
    }

    platform::ScriptedServices services;
    TForm8 form8{services};
    TForm12 form12;
    QString present;
    int first = -1;
    int second = -1;
};

}  // namespace

TEST_F(Choice, NoDocumentsCancelAndAnEmptyChoice) {
    ChosenDocument chosen;
    Registry empty = registry("/data/空.mdb", "会員");
    EXPECT_EQ(SelectDocument(empty, services, form8, nullptr, kFilter, chosen), -1);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "登録文書がありません");
    EXPECT_EQ(services.messages[0].caption, "出力選択の中止");
    services.clearRecords();

    // The list shows both names, the first preselected; OK with nothing
    // chosen is refused and the dialog stays open until cancelled.
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm8&>(d);
        EXPECT_EQ(f.windowTitle(), "文書の選択");
        ASSERT_EQ(f.ListBox1->count(), 2);
        EXPECT_EQ(f.ListBox1->item(1)->text(), "宛名");
        EXPECT_EQ(f.chosenId(), first);
        f.ListBox1->clearSelection();
        f.Button1->click();
        EXPECT_TRUE(f.isVisible());
        f.Button2->click();
    });
    EXPECT_EQ(choose(chosen), -1);
    EXPECT_EQ(services.messageTexts(), QStringList({"文書が未選択です"}));
    EXPECT_EQ(services.messages[0].caption, "文書選択の中止");
}

TEST_F(Choice, APresentTemplateGivesTheDocumentsSettings) {
    ChosenDocument chosen;
    services.answerNextDialog(pick(0));
    EXPECT_EQ(choose(chosen), first);
    EXPECT_EQ(chosen.templatePath, present);
    EXPECT_EQ(chosen.sheet, "明細");
    EXPECT_EQ(chosen.name, "請求書");
    EXPECT_EQ(chosen.outputLogField, "番号");
    EXPECT_EQ(chosen.serialNumber, 12);
    EXPECT_TRUE(services.messages.empty());
    EXPECT_FALSE(store.connected());
}

TEST_F(Choice, ALostTemplateCanBeFoundAgainOrTheChoiceEnds) {
    ChosenDocument chosen;
    // Not looked for.
    services.answerNextDialog(pick(1));
    services.answerNextQuestion(platform::Answer::Cancel);
    EXPECT_EQ(choose(chosen), -1);
    EXPECT_EQ(services.messageTexts(), QStringList({"ファイルがありません。探しますか？"}));
    EXPECT_EQ(services.messages[0].caption, "出力選択の確認");
    services.clearRecords();

    // Looked for, the open dialog cancelled.
    services.answerNextDialog(pick(1));
    services.answerNextQuestion(platform::Answer::Ok);
    services.answerNextOpen({});
    EXPECT_EQ(choose(chosen), -1);
    ASSERT_EQ(services.fileRequests.size(), 1u);
    EXPECT_EQ(services.fileRequests[0].fileName, dir.file("消えた.xlsx"));
    EXPECT_EQ(services.fileRequests[0].filter, kFilter);
    services.clearRecords();

    // A file that does not exist either.
    services.answerNextDialog(pick(1));
    services.answerNextQuestion(platform::Answer::Ok);
    services.answerNextOpen({dir.file("無い.xlsx")});
    EXPECT_EQ(choose(chosen), -1);
    EXPECT_EQ(services.messageTexts().last(), "ファイルがありません");
    EXPECT_EQ(services.messages.back().caption, "出力選択の中止");
    EXPECT_EQ(sqliteValue(QString("SELECT エクセル FROM 登録データ WHERE ID = %1").arg(second)),
              dir.file("消えた.xlsx"));

    // Found: the document points at it from now on.
    services.answerNextDialog(pick(1));
    services.answerNextQuestion(platform::Answer::Ok);
    services.answerNextOpen({present});
    EXPECT_EQ(choose(chosen), second);
    EXPECT_EQ(chosen.templatePath, present);
    EXPECT_EQ(sqliteValue(QString("SELECT エクセル FROM 登録データ WHERE ID = %1").arg(second)),
              present);
}

TEST_F(Choice, CardSettingsShowTheCurrentCardAndStoreTheNewOne) {
    Registry r = registry();
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm12&>(d);
        EXPECT_EQ(f.windowTitle(), "カードの設定");
        EXPECT_EQ(f.Label2->text(), "現在：なし");
        // 選択 without a chosen document does nothing.
        f.ListBox1->clearSelection();
        f.Button1->click();
        EXPECT_TRUE(f.isVisible());
        f.ListBox1->setCurrentRow(1);
        f.Button1->click();
    });
    EditCardDocument(r, services, form12, nullptr);
    QString path, sheet;
    EXPECT_EQ(r.FindCardDocument(path, sheet), second);

    // Two marked by an outside edit: the last one read is shown as current.
    sqlite("UPDATE 登録データ SET 優先 = 1");
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm12&>(d);
        EXPECT_EQ(f.Label2->text(), "現在：宛名");
        f.Button3->click();
    });
    EditCardDocument(r, services, form12, nullptr);
    EXPECT_EQ(sqliteValue("SELECT count(*) FROM 登録データ WHERE 優先"), "2") << "cancel";

    services.answerNextDialog([&](QDialog& d) { static_cast<TForm12&>(d).Button2->click(); });
    EditCardDocument(r, services, form12, nullptr);
    EXPECT_EQ(r.FindCardDocument(path, sheet), -1);

    Registry empty = registry("/data/空.mdb", "会員");
    EditCardDocument(empty, services, form12, nullptr);
    EXPECT_EQ(services.messageTexts(), QStringList({"登録文書がありません"}));
    EXPECT_EQ(services.messages[0].caption, "報告");
}
