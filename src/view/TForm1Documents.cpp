// The main window's registry members: each forwards to the documents
// subsystem with the main window's store connection, its open database and
// its shown table.
#include <stdexcept>

#include "documents/DocumentChoice.h"
#include "documents/TForm12.h"
#include "documents/TForm14.h"
#include "documents/TForm3.h"
#include "documents/TemplateEditing.h"
#include "documents/TForm8.h"
#include "view/TForm1.h"

int TForm1::FindCardDocument(QString& templatePath, QString& sheet) {
    return registry().FindCardDocument(templatePath, sheet);
}

void TForm1::EditCardDocument() {
    if (!Form12) throw std::logic_error("the card settings dialog was not created");
    documents::Registry r = registry();
    documents::EditCardDocument(r, services_, *Form12, this);
}

int TForm1::SelectDocument(documents::ChosenDocument& chosen) {
    if (!Form8) throw std::logic_error("the document choice dialog was not created");
    documents::Registry r = registry();
    return documents::SelectDocument(r, services_, *Form8, this, ExcelFilter, chosen);
}

int TForm1::SelectDocument(QString& templatePath, QString& sheet, QString& name,
                           QString& outputLogField, int& serialNumber) {
    documents::ChosenDocument chosen;
    const int id = SelectDocument(chosen);
    templatePath = chosen.templatePath;
    sheet = chosen.sheet;
    name = chosen.name;
    outputLogField = chosen.outputLogField;
    serialNumber = chosen.serialNumber;
    return id;
}

int TForm1::ListDocuments(documents::DocumentList& list) {
    return registry().ListDocuments(list);
}

bool TForm1::ReadBlockSettings(int id, documents::BlockSettings& settings) {
    return registry().ReadBlockSettings(id, settings);
}

void TForm1::WriteBlockSettings(int id, const documents::BlockSettings& settings) {
    registry().WriteBlockSettings(id, settings);
}

int TForm1::InsertDocument(const QString& name, const QString& databasePath, const QString& table,
                           const QString& templatePath, const QString& sheet,
                           const QString& outputLogField) {
    return registry().InsertDocument(name, databasePath, table, templatePath, sheet,
                                     outputLogField);
}

void TForm1::UpdateDocument(int id, const QString& name, const QString& databasePath,
                            const QString& table, const QString& templatePath, const QString& sheet,
                            const QString& outputLogField, int serialNumber) {
    registry().UpdateDocument(id, name, databasePath, table, templatePath, sheet, outputLogField,
                              serialNumber);
}

void TForm1::SetSerialNumber(int id, int serialNumber) {
    registry().SetSerialNumber(id, serialNumber);
}

void TForm1::DeleteDocument(int id) {
    registry().DeleteDocument(id);
}

int TForm1::DuplicateDocument(int id, const QString& newTemplatePath, const QString& newName) {
    return registry().DuplicateDocument(id, newTemplatePath, newName);
}

int TForm1::ReadBindings(int id, documents::LinkList& list) {
    return registry().ReadBindings(id, list);
}

void TForm1::InsertBinding(int id, const QString& cell, const QString& field) {
    registry().InsertBinding(id, cell, field);
}

void TForm1::InsertBindings(int id, const documents::LinkList& list) {
    registry().InsertBindings(id, list);
}

void TForm1::ReplaceBindings(int id, const documents::LinkList& list) {
    registry().ReplaceBindings(id, list);
}

void TForm1::ListBindableFields(documents::FieldList& list) {
    documents::ListBindableFields(ADOConnection1, shownTableName(), list);
}

void TForm1::SpeedButton4Click() {
    if (!documentWorkAllowed(QStringLiteral("文書登録の中止"))) return;
    if (!Form3) Form3 = new TForm3(services_, *this, this);
    // Not modal: the user works in the template's sheet window beside it.
    services_.showFloating(Form3, nullptr);
}

void TForm1::SpeedButton13Click() {
    if (!documentWorkAllowed(QStringLiteral("雛形編集の中止"))) return;
    if (!Form14) Form14 = new TForm14(services_, this);
    if (!TemplateEditor) TemplateEditor = documents::calcEditorProgram();
    platform::runGuarded(services_, this, [&] {
        documents::EditTemplate(*this, services_, *Form14, *TemplateEditor);
    });
}
