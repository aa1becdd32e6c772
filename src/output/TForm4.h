#pragma once
// "データの一覧出力": the fields of the shown records with check boxes, and
// three outputs of the checked fields: a CSV file, a printed ruled list, and
// a sheet of an existing workbook. The record set is opened on every showing
// with the grid's own SQL text (its filter and order) and closed by 閉じる;
// every output walks it from its first record. The work itself is the plain
// code of CsvList, PrintedList and SheetList.
#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "db/Db.h"
#include "output/ListOutput.h"
#include "platform/Services.h"

class QLabel;
class QListWidget;
class QPrinter;
class QProgressBar;
class QToolButton;
class TForm20;

namespace output {
class MainWindowState;
}

class TForm4 : public QDialog {
    Q_OBJECT
public:
    // Hands out the printer for one printed list; by default the desktop's
    // printer, which the print dialog then lets the user change.
    using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;

    TForm4(platform::Services& services, output::MainWindowState& mainWindow,
           PrinterSource printers = {}, QWidget* parent = nullptr);
    ~TForm4() override;

    QLabel* Label1;
    QListWidget* CheckListBox1;  // one line per field; Qt::UserRole holds the type code
    QToolButton* SpeedButton4;   // 全ﾁｪｯｸ
    QToolButton* SpeedButton5;   // 全ｸﾘｱ
    QToolButton* SpeedButton1;   // CSV
    QToolButton* SpeedButton2;   // 印刷
    QToolButton* SpeedButton6;   // Excel
    QToolButton* SpeedButton3;   // 閉じる
    QLabel* Label2;              // 出力中
    QProgressBar* ProgressBar1;
    platform::FileDialogRequest SaveDialog1;
    platform::FileDialogRequest OpenDialog1;
    db::DataSet ADODataSet1;
    TForm20* Form20;  // the sheet choice, owned by this dialog

    void FormShow();
    void SpeedButton1Click();  // CSV
    void SpeedButton2Click();  // 印刷
    void SpeedButton6Click();  // Excel
    void SpeedButton4Click();  // 全ﾁｪｯｸ
    void SpeedButton5Click();  // 全ｸﾘｱ
    void SpeedButton3Click();  // 閉じる

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    // The checked fields in field order; "" message and false when none.
    bool checkedColumns(std::vector<output::ListColumn>& columns);
    void setAllChecked(bool checked);
    // The dialog's records, walked once per output from the first.
    output::ListRecords records();
    void showProgress(int percent);
    void reportListError(const output::ListError& e, const QString& caption);

    platform::Services& services_;
    output::MainWindowState& mainWindow_;
    PrinterSource printers_;
};
