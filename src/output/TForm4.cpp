#include "output/TForm4.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QProgressBar>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "excel/TUGExcel.h"
#include "excel/window/Waits.h"
#include "output/CsvList.h"
#include "output/MainWindowState.h"
#include "output/PrintedList.h"
#include "output/SheetList.h"
#include "output/TForm20.h"
#include "platform/BusyWindow.h"

namespace {

const QString kReport = QStringLiteral("報告");
const QString kFileCaption = QStringLiteral("ファイル保存の中止");

QToolButton* speedButton(QWidget* parent, int number, const QString& caption, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(number));
    b->setText(caption);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(90);
    return b;
}

}  // namespace

// The dialog while an output runs: disabled, busy cursor, "出力中" and the
// progress bar shown; all of it undone however the output ends.
class OutputRun {
public:
    OutputRun(platform::Services& services, TForm4& form) : busy_(services, &form), form_(form) {
        form_.ProgressBar1->setValue(0);
        form_.Label2->show();
        form_.ProgressBar1->show();
    }
    ~OutputRun() {
        form_.Label2->hide();
        form_.ProgressBar1->hide();
    }

private:
    platform::BusyWindow busy_;
    TForm4& form_;
};

TForm4::TForm4(platform::Services& services, output::MainWindowState& mainWindow,
               PrinterSource printers, QWidget* parent)
    : QDialog(parent),
      ADODataSet1(mainWindow.userConnection()),
      services_(services),
      mainWindow_(mainWindow),
      printers_(std::move(printers)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("データの一覧出力"));
    if (!printers_) printers_ = [] { return std::make_unique<QPrinter>(QPrinter::HighResolution); };

    Label1 = new QLabel(QStringLiteral("出力ﾌｨｰﾙﾄﾞの選択"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    SpeedButton4 = speedButton(this, 4, QStringLiteral("全ﾁｪｯｸ"), QString());
    SpeedButton5 = speedButton(this, 5, QStringLiteral("全ｸﾘｱ"), QString());
    SpeedButton1 = speedButton(this, 1, QStringLiteral("CSV"), QStringLiteral("CSVファイルに保存"));
    SpeedButton2 = speedButton(this, 2, QStringLiteral("印刷"), QStringLiteral("データを一覧印刷"));
    SpeedButton6 =
        speedButton(this, 6, QStringLiteral("Excel"), QStringLiteral("既存Excelファイルに保存"));
    SpeedButton3 = speedButton(this, 3, QStringLiteral("閉じる"), QString());
    Label2 = new QLabel(QStringLiteral("出力中"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    Label2->hide();
    ProgressBar1->hide();

    SaveDialog1.filter = QStringLiteral("CSVファイル(*.csv)|*.csv");
    SaveDialog1.defaultSuffix = QStringLiteral("csv");
    Form20 = new TForm20(this);

    auto* checks = new QHBoxLayout;
    checks->addWidget(SpeedButton4);
    checks->addWidget(SpeedButton5);
    auto* left = new QVBoxLayout;
    left->addWidget(Label1);
    left->addWidget(CheckListBox1, 1);
    left->addLayout(checks);
    auto* right = new QVBoxLayout;
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton6}) right->addWidget(b);
    right->addStretch();
    right->addWidget(SpeedButton3);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto* progress = new QHBoxLayout;
    progress->addWidget(Label2);
    progress->addWidget(ProgressBar1, 1);
    auto* root = new QVBoxLayout(this);
    root->addLayout(top, 1);
    root->addLayout(progress);
    resize(360, 420);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm4::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm4::SpeedButton2Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm4::SpeedButton6Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm4::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm4::SpeedButton5Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm4::SpeedButton3Click);
}

TForm4::~TForm4() = default;

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm4::done(int result) {
    // However the dialog closes, its record set goes with it.
    ADODataSet1.close();
    QDialog::done(result);
}

void TForm4::FormShow() {
    CheckListBox1->clear();
    Label2->hide();
    ProgressBar1->hide();
    OpenDialog1.filter = mainWindow_.excelFilter();
    platform::runGuarded(services_, this, [&] {
        ADODataSet1.close();
        ADODataSet1.setCommandText(mainWindow_.shownSql());
        ADODataSet1.open();
        for (int i = 0; i < ADODataSet1.fieldCount(); ++i) {
            db::Field f = ADODataSet1.field(i);
            auto* item = new QListWidgetItem(f.name(), CheckListBox1);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
            item->setData(Qt::UserRole, f.dataType());
        }
    });
}

void TForm4::setAllChecked(bool checked) {
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TForm4::SpeedButton4Click() {
    setAllChecked(true);
}
void TForm4::SpeedButton5Click() {
    setAllChecked(false);
}

void TForm4::SpeedButton3Click() {
    ADODataSet1.close();
    accept();
}

output::ListRecords TForm4::records() {
    return {mainWindow_.userConnection(), ADODataSet1.commandText(), ADODataSet1.recordCount()};
}

bool TForm4::checkedColumns(std::vector<output::ListColumn>& columns) {
    columns.clear();
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        const QListWidgetItem* item = CheckListBox1->item(i);
        if (item->checkState() != Qt::Checked) continue;
        columns.push_back(
            {i, item->text(), item->data(Qt::UserRole).toInt(), mainWindow_.gridColumnWidth(i)});
    }
    if (!columns.empty()) return true;
    services_.message(this, QStringLiteral("フィールドが未選択です"), QStringLiteral("出力の中止"));
    return false;
}

void TForm4::showProgress(int percent) {
    ProgressBar1->setValue(percent);
    // Outputs run without the event loop; the bar is drawn right away.
    ProgressBar1->repaint();
}

void TForm4::reportListError(const output::ListError& e, const QString& caption) {
    using Code = output::ListError::Code;
    QString text;
    switch (e.code()) {
        case Code::CannotCreate:
            text = QStringLiteral("ファイルが開けません");
            break;
        case Code::WriteFailed:
            text = QStringLiteral("ファイルに書き込めません");
            break;
        case Code::PrintFailed:
            text = QStringLiteral("印刷できません");
            break;
        case Code::NoSheet:
            text = QStringLiteral("シートがありません");
            break;
        case Code::Unencodable:
            text = e.record == 0
                       ? QStringLiteral("フィールド名「%1」にShift-JISで保存できない文字があります")
                             .arg(e.field)
                       : QStringLiteral(
                             "%1件目のデータの「%2」にShift-JISで保存できない文字があります")
                             .arg(e.record)
                             .arg(e.field);
            break;
    }
    services_.message(this, text, caption);
}

void TForm4::SpeedButton1Click() {
    std::vector<output::ListColumn> columns;
    if (!checkedColumns(columns)) return;
    const QString chosen = services_.saveFile(this, SaveDialog1);
    if (chosen.isEmpty()) return;
    const QString path = output::csvFileName(chosen);
    try {
        OutputRun run(services_, *this);
        output::writeCsvList(path, records(), columns, output::CsvEncoding::Cp932,
                             [this](int p) { showProgress(p); });
    } catch (const output::ListError& e) {
        reportListError(e, kFileCaption);
        return;
    } catch (const std::exception& e) {
        services_.showError(this, e);
        return;
    }
    services_.message(this, QStringLiteral("保存が終わりました"), kReport);
}

void TForm4::SpeedButton2Click() {
    std::vector<output::ListColumn> columns;
    if (!checkedColumns(columns)) return;
    std::unique_ptr<QPrinter> printer = printers_();
    if (!printer || !services_.choosePrinter(this, *printer)) return;
    try {
        OutputRun run(services_, *this);
        // Lets the print dialog's window go before the printing starts.
        QApplication::processEvents();
        output::printList(*printer, logicalDpiX(), columns, records(),
                          [this](int p) { showProgress(p); });
    } catch (const output::ListError& e) {
        reportListError(e, QStringLiteral("印刷の中止"));
        return;
    } catch (const std::exception& e) {
        services_.showError(this, e);
        return;
    }
    services_.message(this, QStringLiteral("印刷が終わりました"), kReport);
}

void TForm4::SpeedButton6Click() {
    std::vector<output::ListColumn> columns;
    if (!checkedColumns(columns)) return;
    const QStringList files = services_.openFiles(this, OpenDialog1);
    if (files.isEmpty()) return;
    excel::TUGExcel excel(mainWindow_.excelProgId());
    if (!platform::runGuarded(services_, this, [&] { excel.OpenBook(files.first(), true); }))
        return;
    if (excel::window::showAbove(services_, *Form20, excel, this) != QDialog::Accepted) {
        excel.CloseBook(true);
        return;
    }
    try {
        OutputRun run(services_, *this);
        output::writeListToActiveSheet(excel, records(), columns,
                                       [this](int p) { showProgress(p); });
    } catch (const output::ListError& e) {
        excel.CloseBook(false);
        reportListError(e, kFileCaption);
        return;
    } catch (const std::exception& e) {
        // Half a list is never saved: the book keeps what it held.
        excel.CloseBook(false);
        services_.showError(this, e);
        return;
    }
    services_.message(this, QStringLiteral("保存が終わりました"), kReport);
    excel.CloseBook(true);
}
