// "雛形編集" from the main window: the template choice, the copy registered
// as a new document, and the wait for the editor (a stand-in program for
// LibreOffice, or the sheet window) with the main window disabled only then.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include "ListFixtures.h"
#include "ProgramFiles.h"
#include "SheetFixtures.h"
#include "db/Db.h"
#include "documents/Registry.h"
#include "documents/TForm14.h"
#include "documents/TForm8.h"
#include "documents/TemplateEditing.h"
#include "excel/Workbook.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using documents::BlockSettings;
using documents::Registry;

namespace {

excel::window::SheetWindow* shownSheet() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<excel::window::SheetWindow*>(w); s && s->isVisible()) return s;
    return nullptr;
}

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class TemplateEditing : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        storePath = dir.file(QStringLiteral("SystemData.mdb"));
        store.setConnectionString(view::systemStoreConnectionString(dir.path() + '/'));
        database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, listtest::sampleRows());
        excel::window::registerSheetWindows(services, sheettest::pdfPrinters(dir.path()));
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form8 = new TForm8(services, form.get());
        form->Form15 = new TForm15(form.get());
        form->show();
        form->OpenDatabase(database, listtest::kTable);
        ASSERT_EQ(form->DatabasePath, database);
        services.clearRecords();
        templatePath = sheettest::copySheet(QStringLiteral("shown.xlsx"), dir.path());
        Registry r(store, {database, listtest::kTable});
        id = r.InsertDocument(QStringLiteral("見積"), database, listtest::kTable, templatePath,
                              QStringLiteral("Sheet2"), QStringLiteral("氏名"));
        BlockSettings block;
        block.YSection = 4;
        block.YIncrement = 9;
        block.Sort1 = QStringLiteral("-会費");
        r.WriteBlockSettings(id, block);
        r.InsertBindings(id, {{"B3", "氏名", {}}, {"#3", "住所", {}}});
        r.SetSerialNumber(id, 40);
        r.SetCardDocument(id);
    }
    void TearDown() override {
        form.reset();
        excel::setPresenterFactory({});
    }

    // A stand-in editor: records its arguments and whether the main window
    // was usable while it ran, then ends as LibreOffice does when closed.
    QString fakeEditor() {
        const QString script = dir.file(QStringLiteral("editor.sh"));
        QFile f(script);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return script;
    }
    void chooseDocument() {
        services.answerNextDialog([](QDialog& d) {
            static_cast<TForm8&>(d).ListBox1->setCurrentRow(0);
            static_cast<TForm8&>(d).Button1->click();
        });
    }
    QStringList sqlite(const QString& sql) {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), storePath, sql});
        EXPECT_TRUE(p.waitForFinished(10000));
        QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        if (!rows.isEmpty() && rows.last().isEmpty()) rows.removeLast();
        return rows;
    }

    testsupport::TempDir dir;
    QString storePath;
    db::Connection store;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
    QString database;
    QString templatePath;
    int id = -1;
};

}  // namespace

TEST_F(TemplateEditing, ACopyBecomesANewDocumentAndOpensInThePrivateEditor) {
    form->TemplateEditor = fakeEditor();
    const QString copy = dir.file(QStringLiteral("shown_改.xlsx"));
    chooseDocument();
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm14&>(d);
        EXPECT_EQ(f.windowTitle(), QStringLiteral("雛形の選択"));
        EXPECT_TRUE(f.Edit1->isHidden());
        f.RadioButton2->click();
        EXPECT_FALSE(f.Edit1->isHidden());
        EXPECT_EQ(f.Edit1->text(), copy);
        EXPECT_EQ(f.Edit2->text(), QStringLiteral("見積_改"));
        f.Button1->click();
    });
    form->SpeedButton13->click();
    EXPECT_TRUE(services.messages.empty()) << services.messageTexts().join(',').toStdString();
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join(',').toStdString();
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(bytes(copy), bytes(templatePath));

    const QStringList args =
        QString::fromUtf8(bytes(dir.file(QStringLiteral("args.txt")))).split('\n');
    ASSERT_GE(args.size(), 2);
    EXPECT_TRUE(args[0].startsWith(QStringLiteral("-env:UserInstallation=file:///"))) << args[0].toStdString();
    EXPECT_TRUE(args.contains(copy));
    // The copy: same database, table, sheet, log field, blocks, sort and
    // bindings; serial 1 and not the card.
    EXPECT_EQ(sqlite("SELECT 登録名, テーブル, エクセル, シート, 印刷記録, 通し番号, 優先, "
                     "YSection, YIncrement, Sort1 FROM 登録データ ORDER BY ID"),
              QStringList({QStringLiteral("見積|名簿|%1|Sheet2|氏名|40|1|4|9|-会費").arg(templatePath),
                           QStringLiteral("見積_改|名簿|%1|Sheet2|氏名|1|0|4|9|-会費").arg(copy)}));
    EXPECT_EQ(sqlite("SELECT セル, フィールド FROM 出力データ WHERE リンク = 2 ORDER BY IID"),
              QStringList({"B3|氏名", "#3|住所"}));
}

TEST_F(TemplateEditing, TheCopyNeverLandsOnTheTemplateItself) {
    form->TemplateEditor = fakeEditor();
    chooseDocument();
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm14&>(d);
        f.RadioButton2->click();
        // The template under another extension is the template once the
        // extension is put right; so is a path that reaches it indirectly.
        services.answerNextSave(dir.file(QStringLiteral("shown.xls")));
        f.SpeedButton2->click();
        services.answerNextSave(dir.path() + QStringLiteral("/./sub/../shown"));
        f.SpeedButton2->click();
        EXPECT_EQ(services.messageTexts(), QStringList({"同じファイルは指定できません",
                                                        "同じファイルは指定できません"}));
        EXPECT_EQ(services.messages[0].caption, QStringLiteral("ファイル選択の中止"));
        EXPECT_EQ(services.fileRequests.back().filter,
                  QStringLiteral("Excelファイル(*.xlsx)|*.xlsx"));
        services.clearRecords();
        // Another name keeps the template's extension; an existing file is
        // overwritten only when the user agrees.
        const QString other = dir.file(QStringLiteral("別.xls"));
        services.answerNextSave(other);
        f.SpeedButton2->click();
        EXPECT_EQ(f.Edit1->text(), dir.file(QStringLiteral("別.xlsx")));
        QFile(templatePath).copy(dir.file(QStringLiteral("別.xlsx")));
        services.answerNextQuestion(platform::Answer::Cancel);
        f.Button1->click();
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(services.messageTexts(), QStringList{"同名ファイルがあります。上書きしますか？"});
        // Editing the template itself asks nothing.
        f.RadioButton1->click();
        f.Button1->click();
    });
    form->SpeedButton13->click();
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM 登録データ"), QStringList{"1"});
    EXPECT_TRUE(QString::fromUtf8(bytes(dir.file(QStringLiteral("args.txt"))))
                    .contains(templatePath));

    // A copy that cannot be written stops before anything is registered.
    chooseDocument();
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm14&>(d);
        f.RadioButton2->click();
        f.Edit1->setText(dir.file(QStringLiteral("無いフォルダ/x.xlsx")));
        f.Button1->click();
    });
    form->SpeedButton13->click();
    EXPECT_EQ(services.messages.back().text, QStringLiteral("複製が作成できません"));
    EXPECT_EQ(services.messages.back().caption, QStringLiteral("雛形編集の中止"));
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM 登録データ"), QStringList{"1"});
}

TEST_F(TemplateEditing, WithoutAnEditorTheSheetWindowShowsTheDocumentsSheet) {
    form->TemplateEditor = QString();
    chooseDocument();
    services.answerNextDialog([](QDialog& d) { static_cast<TForm14&>(d).Button1->click(); });
    bool waited = false;
    QTimer::singleShot(0, [&] {
        excel::window::SheetWindow* sheet = shownSheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_FALSE(form->isEnabled());
        EXPECT_EQ(sheet->view().sheet()->name(), QStringLiteral("Sheet2"));
        waited = true;
        // Showing another sheet than the saved one is a change to save or not.
        services.answerNextDialog(
            [](QDialog& d) { d.done(excel::window::SaveChangesDialog::DontSave); });
        sheet->close();
    });
    form->SpeedButton13->click();
    EXPECT_TRUE(waited);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(shownSheet(), nullptr);

    // A template that does not open: the error is shown and the main window
    // was never disabled.
    QFile broken(templatePath);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a workbook");
    broken.close();
    chooseDocument();
    services.answerNextDialog([](QDialog& d) { static_cast<TForm14&>(d).Button1->click(); });
    form->SpeedButton13->click();
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_TRUE(form->isEnabled());
}

TEST(TemplateEditor, ArgumentsAndCopy) {
    const QStringList args = documents::calcEditorArguments(QStringLiteral("/tmp/a b/帳票.xlsx"),
                                                            QStringLiteral("/tmp/prof 1"));
    EXPECT_EQ(args.first(), QStringLiteral("-env:UserInstallation=file:///tmp/prof%201"));
    EXPECT_EQ(args.last(), QStringLiteral("/tmp/a b/帳票.xlsx"));
    testsupport::TempDir dir;
    const QString a = dir.file(QStringLiteral("a.xlsx"));
    QFile f(a);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("template");
    f.close();
    EXPECT_FALSE(documents::copyTemplate(a, dir.path() + QStringLiteral("/./a.xlsx")));
    EXPECT_EQ(bytes(a), QByteArray("template"));
    EXPECT_TRUE(documents::copyTemplate(a, dir.file(QStringLiteral("b.xlsx"))));
    EXPECT_EQ(bytes(dir.file(QStringLiteral("b.xlsx"))), QByteArray("template"));
}
