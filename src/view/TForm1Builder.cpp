// The main window's side of the database builder: the "DB作成" button and
// what the builder's dialog reads of this window.
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>

#include "builder/window/TForm16.h"
#include "builder/window/TForm2.h"
#include "view/Detection.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"

void TForm1::SpeedButton2Click() {
    if (!Form2) Form2 = new TForm2(services_, *this, this);
    hide();
    services_.execDialog(Form2);
    show();
    if (!Form2->CreatedDatabases.isEmpty()) {
        if (!Form16) Form16 = new TForm16(services_, this);
        Form16->ListBox1->clear();
        for (const QString& path : Form2->CreatedDatabases)
            Form16->ListBox1->addItem(QFileInfo(path).fileName());
        Form16->ListBox1->setCurrentRow(0);
        if (services_.execDialog(Form16) == QDialog::Accepted) {
            // Opened as any database is: the one being left is backed up, the
            // caption, password and format are those of the new file.
            OpenDatabase(Form2->CreatedDatabases.at(Form16->ListBox1->currentRow()));
            return;
        }
    }
    if (Form2->StructureChanged) rereadAfterStructureChange();
}

void TForm1::rereadAfterStructureChange() {
    const int position = ComboBox1->currentIndex();
    const QString backup = BackupPath;
    resetView();
    BackupPath = backup;  // the same database stays open: its backup too
    platform::runGuarded(services_, this, [&] {
        ADODataSet1.close();
        ADOConnection1.close();
        ADOConnection1.open();
        QStringList names;
        ListTablesAndQueries(DatabasePath, names);
        ComboBox1->addItems(names);
        DBGrid1->show();
        ComboBox1->setCurrentIndex(position < ComboBox1->count() ? position : 0);
        ShowTable();
        setRadioGroupIndex(0);
        RadioGroup1Click();
    });
}

bool TForm1::tableShown() const {
    return !DBGrid1->isHidden() && !DatabasePath.isEmpty();
}

QStringList TForm1::tableList() const {
    QStringList names;
    for (int i = 0; i < ComboBox1->count(); ++i) names << ComboBox1->itemText(i);
    return names;
}

std::vector<builder::FieldInfo> TForm1::shownFields() {
    std::vector<builder::FieldInfo> fields;
    if (!ADODataSet1.active()) return fields;
    for (int i = 0; i < ADODataSet1.fieldCount(); ++i) {
        const db::Field f = ADODataSet1.field(i);
        fields.push_back({f.name(), f.dataType()});
    }
    return fields;
}

QString TForm1::builderSourceFilter() const {
    return ExcelFilter + view::kCsvFilterPart;
}
