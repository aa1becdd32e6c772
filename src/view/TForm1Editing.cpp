// The main window's record buttons in edit mode: "ﾃﾞｰﾀ追加" stores a new
// record at once with placeholder values (keys that the table does not hold
// yet), "ﾃﾞｰﾀ削除" deletes the current record after asking, "ﾃﾞｰﾀ戻す" puts
// the current cell's earlier text back. The rules are in RecordEditing.
#include <QToolButton>

#include "view/GridRules.h"
#include "view/RecordEditing.h"
#include "view/RecordGrid.h"
#include "view/RecordModel.h"
#include "view/TForm1.h"

void TForm1::wireEditing() {
    connect(SpeedButton18, &QToolButton::clicked, this, &TForm1::SpeedButton18Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TForm1::SpeedButton7Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TForm1::SpeedButton10Click);
    connect(SpeedButton11, &QToolButton::clicked, this, &TForm1::SpeedButton11Click);
    connect(SpeedButton19, &QToolButton::clicked, this, &TForm1::SpeedButton19Click);
    connect(SpeedButton15, &QToolButton::clicked, this, &TForm1::SpeedButton15Click);
    connect(SpeedButton16, &QToolButton::clicked, this, &TForm1::SpeedButton16Click);
}

void TForm1::captureCellText(int column) {
    SavedCellText = ADODataSet1.field(column).asString();
    savedCellRecord_ = ADODataSet1.bookmark();
    savedCellField_ = column;
}

bool TForm1::savedTextBelongsTo(int column) const {
    return savedCellRecord_ && *savedCellRecord_ == ADODataSet1.bookmark() &&
           savedCellField_ == column;
}

void TForm1::showRecordCount() {
    setPanelText(0, view::recordCountText(ADODataSet1.recordCount()));
}

QVariant TForm1::freePlaceholderKey(const QString& table, const QString& field, int fieldType) {
    const view::PlaceholderKeys keys = view::placeholderKeys(fieldType);
    if (!keys.search) return keys.fallback;
    db::Command taken(ADOConnection1);
    taken.setCommandText(view::placeholderQuery(table, field));
    for (const QVariant& candidate : keys.candidates) {
        taken.clearParameters();
        taken.addParameter(candidate, keys.parameterType);
        bool found = false;
        taken.query([&](const std::vector<QVariant>&) { found = true; });
        if (!found) return candidate;
    }
    return keys.fallback;
}

void TForm1::SpeedButton18Click() {
    // A cell still being typed in belongs to the record the user leaves.
    if (!DBGrid1->postPending()) return;
    platform::runGuarded(services_, this, [&] {
        const QString table = shownTableName();
        const QDateTime now = QDateTime::currentDateTime();
        ADODataSet1.append();
        for (int i = 0; i < ADODataSet1.fieldCount(); ++i) {
            db::Field f = ADODataSet1.field(i);
            if (!f.canModify()) continue;
            const QVariant value = view::isPrimaryKeyField(f.name(), PrimaryKeyFields)
                                       ? freePlaceholderKey(table, f.name(), f.dataType())
                                       : view::newRecordDefault(f.dataType(), now);
            if (!value.isNull()) f.setValue(value);
        }
        // Shown before it is stored: a refused post leaves it in the grid,
        // unposted, for the user to correct.
        const int column = std::max(0, DBGrid1->currentField());
        DBGrid1->setCurrentIndex(gridModel_->index(ADODataSet1.recNo(), column));
        showRecordCount();
        ADODataSet1.post();
        DBGrid1->scrollTo(DBGrid1->currentIndex());
        // The new record is filled in through the table's card, when it has one.
        OpenCardView();
    });
}

void TForm1::SpeedButton6Click() {
    if (!ADODataSet1.active() || ADODataSet1.recNo() < 0) return;
    if (services_.message(this, QStringLiteral("データを削除しますか？"),
                          QStringLiteral("削除の確認"),
                          platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    platform::runGuarded(services_, this, [&] { ADODataSet1.remove(); });
    showRecordCount();
}

void TForm1::SpeedButton7Click() {
    const int col = currentGridField();
    if (col < 0 || ADODataSet1.field(col).dataType() == db::ftMemo) return;
    // The text was taken from one cell of one record; after moving to another
    // record it is not this cell's earlier text.
    if (!savedTextBelongsTo(col)) return;
    platform::runGuarded(services_, this, [&] {
        ADODataSet1.edit();
        ADODataSet1.field(col).setAsString(SavedCellText);
        ADODataSet1.post();
    });
}
