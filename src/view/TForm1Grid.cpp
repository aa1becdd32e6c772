// The main window's table view: showing a table or saved query and the two
// grid modes. This first version opens the data set and applies the mode's
// controls; the column layout, the grid model, the descriptors and the memo
// editors are filled in here by the table-view work.
#include <QAbstractItemView>
#include <QComboBox>
#include <QTableView>
#include <QWidget>

#include "view/GridRules.h"
#include "view/TForm1.h"

void TForm1::ComboBox1Change() {
    platform::runGuarded(services_, this, [&] { ShowTable(); });
}

void TForm1::ShowTable() {
    OrderByClause.clear();
    FieldDescriptors.clear();
    releaseMemoEditors();
    const QString name = ComboBox1->currentText();
    IsQueryView = IsSavedQuery(DatabasePath, name);
    if (IsQueryView) {
        QuerySql = GetQuerySql(name);
        CurrentSql = QuerySql;
        setPanelText(2, view::kQueryHint);
    } else {
        QuerySql.clear();
        CurrentSql = QStringLiteral("SELECT * FROM [") + name + ']';
        setPanelText(2, view::kSelectionHint);
    }
    ADODataSet1.close();
    ADODataSet1.setCommandText(CurrentSql);
    try {
        ADODataSet1.open();
    } catch (const std::exception& e) {
        // The grid stays empty; the rest of the table's set-up is skipped.
        services_.showError(this, e);
        return;
    }
    for (int i = 0; i < ADODataSet1.fieldCount(); ++i) {
        db::Field f = ADODataSet1.field(i);
        FieldDescriptors.emplace_back(f.name(), f.dataType());
    }
    GetPrimaryKeyFields(DatabasePath, name, PrimaryKeyFields);
    setPanelText(0, view::recordCountText(ADODataSet1.recordCount()));
    setPanelText(1, QString());
    DBGrid1->setFocus();
}

void TForm1::RadioGroup1Click() {
    if (ADODataSet1.state() == db::DataSet::State::Edit ||
        ADODataSet1.state() == db::DataSet::State::Insert)
        ADODataSet1.post();
    const auto mode = radioGroupIndex() == 1 ? view::GridMode::Edit : view::GridMode::Selection;
    const view::ModeLayout layout = view::modeLayout(mode, IsQueryView, OldFormatDatabase);
    DBGrid1->setEditTriggers(layout.editing && !layout.gridReadOnly
                                 ? QAbstractItemView::AllEditTriggers
                                 : QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(layout.rowSelect ? QAbstractItemView::SelectRows
                                                   : QAbstractItemView::SelectItems);
    DBGrid1->setSelectionMode(layout.multiSelect ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
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
