// The main window's clipboard and name buttons in edit mode: one cell at a
// time, copied to the clipboard or stored from the clipboard, a folder, a
// file or a web address. Each store is an edit of its own, posted at once,
// with the cell's earlier text kept for "ﾃﾞｰﾀ戻す".
#include <QDir>
#include <QLineEdit>

#include "view/RecordEditing.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm58.h"

namespace {
const QString kPasteCaption = QStringLiteral("貼り付けの中止");
}

int TForm1::pasteTarget(bool textOnly) const {
    const int col = currentGridField();
    if (col < 0) return -1;
    db::Field f = const_cast<db::DataSet&>(ADODataSet1).field(col);
    if (f.dataType() == db::ftMemo || !f.canModify()) return -1;
    if (textOnly && f.dataType() != db::ftText) return -1;
    return col;
}

void TForm1::storeInCell(int column, const QString& text) {
    // Whatever the user was typing in the record is stored first, so that a
    // refused paste takes back only the paste.
    if (!DBGrid1->postPending()) return;
    captureCellText(column);
    try {
        ADODataSet1.edit();
        ADODataSet1.field(column).setAsString(text);
        ADODataSet1.post();
    } catch (const std::exception& e) {
        ADODataSet1.cancel();
        services_.showError(this, e);
    }
}

void TForm1::SpeedButton10Click() {
    const int col = currentGridField();
    if (col < 0) return;
    db::Field f = ADODataSet1.field(col);
    if (f.dataType() == db::ftMemo) return;
    services_.setClipboardText(f.asString());
}

void TForm1::SpeedButton11Click() {
    const int col = currentGridField();
    if (col < 0) return;
    db::Field f = ADODataSet1.field(col);
    if (f.dataType() == db::ftMemo || !services_.clipboardHasText()) return;
    const QString text = services_.clipboardText();
    if (!f.canModify()) {
        services_.message(this, QStringLiteral("入力不可フィールドです"), kPasteCaption);
        return;
    }
    if (!view::pasteFits(f.dataType(), text)) {
        services_.message(this, QStringLiteral("データ型が一致しません"), kPasteCaption);
        return;
    }
    storeInCell(col, text);
}

void TForm1::SpeedButton19Click() {
    const int col = pasteTarget(true);
    if (col < 0) return;
    const QString folder =
        services_.chooseFolder(this, QStringLiteral("貼付けるフォルダを選んで下さい"));
    if (!folder.isEmpty()) storeInCell(col, QDir::toNativeSeparators(folder));
}

void TForm1::SpeedButton15Click() {
    const int col = pasteTarget(true);
    if (col < 0) return;
    const QStringList files = services_.openFiles(this, OpenDialog2);
    if (!files.isEmpty()) storeInCell(col, QDir::toNativeSeparators(files.first()));
}

void TForm1::SpeedButton16Click() {
    const int col = pasteTarget(true);
    if (col < 0) return;
    if (!Form58) Form58 = new TForm58(services_, nullptr, this);
    Form58->FormShow();
    if (services_.execDialog(Form58) != QDialog::Accepted) return;
    const QString address = Form58->Edit1->text().trimmed();
    // OK before any page arrived leaves the window's own notice in the box;
    // that is no address.
    if (address.isEmpty() || address == TForm58::kLoadingText) return;
    storeInCell(col, address);
}
