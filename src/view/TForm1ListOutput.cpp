// The main window's side of list output: the 一覧出力 button and what the
// list-output dialog reads of this window.
#include <QToolButton>

#include "output/TForm4.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"

void TForm1::SpeedButton3Click() {
    if (!tableShownOrRefuse(QStringLiteral("一覧出力の中止"))) return;
    if (!Form4) Form4 = new TForm4(services_, *this, {}, this);
    services_.execDialog(Form4);
}

db::Connection& TForm1::userConnection() {
    return ADOConnection1;
}

QString TForm1::shownSql() const {
    return ADODataSet1.commandText();
}

int TForm1::gridColumnWidth(int column) const {
    return DBGrid1->columnWidth(column);
}

QString TForm1::excelProgId() const {
    return ExcelProgID;
}

QString TForm1::excelFilter() const {
    return ExcelFilter;
}
