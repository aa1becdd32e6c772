// The main window's side of the card view: a double click in selection mode
// and a record just added show the current record in the table's card
// document (TForm11 does the work).
#include <QFileInfo>

#include "documents/TForm11.h"
#include "view/ProgramFiles.h"
#include "view/TForm1.h"

void TForm1::OpenCardView() {
    if (ExcelProgID.isEmpty() || !ADODataSet1.active() || ADODataSet1.recNo() < 0) return;
    // Without the system store no table has a card; the document buttons
    // report that, a double click on a record need not.
    if (!QFileInfo::exists(ProgramFolder + view::kSystemStore)) return;
    documents::CardJob job;
    {
        // One store connection for both look-ups, closed again before the
        // user works in the card for as long as it takes.
        documents::StoreSession session(ADOConnection2);
        const int id = FindCardDocument(job.templatePath, job.sheet);
        if (id < 0) return;
        ReadBindings(id, job.bindings);
    }
    ListBindableFields(job.fields);
    // A saved query cannot be written, nor can a database of the old format.
    job.writeBack = !IsQueryView && !OldFormatDatabase;
    if (!Form11) Form11 = new TForm11(services_, this);
    Form11->Execute(job, ADODataSet1, ExcelProgID);
}
