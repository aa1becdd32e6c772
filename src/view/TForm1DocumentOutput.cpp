// The main window's side of document output: preparing the output dialog
// after "文書出力" (the document, its records in the document's order, the
// grid's selection, the bindings and block settings), storing the serial
// number it reached, and the output-record dialog on a right-button release.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include "output/document/PrintLog.h"
#include "output/document/RecordSelection.h"
#include "output/document/TForm18.h"
#include "output/document/TForm5.h"
#include "view/FilterSql.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"

void TForm1::SpeedButton5Click() {
    const QString caption = QStringLiteral("文書出力の中止");
    if (!documentWorkAllowed(caption)) return;
    platform::runGuarded(services_, this, [&] {
        documents::ChosenDocument chosen;
        const int id = SelectDocument(chosen);
        if (id < 0) return;
        if (!Form5) Form5 = new TForm5(services_, ADOConnection1, this);
        TForm5& f = *Form5;
        documents::BlockSettings block;
        ReadBlockSettings(id, block);
        documents::LinkList bindings;
        ReadBindings(id, bindings);

        f.Edit1->setText(chosen.name);
        f.ProgramFolder = ProgramFolder;
        f.ExcelProgID = ExcelProgID;
        f.TableName = shownTableName();
        f.TemplatePath = chosen.templatePath;
        f.TemplateSheet = chosen.sheet;
        f.LogField = chosen.outputLogField;
        f.SerialNumber = chosen.serialNumber;
        f.Block = block;
        f.RecordsSql =
            view::reorderedSql(ADODataSet1.commandText(), docoutput::documentOrderBy(block));
        const QList<int> selected = SelectedRows();
        f.SelectedRows = docoutput::selectedRecords(
            ADODataSet1, std::vector<int>(selected.begin(), selected.end()));
        f.setRecordCounts(int(selected.size()), ADODataSet1.recordCount());
        f.Bindings = &bindings;
        f.SaveDialog1.filter = ExcelFilter;
        f.printLogCreated = [this] {
            const QSignalBlocker quiet(ComboBox1);
            if (ComboBox1->findText(docoutput::kPrintLogTable) < 0)
                ComboBox1->addItem(docoutput::kPrintLogTable);
        };
        services_.execDialog(&f);
        f.Bindings = nullptr;
        if (f.SerialNumber != chosen.serialNumber) SetSerialNumber(id, f.SerialNumber);
    });
}

void TForm1::DBGrid1MouseUp() {
    platform::runGuarded(services_, this, [&] {
        if (!Form18) Form18 = new TForm18(services_, ADOConnection1, this);
        TForm18& f = *Form18;
        f.ListBox1->clear();
        f.ListBox3->clear();
        if (DatabasePath.isEmpty() || !ADODataSet1.active()) return;
        for (const documents::DocumentRecord& d : registry().ShownDocuments()) {
            const QString field = d.outputLogField.trimmed();
            if (field.isEmpty()) continue;
            f.ListBox1->addItem(d.name);
            f.ListBox3->addItem(field);
        }
        if (f.ListBox1->count() == 0) return;
        f.currentFieldText = [this](const QString& field) {
            const auto column = ADODataSet1.findField(field);
            return column ? column->asString() : QString();
        };
        services_.execDialog(&f);
    });
}
