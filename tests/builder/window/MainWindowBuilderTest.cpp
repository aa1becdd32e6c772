// "DB作成" from the main window: hidden while the builder is up, then switched
// to the created database as any open does.
#include <gtest/gtest.h>
#include <utime.h>

#include <QComboBox>
#include <QListWidget>
#include <QToolButton>

#include "builder/BuilderFixture.h"
#include "builder/window/TForm2.h"
#include "db/Db.h"
#include "excel/TUGExcel.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/ScriptedServices.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(MainWindowBuilder, CreatedDatabaseOpensAsAnyDatabaseDoes) {
    buildertest::Folder folder;
    platform::ScriptedServices services;
    excel::window::registerSheetWindows(services);
    TForm1 form(services, folder.dir.path());
    form.Form15 = new TForm15(&form);
    form.show();
    services.clearRecords();

    const QString old = folder.file(QStringLiteral("old.mdb"));
    db::createDatabase(old);
    {
        db::Connection c;
        c.setConnectionString(builder::connectionStringFor(old));
        c.open();
        c.execute(QStringLiteral("CREATE TABLE 旧 (ID COUNTER PRIMARY KEY, a NCHAR(5))"));
    }
    services.answerNextOpen({old});
    form.SpeedButton1->click();
    ASSERT_EQ(form.DatabasePath, old);
    // The database being left changed since it was opened, so it is backed up.
    const QString backup = folder.file(QStringLiteral("old.bak"));
    form.BackupPath = backup;
    struct utimbuf times;
    times.actime = times.modtime = time(nullptr) + 60;
    utime(QFile::encodeName(old).constData(), &times);

    const QString csv = folder.file(QStringLiteral("list.csv"));
    buildertest::writeBytes(csv, QStringLiteral("番号,名前\r\n1,山田\r\n").toUtf8());
    const QString target = folder.file(QStringLiteral("new.mdb"));
    bool hiddenMeanwhile = false;
    services.answerNextDialog([&](QDialog& d) {
        auto& builder = static_cast<TForm2&>(d);
        hiddenMeanwhile = !form.isVisible();
        services.answerNextOpen({csv});
        services.answerNextDialog([&](QDialog& seven) { seven.accept(); });
        builder.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
        services.answerNextSave(target);
        builder.findChild<QToolButton*>(QStringLiteral("SpeedButton3"))->click();
        services.answerNextDialog([](QDialog& sixteen) {
            EXPECT_EQ(sixteen.findChild<QListWidget*>(QStringLiteral("ListBox1"))->item(0)->text(),
                      QStringLiteral("new.mdb"));
            sixteen.accept();
        });
        builder.findChild<QToolButton*>(QStringLiteral("SpeedButton8"))->click();
    });
    form.SpeedButton2->click();
    EXPECT_TRUE(hiddenMeanwhile);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(services.dialogsShown, (QStringList{QStringLiteral("Form2"), QStringLiteral("Form7"),
                                                  QStringLiteral("Form16")}));
    EXPECT_EQ(form.DatabasePath, target);
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("new.mdb"))) << form.windowTitle().toStdString();
    EXPECT_EQ(form.ComboBox1->currentText(), builder::kBaseTable);
    EXPECT_EQ(form.BackupPath, QString());
    EXPECT_EQ(bytesOf(backup), bytesOf(old));
    EXPECT_TRUE(services.messageTexts().contains(QStringLiteral("データベース作成が完了しました")));
    excel::setPresenterFactory({});
}
