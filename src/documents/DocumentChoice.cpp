#include "documents/DocumentChoice.h"

#include <QDialog>
#include <QFileInfo>

#include "documents/TForm12.h"
#include "documents/TForm8.h"
#include "platform/Services.h"

namespace documents {

namespace {
const QString kNoDocuments = QStringLiteral("登録文書がありません");
const QString kChoiceStopped = QStringLiteral("出力選択の中止");
const QString kNoFile = QStringLiteral("ファイルがありません");
}  // namespace

int SelectDocument(Registry& registry, platform::Services& services, TForm8& dialog,
                   QWidget* parent, const QString& excelFilter, ChosenDocument& chosen) {
    chosen = ChosenDocument();
    DocumentList list;
    if (registry.ListDocuments(list) == 0) {
        services.message(parent, kNoDocuments, kChoiceStopped);
        return -1;
    }
    dialog.setDocuments(list);
    if (services.execDialog(&dialog) != QDialog::Accepted) return -1;
    const int id = dialog.chosenId();
    const std::optional<DocumentRecord> row = registry.ReadDocument(id);
    if (!row) return -1;
    chosen.templatePath = row->templatePath;
    chosen.sheet = row->sheet;
    chosen.name = row->name;
    chosen.outputLogField = row->outputLogField;
    chosen.serialNumber = row->serialNumber;
    if (QFileInfo(row->templatePath).isFile()) {
        chosen.id = id;
        return id;
    }

    if (services.message(parent, QStringLiteral("ファイルがありません。探しますか？"),
                         QStringLiteral("出力選択の確認"),
                         platform::Buttons::OkCancel) != platform::Answer::Ok)
        return -1;
    platform::FileDialogRequest request;
    request.filter = excelFilter;
    request.fileName = row->templatePath;
    const QStringList files = services.openFiles(parent, request);
    if (files.isEmpty()) return -1;
    if (!QFileInfo(files.first()).isFile()) {
        services.message(parent, kNoFile, kChoiceStopped);
        return -1;
    }
    registry.SetTemplatePath(id, files.first());
    chosen.templatePath = files.first();
    chosen.id = id;
    return id;
}

void EditCardDocument(Registry& registry, platform::Services& services, TForm12& dialog,
                      QWidget* parent) {
    const std::vector<DocumentRecord> rows = registry.ShownDocuments();
    if (rows.empty()) {
        services.message(parent, kNoDocuments, QStringLiteral("報告"));
        return;
    }
    DocumentList list;
    // With more than one marked (an outside edit of the store), the last one
    // read is shown as the current card.
    dialog.CardDocumentID = -1;
    for (const DocumentRecord& r : rows) {
        list.push_back({r.name, r.id});
        if (r.card) dialog.CardDocumentID = r.id;
    }
    dialog.setDocuments(list);
    if (services.execDialog(&dialog) != QDialog::Accepted) return;
    registry.SetCardDocument(dialog.CardDocumentID);
}

}  // namespace documents
