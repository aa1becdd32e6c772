// The main window's table view: showing a table or saved query, the column
// layout, the two grid modes, the status-bar texts, the grid's reactions to
// keys and mouse, sorting and filtering through the field-settings dialog,
// and the trim every record passes before it is stored. The rules live in
// GridRules and FilterSql; this file applies them to the controls.
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QToolButton>

#include "text/Text.h"
#include "view/FilterSql.h"
#include "view/GridRules.h"
#include "view/RecordGrid.h"
#include "view/RecordModel.h"
#include "view/TForm1.h"
#include "view/TForm22.h"
#include "view/TForm6.h"

namespace {

view::GridMode modeOf(int radioIndex) {
    return radioIndex == 1 ? view::GridMode::Edit : view::GridMode::Selection;
}

}  // namespace

void TForm1::wireGrid() {
    gridModel_ = new view::RecordModel(ADODataSet1, this);
    gridModel_->onError = [this](const std::exception& e) { services_.showError(this, e); };
    DBGrid1->setRecordModel(gridModel_);
    Form6 = new TForm6(services_, this);
    ADODataSet1.beforePost = [this](db::DataSet&) { ADODataSet1BeforePost(); };
    connect(DBGrid1, &view::RecordGrid::titleClicked, this, &TForm1::DBGrid1TitleClick);
    connect(DBGrid1, &view::RecordGrid::columnEntered, this, [this](int) { DBGrid1ColEnter(); });
    connect(DBGrid1, &view::RecordGrid::cellDoubleClicked, this, [this](int) { DBGrid1DblClick(); });
    connect(DBGrid1, &view::RecordGrid::enterPressedOnCell, this, [this](int) { DBGrid1KeyDown(Qt::Key_Return); });
    connect(DBGrid1, &view::RecordGrid::rightButtonReleased, this, &TForm1::DBGrid1MouseUp);
    connect(SpeedButton9, &QToolButton::clicked, this, &TForm1::SpeedButton9Click);
    connect(SpeedButton14, &QToolButton::clicked, this, &TForm1::SpeedButton14Click);
}

void TForm1::ComboBox1Change() {
    platform::runGuarded(services_, this, [&] { ShowTable(); });
}

QString TForm1::shownTableName() const { return ComboBox1->currentText(); }

void TForm1::ShowTable() {
    OrderByClause.clear();
    FieldDescriptors.clear();
    releaseMemoEditors();
    const QString name = shownTableName();
    IsQueryView = IsSavedQuery(DatabasePath, name);
    if (IsQueryView) {
        QuerySql = GetQuerySql(name);
        CurrentSql = QuerySql;
    } else {
        QuerySql.clear();
        CurrentSql = view::tableSelectSql(name);
    }
    setPanelText(2, IsQueryView ? view::kQueryHint : view::kSelectionHint);
    if (!reopenGrid(CurrentSql)) return;
    for (int i = 0; i < ADODataSet1.fieldCount(); ++i) {
        db::Field f = ADODataSet1.field(i);
        FieldDescriptors.emplace_back(f.name(), f.dataType());
        if (f.dataType() == db::ftMemo) {
            auto* editor = new TForm22(services_, f.name(), view::bindMemoField(ADODataSet1, f.name()), this);
            MemoEditors.push_back({f.name(), editor});
        }
    }
    GetPrimaryKeyFields(DatabasePath, name, PrimaryKeyFields);
    ApplyColumnLayout();
    setPanelText(0, view::recordCountText(ADODataSet1.recordCount()));
    setPanelText(1, QString());
    DBGrid1->setFocus();
}

bool TForm1::reopenGrid(const QString& sql) {
    CurrentSql = sql;
    ADODataSet1.close();
    ADODataSet1.setCommandText(sql);
    try {
        ADODataSet1.open();
        return true;
    } catch (const std::exception& e) {
        // The grid stays empty; what follows the re-query is skipped.
        services_.showError(this, e);
        return false;
    }
}

void TForm1::ApplyColumnLayout() {
    std::vector<view::ColumnStyle> styles;
    const int n = std::min<int>(ADODataSet1.fieldCount(), int(FieldDescriptors.size()));
    for (int i = 0; i < n; ++i) {
        db::Field f = ADODataSet1.field(i);
        styles.push_back(view::columnStyle(FieldDescriptors[size_t(i)], f.canModify(),
                                           view::isPrimaryKeyField(f.name(), PrimaryKeyFields),
                                           OldFormatDatabase));
    }
    gridModel_->setColumnStyles(styles);
    for (int i = 0; i < n; ++i) DBGrid1->setColumnWidth(i, styles[size_t(i)].width);
}

void TForm1::RadioGroup1Click() {
    // A pending cell edit is stored before the grid changes its rules; when
    // the database refuses it, the grid stays in the mode it was in.
    if (!DBGrid1->postPending()) {
        setRadioGroupIndex(DBGrid1->mode() == view::GridMode::Edit ? 1 : 0);
        return;
    }
    const view::GridMode mode = modeOf(radioGroupIndex());
    const view::ModeLayout layout = view::modeLayout(mode, IsQueryView, OldFormatDatabase);
    DBGrid1->setMode(mode);
    gridModel_->setEditingEnabled(layout.editing && !layout.gridReadOnly);
    auto apply = [this](const QStringList& names, auto action) {
        for (const QString& name : names)
            if (auto* w = findChild<QWidget*>(name)) action(w);
    };
    apply(layout.enabledControls, [](QWidget* w) { w->setEnabled(true); });
    apply(layout.disabledControls, [](QWidget* w) { w->setEnabled(false); });
    apply(layout.shownControls, [](QWidget* w) { w->show(); });
    apply(layout.hiddenControls, [](QWidget* w) { w->hide(); });
    setPanelText(2, layout.hint);
}

int TForm1::currentGridField() const {
    const int col = DBGrid1->currentField();
    return col >= 0 && col < ADODataSet1.fieldCount() && ADODataSet1.recNo() >= 0 ? col : -1;
}

void TForm1::DBGrid1ColEnter() {
    const int col = currentGridField();
    if (col < 0) {
        setPanelText(2, view::modeHint(modeOf(radioGroupIndex()), IsQueryView));
        return;
    }
    db::Field f = ADODataSet1.field(col);
    const view::ColumnEnterHint hint =
        view::columnEnterHint(IsQueryView, modeOf(radioGroupIndex()), f.canModify(), OldFormatDatabase,
                              f.name(), f.dataType(), f.size());
    setPanelText(2, hint.hint);
    if (hint.captureCellText) captureCellText(col);
}

void TForm1::openMemoEditor(int column) {
    db::Field f = ADODataSet1.field(column);
    for (MemoEditorEntry& entry : MemoEditors) {
        if (entry.fieldName != f.name() || !entry.editor) continue;
        auto* editor = qobject_cast<TForm22*>(entry.editor.data());
        if (!editor) return;
        editor->Editable = f.canModify() && !OldFormatDatabase;
        editor->FormShow();
        services_.execDialog(editor);
        return;
    }
}

void TForm1::DBGrid1KeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    const int col = currentGridField();
    if (modeOf(radioGroupIndex()) == view::GridMode::Edit && col >= 0 &&
        ADODataSet1.field(col).dataType() == db::ftMemo)
        openMemoEditor(col);
}

void TForm1::DBGrid1DblClick() {
    const int col = currentGridField();
    if (col < 0) return;
    // Selection mode shows the record in the table's card document.
    if (modeOf(radioGroupIndex()) != view::GridMode::Edit) {
        platform::runGuarded(services_, this, [&] { OpenCardView(); });
        return;
    }
    db::Field f = ADODataSet1.field(col);
    if (f.dataType() == db::ftMemo) {
        openMemoEditor(col);
    } else if (f.dataType() == db::ftText) {
        if (auto url = view::linkForCellText(f.asString())) services_.openExternally(*url);
    }
}

// The output-record dialog arrives with the print log; nothing to open yet.

void TForm1::ADODataSet1BeforePost() {
    for (int i = 0; i < ADODataSet1.fieldCount(); ++i) {
        db::Field f = ADODataSet1.field(i);
        if (f.dataType() != db::ftText || f.isNull() || !f.canModify()) continue;
        const QString text = f.asString();
        const QString trimmed = text::trimBlanksAndControls(text);
        if (trimmed != text) f.setValue(trimmed);
    }
}

void TForm1::SpeedButton14Click() { DBGrid1->clearSelection(); }

QList<int> TForm1::SelectedRows() const { return DBGrid1->selectedRowNumbers(); }

QString TForm1::BuildFilteredSql() {
    return view::buildFilteredSql(FieldDescriptors, {shownTableName(), IsQueryView, QuerySql}, OrderByClause);
}

void TForm1::storeColumnWidths() {
    for (size_t i = 0; i < FieldDescriptors.size(); ++i)
        FieldDescriptors[i].ColumnWidth = DBGrid1->columnWidth(int(i));
}

QStringList TForm1::distinctValues(const QString& sql) {
    db::DataSet values(ADOConnection1);
    values.setCommandText(sql);
    values.open();
    QStringList out;
    if (values.recordCount() <= view::kMaxSuggestions)
        for (int r = 0; r < values.recordCount(); ++r) out << values.textAt(r, 0);
    values.close();
    return out;
}

void TForm1::afterRequery(int column) {
    ApplyColumnLayout();
    setPanelText(0, view::recordCountText(ADODataSet1.recordCount()));
    setPanelText(1, view::anyFilterSet(FieldDescriptors) ? view::kFilterActiveText : QString());
    // The re-read grid starts on its first record in the column the user was
    // in, so the hint and the text "ﾃﾞｰﾀ戻す" restores are that cell's.
    if (ADODataSet1.recordCount() > 0 && column >= 0 && column < gridModel_->columnCount()) {
        ADODataSet1.first();
        // Current without selecting: a selection in selection mode picks
        // rows for output, which a re-query must not do by itself.
        const QSignalBlocker quiet(DBGrid1);
        DBGrid1->selectionModel()->setCurrentIndex(gridModel_->index(ADODataSet1.recNo(), column),
                                                   QItemSelectionModel::NoUpdate);
    }
    DBGrid1ColEnter();
}

void TForm1::DBGrid1TitleClick(int column) {
    if (column < 0 || column >= int(FieldDescriptors.size())) return;
    platform::runGuarded(services_, this, [&] {
        TFieldDescriptor& d = FieldDescriptors[size_t(column)];
        const view::SuggestionPlan plan =
            view::planSuggestions(d.DataType, d.FieldName, {shownTableName(), IsQueryView, QuerySql});
        if (!plan.openDialog) return;
        // The re-query closes the data set: the record being edited is
        // stored first, and when it is refused nothing is re-read.
        if (!DBGrid1->postPending()) return;
        storeColumnWidths();
        Form6->DistinctValues = plan.sql ? distinctValues(*plan.sql) : QStringList();
        Form6->FormShow(d, !OrderByClause.isEmpty());
        if (services_.execDialog(Form6) != QDialog::Accepted) return;

        platform::BusyCursor busy(services_);
        const FieldSettingsResult r = Form6->Result();
        d.FilterCondition = r.condition;
        d.CompareA = r.condition == 0 ? QString() : r.compareA;
        d.CompareB = r.condition == 0 ? QString() : r.compareB;
        d.Decimals = r.decimals;
        OrderByClause = view::applySortChoice(OrderByClause, d.FieldName, r.direction, r.secondarySort);
        const int current = DBGrid1->currentField();
        if (reopenGrid(BuildFilteredSql())) afterRequery(current);
    });
}

void TForm1::SpeedButton9Click() {
    if (!DBGrid1->postPending()) return;
    platform::runGuarded(services_, this, [&] {
        storeColumnWidths();
        for (TFieldDescriptor& d : FieldDescriptors) {
            d.FilterCondition = 0;
            d.CompareA.clear();
            d.CompareB.clear();
        }
        OrderByClause.clear();
        const int current = DBGrid1->currentField();
        if (reopenGrid(IsQueryView ? QuerySql : view::tableSelectSql(shownTableName())))
            afterRequery(current);
    });
}
